#pragma once
// CChatSocket: the one transport the session and the protocol object talk to. A TCP stream to
// the chat host, tried port by port over a port list, or the HTTP tunnel (built by a factory the
// tunnel layer installs) driven through the same operations. Blocking calls keep the UI's event
// loop running; data and close notifications reach the notify window as WM_CHAT_SOCKET, sent
// synchronously.

#include "chatinterfaces.h"
#include "chattunnel.h"

#include <blockingsocket.h>
#include <hostlookup.h>

#include <QTimer>

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

class CChatContext;
class CTunnelWorker;

namespace kivra::platform {
class MessageWindow;
}

// Results of the transport operations.
enum : int {
    CHATSOCK_OK = 0,
    CHATSOCK_NOT_READY = 1,
    CHATSOCK_BAD_VERSION = 2,
    CHATSOCK_NO_HOST = 3,
    CHATSOCK_NO_SOCKET = 4,
    CHATSOCK_NO_CONNECT = 5,
    CHATSOCK_NOT_CONNECTED = 6,
    CHATSOCK_WRITE_FAILED = 7,
    CHATSOCK_READ_FAILED = 8,
    CHATSOCK_RECEIVE_FAILED = 9,
    CHATSOCK_SELECT_FAILED = 10,
    CHATSOCK_TIMEOUT = 11,
    CHATSOCK_CANCELLED = 12,
};

class CChatSocket : public IChatTransport {
public:
    static constexpr int kMaxPorts = 20;
    // Lookups answering "try again" are repeated this many times at most, then give code 3.
    static constexpr int kMaxLookupTries = 5;
    // Failed sends are retried after this many waits at most.
    static constexpr int kMaxSendWaits = 10;
    static constexpr int kSendWaitMs = 500;
    static constexpr int kReadWaitMs = 500;
    static constexpr int kReadRounds = 10;

    // `context` may be null (direct attempts only). `ownBuffer` gives the transport a receive
    // buffer that grows to what is ready; otherwise reads are cut to 1024 bytes.
    explicit CChatSocket(CChatContext* context = nullptr, bool ownBuffer = true);
    ~CChatSocket() override;
    CChatSocket(const CChatSocket&) = delete;
    CChatSocket& operator=(const CChatSocket&) = delete;

    // The operations, in slot order.
    virtual int SetNotifyWindow(kivra::platform::MessageWindow* window);
    virtual int Connect(const char* host, const char* portList, const char* httpServer,
                        const char* httpPort, const char* tunnelPrefix, const char* tunnelPage,
                        const char* httpProxy);
    virtual int Disconnect();
    // Bytes written (the text's length), or 0 when nothing or not all of it went out.
    int SendText(const char* text) override;
    // IChatTransport's form: the length on success, 0 on failure.
    int SendData(const char* data, int length) override;
    // The transport's own form: an error code (0, 6 or 7).
    virtual int SendDataCode(const char* data, int length);
    virtual int ReadByte(char& byte);
    // Everything ready now, zero-terminated; the block stays valid until the next read call.
    virtual int ReceiveData(char*& data, int& length, int maxLength);
    virtual int CancelConnect();
    virtual const char* ErrorText(int code) const;
    virtual bool HasData();

    bool IsConnected() const override { return m_bConnected; }
    bool IsTunnelActive() const { return m_bTunnelActive; }
    bool IsConnecting() const { return m_bConnecting; }
    // Index into Ports() of the port that connected (or was last tried).
    int PortIndex() const { return m_nPortIndex; }
    const std::vector<std::uint16_t>& Ports() const { return m_ports; }
    std::uint32_t ConnectTime() const { return m_nConnectTime; }

    // Parses a port list ("7000-7003, 8000") into at most kMaxPorts ports.
    static std::vector<std::uint16_t> ParsePortList(const char* text);
    // The number of live transports in the process.
    static int LiveCount();

    // Seams for the tests and for the layers that build on the transport.
    using Resolver = std::function<kivra::platform::net::LookupResult(const std::string&)>;
    void SetResolver(Resolver resolver) { m_resolver = std::move(resolver); }
    // Waits `ms` milliseconds between failed sends and empty reads; the default runs the event
    // loop meanwhile.
    using Waiter = std::function<void(int ms)>;
    void SetWaiter(Waiter waiter) { m_waiter = std::move(waiter); }
    // Builds the tunnel object when the direct road is not taken; none installed (or null)
    // means the HTTP tunnel.
    static void SetTunnelFactory(ChatTunnelFactory factory);
    // Polling of the tunnel: once a second when idle; soon after a write, backing off to the
    // second; at once again after a read that brought data.
    static constexpr int kIdlePollMs = 1000;
    static constexpr int kQuickPollMs = 50;
    // Off: polls only once a second, as before the quick polls (for measuring them).
    static void SetPromptPolling(bool on);
    kivra::platform::net::BlockingSocket& Socket() { return m_socket; }

    // Starts one fetch from the tunnel unless one is running (the tunnel's fetch timer calls
    // it); its bytes arrive later, posted as WM_CHAT_SOCKET data.
    void FetchTunnel();
    // Read exchanges made since the tunnel opened.
    int TunnelReads() const { return m_nTunnelReads; }

private:
    int ConnectDirect(std::uint32_t address);
    bool StartTunnel(const ChatTunnelParams& params);
    void StopTunnelFetching();
    void ScheduleFetch(int ms);
    void OnFetched(int status, std::vector<char>& bytes);
    // Runs one exchange on the tunnel's worker and waits for it with the event loop running.
    int RunTunnel(std::function<int(IChatTunnel&)> job);
    int TunnelWrite(const char* data, int length);
    void ReleaseWaits();
    struct TunnelWait;
    void Notify(long lParam);
    void Wait(int ms);
    int ReceiveDirect(char*& data, int& length, int maxLength);

    CChatContext* m_pContext = nullptr;
    std::unique_ptr<CTunnelWorker> m_pTunnel; // the tunnel and the thread its exchanges run on
    bool m_bTunnelActive = false;
    bool m_bFetchBusy = false;
    int m_nPollDelay = kIdlePollMs;
    int m_nTunnelReads = 0;
    std::vector<std::shared_ptr<TunnelWait>> m_waits;
    std::vector<char> m_tunnelData; // fetched, not yet handed out
    std::vector<char> m_tunnelOut;  // handed out by the last ReceiveData
    int m_nTunnelTimer = 0;
    std::unique_ptr<QTimer> m_tunnelTimer;

    std::vector<char> m_buffer;
    std::size_t m_nReadPos = 0;
    int m_nCount = 0;
    int m_nCapacity = 0;
    bool m_bConnected = false;
    bool m_bBuffered = false;
    std::uint32_t m_nConnectTime = 0;
    kivra::platform::MessageWindow* m_pNotifyWindow = nullptr;
    bool m_bConnecting = false;
    bool m_bSending = false;
    std::string m_pendingSend; // written by handlers while a send waited
    std::vector<std::uint16_t> m_ports;
    int m_nPortIndex = 0;

    kivra::platform::net::BlockingSocket m_socket;
    Resolver m_resolver;
    Waiter m_waiter;
    std::shared_ptr<bool> m_alive;
};
