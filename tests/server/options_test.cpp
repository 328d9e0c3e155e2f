#include "chatserver.h"

#include <gtest/gtest.h>

using Options = ServerTest;

TEST_F(Options, UserPrefsReflectEveryCommandTheOptionsPagesSend) {
    auto ann = LoggedIn(server, "Ann");
    auto lines = ann->Ask("userprefs");
    EXPECT_EQ(lines.front(), "userprefs|");
    for (const char* want : {"username color|red", "username effect|bold", "say-message color|blue",
                             "attention color|black", "allowfollow|yes", "echosayandtell|yes",
                             "briefmode|off", "gender|male"})
        EXPECT_TRUE(Has(lines, want)) << want;

    // What the general, user and display pages send, with their mixed line ends.
    ann->Send("AUTOFOLLOW no\nAUTOGOTO ask\nBRIEF ON\nECHO OFF\nEMAIL ann@example.org\n"
              "URL http://example.org/ann\n" +
              Request("description", "first%0dsecond") + Request("address", "1 Road%0dTown") +
              "DISPLAY say-message green bold underline\n"
              "DISPLAY tell-message cyan \n");
    lines = ann->Ask("userprefs", "", "<gender>");
    for (const char* want :
         {"allowfollow|no", "allowgoto|ask", "briefmode|on", "echosayandtell|no",
          "email|ann@example.org", "homepage|http://example.org/ann", "description|first",
          "description|second", "address|1 Road", "address|Town", "say-message color|green",
          "say-message effect|bold", "say-message effect|underline", "tell-message color|cyan"})
        EXPECT_TRUE(Has(lines, want)) << want;
    EXPECT_FALSE(Has(lines, "tell-message effect|bold"));

    // Whois shows the description joined again, homepage, email and inventory.
    auto bob = LoggedIn(server, "Bob");
    lines = bob->Ask("whois", "ann");
    EXPECT_EQ(lines[0], "whois|Ann");
    for (const char* want :
         {"whois description|first%0dsecond", "whois email|ann@example.org",
          "whois homepage|http://example.org/ann", "whois inventory|Room: Lobby"})
        EXPECT_TRUE(Has(lines, want)) << want;
    bob->Send(Request("whois", "ghost"));
    ASSERT_TRUE(bob->WaitFor("<error> No one called ghost is online."));

    // AUTOFOLLOW no is honoured.
    bob->Send("follow Ann\n");
    ASSERT_TRUE(bob->WaitFor("Ann does not want to be followed."));

    // The preferences outlive the session, under any spelling of the name, and are Ann's only.
    ann->Send("quit\r\n");
    ASSERT_TRUE(ann->WaitClosed());
    lines = LoggedIn(server, "ANN")->Ask("userprefs", "", "<gender>");
    for (const char* want : {"allowgoto|ask", "email|ann@example.org", "description|second",
                             "say-message color|green", "say-message effect|underline"})
        EXPECT_TRUE(Has(lines, want)) << want;
    lines = bob->Ask("userprefs", "", "<gender>");
    EXPECT_TRUE(Has(lines, "allowfollow|yes") && !Has(lines, "email|ann@example.org"));
}

TEST_F(Options, DisplayChangeShowsInTheNextEscape) {
    auto ann = LoggedIn(server, "Ann");
    auto bob = LoggedIn(server, "Bob");
    bob->Send("say one\n");
    ASSERT_TRUE(ann->WaitFor("\x1b[0;34m says, \"one"));
    ann->Send("DISPLAY say-message yellow bold \n");
    ann->Send("DISPLAY username white\r\n");
    ann->Drain();
    ann->Take();
    bob->Send("say two\n");
    EXPECT_TRUE(ann->WaitFor("\x1b[0;37mBob\x1b[1;33m says, \"two\x1b[0;m\"\r\n"));
    // Bob's own styles did not change.
    ASSERT_TRUE(bob->WaitFor("\x1b[0;34mYou say, \"two"));
    ann->Send("DISPLAY whisper red\n");
    ASSERT_TRUE(ann->WaitFor("<error> DISPLAY needs a message kind and a colour."));
}

TEST_F(Options, ListsTickerBuddiesAndIpAddress) {
    auto ann = LoggedIn(server, "Ann");
    auto bob = LoggedIn(server, "Bob Lee");
    ASSERT_TRUE(ann->WaitFor("has entered the room."));
    ann->Take();
    auto lines = ann->Ask("emotions");
    EXPECT_GE(lines.size(), 7u);
    EXPECT_TRUE(Has(lines, "emotions|smile"));

    lines = ann->Ask("gettickermsgs");
    ASSERT_FALSE(lines.empty());
    EXPECT_EQ(lines[0].rfind("tickermsg|<A HREF=", 0), 0u);

    ann->Send("buddy add Bob+Lee\nbuddy add Cy\nbuddy remove cy\n" + Request("getbuddylist"));
    ASSERT_TRUE(ann->WaitFor("<buddy>") && ann->WaitFor("<end>\r\n"));
    EXPECT_EQ(BlockLines(ann->Take()), std::vector<std::string>{"buddy|Bob+Lee"});
    // The client asks with blanks and "+" removed.
    EXPECT_EQ(ann->Ask("ipaddress", "BobLee"),
              std::vector<std::string>{"ipaddress|Bob+Lee 127.0.0.1"});

    ann->Send(Request("frobnicate") + "xyzzy\n");
    ASSERT_TRUE(ann->WaitFor("<error> Unknown command: xyzzy"));
    EXPECT_TRUE(ann->WaitFor("<error> Unknown request: frobnicate"));
}
