#include "commandmenu.h"

#include "chatstrings.h"
#include "codepage.h"

#include <QAction>
#include <QMenu>

namespace kivra::control {

namespace {

using Item = CommandMenuItem;
using kivra::resources::LoadChatString;

// String table ids of the "Users" menu.
enum : int {
    IDS_PM_SELECTED = 107,
    IDS_PM_NAME = 108,
    IDS_PM_NONE = 109,
    IDS_BUDDY_SELECTED = 110,
    IDS_BUDDY_NAME = 111,
    IDS_WHOIS_SELECTED = 112,
    IDS_WHOIS_NAME = 113,
    IDS_SEND_FILE = 114,
    IDS_CANCEL_TRANSFER = 115,
    IDS_START_FOLLOW = 116,
    IDS_STOP_FOLLOW = 117,
    IDS_FOLLOW_SELECTED = 118,
    IDS_SWITCH_FOLLOW = 119,
    IDS_KICK = 120,
    IDS_EMOTE_AT_NAME = 121,
    IDS_EMOTE_AT_SELECTED = 122,
    IDS_IGNORE_SELECTED = 123,
    IDS_IGNORE_NAME = 124,
    IDS_ALLOW_SELECTED = 125,
    IDS_ALLOW_NAME = 126,
    IDS_WATCH_SELECTED = 127,
    IDS_WATCH_NAME = 128,
    IDS_STOP_WATCH_SELECTED = 129,
    IDS_STOP_WATCH_NAME = 131,
};

Item Command(std::string text, int id, bool grey = false) {
    Item i;
    i.text = std::move(text);
    i.id = id;
    i.grey = grey;
    return i;
}

Item Check(std::string text, int id, bool on) {
    Item i = Command(std::move(text), id);
    i.checkable = true;
    i.check = on;
    return i;
}

Item Separator() {
    Item i;
    i.kind = Item::Kind::Separator;
    return i;
}

Item SubMenu(std::string text, std::vector<Item> children) {
    Item i;
    i.kind = Item::Kind::SubMenu;
    i.text = std::move(text);
    i.children = std::move(children);
    return i;
}

Item Stringed(int stringId, int id, bool grey, const std::vector<std::string>& args = {}) {
    return Command(FormatMenuText(LoadChatString(stringId), args), id, grey);
}

// The follow comparisons read names as the wire writes them, in lower case.
std::string FollowKey(const std::string& name) {
    std::string key = name;
    for (char& c : key) {
        if (c == ' ')
            c = '+';
        else if (c >= 'A' && c <= 'Z')
            c = char(c - 'A' + 'a');
    }
    return key;
}

std::string StripEnds(const std::string& name, const char* chars) {
    const auto first = name.find_first_not_of(chars);
    if (first == std::string::npos)
        return {};
    return name.substr(first, name.find_last_not_of(chars) - first + 1);
}

Item FollowItem(const CommandMenuState& s, std::size_t count, const std::string& selected) {
    if (count > 1)
        return Stringed(IDS_FOLLOW_SELECTED, ID_CMD_FOLLOW, true);
    const std::string name = StripEnds(selected, "+ ");
    const bool grey = name.empty();
    if (s.following && !s.followed.empty()) {
        if (FollowKey(s.followed) == FollowKey(name))
            return Stringed(IDS_STOP_FOLLOW, ID_CMD_STOP_FOLLOW, grey, {name});
        if (s.nameFollowsMe)
            return Stringed(IDS_KICK, ID_CMD_STOP_FOLLOW, grey, {name});
        // The followed name is shown as the list shows names: with blanks.
        std::string followed = s.followed;
        for (char& c : followed)
            if (c == '+')
                c = ' ';
        return Stringed(IDS_SWITCH_FOLLOW, ID_CMD_FOLLOW, grey, {followed, name});
    }
    if (s.nameFollowsMe)
        return Stringed(IDS_KICK, ID_CMD_STOP_FOLLOW, grey, {name});
    return Stringed(IDS_START_FOLLOW, ID_CMD_FOLLOW, grey, {name});
}

std::vector<Item> UsersMenu(const CommandMenuState& s) {
    const std::size_t count = s.selected.size();
    const bool several = count > 1;
    const std::string name = count == 1 ? s.selected.front() : std::string();
    const bool noName = name.empty();
    std::vector<Item> m;
    if (several)
        m.push_back(Stringed(IDS_PM_SELECTED, ID_CMD_PRIVATE, false));
    else if (!noName)
        m.push_back(Stringed(IDS_PM_NAME, ID_CMD_PRIVATE, false, {name}));
    else
        m.push_back(Stringed(IDS_PM_NONE, ID_CMD_PRIVATE, false));

    if (several)
        m.push_back(Stringed(IDS_BUDDY_SELECTED, ID_CMD_BUDDY_ADD, false));
    else if (count == 1)
        m.push_back(Stringed(IDS_BUDDY_NAME, ID_CMD_BUDDY_ADD, false, {name}));
    else
        m.push_back(Stringed(IDS_BUDDY_SELECTED, ID_CMD_BUDDY_ADD, true));

    if (!s.noWhois) {
        if (several)
            m.push_back(Stringed(IDS_WHOIS_SELECTED, ID_CMD_WHOIS, true));
        else
            m.push_back(Stringed(IDS_WHOIS_NAME, ID_CMD_WHOIS, noName, {name}));
    }

    if (!s.noFileTransfer) {
        if (s.transferRunning)
            m.push_back(Stringed(IDS_CANCEL_TRANSFER, ID_CMD_CANCEL_TRANSFER, false));
        else
            m.push_back(
                Stringed(IDS_SEND_FILE, ID_CMD_SEND_FILE, noName || !s.transferEngine, {name}));
    }

    if (s.connectKind == 2)
        m.push_back(FollowItem(s, count, name));

    if (!s.emotion.empty()) {
        if (several)
            m.push_back(Stringed(IDS_EMOTE_AT_SELECTED, ID_CMD_EMOTE_AT, false, {s.emotion}));
        else
            m.push_back(Stringed(IDS_EMOTE_AT_NAME, ID_CMD_EMOTE_AT, noName, {s.emotion, name}));
    }

    m.push_back(Separator());
    if (several) {
        m.push_back(Stringed(IDS_IGNORE_SELECTED, ID_CMD_IGNORE, false));
        m.push_back(Stringed(IDS_ALLOW_SELECTED, ID_CMD_ALLOW, false));
        m.push_back(Stringed(IDS_WATCH_SELECTED, ID_CMD_WATCH, false));
        m.push_back(Stringed(IDS_STOP_WATCH_SELECTED, ID_CMD_STOP_WATCH, false));
    } else {
        if (s.nameIgnored)
            m.push_back(Stringed(IDS_ALLOW_NAME, ID_CMD_ALLOW, noName, {name}));
        else
            m.push_back(Stringed(IDS_IGNORE_NAME, ID_CMD_IGNORE, noName, {name}));
        if (s.nameWatched)
            m.push_back(Stringed(IDS_STOP_WATCH_NAME, ID_CMD_STOP_WATCH, noName, {name}));
        else
            m.push_back(Stringed(IDS_WATCH_NAME, ID_CMD_WATCH, noName, {name}));
    }
    return m;
}

void AddTo(QMenu* menu, const std::vector<Item>& items) {
    for (const Item& item : items) {
        // A "&" in a name or an exit is a letter, not a mnemonic marker.
        const QString text =
            kivra::platform::FromWire(item.text).replace('&', QStringLiteral("&&"));
        switch (item.kind) {
        case Item::Kind::Separator:
            menu->addSeparator();
            break;
        case Item::Kind::SubMenu:
            AddTo(menu->addMenu(text), item.children);
            break;
        case Item::Kind::Command: {
            QAction* a = menu->addAction(text);
            a->setData(item.id);
            a->setEnabled(!item.grey);
            a->setCheckable(item.checkable);
            a->setChecked(item.check);
            break;
        }
        }
    }
}

void DumpTo(const std::vector<Item>& items, int depth, std::vector<std::string>& lines) {
    const std::string indent(std::size_t(depth) * 2, ' ');
    for (const Item& item : items) {
        std::string line = "[menu] " + indent;
        switch (item.kind) {
        case Item::Kind::Separator:
            lines.push_back(line + "---");
            break;
        case Item::Kind::SubMenu:
            lines.push_back(line + item.text + " >");
            DumpTo(item.children, depth + 1, lines);
            break;
        case Item::Kind::Command:
            line += item.text + " (" + std::to_string(item.id) + ")";
            if (item.grey)
                line += " grey";
            if (item.check)
                line += " check";
            lines.push_back(line);
            break;
        }
    }
}

} // namespace

std::string FormatMenuText(const std::string& format, const std::vector<std::string>& args) {
    std::string out;
    std::size_t next = 0;
    for (std::size_t i = 0; i < format.size(); ++i) {
        if (format[i] == '%' && i + 1 < format.size() && format[i + 1] == 's') {
            if (next < args.size())
                out += args[next];
            ++next;
            ++i;
        } else {
            out += format[i];
        }
    }
    return out;
}

std::vector<CommandMenuItem> BuildCommandMenu(const CommandMenuState& s) {
    std::vector<Item> commands = {Command("Who's Online Now", ID_CMD_WHOS_ONLINE),
                                  Command("Create Private Room", ID_CMD_CREATE_PRIVATE),
                                  Command("Submit Question...", ID_CMD_ASK, s.auditorium != 1)};
    if (s.admin != 0)
        commands.push_back(Command("Administer Server", ID_CMD_ADMINISTER));

    std::vector<Item> navigate = {
        Command("Open URL...", ID_CMD_OPEN_URL),
        Command(FormatMenuText("Show Map of %s", {s.title}), ID_CMD_SHOW_ROOMS),
        Command("Goto User...", ID_CMD_GOTO)};
    if (!s.exits.empty())
        navigate.push_back(Separator());
    for (std::size_t i = 0; i < s.exits.size() && i < std::size_t(kMaxMenuExits); ++i)
        navigate.push_back(Command(s.exits[i], ID_CMD_EXIT_FIRST + int(i)));

    std::vector<Item> options = {
        Check("Show emotions list", ID_CMD_SHOW_EMOTIONS, s.showEmotionList),
        Check("Show user names list", ID_CMD_SHOW_NAMES, s.showNameList),
        Check("Play sounds sent by others", ID_CMD_PLAY_SOUNDS, s.playSounds),
        Check("Sound On Incoming Message", ID_CMD_SOUND_INCOMING, s.monitor),
        Check("Show people entering and leaving", ID_CMD_MOVEMENT, !s.ignoreMovement),
        Separator(),
        Command("Preferences...", ID_CMD_PREFERENCES)};

    return {SubMenu("Commands", std::move(commands)),
            SubMenu("Navigate", std::move(navigate)),
            SubMenu("Users", UsersMenu(s)),
            Command("Emotions...", ID_CMD_EMOTIONS),
            Command("Buddies...", ID_CMD_BUDDIES),
            SubMenu("Options", std::move(options)),
            Separator(),
            Command("Help", ID_CMD_HELP_MENU),
            Command("About Kivra", ID_CMD_ABOUT)};
}

std::vector<std::string> DumpCommandMenu(const std::vector<CommandMenuItem>& items) {
    std::vector<std::string> lines;
    DumpTo(items, 0, lines);
    return lines;
}

QMenu* MakeCommandMenu(const std::vector<CommandMenuItem>& items, QWidget* parent) {
    auto* menu = new QMenu(parent);
    AddTo(menu, items);
    return menu;
}

} // namespace kivra::control
