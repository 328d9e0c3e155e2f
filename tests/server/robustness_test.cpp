#include "chatserver.h"

#include <gtest/gtest.h>

using Robustness = ServerTest;

// Every bad client is dropped on its own; a client that stayed well-behaved keeps talking.
TEST_F(Robustness, BadClientsAreDroppedOthersCarryOn) {
    auto ann = LoggedIn(server, "Ann");
    auto bob = LoggedIn(server, "Bob");

    std::string junk, chatter = std::string(40, 'a') + "\n";
    for (int i = 0; i < 4096; ++i)
        junk.push_back(static_cast<char>((i * 37) & 0xFF));
    for (int i = 0; i < 40; ++i)
        chatter += "hello\n";
    // A block the reader refuses takes the same road as the overlong line (each refusal is the
    // command reader's own test).
    const std::tuple<const char*, std::string, bool> cases[] = {
        {"overlong line", std::string(9000, 'x'), true},
        {"binary junk", junk, false},
        {"chatter before login", chatter, false},
        {"login under a name with markup",
         "\x01<begin>\n<username> <b>x</b>\n<password> x\n<end>\n", false},
    };
    for (const auto& [what, bytes, login] : cases) {
        RawClient bad(server.ChatPort());
        if (login) {
            bad.Login("Mallory", "pw");
            ASSERT_TRUE(bad.WaitFor("Exits: ")) << what;
        }
        bad.Send(bytes);
        EXPECT_TRUE(bad.WaitClosed()) << what;
        ann->Take();
        bob->Send(std::string("say still fine after ") + what + "\r\n");
        EXPECT_TRUE(ann->WaitFor(std::string("still fine after ") + what)) << what;
    }
}

TEST_F(Robustness, AClientThatStopsReadingIsDropped) {
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
}
