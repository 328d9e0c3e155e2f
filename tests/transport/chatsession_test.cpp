// The chat session over a real transport, with scripted peers on loopback.
#include "loopback.h"

#include "chatcontext.h"
#include "chatprotocol.h"
#include "chatsession.h"
#include "chatsocket.h"
#include "scripteddialogservice.h"
#include "socketerrorbox.h"

#include <winsockerror.h>

#include <QTimer>
#include <gtest/gtest.h>

#include <atomic>
#include <thread>

namespace {

using kivra::platform::DialogRequest;

// Records what the session hands it; consumes up to the last "\n" and reports the rest unfinished.
class RecordingProtocol : public CProtocolBase {
public:
    explicit RecordingProtocol(CChatContext& c) : context(c) {}
    CChatContext& context;
    int prepareAnswer = 1, loginAnswer = 1, logouts = 0;
    std::string last, consumed; // the last buffer handed in; everything consumed
    int depth = 0, maxDepth = 0;
    std::size_t fresh = 0, left = 0; // bytes new to the parse so far; the tail it left last
    std::function<void()> onParse;

    int Send(const char* text) override { return context.m_pTransport->SendText(text); }
    int Login() override {
        Send("LOGIN\n");
        return loginAnswer;
    }
    int Logout() override { return ++logouts; }
    int Prepare() override { return prepareAnswer; }
    char* ProcessReceived(char* data, int length, int* incomplete) override {
        ++depth;
        maxDepth = std::max(maxDepth, depth);
        EXPECT_EQ(data[length], '\0') << "blocks are zero-terminated";
        last.assign(data, static_cast<std::size_t>(length));
        if (onParse)
            onParse();
        char* end = data + length;
        char* keep = end;
        while (keep > data && keep[-1] != '\n')
            --keep;
        consumed.append(data, keep);
        fresh += static_cast<std::size_t>(length) - left;
        left = static_cast<std::size_t>(end - keep);
        *incomplete = keep != end ? 1 : 0;
        --depth;
        return *incomplete ? keep : end;
    }
};

// One session as the panel assembles it, aimed at its own listener.
template <class Protocol, class Socket = CChatSocket> struct SessionRig {
    kt::Listener listener;
    CChatContext context;
    kt::RecordingView view;
    kt::RecordingWindow window;
    kivra::platform::ScriptedDialogService dialogs;
    Socket transport{&context};
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
    // Starts the session; true once the peer has its connection.
    bool Start() {
        session.Start();
        peer = listener.Accept(1000);
        return peer >= 0;
    }
    void ClosePeer() {
        ::close(peer);
        peer = -1;
    }
};

// The real protocol object, built the way the panel builds it.
struct RealProtocol : CChatProtocol {
    explicit RealProtocol(CChatContext& c) : CChatProtocol(&c) { c.m_pProtocol = this; }
};

using Lines = std::vector<std::string>;

// One "caption|text|flags" line per box shown.
Lines Boxes(const kivra::platform::ScriptedDialogService& dialogs) {
    Lines boxes;
    for (const DialogRequest& r : dialogs.Requests())
        boxes.push_back(r.caption.toStdString() + "|" + r.text.toStdString() + "|" +
                        std::to_string(r.flags));
    return boxes;
}

} // namespace

// Refused ports show the error line and the warning, once however often the session is started; a
// protocol that refuses to prepare stops it before anything is shown.
TEST(ChatSession, AStartThatCannotConnectShowsWhyOnce) {
    const std::string box = "Failed to connect to server.\nTry using the other available clients "
                            "that are firewall enabled.\r\n";
    for (const bool prepared : {true, false}) {
        SCOPED_TRACE(prepared);
        SessionRig<RecordingProtocol> rig;
        kt::Listener refused(-1);
        CopyParam(rig.context.m_params.szPortList, std::to_string(refused.Port()));
        rig.protocol.prepareAnswer = prepared;
        rig.session.Start();
        rig.session.Start();
        const Lines shown = {"\r\nConnecting to host 127.0.0.1 ...\r\n",
                             "Could not connect to remote host\r\n", box};
        EXPECT_EQ(rig.view.lines, prepared ? shown : Lines{});
        EXPECT_EQ(Boxes(rig.dialogs), prepared ? Lines{"Warning|" + box + "|0"} : Lines{});
        EXPECT_FALSE(rig.window.HasTimer(TIMER_SOCKET_POLL));
    }
}

// Which login block goes out is the protocol's test; here what the session makes of the answer.
TEST(ChatSession, LoginOutcomeDecidesTheLineTheBoxAndTheEmotions) {
    for (const bool accepted : {true, false}) {
        SCOPED_TRACE(accepted);
        SessionRig<RecordingProtocol> rig;
        rig.protocol.loginAnswer = accepted;
        rig.context.m_bShowAvatars = false;
        ASSERT_TRUE(rig.Start());
        const std::string wire =
            accepted ? "LOGIN\n\x01<begin>\n<displayavatars> off\n<end>\n" : "LOGIN\n";
        bool closed = false; // a refused login closes the transport: read on until it does
        EXPECT_EQ(kt::ReadFrom(rig.peer, wire.size() + (accepted ? 0 : 1), 2000, &closed), wire);
        EXPECT_EQ(closed, !accepted);
        EXPECT_EQ(rig.transport.IsConnected(), accepted);
        EXPECT_EQ(rig.protocol.logouts, accepted ? 0 : 1);
        EXPECT_EQ(rig.view.lines.back(), accepted
                                             ? "Connected\r\n\r\n"
                                             : "\r\nFailed to connect to host 127.0.0.1 ...\r\n");
        EXPECT_EQ(Boxes(rig.dialogs),
                  accepted
                      ? Lines{}
                      : Lines{"Error|Login Failed!\n\n Please return to the main login page.|0"});
        EXPECT_EQ(rig.emotionReloads, accepted ? 1 : 0);
        EXPECT_EQ(rig.emotionClears, accepted ? 0 : 1);
    }
}

TEST(ChatSession, FileTransferListenerStartsOnThePortPlus30OrSwitchesTransferOff) {
    enum Engine { None, Fails, Listens, SwitchedOff }; // None: no engine in the build
    for (const Engine engine : {None, Fails, Listens, SwitchedOff}) {
        SCOPED_TRACE(engine);
        SessionRig<RecordingProtocol> rig;
        const std::uint16_t chatPort = rig.listener.Port();
        CopyParam(rig.context.m_params.szPortList, std::to_string(chatPort) + "-65535");
        std::vector<int> asked;
        CChatSessionHooks hooks;
        if (engine != None)
            hooks.startFileTransfer = [&](std::uint16_t port) {
                asked.push_back(port);
                return engine != Fails;
            };
        rig.session.SetHooks(hooks);
        rig.context.SetOption(CHATOPT_NOFILEXFER, engine == SwitchedOff);
        rig.Start();
        const bool tried = engine == Fails || engine == Listens;
        EXPECT_EQ(asked, tried ? std::vector<int>{chatPort + 30} : std::vector<int>{});
        EXPECT_EQ(rig.window.HasTimer(TIMER_SOCKET_POLL), tried);
        EXPECT_EQ(rig.window.HasTimer(TIMER_FILEXFER_POLL), engine == Listens);
        EXPECT_EQ(rig.context.IsOptionSet(CHATOPT_NOFILEXFER), engine != Listens);
        const Lines warning = {
            "Warning|This instance of Kivra will be unable to send or receive files.|0"};
        EXPECT_EQ(Boxes(rig.dialogs), engine == Fails ? warning : Lines{});
    }
}

TEST(ChatSession, SplitReadsAreJoinedBeforeTheParse) {
    SessionRig<RecordingProtocol> rig;
    ASSERT_TRUE(rig.Start());
    // A line split across two reads is parsed once whole: the unfinished tail is kept.
    kt::WriteAll(rig.peer, "hello\n<user> A");
    ASSERT_TRUE(PumpUntil([&] { return rig.session.CarryLength() > 0; }));
    EXPECT_EQ(rig.session.CarryLength(), std::string("<user> A").size());
    kt::WriteAll(rig.peer, "nn\n");
    ASSERT_TRUE(PumpUntil([&] { return rig.protocol.consumed.size() > 6; }));
    EXPECT_EQ(rig.session.CarryLength(), 0u);
    EXPECT_EQ(rig.protocol.last, "<user> Ann\n");
    // One byte at a time.
    const std::string text = "<ticker> one byte at a time\nbye\n";
    for (char ch : text) {
        kt::WriteAll(rig.peer, std::string(1, ch));
        PumpFor(2);
    }
    const std::string all = "hello\n<user> Ann\n" + text;
    ASSERT_TRUE(PumpUntil([&] { return rig.protocol.consumed.size() == all.size(); }));
    EXPECT_EQ(rig.protocol.consumed, all);
}

TEST(ChatSession, EachReadPassIsOneBatchForTheView) {
    SessionRig<RealProtocol> rig;
    ASSERT_TRUE(rig.Start());
    const int outsideAfterStart = rig.view.appendsOutsideBatches;
    kt::WriteAll(rig.peer, "one\r\ntwo\r\n");
    ASSERT_TRUE(PumpUntil([&] { return rig.view.document.find("two") != std::string::npos; }));
    kt::WriteAll(rig.peer, "three\r\n");
    ASSERT_TRUE(PumpUntil([&] { return rig.view.document.find("three") != std::string::npos; }));
    EXPECT_EQ(rig.view.appendsOutsideBatches, outsideAfterStart)
        << "what arrives is shown inside a batch";
    EXPECT_GE(rig.view.batches, 2);
    EXPECT_EQ(rig.view.depth, 0) << "every batch is closed when its pass ends";
    // The peer's close ends the session; the pass that finds it still closes its batch.
    rig.ClosePeer();
    ASSERT_TRUE(PumpUntil([&] { return !rig.transport.IsConnected(); }));
    EXPECT_EQ(rig.window.socketEvents.back(), CHAT_SOCKET_CLOSED);
    PumpFor(50);
    EXPECT_EQ(rig.view.depth, 0);
}

TEST(ChatSession, AServerCloseDuringTheReadLoopEndsTheSessionWithoutReenteringIt) {
    SessionRig<RecordingProtocol> rig;
    rig.context.SetOption(CHATOPT_POLLING, true);
    rig.context.m_nPollingPeriod = 20;
    ASSERT_TRUE(rig.Start());
    EXPECT_TRUE(rig.window.HasTimer(TIMER_KEEPALIVE));
    EXPECT_TRUE(rig.window.HasTimer(TIMER_SOCKET_POLL));
    const auto lines = rig.view.lines;
    rig.protocol.onParse = [&] {
        if (rig.peer < 0)
            return;
        // Whatever the parse does lets messages through, as a blocking call would.
        kt::WriteAll(rig.peer, "more\n");
        rig.ClosePeer();
        PumpFor(200);
    };
    kt::WriteAll(rig.peer, "first\n");
    ASSERT_TRUE(PumpUntil([&] { return !rig.transport.IsConnected(); }));
    PumpFor(100);
    EXPECT_EQ(rig.protocol.maxDepth, 1);
    EXPECT_EQ(rig.protocol.consumed, "first\nmore\n") << "nothing sent before the close is lost";
    EXPECT_TRUE(Boxes(rig.dialogs).empty());
    EXPECT_EQ(rig.view.lines, lines) << "the view is left as it is";
    for (unsigned timer : {TIMER_SOCKET_POLL, TIMER_KEEPALIVE, TIMER_FILEXFER_POLL})
        EXPECT_FALSE(rig.window.HasTimer(timer)) << timer;
}

TEST(ChatSession, PollingSendsNoopEverySecondUntilTheSessionEnds) {
    SessionRig<RecordingProtocol> rig;
    rig.context.SetOption(CHATOPT_POLLING, true);
    rig.context.m_nPollingPeriod = 1;
    // The keep-alive starts with the session: two noops take at least two periods from there
    // (less a coarse timer's few percent), however slowly they arrive on a loaded machine.
    QElapsedTimer t;
    t.start();
    ASSERT_TRUE(rig.Start());
    const std::string login = "LOGIN\n\x01<begin>\n<displayavatars> on\n<end>\n";
    EXPECT_EQ(kt::ReadFrom(rig.peer, login.size()), login);
    EXPECT_EQ(kt::ReadFrom(rig.peer, 12, 20000), "noop\r\nnoop\r\n");
    EXPECT_GE(t.elapsed(), 1850);
    rig.session.Shutdown();
    EXPECT_FALSE(rig.window.HasTimer(TIMER_KEEPALIVE));
    bool closed = false;
    EXPECT_EQ(kt::ReadFrom(rig.peer, 1, 5000, &closed), "") << "no noop, no quit after the end";
    EXPECT_TRUE(closed);
}

TEST(ChatSession, SocketPollTimerReadsWhileConnectedAndTheCloseMessageDisconnects) {
    SessionRig<RecordingProtocol> rig;
    ASSERT_TRUE(rig.Start());
    const auto before = rig.window.socketEvents.size();
    EXPECT_TRUE(rig.session.OnTimer(TIMER_SOCKET_POLL));
    EXPECT_EQ(rig.window.socketEvents.size(), before + 1);
    EXPECT_EQ(rig.window.socketEvents.back(), CHAT_SOCKET_DATA);
    EXPECT_TRUE(Boxes(rig.dialogs).empty()) << "nothing ready is no read error";
    EXPECT_FALSE(rig.session.OnTimer(TIMER_ABOUT));
    EXPECT_EQ(rig.window.SendMessage(WM_CHAT_SOCKET, 0, 0x20), 0);
    EXPECT_EQ(rig.view.lines.back(), "\r\n...disconnecting");
    EXPECT_FALSE(rig.transport.IsConnected());
    EXPECT_TRUE(rig.session.OnTimer(TIMER_SOCKET_POLL));
    EXPECT_EQ(rig.window.socketEvents.size(), before + 2) << "no poll once disconnected";
}

namespace {
// A transport whose reads fail, with an error text in the wire's code page.
struct FailingSocket : CChatSocket {
    using CChatSocket::CChatSocket;
    bool fail = false;
    const char* text = nullptr;
    int ReceiveData(char*& data, int& length, int maxLength) override {
        if (!fail)
            return CChatSocket::ReceiveData(data, length, maxLength);
        data = nullptr;
        length = 0;
        kivra::platform::net::SetLastError(kivra::platform::net::WSAECONNRESET);
        return CHATSOCK_RECEIVE_FAILED;
    }
    const char* ErrorText(int code) const override {
        return text != nullptr ? text : CChatSocket::ErrorText(code);
    }
};
} // namespace

TEST(ChatSession, AReadErrorShowsTheNetworkReadErrorBoxInTheWireCodePage) {
    const std::pair<const char*, const char*> cases[] = {
        {nullptr, "Could not read from network connection. Socket error (10054)"},
        {"Read failed \x80 5", "Read failed \u20AC 5"}};
    for (const auto& [text, shown] : cases) {
        SessionRig<RecordingProtocol, FailingSocket> rig;
        rig.context.SetOption(CHATOPT_NOFILEXFER, true);
        ASSERT_TRUE(rig.Start());
        rig.transport.fail = true;
        rig.transport.text = text;
        rig.window.SendMessage(WM_CHAT_SOCKET, 0, CHAT_SOCKET_DATA);
        EXPECT_EQ(Boxes(rig.dialogs), Lines{"Network Read Error|" + std::string(shown) + "|" +
                                            std::to_string(MB_OK | MB_ICONEXCLAMATION)});
        EXPECT_FALSE(rig.transport.IsConnected());
        EXPECT_FALSE(CChatSession::ReadGuard());
    }
}

// Each read pass takes a bounded share of a flood; the next notification brings the rest, so
// nothing is lost. (How long the UI waits is measured by bench_transport.)
TEST(ChatSession, AFloodIsReadInBoundedPassesWithoutLosingBytes) {
    SessionRig<RecordingProtocol> rig;
    ASSERT_TRUE(rig.Start());
    const std::string line = "flood line of display text\r\n";
    std::string chunk;
    for (int i = 0; i < 1000; ++i)
        chunk += line;
    const std::size_t total = chunk.size() * 300;
    std::atomic<bool> stop{false};
    std::thread writer([&] {
        for (std::size_t sent = 0; sent < total && !stop; sent += chunk.size())
            kt::WriteAll(rig.peer, chunk);
    });
    std::size_t largestPass = 0;
    rig.window.onSocket = [&](long l) {
        const std::size_t before = rig.protocol.fresh;
        const long r = rig.session.OnSocketMessage(l);
        largestPass = std::max(largestPass, rig.protocol.fresh - before);
        return r;
    };
    PumpUntil([&] { return rig.protocol.consumed.size() >= total; }, 60000);
    stop = true;
    writer.join();
    EXPECT_EQ(rig.protocol.consumed.size(), total);
    EXPECT_LE(largestPass, CChatSession::kMaxBytesPerPass + CChatSession::kMaxReadLength);
}

// A pass stops after its time however much is ready; the UI's timers run before the next.
TEST(ChatSession, ASlowParseEndsThePassAndTimersRunBeforeTheNext) {
    SessionRig<RecordingProtocol> rig;
    ASSERT_TRUE(rig.Start());
    std::vector<char> order; // 'p' a parse, 't' a timer run
    rig.protocol.onParse = [&] {
        order.push_back('p');
        ::usleep(CChatSession::kMaxPassMs * 1000 / 2);
    };
    QTimer ui;
    QObject::connect(&ui, &QTimer::timeout, [&] { order.push_back('t'); });
    ui.start(1);
    const std::string line = std::string(99, 'x') + "\n";
    std::string flood;
    for (int i = 0; i < 3000; ++i)
        flood += line;
    kt::WriteAll(rig.peer, flood);
    ASSERT_TRUE(PumpUntil([&] { return rig.protocol.consumed.size() == flood.size(); }, 20000));
    std::size_t run = 0, longest = 0;
    for (char c : order) {
        run = c == 'p' ? run + 1 : 0;
        longest = std::max(longest, run);
    }
    EXPECT_LE(longest, 3u) << "parses in a row without a timer run";
}

TEST(SocketErrorBox, NamesKnownErrorsAndIgnoresOthers) {
    kivra::platform::ScriptedDialogService dialogs;
    EXPECT_TRUE(ShowSocketErrorBox(dialogs, 10061));
    EXPECT_TRUE(ShowSocketErrorBox(dialogs, 10013));
    EXPECT_FALSE(ShowSocketErrorBox(dialogs, 10004));
    EXPECT_FALSE(ShowSocketErrorBox(dialogs, 0));
    EXPECT_EQ(Boxes(dialogs),
              (Lines{"Socket Error|WSAECONNREFUSED|0", "Socket Error|WSAEACCESS|0"}));
}
