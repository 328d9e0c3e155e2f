#include "chatsocket.h"

#include "chatcontext.h"
#include "httptunnel.h"
#include "messagewindow.h"
#include "tunnelworker.h"

#include <hostlookup.h>
#include <winsockerror.h>

#include <QEventLoop>
#include <QPointer>
#include <QTimer>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>

namespace net = kivra::platform::net;

namespace {

int s_liveCount = 0;
ChatTunnelFactory s_tunnelFactory;
bool s_promptPolling = true;

// Filled at the moment an error text with a socket error number is asked for; the next such
// call overwrites it.
char s_errorText[128];

std::uint32_t TickCount() {
    timespec ts{};
    clock_gettime(CLOCK_MONOTONIC, &ts);
    return static_cast<std::uint32_t>(static_cast<std::uint64_t>(ts.tv_sec) * 1000u +
                                      static_cast<std::uint64_t>(ts.tv_nsec) / 1000000u);
}

bool IsEmpty(const char* text) {
    return text == nullptr || *text == '\0';
}

} // namespace

CChatSocket::CChatSocket(CChatContext* context, bool ownBuffer)
    : m_pContext(context), m_alive(std::make_shared<bool>(true)) {
    ++s_liveCount;
    m_nTunnelTimer = s_liveCount + 2565;
    m_buffer.assign(1026, '\0');
    m_nCapacity = ownBuffer ? 0 : 1024;
    m_resolver = [](const std::string& name) { return net::LookupHost(name); };
    m_socket.onReceive = [this] { Notify(CHAT_SOCKET_DATA); };
    m_socket.onClose = [this](int) {
        m_bConnected = false;
        Notify(CHAT_SOCKET_CLOSED);
    };
    m_tunnelTimer = std::make_unique<QTimer>();
    m_tunnelTimer->setSingleShot(true);
    QObject::connect(m_tunnelTimer.get(), &QTimer::timeout, m_tunnelTimer.get(),
                     [this] { FetchTunnel(); });
}

// One exchange the UI thread waits for: the worker's result ends the wait's event loop.
struct CChatSocket::TunnelWait {
    bool done = false;
    int result = CHATTUNNEL_UNKNOWN;
    QPointer<QEventLoop> loop;
};

CChatSocket::~CChatSocket() {
    *m_alive = false;
    m_socket.onReceive = nullptr;
    m_socket.onClose = nullptr;
    if (m_bConnected)
        Disconnect();
    StopTunnelFetching();
    ReleaseWaits();
    m_pTunnel.reset();
    if (s_liveCount > 0)
        --s_liveCount;
}

int CChatSocket::LiveCount() {
    return s_liveCount;
}

void CChatSocket::SetTunnelFactory(ChatTunnelFactory factory) {
    s_tunnelFactory = std::move(factory);
}

void CChatSocket::SetPromptPolling(bool on) {
    s_promptPolling = on;
}

int CChatSocket::SetNotifyWindow(kivra::platform::MessageWindow* window) {
    m_pNotifyWindow = window;
    return 0;
}

void CChatSocket::Notify(long lParam) {
    if (m_pNotifyWindow != nullptr)
        m_pNotifyWindow->SendMessage(WM_CHAT_SOCKET, 0, lParam);
}

void CChatSocket::Wait(int ms) {
    if (m_waiter) {
        m_waiter(ms);
        return;
    }
    QEventLoop loop;
    QTimer::singleShot(ms, &loop, &QEventLoop::quit);
    loop.exec();
}

std::vector<std::uint16_t> CChatSocket::ParsePortList(const char* text) {
    std::vector<std::uint16_t> ports;
    if (text == nullptr)
        return ports;
    const char* p = text;
    auto skipToDigit = [&] {
        while (*p != '\0' && (*p < '0' || *p > '9'))
            ++p;
    };
    auto readNumber = [&] {
        unsigned long v = 0;
        while (*p >= '0' && *p <= '9') {
            // Digits past the 16-bit range are read but cannot make a port bigger than 65535.
            v = v * 10 + static_cast<unsigned long>(*p - '0');
            if (v > 65535)
                v = 65535;
            ++p;
        }
        return static_cast<std::uint16_t>(v);
    };
    for (;;) {
        skipToDigit();
        if (*p == '\0' || ports.size() >= static_cast<std::size_t>(kMaxPorts))
            break;
        ports.push_back(readNumber());
        while (*p == ' ' || *p == '\t')
            ++p;
        if (*p == '-') {
            skipToDigit();
            if (*p == '\0')
                break;
            const std::uint16_t upper = readNumber();
            for (unsigned v = ports.back() + 1u;
                 v <= upper && ports.size() < static_cast<std::size_t>(kMaxPorts); ++v)
                ports.push_back(static_cast<std::uint16_t>(v));
        }
    }
    return ports;
}

int CChatSocket::Connect(const char* host, const char* portList, const char* httpServer,
                         const char* httpPort, const char* tunnelPrefix, const char* tunnelPage,
                         const char* httpProxy) {
    if (m_bConnected)
        Disconnect();

    const int mode = m_pContext != nullptr ? m_pContext->m_params.nTunnelMode : 0;
    // Through the tunnel the page resolves the chat host, so a name this machine cannot resolve
    // does not stop the tunnel: mode 1 never looks it up, mode 2 skips only the direct attempts.
    bool resolved = true;
    std::uint32_t address = 0;
    if (mode == 1) {
        resolved = false;
    } else if (!net::ParseDottedAddress(host, address)) {
        net::LookupResult found;
        // A resolver that keeps answering "try again" must not hold the session forever.
        for (int tries = 0; tries < kMaxLookupTries; ++tries) {
            found = m_resolver(host != nullptr ? host : "");
            if (found.error != net::WSATRY_AGAIN)
                break;
        }
        if (found.error != 0) {
            net::SetLastError(found.error);
            if (mode != 2)
                return CHATSOCK_NO_HOST;
            resolved = false;
        }
        address = found.address;
    }

    if (!m_socket.IsCreated() && !m_socket.Create())
        return CHATSOCK_NO_SOCKET;

    m_ports = ParsePortList(portList);
    const int portCount = static_cast<int>(m_ports.size());

    m_nPortIndex = 0;
    if (!resolved) {
        m_nPortIndex = portCount;
    } else {
        const int result = ConnectDirect(address);
        if (result != CHATSOCK_OK)
            return result;
    }

    if (m_nPortIndex >= portCount) {
        if (mode != 1 && mode != 2)
            return CHATSOCK_NO_CONNECT;
        if (IsEmpty(httpServer) || IsEmpty(httpPort) || IsEmpty(tunnelPrefix) ||
            IsEmpty(tunnelPage) || IsEmpty(httpProxy))
            return CHATSOCK_NO_CONNECT;
        ChatTunnelParams params;
        params.agent = "Kivra Active-X Chat Control";
        params.accessKind = 3;
        params.proxy = httpProxy;
        params.httpServer = httpServer;
        params.httpPort = std::atoi(httpPort);
        params.prefix = tunnelPrefix;
        params.page = tunnelPage;
        if (!StartTunnel(params))
            return CHATSOCK_NO_CONNECT;
    }

    m_nConnectTime = TickCount();
    m_bConnected = true;
    Notify(CHAT_SOCKET_CONNECTED);
    return CHATSOCK_OK;
}

int CChatSocket::ConnectDirect(std::uint32_t address) {
    const int portCount = static_cast<int>(m_ports.size());
    for (m_nPortIndex = 0; m_nPortIndex < portCount; ++m_nPortIndex) {
        m_bConnecting = true;
        const bool ok = m_socket.Connect(address, m_ports[m_nPortIndex]);
        m_bConnecting = false;
        if (ok)
            break;
        const int error = net::LastError();
        if (error == net::WSAEWOULDBLOCK)
            break;
        if (error == net::WSAEINTR)
            return CHATSOCK_CANCELLED;
    }
    return CHATSOCK_OK;
}

int CChatSocket::RunTunnel(std::function<int(IChatTunnel&)> job) {
    auto wait = std::make_shared<TunnelWait>();
    m_waits.push_back(wait);
    m_pTunnel->Post([wait, job = std::move(job)](IChatTunnel& t) { wait->result = job(t); },
                    [wait] {
                        wait->done = true;
                        if (wait->loop)
                            wait->loop->quit();
                    });
    QEventLoop loop;
    wait->loop = &loop;
    while (!wait->done)
        loop.exec();
    if (!wait->loop) // released: the transport or its tunnel went away meanwhile
        return CHATTUNNEL_UNKNOWN;
    wait->loop = nullptr;
    std::erase(m_waits, wait);
    return wait->result;
}

void CChatSocket::ReleaseWaits() {
    for (const auto& wait : m_waits) {
        wait->done = true;
        if (QEventLoop* loop = wait->loop) {
            wait->loop = nullptr;
            loop->quit();
        }
        wait->result = CHATTUNNEL_UNKNOWN;
    }
    m_waits.clear();
}

bool CChatSocket::StartTunnel(const ChatTunnelParams& params) {
    StopTunnelFetching();
    ReleaseWaits();
    m_pTunnel.reset();
    m_bFetchBusy = false;
    m_nTunnelTimer = s_liveCount + 2565;
    std::unique_ptr<IChatTunnel> tunnel =
        s_tunnelFactory ? s_tunnelFactory(params) : MakeHttpTunnel(params);
    if (!tunnel)
        return false;
    m_pTunnel = std::make_unique<CTunnelWorker>(std::move(tunnel));
    const std::string server = m_pContext != nullptr ? m_pContext->m_params.szServer : "";
    const std::shared_ptr<bool> alive = m_alive;
    bool opened = false;
    for (const std::uint16_t port : m_ports) {
        const int status =
            RunTunnel([server, port](IChatTunnel& t) { return t.openRequest(server, port); });
        if (!*alive || !m_pTunnel)
            return false;
        // The HTTP layer's own words when it could not even reach the tunnel page.
        const std::string error = m_pTunnel->Tunnel().TakeError();
        if (!error.empty() && m_pContext != nullptr && m_pContext->m_pPanel != nullptr) {
            m_pContext->m_pPanel->MessageBox(error, "MSKIVRA50", MB_OK);
            if (!*alive || !m_pTunnel)
                return false;
        }
        if (status == CHATTUNNEL_OK) {
            opened = true;
            break;
        }
    }
    if (!opened) {
        m_pTunnel.reset();
        return false;
    }
    m_bTunnelActive = true;
    m_nTunnelReads = 0;
    m_nPollDelay = kIdlePollMs;
    FetchTunnel();
    return true;
}

void CChatSocket::FetchTunnel() {
    if (!m_bTunnelActive || !m_pTunnel)
        return;
    // One Read at a time; the running one schedules the next when it ends.
    if (m_bFetchBusy)
        return;
    m_bFetchBusy = true;
    ++m_nTunnelReads;
    struct Fetch {
        int status = CHATTUNNEL_UNKNOWN;
        std::vector<char> bytes;
    };
    auto fetch = std::make_shared<Fetch>();
    m_pTunnel->Post([fetch](IChatTunnel& t) { fetch->status = t.getRequest(fetch->bytes); },
                    [this, fetch] {
                        m_bFetchBusy = false;
                        OnFetched(fetch->status, fetch->bytes);
                    });
}

void CChatSocket::OnFetched(int status, std::vector<char>& bytes) {
    if (!m_bTunnelActive)
        return;
    if (status == CHATTUNNEL_CONNECTION_DOWN) {
        // The page has dropped the chat connection: the peer closed, as on the direct road.
        StopTunnelFetching();
        m_bConnected = false;
        Notify(CHAT_SOCKET_CLOSED);
        return;
    }
    if (!bytes.empty() && m_pNotifyWindow != nullptr) {
        m_tunnelData.insert(m_tunnelData.end(), bytes.begin(), bytes.end());
        m_pNotifyWindow->PostMessage(WM_CHAT_SOCKET, 0, CHAT_SOCKET_DATA);
        // More is likely close behind (a reply, the rest of a burst): ask again at once.
        if (s_promptPolling) {
            m_nPollDelay = kQuickPollMs;
            ScheduleFetch(0);
            return;
        }
    }
    ScheduleFetch(m_nPollDelay);
    m_nPollDelay = std::min(m_nPollDelay * 2, kIdlePollMs);
}

void CChatSocket::ScheduleFetch(int ms) {
    if (!m_bTunnelActive || m_bFetchBusy)
        return;
    if (m_tunnelTimer->isActive() && m_tunnelTimer->remainingTime() <= ms)
        return;
    m_tunnelTimer->start(ms);
}

void CChatSocket::StopTunnelFetching() {
    if (m_tunnelTimer)
        m_tunnelTimer->stop();
    m_bTunnelActive = false;
}

int CChatSocket::TunnelWrite(const char* data, int length) {
    const std::shared_ptr<bool> alive = m_alive;
    // The worker runs exchanges in the order they were asked for, so a write made while
    // another is in flight (from a handler during this wait) goes after it, never into it.
    const int status =
        RunTunnel([bytes = std::string(data, static_cast<std::size_t>(length))](IChatTunnel& t) {
            return t.sendRequest(bytes.data(), static_cast<int>(bytes.size()));
        });
    if (!*alive)
        return CHATTUNNEL_UNKNOWN;
    // The answer to what was just written is on its way: poll soon, then back off.
    if (s_promptPolling) {
        m_nPollDelay = kQuickPollMs;
        ScheduleFetch(kQuickPollMs);
    }
    return status;
}

int CChatSocket::Disconnect() {
    m_socket.CancelBlockingCall();
    if (m_bTunnelActive)
        StopTunnelFetching();
    else if (m_socket.IsCreated())
        m_socket.Close();
    m_bConnected = false;
    m_bBuffered = false;
    m_pendingSend.clear();
    return 0;
}

int CChatSocket::CancelConnect() {
    m_socket.CancelBlockingCall();
    if (m_bTunnelActive)
        StopTunnelFetching();
    else if (m_bConnecting)
        m_socket.Close();
    return 0;
}

int CChatSocket::SendText(const char* text) {
    if (text == nullptr)
        return 0;
    const int length = static_cast<int>(std::strlen(text));
    if (m_bTunnelActive && m_pTunnel) {
        if (!m_pTunnel->Tunnel().IsConnected()) {
            StopTunnelFetching();
            return 0;
        }
        return TunnelWrite(text, length) == CHATTUNNEL_OK ? length : 0;
    }
    return SendDataCode(text, length) == CHATSOCK_OK ? length : 0;
}

int CChatSocket::SendData(const char* data, int length) {
    return SendDataCode(data, length) == CHATSOCK_OK ? length : 0;
}

int CChatSocket::SendDataCode(const char* data, int length) {
    if (!m_bConnected)
        return CHATSOCK_NOT_CONNECTED;
    if (length <= 0)
        return CHATSOCK_OK;
    if (m_bTunnelActive && m_pTunnel)
        return TunnelWrite(data, length) == CHATTUNNEL_OK ? CHATSOCK_OK : CHATSOCK_WRITE_FAILED;
    if (m_bSending) {
        // A timer or notification handler writes while an earlier write waits for room: its
        // bytes go after the earlier ones, never into their middle.
        m_pendingSend.append(data, static_cast<std::size_t>(length));
        return CHATSOCK_OK;
    }

    const std::shared_ptr<bool> alive = m_alive;
    m_bSending = true;
    std::string outgoing(data, static_cast<std::size_t>(length));
    std::size_t sent = 0;
    int waits = 0;
    bool failed = false;
    for (;;) {
        if (sent == outgoing.size()) {
            if (m_pendingSend.empty())
                break;
            outgoing.assign(m_pendingSend);
            m_pendingSend.clear();
            sent = 0;
        }
        if (!m_bConnected) {
            failed = true;
            break;
        }
        const int n =
            m_socket.Send(outgoing.data() + sent, static_cast<int>(outgoing.size() - sent));
        if (!*alive)
            return CHATSOCK_WRITE_FAILED;
        if (n > 0) {
            sent += static_cast<std::size_t>(n);
            waits = 0;
            continue;
        }
        // A send that reports nothing written is a failure too: the bytes did not go.
        failed = true;
        if (n == 0 || waits >= kMaxSendWaits)
            break;
        ++waits;
        Wait(kSendWaitMs);
        if (!*alive)
            return CHATSOCK_WRITE_FAILED;
        failed = false;
    }
    m_bSending = false;
    if (failed) {
        Disconnect();
        return CHATSOCK_WRITE_FAILED;
    }
    return CHATSOCK_OK;
}

int CChatSocket::ReceiveData(char*& data, int& length, int maxLength) {
    data = nullptr;
    length = 0;
    if (!m_bConnected)
        return CHATSOCK_NOT_CONNECTED;
    if (m_bBuffered && static_cast<int>(m_nReadPos) < m_nCount) {
        data = m_buffer.data() + m_nReadPos;
        length = m_nCount - static_cast<int>(m_nReadPos);
        m_nReadPos = static_cast<std::size_t>(m_nCount);
        m_bBuffered = false;
        return CHATSOCK_OK;
    }
    m_bBuffered = false;
    if (m_bTunnelActive) {
        if (!m_tunnelData.empty()) {
            // The transport keeps the block it hands out until the next read, so nobody has to
            // free it and nothing leaks.
            m_tunnelOut.swap(m_tunnelData);
            m_tunnelData.clear();
            length = static_cast<int>(m_tunnelOut.size());
            m_tunnelOut.push_back('\0');
            data = m_tunnelOut.data();
        }
        return CHATSOCK_OK;
    }
    return ReceiveDirect(data, length, maxLength);
}

int CChatSocket::ReceiveDirect(char*& data, int& length, int maxLength) {
    unsigned long ready = 0;
    if (!m_socket.BytesAvailable(ready))
        return CHATSOCK_READ_FAILED;
    if (ready == 0)
        return CHATSOCK_OK;
    if (maxLength > 0 && ready > static_cast<unsigned long>(maxLength))
        ready = static_cast<unsigned long>(maxLength);
    if (ready > static_cast<unsigned long>(m_nCapacity)) {
        m_buffer.assign(ready + 2, '\0');
        m_nCapacity = static_cast<int>(ready);
    }
    const int n = m_socket.Receive(m_buffer.data(), static_cast<int>(ready));
    if (n < 0)
        return CHATSOCK_RECEIVE_FAILED;
    if (n == 0)
        return CHATSOCK_NOT_CONNECTED;
    m_buffer[static_cast<std::size_t>(n)] = '\0';
    m_nCount = n;
    m_nReadPos = 0;
    data = m_buffer.data();
    length = n;
    return CHATSOCK_OK;
}

int CChatSocket::ReadByte(char& byte) {
    if (!m_bConnected)
        return CHATSOCK_NOT_CONNECTED;
    if (!(m_bBuffered && static_cast<int>(m_nReadPos) < m_nCount)) {
        char* data = nullptr;
        int length = 0;
        for (int round = 0; round < kReadRounds; ++round) {
            m_bBuffered = false;
            const int result = ReceiveData(data, length, 1024);
            if (result != CHATSOCK_OK && result != CHATSOCK_TIMEOUT)
                return result;
            if (length > 0)
                break;
            Wait(kReadWaitMs);
            if (!m_bConnected)
                return CHATSOCK_NOT_CONNECTED;
        }
        if (length <= 0)
            return CHATSOCK_TIMEOUT;
        if (data != m_buffer.data()) {
            // Tunnel data: keep it in the byte buffer for the following reads.
            if (static_cast<int>(m_buffer.size()) < length + 2)
                m_buffer.assign(static_cast<std::size_t>(length) + 2, '\0');
            std::memcpy(m_buffer.data(), data, static_cast<std::size_t>(length));
            m_buffer[static_cast<std::size_t>(length)] = '\0';
        }
        m_nCount = length;
        m_nReadPos = 0;
        m_bBuffered = true;
    }
    byte = m_buffer[m_nReadPos++];
    return CHATSOCK_OK;
}

bool CChatSocket::HasData() {
    if (m_bTunnelActive)
        return !m_tunnelData.empty();
    if (m_bBuffered && static_cast<int>(m_nReadPos) < m_nCount)
        return true;
    unsigned long ready = 0;
    return m_socket.IsCreated() && m_socket.BytesAvailable(ready) && ready > 0;
}

const char* CChatSocket::ErrorText(int code) const {
    switch (code) {
    case 0:
        return "Successful Completion";
    case 1:
        return "Could not find winsock.dll or network not ready";
    case 2:
        return "Unsupported winsock version";
    case 3:
        return "Could not resolve host name";
    case 4:
        std::snprintf(s_errorText, sizeof s_errorText,
                      "Could not open communication connection. Socket error (%d)",
                      net::LastError());
        return s_errorText;
    case 5:
        return "Could not connect to remote host";
    case 6:
        return "No current connection";
    case 7:
        std::snprintf(s_errorText, sizeof s_errorText,
                      "Unsucessful write to network connection. Socket error (%d)",
                      net::LastError());
        return s_errorText;
    case 8:
    case 9:
        std::snprintf(s_errorText, sizeof s_errorText,
                      "Could not read from network connection. Socket error (%d)",
                      net::LastError());
        return s_errorText;
    case 10:
        return "Select on socket failed";
    case 11:
        return "Communication timeout";
    case 12:
        return "Operation cancelled by user";
    default:
        return "Unknown error";
    }
}
