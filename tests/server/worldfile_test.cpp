#include "worldfile.h"

#include <gtest/gtest.h>

using namespace kivra::server;

TEST(WorldFile, RoomsExitsAndDescriptions) {
    const auto w = ParseWorld("# c\nroom Tea House\r\ndescription one\ndescription two\n"
                              "exit out Hall\nroom Hall\ntype AUDITORIUM\nexit in tea house\n");
    ASSERT_TRUE(w.error.empty()) << w.error;
    ASSERT_EQ(w.rooms.size(), 2u);
    EXPECT_EQ(w.rooms[0].name, "Tea House");
    EXPECT_EQ(w.rooms[0].description.size(), 2u);
    EXPECT_EQ(w.rooms[1].type, "auditorium");
    EXPECT_EQ(w.rooms[1].exits[0].target, "tea house");
}

TEST(WorldFile, ErrorsNameTheLine) {
    EXPECT_EQ(ParseWorld("room A\nexit north\n").error,
              "line 2: exit needs a name and a target room");
    EXPECT_NE(ParseWorld("room A\nexit north B\n").error.find("unknown room"), std::string::npos);
    EXPECT_EQ(ParseWorld("type chat\n").error, "line 1: text before the first room");
    EXPECT_EQ(ParseWorld("room A\nroom a\n").error, "line 2: room defined twice: a");
    EXPECT_EQ(ParseWorld("room A\ntype disco\n").error,
              "line 2: room type must be chat or auditorium");
    EXPECT_EQ(ParseWorld("").error, "no rooms");
    EXPECT_EQ(ParseWorld("room <b>\n").error, "line 1: bad room name");
}

TEST(AccountsFile, FieldsRolesAndErrors) {
    const auto a = ParseAccounts("ann:secret\nBob+Lee:pw:cookie1:RoomOp\n# x\ncy:pw::user\n");
    ASSERT_TRUE(a.error.empty()) << a.error;
    ASSERT_EQ(a.accounts.size(), 3u);
    EXPECT_EQ(a.accounts[1].name, "Bob Lee");
    EXPECT_EQ(a.accounts[1].cookie, "cookie1");
    EXPECT_EQ(a.accounts[1].role, "roomop");
    EXPECT_EQ(a.accounts[2].role, "");
    EXPECT_EQ(ParseAccounts("ann\n").error, "line 1: expected name:password[:cookie[:role]]");
    EXPECT_EQ(ParseAccounts("a:b:c:king\n").error, "line 1: unknown role king");
    EXPECT_EQ(ParseAccounts("a\"b:pw\n").error, "line 1: bad user name");
}
