#pragma once
// The Menu button's pop-up. It is built afresh every time it opens: first the panel gathers the
// state of this moment into CommandMenuState, then BuildCommandMenu turns that state into a tree
// of items (texts from the string table, grey and check marks), which becomes a QMenu to show or
// the "[menu]" lines of the headless dump. The tree depends on nothing but the state, so it is
// checked without showing a menu.

#include <string>
#include <vector>

class QMenu;
class QWidget;

namespace kivra::control {

// Command ids of the panel's tool buttons and menu.
enum : int {
    ID_CMD_OPEN_URL = 102,
    ID_CMD_NOTHING = 103,
    ID_CMD_SHOW_NAMES = 106,
    ID_CMD_SHOW_EMOTIONS = 107,
    ID_CMD_PRIVATE = 108,
    ID_CMD_HELP = 109,
    ID_CMD_STOP_FOLLOW = 122,
    ID_CMD_SEND_FILE = 123,
    ID_CMD_MENU = 128,
    ID_CMD_ASK = 129,
    ID_CMD_SHOW_ROOMS = 130,
    ID_CMD_WHOIS = 134,
    ID_CMD_CANCEL_TRANSFER = 138,
    ID_CMD_CREATE_PRIVATE = 139,
    ID_CMD_GOTO = 140,
    ID_CMD_PREFERENCES = 141,
    ID_CMD_ADMINISTER = 144,
    ID_CMD_BUDDIES = 145,
    ID_CMD_PLAY_SOUNDS = 146,
    ID_CMD_MOVEMENT = 147,
    ID_CMD_BUDDY_ADD = 278,
    ID_CMD_WHOS_ONLINE = 32774,
    ID_CMD_IGNORE = 32776,
    ID_CMD_ALLOW = 32777,
    ID_CMD_EXIT_FIRST = 32782,
    ID_CMD_EXIT_LAST = 32791,
    ID_CMD_EMOTIONS = 32794,
    ID_CMD_FOLLOW = 32803,
    ID_CMD_EMOTE_AT = 32814,
    ID_CMD_SOUND_INCOMING = 32821,
    ID_CMD_ABOUT = 32822,
    ID_CMD_WATCH = 32823,
    ID_CMD_STOP_WATCH = 32824,
    ID_CMD_HELP_MENU = 57670,
};

// Everything the menu depends on, read at the moment it opens. Texts are wire text
// (Windows-1252).
struct CommandMenuState {
    int auditorium = 0;
    int admin = 0;
    std::string title;              // the connection parameter block's title
    std::vector<std::string> exits; // the protocol's exit list, capitalised, in order
    // The user list's selection; with one entry, that entry's text is the name.
    std::vector<std::string> selected;
    bool noWhois = false;        // option bit 0x08
    bool noFileTransfer = false; // option bit 0x01
    bool transferEngine = false; // a transfer engine is active
    bool transferRunning = false;
    int connectKind = 2;
    // Follow state: the followed user (empty: nobody) and whether the one selected name is
    // among the users following this user.
    bool following = false;
    std::string followed;
    bool nameFollowsMe = false;
    // The protocol's ignore and watch lists for the one selected name.
    bool nameIgnored = false;
    bool nameWatched = false;
    std::string emotion; // selected in the emotions list; empty: none
    bool showEmotionList = false;
    bool showNameList = true;
    bool playSounds = true;
    bool monitor = false;
    bool ignoreMovement = false;
};

struct CommandMenuItem {
    enum class Kind { Command, SubMenu, Separator };
    Kind kind = Kind::Command;
    std::string text; // wire text
    int id = 0;
    bool grey = false;
    bool check = false; // a check mark (checkable items only)
    bool checkable = false;
    std::vector<CommandMenuItem> children;
};

// The at most ten exits of the "Navigate" menu.
constexpr int kMaxMenuExits = ID_CMD_EXIT_LAST - ID_CMD_EXIT_FIRST + 1;

std::vector<CommandMenuItem> BuildCommandMenu(const CommandMenuState& state);

// One "[menu] " line per item, two blanks of indent per level: "TEXT (ID)" with " grey" and/or
// " check", "TEXT >" for a sub-menu, "---" for a separator.
std::vector<std::string> DumpCommandMenu(const std::vector<CommandMenuItem>& items);

// The tree as a QMenu owned by `parent`; each action's data is its command id.
QMenu* MakeCommandMenu(const std::vector<CommandMenuItem>& items, QWidget* parent);

// `format` with each "%s" replaced by the next of `args` in turn; the arguments themselves are
// never read as formats.
std::string FormatMenuText(const std::string& format, const std::vector<std::string>& args);

} // namespace kivra::control
