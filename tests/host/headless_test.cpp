#include "headless.h"

#include <gtest/gtest.h>
#include <sstream>

using namespace kivra::host;
using K = HeadlessCommand::Kind;

TEST(HeadlessCommands, LinesAndCommands) {
    EXPECT_EQ(ParseHeadlessCommand("hello all").kind, K::Say);
    EXPECT_EQ(ParseHeadlessCommand("hello all").text, "hello all");
    EXPECT_EQ(ParseHeadlessCommand("").kind, K::Say);
    const auto emote = ParseHeadlessCommand("!emote waves");
    EXPECT_EQ(emote.kind, K::Emote);
    EXPECT_EQ(emote.text, "waves");
    EXPECT_EQ(ParseHeadlessCommand("!think hmm").kind, K::Think);
    const auto cmd = ParseHeadlessCommand("!command 32774");
    EXPECT_EQ(cmd.kind, K::Command);
    EXPECT_EQ(cmd.id, 32774);
    for (const char* bad : {"!command", "!command x", "!command 12x", "!command -1",
                            "!command 99999999999", "!save", "!answer", "!frobnicate now"})
        EXPECT_EQ(ParseHeadlessCommand(bad).kind, K::Bad) << bad;
    EXPECT_EQ(ParseHeadlessCommand("!save /tmp/t.txt").text, "/tmp/t.txt");
    EXPECT_EQ(ParseHeadlessCommand("!answer yes").text, "yes");
    EXPECT_EQ(ParseHeadlessCommand("!quit").kind, K::Quit);
}

TEST(HeadlessCommands, Selection) {
    EXPECT_EQ(ParseHeadlessCommand("!select Ann,Bob Lee").names,
              (std::vector<std::string>{"Ann", "Bob Lee"}));
    const auto clear = ParseHeadlessCommand("!select ");
    EXPECT_EQ(clear.kind, K::Select);
    EXPECT_TRUE(clear.names.empty());
    EXPECT_TRUE(ParseHeadlessCommand("!select").names.empty());
    EXPECT_EQ(ParseHeadlessCommand("!select Ann,,Bob,").names,
              (std::vector<std::string>{"Ann", "Bob"}));
}

TEST(HeadlessCommands, FieldsAndDumps) {
    const auto field = ParseHeadlessCommand("!field User name=Ann = Lee");
    EXPECT_EQ(field.kind, K::Field);
    EXPECT_EQ(field.key, "User name");
    EXPECT_EQ(field.text, "Ann = Lee");
    EXPECT_EQ(ParseHeadlessCommand("!field 1102=").text, "");
    EXPECT_EQ(ParseHeadlessCommand("!dump users").text, "users");
    EXPECT_EQ(ParseHeadlessCommand("!emotion Nod").kind, K::Emotion);
    EXPECT_EQ(ParseHeadlessCommand("!emotion").text, "");
    EXPECT_EQ(ParseHeadlessCommand("!perform Big Grin").text, "Big Grin");
    for (const char* bad :
         {"!field", "!field novalue", "!field =x", "!dump", "!dump ", "!perform", "!emotions x"})
        EXPECT_EQ(ParseHeadlessCommand(bad).kind, K::Bad) << bad;
}

TEST(HeadlessCommands, PrivateMessages) {
    const auto pm = ParseHeadlessCommand("!pm Ann+Lee hello  there");
    EXPECT_EQ(pm.kind, K::Pm);
    EXPECT_EQ(pm.key, "Ann+Lee");
    EXPECT_EQ(pm.text, "hello  there");
    EXPECT_EQ(ParseHeadlessCommand("!pm Ann").text, "");
    const auto button = ParseHeadlessCommand("!pmbutton Ann 1049");
    EXPECT_EQ(button.kind, K::PmButton);
    EXPECT_EQ(button.key, "Ann");
    EXPECT_EQ(button.id, 1049);
    for (const char* bad : {"!pm", "!pm ", "!pmbutton", "!pmbutton Ann", "!pmbutton Ann x",
                            "!pmbutton Ann 70000", "!pmx Ann"})
        EXPECT_EQ(ParseHeadlessCommand(bad).kind, K::Bad) << bad;
}
