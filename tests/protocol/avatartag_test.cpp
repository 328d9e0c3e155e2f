// The avatar tag: what the image cache is asked, and where the picture goes.
#include "fakes.h"

#include <gtest/gtest.h>

using namespace kivra_test;

TEST(AvatarTag, WhatTheCacheIsAskedAndWhatTheViewShows) {
    struct Case {
        const char* what;
        std::string stream;
        std::string log;
        std::string text = "\r\n";
        std::function<void(Harness&)> setup = nullptr;
    };
    const Case cases[] = {
        {"kept picture, inserted at once as the name's avatar",
         "<user avatar=http://h/k.gif name=Ann+Lee >",
         "cache get:http://h/k.gif fetch=1 keep=1|main avatar:Ann Lee 4|"},
        {"picture on its way: its place is marked", "<USER AVATAR=http://h/new.gif name=Ann >",
         "cache get:http://h/new.gif fetch=1 keep=1|main place:1|"},
        {"a second avatar in one unit is dropped without a request",
         "<user avatar=http://h/k.gif name=A ><user avatar=http://h/k.gif name=B >",
         "cache get:http://h/k.gif fetch=1 keep=1|main avatar:A 4|"},
        {"avatars switched off: no request", "<user avatar=http://h/k.gif name=Ann >", "", "\r\n",
         [](Harness& h) { h.ctx.m_bShowAvatars = false; }},
        {"no blank after the address: shown as text", "<user avatar=http://h/k.gif>", "",
         "<user avatar=http://h/k.gif>\r\n"},
        {"no name: dropped", "<user avatar=http://h/k.gif nom=Ann >", ""},
        {"watched speaker: the marker, then the avatar", "<user avatar=http://h/k.gif name=Ann >",
         "cache get:http://h/k.gif fetch=1 keep=1|main picture:9@-17|main avatar:Ann 4|", "\r\n",
         [](Harness& h) { h.proto.AddWatch("Ann"); }},
    };
    for (const Case& c : cases) {
        Harness h;
        FakeImageCache cache(&h.rec);
        cache.kept["http://h/k.gif"] = Picture(4);
        h.ctx.m_pImageCache = &cache;
        if (c.setup)
            c.setup(h);
        h.rec.log.clear();
        h.Receive(c.stream + "\r\n");
        std::string log, text;
        for (const auto& l : h.rec.log) {
            if (l.starts_with("main text(1):"))
                text += l.substr(13);
            else if (!l.ends_with(" finish"))
                log += l + "|";
        }
        EXPECT_EQ(text, c.text) << c.what;
        EXPECT_EQ(log, c.log) << c.what;
    }
}

// A late picture goes to its marked place, past later text; one that never comes gives it up.
TEST(AvatarTag, LatePictureGoesWhereItsTagStood) {
    Harness h;
    FakeImageCache cache;
    h.ctx.m_pImageCache = &cache;
    const std::string say = "<say username=\"Ann+Lee\">hi\r\n";
    h.Receive("<user avatar=http://h/a.gif name=Ann+Lee >" + say +
              "<user avatar=http://h/b.gif name=Bob >" + say);
    ASSERT_EQ(cache.waiting.size(), 2u);
    h.rec.log.clear();
    cache.waiting[0]->PictureArrived(Picture(6));
    cache.waiting[1]->PictureArrived(nullptr);
    EXPECT_EQ(h.rec.log, (std::vector<std::string>{"main avatar@1:Ann Lee 6", "main finish",
                                                   "main forget:2"}));
}
