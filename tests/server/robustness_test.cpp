#include "serverprocess.h"

#include <QThread>

#include <gtest/gtest.h>

// Every bad client is dropped on its own; a client that stayed well-behaved keeps talking.
TEST(Robustness, BadClientsAreDroppedOthersCarryOn) {
    ServerProcess server;
    ASSERT_TRUE(server.Ok());
    auto ann = LoggedIn(server, "Ann");
    auto bob = LoggedIn(server, "Bob");

    struct Bad {
        const char* what;
        std::string bytes;
        bool login;
    };
    std::string junk;
    for (int i = 0; i < 4096; ++i)
        junk.push_back(static_cast<char>((i * 37) & 0xFF));
    const Bad cases[] = {
        {"overlong line", std::string(9000, 'x'), true},
        {"binary junk", junk, false},
        {"malformed block", "\x01<begin>\nno keyword here\n<end>\n", true},
        {"endless block", "\x01<begin>\n" + std::string(20000, 'y'), true},
        {"chatter before login",
         std::string(40, 'a') + "\n" +
             [] {
                 std::string s;
                 for (int i = 0; i < 40; ++i)
                     s += "hello\n";
                 return s;
             }(),
         false},
    };
    for (const auto& c : cases) {
        RawClient bad(server.ChatPort());
        if (c.login) {
            bad.Login("Mallory", "pw");
            ASSERT_TRUE(bad.WaitFor("Exits: ")) << c.what;
        }
        bad.Send(c.bytes);
        EXPECT_TRUE(bad.WaitClosed()) << c.what;
        ann->Take();
        bob->Send(std::string("say still fine after ") + c.what + "\r\n");
        EXPECT_TRUE(ann->WaitFor(std::string("still fine after ") + c.what)) << c.what;
    }
    EXPECT_TRUE(server.Running());
}

TEST(Robustness, AClientThatStopsReadingIsDropped) {
    ServerProcess server;
    ASSERT_TRUE(server.Ok());
    auto ann = LoggedIn(server, "Ann");
    // Sloth logs in and never reads; its socket buffers fill and then the server's queue.
    QTcpSocket sloth;
    sloth.setReadBufferSize(1);
    sloth.connectToHost("127.0.0.1", server.ChatPort());
    ASSERT_TRUE(sloth.waitForConnected(3000));
    sloth.write("\x01<begin>\n<username> Sloth\n<password> x\n<end>\n");
    sloth.waitForBytesWritten(1000);
    ASSERT_TRUE(ann->WaitFor("<enter> Sloth"));
    const std::string big = "say " + std::string(8000, 'z') + "\r\n";
    bool gone = false;
    for (int i = 0; i < 2000 && !gone; ++i) {
        ann->Send(big);
        ann->Drain(1);
        ann->Take();
        if (i % 50 == 49) {
            ann->Send("users\n");
            ann->WaitFor("people are online:");
            gone = ann->Received().find("Sloth (") == std::string::npos;
        }
    }
    EXPECT_TRUE(gone);
    EXPECT_TRUE(server.Running());
}
