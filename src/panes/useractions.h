#pragma once
// CUserActions: every action that acts on another user by name, in one place. The user list's
// menu, the output view's user menu (through the list's selection), the goto dialog and the
// buddy dialog all end here, so each command line is composed once. Names arrive as display
// names (blanks); every line carries the wire name (blanks as "+") with CR, LF and NUL removed,
// so no name can split into two commands.

#include "viewcommands.h"

#include <QString>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

class CChatContext;

class CUserActions {
public:
    // Command ids of the user menus.
    enum : int {
        ID_SEND_PM = 32775,
        ID_ADD_BUDDY = 278,
        ID_WHOIS = 134,
        ID_SEND_FILE = 123,
        ID_CANCEL_TRANSFER = 138,
        ID_STOP_FOLLOW = 122,
        ID_FOLLOW = 32803,
        ID_EMOTE_AT = 32814,
        ID_IGNORE = 32776,
        ID_ALLOW = 32777,
        ID_WATCH = 32823,
        ID_STOP_WATCH = 32824,
    };

    CUserActions(CChatContext& context, IViewCommands& commands)
        : m_context(context), m_commands(commands) {}

    // The panes that are not built yet plug in here; while a seam is empty its item is grey
    // and its command does nothing.
    std::function<void(const std::vector<std::string>& names)> m_startPrivate;
    std::function<void(const std::string& wireName)> m_sendFile;
    std::function<void()> m_cancelTransfer;

    // The name as it travels: blanks as "+", CR, LF and NUL removed.
    static std::string WireName(std::string_view display);
    // A name as the user typed it: CR, LF and NUL removed.
    static std::string CleanName(std::string_view name);

    // The follow item of a user menu for user `name` (empty: nobody).
    struct MenuItem {
        QString text;
        int id = 0;
        bool enabled = true;
    };
    MenuItem FollowItem(const std::string& name) const;

    bool CanStartPrivate() const { return static_cast<bool>(m_startPrivate); }
    bool IsOwnName(std::string_view name) const;

    // Runs command `id` on `names` (display names in list order); `current` is the entry the
    // who-is question asks about. False when `id` is not a user command.
    bool Run(int id, const std::vector<std::string>& names, const std::string& current);

    void StartPrivate(const std::vector<std::string>& names);
    void AddBuddies(const std::vector<std::string>& names);
    void RemoveBuddy(const std::string& name);
    void Whois(const std::string& name);
    void SendFile(const std::string& name);
    void CancelTransfer();
    void Follow(const std::string& name, bool on);
    void EmoteAt(const std::string& emotion, const std::vector<std::string>& names);
    void Ignore(const std::string& name);
    void Allow(const std::string& name);
    void Watch(const std::string& name);
    void StopWatching(const std::string& name);
    void Goto(const std::string& name);

private:
    // Writes a raw line (no say prefix) through the protocol object.
    void SendRaw(const std::string& line);

    CChatContext& m_context;
    IViewCommands& m_commands;
};
