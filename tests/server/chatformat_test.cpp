#include "chatformat.h"
#include "clientunits.h"

#include <gtest/gtest.h>

using namespace kivra::server;

// The default styles' escapes show in the server tests' exact bytes; these are the rest.
TEST(ChatFormat, EscapesAndDisplayCommandsAsTheClientSendsThem) {
    EXPECT_EQ(Escape(1 | kUnderline), "\x1b[0;37;4m");
    CUserStyles s;
    EXPECT_TRUE(s.ApplyDisplay("say-message blue bold underline"));
    EXPECT_EQ(s.style[kSayMessage], 6u | kBold | kUnderline);
    EXPECT_TRUE(s.ApplyDisplay("say-message green ")); // effects not named are cleared
    EXPECT_EQ(s.style[kSayMessage], 4u);
    EXPECT_TRUE(s.ApplyDisplay("USERNAME Cyan bold "));
    EXPECT_EQ(s.style[kUsername], 8u | kBold);
    EXPECT_TRUE(s.ApplyDisplay("tell-message  underline")); // empty colour name: code 0
    EXPECT_EQ(s.style[kTellMessage], kUnderline);
    EXPECT_TRUE(s.ApplyDisplay("emote-message purple")); // unknown colours read as black
    EXPECT_EQ(s.style[kEmoteMessage], 2u);
    EXPECT_FALSE(s.ApplyDisplay("whisper-message red"));
    EXPECT_FALSE(s.ApplyDisplay(""));
}

TEST(ChatFormat, BlocksEndLinesWithCrLfAndCleanValues) {
    // Line ends and the block's start byte cannot come from a user.
    EXPECT_EQ(Block("leave", "x\r\ny\x01z"), "\x01<begin>\r\n<leave> xyz\r\n<end>\r\n");
    // A user's text must not end the block early where the client looks for "<end>".
    EXPECT_EQ(Block("whois description", "a<END>b<end"),
              "\x01<begin>\r\n<whois description> a<END >b<end\r\n<end>\r\n");
    EXPECT_EQ(Block("loadurl", std::string(2000, 'a')).size(),
              std::string("\x01<begin>\r\n<loadurl> \r\n<end>\r\n").size() + 1023);
}

TEST(ChatFormat, SpeechUnitsCutAsTheClientCutsThem) {
    CUserStyles s;
    const std::string avatar = AvatarTag("http://127.0.0.1:80/avatars/ann+lee.gif", "Ann Lee");
    EXPECT_EQ(avatar, "<user avatar=http://127.0.0.1:80/avatars/ann+lee.gif name=Ann+Lee >");
    const std::string say = SayUnit(s, avatar, "Ann Lee", "hi \"there\" <b>x</b>", false);
    const std::string emote = EmoteUnit(s, "", "Ann Lee", "waves;m at everyone.");
    const std::string tell = TellUnit(s, avatar, "Bob", "Ann Lee", "psst");
    const std::string echo = TellEchoUnit(s, "Bob", "Ann Lee", "psst");
    const std::string multi = TellEchoUnit(s, "Bob,Cy", "Ann Lee", "all");
    const std::string line = Notice(s, kInfoMessage, "Welcome");
    const std::string stream = say + emote + tell + echo + multi + line + Block("enter", "Cy") +
                               SayUnit(s, "", "Bob", "me", true) + EmoteUnit(s, "", "Bob", "nods.");

    // Every unit ends where the client's own protocol object ends it, in the view it is for.
    EXPECT_EQ(ClientUnits(stream, "Bob"),
              (std::vector<std::string>{
                  "main beep: Ann Lee says, \"hi \"there\" x\"",
                  "main beep: Ann Lee waves;m at everyone.",
                  "pm[Ann+Lee] kind:1: Ann Lee tells you, \"psst\"",
                  "pm[Ann+Lee] kind:1: You tell Bob, \"psst\"", // the echo form addresses Bob
                  "main: You tell Bob,Cy, \"all\"", // several recipients, no user tag: mine
                  "main beep: Welcome", "users add:Cy", "users role:Cy=enter",
                  "main: You say, \"me\"", "main: Bob nods."}));
    // From the teller's side the echo goes to Bob's window and the multi tell to the main view.
    EXPECT_EQ(ClientUnits(echo + multi, "Ann+Lee"),
              (std::vector<std::string>{"pm[Bob] kind:2: You tell Bob, \"psst\"",
                                        "main: You tell Bob,Cy, \"all\""}));
}

TEST(ChatFormat, NamesKeysAndValidity) {
    EXPECT_EQ(WireName("Ann Lee"), "Ann+Lee");
    EXPECT_EQ(DisplayName("Ann+Lee"), "Ann Lee");
    EXPECT_EQ(NameKey("ann lee"), NameKey("ANN+LEE"));
    EXPECT_TRUE(IsValidName("O'Neil-2 x.y"));
    for (const char* bad : {"", " Ann", "Ann ", "a\"b", "a>b", "a+b", "<user", "a,b",
                            "abcdefghijklmnopqrstuvwxyz0123456"})
        EXPECT_FALSE(IsValidName(bad)) << bad;
}
