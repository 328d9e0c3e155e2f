#pragma once
// CHttpTunnel: the chat byte stream carried over short HTTP POST exchanges with a tunnel page
// that holds the real TCP connection to the chat host. Each operation is one synchronous
// exchange (Open, Write, Read, Close) on the calling thread; the transport runs them on a worker
// thread of its own so that the UI never waits. Exported from the module so other modules can
// drive a tunnel too.

#include "chattunnel.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <string>

namespace kivra::platform::net {
class HttpSession;
class HttpConnection;
class HttpRequest;
struct HttpLimits;
} // namespace kivra::platform::net

#define KIVRA_EXPORT __attribute__((visibility("default")))

// No tunnel operation throws this; it exists for callers that want to carry a status in an
// exception of their own.
class KIVRA_EXPORT CTunnelException {
public:
    explicit CTunnelException(std::int32_t status) : m_nStatus(status) {}
    std::int32_t m_nStatus;
};

class KIVRA_EXPORT CHttpTunnel {
public:
    enum RTSTATUS {
        RTS_OK = 0,
        RTS_CONNFAILED = 1,
        RTS_CONNDOWN = 2,
        RTS_CONNREFUSED = 3,
        RTS_UNKNOWN = 4,
    };

    CHttpTunnel(const char* agent, int accessType, const char* proxy, const char* server,
                unsigned short port, const char* prefix, const char* page);
    virtual ~CHttpTunnel();
    CHttpTunnel(const CHttpTunnel&) = delete;
    CHttpTunnel& operator=(const CHttpTunnel&) = delete;

    void InitSession(const std::string& server, unsigned short port, const std::string& prefix,
                     const std::string& page);
    void ReconfigSession(const char* agent, int accessType, const char* proxy);

    RTSTATUS openRequest(std::string server, unsigned short port);
    RTSTATUS sendRequest(unsigned char* data, int length);
    // With data in the answer, `data` gets a new[] block the caller frees with delete[].
    RTSTATUS getRequest(unsigned char*& data, int& length);
    RTSTATUS closeRequest();

    virtual void OnStatusCallback(std::uint32_t context, std::uint32_t status, void* information,
                                  std::uint32_t informationLength);

    // Where an Open exchange that the HTTP layer failed reports its text (the control shows it
    // in a message box); unset, the text goes to the standard error stream.
    void SetErrorReporter(std::function<void(const std::string&)> reporter);
    // Timeouts and the answer bound of every later exchange.
    void SetLimits(const kivra::platform::net::HttpLimits& limits);
    // Ends the exchange running on another thread as failed; later exchanges fail at once.
    void Abort();

    bool m_bConnected = false;
    std::int32_t m_nConnectionID = 0;
    std::int32_t m_nNonce = 0;
    std::string m_strServer;
    std::uint16_t m_nPort = 0;
    std::string m_strPrefix;
    std::string m_strPage;
    std::string m_strObject;
    kivra::platform::net::HttpSession* m_pSession = nullptr;
    kivra::platform::net::HttpConnection* m_pConnection = nullptr;
    kivra::platform::net::HttpRequest* m_pFile = nullptr;

private:
    enum class Exchange { Answered, Failed, FailedBeforeAnswer };
    // One POST of `body`; on Answered, `answer` holds the body as read in chunks.
    Exchange Run(const std::string& body, std::string& answer, bool chunked, bool isOpen);
    void CreateSession(const char* agent, int accessType, const char* proxy);

    std::function<void(const std::string&)> m_reporter;
    std::unique_ptr<kivra::platform::net::HttpLimits> m_limits;
};

// The transport's tunnel: a CHttpTunnel behind the IChatTunnel seam.
std::unique_ptr<IChatTunnel> MakeHttpTunnel(const ChatTunnelParams& params);
