#include "pageparams.h"

#include <gtest/gtest.h>

using namespace kivra::host;

TEST(PageParams, ReadsTheFirstObjectWithItsParams) {
    const auto o = ParsePageObject(R"(<!DOCTYPE html><html><!-- <object classid="clsid:bad"> -->
<body><param name="OUTSIDE" value="x">
<OBJECT id=chat CLASSID="CLSID:EAF7BB83-42E7-4CE7-AF3B-06FEC4E951A4" width=640>
 <PARAM NAME=Server VALUE=chat.example.org>
 <param name='Port' value='7000-7003'/>
 <param value="Ann &amp; Bob &#65;&#x42; &bogus; &lt;3" name="USERNAME">
 <param name="empty">
 <param value="nameless">
</object>
<object classid="clsid:00000000-0000-0000-0000-000000000001"><param name="second" value="1"></object>)");
    ASSERT_TRUE(o);
    EXPECT_EQ(o->classId, "EAF7BB83-42E7-4CE7-AF3B-06FEC4E951A4");
    const std::vector<std::pair<std::string, std::string>> expected = {
        {"Server", "chat.example.org"},
        {"Port", "7000-7003"},
        {"USERNAME", "Ann & Bob AB &bogus; <3"},
        {"empty", ""}};
    EXPECT_EQ(o->params, expected);
}

TEST(PageParams, PagesWithoutAnObject) {
    // A tag open at the end of the page swallows the rest, as in a browser: an object cut off
    // inside its tag, or after a tag whose quote never closes, is no object; and a long tail of
    // open tags is read once, not once per '<'.
    for (const char* page :
         {"", "<!-- <object classid=\"clsid:x\"> -->", "<objectx classid=\"clsid:x\">",
          "<object classid=\"clsid:EAF7", "<p title=\"open><object classid=\"clsid:x\"></object>"})
        EXPECT_FALSE(ParsePageObject(page)) << page;
    std::string tail = "<object classid=x><param name=a value=b>";
    for (int i = 0; i < 200000; ++i)
        tail += "<x y ";
    EXPECT_EQ(ParsePageObject(tail)->params.size(), 1u);
    // An object without classid is found, with an empty id the host then refuses.
    const auto o = ParsePageObject("<object><param name=a value=b></object>");
    ASSERT_TRUE(o);
    EXPECT_EQ(o->classId, "");
    EXPECT_EQ(o->params.size(), 1u);
}

TEST(PageParams, ParamArguments) {
    EXPECT_EQ(ParseParamArgument("USERNAME=Ann=Lee"),
              std::make_pair(std::string("USERNAME"), std::string("Ann=Lee")));
    EXPECT_EQ(ParseParamArgument("room="), std::make_pair(std::string("room"), std::string()));
    EXPECT_FALSE(ParseParamArgument("USER NAME=x"));
    EXPECT_FALSE(ParseParamArgument(""));
}
