// What the preferences pages' edits send back to the server, byte for byte.
#include "fakes.h"

#include <gtest/gtest.h>

using U = CUserOptions;

namespace {

struct SendCase {
    const char* what;
    int page;
    void (*edit)(U&);
    std::vector<std::string> writes;
};

const SendCase kCases[] = {
    {"echo off alone",
     1,
     [](U& o) { o.m_nEcho = 0, o.m_dwChangeMask = U::CHANGED_ECHO; },
     {"ECHO OFF\n"}},
    {"follow 0 is ask, page order, other page's bits ignored",
     1,
     [](U& o) {
         o.m_nAllowFollow = 0, o.m_nAllowGoto = 7, o.m_nBriefMode = 1, o.m_nEcho = 1;
         o.m_dwChangeMask = 0x0F | U::CHANGED_EMAIL;
     },
     {"AUTOFOLLOW ask\n", "AUTOGOTO \n", "BRIEF ON\n", "ECHO ON\n"}},
    {"two description lines, address after it, no line breaks inside",
     2,
     [](U& o) {
         o.m_description.Append("first");
         o.m_description.Append("second");
         std::snprintf(o.m_szEmail, sizeof o.m_szEmail, "a@b\r\nquit");
         o.m_dwChangeMask =
             U::CHANGED_ADDRESS | U::CHANGED_DESCRIPTION | U::CHANGED_EMAIL | U::CHANGED_GENDER;
     },
     {"EMAIL a@b  quit\n", "\x01<begin>\n<description> first%0dsecond\n<end>\n",
      "\x01<begin>\n<address> \n<end>\n"}},
    {"say blue with both effects, kinds in sending order",
     3,
     [](U& o) {
         o.m_dwStyle[U::KIND_SAY_MESSAGE] = U::COLOR_BLUE | U::STYLE_BOLD | U::STYLE_UNDERLINE;
         o.m_dwChangeMask = U::CHANGED_SAY | U::CHANGED_ENTER | U::CHANGED_LEAVE;
     },
     {"DISPLAY enter-message black bold \n", "DISPLAY say-message blue bold underline\n",
      "DISPLAY leave-message black bold \n"}},
    {"nothing changed", 1, [](U&) {}, {}},
    {"no such page", 4, [](U& o) { o.m_dwChangeMask = ~0u; }, {}},
};

} // namespace

TEST(SendChanges, EachPageSendsItsChangedValuesInOrder) {
    for (const SendCase& c : kCases) {
        SCOPED_TRACE(c.what);
        kivra_test::Harness h;
        U options(&h.ctx);
        c.edit(options);
        EXPECT_EQ(options.SendChanges(c.page), static_cast<int>(c.writes.size()));
        EXPECT_EQ(h.rec.writes, c.writes);
    }
}
