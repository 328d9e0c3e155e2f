#include "commandreader.h"

#include <gtest/gtest.h>

using namespace kivra::server;

namespace {

std::vector<ReaderEvent> FeedAll(CCommandReader& r, const std::string& bytes) {
    std::vector<ReaderEvent> out;
    r.Feed(bytes.data(), bytes.size(), out);
    return out;
}

// Feeding byte by byte must give the same events as feeding everything at once.
std::vector<ReaderEvent> FeedBytewise(const std::string& bytes) {
    CCommandReader r;
    std::vector<ReaderEvent> out;
    for (char c : bytes)
        r.Feed(&c, 1, out);
    return out;
}

const std::string kLogin = std::string("\xFF\xFE\x01\xFF\xFD\x03\xFF\xFC\x18", 9) +
                           "\x01<begin>\n<username> Ann\n<password> pw\n<clientversion> "
                           "5.0.0.203\n<room> Garden\n<end>\n";

} // namespace

TEST(CommandReader, LoginAfterTelnetNegotiationWholeAndSplit) {
    CCommandReader whole;
    for (const auto& events : {FeedAll(whole, kLogin), FeedBytewise(kLogin)}) {
        ASSERT_EQ(events.size(), 1u);
        ASSERT_EQ(events[0].kind, ReaderEvent::Kind::Block);
        ASSERT_EQ(events[0].entries.size(), 4u);
        EXPECT_EQ(events[0].entries[0].keyword, "username");
        EXPECT_EQ(events[0].entries[0].value, "Ann");
        EXPECT_EQ(events[0].entries[3].keyword, "room");
        EXPECT_EQ(events[0].entries[3].value, "Garden");
    }
}

TEST(CommandReader, MixedLineEndsAndEmptyKeywordValues) {
    CCommandReader r;
    const auto ev = FeedAll(r, "say hi\r\nusers\n\x01<begin>\n<userprefs>\n<end>\n"
                               "\x01<BEGIN>\r\n<description> a%0db\r\n<END>\r\n");
    ASSERT_EQ(ev.size(), 4u);
    EXPECT_EQ(ev[0].text, "say hi");
    EXPECT_EQ(ev[1].text, "users");
    ASSERT_EQ(ev[2].entries.size(), 1u);
    EXPECT_EQ(ev[2].entries[0].keyword, "userprefs");
    EXPECT_EQ(ev[2].entries[0].value, "");
    EXPECT_EQ(ev[3].entries[0].value, "a%0db");
    EXPECT_FALSE(r.Failed());
}

TEST(CommandReader, TelnetInsideTextAndSubnegotiationAreConsumed) {
    CCommandReader r;
    const auto ev = FeedAll(r, std::string("sa\xFF\xFB\x01y x\xFF\xFA\x18\x01\xFF\xF0\n", 15));
    ASSERT_EQ(ev.size(), 1u);
    EXPECT_EQ(ev[0].text, "say x");
}

TEST(CommandReader, LimitsAndJunkFailTheConnection) {
    struct Case {
        const char* what;
        std::string bytes;
    };
    const Case cases[] = {
        {"overlong line", std::string(CCommandReader::kMaxLine + 1, 'a')},
        {"line that never ends", std::string(100000, 'x')},
        {"NUL byte", std::string("say \0x\n", 7)},
        {"escape injection", "say \x1b[31mred\n"},
        {"block without begin", "\x01<whois> Ann\n<end>\n"},
        {"block line without keyword", "\x01<begin>\nhello\n<end>\n"},
        {"unclosed keyword", "\x01<begin>\n<whois Ann\n<end>\n"},
        {"endless block", "\x01<begin>\n" +
                              [] {
                                  std::string s;
                                  for (int i = 0; i < 100; ++i)
                                      s += "<x> y\n";
                                  return s;
                              }()},
        {"CR inside a line", "say a\rb\n"},
    };
    for (const auto& c : cases) {
        // Fed in pieces: what the reader holds back stays bounded on the way to the failure.
        CCommandReader r;
        std::vector<ReaderEvent> ev;
        for (std::size_t at = 0; at < c.bytes.size() && !r.Failed(); at += 1000) {
            r.Feed(c.bytes.data() + at, std::min<std::size_t>(1000, c.bytes.size() - at), ev);
            EXPECT_LE(r.Pending(), CCommandReader::kMaxLine) << c.what;
        }
        ASSERT_FALSE(ev.empty()) << c.what;
        EXPECT_EQ(ev.back().kind, ReaderEvent::Kind::Error) << c.what;
        EXPECT_TRUE(r.Failed()) << c.what;
        // Nothing more is accepted after a failure.
        EXPECT_TRUE(FeedAll(r, "say ok\n").empty()) << c.what;
    }
}
