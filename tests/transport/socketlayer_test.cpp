// The socket layer: blocking calls, notifications, Winsock error numbers and name lookup.
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
        if (s.Create() && s.Connect(htonl(INADDR_LOOPBACK), listener.Port()))
            peer = listener.Accept();
    }
    ~SocketPair() {
        if (peer >= 0)
            ::close(peer);
    }
};

// An orderly close is reported with 0, a reset with its number.
TEST(SocketLayer, ReceiveNotificationWaitsForTheNextReadAndCloseIsReported) {
    for (const bool reset : {false, true}) {
        SCOPED_TRACE(reset ? "reset" : "close");
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

        if (reset)
            kt::Reset(p.peer);
        else
            ::close(p.peer);
        p.peer = -1;
        ASSERT_TRUE(PumpUntil([&] { return !closes.empty(); }));
        EXPECT_EQ(closes.front(), reset ? WSAECONNRESET : 0);
        EXPECT_FALSE(s.IsConnected());
    }
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
