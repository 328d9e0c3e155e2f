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

TEST(SendSay, PrefixAndTextAreTwoWritesOnlyWhileConnected) {
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
    // Logout says "/quit" and empties the exits and actions, connected or not.
    for (bool connected : {true, false}) {
        Harness h;
        h.proto.OnExit("North");
        h.panel.connected = connected;
        h.proto.SendSay("hello\r\n");
        h.proto.Logout();
        EXPECT_EQ(h.rec.wire, connected ? "say hello\r\nquit\r\n" : "");
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
}

TEST(MenuCommands, ExitsAndActionsByOneBasedIndex) {
    Harness h;
    h.proto.OnExit("North");
    h.proto.OnExit("Up Stairs");
    EXPECT_EQ(h.proto.GetMenuList(144)->Items(), (std::vector<std::string>{"North", "Up Stairs"}));
    EXPECT_EQ(h.proto.GetMenuList(145)->Items(), std::vector<std::string>{"Action..."});
    EXPECT_EQ(h.proto.GetMenuList(146), h.proto.GetMenuList(145));
    EXPECT_EQ(h.proto.GetMenuList(147), nullptr);
    // Out of range, the plain actions menu and nothing selected send nothing.
    for (int index : {2, 3, 0})
        h.proto.DoMenuCommand(144, index);
    h.proto.DoMenuCommand(145, 1);
    h.proto.DoMenuCommand(146, 1);
    h.users.selection = {"Ann Lee", "Bob"};
    h.proto.DoMenuCommand(146, 1);
    h.proto.DoMenuCommand(146, 2);
    h.users.selection = {"Eve\r\nquit"};
    h.proto.DoMenuCommand(146, 1);
    EXPECT_EQ(h.rec.writes, (std::vector<std::string>{"Up Stairs\n", "Action... Ann+Lee\n",
                                                      "Action... Evequit\n"}));
}

TEST(MissingPanes, NothingIsWrittenShownOrOpenedAndNothingBreaks) {
    CChatContext ctx;
    CChatProtocol proto(&ctx);
    EXPECT_EQ(proto.Send("x") + proto.SendSay("x") + proto.Login() + proto.ShowText("x", 1), 0);
    proto.Logout();
    std::string data = "\x01<begin>\n<newroom>\n<enter> A\n<leave> A\n<emotions> e\n<buddy> b\n"
                       "<whois> w\n<error> e\n<loadurl> u\n<userprefs>\n<roomtype> x\n"
                       "<iamfollowing> f\n<nolongerfollowing>\n<ipaddress> a b\n<tickermsg> t\n"
                       "<end>\n<tell to=\"A\" from=\"B\">hi\x1b[31m\xFF\xFB\x01\r\n";
    int incomplete = 1;
    EXPECT_EQ(proto.ProcessReceived(data.data(), static_cast<int>(data.size()), &incomplete),
              data.data() + data.size());
    EXPECT_EQ(incomplete, 0);
    EXPECT_TRUE(ctx.m_pUserOptions);
    CChatProtocol orphan;
    EXPECT_EQ(orphan.ProcessReceived(data.data(), static_cast<int>(data.size()), &incomplete),
              data.data() + data.size());
    EXPECT_EQ(orphan.Login() + orphan.ShowText("x", 1), 0);
}
