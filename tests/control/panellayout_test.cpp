#include "controlfixture.h"
#include "panellayout.h"

#include <gtest/gtest.h>

using namespace kivra::control;

// The panel in its 800 x 500 window (R = 800, B = 500) for the four switch combinations, and
// after the control is resized.
TEST(PanelLayout, PanelPlacesItsItemsForEachSwitchAndFollowsResizes) {
    struct Expected {
        bool emotions, names;
        QRect userList, emotionList;
        int inputRight; // exclusive right edge
        int buttons[3];
        int frameRight;
    };
    const Expected cases[] = {
        {true, true, QRect(645, 29, 150, 466), QRect(540, 29, 100, 466), 408, {413, 466, 503}, 535},
        {false, true, QRect(645, 29, 150, 466), QRect(), 513, {518, 571, 608}, 640},
        {true, false, QRect(), QRect(715, 29, 80, 466), 583, {588, 641, 678}, 710},
        {false, false, QRect(), QRect(), 668, {673, 726, 763}, 795},
    };
    for (const Expected& e : cases) {
        SCOPED_TRACE(testing::Message() << "emotions " << e.emotions << " names " << e.names);
        ControlFixture f;
        WriteProfileFlag(f.settings, "Main", "Show Emotion List", e.emotions);
        WriteProfileFlag(f.settings, "Main", "Show Name List", e.names);
        CChatPanel* panel = f.Open();
        ASSERT_NE(panel, nullptr);
        ASSERT_EQ(panel->geometry(), QRect(0, 0, 800, 500));
        const auto at = [panel](int id) { return panel->Item(id)->geometry(); };
        EXPECT_EQ(panel->Item(IDC_USERLIST)->isVisibleTo(panel), e.names);
        EXPECT_EQ(panel->Item(IDC_EMOTIONLIST)->isVisibleTo(panel), e.emotions);
        if (e.names) {
            EXPECT_EQ(at(IDC_USERLIST), e.userList);
        }
        if (e.emotions) {
            EXPECT_EQ(at(IDC_EMOTIONLIST), e.emotionList);
        }
        EXPECT_EQ(at(IDC_INPUTLINE), QRect(5, 465, e.inputRight - 5, 30));
        for (int i = 0; i < 3; ++i)
            EXPECT_EQ(at(kSmallButtonIds[i]), QRect(e.buttons[i], 465, i == 0 ? 48 : 32, 30));
        EXPECT_EQ(at(IDC_OUTPUTVIEW), QRect(7, 31, e.frameRight - 9, 460 - 33));
        // The same whatever the switches.
        EXPECT_EQ(at(IDC_BACKGROUND), QRect(0, 0, 800, 500));
        EXPECT_EQ(at(IDC_PROGRESS), QRect(344, 5, 451, 15));
        for (int i = 0; i < 6; ++i)
            EXPECT_EQ(at(kToolButtonIds[i]), QRect(24 * i, 0, 24, 24));
        const PanelLayout l = ComputePanelLayout(QRect(0, 0, 800, 500), 24, e.emotions, e.names);
        EXPECT_EQ(l.outputFrame, QRect(5, 29, e.frameRight - 5, 460 - 29));

        // The control's size reaches the panel, and the panel lays out again.
        f.controls.back()->Window()->resize(600, 400);
        EXPECT_EQ(panel->geometry(), QRect(0, 0, 600, 400));
        EXPECT_EQ(at(IDC_PROGRESS), QRect(344, 5, 251, 15));
        EXPECT_EQ(at(IDC_INPUTLINE).bottom(), 394);
    }
}
