#include "httptunnel.h"

#include "tunnelanswer.h"

#include <httpclient.h>

#include <atomic>
#include <cstdio>
#include <cstring>
#include <mutex>
#include <utility>

namespace net = kivra::platform::net;

namespace {

std::string Text(const char* s) {
    return s != nullptr ? s : "";
}

} // namespace

CHttpTunnel::CHttpTunnel(const char* agent, int accessType, const char* proxy, const char* server,
                         unsigned short port, const char* prefix, const char* page)
    : m_strServer(Text(server)), m_nPort(port), m_strPrefix(Text(prefix)), m_strPage(Text(page)),
      m_limits(std::make_unique<net::HttpLimits>()) {
    m_strObject = m_strPrefix + m_strPage;
    CreateSession(agent, accessType, proxy);
}

CHttpTunnel::~CHttpTunnel() {
    delete m_pSession;
}

void CHttpTunnel::CreateSession(const char* agent, int accessType, const char* proxy) {
    delete m_pSession;
    m_pSession = new net::HttpSession(Text(agent), accessType, Text(proxy));
    m_pSession->SetLimits(*m_limits);
}

void CHttpTunnel::InitSession(const std::string& server, unsigned short port,
                              const std::string& prefix, const std::string& page) {
    m_strServer = server;
    m_nPort = port;
    m_strPrefix = prefix;
    m_strPage = page;
    m_strObject = m_strPrefix + m_strPage;
}

void CHttpTunnel::ReconfigSession(const char* agent, int accessType, const char* proxy) {
    CreateSession(agent, accessType, proxy);
}

void CHttpTunnel::SetErrorReporter(std::function<void(const std::string&)> reporter) {
    m_reporter = std::move(reporter);
}

void CHttpTunnel::SetLimits(const net::HttpLimits& limits) {
    *m_limits = limits;
    if (m_pSession != nullptr)
        m_pSession->SetLimits(limits);
}

void CHttpTunnel::Abort() {
    if (m_pSession != nullptr)
        m_pSession->Abort();
}

void CHttpTunnel::OnStatusCallback(std::uint32_t, std::uint32_t status, void*, std::uint32_t) {
    if (status == 21)
        std::fputs("Connection made!\n", stderr);
}

CHttpTunnel::Exchange CHttpTunnel::Run(const std::string& body, std::string& answer, bool chunked,
                                       bool isOpen) {
    answer.clear();
    net::HttpConnection connection(*m_pSession, m_strServer, m_nPort);
    net::HttpRequest request(connection, m_strObject);
    m_pConnection = &connection;
    m_pFile = &request;
    const net::HttpRequest::Result result = request.Send(body);
    Exchange outcome = Exchange::Answered;
    if (result == net::HttpRequest::Result::NoAnswer) {
        outcome = Exchange::FailedBeforeAnswer;
    } else {
        char line[40];
        std::snprintf(line, sizeof line, "Status Code is %ld\n", request.StatusCode());
        std::fputs(line, stderr);
        if (result != net::HttpRequest::Result::Answered) {
            outcome = Exchange::Failed;
        } else if (chunked) {
            // Read answers are taken the way the page sends them: chunk by chunk.
            char chunk[4096];
            for (;;) {
                std::memset(chunk, 0, sizeof chunk);
                const std::size_t n = request.Read(chunk, kReadChunk);
                if (n == 0)
                    break;
                answer.append(chunk, n);
            }
        } else {
            answer.assign(request.Body());
        }
    }
    // Only an Open tells the user why the HTTP layer failed; polls and writes fail quietly
    // and the transport decides what a failure means.
    if (outcome == Exchange::FailedBeforeAnswer && isOpen) {
        if (m_reporter)
            m_reporter(request.ErrorText());
        else
            std::fprintf(stderr, "%s\n", request.ErrorText().c_str());
    }
    m_pFile = nullptr;
    m_pConnection = nullptr;
    return outcome;
}

CHttpTunnel::RTSTATUS CHttpTunnel::openRequest(std::string server, unsigned short port) {
    std::string answer;
    if (Run(OpenBody(server, port), answer, false, true) != Exchange::Answered)
        return RTS_UNKNOWN;
    const OpenAnswer parsed = ParseOpenAnswer(answer);
    if (parsed.connectionId)
        m_nConnectionID = *parsed.connectionId;
    if (parsed.nonce)
        m_nNonce = *parsed.nonce;
    if (parsed.status == TUNNEL_OK)
        m_bConnected = true;
    return static_cast<RTSTATUS>(parsed.status);
}

CHttpTunnel::RTSTATUS CHttpTunnel::sendRequest(unsigned char* data, int length) {
    if (!m_bConnected)
        return RTS_CONNDOWN;
    // The page refuses an empty Write, so none is made; nothing was sent.
    if (data == nullptr || length <= 0)
        return RTS_UNKNOWN;
    std::string answer;
    const std::string body = WriteBody(
        m_nConnectionID, m_nNonce,
        std::string_view(reinterpret_cast<const char*>(data), static_cast<std::size_t>(length)));
    if (Run(body, answer, false, false) != Exchange::Answered)
        return RTS_UNKNOWN;
    return static_cast<RTSTATUS>(ParseWriteAnswer(answer));
}

CHttpTunnel::RTSTATUS CHttpTunnel::getRequest(unsigned char*& data, int& length) {
    if (!m_bConnected)
        return RTS_CONNDOWN;
    std::string answer;
    if (Run(ReadBody(m_nConnectionID, m_nNonce), answer, true, false) != Exchange::Answered)
        return RTS_UNKNOWN;
    const ReadAnswer parsed = ParseReadAnswer(answer);
    if (parsed.hasData) {
        if (parsed.data) {
            data = new unsigned char[parsed.data->size() + 1];
            std::memcpy(data, parsed.data->data(), parsed.data->size());
            data[parsed.data->size()] = 0;
            length = static_cast<int>(parsed.data->size());
        } else {
            data = nullptr;
            length = 0;
        }
    }
    return static_cast<RTSTATUS>(parsed.status);
}

CHttpTunnel::RTSTATUS CHttpTunnel::closeRequest() {
    if (!m_bConnected)
        return RTS_CONNDOWN;
    std::string answer;
    RTSTATUS status = RTS_UNKNOWN;
    if (Run(CloseBody(m_nConnectionID, m_nNonce), answer, false, false) == Exchange::Answered)
        status = static_cast<RTSTATUS>(ParseCloseAnswer(answer));
    m_bConnected = false;
    return status;
}

namespace {

// The transport's side of the seam. Its exchanges run on the transport's worker thread; the
// text of an Open the HTTP layer failed is kept for the UI thread to show.
class HttpTunnelChannel : public IChatTunnel {
public:
    explicit HttpTunnelChannel(const ChatTunnelParams& p)
        : m_tunnel(p.agent.c_str(), p.accessKind, p.proxy.c_str(), p.httpServer.c_str(),
                   static_cast<unsigned short>(p.httpPort), p.prefix.c_str(), p.page.c_str()) {
        m_tunnel.SetErrorReporter([this](const std::string& text) {
            std::lock_guard<std::mutex> lock(m_mutex);
            m_error = text;
        });
    }
    int openRequest(const std::string& server, int port) override {
        {
            std::lock_guard<std::mutex> lock(m_mutex);
            m_error.clear();
        }
        const int status = m_tunnel.openRequest(server, static_cast<unsigned short>(port));
        m_connected = m_tunnel.m_bConnected;
        return status;
    }
    int sendRequest(const char* data, int length) override {
        const int status =
            m_tunnel.sendRequest(reinterpret_cast<unsigned char*>(const_cast<char*>(data)), length);
        m_connected = m_tunnel.m_bConnected;
        return status;
    }
    int getRequest(std::vector<char>& out) override {
        unsigned char* data = nullptr;
        int length = 0;
        const int status = m_tunnel.getRequest(data, length);
        if (data != nullptr) {
            out.insert(out.end(), data, data + length);
            delete[] data;
        }
        return status;
    }
    bool IsConnected() const override { return m_connected; }
    void Abort() override { m_tunnel.Abort(); }
    std::string TakeError() override {
        std::lock_guard<std::mutex> lock(m_mutex);
        return std::exchange(m_error, {});
    }

private:
    CHttpTunnel m_tunnel;
    std::atomic<bool> m_connected{false};
    std::mutex m_mutex;
    std::string m_error;
};

} // namespace

std::unique_ptr<IChatTunnel> MakeHttpTunnel(const ChatTunnelParams& params) {
    return std::make_unique<HttpTunnelChannel>(params);
}
