#pragma once
// CUserList: the pane that shows who is in the room. The own user comes first, everybody else
// follows in case-insensitive order, each entry with one flag word (follow, ignore, own, watch
// and the four exclusive role bits) that decides its icons, colour and weight. The server's
// room blocks drive it through IUserList; its menu acts on the selected users through the
// shared user actions.

#include "chatcontext.h"
#include "useractions.h"
#include "viewcommands.h"

#include <QFont>
#include <QListView>
#include <QPixmap>
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <vector>

class QMenu;
class CUserListModel;

class CUserList : public QListView, public IUserList {
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
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void contextMenuEvent(QContextMenuEvent* event) override;

private:
    std::string CurrentName() const;
    void ChangeFlags(int row, std::uint32_t set, std::uint32_t clear);
    void ExtentChanged(int before);

    CChatContext& m_context;
    IViewCommands& m_commands;
    CUserActions& m_actions;
    CUserListModel* m_pModel;
    QFont m_font;
    int m_nEntryHeight = kMinEntryHeight;
    ChatPicture m_watchMarker;
};
