// Message kinds, colour and effect names.
#include "useroptions.h"

#include <gtest/gtest.h>

using U = CUserOptions;

TEST(UserOptions, DefaultStylesAsTheDisplayCommandsSendThem) {
    const U o;
    const char* const defaults[U::KIND_COUNT] = {
        "username red bold ",        "tell-message magenta ",    "say-message blue ",
        "emote-message magenta ",    "shout-message blue ",      "usage black ",
        "room-description black ",   "room-exits black ",        "enter-message black bold ",
        "leave-message black bold ", "info-message black bold ", "attention black bold "};
    for (int k = 0; k < U::KIND_COUNT; ++k)
        EXPECT_EQ(o.DisplayCommand(k), std::string("DISPLAY ") + defaults[k] + "\n");
    EXPECT_EQ(o.DisplayCommand(U::KIND_COUNT), "");
    EXPECT_EQ(U::FindKind("Room-Exits"), U::KIND_ROOM_EXITS);
    EXPECT_EQ(U::FindKind("room"), -1);
}

TEST(UserOptions, ColourReplacesTheWordEffectsAccumulateAsSentBack) {
    std::uint32_t w = 0;
    U::AddEffect(w, "bold");
    U::SetColor(w, "Cyan");
    EXPECT_EQ(w, U::COLOR_CYAN);
    U::AddEffect(w, "UNDERLINE");
    U::AddEffect(w, "underline");
    U::AddEffect(w, "italic");
    EXPECT_EQ(w, U::COLOR_CYAN | U::STYLE_UNDERLINE);
    U::SetColor(w, "NotSet");
    EXPECT_EQ(w, U::COLOR_BLACK);
    U::SetColor(w, "mauve");
    EXPECT_EQ(w, U::COLOR_BLACK);
    EXPECT_EQ(std::string(U::ColorName(1)) + U::ColorName(8 | U::STYLE_BOLD) + U::ColorName(0) +
                  U::ColorName(9),
              "whitecyan");
    // Both effects as sent back are the page's own test.
    U o;
    U::SetColorCode(o.m_dwStyle[U::KIND_SHOUT_MESSAGE], 0);
    EXPECT_EQ(o.DisplayCommand(U::KIND_SHOUT_MESSAGE), "DISPLAY shout-message  \n");
}
