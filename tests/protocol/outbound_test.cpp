// Every line and block the client writes, byte for byte, with its own line end.
#include "fakes.h"

#include <gtest/gtest.h>

using namespace kivra_test;

namespace {
const std::string kNegotiation = "\xFF\xFE\x01\xFF\xFD\x03\xFF\xFC\x18";
}

TEST(Login, ChoosesTheBlockByCookieAndRoom) {
    struct Case {
        const char *cookie, *room, *expected;
    } cases[] = {
        {"c00k", "", "\x01<begin>\n<cookie> c00k\n<clientversion> 5.0.0.203\n<end>\n"},
        {"c00k", "Lobby",
         "\x01<begin>\n<cookie> c00k\n<clientversion> 5.0.0.203\n<room> Lobby\n<end>\n"},
        {"", "Lobby",
         "\x01<begin>\n<username> Me Myself\n<password> pw\n<clientversion> 5.0.0.203\n"
         "<room> Lobby\n<end>\n"},
        {"", "",
         "\x01<begin>\n<username> Me Myself\n<password> pw\n<clientversion> 5.0.0.203\n<end>\n"},
    };
    for (const Case& c : cases) {
        Harness h;
        CopyParam(h.ctx.m_params.szPassword, "pw");
        CopyParam(h.ctx.m_params.szCookie, c.cookie);
        CopyParam(h.ctx.m_params.szRoom, c.room);
        EXPECT_EQ(h.proto.Login(), 1);
        EXPECT_EQ(h.rec.wire, kNegotiation + c.expected) << c.cookie << "/" << c.room;
    }
}

TEST(Login, WithoutCookieNeedsNameAndPassword) {
    Harness noPassword;
    EXPECT_EQ(noPassword.proto.Login(), 0);
    EXPECT_EQ(noPassword.rec.wire, kNegotiation);
    Harness noName;
    CopyParam(noName.ctx.m_params.szUserName, "");
    CopyParam(noName.ctx.m_params.szPassword, "pw");
    EXPECT_EQ(noName.proto.Login(), 0);
    EXPECT_EQ(noName.rec.wire, kNegotiation);
    // A cookie alone is enough.
    Harness cookie;
    CopyParam(cookie.ctx.m_params.szUserName, "");
    CopyParam(cookie.ctx.m_params.szCookie, "k");
    EXPECT_EQ(cookie.proto.Login(), 1);
}

TEST(SendSay, SayEmoteAndRawCommandsInTwoWrites) {
    struct Case {
        const char *typed, *wire;
    } cases[] = {
        {"hello\r\n", "say hello\r\n"},
        {":waves\r\n", "emote waves\r\n"},
        {"/who\r\n", "who\r\n"},
        {"/smile\n", "smile\n"},
        {"/think hmm\r\n", "think hmm\r\n"},
        {"", "say "},
    };
    for (const Case& c : cases) {
        Harness h;
        h.proto.SendSay(c.typed);
        EXPECT_EQ(h.rec.wire, c.wire) << c.typed;
    }
    Harness off;
    off.transport.connected = false;
    off.proto.SendSay("hello\r\n");
    EXPECT_EQ(off.rec.wire, "");
}

TEST(Logout, SendsQuitAndEmptiesExitsAndActionsEvenWhenDisconnected) {
    for (bool connected : {true, false}) {
        Harness h;
        h.proto.OnExit("North");
        ASSERT_EQ(h.proto.Actions().Count(), 1u);
        h.transport.connected = connected;
        h.proto.Logout();
        EXPECT_EQ(h.rec.wire, connected ? "quit\r\n" : "");
        EXPECT_EQ(h.proto.Exits().Count(), 0u);
        EXPECT_EQ(h.proto.Actions().Count(), 0u);
    }
}

TEST(CommandLines, EachWithItsOwnLineEnd) {
    Harness h;
    auto sent = [&h](auto&& call) {
        h.rec.wire.clear();
        call();
        return h.rec.wire;
    };
    EXPECT_EQ(sent([&] { h.proto.SetIgnore("Ann Lee", 1); }), "ignore add Ann+Lee\n");
    EXPECT_EQ(sent([&] { h.proto.SetIgnore("Ann Lee", 0); }), "ignore remove Ann+Lee\n");
    EXPECT_EQ(sent([&] { h.proto.SetFollow("Ann Lee", 1); }), "follow Ann Lee\n");
    EXPECT_EQ(sent([&] { h.proto.SetFollow("Ann Lee", 0); }), "stopfollow Ann Lee\n");
    EXPECT_EQ(sent([&] { h.proto.SendTell("Ann+Lee,Bob", "hi %s there"); }),
              "tell Ann+Lee,Bob hi %s there\r\n");
    EXPECT_EQ(sent([&] { h.proto.RequestUsers(); }), "users\n");
    EXPECT_EQ(sent([&] { h.proto.RequestEmotions(); }), "\x01<begin>\n<emotions>\n<end>\n");
    EXPECT_EQ(sent([&] { h.proto.RequestUserPrefs(); }), "\x01<begin>\n<userprefs>\n<end>\n");
    EXPECT_EQ(sent([&] { h.proto.Send("noop\r\n"); }), "noop\r\n");
    EXPECT_EQ(sent([&] { h.proto.SendWhoisRequest("Ann Lee"); }),
              "\x01<begin>\n<whois> Ann Lee\n<end>\n");
    EXPECT_EQ(h.proto.Whois().name, "Ann Lee");
    // Long names and texts are written whole.
    const std::string big(5000, 'w');
    EXPECT_EQ(sent([&] { h.proto.SendTell("Ann", big.c_str()); }), "tell Ann " + big + "\r\n");
}

TEST(MenuCommands, ExitsAndActionsByOneBasedIndex) {
    Harness h;
    h.proto.OnExit("North");
    h.proto.OnExit("Up Stairs");
    EXPECT_EQ(h.proto.GetMenuList(CChatProtocol::MENU_EXITS), &h.proto.Exits());
    EXPECT_EQ(h.proto.GetMenuList(CChatProtocol::MENU_ACTIONS), &h.proto.Actions());
    EXPECT_EQ(h.proto.GetMenuList(CChatProtocol::MENU_ACTIONS_USER), &h.proto.Actions());
    EXPECT_EQ(h.proto.GetMenuList(147), nullptr);
    EXPECT_STREQ(h.proto.GetMenuList(CChatProtocol::MENU_ACTIONS)->Data()[0], "Action...");
    EXPECT_EQ(h.proto.GetMenuList(CChatProtocol::MENU_ACTIONS)->Data()[1], nullptr);

    h.proto.DoMenuCommand(144, 2);
    EXPECT_EQ(h.rec.wire, "Up Stairs\n");
    h.rec.wire.clear();
    h.proto.DoMenuCommand(144, 3);
    h.proto.DoMenuCommand(144, 0);
    h.proto.DoMenuCommand(145, 1);
    h.proto.DoMenuCommand(146, 1); // nothing selected
    EXPECT_EQ(h.rec.wire, "");
    h.users.selection = {"Ann Lee", "Bob"};
    h.proto.DoMenuCommand(146, 1);
    EXPECT_EQ(h.rec.wire, "Action... Ann Lee\n");
    h.rec.wire.clear();
    h.proto.DoMenuCommand(146, 2);
    EXPECT_EQ(h.rec.wire, "");
}

TEST(Outbound, NoTransportMeansNothingIsWrittenAndNothingBreaks) {
    CChatContext ctx;
    CChatProtocol proto(&ctx);
    EXPECT_EQ(proto.Send("x"), 0);
    EXPECT_EQ(proto.SendSay("x"), 0);
    EXPECT_EQ(proto.Login(), 0);
    proto.Logout();
    CChatProtocol orphan;
    EXPECT_EQ(orphan.Login(), 0);
    EXPECT_EQ(orphan.ShowText("x", 1), 0);
    EXPECT_EQ(orphan.Prepare(), 1);
}
