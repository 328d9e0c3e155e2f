// Every line and block the client writes, byte for byte, with its own line end.
#include "fakes.h"

#include <gtest/gtest.h>

using namespace kivra_test;

TEST(Login, ChoosesTheBlockByCookieNameAndRoom) {
    const std::string telnet = "\xFF\xFE\x01\xFF\xFD\x03\xFF\xFC\x18";
    const struct {
        const char *cookie, *name, *password, *room, *block;
    } cases[] = {
        {"c00k", "", "", "", "\x01<begin>\n<cookie> c00k\n<clientversion> 5.0.0.203\n<end>\n"},
        {"c00k", "Me", "pw", "Lobby",
         "\x01<begin>\n<cookie> c00k\n<clientversion> 5.0.0.203\n<room> Lobby\n<end>\n"},
        {"", "Me Myself", "pw", "Lobby",
         "\x01<begin>\n<username> Me Myself\n<password> pw\n<clientversion> 5.0.0.203\n"
         "<room> Lobby\n<end>\n"},
        {"", "Me", "pw", "",
         "\x01<begin>\n<username> Me\n<password> pw\n<clientversion> 5.0.0.203\n<end>\n"},
        {"", "Me", "", "Lobby", nullptr},
        {"", "", "pw", "Lobby", nullptr},
    };
    for (const auto& c : cases) {
        Harness h;
        CopyParam(h.ctx.m_params.szCookie, c.cookie);
        CopyParam(h.ctx.m_params.szUserName, c.name);
        CopyParam(h.ctx.m_params.szPassword, c.password);
        CopyParam(h.ctx.m_params.szRoom, c.room);
        EXPECT_EQ(h.proto.Login(), c.block ? 1 : 0) << c.name;
        EXPECT_EQ(h.rec.wire, telnet + (c.block ? c.block : "")) << c.name;
    }
}

TEST(SendSay, PrefixAndTextAreTwoWrites) {
    const struct {
        const char* typed;
        std::vector<std::string> writes;
    } cases[] = {
        {"hello\r\n", {"say ", "hello\r\n"}},
        {":waves\r\n", {"emote ", "waves\r\n"}},
        {"/who\r\n", {"who\r\n"}},
        {"/think hmm\r\n", {"think hmm\r\n"}},
        {"", {"say ", ""}},
    };
    for (const auto& c : cases) {
        Harness h;
        h.proto.SendSay(c.typed);
        EXPECT_EQ(h.rec.writes, c.writes) << c.typed;
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
        h.transport.connected = connected;
        h.proto.Logout();
        EXPECT_EQ(h.rec.wire, connected ? "quit\r\n" : "");
        EXPECT_EQ(h.proto.Exits().Count() + h.proto.Actions().Count(), 0u);
    }
}

TEST(CommandLines, EachWithItsOwnLineEnd) {
    Harness h;
    auto sent = [&h](auto&& call) {
        h.rec.wire.clear();
        call();
        return h.rec.wire;
    };
    const std::string big(5000, 'w');
    EXPECT_EQ(sent([&] { h.proto.SetIgnore("Ann Lee", 1); }), "ignore add Ann+Lee\n");
    EXPECT_EQ(sent([&] { h.proto.SetIgnore("Ann Lee", 0); }), "ignore remove Ann+Lee\n");
    EXPECT_EQ(sent([&] { h.proto.SetFollow("Ann Lee", 1); }), "follow Ann Lee\n");
    EXPECT_EQ(sent([&] { h.proto.SetFollow("Ann Lee", 0); }), "stopfollow Ann Lee\n");
    EXPECT_EQ(sent([&] { h.proto.SendTell("Ann+Lee,Bob", "hi %s there"); }),
              "tell Ann+Lee,Bob hi %s there\r\n");
    EXPECT_EQ(sent([&] { h.proto.SendTell("Ann", big.c_str()); }), "tell Ann " + big + "\r\n");
    EXPECT_EQ(sent([&] { h.proto.RequestUsers(); }), "users\n");
    EXPECT_EQ(sent([&] { h.proto.RequestEmotions(); }), "\x01<begin>\n<emotions>\n<end>\n");
    EXPECT_EQ(sent([&] { h.proto.RequestUserPrefs(); }), "\x01<begin>\n<userprefs>\n<end>\n");
    EXPECT_EQ(sent([&] { h.proto.SendWhoisRequest("Ann Lee"); }),
              "\x01<begin>\n<whois> Ann Lee\n<end>\n");
    EXPECT_EQ(h.proto.Whois().name, "Ann Lee");
}

TEST(MenuCommands, ExitsAndActionsByOneBasedIndex) {
    Harness h;
    h.proto.OnExit("North");
    h.proto.OnExit("Up Stairs");
    EXPECT_EQ(h.proto.GetMenuList(CChatProtocol::MENU_EXITS), &h.proto.Exits());
    EXPECT_EQ(h.proto.GetMenuList(CChatProtocol::MENU_ACTIONS), &h.proto.Actions());
    EXPECT_EQ(h.proto.GetMenuList(CChatProtocol::MENU_ACTIONS_USER), &h.proto.Actions());
    EXPECT_EQ(h.proto.GetMenuList(147), nullptr);
    EXPECT_EQ(h.proto.Actions().Items(), std::vector<std::string>{"Action..."});
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
    h.proto.DoMenuCommand(146, 2);
    EXPECT_EQ(h.rec.wire, "Action... Ann Lee\n");
}

TEST(Outbound, NoTransportMeansNothingIsWrittenAndNothingBreaks) {
    CChatContext ctx;
    CChatProtocol proto(&ctx);
    EXPECT_EQ(proto.Send("x") + proto.SendSay("x") + proto.Login(), 0);
    proto.Logout();
    CChatProtocol orphan;
    EXPECT_EQ(orphan.Login() + orphan.ShowText("x", 1), 0);
}
