// A user's server-side options outlive the login for as long as the server runs.
#include "serverprocess.h"

#include <gtest/gtest.h>

TEST(KeptOptions, OptionsComeBackWithTheNextLoginAndOnlyForThatUser) {
    ServerProcess server;
    ASSERT_TRUE(server.Ok());
    {
        auto ann = LoggedIn(server, "Ann Lee");
        ann->Send("AUTOGOTO no\nEMAIL ann@example.org\n" + Request("description", "x%0dy") +
                  "DISPLAY say-message cyan underline\nquit\n");
        ASSERT_TRUE(ann->WaitClosed());
    }
    auto again = LoggedIn(server, "ann+lee");
    auto lines = again->Ask("userprefs", "", "<gender>");
    for (const char* want :
         {"allowgoto|no", "email|ann@example.org", "description|x", "description|y",
          "say-message color|cyan", "say-message effect|underline"})
        EXPECT_TRUE(Has(lines, want)) << want;
    auto bob = LoggedIn(server, "Bob");
    lines = bob->Ask("userprefs", "", "<gender>");
    EXPECT_TRUE(Has(lines, "allowgoto|yes"));
    EXPECT_FALSE(Has(lines, "email|ann@example.org"));
}
