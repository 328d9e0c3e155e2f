// The server's control blocks through ParseBlock: grammar, keywords and end-of-block actions.
#include "fakes.h"

#include <gtest/gtest.h>

using namespace kivra_test;

namespace {

struct Parsed {
    std::ptrdiff_t consumed; // bytes up to the returned position
    int incomplete;
};

Parsed Parse(Harness& h, const std::string& block) {
    std::string buffer = block + '\0';
    int incomplete = -1;
    char* next = h.proto.ParseBlock(buffer.data(), &incomplete);
    return {next - buffer.data(), incomplete};
}

std::string Block(const std::string& lines) {
    return "\x01<begin>\n" + lines + "<end>\n";
}

std::string Log(const Harness& h) {
    return Joined(h.rec.log, "\n");
}

} // namespace

TEST(BlockGrammar, WhereParsingStopsAndWhatRan) {
    const struct {
        std::string block;
        std::ptrdiff_t consumed;
        int incomplete, admin;
    } cases[] = {
        {"\x01<begin>\n<isadmin>\n<end>\nrest", 25, 0, 1},
        {"\x01<BEGIN>\r\n  junk <IsAdmin>  \r\n<End>\r\n\r\n\nx", 40, 0, 1},
        {"\x01<begin>\n<isadmin>\n<end>", 0, 1, 0},
        {"\x01<begin>\n<isadmin>\n<leave> Ann", 0, 1, 0},
        {"\x01<begin>\n<tickermsg> see <end> here\n<isadmin>\n", 0, 1, 0},
        {"\x01hello there\n", 1, 0, 0},
        {"\x01<begin>\n<isadmin>\n<bro\nken> x\n<end>\n", 1, 0, 1},
        {"\x01<begin>\n<isadmin>\n<bro\rken> x\n<end>\n", 1, 0, 1},
        {"\x01<begin>\n<isadmin>\n<bro\x01ken> x\n<end>\n", 1, 0, 1},
    };
    for (const auto& c : cases) {
        Harness h;
        const Parsed p = Parse(h, c.block);
        EXPECT_EQ(p.consumed, c.consumed) << c.block;
        EXPECT_EQ(p.incomplete, c.incomplete) << c.block;
        EXPECT_EQ(h.ctx.m_nAdmin, c.admin) << c.block;
        if (c.incomplete) {
            EXPECT_EQ(Log(h), "") << c.block; // nothing of an open block runs
        }
    }
}

TEST(BlockGrammar, OverlongKeywordsAndValuesAreCut) {
    Harness h;
    const Parsed p = Parse(h, Block("<serverversion> " + std::string(5000, 'v') + "\n<" +
                                    std::string(1000, 'k') + "> x\n"));
    EXPECT_EQ(p.incomplete, 0);
    EXPECT_EQ(h.ctx.m_strServerVersion, std::string(1023, 'v'));
    // A keyword that only matches because of what lies past the cut must not match.
    Parse(h, Block("<" + std::string(255, 'x') + "isadmin>\n"));
    EXPECT_EQ(h.ctx.m_nAdmin, 0);
}

TEST(BlockKeywords, UserOptionsExactRowsBeforePrefixRows) {
    Harness h;
    // Before any userprefs there is no options object: these are ignored.
    Parse(h, Block("<say-message color> red\n<allowfollow> yes\n"));
    EXPECT_FALSE(h.ctx.m_pUserOptions);
    Parse(h, Block("<userprefs>\n<allowfollow> yes\n<allowgoto> no\n<briefmodex> on\n"
                   "<echosayandtellx> yes\n<email> a@b.c\n<homepage> http://h/\n"
                   "<description> line one\n<description> line two\n<address> 1 Road\n"
                   "<gender> female\n<say-message color> cyan\n<say-message effect> bold\n"
                   "<enter-message color> green\n<username effect> underline\n"
                   "<attention color> Yellow\n"));
    ASSERT_TRUE(h.ctx.m_pUserOptions);
    using U = CUserOptions;
    const U& o = *h.ctx.m_pUserOptions;
    // briefmodex is not briefmode (prefix 10 takes the terminator); echosayandtellx is echo.
    EXPECT_EQ((std::vector<int>{o.m_nAllowFollow, o.m_nAllowGoto, o.m_nBriefMode, o.m_nEcho}),
              (std::vector<int>{1, 2, 0, 1}));
    EXPECT_EQ(std::string(o.m_szEmail) + " " + o.m_szHomepage, "a@b.c http://h/");
    EXPECT_EQ(o.m_description.Items(), (std::vector<std::string>{"line one", "line two"}));
    EXPECT_EQ(o.m_address.Items(), (std::vector<std::string>{"1 Road"}));
    EXPECT_EQ(o.m_nGender, 1);
    EXPECT_EQ(o.m_dwStyle[U::KIND_SAY_MESSAGE], U::COLOR_CYAN | U::STYLE_BOLD);
    EXPECT_EQ(o.m_dwStyle[U::KIND_ENTER_MESSAGE], U::COLOR_GREEN); // not an enter line
    EXPECT_EQ(o.m_dwStyle[U::KIND_USERNAME], U::COLOR_RED | U::STYLE_BOLD | U::STYLE_UNDERLINE);
    EXPECT_EQ(o.m_dwStyle[U::KIND_ATTENTION], U::COLOR_YELLOW); // a colour replaces the word
    EXPECT_EQ(Log(h), "panel message:1126,0,0\n");
    // A second block reuses the object.
    const U* first = &o;
    Parse(h, Block("<userprefs>\n<gender> male\n"));
    EXPECT_EQ(h.ctx.m_pUserOptions.get(), first);
    EXPECT_EQ(first->m_nGender, 0);
}

TEST(BlockKeywords, RoomUsersFollowAndIgnore) {
    Harness h;
    h.proto.AddWatch("Zed");
    h.proto.AddWatch("Ann Lee");
    Parse(h, Block("<newroom>\n<exit> North\n<exit> north\n<exit> South\n<roomtype> Auditorium\n"
                   "<iamfollowing> Ann+lee\n<followingme> Bob\n<iamignoring> Cy+Do\n"
                   "<followingme> ANN+LEE\n<iamignoring> ann lee\n<ENTER role=RoomOp> Ann+Lee\n"
                   "<user> Bob\n<user role=worldadmin> Bob\n<enter> Cy\n"));
    EXPECT_EQ(h.proto.Exits().Items(), (std::vector<std::string>{"North", "South"}));
    EXPECT_EQ(h.ctx.m_nAuditorium, 1);
    EXPECT_EQ(h.ctx.m_nFollowing, 1);
    EXPECT_EQ(h.ctx.m_strFollowedUser, "Ann+lee");
    EXPECT_FALSE(h.proto.IsWatching("zed"));
    EXPECT_TRUE(h.proto.IsIgnoring("CY DO"));
    EXPECT_EQ(Log(h),
              "users clear\nusers own:Me Myself\npanel ask:1\nusers followed:Ann lee=1\n"
              "users follower:Bob=1\nusers ignored:Cy Do=1\nusers follower:ANN LEE=1\n"
              "users ignored:ann lee=1\nusers add:Ann Lee\nusers role:Ann Lee=RoomOp\n"
              "users follower:Ann Lee=1\nusers ignored:Ann Lee=1\nusers followed:Ann Lee=1\n"
              "users add:Bob\nusers role:Bob=user\nusers follower:Bob=1\n"
              "users role:Bob=worldadmin\nusers follower:Bob=1\nusers add:Cy\n"
              "users role:Cy=enter\n");
    h.rec.log.clear();
    h.users.names = {"Bob"};
    h.proto.AddWatch("Ann Lee");
    Parse(h, Block("<nolongerfollowing>\n<stoppedignoring> cy+do\n<roomtype> lounge\n"
                   "<leave> Bob\n<stoppedfollowingme> Bob\n<leave> Ann+Lee\n"));
    EXPECT_EQ(h.ctx.m_nFollowing, 0);
    EXPECT_EQ(h.ctx.m_strFollowedUser, "");
    EXPECT_FALSE(h.proto.IsIgnoring("Cy Do"));
    EXPECT_FALSE(h.proto.IsWatching("Ann Lee"));
    EXPECT_EQ(h.ctx.m_nAuditorium, 0);
    // Followers who leave get the stop line with the name as received.
    EXPECT_EQ(h.rec.wire, "stopfollow Bob\nstopfollow Ann+Lee\n");
    EXPECT_EQ(Log(h), "users followed:Ann lee=0\nusers ignored:cy do=0\npanel ask:0\n"
                      "users remove:Bob\nusers count\nusers follower:Bob=0\nusers count\n");
}

TEST(BlockKeywords, EndActionsRunOnceInTheirFixedOrder) {
    Harness h;
    Parse(h, Block("<buddy> Ann\n<emotions> smile\n<tickermsg> news\n<userprefs>\n<whois> Bob\n"
                   "<whois homepage> http://bob/\n<whois email> bob@x\n<emotions> wave\n"
                   "<whois description> one%0dtwo%0d\n<whois inventory> hat\n"
                   "<whois inventory> cane\n<whoisfoo> ignored\n<buddy2> Cy\n"));
    EXPECT_EQ(Log(h), "buddy:Ann\nemotion:smile\nticker add:news\nemotion:wave\nbuddy:Cy\n"
                      "panel whois:Bob|http://bob/|bob@x|d=one;two;;|i=hat;cane;\n"
                      "panel message:1127,0,0\npanel message:1126,0,0\nticker restart:30\n"
                      "panel message:1128,0,0\n");
    EXPECT_TRUE(h.proto.Whois().name.empty() && h.proto.Whois().description.empty());
}

TEST(BlockKeywords, BrowserFramesPeersAndErrors) {
    Harness h;
    std::chrono::steady_clock::time_point now{};
    h.proto.SetClock([&now] { return now += std::chrono::milliseconds(1000); });
    Parse(h, Block("<loadurl> http://a/b c\n<loadframe> kivrahelpdisplay http://h/x y\n"
                   "<loadurl> javascript:alert(1)\n<loadurl> file:///etc/passwd\n"
                   "<loadframe> top data:text/html,x\n<loadurl> MAILTO:a@b\n"
                   "<loadframe> nospace\n<ipaddress> Ann+Lee 10.0.0.7\n<ipaddress> lonely\n"
                   "<error> Room is full\n<serverversion> 2.1\n<unknownword> x\n"));
    EXPECT_EQ(Log(h), "panel navigate:kivradisplay http://a/b c\n"
                      "panel navigate:kivrahelpdisplay http://h/x y\n"
                      "panel navigate:kivradisplay MAILTO:a@b\n"
                      "filexfer peer:Ann+Lee 10.0.0.7\npanel box:Chat Error|Room is full|48\n");
    // Past one navigation a second the rest are dropped.
    Harness fast;
    fast.proto.SetClock([&now] { return now += std::chrono::milliseconds(999); });
    Parse(fast, Block("<loadurl> http://1\n<loadurl> http://2\n<loadframe> f https://3\n"));
    EXPECT_EQ(Log(fast), "panel navigate:kivradisplay http://1\npanel navigate:f https://3\n");
}
