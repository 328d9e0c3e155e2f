#include "tunnelcodec.h"

#include <gtest/gtest.h>

using namespace kivra::server;

TEST(TunnelCodec, Base64RoundTripsEveryLengthAndByte) {
    std::string all;
    for (int i = 0; i < 256; ++i)
        all.push_back(static_cast<char>(i));
    for (std::size_t n = 0; n <= all.size(); n += 1) {
        const std::string in = all.substr(0, n);
        const std::string enc = Base64Encode(in);
        EXPECT_EQ(enc.size() % 4, 0u);
        const auto dec = Base64Decode(enc);
        ASSERT_TRUE(dec.has_value()) << n;
        EXPECT_EQ(*dec, in);
    }
    EXPECT_EQ(Base64Encode("a"), "YQ==");
    EXPECT_EQ(Base64Encode("ab"), "YWI=");
    EXPECT_EQ(Base64Encode("\xfb\xff"), "+/8=");
}

TEST(TunnelCodec, Base64RejectsWhatTheClientWouldNotSend) {
    EXPECT_FALSE(Base64Decode("YWJ"));      // length not a multiple of four
    EXPECT_FALSE(Base64Decode("YW=j"));     // data after padding
    EXPECT_FALSE(Base64Decode("YQ==YQ==")); // padding in the middle
    EXPECT_FALSE(Base64Decode("Y Q="));     // blank, as an unescaped "+" would become
}

TEST(TunnelCodec, FormDecodingMatchesTheClientsEscaping) {
    // The client escapes "+" as %2B and "=" as %3D and leaves "/" alone.
    const auto form = FormDecode("Command=Write&ConnectionID=12&Nonce=77&Data=%2B/8%3D&x&bad=%zz");
    EXPECT_EQ(FormValue(form, "command").value(), "Write");
    EXPECT_EQ(FormValue(form, "DATA").value(), "+/8=");
    EXPECT_EQ(FormValue(form, "x").value(), "");
    EXPECT_EQ(FormValue(form, "bad").value(), "%zz");
    EXPECT_FALSE(FormValue(form, "Port"));
    EXPECT_EQ(FormValue(FormDecode("a=b+c"), "a").value(), "b c");
}

TEST(TunnelCodec, NumbersMustBeWholeAndFit) {
    EXPECT_EQ(ParseNumber("12").value(), 12);
    EXPECT_EQ(ParseNumber("-5").value(), -5);
    EXPECT_EQ(ParseNumber("2147483647").value(), 2147483647L);
    for (const char* bad : {"2147483648", "12x", "", "-", "99999999999999999999"})
        EXPECT_FALSE(ParseNumber(bad)) << bad;
}
