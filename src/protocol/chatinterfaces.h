#pragma once
// The small interfaces through which the protocol object (and other standard-library-only code)
// reaches the transport, the panes, the dialogs and the settings store. Higher layers implement
// them; CChatContext holds pointers to the implementations. A null pointer means "that pane does
// not exist", and callers must treat it that way (nothing shown, nothing sent).

#include "chatpicture.h"

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

// 0x00BBGGRR, as the colour tables are written.
using ChatColor = std::uint32_t;

// Window messages and timers of the panel.
enum : unsigned {
    WM_CHAT_SOCKET = 1125,
    WM_CHAT_PREFS = 1126,
    WM_CHAT_EMOTIONS = 1127,
    WM_CHAT_BUDDIES = 1128,
};
enum : unsigned {
    TIMER_ABOUT = 1129,
    TIMER_FILEXFER_POLL = 1234,
    TIMER_SOCKET_POLL = 1235,
    TIMER_KEEPALIVE = 1236,
};

// lParam values of WM_CHAT_SOCKET.
enum : int { CHAT_SOCKET_CONNECTED = 1, CHAT_SOCKET_DATA = 2, CHAT_SOCKET_CLOSED = 3 };

// Message-box flags, with the values the callers pass.
enum : unsigned {
    MB_OK = 0x0,
    MB_OKCANCEL = 0x1,
    MB_YESNO = 0x4,
    MB_ICONHAND = 0x10,
    MB_ICONQUESTION = 0x20,
    MB_ICONEXCLAMATION = 0x30,
    MB_ICONASTERISK = 0x40,
};
enum : int { IDOK = 1, IDCANCEL = 2, IDYES = 6, IDNO = 7 };

// Pictures by address for a pane that shows one whole (the ticker); the image cache answers.
class IPictureSource {
public:
    enum class State { Ready, Pending, Failed };
    virtual ~IPictureSource() = default;
    // Ready fills `picture`; Pending: not here yet, ask again later; Failed: this try failed.
    virtual State GetPicture(const std::string& url, ChatPicture& picture) = 0;
};

// The transport as the protocol object writes to it (CChatSocket implements it).
class IChatTransport {
public:
    virtual ~IChatTransport() = default;
    virtual bool IsConnected() const = 0;
    // Writes a zero-terminated text; the transport's result (bytes written, 0 on failure).
    virtual int SendText(const char* text) = 0;
    // Writes raw bytes (telnet replies); same result rule.
    virtual int SendData(const char* data, int length) = 0;
};

// An output view (CPGEdit, kind 1 for the main display, kind 2 inside a private-message window).
class IOutputView {
public:
    virtual ~IOutputView() = default;
    // `text` is `length` bytes of single-byte text; `style` is the output style code.
    virtual void AppendText(const char* text, std::size_t length, std::uint32_t style) = 0;
    virtual void AppendSeparator() = 0;
    virtual void InsertLink(const std::string& linkText, const std::string& url) = 0;
    virtual void InsertPicture(const ChatPicture& picture, const std::string& userName) = 0;
    virtual void InsertPlainPicture(const ChatPicture& picture, int placement) = 0;
    // A place at the end of the view for a picture still on its way: it stays where it is while
    // text is appended behind it. 0 when the view keeps no such places.
    virtual int MarkPicturePlace() { return 0; }
    // Inserts the picture as InsertPicture does, at a place marked before, and forgets the place.
    // A place that was trimmed or cleared away meanwhile takes no picture.
    virtual void InsertPictureAt(int /*place*/, const ChatPicture& /*picture*/,
                                 const std::string& /*userName*/) {}
    virtual void ForgetPicturePlace(int /*place*/) {}
    // After a batch of appends: scroll to the end unless held, trim past 16384 characters.
    virtual void FinishAppend() = 0;
    virtual void SetBold(bool on) = 0;
    virtual void SetItalic(bool on) = 0;
    virtual void SetUnderline(bool on) = 0;
    virtual void SetBaseColour(ChatColor colour) = 0;
    virtual bool IsAtEnd() const = 0;
    virtual void ClearAll() = 0;
    // Bracket one pass over received data. A view may defer laying out its text until the
    // outermost EndBatch, then follow the end unless the user holds it; calls nest.
    virtual void BeginBatch() {}
    virtual void EndBatch() {}
};

// One private-message window, as the inbound routing reaches it.
class IPrivateWindow {
public:
    virtual ~IPrivateWindow() = default;
    virtual void SetUnitKind(int kind) = 0;
    // Brings the window up; `ownEcho` is true for the user's own tell (kind 2).
    virtual void BringUp(bool ownEcho) = 0;
    virtual IOutputView* View() = 0;
    // Shows received text in the window: appended in style 1, then scrolled and trimmed. A
    // window that sounds a beep for incoming tells overrides this.
    virtual void AppendIncoming(const char* text, std::size_t length) {
        if (IOutputView* view = View()) {
            view->AppendText(text, length, 1);
            view->FinishAppend();
        }
    }
};

// The panel's map of private-message windows, keyed by name key.
class IPrivateWindowMap {
public:
    virtual ~IPrivateWindowMap() = default;
    virtual IPrivateWindow* Find(const std::string& key) = 0;
    virtual int OpenCount() const = 0;
    // Creates, enters under `key`, shows and counts a new window for `name`.
    virtual IPrivateWindow* Create(const std::string& name, const std::string& key) = 0;
};

// The user list pane, as the block parser and the views drive it. Names are display names
// (blanks, not "+").
class IUserList {
public:
    virtual ~IUserList() = default;
    virtual void Clear() = 0;
    virtual bool Contains(const std::string& name) const = 0;
    virtual void AddUser(const std::string& name) = 0;
    // The user's own entry (item data 16).
    virtual void AddOwnEntry(const std::string& name) = 0;
    virtual void RemoveUser(const std::string& name) = 0;
    virtual void RefreshCount() = 0;
    virtual void SetRole(const std::string& name, const std::string& role) = 0;
    virtual void MarkFollower(const std::string& name, bool on) = 0;
    virtual void MarkIgnored(const std::string& name, bool on) = 0;
    virtual void MarkFollowed(const std::string& name, bool on) = 0;
    // The watch mark the user menus set and clear (never on an ignored entry).
    virtual void MarkWatched(const std::string& /*name*/, bool /*on*/) {}
    // Deselects all, then selects the entry with this name.
    virtual void SelectOnly(const std::string& name) = 0;
    // Texts of the selected entries, in list order.
    virtual std::vector<std::string> Selection() const = 0;
    virtual void StartPrivateMessage() = 0;
    // The watch-marker picture, or null while the pane has none.
    virtual const ChatPicture* WatchMarker() const = 0;
};

// Receives the server's emotion words (the emotion editing dialog).
class IEmotionCollector {
public:
    virtual ~IEmotionCollector() = default;
    virtual void AddServerEmotion(const std::string& word) = 0;
};

// Receives the server's buddy entries (the buddy dialog).
class IBuddyCollector {
public:
    virtual ~IBuddyCollector() = default;
    virtual void AddServerBuddy(const std::string& entry) = 0;
};

// The ticker pane.
class ITicker {
public:
    virtual ~ITicker() = default;
    virtual void AddMessage(const std::string& message) = 0;
    // Starts again from the first message with this timer period in milliseconds.
    virtual void Restart(int periodMs) = 0;
};

// The file-transfer engine, as the server's ipaddress block reaches it: the peer's user name and
// its dotted address.
class IFileTransferPeers {
public:
    virtual ~IFileTransferPeers() = default;
    virtual void OnPeerAddress(const std::string& name, const std::string& address) = 0;
};

// The who-is record collected from a block.
struct WhoisRecord {
    std::string name;
    std::string homepage;
    std::string email;
    std::vector<std::string> description;
    std::vector<std::string> inventory;
};

// What the panel offers the layers below it: its window messages, its buttons, the browser,
// message boxes and the dialogs that server blocks open.
class IChatPanel {
public:
    virtual ~IChatPanel() = default;
    // Synchronous, as SendMessage to the panel window.
    virtual long SendPanelMessage(unsigned message, unsigned long wParam, long lParam) = 0;
    virtual void ShowAskButton(bool show) = 0;
    // Opens `url` in the browser frame `frame`.
    virtual void Navigate(const std::string& url, const std::string& frame) = 0;
    // Modal box; returns IDOK, IDCANCEL, IDYES or IDNO.
    virtual int MessageBox(const std::string& text, const std::string& caption, unsigned flags) = 0;
    // The system default beep.
    virtual void Beep() = 0;
    // Plays the named sound of the sounds folder (a file name without ".wav").
    virtual void PlaySound(const std::string& /*name*/) {}
    // Modal who-is dialog for this record.
    virtual void ShowWhois(const WhoisRecord& record) = 0;
    // The dialogs that emotions and buddy blocks fill; created on first use, null when the
    // panel cannot make them.
    virtual IEmotionCollector* EnsureEmotionDialog() = 0;
    virtual IBuddyCollector* EnsureBuddyDialog() = 0;
};

// The per-user settings store: four operations over
// HKEY_CURRENT_USER\Software\Kivra\axkivractrl\MSKIVRA50\<section>.
class ISettingsStore {
public:
    virtual ~ISettingsStore() = default;
    virtual std::string GetProfileString(const std::string& section, const std::string& entry,
                                         const std::string& def) = 0;
    virtual std::uint32_t GetProfileInt(const std::string& section, const std::string& entry,
                                        std::uint32_t def) = 0;
    // A null `text` deletes the value; a null `entry` deletes the whole section.
    virtual bool WriteProfileString(const std::string& section, const char* entry,
                                    const char* text) = 0;
    virtual bool WriteProfileInt(const std::string& section, const std::string& entry,
                                 std::uint32_t value) = 0;
};
