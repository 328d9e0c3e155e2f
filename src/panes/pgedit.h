#pragma once
// CPGEdit: the output view. Kind 1 is the main chat display, kind 2 the display inside a
// private-message window. It appends styled text, separators, links and pictures at the end of
// its RichTextView, keeps the document below 16384 characters, follows the newest text unless
// the user has scrolled away, and carries the display and user-name menus.

#include "chatcontext.h"
#include "richtextview.h"
#include "viewcommands.h"

#include <QFont>
#include <QString>
#include <list>
#include <map>

class QMenu;
namespace kivra::platform {
class DialogService;
}

// A name or URL shared by every hot spot that carries it.
struct CViewEntry {
    std::int32_t m_nCount = 0;
    std::string m_strText;
};

class CPGEdit : public RichTextView, public IOutputView {
    Q_OBJECT
public:
    enum : int { KIND_MAIN = 1, KIND_PRIVATE = 2 };
    enum : std::uint32_t { ITEM_PICTURE = 1, ITEM_LINK = 2, ITEM_USERNAME = 4 };
    static constexpr int kTrimLimit = 16384;

    // Display menu commands; the user menu takes the user actions' ids.
    enum : int {
        ID_CLEAR_ALL = 32781,
        ID_FONT = 32806,
        ID_SOUND_INCOMING = 32821,
        ID_SAVE_TO_FILE = 127,
        ID_WHOS_ONLINE = 32804,
        ID_GOTO_USER = 140,
        ID_EXIT_FIRST = 32782,
        ID_EXIT_LAST = 32791,
    };
    static constexpr int kExitsList = 144;

    CPGEdit(CChatContext& context, IViewCommands& commands, kivra::platform::DialogService& dialogs,
            int kind, QWidget* parent = nullptr, int controlId = 119);
    ~CPGEdit() override;

    int Kind() const { return m_nKind; }

    // IOutputView
    void AppendText(const char* text, std::size_t length, std::uint32_t style) override;
    void AppendSeparator() override;
    void InsertLink(const std::string& linkText, const std::string& url) override;
    void InsertPicture(const ChatPicture& picture, const std::string& userName) override;
    void InsertPlainPicture(const ChatPicture& picture, int placement) override;
    int MarkPicturePlace() override;
    void InsertPictureAt(int place, const ChatPicture& picture,
                         const std::string& userName) override;
    void ForgetPicturePlace(int place) override;
    void FinishAppend() override;
    void SetBold(bool on) override;
    void SetItalic(bool on) override;
    void SetUnderline(bool on) override;
    void SetBaseColour(ChatColor colour) override;
    bool IsAtEnd() const override;
    void ClearAll() override;
    void BeginBatch() override;
    void EndBatch() override;

    void AppendText(const std::string& text, std::uint32_t style) {
        AppendText(text.data(), text.size(), style);
    }
    // Reads "Font Size" and "Font Family" of this kind's section and makes it the default font;
    // with `toExisting` the text already shown takes it too.
    void ApplyFontSettings(bool toExisting = false);
    // The point font the text is shown in, under the family it resolved to (what the font
    // dialog starts from).
    QFont CurrentFont() const;

    // The hot spot under a point of the viewport: its record, or false over plain text.
    bool HotSpotAt(const QPoint& pos, RtvItem* item) const;
    // The URL a click on a link opens, or empty when it opens nothing.
    static std::string NormaliseUrl(const std::string& url);

    // The menus, built with their state for this moment; each action's data is its command.
    QMenu* BuildDisplayMenu(QWidget* parent);
    QMenu* BuildUserMenu(const std::string& name, QWidget* parent);
    // The menu a right click at `pos` opens: the user menu over another user's name, the display
    // menu away from hot spots, none over a link or the own name.
    QMenu* MenuAt(const QPoint& pos, QWidget* parent);
    void OnCommand(int id);

    bool ScrollHold() const;
    bool CaretMoved() const { return m_bCaretMoved; }
    const std::list<CViewEntry>& LinkEntries() const { return m_links; }
    // The links the view shows, in order: "[link] URL LABEL".
    std::vector<std::string> DumpLinks() const;
    const std::list<CViewEntry>& NameEntries() const { return m_names; }

signals:
    // Everything appended, as the plain text it shows; the headless host mirrors it.
    void textAppended(const QString& text);
    // A picture fetched from `url` (wire text) went into the view at this size.
    void pictureInserted(const QByteArray& url, int width, int height);

protected:
    void OnItemDiscarded(const RtvItem& item) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void contextMenuEvent(QContextMenuEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;

private:
    std::intptr_t Send(unsigned msg, std::uintptr_t w = 0, std::intptr_t l = 0) {
        return SendMessage(msg, w, l);
    }
    template <class T> static std::intptr_t Ptr(T* p) { return reinterpret_cast<std::intptr_t>(p); }
    void SetScrollHold(bool on);
    void MoveToEndIfMoved();
    CViewEntry* AddEntry(std::list<CViewEntry>& list, const std::string& text);
    void ReleaseEntry(std::list<CViewEntry>& list, std::uintptr_t entry);
    // At the insertion point, or at `position` when it is not negative.
    void InsertImage(const ChatPicture& picture, std::uint32_t kind, std::uintptr_t reference,
                     int layout1, int position = -1);
    void SetEngineFont(const QFont& font, bool toExisting);
    const char* Section() const { return m_nKind == KIND_MAIN ? "Main" : "PM"; }
    bool IsOwnName(const std::string& name) const;
    std::string ItemName(const RtvItem& item) const;
    void SaveToFile();
    void ShowMenu(QMenu* menu, const QPoint& globalPos);

    CChatContext& m_context;
    IViewCommands& m_commands;
    kivra::platform::DialogService& m_dialogs;
    int m_nKind;
    std::uint32_t m_nBaseStyle = 0;
    std::uint32_t m_nPrevBaseStyle = 0;
    ChatColor m_nBaseColour = 0;
    bool m_bCaretMoved = true;
    // A private display keeps its own hold; the main display's lives in the context.
    int m_nOwnScrollHold = 0;
    QFont m_font;
    std::list<CViewEntry> m_names;
    std::list<CViewEntry> m_links;
    // Address and label of each link item, by item id (ids grow, so this is the view's order).
    std::map<std::uintptr_t, std::pair<std::string, std::string>> m_shownLinks;
    // Places of pictures still on their way; each keeps its position as text is appended behind
    // it and moves back as the document is trimmed in front of it.
    std::map<int, QTextCursor> m_places;
    int m_nNextPlace = 1;
};
