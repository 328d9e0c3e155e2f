// The ticker's tag tokenizer: which texts are tags, and the attribute rules with their bounds.
#include "markuptag.h"

#include <gtest/gtest.h>

namespace {

// "NAME=VALUE;" for each attribute, or "invalid".
std::string Summary(const CMarkupTag& tag) {
    if (!tag.IsValid())
        return "invalid";
    std::string out = std::to_string(tag.Type()) + ":";
    for (const auto& a : tag.Attributes())
        out += a.name + "=" + a.value + ";";
    return out;
}

} // namespace

TEST(MarkupTag, TypesAndAttributes) {
    const std::pair<std::string, std::string> cases[] = {
        {"<A HREF=\"http://x.org/Y\" TARGET=\"main\">more", "1:HREF=http://x.org/Y;TARGET=main;"},
        {"<a href=\"a b\"target=x>", "1:href=a b;target=x;"},
        {"<FONT SIZE=2 COLOR=red\r\n>", "invalid"},
        {"<FONT SIZE=2 COLOR=red", "invalid"},
        {"<font color=\"#ff0000\">", "19:color=#ff0000;"},
        {"<EFFECT TYPE=blink>", "13:TYPE=blink;"},
        {"<IMG SRC=a.gif  PAUSE = 3 >", "11:SRC=a.gif;PAUSE=3;"},
        {"<A =\"x\">", "1:<A=x;"},
        {"<A HREF=x \"=y>", "1:HREF=;x=y;"},
        {"<A HREF= =\"y\">", "invalid"},
        {"<A <B>", "invalid"},
        {"A HREF=x>", "invalid"},
        {"<", "invalid"}};
    CMarkupTag tag;
    for (const auto& [text, expected] : cases) {
        tag.Parse(text.c_str());
        EXPECT_EQ(Summary(tag), expected) << text;
    }
    tag.Parse("<IMG S=1 SRC=2>"); // a name that is a prefix of the one asked for answers
    EXPECT_STREQ(tag.GetValue("SRC"), "1");
}

TEST(MarkupTag, Bounds) {
    CMarkupTag tag;
    const std::string longest = "<A " + std::string(1020, 'x') + ">";
    tag.Parse(longest.c_str());
    EXPECT_TRUE(tag.IsValid());
    tag.Parse(("<A x" + longest.substr(3)).c_str());
    EXPECT_FALSE(tag.IsValid());

    std::string many = "<A ABCDEFGHIJKLMNOPQRST=0";
    for (int i = 1; i < 60; ++i)
        many += " n" + std::to_string(i) + "=" + std::to_string(i);
    tag.Parse((many + ">").c_str());
    ASSERT_EQ(tag.AttributeCount(), 50);
    EXPECT_EQ(tag.Attributes()[0].name, "ABCDEFGHIJKLMNO");
    EXPECT_EQ(tag.Attributes()[49].name, "n49");
    EXPECT_EQ(tag.Attributes()[49].value, "49");
}
