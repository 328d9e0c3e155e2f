// The tunnel's codecs: Base64 and form escaping, and the answer parsers, byte for byte.

#include "base64.h"
#include "tunnelanswer.h"

#include <climits>
#include <gtest/gtest.h>

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
    EXPECT_EQ(FormEscape(" %#&=+\x7f/\x80"
                         "Az"),
              "+%25%23%26%3D%2B%7F/\x80"
              "Az");
    std::string all;
    for (int i = 0; i < 600; ++i) {
        EXPECT_EQ(Base64Decode(Base64Encode(all)), all) << i;
        all += static_cast<char>(i * 37 + 11);
    }
}

TEST(TunnelCodec, Base64DecodingFailsOnWhatItCannotRead) {
    const std::pair<const char*, std::optional<std::string>> cases[] = {
        {"=", std::nullopt},      {"A", std::nullopt},        {"Zm9", std::nullopt},
        {"Zm9v\r", std::nullopt}, {"Zm9v!A==", std::nullopt}, {"A===", std::nullopt},
        {"Zm 9v", std::nullopt},  {"Zg==junk", "f"},          {"Zm=v", "f"},
        {"Zm8=Zm9v", "fo"},       {"Zm9vYg", std::nullopt},
    };
    for (const auto& [text, bytes] : cases)
        EXPECT_EQ(Base64Decode(text), bytes) << text;
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

    const std::pair<const char*, TunnelStatus> write[] = {
        {"junk\nStatus=CONNDOWN\nOther=1\n", TUNNEL_CONNDOWN},
        {"", TUNNEL_UNKNOWN},
        {"Status=OK\nStatus=CONNFAILED\n", TUNNEL_CONNFAILED},
    };
    for (const auto& [body, status] : write)
        EXPECT_EQ(ParseWriteAnswer(body), status) << body;
    const std::pair<const char*, TunnelStatus> close[] = {
        {"Status=OK\nNonce=1\n", TUNNEL_UNKNOWN},
        {"Status=OK\n\nNonce=1\n", TUNNEL_OK},
        {"Status=CONNDOWN\nStatus=OK\n", TUNNEL_OK},
        {"Nonce=1\nStatus=OK\n", TUNNEL_UNKNOWN},
    };
    for (const auto& [body, status] : close)
        EXPECT_EQ(ParseCloseAnswer(body), status) << body;
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
