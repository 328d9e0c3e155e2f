#pragma once
// CUserList: the pane that shows who is in the room. The own user comes first, everybody else
// follows in case-insensitive order, each entry with one flag word (follow, ignore, own, watch
// and the four exclusive role bits) that decides its icons, colour and weight. The server's
// room blocks drive it through IUserList; its menu acts on the selected users through the
// shared user actions.

#include "chatcontext.h"
#include "useractions.h"
#include "viewcommands.h"

#include <QAbstractScrollArea>
#include <QFont>
#include <QFontMetrics>
#include <QPixmap>
#include <QTimer>
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <vector>

class QMenu;

// One entry: the name as shown, its folded form for ordering, its bytes, the flag word, the
// name's pixel width (kept so that a leave measures nothing) and whether it is selected.
struct CUserEntry {
    QString name;
    QString key;
    std::string text;
    std::uint32_t flags = 0;
    int width = 0;
    bool selected = false;
};

// Drawn by hand over a scroll area: only the visible entries are ever laid out or painted, so
// an arrival or departure costs the same in a room of five users or of five thousand.
class CUserList : public QAbstractScrollArea, public IUserList {
public:
    static constexpr std::uint32_t FLAG_FOLLOWS_ME = 0x001;
    static constexpr std::uint32_t FLAG_I_FOLLOW = 0x002;
    static constexpr std::uint32_t FLAG_IGNORED = 0x008;
    static constexpr std::uint32_t FLAG_OWN = 0x010;
    static constexpr std::uint32_t FLAG_WATCHED = 0x020;
    static constexpr std::uint32_t FLAG_WORLDADMIN = 0x040;
    static constexpr std::uint32_t FLAG_REALMADMIN = 0x080;
    static constexpr std::uint32_t FLAG_ROOMADMIN = 0x100;
    static constexpr std::uint32_t FLAG_ROOMOP = 0x200;
    static constexpr std::uint32_t FLAG_ROLES = 0x3C0;
    // Where the icons and the name sit in an entry.
    static constexpr int kFirstIconX = 3;
    static constexpr int kSecondIconX = 20;
    static constexpr int kNameX = 36;
    static constexpr int kMinEntryHeight = 15;
    static constexpr int kRefreshMs = 50;

    CUserList(CChatContext& context, IViewCommands& commands, CUserActions& actions,
              QWidget* parent = nullptr);
    ~CUserList() override;

    // IUserList
    void Clear() override;
    bool Contains(const std::string& name) const override;
    void AddUser(const std::string& name) override;
    void AddOwnEntry(const std::string& name) override;
    void RemoveUser(const std::string& name) override;
    void RefreshCount() override;
    void SetRole(const std::string& name, const std::string& role) override;
    void MarkFollower(const std::string& name, bool on) override;
    void MarkIgnored(const std::string& name, bool on) override;
    void MarkFollowed(const std::string& name, bool on) override;
    void MarkWatched(const std::string& name, bool on) override;
    void SelectOnly(const std::string& name) override;
    std::vector<std::string> Selection() const override;
    void StartPrivateMessage() override;
    const ChatPicture* WatchMarker() const override;

    // Adds `name` ("+" read as blank) in its place; the index of its entry.
    int Add(const std::string& name);
    int Count() const;
    std::string NameAt(int row) const;
    std::uint32_t FlagsAt(int row) const;
    // The row of `name`, or -1.
    int Find(const std::string& name) const;
    // The widest name's width in pixels.
    int HorizontalExtent() const;
    int EntryHeight() const { return m_nEntryHeight; }
    const QFont& ListFont() const { return m_font; }
    // Where entry `row` is drawn in the viewport; the row under a viewport point, or -1.
    QRect EntryRect(int row) const;
    int RowAt(const QPoint& pos) const;
    int TopRow() const;
    int CurrentRow() const { return m_nCurrent; }
    // Selects exactly these users (display names; unknown ones and the own user are skipped).
    void SelectNames(const std::vector<std::string>& names);
    // "[user] 0xFLAGS NAME" for each entry in list order.
    std::vector<std::string> DumpLines() const;

    // The bitmap drawn at the first (0) or second (1) icon place for a flag word; 0 for none.
    static int IconFor(std::uint32_t flags, int place);
    static QPixmap Bitmap(int id);

    // The list menu for the selection of this moment; each action's data is its command.
    QMenu* BuildMenu(QWidget* parent);
    void OnCommand(int id);

    // Tab hands the focus to the input line through this.
    std::function<void()> m_focusInput;

protected:
    bool event(QEvent* event) override;
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void scrollContentsBy(int dx, int dy) override;
    void keyPressEvent(QKeyEvent* event) override;
    void focusInEvent(QFocusEvent* event) override;
    void focusOutEvent(QFocusEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void contextMenuEvent(QContextMenuEvent* event) override;

private:
    std::string CurrentName() const;
    bool HasOwn() const;
    // The row holding `key`, or where it would go among the others.
    std::pair<int, bool> Locate(const QString& key) const;
    CUserEntry MakeEntry(const std::string& name, std::uint32_t flags) const;
    void Insert(int row, CUserEntry entry);
    void Erase(int row);
    void ChangeFlags(int row, std::uint32_t set, std::uint32_t clear);
    void ClearSelection();
    void SetCurrent(int row);
    void UpdateRow(int row);
    int VisibleRows() const;
    void UpdateScrollRanges();
    void ScheduleRefresh(bool repaint);
    void Refresh();
    void PaintEntry(QPainter& painter, const CUserEntry& entry, const QRect& rect,
                    bool focus) const;

    CChatContext& m_context;
    IViewCommands& m_commands;
    CUserActions& m_actions;
    // Held by pointer so that an insertion moves pointers, not entries.
    std::vector<std::unique_ptr<CUserEntry>> m_entries;
    std::map<int, int> m_widthCount; // width -> names of that width
    int m_nCurrent = -1;
    // The first entry shown. The scroll bars and the picture follow changes of the entries at
    // most every kRefreshMs, so a room filling or emptying user by user repaints a few times a
    // second, not once a user.
    int m_nTop = 0;
    QTimer m_refresh;
    bool m_bRepaint = false;
    bool m_bQuietScroll = false;
    QFont m_font;
    // The bold face measures every name, made once.
    QFontMetrics m_boldMetrics;
    int m_nEntryHeight = kMinEntryHeight;
    ChatPicture m_watchMarker;
};
