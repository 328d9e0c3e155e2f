// Input line forms the host tests do not drive end to end, and the lines refused.
#include "headless.h"

#include <gtest/gtest.h>

using namespace kivra::host;
using K = HeadlessCommand::Kind;

TEST(HeadlessCommands, FormsAndRefusals) {
    EXPECT_EQ(ParseHeadlessCommand("").kind, K::Say);
    const auto emote = ParseHeadlessCommand("!emote waves");
    EXPECT_EQ(std::tie(emote.kind, emote.text), std::make_tuple(K::Emote, std::string("waves")));
    EXPECT_EQ(ParseHeadlessCommand("!think hmm").kind, K::Think);
    EXPECT_EQ(ParseHeadlessCommand("!select Ann,Bob Lee").names,
              (std::vector<std::string>{"Ann", "Bob Lee"}));
    EXPECT_EQ(ParseHeadlessCommand("!select Ann,,Bob,").names,
              (std::vector<std::string>{"Ann", "Bob"}));
    const auto field = ParseHeadlessCommand("!field User name=Ann = Lee");
    EXPECT_EQ(std::tie(field.kind, field.key, field.text),
              std::make_tuple(K::Field, std::string("User name"), std::string("Ann = Lee")));
    EXPECT_EQ(ParseHeadlessCommand("!field 1102=").text, "");
    EXPECT_EQ(ParseHeadlessCommand("!emotion Nod").kind, K::Emotion);
    EXPECT_EQ(ParseHeadlessCommand("!emotion").text, "");
    EXPECT_EQ(ParseHeadlessCommand("!perform Big Grin").text, "Big Grin");
    const auto pm = ParseHeadlessCommand("!pm Ann+Lee hello  there");
    EXPECT_EQ(std::tie(pm.kind, pm.key, pm.text),
              std::make_tuple(K::Pm, std::string("Ann+Lee"), std::string("hello  there")));
    EXPECT_EQ(ParseHeadlessCommand("!pm Ann").text, "");
    EXPECT_EQ(ParseHeadlessCommand("!pmbutton Ann 1049").id, 1049);
    const std::vector<std::vector<const char*>> refused = {
        {"!command", "!command x", "!command 12x", "!command -1", "!command 99999999999"},
        {"!save", "!answer", "!frobnicate now", "!dump", "!dump ", "!perform", "!emotions x"},
        {"!field", "!field novalue", "!field =x", "!pm", "!pm ", "!pmx Ann"},
        {"!pmbutton", "!pmbutton Ann", "!pmbutton Ann x", "!pmbutton Ann 70000"}};
    for (const auto& group : refused)
        for (const char* line : group)
            EXPECT_EQ(ParseHeadlessCommand(line).kind, K::Bad) << line;
}
