// CChatSocket against scripted peers on loopback.
#include "loopback.h"

#include "chatcontext.h"
#include "chatsocket.h"

#include <winsockerror.h>

#include <QTimer>
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <mutex>
#include <thread>

using kivra::platform::net::LookupResult;
namespace net = kivra::platform::net;

namespace {

using Ports = std::initializer_list<std::uint16_t>;

std::string PortText(Ports ports) {
    std::string s;
    for (auto p : ports)
        s += (s.empty() ? "" : ", ") + std::to_string(p);
    return s;
}

int ConnectTo(CChatSocket& s, Ports ports, const char* host = "127.0.0.1") {
    return s.Connect(host, PortText(ports).c_str(), "", "", "", "", "");
}

// What one ReceiveData call hands out, which must be zero-terminated.
std::string Receive(CChatSocket& s, int maxLength = 0) {
    char* data = nullptr;
    int length = 0;
    EXPECT_EQ(s.ReceiveData(data, length, maxLength), 0);
    EXPECT_TRUE(length == 0 || data[length] == '\0');
    return std::string(data, static_cast<std::size_t>(length));
}

} // namespace

TEST(ChatSocketPorts, ListsRangesBlanksAndTheLimit) {
    using V = std::vector<std::uint16_t>;
    const std::pair<const char*, V> cases[] = {
        {"6667", {6667}},
        {"7000-7003, 8000", {7000, 7001, 7002, 7003, 8000}},
        {"  7000 - 7002 ;x9000", {7000, 7001, 7002, 9000}},
        {"5000-4000,6000", {5000, 6000}}, // a range below its start adds nothing
        {"65534-99999", {65534, 65535}},  // the top stays a 16-bit port instead of wrapping
        {"none", {}},
        {nullptr, {}},
    };
    for (const auto& [text, want] : cases)
        EXPECT_EQ(CChatSocket::ParsePortList(text), want) << (text ? text : "null");
    // A range running past the limit stops at 20.
    const V many = CChatSocket::ParsePortList("100-200, 300");
    ASSERT_EQ(many.size(), 20u);
    EXPECT_EQ(many.back(), 119);
}

TEST(ChatSocketConnect, TriesPortsInOrderSkippingRefusedOnes) {
    kt::Listener a(-1), b(-1); // refused
    kt::Listener first, second;
    kt::RecordingWindow window;
    CChatSocket s;
    s.SetNotifyWindow(&window);
    EXPECT_EQ(ConnectTo(s, {a.Port(), b.Port()}), 5);
    EXPECT_EQ(net::LastError(), net::WSAECONNREFUSED);
    EXPECT_FALSE(s.IsConnected());
    EXPECT_TRUE(s.Socket().IsCreated()) << "a failed connect leaves the socket created";
    EXPECT_EQ(ConnectTo(s, {}), 5) << "an empty port list connects nowhere";
    EXPECT_TRUE(window.socketEvents.empty());

    ASSERT_EQ(ConnectTo(s, {a.Port(), b.Port(), first.Port(), second.Port()}), 0);
    EXPECT_TRUE(s.IsConnected());
    EXPECT_GE(first.Accept(1000), 0);
    EXPECT_LT(second.Accept(200), 0) << "no port after the one that answered is tried";
    EXPECT_EQ(window.socketEvents, std::vector<long>{CHAT_SOCKET_CONNECTED});
}

TEST(ChatSocketConnect, NamesAreResolvedRetriedWhileBusyAndFailuresGive3) {
    kt::Listener listener;
    const Ports port = {listener.Port()};
    CChatSocket s;
    std::vector<std::string> asked;
    int busy = 0;
    s.SetResolver([&](const std::string& name) {
        asked.push_back(name);
        if (name == "busy.example" || (name == "flaky.example" && ++busy < 3))
            return LookupResult{net::WSATRY_AGAIN, 0};
        if (name == "chat.example" || name == "flaky.example")
            return LookupResult{0, htonl(INADDR_LOOPBACK)};
        return LookupResult{net::WSAHOST_NOT_FOUND, 0};
    });
    EXPECT_EQ(ConnectTo(s, port, "nowhere.example"), 3);
    EXPECT_STREQ(s.ErrorText(3), "Could not resolve host name");
    EXPECT_EQ(ConnectTo(s, port, "chat.example"), 0);
    EXPECT_EQ(ConnectTo(s, port, "127.0.0.1"), 0);
    EXPECT_EQ(asked, (std::vector<std::string>{"nowhere.example", "chat.example"}))
        << "a dotted address is used as it is";
    EXPECT_EQ(ConnectTo(s, port, "flaky.example"), 0);
    asked.clear();
    EXPECT_EQ(ConnectTo(s, port, "busy.example"), 3) << "a lookup that keeps saying try again ends";
    EXPECT_EQ(asked.size(), std::size_t(CChatSocket::kMaxLookupTries));
}

TEST(ChatSocketConnect, UnansweredConnectEndsWith5) {
    // A listener whose accept queue is full drops new handshakes: a connect to it never answers.
    kt::Listener full(0);
    const std::uint16_t port = full.Port();
    std::vector<std::unique_ptr<net::BlockingSocket>> fillers;
    for (int i = 0; i < 3; ++i) {
        fillers.push_back(std::make_unique<net::BlockingSocket>());
        fillers.back()->Create();
        fillers.back()->SetConnectTimeout(200);
        fillers.back()->Connect(htonl(INADDR_LOOPBACK), port);
    }
    CChatSocket s;
    s.Socket().SetConnectTimeout(400);
    int ticks = 0;
    QTimer ticker;
    QObject::connect(&ticker, &QTimer::timeout, [&] { ++ticks; });
    ticker.start(20);
    QElapsedTimer t;
    t.start();
    EXPECT_EQ(ConnectTo(s, {port}), 5);
    EXPECT_EQ(net::LastError(), net::WSAETIMEDOUT);
    // The transport's own timeout ended it (a coarse timer may fire a little early).
    EXPECT_GE(t.elapsed(), 300);
    EXPECT_LT(t.elapsed(), 30000);
    EXPECT_GE(ticks, 5) << "the UI's timers must keep running during a blocking connect";
}

TEST(ChatSocketErrors, TextsCarryTheLastSocketError) {
    kt::Listener busy;
    net::BlockingSocket clash;
    ASSERT_FALSE(clash.Create(busy.Port()));
    CChatSocket s;
    EXPECT_STREQ(s.ErrorText(4), "Could not open communication connection. Socket error (10048)");
    // 7 and 9 with their numbers: the failing send's and the session's read error's tests.
    EXPECT_STREQ(s.ErrorText(6), "No current connection");
    EXPECT_STREQ(s.ErrorText(13), "Unknown error");
    EXPECT_STREQ(s.ErrorText(-1), "Unknown error");
}

// A connected transport with its peer.
struct Connected {
    kt::Listener listener;
    kt::RecordingWindow window;
    CChatSocket s;
    int peer = -1;
    Connected() {
        s.SetNotifyWindow(&window);
        if (ConnectTo(s, {listener.Port()}) == 0)
            peer = listener.Accept();
    }
    ~Connected() {
        if (peer >= 0)
            ::close(peer);
    }
};

// Data notifications and the peer's close are the session's tests.
TEST(ChatSocketData, ReceiveKeepsToTheLengthWantedAndHandsOutTheRestNext) {
    Connected c;
    ASSERT_GE(c.peer, 0);
    kt::WriteAll(c.peer, "abcdef");
    ASSERT_TRUE(PumpUntil([&] { return c.s.HasData(); }));
    EXPECT_EQ(Receive(c.s, 4), "abcd");
    EXPECT_EQ(Receive(c.s), "ef");
    EXPECT_FALSE(c.s.HasData());
}

TEST(ChatSocketData, AWriteFromAHandlerDuringAWaitingSendGoesAfterIt) {
    Connected c;
    ASSERT_GE(c.peer, 0);
    const std::string big(6 << 20, 'b');
    bool queued = false;
    QTimer keepalive;
    QObject::connect(&keepalive, &QTimer::timeout, [&] {
        queued = c.s.SendText("noop\r\n") == 6;
        keepalive.stop();
    });
    keepalive.start(30);
    // The peer starts reading only after the timer has written in the middle of the big send.
    std::string got;
    std::thread reader([&] {
        ::usleep(300000);
        char buf[65536];
        while (got.size() < big.size() + 6) {
            const ssize_t n = ::recv(c.peer, buf, sizeof buf, 0);
            if (n <= 0)
                break;
            got.append(buf, static_cast<std::size_t>(n));
        }
    });
    EXPECT_EQ(c.s.SendDataCode(big.data(), static_cast<int>(big.size())), 0);
    reader.join();
    EXPECT_TRUE(queued);
    ASSERT_EQ(got.size(), big.size() + 6);
    EXPECT_EQ(got.find("noop"), big.size()) << "the handler's line must not cut into the send";
}

// A peer that resets fails every send at once; one that stops reading times each send out. Both
// give up after ten waits of 500 ms, close the transport and report 7 with the socket's error.
TEST(ChatSocketData, SendThatKeepsFailingGivesUp) {
    for (const bool reset : {true, false}) {
        Connected c;
        ASSERT_GE(c.peer, 0);
        std::vector<int> waits;
        c.s.SetWaiter([&](int ms) { waits.push_back(ms); });
        std::string big(16 << 20, 's');
        if (reset) {
            kt::Reset(c.peer); // and not yet noticed
            c.peer = -1;
            ::usleep(50000);
            big = "hello";
        }
        c.s.Socket().SetIoTimeout(50);
        EXPECT_EQ(c.s.SendDataCode(big.data(), static_cast<int>(big.size())), 7);
        // A stalled peer's buffer may still take a little after a wait, which starts a new count.
        if (reset)
            EXPECT_EQ(waits, std::vector<int>(10, 500));
        else
            EXPECT_GE(waits.size(), 10u);
        EXPECT_FALSE(c.s.IsConnected()) << "a failed send closes the transport";
        EXPECT_EQ(std::string(c.s.ErrorText(7)),
                  std::string("Unsucessful write to network connection. Socket error (") +
                      (reset ? "10054)" : "10060)"));
        EXPECT_EQ(c.s.SendDataCode("x", 1), 6);
    }
}

namespace {

// A tunnel answering from a script, read under a lock: it runs on the transport's worker thread.
struct FakeTunnel : IChatTunnel {
    struct Log {
        std::mutex mutex;
        std::vector<int> opened;
        std::string server;
        std::string sent;
        std::vector<std::string> pending;
        std::atomic<bool> connected{true};
        std::atomic<int> openAnswer{CHATTUNNEL_OK};
        std::atomic<int> sendAnswer{CHATTUNNEL_OK};
        std::atomic<int> readAnswer{CHATTUNNEL_OK};
        std::atomic<int> sendDelayMs{0};
        std::string openError; // the HTTP layer's text for every Open
        int built = 0;
        ChatTunnelParams params;
    };
    explicit FakeTunnel(Log& log) : log(log) {}
    int openRequest(const std::string& server, int port) override {
        std::lock_guard<std::mutex> lock(log.mutex);
        log.opened.push_back(port);
        log.server = server;
        return log.openAnswer;
    }
    int sendRequest(const char* d, int n) override {
        std::this_thread::sleep_for(std::chrono::milliseconds(log.sendDelayMs));
        std::lock_guard<std::mutex> lock(log.mutex);
        log.sent.append(d, static_cast<std::size_t>(n));
        return log.sendAnswer;
    }
    int getRequest(std::vector<char>& out) override {
        std::lock_guard<std::mutex> lock(log.mutex);
        if (!log.pending.empty()) {
            out.insert(out.end(), log.pending.front().begin(), log.pending.front().end());
            log.pending.erase(log.pending.begin());
        }
        return log.readAnswer;
    }
    bool IsConnected() const override { return log.connected; }
    std::string TakeError() override {
        std::lock_guard<std::mutex> lock(log.mutex);
        return log.openError;
    }
    Log& log;
};

struct TunnelFixture : ::testing::Test {
    FakeTunnel::Log log;
    CChatContext context;
    kivra_test::Recorder boxes; // the panel's message boxes
    kivra_test::FakePanel panel{boxes};
    void SetUp() override {
        context.m_pPanel = &panel;
        CChatSocket::SetTunnelFactory([this](const ChatTunnelParams& p) {
            ++log.built;
            log.params = p;
            return std::make_unique<FakeTunnel>(log);
        });
    }
    void TearDown() override { CChatSocket::SetTunnelFactory(nullptr); }
    int Connect(CChatSocket& s, Ports ports, const char* proxy = "proxy:8080",
                const char* host = "127.0.0.1") {
        return s.Connect(host, PortText(ports).c_str(), "web.example", "80", "/chat", "tunnel.asp",
                         proxy);
    }
};

} // namespace

TEST_F(TunnelFixture, ModeOneGoesStraightToTheTunnelAndDataComesThroughIt) {
    kt::Listener listener;
    context.m_params.nTunnelMode = 1;
    CopyParam(context.m_params.szServer, "chat.example");
    kt::RecordingWindow window;
    CChatSocket s(&context);
    s.SetNotifyWindow(&window);
    log.pending = {"Welcome\r\n", "more"}; // no tunnel runs yet
    QElapsedTimer t;
    t.start();
    ASSERT_EQ(Connect(s, {listener.Port(), 7001}), 0);
    // The first fetch ran at once; its notification is posted, not sent.
    EXPECT_EQ(window.socketEvents, std::vector<long>{CHAT_SOCKET_CONNECTED});
    EXPECT_LT(listener.Accept(200), 0) << "mode 1 makes no direct attempt";
    EXPECT_TRUE(s.IsTunnelActive());
    EXPECT_EQ(log.opened, std::vector<int>{listener.Port()});
    EXPECT_EQ(log.params.agent, "Kivra Active-X Chat Control");
    EXPECT_EQ(log.params.httpPort, 80);

    ASSERT_TRUE(PumpUntil([&] { return window.socketEvents.size() >= 2; }));
    EXPECT_EQ(window.socketEvents[1], CHAT_SOCKET_DATA);
    EXPECT_TRUE(s.HasData());
    // A read that brought data is followed by another at once, not after a second's poll.
    ASSERT_TRUE(PumpUntil([&] { return s.TunnelReads() >= 3; }, 10000));
    EXPECT_LT(t.elapsed(), 1800);
    EXPECT_EQ(Receive(s), "Welcome\r\nmore");

    // Writes are the next test's; a tunnel the page no longer connects takes none.
    log.connected = false;
    EXPECT_EQ(s.SendText("x"), 0);
    EXPECT_FALSE(s.IsTunnelActive());
    EXPECT_EQ(log.sent, "");
}

TEST_F(TunnelFixture, ModeTwoFallsBackOnlyWithEveryTunnelSettingAndAFailedOpenGives5) {
    kt::Listener refused(-1);
    context.m_params.nTunnelMode = 2;
    CChatSocket s(&context);
    const Ports ports = {refused.Port(), refused.Port()};
    EXPECT_EQ(Connect(s, ports, ""), 5);
    EXPECT_EQ(log.built, 0) << "no tunnel without a proxy";
    log.openAnswer = CHATTUNNEL_REFUSED;
    EXPECT_EQ(Connect(s, ports), 5);
    EXPECT_EQ(log.built, 1);
    EXPECT_EQ(log.opened.size(), 2u) << "every port is offered to the tunnel";
    EXPECT_TRUE(boxes.log.empty());
    // An Open that never reached the page shows the HTTP layer's words, once per attempt.
    log.openError = "Could not connect to server";
    EXPECT_EQ(Connect(s, ports), 5);
    EXPECT_EQ(boxes.log,
              std::vector<std::string>(2, "panel box:MSKIVRA50|Could not connect to server|0"));
    EXPECT_FALSE(s.IsConnected());
    EXPECT_FALSE(s.IsTunnelActive());
}

TEST_F(TunnelFixture, ThePageResolvesTheChatHostWritesKeepOrderAndADroppedConnectionCloses) {
    kt::Listener refused(-1);
    CopyParam(context.m_params.szServer, "chat.nowhere");
    int lookups = 0;
    auto unresolvable = [&](const std::string&) {
        ++lookups;
        return net::LookupResult{net::WSAHOST_NOT_FOUND, 0};
    };
    const Ports ports = {refused.Port()};
    for (const int mode : {0, 1, 2}) {
        SCOPED_TRACE(mode);
        context.m_params.nTunnelMode = mode;
        CChatSocket s(&context);
        s.SetResolver(unresolvable);
        lookups = 0;
        EXPECT_EQ(Connect(s, ports, "proxy:8080", "chat.nowhere"), mode == 0 ? 3 : 0)
            << "only the direct road needs the name locally";
        EXPECT_EQ(lookups, mode == 1 ? 0 : 1);
        if (mode != 0) {
            EXPECT_EQ(log.server, "chat.nowhere");
        }
    }

    context.m_params.nTunnelMode = 1;
    kt::RecordingWindow window;
    CChatSocket s(&context);
    s.SetNotifyWindow(&window);
    ASSERT_EQ(Connect(s, ports), 0);
    // A handler writes while the first write is still in flight: both go, in order, and each
    // caller learns what really happened to its own bytes.
    log.sendDelayMs = 100;
    int second = -1;
    QTimer::singleShot(10, [&] { second = s.SendText("B\r\n"); });
    EXPECT_EQ(s.SendText("A\r\n"), 3);
    ASSERT_TRUE(PumpUntil([&] { return second >= 0; }));
    EXPECT_EQ(second, 3);
    log.sendAnswer = CHATTUNNEL_UNKNOWN;
    EXPECT_EQ(s.SendText("C\r\n"), 0) << "a failed tunnel write is not a success";
    EXPECT_EQ(s.SendDataCode("D", 1), 7);
    {
        std::lock_guard<std::mutex> lock(log.mutex);
        EXPECT_EQ(log.sent, "A\r\nB\r\nC\r\nD");
    }

    // The page answering CONNDOWN to a poll has lost the chat connection: the peer closed.
    log.readAnswer = CHATTUNNEL_CONNECTION_DOWN;
    ASSERT_TRUE(PumpUntil([&] { return !s.IsConnected(); }, 3000));
    EXPECT_EQ(window.socketEvents.back(), CHAT_SOCKET_CLOSED);
    EXPECT_FALSE(s.IsTunnelActive());
}
