#pragma once
// What the transport needs of the HTTP tunnel when the direct road is not taken. The HTTP
// tunnel is the default; tests install their own factory with CChatSocket::SetTunnelFactory.
// The transport calls a tunnel's exchanges on a worker thread of its own, one at a time and in
// the order it asked for them; IsConnected, Abort and TakeError may be called from the UI
// thread meanwhile.

#include <functional>
#include <memory>
#include <string>
#include <vector>

// Results of the tunnel exchanges.
enum : int {
    CHATTUNNEL_OK = 0,
    CHATTUNNEL_CONNECT_FAILED = 1,
    CHATTUNNEL_CONNECTION_DOWN = 2,
    CHATTUNNEL_REFUSED = 3,
    CHATTUNNEL_UNKNOWN = 4,
};

struct ChatTunnelParams {
    std::string agent;  // "Kivra Active-X Chat Control"
    int accessKind = 3; // through the given proxy
    std::string proxy;
    std::string httpServer;
    int httpPort = 0;
    std::string prefix;
    std::string page;
};

class IChatTunnel {
public:
    virtual ~IChatTunnel() = default;
    // Opens the tunnel to the chat host `server` on `port`.
    virtual int openRequest(const std::string& server, int port) = 0;
    virtual int sendRequest(const char* data, int length) = 0;
    // Appends whatever the tunnel page holds for us to `out`.
    virtual int getRequest(std::vector<char>& out) = 0;
    virtual bool IsConnected() const = 0;
    // Ends a running exchange from another thread; later exchanges fail at once.
    virtual void Abort() {}
    // The HTTP layer's text of the last Open that failed before an answer, once.
    virtual std::string TakeError() { return {}; }
};

using ChatTunnelFactory = std::function<std::unique_ptr<IChatTunnel>(const ChatTunnelParams&)>;
