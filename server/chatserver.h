#pragma once

#include "chatuser.h"
#include "clientconnection.h"
#include "serveroptions.h"
#include "worldfile.h"

#include <QObject>
#include <QTcpServer>
#include <QTimer>

#include <map>
#include <memory>
#include <string>
#include <vector>

namespace kivra::server {

// The chat side: listening sockets, logins, rooms, and every command and block a client sends.
// Single-threaded; every client is served from the one event loop.
class CChatServer : public QObject {
    Q_OBJECT
public:
    CChatServer(const ServerOptions& options, std::vector<RoomDef> world,
                std::vector<Account> accounts, QObject* parent = nullptr);
    ~CChatServer() override;

    bool Listen(QString& error);
    QList<quint16> ChatPorts() const;
    QHostAddress BindAddress() const { return m_options.bind; }
    // Base of the URLs handed out (avatars, map, help, sounds), e.g. "http://127.0.0.1:8080".
    void SetHttpBase(const std::string& base) { m_httpBase = base; }
    const std::string& HttpBase() const { return m_httpBase; }
    bool IsChatPort(quint16 port) const { return ChatPorts().contains(port); }

    // Used by the demo bots, which live inside the server without a socket.
    CChatUser* AddBot(const std::string& name, const std::string& roomName);
    void Say(CChatUser* speaker, const std::string& text, bool shout = false);
    void Emote(CChatUser* speaker, const std::string& text);
    void Tell(CChatUser* speaker, const std::string& recipients, const std::string& text);
    bool MoveTo(CChatUser* user, const std::string& roomName);
    void PushTicker();
    std::vector<CChatUser*> Humans() const;
    std::vector<std::string> RoomNames() const;
    std::vector<std::string> TickerMessages() const;

signals:
    // A person (not a bot) has logged in and entered a room.
    void humanArrived(kivra::server::CChatUser* user);

private:
    void OnNewConnection(QTcpServer* server);
    void OnEvents(CClientConnection* conn, const std::vector<ReaderEvent>& events);
    void OnGone(CClientConnection* conn);

    void HandleLogin(CClientConnection* conn, const std::vector<BlockEntry>& entries);
    void RefuseLogin(CClientConnection* conn, const std::string& why);
    void HandleLine(CChatUser* user, const std::string& line);
    void HandleBlock(CChatUser* user, const std::vector<BlockEntry>& entries);
    bool HandleOption(CChatUser* user, const std::string& verb, const std::string& args);
    bool HandleEmotion(CChatUser* user, const std::string& verb, const std::string& args);
    void RemoveUser(CChatUser* user);
    // "[in] NAME LINE", or one "[in] NAME <keyword> value" per block line, on standard output.
    static void LogInput(const CChatUser& user, const ReaderEvent& event);

    void Enter(CChatUser* user, CRoom* room);
    void LeaveRoom(CChatUser* user, bool moving);
    std::string NewRoomBlock(const CRoom& room) const;
    std::string RoleIn(const CChatUser& user, const CRoom& room) const;
    void Look(CChatUser* user, bool full);
    void Users(CChatUser* user);
    void Whois(CChatUser* user, const std::string& name);
    void UserPrefs(CChatUser* user);
    void Follow(CChatUser* user, const std::string& name);
    void StopFollow(CChatUser* user, const std::string& name);
    void Ignore(CChatUser* user, const std::string& args);
    void Buddy(CChatUser* user, const std::string& args);
    void CreatePrivate(CChatUser* user);
    void Goto(CChatUser* user, const std::string& name);

    void SendTo(CChatUser* user, const std::string& bytes);
    void Info(CChatUser* user, const std::string& text, int kind = kInfoMessage);
    void Error(CChatUser* user, const std::string& text);
    std::string Avatar(const CChatUser& speaker, const CChatUser& receiver) const;
    CChatUser* FindUser(const std::string& name) const;
    CRoom* FindRoom(const std::string& name) const;
    CRoom* StartRoom() const;

    ServerOptions m_options;
    std::vector<Account> m_accounts;
    std::vector<std::unique_ptr<QTcpServer>> m_listeners;
    std::vector<std::unique_ptr<CRoom>> m_rooms;
    std::map<std::string, std::unique_ptr<CChatUser>> m_users; // by name key
    std::map<std::string, std::vector<std::string>> m_buddies; // by account key
    // The options of users who left, by name key, given back when they log in again.
    std::map<std::string, CChatUser> m_savedOptions;
    std::vector<CClientConnection*> m_connections;
    std::string m_httpBase;
    QTimer m_tickerTimer;
    int m_privateCount = 0;
};

} // namespace kivra::server
