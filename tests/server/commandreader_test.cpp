#include "commandreader.h"

#include <gtest/gtest.h>

using namespace kivra::server;

namespace {

std::vector<ReaderEvent> FeedAll(CCommandReader& r, const std::string& bytes) {
    std::vector<ReaderEvent> out;
    r.Feed(bytes.data(), bytes.size(), out);
    return out;
}

// Each event as "line TEXT" or "block <keyword> value...".
std::vector<std::string> Described(const std::vector<ReaderEvent>& events) {
    std::vector<std::string> out;
    for (const ReaderEvent& e : events) {
        std::string d = e.kind == ReaderEvent::Kind::Line ? "line " + e.text : "block";
        for (const auto& entry : e.entries)
            d += " <" + entry.keyword + "> " + entry.value;
        out.push_back(e.kind == ReaderEvent::Kind::Error ? "error " + e.text : d);
    }
    return out;
}

} // namespace

// Whole or a byte at a time, the same events.
TEST(CommandReader, LinesBlocksAndTelnetWholeAndSplit) {
    const std::pair<std::string, std::vector<std::string>> cases[] = {
        // Mixed line ends, and keywords without a value (the login block with its telnet bytes is
        // every server test's first).
        {"say hi\r\nusers\n\x01<begin>\n<userprefs>\n<end>\n"
         "\x01<BEGIN>\r\n<description> a%0db\r\n<END>\r\n",
         {"line say hi", "line users", "block <userprefs> ", "block <description> a%0db"}},
        // Telnet inside text and a subnegotiation are consumed.
        {std::string("sa\xFF\xFB\x01y x\xFF\xFA\x18\x01\xFF\xF0\n", 15), {"line say x"}},
    };
    for (const auto& [bytes, expected] : cases) {
        CCommandReader whole, split;
        EXPECT_EQ(Described(FeedAll(whole, bytes)), expected);
        std::vector<ReaderEvent> events;
        for (char c : bytes)
            split.Feed(&c, 1, events);
        EXPECT_EQ(Described(events), expected);
        EXPECT_FALSE(whole.Failed() || split.Failed()) << expected[0];
    }
}

TEST(CommandReader, LimitsAndJunkFailTheConnection) {
    std::string endless = "\x01<begin>\n";
    for (int i = 0; i < 100; ++i)
        endless += "<x> y\n";
    const std::pair<const char*, std::string> cases[] = {
        {"overlong line", std::string(CCommandReader::kMaxLine + 1, 'a')},
        {"line that never ends", std::string(100000, 'x')},
        {"NUL byte", std::string("say \0x\n", 7)},
        {"escape injection", "say \x1b[31mred\n"},
        {"block without begin", "\x01<whois> Ann\n<end>\n"},
        {"block line without keyword", "\x01<begin>\nhello\n<end>\n"},
        {"unclosed keyword", "\x01<begin>\n<whois Ann\n<end>\n"},
        {"endless block", endless},
        {"CR inside a line", "say a\rb\n"},
    };
    for (const auto& [what, bytes] : cases) {
        // Fed in pieces: what the reader holds back stays bounded on the way to the failure.
        CCommandReader r;
        std::vector<ReaderEvent> ev;
        for (std::size_t at = 0; at < bytes.size() && !r.Failed(); at += 1000) {
            r.Feed(bytes.data() + at, std::min<std::size_t>(1000, bytes.size() - at), ev);
            EXPECT_LE(r.Pending(), CCommandReader::kMaxLine) << what;
        }
        ASSERT_FALSE(ev.empty()) << what;
        EXPECT_EQ(ev.back().kind, ReaderEvent::Kind::Error) << what;
        EXPECT_TRUE(r.Failed()) << what;
        // Nothing more is accepted after a failure.
        EXPECT_TRUE(FeedAll(r, "say ok\n").empty()) << what;
    }
}
