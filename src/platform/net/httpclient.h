#pragma once
// The HTTP client the tunnel stands on: libcurl behind three small objects that follow the
// steps of an exchange. A session (user agent, direct or through a named proxy) lives long and
// keeps connections for reuse; a connection names the server and port of one exchange; a
// request POSTs one body and hands the answer out in chunks. Every exchange has a connect
// timeout, a total timeout and a bound on the answer's size; Abort ends a running exchange from
// any thread. Exchanges of one session run one at a time, on whichever thread calls them.

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

namespace kivra::platform::net {

struct HttpLimits {
    long connectTimeoutMs = 10000;
    long totalTimeoutMs = 30000;
    std::size_t maxAnswerBytes = 16u * 1024u * 1024u;
};

class HttpSession {
public:
    // `accessType` 3 goes through `proxy` (host:port); any other value connects directly.
    HttpSession(std::string agent, int accessType, std::string proxy);
    ~HttpSession();
    HttpSession(const HttpSession&) = delete;
    HttpSession& operator=(const HttpSession&) = delete;

    void SetLimits(const HttpLimits& limits) { m_limits = limits; }
    const HttpLimits& Limits() const { return m_limits; }
    // Ends the exchange that is running now (if any) as failed; thread-safe.
    void Abort();

private:
    friend class HttpRequest;
    struct Handles;
    std::string m_agent;
    int m_accessType;
    std::string m_proxy;
    HttpLimits m_limits;
    std::unique_ptr<Handles> m_handles;
};

class HttpConnection {
public:
    // Port 0 takes the default HTTP port.
    HttpConnection(HttpSession& session, std::string server, std::uint16_t port)
        : m_session(session), m_server(std::move(server)), m_port(port) {}
    HttpSession& Session() const { return m_session; }
    const std::string& Server() const { return m_server; }
    std::uint16_t Port() const { return m_port; }

private:
    HttpSession& m_session;
    std::string m_server;
    std::uint16_t m_port;
};

class HttpRequest {
public:
    enum class Result {
        Answered,     // the whole answer arrived
        NoAnswer,     // failed before an answer began (no route, refused, timeout, ...)
        BrokenAnswer, // the answer began but did not end well (cut, too large, stalled)
    };
    HttpRequest(HttpConnection& connection, std::string path)
        : m_connection(connection), m_path(std::move(path)) {}

    // POSTs `body` as it is: no content type, no accept types, no redirect followed; a fresh
    // answer every time (no cache).
    Result Send(std::string_view body);
    // The HTTP status code of the answer (0 when none arrived).
    long StatusCode() const { return m_status; }
    // The HTTP layer's own text for a failed Send.
    const std::string& ErrorText() const { return m_error; }
    // Copies up to `size` bytes of the answer body; 0 at its end.
    std::size_t Read(char* out, std::size_t size);
    std::string_view Body() const { return m_body; }

private:
    HttpConnection& m_connection;
    std::string m_path;
    long m_status = 0;
    std::string m_error;
    std::string m_body;
    std::size_t m_readPos = 0;
};

} // namespace kivra::platform::net
