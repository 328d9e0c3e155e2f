// The chat session over a real transport, with scripted peers on loopback.
#include "loopback.h"

#include "chatcontext.h"
#include "chatprotocol.h"
#include "chatsession.h"
#include "chatsocket.h"
#include "dialogservice.h"
#include "socketerrorbox.h"

#include <winsockerror.h>

#include <QTimer>
#include <gtest/gtest.h>

#include <atomic>
#include <thread>

namespace {

// Records every box; answers OK.
class RecordingDialogs : public kivra::platform::DialogService {
public:
    struct Box {
        std::string text, caption;
        unsigned flags;
    };
    std::vector<Box> boxes;
    int MessageBox(QWidget*, const QString& text, const QString& caption, unsigned flags) override {
        boxes.push_back({text.toStdString(), caption.toStdString(), flags});
        return IDOK;
    }
    std::optional<QString> GetSaveFileName(QWidget*, const QString&, const QString&,
                                           const QString&) override {
        return std::nullopt;
    }
    std::optional<QString> GetOpenFileName(QWidget*, const QString&) override {
        return std::nullopt;
    }
    std::optional<QFont> GetFont(QWidget*, const QFont&) override { return std::nullopt; }
    int RunModal(QDialog*) override { return 0; }
};

// A protocol object that records what the session hands it. A buffer is consumed up to its last
// "\n", or up to an unfinished block (0x01 with no "<end>\n" after it); the rest is reported as
// an unfinished tail.
class RecordingProtocol : public CProtocolBase {
public:
    explicit RecordingProtocol(CChatContext& c) : context(c) {}
    CChatContext& context;
    int loginAnswer = 1;
    int prepareAnswer = 1;
    std::vector<std::string> parsed;
    std::string consumed;
    int depth = 0, maxDepth = 0, logouts = 0;
    std::function<void()> duringParse;

    int Send(const char* text) override { return context.m_pTransport->SendText(text); }
    int Login() override {
        Send("LOGIN\n");
        return loginAnswer;
    }
    int Logout() override {
        ++logouts;
        return 1;
    }
    int Prepare() override { return prepareAnswer; }
    char* ProcessReceived(char* data, int length, int* incomplete) override {
        ++depth;
        maxDepth = std::max(maxDepth, depth);
        EXPECT_EQ(data[length], '\0') << "blocks are zero-terminated";
        parsed.emplace_back(data, static_cast<std::size_t>(length));
        if (duringParse) {
            auto f = std::move(duringParse);
            f();
        }
        char* end = data + length;
        char* keep = end;
        while (keep > data && keep[-1] != '\n')
            --keep;
        const std::string_view all(data, static_cast<std::size_t>(length));
        const auto block = all.rfind('\x01');
        if (block != std::string_view::npos && all.find("<end>\n", block) == std::string_view::npos)
            keep = data + block;
        consumed.append(data, keep);
        *incomplete = keep != end ? 1 : 0;
        --depth;
        return *incomplete ? keep : end;
    }
};

template <class Protocol> struct SessionRig {
    kt::Listener listener;
    CChatContext context;
    kt::RecordingView view;
    kt::RecordingWindow window;
    RecordingDialogs dialogs;
    CChatSocket transport{&context};
    Protocol protocol{context};
    CChatSession session{context, transport, protocol, window, dialogs};
    int peer = -1;
    int emotionReloads = 0, emotionClears = 0;

    SessionRig() {
        context.m_pOutput = &view;
        context.m_pTransport = &transport;
        CopyParam(context.m_params.szServer, "127.0.0.1");
        CopyParam(context.m_params.szPortList, std::to_string(listener.Port()));
        CopyParam(context.m_params.szUserName, "Ann Lee");
        CopyParam(context.m_params.szPassword, "secret");
        transport.SetNotifyWindow(&window);
        window.onSocket = [this](long l) { return session.OnSocketMessage(l); };
        window.onTimer = [this](unsigned id) { session.OnTimer(id); };
        CChatSessionHooks hooks;
        hooks.reloadEmotions = [this] { ++emotionReloads; };
        hooks.clearEmotions = [this] { ++emotionClears; };
        hooks.startFileTransfer = [](std::uint16_t) { return true; };
        session.SetHooks(hooks);
    }
    ~SessionRig() {
        session.Shutdown();
        if (peer >= 0)
            ::close(peer);
    }
    void Start() {
        session.Start();
        peer = listener.Accept(1000);
    }
};

// The real protocol object, built the way the panel builds it.
struct RealProtocol : CChatProtocol {
    explicit RealProtocol(CChatContext& c) : CChatProtocol(&c) {}
};

const std::string kTelnet("\xFF\xFE\x01\xFF\xFD\x03\xFF\xFC\x18", 9);

} // namespace

TEST(ChatSession, RefusedPortsShowTheErrorLineAndTheWarning) {
    SessionRig<RecordingProtocol> rig;
    kt::RefusedPort refused;
    CopyParam(rig.context.m_params.szPortList, std::to_string(refused.Port()));
    rig.session.Start();
    const char* box = "Failed to connect to server.\nTry using the other available clients that "
                      "are firewall enabled.\r\n";
    EXPECT_EQ(rig.view.lines,
              (std::vector<std::string>{"\r\nConnecting to host 127.0.0.1 ...\r\n",
                                        "Could not connect to remote host\r\n", box}));
    ASSERT_EQ(rig.dialogs.boxes.size(), 1u);
    EXPECT_EQ(rig.dialogs.boxes[0].text, box);
    EXPECT_EQ(rig.dialogs.boxes[0].caption, "Warning");
    EXPECT_EQ(rig.dialogs.boxes[0].flags, unsigned(MB_OK));
    EXPECT_FALSE(rig.window.HasTimer(TIMER_SOCKET_POLL));
    rig.session.Start();
    EXPECT_EQ(rig.view.lines.size(), 3u) << "a session starts once";
}

TEST(ChatSession, PrepareRefusedShowsNothing) {
    SessionRig<RecordingProtocol> rig;
    rig.protocol.prepareAnswer = 0;
    rig.session.Start();
    EXPECT_TRUE(rig.view.lines.empty());
    EXPECT_LT(rig.listener.Accept(100), 0);
}

struct LoginCase {
    const char* cookie;
    const char* room;
    std::string block;
};

TEST(ChatSession, LoginBlocksGoOutByteForByteAfterTheTelnetReplies) {
    const std::vector<LoginCase> cases = {
        {"c00kie", "", "<begin>\n<cookie> c00kie\n<clientversion> 5.0.0.203\n<end>\n"},
        {"c00kie", "Lobby",
         "<begin>\n<cookie> c00kie\n<clientversion> 5.0.0.203\n<room> Lobby\n<end>\n"},
        {"", "Lobby",
         "<begin>\n<username> Ann Lee\n<password> secret\n<clientversion> 5.0.0.203\n<room> "
         "Lobby\n<end>\n"},
        {"", "",
         "<begin>\n<username> Ann Lee\n<password> secret\n<clientversion> 5.0.0.203\n<end>\n"},
    };
    for (const LoginCase& c : cases) {
        SCOPED_TRACE(c.block);
        SessionRig<RealProtocol> rig;
        CopyParam(rig.context.m_params.szCookie, c.cookie);
        CopyParam(rig.context.m_params.szRoom, c.room);
        rig.context.m_bShowAvatars = c.room[0] == '\0';
        rig.Start();
        ASSERT_GE(rig.peer, 0);
        const std::string avatars = std::string("\x01<begin>\n<displayavatars> ") +
                                    (rig.context.m_bShowAvatars ? "on" : "off") + "\n<end>\n";
        const std::string want = kTelnet + "\x01" + c.block + avatars;
        EXPECT_EQ(kt::ReadFrom(rig.peer, want.size()), want);
        EXPECT_EQ(rig.view.lines.back(), "Connected\r\n\r\n");
        EXPECT_EQ(rig.emotionReloads, 1);
    }
}

TEST(ChatSession, MissingPasswordIsARefusedLogin) {
    SessionRig<RealProtocol> rig;
    CopyParam(rig.context.m_params.szPassword, "");
    rig.Start();
    ASSERT_GE(rig.peer, 0);
    bool closed = false;
    // The telnet replies went out; the logout's "quit" follows; then the transport closes.
    EXPECT_EQ(kt::ReadFrom(rig.peer, 100, 2000, &closed), kTelnet + "quit\r\n");
    EXPECT_TRUE(closed);
    EXPECT_EQ(rig.view.lines.back(), "\r\nFailed to connect to host 127.0.0.1 ...\r\n");
    ASSERT_EQ(rig.dialogs.boxes.size(), 1u);
    EXPECT_EQ(rig.dialogs.boxes[0].text, "Login Failed!\n\n Please return to the main login page.");
    EXPECT_EQ(rig.dialogs.boxes[0].caption, "Error");
    EXPECT_EQ(rig.emotionClears, 1);
    EXPECT_FALSE(rig.transport.IsConnected());
}

TEST(ChatSession, FileTransferListenerStartsOnThePortPlus30OrSwitchesTransferOff) {
    {
        // No engine at all: transfer is off, with no warning and no timers.
        SessionRig<RecordingProtocol> rig;
        rig.session.SetHooks(CChatSessionHooks{});
        rig.Start();
        EXPECT_FALSE(rig.window.HasTimer(TIMER_SOCKET_POLL));
        EXPECT_FALSE(rig.window.HasTimer(TIMER_FILEXFER_POLL));
        EXPECT_TRUE(rig.context.IsOptionSet(CHATOPT_NOFILEXFER));
        EXPECT_TRUE(rig.dialogs.boxes.empty());
    }
    {
        // An engine whose listener cannot start: transfer off and the warning.
        SessionRig<RecordingProtocol> rig;
        CChatSessionHooks hooks;
        hooks.startFileTransfer = [](std::uint16_t) { return false; };
        rig.session.SetHooks(hooks);
        rig.Start();
        EXPECT_TRUE(rig.window.HasTimer(TIMER_SOCKET_POLL));
        EXPECT_FALSE(rig.window.HasTimer(TIMER_FILEXFER_POLL));
        EXPECT_TRUE(rig.context.IsOptionSet(CHATOPT_NOFILEXFER));
        ASSERT_EQ(rig.dialogs.boxes.size(), 1u);
        EXPECT_EQ(rig.dialogs.boxes[0].text,
                  "This instance of Kivra will be unable to send or receive files.");
        EXPECT_EQ(rig.dialogs.boxes[0].caption, "Warning");
    }
    {
        SessionRig<RecordingProtocol> rig;
        const std::uint16_t chatPort = rig.listener.Port();
        CopyParam(rig.context.m_params.szPortList, std::to_string(chatPort) + "-65535");
        std::vector<std::uint16_t> asked;
        CChatSessionHooks hooks;
        hooks.startFileTransfer = [&](std::uint16_t port) {
            asked.push_back(port);
            return true;
        };
        rig.session.SetHooks(hooks);
        rig.Start();
        EXPECT_EQ(asked, std::vector<std::uint16_t>{std::uint16_t(chatPort + 30)});
        EXPECT_TRUE(rig.window.HasTimer(TIMER_FILEXFER_POLL));
        EXPECT_TRUE(rig.dialogs.boxes.empty());
        EXPECT_FALSE(rig.context.IsOptionSet(CHATOPT_NOFILEXFER));
    }
    {
        SessionRig<RecordingProtocol> rig;
        rig.context.SetOption(CHATOPT_NOFILEXFER, true);
        rig.Start();
        EXPECT_FALSE(rig.window.HasTimer(TIMER_SOCKET_POLL));
        EXPECT_TRUE(rig.dialogs.boxes.empty());
    }
}

TEST(ChatSession, ABlockSplitAcrossTwoReadsIsParsedOnceWhole) {
    SessionRig<RecordingProtocol> rig;
    rig.Start();
    ASSERT_GE(rig.peer, 0);
    kt::WriteAll(rig.peer, "hello\n\x01<begin>\n<user> A");
    ASSERT_TRUE(kt::PumpUntil([&] { return rig.session.CarryLength() > 0; }));
    EXPECT_EQ(rig.session.CarryLength(), std::string("\x01<begin>\n<user> A").size());
    kt::WriteAll(rig.peer, "nn\n<end>\n");
    ASSERT_TRUE(kt::PumpUntil(
        [&] { return rig.session.CarryLength() == 0 && rig.protocol.consumed.size() > 6; }));
    EXPECT_EQ(rig.protocol.consumed, "hello\n\x01<begin>\n<user> Ann\n<end>\n");
    EXPECT_EQ(rig.protocol.parsed.back(), "\x01<begin>\n<user> Ann\n<end>\n");
}

TEST(ChatSession, OneBytePiecesArriveWhole) {
    SessionRig<RecordingProtocol> rig;
    rig.Start();
    ASSERT_GE(rig.peer, 0);
    const std::string text = "\x01<begin>\n<ticker> one byte at a time\n<end>\nbye\n";
    for (char ch : text) {
        kt::WriteAll(rig.peer, std::string(1, ch));
        kt::PumpFor(2);
    }
    ASSERT_TRUE(kt::PumpUntil([&] { return rig.protocol.consumed.size() == text.size(); }));
    EXPECT_EQ(rig.protocol.consumed, text);
}

TEST(ChatSession, EachReadPassIsOneBatchForTheView) {
    SessionRig<RealProtocol> rig;
    rig.Start();
    ASSERT_GE(rig.peer, 0);
    const int outsideAfterStart = rig.view.appendsOutsideBatches;
    kt::WriteAll(rig.peer, "one\r\ntwo\r\n");
    ASSERT_TRUE(kt::PumpUntil([&] { return rig.view.text.find("two") != std::string::npos; }));
    kt::WriteAll(rig.peer, "three\r\n");
    ASSERT_TRUE(kt::PumpUntil([&] { return rig.view.text.find("three") != std::string::npos; }));
    EXPECT_EQ(rig.view.appendsOutsideBatches, outsideAfterStart)
        << "what arrives is shown inside a batch";
    EXPECT_GE(rig.view.batches, 2);
    EXPECT_EQ(rig.view.depth, 0) << "every batch is closed when its pass ends";
    // The peer's close ends the session; the pass that finds it still closes its batch.
    ::close(rig.peer);
    rig.peer = -1;
    ASSERT_TRUE(kt::PumpUntil([&] { return !rig.transport.IsConnected(); }));
    kt::PumpFor(50);
    EXPECT_EQ(rig.view.depth, 0);
}

TEST(ChatSession, AServerCloseDuringTheReadLoopDoesNotReenterIt) {
    SessionRig<RecordingProtocol> rig;
    rig.Start();
    ASSERT_GE(rig.peer, 0);
    rig.protocol.duringParse = [&] {
        // Whatever the parse does lets messages through, as a blocking call would.
        kt::WriteAll(rig.peer, "more\n");
        ::close(rig.peer);
        rig.peer = -1;
        kt::PumpFor(200);
    };
    kt::WriteAll(rig.peer, "first\n");
    ASSERT_TRUE(kt::PumpUntil([&] { return !rig.transport.IsConnected(); }));
    kt::PumpFor(100);
    EXPECT_EQ(rig.protocol.maxDepth, 1);
    EXPECT_EQ(rig.protocol.consumed, "first\nmore\n") << "nothing sent before the close is lost";
    EXPECT_TRUE(rig.dialogs.boxes.empty());
    EXPECT_FALSE(rig.window.HasTimer(TIMER_SOCKET_POLL));
    EXPECT_FALSE(rig.window.HasTimer(TIMER_KEEPALIVE));
    EXPECT_FALSE(rig.window.HasTimer(TIMER_FILEXFER_POLL));
}

TEST(ChatSession, PeerCloseStopsTheTimersAndKeepsTheView) {
    SessionRig<RecordingProtocol> rig;
    rig.context.SetOption(CHATOPT_POLLING, true);
    rig.context.m_nPollingPeriod = 20;
    rig.Start();
    ASSERT_GE(rig.peer, 0);
    EXPECT_TRUE(rig.window.HasTimer(TIMER_KEEPALIVE));
    EXPECT_TRUE(rig.window.HasTimer(TIMER_SOCKET_POLL));
    const auto lines = rig.view.lines;
    ::close(rig.peer);
    rig.peer = -1;
    ASSERT_TRUE(kt::PumpUntil([&] { return !rig.window.HasTimer(TIMER_KEEPALIVE); }));
    EXPECT_FALSE(rig.window.HasTimer(TIMER_SOCKET_POLL));
    EXPECT_EQ(rig.view.lines, lines);
    EXPECT_TRUE(rig.dialogs.boxes.empty());
}

TEST(ChatSession, PollingSendsNoopEverySecondUntilTheSessionEnds) {
    SessionRig<RecordingProtocol> rig;
    rig.context.SetOption(CHATOPT_POLLING, true);
    rig.context.m_nPollingPeriod = 1;
    rig.Start();
    ASSERT_GE(rig.peer, 0);
    const std::string login = "LOGIN\n\x01<begin>\n<displayavatars> on\n<end>\n";
    EXPECT_EQ(kt::ReadFrom(rig.peer, login.size()), login);
    QElapsedTimer t;
    t.start();
    EXPECT_EQ(kt::ReadFrom(rig.peer, 12, 3000), "noop\r\nnoop\r\n");
    EXPECT_GE(t.elapsed(), 1700);
    rig.session.Shutdown();
    EXPECT_FALSE(rig.window.HasTimer(TIMER_KEEPALIVE));
    bool closed = false;
    EXPECT_EQ(kt::ReadFrom(rig.peer, 1, 1500, &closed), "") << "no noop, no quit after the end";
    EXPECT_TRUE(closed);
}

TEST(ChatSession, SocketPollTimerReadsWhileConnected) {
    SessionRig<RecordingProtocol> rig;
    rig.Start();
    ASSERT_GE(rig.peer, 0);
    const auto before = rig.window.socketEvents.size();
    EXPECT_TRUE(rig.session.OnTimer(TIMER_SOCKET_POLL));
    EXPECT_EQ(rig.window.socketEvents.size(), before + 1);
    EXPECT_EQ(rig.window.socketEvents.back(), CHAT_SOCKET_DATA);
    EXPECT_FALSE(rig.session.OnTimer(TIMER_ABOUT));
    rig.transport.Disconnect();
    EXPECT_TRUE(rig.session.OnTimer(TIMER_SOCKET_POLL));
    EXPECT_EQ(rig.window.socketEvents.size(), before + 1);
}

TEST(ChatSession, CloseMessageDisconnects) {
    SessionRig<RecordingProtocol> rig;
    rig.Start();
    ASSERT_GE(rig.peer, 0);
    EXPECT_EQ(rig.window.SendMessage(WM_CHAT_SOCKET, 0, 0x20), 0);
    EXPECT_EQ(rig.view.lines.back(), "\r\n...disconnecting");
    EXPECT_FALSE(rig.transport.IsConnected());
}

namespace {
struct FailingSocket : CChatSocket {
    using CChatSocket::CChatSocket;
    bool fail = false;
    int ReceiveData(char*& data, int& length, int maxLength) override {
        if (!fail)
            return CChatSocket::ReceiveData(data, length, maxLength);
        data = nullptr;
        length = 0;
        kivra::platform::net::SetLastError(kivra::platform::net::WSAECONNRESET);
        return CHATSOCK_RECEIVE_FAILED;
    }
};
} // namespace

TEST(ChatSession, AReadErrorShowsTheNetworkReadErrorBox) {
    kt::Listener listener;
    CChatContext context;
    kt::RecordingView view;
    context.m_pOutput = &view;
    CopyParam(context.m_params.szServer, "127.0.0.1");
    CopyParam(context.m_params.szPortList, std::to_string(listener.Port()));
    CopyParam(context.m_params.szUserName, "a");
    CopyParam(context.m_params.szPassword, "b");
    context.SetOption(CHATOPT_NOFILEXFER, true);
    FailingSocket transport(&context);
    context.m_pTransport = &transport;
    RecordingProtocol protocol(context);
    kt::RecordingWindow window;
    RecordingDialogs dialogs;
    CChatSession session(context, transport, protocol, window, dialogs);
    transport.SetNotifyWindow(&window);
    window.onSocket = [&](long l) { return session.OnSocketMessage(l); };
    session.Start();
    ASSERT_TRUE(transport.IsConnected());
    transport.fail = true;
    window.SendMessage(WM_CHAT_SOCKET, 0, CHAT_SOCKET_DATA);
    ASSERT_EQ(dialogs.boxes.size(), 1u);
    EXPECT_EQ(dialogs.boxes[0].caption, "Network Read Error");
    EXPECT_EQ(dialogs.boxes[0].text,
              "Could not read from network connection. Socket error (10054)");
    EXPECT_EQ(dialogs.boxes[0].flags, unsigned(MB_OK | MB_ICONEXCLAMATION));
    EXPECT_FALSE(transport.IsConnected());
    EXPECT_FALSE(CChatSession::ReadGuard());
}

TEST(ChatSession, AFloodingServerNeitherFreezesTheUiNorLosesBytes) {
    SessionRig<RecordingProtocol> rig;
    rig.Start();
    ASSERT_GE(rig.peer, 0);
    const std::string line = "flood line of display text\r\n";
    const std::size_t total = line.size() * 1000000;
    std::atomic<bool> stop{false};
    std::thread writer([&] {
        std::string chunk;
        for (int i = 0; i < 1000; ++i)
            chunk += line;
        for (std::size_t sent = 0; sent < total && !stop; sent += chunk.size())
            kt::WriteAll(rig.peer, chunk);
    });
    int ticks = 0;
    QTimer ticker;
    QObject::connect(&ticker, &QTimer::timeout, [&] { ++ticks; });
    ticker.start(5);
    QElapsedTimer t;
    t.start();
    const bool all = kt::PumpUntil([&] { return rig.protocol.consumed.size() >= total; }, 60000);
    const auto elapsed = t.elapsed();
    stop = true;
    writer.join();
    EXPECT_TRUE(all);
    EXPECT_EQ(rig.protocol.consumed.size(), total);
    // A 5 ms timer that fired at least every 50 ms on average: the UI was never held for long.
    EXPECT_GT(ticks, elapsed / 50) << "timers keep running while the flood is read";
}

TEST(SocketErrorBox, NamesKnownErrorsAndIgnoresOthers) {
    RecordingDialogs dialogs;
    EXPECT_TRUE(ShowSocketErrorBox(dialogs, 10061));
    EXPECT_TRUE(ShowSocketErrorBox(dialogs, 10013));
    EXPECT_FALSE(ShowSocketErrorBox(dialogs, 10004));
    EXPECT_FALSE(ShowSocketErrorBox(dialogs, 0));
    ASSERT_EQ(dialogs.boxes.size(), 2u);
    EXPECT_EQ(dialogs.boxes[0].text, "WSAECONNREFUSED");
    EXPECT_EQ(dialogs.boxes[0].caption, "Socket Error");
    EXPECT_EQ(dialogs.boxes[1].text, "WSAEACCESS");
}
