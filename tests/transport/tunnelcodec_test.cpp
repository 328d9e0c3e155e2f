// The tunnel's codecs: Base64 and form escaping, and the answer parsers, byte for byte.

#include "base64.h"
#include "tunnelanswer.h"

#include <climits>
#include <gtest/gtest.h>

// Round trips of every length and byte are the Base64 fuzz target's.
TEST(TunnelCodec, Base64AndFormEscaping) {
    const std::pair<std::string, std::string> encoded[] = {
        {"", ""},
        {"f", "Zg=="},
        {"fo", "Zm8="},
        {"foo", "Zm9v"},
        {"foob", "Zm9vYg=="},
        {"foobar", "Zm9vYmFy"},
        {"\xfb\xff", "+/8="},
    };
    for (const auto& [bytes, text] : encoded) {
        EXPECT_EQ(Base64Encode(bytes), text);
        EXPECT_EQ(Base64Decode(text), bytes);
    }
    // What cannot be read fails; a whole group ends the text at its padding.
    const std::pair<const char*, std::optional<std::string>> decoded[] = {
        {"=", std::nullopt},      {"A", std::nullopt},        {"Zm9", std::nullopt},
        {"Zm9v\r", std::nullopt}, {"Zm9v!A==", std::nullopt}, {"A===", std::nullopt},
        {"Zm 9v", std::nullopt},  {"Zg==junk", "f"},          {"Zm=v", "f"},
        {"Zm8=Zm9v", "fo"},       {"Zm9vYg", std::nullopt},
    };
    for (const auto& [text, bytes] : decoded)
        EXPECT_EQ(Base64Decode(text), bytes) << text;
    EXPECT_EQ(FormEscape(" %#&=+\x7f/\x80"
                         "Az"),
              "+%25%23%26%3D%2B%7F/\x80"
              "Az");
}

TEST(TunnelCodec, NumbersAndStatusWords) {
    EXPECT_EQ(LeadingNumber(" \t12abc"), 12);
    EXPECT_EQ(LeadingNumber("x1"), 0);
    EXPECT_EQ(LeadingNumber("-8"), -8);
    EXPECT_EQ(LeadingNumber("99999999999999999999999"), INT_MAX);
    EXPECT_EQ(LeadingNumber("-99999999999999999999999"), INT_MIN);
    EXPECT_EQ(TunnelStatusOf("connDown"), TUNNEL_CONNDOWN);
    EXPECT_EQ(TunnelStatusOf("OK "), TUNNEL_UNKNOWN);
}

TEST(TunnelCodec, OpenWriteAndCloseAnswersAreReadLineByLine) {
    // The open answers' words and numbers, and the write body, are the HTTP tunnel's tests.
    EXPECT_FALSE(ParseOpenAnswer("Status=OK\n").connectionId.has_value());

    const auto write = ParseWriteAnswer, close = ParseCloseAnswer;
    const std::tuple<TunnelStatus (*)(std::string_view), const char*, TunnelStatus> cases[] = {
        {write, "junk\nStatus=CONNDOWN\nOther=1\n", TUNNEL_CONNDOWN},
        {write, "", TUNNEL_UNKNOWN},
        {write, "Status=OK\nStatus=CONNFAILED\n", TUNNEL_CONNFAILED},
        {close, "Status=OK\nNonce=1\n", TUNNEL_UNKNOWN},
        {close, "Status=OK\n\nNonce=1\n", TUNNEL_OK},
        {close, "Status=CONNDOWN\nStatus=OK\n", TUNNEL_OK},
        {close, "Nonce=1\nStatus=OK\n", TUNNEL_UNKNOWN},
    };
    for (const auto& [parse, body, status] : cases)
        EXPECT_EQ(parse(body), status) << (parse == write ? "write: " : "close: ") << body;
}

TEST(TunnelCodec, ReadAnswersAreOneRecordPerChunkWithALineFeed) {
    struct Case {
        std::string body;
        TunnelStatus status;
        bool hasData;
        std::optional<std::string> data;
    };
    const std::string longData = Base64Encode(std::string(5000, 'q'));
    const Case cases[] = {
        {"Status=OK\n", TUNNEL_OK, false, std::nullopt},
        {"Status=OK\r\n", TUNNEL_UNKNOWN, false, std::nullopt},
        {"Data=aGk=\r\n", TUNNEL_UNKNOWN, true, "hi"},
        {"data=aGk", TUNNEL_UNKNOWN, false, std::nullopt}, // no line feed: no record
        {"Data=aGk\n", TUNNEL_UNKNOWN, true, std::nullopt},
        {"Data=" + longData + "\n", TUNNEL_UNKNOWN, true, std::string(5000, 'q')},
        // Everything behind the first line feed of the chunk belongs to the first record.
        {"Status=OK\nData=aGk=\n", TUNNEL_UNKNOWN, false, std::nullopt},
        {"Data=aGk=\nStatus=OK\n", TUNNEL_UNKNOWN, true, "hi"}, // text behind "=" is ignored
        {"no equals\n", TUNNEL_UNKNOWN, false, std::nullopt},
        // A record in a later chunk is a record of its own; a later Data replaces an earlier.
        {"Data=aGk=\n" + std::string(4085, ' ') + "Data=eW8=\n", TUNNEL_UNKNOWN, true, "yo"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.body.substr(0, 40));
        const ReadAnswer a = ParseReadAnswer(c.body);
        EXPECT_EQ(a.status, c.status);
        EXPECT_EQ(a.hasData, c.hasData);
        EXPECT_EQ(a.data, c.data);
    }
}
