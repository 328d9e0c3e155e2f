#include "controlfixture.h"
#include "panellayout.h"

#include <gtest/gtest.h>

using namespace kivra::control;

namespace {
struct Expected {
    bool emotions;
    bool names;
    QRect userList;
    QRect emotionList;
    int inputRight; // exclusive right edge
    int buttons[3];
    int frameRight;
};

// The client rectangle 0,0 - 800,500: R = 800, B = 500.
const Expected kCases[] = {
    {true, true, QRect(645, 29, 150, 466), QRect(540, 29, 100, 466), 408, {413, 466, 503}, 535},
    {false, true, QRect(645, 29, 150, 466), QRect(), 513, {518, 571, 608}, 640},
    {true, false, QRect(), QRect(715, 29, 80, 466), 583, {588, 641, 678}, 710},
    {false, false, QRect(), QRect(), 668, {673, 726, 763}, 795},
};
} // namespace

TEST(PanelLayout, FourSwitchCombinations) {
    for (const Expected& e : kCases) {
        SCOPED_TRACE(testing::Message() << "emotions " << e.emotions << " names " << e.names);
        const PanelLayout l = ComputePanelLayout(QRect(0, 0, 800, 500), 24, e.emotions, e.names);
        EXPECT_EQ(l.userList, e.userList);
        EXPECT_EQ(l.emotionList, e.emotionList);
        EXPECT_EQ(l.inputLine, QRect(5, 465, e.inputRight - 5, 30));
        EXPECT_EQ(l.smallButtons[0], QRect(e.buttons[0], 465, 48, 30));
        EXPECT_EQ(l.smallButtons[1], QRect(e.buttons[1], 465, 32, 30));
        EXPECT_EQ(l.smallButtons[2], QRect(e.buttons[2], 465, 32, 30));
        EXPECT_EQ(l.outputFrame, QRect(5, 29, e.frameRight - 5, 460 - 29));
        EXPECT_EQ(l.outputView, QRect(7, 31, e.frameRight - 9, 460 - 33));
        // The same whatever the switches.
        EXPECT_EQ(l.background, QRect(0, 0, 800, 500));
        EXPECT_EQ(l.progress, QRect(344, 5, 451, 15));
        EXPECT_EQ(l.ticker, QRect(344, 2, 451, 20));
        for (int i = 0; i < 6; ++i)
            EXPECT_EQ(l.toolButtons[i], QRect(24 * i, 0, 24, 24));
    }
}

TEST(PanelLayout, PanelPlacesItsItemsAndFollowsResizes) {
    for (const Expected& e : kCases) {
        ControlFixture f;
        WriteProfileFlag(f.settings, "Main", "Show Emotion List", e.emotions);
        WriteProfileFlag(f.settings, "Main", "Show Name List", e.names);
        CChatPanel* panel =
            f.Open({{"SERVER", "127.0.0.1"}, {"PORT", ClosedPort()}, {"USERNAME", "Ann"}});
        ASSERT_NE(panel, nullptr);
        ASSERT_EQ(panel->geometry(), QRect(0, 0, 800, 500));
        EXPECT_EQ(panel->Item(IDC_USERLIST)->isVisibleTo(panel), e.names);
        EXPECT_EQ(panel->Item(IDC_EMOTIONLIST)->isVisibleTo(panel), e.emotions);
        if (e.names) {
            EXPECT_EQ(panel->Item(IDC_USERLIST)->geometry(), e.userList);
        }
        if (e.emotions) {
            EXPECT_EQ(panel->Item(IDC_EMOTIONLIST)->geometry(), e.emotionList);
        }
        EXPECT_EQ(panel->Item(IDC_INPUTLINE)->geometry(), QRect(5, 465, e.inputRight - 5, 30));
        EXPECT_EQ(panel->Item(IDC_OUTPUTVIEW)->geometry(),
                  QRect(7, 31, e.frameRight - 9, 460 - 33));
        EXPECT_EQ(panel->Item(IDC_THINK)->geometry(), QRect(e.buttons[2], 465, 32, 30));
        EXPECT_EQ(panel->Item(IDC_HELP)->geometry(), QRect(120, 0, 24, 24));

        // The control's size reaches the panel, and the panel lays out again.
        f.controls.back()->Window()->resize(600, 400);
        EXPECT_EQ(panel->geometry(), QRect(0, 0, 600, 400));
        EXPECT_EQ(panel->Item(IDC_PROGRESS)->geometry(), QRect(344, 5, 251, 15));
        EXPECT_EQ(panel->Item(IDC_INPUTLINE)->geometry().bottom(), 394);
    }
}
