// Commands and blocks of logged-in clients.
#include "chatserver.h"

#include <algorithm>

namespace kivra::server {

namespace {

// The global emotion list: the word, what the actor does alone, and what they do at someone.
struct EmotionDef {
    const char* word;
    const char* alone;
    const char* at;
};
constexpr EmotionDef kEmotions[] = {
    {"smile", "smiles.", "smiles at %s."},
    {"grin", "grins.", "grins at %s."},
    {"nod", "nods.", "nods at %s."},
    {"bow", "bows.", "bows to %s."},
    {"shake", "shakes their head.", "shakes %s's hand."},
    {"smirk", "smirks.", "smirks at %s."},
    {"laugh", "laughs.", "laughs at %s."},
    {"wave", "waves.", "waves to %s."},
    {"wink", "winks.", "winks at %s."},
    {"hug", "hugs everyone.", "hugs %s."},
    {"cheer", "cheers!", "cheers for %s!"},
    {"shrug", "shrugs.", "shrugs at %s."},
    {"sigh", "sighs.", "sighs at %s."},
    {"frown", "frowns.", "frowns at %s."},
    {"clap", "claps.", "applauds %s."},
    {"dance", "dances around.", "dances with %s."},
};

std::pair<std::string, std::string> SplitWord(const std::string& line) {
    const std::string t = Trim(line);
    const std::size_t b = t.find(' ');
    if (b == std::string::npos)
        return {t, ""};
    return {t.substr(0, b), Trim(t.substr(b + 1))};
}

std::string Replace(std::string pattern, const std::string& name) {
    const std::size_t at = pattern.find("%s");
    if (at != std::string::npos)
        pattern.replace(at, 2, name);
    return pattern;
}

std::vector<std::string> SplitLines(const std::string& value) {
    std::vector<std::string> out;
    if (value.empty())
        return out;
    std::size_t start = 0;
    while (true) {
        const std::size_t at = value.find("%0d", start);
        out.push_back(value.substr(start, at - start));
        if (at == std::string::npos)
            break;
        start = at + 3;
    }
    return out;
}

std::string JoinLines(const std::vector<std::string>& lines) {
    std::string out;
    for (std::size_t i = 0; i < lines.size(); ++i) {
        if (i)
            out += "%0d";
        out += lines[i];
    }
    return out;
}

const char* kHelp[] = {
    "say TEXT, emote TEXT, think TEXT, shout TEXT, tell NAME[,NAME...] TEXT",
    "look, users, goto NAME, an exit name (north ...), worldmap, help, quit",
    "follow NAME, stopfollow NAME, ignore add|remove NAME, buddy add|remove NAME",
    "an emotion word (smile, wave ...) alone or with a name",
    "DISPLAY kind colour [bold] [underline], ECHO ON|OFF, BRIEF ON|OFF, EMAIL, URL",
};

} // namespace

void CChatServer::HandleLine(CChatUser* user, const std::string& rawLine) {
    std::string line = rawLine;
    // Raw commands typed with a leading slash reach us without it; accept both.
    if (!line.empty() && line[0] == '/')
        line.erase(0, 1);
    auto [word, args] = SplitWord(line);
    const std::string verb = Lower(word);
    // Speech keeps the text exactly as typed after the single separating blank.
    const std::string text = line.size() > word.size() + 1 ? line.substr(word.size() + 1) : "";
    if (verb.empty() || verb == "noop")
        return;
    if (verb == "say") {
        if (!Trim(text).empty())
            Say(user, text);
    } else if (verb == "emote") {
        if (!Trim(text).empty())
            Emote(user, text);
    } else if (verb == "think") {
        if (!Trim(text).empty())
            Emote(user, ". o O ( " + text + " )");
    } else if (verb == "shout") {
        if (!Trim(text).empty())
            Say(user, text, true);
    } else if (verb == "tell") {
        auto [to, message] = SplitWord(args);
        if (to.empty() || message.empty())
            Info(user, "Usage: tell NAME[,NAME...] TEXT", kUsage);
        else
            Tell(user, to, message);
    } else if (verb == "quit") {
        if (user->connection)
            user->connection->CloseAfterSend();
    } else if (verb == "users" || verb == "who") {
        Users(user);
    } else if (verb == "look") {
        Look(user, true);
    } else if (verb == "goto") {
        Goto(user, args);
    } else if (verb == "go") {
        HandleLine(user, args);
    } else if (verb == "help") {
        std::string out;
        for (const char* h : kHelp)
            out += Notice(user->styles, kUsage, h);
        if (!m_httpBase.empty())
            out += Block("loadframe", "kivrahelpdisplay " + m_httpBase + "/help.html");
        SendTo(user, out);
    } else if (verb == "follow") {
        Follow(user, args);
    } else if (verb == "stopfollow") {
        StopFollow(user, args);
    } else if (verb == "ignore") {
        Ignore(user, args);
    } else if (verb == "buddy") {
        Buddy(user, args);
    } else if (verb == "sysmsg") {
        user->sysmsg = !EqualsNoCase(args, "off");
    } else if (HandleOption(user, verb, args) || HandleEmotion(user, verb, args)) {
    } else {
        for (const auto& e : user->room->exits) {
            if (EqualsNoCase(e.name, word)) {
                Enter(user, FindRoom(e.target));
                return;
            }
        }
        Error(user, "Unknown command: " + word);
    }
}

bool CChatServer::HandleOption(CChatUser* user, const std::string& verb, const std::string& args) {
    auto permission = [](const std::string& v) -> std::string {
        const std::string l = Lower(Trim(v));
        return l == "yes" || l == "no" ? l : "ask";
    };
    if (verb == "display") {
        if (!user->styles.ApplyDisplay(args))
            Error(user, "DISPLAY needs a message kind and a colour.");
    } else if (verb == "autofollow") {
        user->allowFollow = permission(args);
    } else if (verb == "autogoto") {
        user->allowGoto = permission(args);
    } else if (verb == "brief") {
        user->brief = EqualsNoCase(args, "on");
    } else if (verb == "echo") {
        user->echo = !EqualsNoCase(args, "off");
    } else if (verb == "email") {
        user->email = args.substr(0, 255);
    } else if (verb == "url") {
        user->homepage = args.substr(0, 255);
    } else {
        return false;
    }
    return true;
}

bool CChatServer::HandleEmotion(CChatUser* user, const std::string& verb, const std::string& args) {
    for (const auto& e : kEmotions) {
        if (verb != e.word)
            continue;
        if (args.empty()) {
            Emote(user, e.alone);
            return true;
        }
        CChatUser* target = FindUser(args);
        if (!target) {
            Info(user, "No one called " + DisplayName(args) + " is online.", kAttention);
            return true;
        }
        Emote(user, Replace(e.at, target->name));
        return true;
    }
    return false;
}

void CChatServer::HandleBlock(CChatUser* user, const std::vector<BlockEntry>& entries) {
    for (const auto& e : entries) {
        const std::string k = Lower(e.keyword);
        const std::string v = Trim(e.value);
        if (k == "displayavatars") {
            user->avatars = !EqualsNoCase(v, "off");
        } else if (k == "whois") {
            Whois(user, v);
        } else if (k == "emotions") {
            CBlockWriter b;
            for (const auto& em : kEmotions)
                b.Add("emotions", em.word);
            SendTo(user, b.Text());
        } else if (k == "userprefs") {
            UserPrefs(user);
        } else if (k == "gettickermsgs") {
            CBlockWriter b;
            for (const auto& m : TickerMessages())
                b.Add("tickermsg", m);
            SendTo(user, b.Text());
        } else if (k == "getbuddylist") {
            const auto& buddies = m_buddies[user->key];
            if (buddies.empty()) {
                Info(user, "Your buddy list is empty.");
            } else {
                CBlockWriter b;
                for (const auto& name : buddies)
                    b.Add("buddy", name);
                SendTo(user, b.Text());
            }
        } else if (k == "worldmap") {
            if (m_httpBase.empty())
                Error(user, "There is no map on this server.");
            else
                SendTo(user, Block("loadurl", m_httpBase + "/map.html"));
        } else if (k == "createprivate") {
            CreatePrivate(user);
        } else if (k == "ipaddress") {
            // The client strips blanks and "+" from the name it asks about.
            CChatUser* target = nullptr;
            std::string want = NameKey(v);
            want.erase(std::remove(want.begin(), want.end(), '+'), want.end());
            for (const auto& [key, u] : m_users) {
                std::string bare = key;
                bare.erase(std::remove(bare.begin(), bare.end(), '+'), bare.end());
                if (bare == want)
                    target = u.get();
            }
            if (!target || target->IsBot())
                Error(user, "No one called " + v + " can receive files now.");
            else
                SendTo(user,
                       Block("ipaddress", target->Wire() + " " +
                                              target->connection->PeerAddress().toStdString()));
        } else if (k == "description") {
            user->description = SplitLines(e.value);
        } else if (k == "address") {
            user->address = SplitLines(e.value);
        } else {
            Error(user, "Unknown request: " + e.keyword);
        }
    }
}

void CChatServer::Users(CChatUser* user) {
    std::string text =
        Notice(user->styles, kInfoMessage, std::to_string(m_users.size()) + " people are online:");
    for (const auto& [k, u] : m_users) {
        const std::string where = u->room ? u->room->name : "nowhere";
        text += Notice(user->styles, kInfoMessage, "  " + u->name + " (" + where + ")");
    }
    CBlockWriter b;
    for (const CChatUser* u : user->room->present) {
        const std::string role = RoleIn(*u, *user->room);
        b.Add(role.empty() ? std::string("user") : "user role=" + role, u->Wire());
    }
    SendTo(user, text + b.Text());
}

void CChatServer::Whois(CChatUser* user, const std::string& name) {
    CChatUser* target = FindUser(name);
    if (!target) {
        Error(user, "No one called " + DisplayName(name) + " is online.");
        return;
    }
    CBlockWriter b;
    b.Add("whois", target->Wire());
    std::vector<std::string> description = target->description;
    if (description.empty())
        description.push_back(target->name + " has not written a description yet.");
    b.Add("whois description", JoinLines(description));
    if (!target->homepage.empty())
        b.Add("whois homepage", target->homepage);
    if (!target->email.empty())
        b.Add("whois email", target->email);
    b.Add("whois inventory", "Room: " + (target->room ? target->room->name : "nowhere"));
    b.Add("whois inventory", "Role: " + (target->role.empty() ? "user" : target->role));
    b.Add("whois inventory", target->IsBot() ? "A resident of this world" : "A visitor");
    SendTo(user, b.Text());
}

void CChatServer::UserPrefs(CChatUser* user) {
    CBlockWriter b;
    b.Add("userprefs");
    for (int kind = 0; kind < kKindCount; ++kind) {
        const std::uint32_t style = user->styles.style[kind];
        const std::string k = KindName(kind);
        const char* colour = ColorName(static_cast<int>(style & 0xFFFF));
        b.Add(k + " color", *colour ? colour : "notset");
        if (style & kBold)
            b.Add(k + " effect", "bold");
        if (style & kUnderline)
            b.Add(k + " effect", "underline");
    }
    b.Add("allowfollow", user->allowFollow);
    b.Add("allowgoto", user->allowGoto);
    b.Add("briefmode", user->brief ? "on" : "off");
    b.Add("echosayandtell", user->echo ? "yes" : "no");
    b.Add("email", user->email);
    b.Add("homepage", user->homepage);
    for (const auto& d : user->description)
        b.Add("description", d);
    for (const auto& a : user->address)
        b.Add("address", a);
    b.Add("gender", user->gender);
    SendTo(user, b.Text());
}

void CChatServer::Follow(CChatUser* user, const std::string& name) {
    CChatUser* target = FindUser(name);
    if (!target || target == user) {
        Error(user,
              target ? "You can't follow yourself." : "No one called " + name + " is online.");
        return;
    }
    if (target->allowFollow == "no") {
        Info(user, target->name + " does not want to be followed.", kAttention);
        return;
    }
    if (!user->following.empty() && user->following != target->key) {
        if (auto it = m_users.find(user->following); it != m_users.end())
            SendTo(it->second.get(), Block("stoppedfollowingme", user->Wire()));
        SendTo(user, Block("nolongerfollowing"));
    }
    user->following = target->key;
    SendTo(user, Block("iamfollowing", target->Wire()));
    SendTo(target, Block("followingme", user->Wire()) +
                       Notice(target->styles, kInfoMessage, user->name + " is following you."));
    if (target->room != user->room)
        Enter(user, target->room);
}

void CChatServer::StopFollow(CChatUser* user, const std::string& name) {
    CChatUser* target = FindUser(name);
    if (!target) {
        Error(user, "No one called " + name + " is online.");
        return;
    }
    if (user->following == target->key) {
        user->following.clear();
        SendTo(user, Block("nolongerfollowing"));
        SendTo(target, Block("stoppedfollowingme", user->Wire()));
    } else if (target->following == user->key) {
        // Kicking someone off one's tail.
        target->following.clear();
        SendTo(target,
               Block("nolongerfollowing") + Notice(target->styles, kInfoMessage,
                                                   user->name + " does not want to be followed."));
        SendTo(user, Block("stoppedfollowingme", target->Wire()));
    } else {
        Info(user, "You and " + target->name + " are not following each other.");
    }
}

void CChatServer::Ignore(CChatUser* user, const std::string& args) {
    auto [sub, name] = SplitWord(args);
    const bool add = EqualsNoCase(sub, "add");
    if ((!add && !EqualsNoCase(sub, "remove")) || name.empty()) {
        Error(user, "Usage: ignore add|remove NAME");
        return;
    }
    if (EqualsNoCase(name, "movement")) {
        user->ignoreMovement = add;
        return;
    }
    const std::string key = NameKey(DisplayName(name));
    if (key == user->key) {
        Error(user, "You can't ignore yourself.");
        return;
    }
    if (add)
        user->ignoring.insert(key);
    else
        user->ignoring.erase(key);
    SendTo(user, Block(add ? "iamignoring" : "stoppedignoring", WireName(DisplayName(name))));
}

void CChatServer::Buddy(CChatUser* user, const std::string& args) {
    auto [sub, name] = SplitWord(args);
    const std::string wire = WireName(DisplayName(name));
    auto& list = m_buddies[user->key];
    const auto it = std::find_if(list.begin(), list.end(),
                                 [&](const std::string& b) { return NameKey(b) == NameKey(wire); });
    if (EqualsNoCase(sub, "add") && !name.empty()) {
        if (it == list.end() && list.size() < 200)
            list.push_back(wire);
        Info(user, DisplayName(name) + " is on your buddy list.");
    } else if (EqualsNoCase(sub, "remove") && !name.empty()) {
        if (it != list.end())
            list.erase(it);
        Info(user, DisplayName(name) + " is off your buddy list.");
    } else {
        Error(user, "Usage: buddy add|remove NAME");
    }
}

void CChatServer::CreatePrivate(CChatUser* user) {
    auto room = std::make_unique<CRoom>();
    room->name = "Private " + std::to_string(++m_privateCount);
    room->type = "chat";
    room->isPrivate = true;
    room->ownerKey = user->key;
    room->description.push_back("A quiet private room made by " + user->name + ".");
    room->exits.push_back(ExitDef{"out", StartRoom()->name});
    CRoom* raw = room.get();
    m_rooms.push_back(std::move(room));
    Enter(user, raw);
}

void CChatServer::Goto(CChatUser* user, const std::string& name) {
    if (name.empty()) {
        Info(user, "Usage: goto NAME", kUsage);
        return;
    }
    if (CChatUser* target = FindUser(name)) {
        if (target == user) {
            Error(user, "You can't goto yourself");
        } else if (target->allowGoto == "no") {
            Info(user, target->name + " does not accept visitors.", kAttention);
        } else {
            Enter(user, target->room);
        }
        return;
    }
    if (CRoom* room = FindRoom(name); room && !room->isPrivate) {
        Enter(user, room);
        return;
    }
    Error(user, "No one and no room called " + DisplayName(name) + ".");
}

} // namespace kivra::server
