#include "chatserver.h"

#include <algorithm>
#include <cstdio>

namespace kivra::server {

namespace {
constexpr const char* kServerVersion = "kivra-server 5.0";
// Lines a client may send before logging in; more means it is not a chat client.
constexpr int kMaxLinesBeforeLogin = 16;

// The options a user keeps between logins for as long as the server runs.
void SaveOptions(const CChatUser& from, CChatUser& to) {
    to.styles = from.styles;
    to.avatars = from.avatars;
    to.echo = from.echo;
    to.brief = from.brief;
    to.allowFollow = from.allowFollow;
    to.allowGoto = from.allowGoto;
    to.email = from.email;
    to.homepage = from.homepage;
    to.gender = from.gender;
    to.description = from.description;
    to.address = from.address;
}
} // namespace

void CChatServer::LogInput(const CChatUser& user, const ReaderEvent& event) {
    if (event.kind == ReaderEvent::Kind::Block) {
        for (const BlockEntry& e : event.entries)
            std::printf("[in] %s <%s> %s\n", user.Wire().c_str(), e.keyword.c_str(),
                        e.value.c_str());
    } else {
        std::printf("[in] %s %s\n", user.Wire().c_str(), event.text.c_str());
    }
    std::fflush(stdout);
}

CChatServer::CChatServer(const ServerOptions& options, std::vector<RoomDef> world,
                         std::vector<Account> accounts, QObject* parent)
    : QObject(parent), m_options(options), m_accounts(std::move(accounts)) {
    for (auto& def : world) {
        auto room = std::make_unique<CRoom>();
        room->name = def.name;
        room->type = def.type;
        room->description = std::move(def.description);
        room->exits = std::move(def.exits);
        m_rooms.push_back(std::move(room));
    }
    connect(&m_tickerTimer, &QTimer::timeout, this, &CChatServer::PushTicker);
    if (m_options.tickerSeconds > 0)
        m_tickerTimer.start(m_options.tickerSeconds * 1000);
}

CChatServer::~CChatServer() {
    for (CClientConnection* c : m_connections) {
        disconnect(c, nullptr, this, nullptr);
        delete c;
    }
}

bool CChatServer::Listen(QString& error) {
    for (quint16 port : m_options.ports) {
        auto server = std::make_unique<QTcpServer>();
        if (!server->listen(m_options.bind, port)) {
            error = QString("cannot listen on %1:%2: %3")
                        .arg(m_options.bind.toString())
                        .arg(port)
                        .arg(server->errorString());
            return false;
        }
        QTcpServer* raw = server.get();
        connect(raw, &QTcpServer::newConnection, this, [this, raw] { OnNewConnection(raw); });
        m_listeners.push_back(std::move(server));
    }
    return true;
}

QList<quint16> CChatServer::ChatPorts() const {
    QList<quint16> ports;
    for (const auto& l : m_listeners)
        ports.append(l->serverPort());
    return ports;
}

void CChatServer::OnNewConnection(QTcpServer* server) {
    while (QTcpSocket* socket = server->nextPendingConnection()) {
        auto* conn = new CClientConnection(socket);
        m_connections.push_back(conn);
        connect(conn, &CClientConnection::eventsReady, this, &CChatServer::OnEvents);
        connect(conn, &CClientConnection::gone, this, &CChatServer::OnGone);
        // IAC WILL ECHO: clients are expected to answer it, so every session exercises that.
        conn->Send(std::string("\xFF\xFB\x01", 3));
    }
}

void CChatServer::OnGone(CClientConnection* conn) {
    m_connections.erase(std::remove(m_connections.begin(), m_connections.end(), conn),
                        m_connections.end());
    if (conn->user) {
        CChatUser* user = conn->user;
        conn->user = nullptr;
        user->connection = nullptr;
        RemoveUser(user);
    }
}

void CChatServer::OnEvents(CClientConnection* conn, const std::vector<ReaderEvent>& events) {
    for (const ReaderEvent& ev : events) {
        if (!conn->IsAlive())
            return;
        if (ev.kind == ReaderEvent::Kind::Error) {
            conn->Drop(ev.text);
            return;
        }
        if (!conn->user) {
            if (ev.kind == ReaderEvent::Kind::Block) {
                HandleLogin(conn, ev.entries);
            } else if (!Trim(ev.text).empty() && ++conn->badLines > kMaxLinesBeforeLogin) {
                conn->Drop("talks without logging in");
            }
            continue;
        }
        if (m_options.logInput)
            LogInput(*conn->user, ev);
        if (ev.kind == ReaderEvent::Kind::Block)
            HandleBlock(conn->user, ev.entries);
        else
            HandleLine(conn->user, ev.text);
    }
}

void CChatServer::RefuseLogin(CClientConnection* conn, const std::string& why) {
    conn->Send(Block("error", why));
    conn->CloseAfterSend();
}

void CChatServer::HandleLogin(CClientConnection* conn, const std::vector<BlockEntry>& entries) {
    std::string name, password, cookie, roomName;
    bool login = false;
    for (const auto& e : entries) {
        const std::string k = Lower(e.keyword);
        if (k == "username") {
            name = DisplayName(Trim(e.value));
            login = true;
        } else if (k == "password") {
            password = e.value;
        } else if (k == "cookie") {
            cookie = Trim(e.value);
            login = true;
        } else if (k == "room") {
            roomName = DisplayName(Trim(e.value));
        }
    }
    if (!login) {
        // Blocks other than a login (say displayavatars sent too early) are not an offence.
        if (++conn->badLines > kMaxLinesBeforeLogin)
            conn->Drop("talks without logging in");
        return;
    }
    std::string role;
    if (!cookie.empty()) {
        const auto it = std::find_if(m_accounts.begin(), m_accounts.end(),
                                     [&](const Account& a) { return a.cookie == cookie; });
        if (it != m_accounts.end()) {
            name = it->name;
            role = it->role;
        } else if (m_options.open && IsValidName(DisplayName(cookie))) {
            name = DisplayName(cookie);
        } else {
            RefuseLogin(conn, "Login failed: unknown login cookie.");
            return;
        }
    } else {
        if (name.empty() || password.empty()) {
            RefuseLogin(conn, "Login failed: a user name and a password are needed.");
            return;
        }
        const auto it = std::find_if(m_accounts.begin(), m_accounts.end(), [&](const Account& a) {
            return NameKey(a.name) == NameKey(name);
        });
        if (it != m_accounts.end()) {
            if (it->password != password) {
                RefuseLogin(conn, "Login failed: wrong user name or password.");
                return;
            }
            name = it->name;
            role = it->role;
        } else if (!m_options.open) {
            RefuseLogin(conn, "Login failed: wrong user name or password.");
            return;
        }
    }
    if (!IsValidName(name)) {
        RefuseLogin(conn, "Login failed: user names may hold letters, digits and blanks.");
        return;
    }
    const std::string key = NameKey(name);
    if (auto it = m_users.find(key); it != m_users.end()) {
        CChatUser* old = it->second.get();
        if (old->IsBot()) {
            RefuseLogin(conn, "Login failed: that name is taken.");
            return;
        }
        CClientConnection* oldConn = old->connection;
        oldConn->Send(Block("error", "You have logged in from another place."));
        oldConn->user = nullptr;
        old->connection = nullptr;
        oldConn->CloseAfterSend();
        RemoveUser(old);
    }
    auto user = std::make_unique<CChatUser>();
    user->name = name;
    user->key = key;
    user->role = role;
    user->connection = conn;
    conn->user = user.get();
    if (auto saved = m_savedOptions.find(key); saved != m_savedOptions.end())
        SaveOptions(saved->second, *user);
    CChatUser* raw = user.get();
    m_users[key] = std::move(user);

    CBlockWriter hello;
    hello.Add("serverversion", kServerVersion);
    const bool admin = role == "roomadmin" || role == "realmadmin" || role == "worldadmin";
    hello.Add(admin ? "isadmin" : "notadmin");
    SendTo(raw, hello.Text());
    Info(raw, "Welcome to Kivra, " + name + ". Type help for the commands.");
    CRoom* room = roomName.empty() ? nullptr : FindRoom(roomName);
    if (!roomName.empty() && !room)
        Info(raw,
             "There is no room called " + roomName + "; you are in the " + StartRoom()->name + ".");
    Enter(raw, room ? room : StartRoom());
    emit humanArrived(raw);
}

CChatUser* CChatServer::AddBot(const std::string& name, const std::string& roomName) {
    const std::string key = NameKey(name);
    if (!IsValidName(name) || m_users.count(key))
        return nullptr;
    auto user = std::make_unique<CChatUser>();
    user->name = name;
    user->key = key;
    CChatUser* raw = user.get();
    m_users[key] = std::move(user);
    CRoom* room = FindRoom(roomName);
    Enter(raw, room ? room : StartRoom());
    return raw;
}

void CChatServer::RemoveUser(CChatUser* user) {
    // Followers lose their leader, the leader loses a follower.
    for (auto& [k, other] : m_users) {
        if (other.get() != user && other->following == user->key) {
            other->following.clear();
            SendTo(other.get(), Block("nolongerfollowing"));
        }
    }
    if (!user->following.empty()) {
        if (auto it = m_users.find(user->following); it != m_users.end())
            SendTo(it->second.get(), Block("stoppedfollowingme", user->Wire()));
    }
    LeaveRoom(user, false);
    // Kept for the next login under this name (a bot's name is never given to a login).
    SaveOptions(*user, m_savedOptions[user->key]);
    if (user->connection) {
        user->connection->user = nullptr;
        user->connection->CloseAfterSend();
    }
    m_users.erase(user->key);
}

CRoom* CChatServer::FindRoom(const std::string& name) const {
    const std::string key = NameKey(DisplayName(name));
    for (const auto& r : m_rooms) {
        if (NameKey(r->name) == key)
            return r.get();
    }
    return nullptr;
}

CRoom* CChatServer::StartRoom() const {
    return m_rooms.front().get();
}

CChatUser* CChatServer::FindUser(const std::string& name) const {
    const auto it = m_users.find(NameKey(DisplayName(Trim(name))));
    return it == m_users.end() ? nullptr : it->second.get();
}

std::string CChatServer::RoleIn(const CChatUser& user, const CRoom& room) const {
    if (room.isPrivate && room.ownerKey == user.key && user.role.empty())
        return "roomop";
    return user.role;
}

std::string CChatServer::NewRoomBlock(const CRoom& room) const {
    CBlockWriter b;
    b.Add("newroom");
    b.Add("roomtype", room.type);
    for (const CChatUser* u : room.present) {
        const std::string role = RoleIn(*u, room);
        b.Add(role.empty() ? std::string("user") : "user role=" + role, u->Wire());
    }
    for (const auto& e : room.exits)
        b.Add("exit", e.name);
    return b.Text();
}

void CChatServer::Look(CChatUser* user, bool full) {
    const CRoom& room = *user->room;
    std::string text = Notice(user->styles, kRoomDescription, room.name);
    if (full || !user->brief) {
        for (const auto& line : room.description)
            text += Notice(user->styles, kRoomDescription, line);
    }
    std::string exits;
    for (const auto& e : room.exits) {
        if (!exits.empty())
            exits += ", ";
        exits += e.name;
    }
    text += Notice(user->styles, kRoomExits, "Exits: " + (exits.empty() ? "none" : exits));
    std::string others;
    for (const CChatUser* u : room.present) {
        if (u != user) {
            if (!others.empty())
                others += ", ";
            others += u->name;
        }
    }
    if (!others.empty())
        text += Notice(user->styles, kInfoMessage, "Here: " + others);
    SendTo(user, text);
}

void CChatServer::Enter(CChatUser* user, CRoom* room) {
    CRoom* from = user->room;
    if (from == room)
        return;
    // Followers who were with the user come along; taken before leaving, which may end a
    // private room.
    std::vector<CChatUser*> followers;
    if (from) {
        for (CChatUser* other : from->present) {
            if (other->following == user->key)
                followers.push_back(other);
        }
        LeaveRoom(user, true);
    }
    room->present.push_back(user);
    user->room = room;
    SendTo(user, NewRoomBlock(*room));
    Look(user, false);
    const std::string role = RoleIn(*user, *room);
    const std::string enter =
        Block(role.empty() ? std::string("enter") : "enter role=" + role, user->Wire());
    for (CChatUser* other : room->present) {
        if (other == user)
            continue;
        std::string bytes = enter;
        if (other->sysmsg && !other->ignoreMovement)
            bytes += Notice(other->styles, kEnterMessage, user->name + " has entered the room.");
        SendTo(other, bytes);
    }
    for (CChatUser* f : followers) {
        Info(f, "You follow " + user->name + ".");
        Enter(f, room);
    }
}

void CChatServer::LeaveRoom(CChatUser* user, bool moving) {
    CRoom* room = user->room;
    if (!room)
        return;
    room->present.erase(std::remove(room->present.begin(), room->present.end(), user),
                        room->present.end());
    user->room = nullptr;
    const std::string leave = Block("leave", user->Wire());
    for (CChatUser* other : room->present) {
        std::string bytes = leave;
        if (other->sysmsg && !other->ignoreMovement)
            bytes += Notice(other->styles, kLeaveMessage,
                            user->name + (moving ? " has left the room." : " has logged out."));
        SendTo(other, bytes);
    }
    if (room->isPrivate && room->present.empty()) {
        m_rooms.erase(std::remove_if(m_rooms.begin(), m_rooms.end(),
                                     [room](const auto& r) { return r.get() == room; }),
                      m_rooms.end());
    }
}

bool CChatServer::MoveTo(CChatUser* user, const std::string& roomName) {
    CRoom* room = FindRoom(roomName);
    if (!room)
        return false;
    Enter(user, room);
    return true;
}

void CChatServer::SendTo(CChatUser* user, const std::string& bytes) {
    if (user && user->connection)
        user->connection->Send(bytes);
}

void CChatServer::Info(CChatUser* user, const std::string& text, int kind) {
    SendTo(user, Notice(user->styles, kind, text));
}

void CChatServer::Error(CChatUser* user, const std::string& text) {
    SendTo(user, Block("error", text));
}

std::string CChatServer::Avatar(const CChatUser& speaker, const CChatUser& receiver) const {
    if (!receiver.avatars || m_httpBase.empty())
        return {};
    return AvatarTag(m_httpBase + "/avatars/" + Lower(speaker.Wire()) + ".gif", speaker.name);
}

void CChatServer::Say(CChatUser* speaker, const std::string& text, bool shout) {
    if (!speaker->room)
        return;
    std::vector<CChatUser*> audience;
    if (shout) {
        for (auto& [k, u] : m_users)
            audience.push_back(u.get());
    } else {
        audience = speaker->room->present;
    }
    for (CChatUser* r : audience) {
        if (r == speaker) {
            if (r->echo)
                SendTo(r,
                       SayUnit(r->styles, Avatar(*speaker, *r), speaker->name, text, true, shout));
        } else if (!r->ignoring.count(speaker->key)) {
            SendTo(r, SayUnit(r->styles, Avatar(*speaker, *r), speaker->name, text, false, shout));
        }
    }
}

void CChatServer::Emote(CChatUser* speaker, const std::string& text) {
    if (!speaker->room)
        return;
    for (CChatUser* r : speaker->room->present) {
        if (r == speaker || !r->ignoring.count(speaker->key))
            SendTo(r, EmoteUnit(r->styles, Avatar(*speaker, *r), speaker->name, text));
    }
}

void CChatServer::Tell(CChatUser* speaker, const std::string& recipients, const std::string& text) {
    std::vector<CChatUser*> found;
    std::string to;
    std::size_t start = 0;
    while (start <= recipients.size()) {
        std::size_t comma = recipients.find(',', start);
        if (comma == std::string::npos)
            comma = recipients.size();
        const std::string name = Trim(recipients.substr(start, comma - start));
        start = comma + 1;
        if (name.empty())
            continue;
        CChatUser* r = FindUser(name);
        if (!r) {
            Info(speaker, "No one called " + DisplayName(name) + " is online.", kAttention);
            continue;
        }
        if (std::find(found.begin(), found.end(), r) != found.end())
            continue;
        found.push_back(r);
        if (!to.empty())
            to += ',';
        to += r->Wire();
    }
    if (found.empty())
        return;
    for (CChatUser* r : found) {
        if (r != speaker && !r->ignoring.count(speaker->key))
            SendTo(r, TellUnit(r->styles, Avatar(*speaker, *r), to, speaker->name, text));
    }
    if (speaker->echo)
        SendTo(speaker, TellEchoUnit(speaker->styles, to, speaker->name, text));
}

std::vector<CChatUser*> CChatServer::Humans() const {
    std::vector<CChatUser*> out;
    for (const auto& [k, u] : m_users) {
        if (!u->IsBot())
            out.push_back(u.get());
    }
    return out;
}

std::vector<std::string> CChatServer::RoomNames() const {
    std::vector<std::string> out;
    for (const auto& r : m_rooms) {
        if (!r->isPrivate)
            out.push_back(r->name);
    }
    return out;
}

std::vector<std::string> CChatServer::TickerMessages() const {
    const std::string base = m_httpBase;
    std::vector<std::string> out;
    out.push_back("<A HREF=\"" + base +
                  "/help.html\" TARGET=\"kivrahelpdisplay\">Welcome to "
                  "Kivra: click here for help</A>");
    out.push_back("<EFFECT PAUSE=3>" + std::to_string(m_users.size()) + " people are online in " +
                  std::to_string(m_rooms.size()) + " rooms");
    if (!base.empty()) {
        out.push_back("<A HREF=\"" + base + "/map.html\"><IMG SRC=\"" + base +
                      "/ticker/news.gif\"></A>");
        out.push_back("<A HREF=\"" + base + "/map.html\">See the map of the world</A>");
    }
    return out;
}

void CChatServer::PushTicker() {
    CBlockWriter b;
    for (const auto& m : TickerMessages())
        b.Add("tickermsg", m);
    const std::string bytes = b.Text();
    for (CChatUser* u : Humans())
        SendTo(u, bytes);
}

} // namespace kivra::server
