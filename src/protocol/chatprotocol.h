#pragma once
// CChatProtocol: the client's side of the chat server's protocol. It cuts the received stream into
// display units and renders them (plain text, colour escapes, telnet commands, inline tags and
// control blocks), keeps the protocol's lists (watched, ignored, following-me users, room exits
// and actions, the who-is record being collected), and composes every line and block the client
// sends. It is standard library only: everything it drives is reached through the interfaces
// held by its CChatContext.

#include "chatcontext.h"
#include "chatinterfaces.h"
#include "namekeylist.h"
#include "protocolbase.h"
#include "stringarray.h"

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

class CChatProtocol : public CProtocolBase {
public:
    // Menu ids of the exits and actions menus.
    enum : int { MENU_EXITS = 144, MENU_ACTIONS = 145, MENU_ACTIONS_USER = 146 };
    // Unit kinds of the inbound splitter.
    enum : int {
        UNIT_OTHER = 0,
        UNIT_TELL_TO_ME = 1,
        UNIT_MY_TELL = 2,
        UNIT_SAY_OTHER = 3,
        UNIT_SAY_MINE = 4,
    };
    // The most unfinished bytes handed back to the session to present again. A block, tell or
    // escape that is still open past this much data is shown as text instead, so a server that
    // never finishes one cannot make the client hold (and rescan) an ever-growing tail.
    static constexpr std::size_t kMaxCarry = 64 * 1024;
    static constexpr std::size_t kMaxKeyword = 255;
    static constexpr std::size_t kMaxValue = 1023;
    static constexpr int kMaxEscapeParams = 10;
    // A colour escape is a few bytes; one whose end is further away than this is not an escape.
    static constexpr std::size_t kMaxEscapeLength = 256;
    // The client version sent in the login block.
    static constexpr const char* kClientVersion = "5.0.0.203";

    explicit CChatProtocol(CChatContext* owner = nullptr);
    ~CChatProtocol() override;

    void SetOwner(CChatContext* owner) { m_pOwner = owner; }
    CChatContext* Owner() const { return m_pOwner; }

    // Slots 1 to 21.
    int RequestUserPrefs() override;
    int RequestEmotions() override;
    int Send(const char* text) override;
    int Login() override;
    int Logout() override;
    int Prepare() override { return 1; }
    char* ProcessReceived(char* data, int length, int* incomplete) override;
    int SendSay(const char* text) override;
    int ShowText(const char* text, int style) override;
    int SetIgnore(const char* name, int on) override;
    int SendWhoisRequest(const char* name) override;
    const CStringArray* GetMenuList(int id) override;
    int SendTell(const char* names, const char* text) override;
    int DoMenuCommand(int id, int index) override;
    int SetFollow(const char* name, int on) override;
    int RequestUsers() override;
    int IsIgnoring(const char* name) override;

    // Slots 22 to 41. The handlers take a position inside a zero-terminated buffer and return
    // where scanning goes on; *incomplete becomes 1 when the construct needs more bytes (the
    // result is then where the caller must start again).
    virtual char* ParseBlock(char* text, int* incomplete);
    virtual char* HandleEscape(char* text, int* incomplete, IPrivateWindow* window);
    // `text` holds the three bytes of a telnet command, all present: a zero among them is a zero
    // command or option, not the end of the text. The three bytes are always consumed.
    virtual char* HandleTelnet(char* text, int* incomplete);
    // Inline tags. A result of text + 1 means "not a tag": the "<" is shown as text.
    virtual char* HandleTag(char* text, int* incomplete, IPrivateWindow* window);
    virtual void OnNewRoom();
    virtual void OnUserPresent(const char* name, const char* role);
    virtual void OnUserLeft(const char* name);
    virtual void OnExit(const char* name);
    virtual void OnFollowingMe(const char* name);
    virtual void OnStoppedFollowingMe(const char* name);
    virtual void OnWhois(const char* keyword, const char* value);
    virtual void ShowWhois();
    virtual void OnRoomType(const char* value);
    virtual void OnIgnoring(const char* name);
    virtual void OnStoppedIgnoring(const char* name);
    virtual int IsWatching(const char* name);
    virtual void AddWatch(const char* name);
    virtual void RemoveWatch(const char* name);
    virtual void OnEmotion(const char* value);
    virtual void EmotionsDone();

    // State, readable by the panes and tests.
    int Bright() const { return m_nBright; }
    const CStringArray& Exits() const { return m_exits; }
    const CStringArray& Actions() const { return m_actions; }
    const WhoisRecord& Whois() const { return m_whois; }
    const CNameKeyList& Ignored() const { return m_ignored; }
    const CNameKeyList& Watched() const { return m_watched; }
    const CNameKeyList& FollowingMe() const { return m_followingMe; }

    // The clock that paces the server's navigations (tests set their own).
    using Clock = std::function<std::chrono::steady_clock::time_point()>;
    void SetClock(Clock clock) { m_clock = std::move(clock); }
    bool FollowsMe(const char* name) const { return m_followingMe.Contains(name ? name : ""); }

protected:
    CChatContext* m_pOwner = nullptr;
    // Per display unit: the watch marker was drawn / an avatar may still be shown.
    bool m_bWatchMarkerShown = false;
    bool m_bAvatarPending = false;
    // A tag switched bold, italic or underline on since the last line end.
    bool m_bEffectsOn = false;
    WhoisRecord m_whois;
    std::int32_t m_nBright = 0;
    CStringArray m_exits;
    CStringArray m_actions;
    CNameKeyList m_ignored;
    CNameKeyList m_watched;
    CNameKeyList m_followingMe;

    // For the handlers: the panes as the context holds them (null when absent).
    IChatTransport* Transport() const;
    IOutputView* MainView() const;
    // The view of a private-message window, or the main view for none.
    IOutputView* TargetView(IPrivateWindow* window) const;
    bool IsOwnName(std::string_view name) const;

private:
    struct Unit;

    int SendFormatted(std::string_view a, std::string_view b = {}, std::string_view c = {});

    // Inbound helpers (inbound.cpp).
    bool SplitUnit(const char* begin, const char* end, bool force, Unit& unit) const;
    void RouteUnit(Unit& unit);
    // Scans one unit; returns null when done, else where a new unit starts: at a construct that
    // needs more bytes (`unfinished`), or at a block that follows text. With `forceAll` nothing
    // is held back.
    char* ScanUnit(char* begin, char* end, bool forceAll, const Unit& unit, bool& unfinished);
    char* ScanTelnet(char* q, char* end, bool force, int* incomplete);
    // Where a byte of the work buffer came from in the caller's buffer.
    std::size_t Origin(const char* p) const;
    void FlushText(const char* p, const char* q, const Unit& unit, bool watchRule);
    void ApplyEscapeParameters(const long* params, int count, IOutputView* view);
    // The avatar tag (avatartag.cpp): `text` at its "<", `end` behind its ">".
    char* HandleAvatarTag(char* text, char* end);
    // The sound tag (chattags.cpp): `equals` at its "=", `end` behind its ">".
    void PlaySoundTag(const char* equals, const char* end);
    // The link tag (chattags.cpp): `name` behind the "<", `end` behind the opening tag's ">".
    char* HandleLinkTag(char* name, char* end, int* incomplete, IOutputView* target);

    // Opens an address the server pushed: web and mail addresses only, at most one a second.
    void ServerNavigate(const std::string& url, const std::string& frame);

    // Block helpers (blockparser.cpp).
    void DispatchKeyword(const std::string& keyword, const std::string& value, unsigned& actions);
    void RunBlockActions(unsigned actions);

    // The received bytes being dispatched, zero bytes removed and zero-terminated; units are
    // scanned in place (a zero is put at the end of each for the duration of its scan).
    std::string m_work;
    // Where each byte of m_work came from in the caller's buffer, kept only when zero bytes were
    // removed (so positions handed back still point into the caller's data).
    std::vector<std::size_t> m_origin;
    // The caller's bytes of the running dispatch, as they came.
    const char* m_pData = nullptr;
    std::size_t m_nDataLength = 0;
    bool m_bDispatching = false;
    // A block's end line ended with CR at the very end of the received bytes: an LF opening the
    // next bytes is the rest of that line end.
    bool m_bSkipLf = false;
    // The last search for a link's closing tag: from `m_pLinkScanFrom` the first closer (or the
    // line end, when `m_bLinkClosed` is false) is at `m_pLinkScanStop`. Later links of the same
    // line reuse it, so a line full of unclosed links is read once, not once per link.
    Clock m_clock = [] { return std::chrono::steady_clock::now(); };
    std::optional<std::chrono::steady_clock::time_point> m_lastNavigation;
    const char* m_pLinkScanFrom = nullptr;
    const char* m_pLinkScanStop = nullptr;
    bool m_bLinkClosed = false;
};
