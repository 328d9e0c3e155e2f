// The socket layer: blocking calls that keep the event loop running, notifications, errors as
// Winsock numbers, and name lookup.
#include "loopback.h"

#include <blockingsocket.h>
#include <hostlookup.h>
#include <winsockerror.h>

#include <QTimer>
#include <gtest/gtest.h>

using namespace kivra::platform::net;

TEST(SocketLayer, DottedAddressesAreReadStrictlyAndNamesLookedUp) {
    std::uint32_t a = 0;
    EXPECT_TRUE(ParseDottedAddress("127.0.0.1", a));
    EXPECT_EQ(a, htonl(0x7F000001));
    EXPECT_TRUE(ParseDottedAddress("255.255.255.255", a));
    for (const char* bad :
         {"256.0.0.1", "1.2.3", "1.2.3.4.5", "1.2.3.4 ", "localhost", "", "1..2.3", "0001.2.3.4"})
        EXPECT_FALSE(ParseDottedAddress(bad, a)) << bad;
    const LookupResult local = LookupHost("localhost");
    ASSERT_EQ(local.error, 0);
    EXPECT_EQ(local.address, htonl(0x7F000001));
    EXPECT_EQ(LookupHost("").error, WSAHOST_NOT_FOUND);
}

// A blocking socket connected to a plain peer socket.
struct SocketPair {
    kt::Listener listener;
    BlockingSocket s;
    int peer = -1;
    SocketPair() {
        if (s.Create() && s.Connect(kt::Loopback(), listener.Port()))
            peer = listener.Accept();
    }
    ~SocketPair() {
        if (peer >= 0)
            ::close(peer);
    }
};

TEST(SocketLayer, ReceiveNotificationWaitsForTheNextReadAndCloseIsReported) {
    SocketPair p;
    ASSERT_GE(p.peer, 0);
    BlockingSocket& s = p.s;
    int receives = 0;
    std::vector<int> closes;
    s.onReceive = [&] { ++receives; };
    s.onClose = [&](int e) { closes.push_back(e); };

    kt::WriteAll(p.peer, "hello");
    ASSERT_TRUE(PumpUntil([&] { return receives > 0; }));
    PumpFor(100);
    EXPECT_EQ(receives, 1) << "unread data must not flood the window with notifications";

    kt::WriteAll(p.peer, " world");
    unsigned long ready = 0;
    PumpUntil([&] { return s.BytesAvailable(ready) && ready == 11; });
    char buf[32] = {};
    ASSERT_EQ(s.Receive(buf, sizeof buf), 11);
    EXPECT_STREQ(buf, "hello world");

    ::close(p.peer);
    p.peer = -1;
    ASSERT_TRUE(PumpUntil([&] { return !closes.empty(); }));
    EXPECT_EQ(closes.front(), 0);
    EXPECT_FALSE(s.IsConnected());
}

TEST(SocketLayer, ResetIsReportedAsACloseWithItsNumber) {
    SocketPair p;
    std::vector<int> closes;
    p.s.onClose = [&](int e) { closes.push_back(e); };
    kt::Reset(p.peer);
    p.peer = -1;
    ASSERT_TRUE(PumpUntil([&] { return !closes.empty(); }));
    EXPECT_EQ(closes.front(), WSAECONNRESET);
    char c = 0;
    EXPECT_EQ(p.s.Send(&c, 1), -1);
}

TEST(SocketLayer, SendToAPeerThatStopsReadingTimesOutAndASecondSendIsRefused) {
    SocketPair p;
    BlockingSocket& s = p.s;
    s.SetIoTimeout(300);
    const std::string big(8 << 20, 'x');
    int nested = 0;
    QTimer poke;
    QObject::connect(&poke, &QTimer::timeout, [&] {
        if (s.IsBlocking()) {
            nested = s.Send("n", 1);
            poke.stop();
        }
    });
    poke.start(20);
    std::size_t sent = 0;
    int result = 0;
    while (sent < big.size() && (result = s.Send(big.data() + sent, int(big.size() - sent))) > 0)
        sent += static_cast<std::size_t>(result);
    EXPECT_EQ(result, -1);
    EXPECT_EQ(LastError(), WSAETIMEDOUT);
    EXPECT_LT(sent, big.size());
    EXPECT_EQ(nested, -1) << "a send inside a waiting send would cut into its bytes";
}

TEST(SocketLayer, ListenAndAcceptNotify) {
    BlockingSocket server;
    ASSERT_TRUE(server.Create(0));
    ASSERT_TRUE(server.Listen(5));
    // Port 0 binds nothing until listen picks one.
    const std::uint16_t port = server.LocalPort();
    ASSERT_NE(port, 0);
    int accepts = 0;
    server.onAccept = [&] { ++accepts; };
    BlockingSocket client;
    ASSERT_TRUE(client.Create());
    ASSERT_TRUE(client.Connect(kt::Loopback(), port));
    ASSERT_TRUE(PumpUntil([&] { return accepts > 0; }));
    BlockingSocket taken;
    std::uint32_t peerAddress = 0;
    ASSERT_TRUE(server.Accept(taken, &peerAddress));
    EXPECT_EQ(peerAddress, kt::Loopback());
    ASSERT_EQ(client.Send("ping", 4), 4);
    char buf[8] = {};
    EXPECT_EQ(taken.Receive(buf, 4), 4);
    EXPECT_STREQ(buf, "ping");
}
