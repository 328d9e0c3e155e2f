#include "chatserver.h"
#include "tempdir.h"

#include <gtest/gtest.h>

namespace {

class AccountsServer : public ::testing::Test {
protected:
    void SetUp() override {
        WriteAll(m_dir / "accounts", "ann:secret\nbob+lee:pw2:c00kie:worldadmin\n");
        m_server = std::make_unique<ServerProcess>(
            QStringList{"--accounts", QString::fromStdString((m_dir / "accounts").string())},
            false);
        ASSERT_TRUE(m_server->Ok());
    }
    TempDir m_dir;
    std::unique_ptr<ServerProcess> m_server;
};

} // namespace

TEST_F(AccountsServer, EveryLoginFormEntersTheRightRoom) {
    struct Case {
        std::string name, password, room, cookie, expectUser, expectRoom, admin;
    };
    const Case cases[] = {
        {"ann", "secret", "", "", "ann", "Lobby", "notadmin"},
        {"ann", "secret", "Garden", "", "ann", "Garden", "notadmin"},
        {"", "", "", "c00kie", "bob+lee", "Lobby", "isadmin"},
        {"", "", "library", "c00kie", "bob+lee", "Library", "isadmin"},
    };
    for (const auto& c : cases) {
        RawClient client(m_server->ChatPort());
        client.Login(c.name, c.password, c.room, c.cookie);
        ASSERT_TRUE(client.WaitFor("Exits: "));
        const std::string got = client.Received();
        const auto lines = BlockLines(got);
        EXPECT_TRUE(Has(lines, c.admin + "|") && Has(lines, "newroom|"));
        const std::string role = c.admin == "isadmin" ? "user role=worldadmin|" : "user|";
        EXPECT_TRUE(Has(lines, role + c.expectUser)) << got;
        EXPECT_NE(got.find(c.expectRoom + "\x1b[0;m\r\n"), std::string::npos) << got;
    }
}

TEST_F(AccountsServer, RefusedLoginsGetAnErrorBlockAndAreClosed) {
    const std::tuple<std::string, std::string, std::string, std::string> bad[] = {
        {"ann", "wrong", "", "wrong user name or password."},
        {"nobody", "x", "", "wrong user name or password."},
        {"ann", "", "", "a user name and a password are needed."},
        {"", "", "unknown-cookie", "unknown login cookie."}};
    for (const auto& [name, pw, cookie, why] : bad) {
        RawClient client(m_server->ChatPort());
        client.Login(name, pw, "", cookie);
        EXPECT_TRUE(client.WaitClosed()) << why;
        EXPECT_EQ(BlockLines(client.Received()),
                  std::vector<std::string>{"error|Login failed: " + why});
    }
}

TEST_F(AccountsServer, SecondLoginReplacesTheFirst) {
    RawClient first(m_server->ChatPort());
    first.Login("ann", "secret");
    ASSERT_TRUE(first.WaitFor("Exits: "));
    RawClient watcher(m_server->ChatPort());
    watcher.Login("", "", "", "c00kie");
    ASSERT_TRUE(watcher.WaitFor("Exits: "));
    watcher.Drain();
    watcher.Take();

    RawClient second(m_server->ChatPort());
    second.Login("ANN", "secret");
    ASSERT_TRUE(second.WaitFor("Exits: "));
    EXPECT_TRUE(first.WaitClosed());
    EXPECT_TRUE(first.WaitFor("<error> You have logged in from another place."));
    // Others see the old session leave and the new one enter, under the account's spelling.
    ASSERT_TRUE(watcher.WaitFor("<enter> ann\r\n"));
    EXPECT_TRUE(watcher.WaitFor("<leave> ann\r\n"));
    second.Send("say still here\r\n");
    EXPECT_TRUE(watcher.WaitFor("still here"));
}
