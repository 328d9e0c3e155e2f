// The wire's Windows-1252 text and Qt strings (the euro, quotes and accents: input line, session).

#include "codepage.h"

#include <gtest/gtest.h>

using namespace kivra::platform;

TEST(Codepage, HighRangeRoundTripsEveryByteAndOthersBecomeQuestionMarks) {
    struct Case {
        const char* bytes;
        const char16_t* text;
    } cases[] = {
        {"a\x96z", u"a\u2013z"},
        {"\x85", u"\u2026"},
        {"\x9F\xFF", u"\u0178\u00FF"},
        {"\x81\x8D\x8F\x90\x9D", u"\u0081\u008D\u008F\u0090\u009D"},
    };
    for (const auto& c : cases) {
        const QString text = FromWire(c.bytes);
        EXPECT_EQ(text, QString::fromUtf16(c.text)) << c.bytes;
        EXPECT_EQ(ToWire(text), QByteArray(c.bytes)) << c.bytes;
    }
    std::string all;
    for (int b = 0; b < 256; ++b)
        all.push_back(char(b));
    EXPECT_EQ(ToWireString(FromWire(all)), all);
    // Characters outside the code page become one question mark each.
    EXPECT_EQ(ToWire(QString::fromUtf16(u"\u20AC and \u0416 and \U0001F600!")),
              QByteArray("\x80 and ? and ?!"));
    EXPECT_EQ(ToWire(QString()), QByteArray());
}
