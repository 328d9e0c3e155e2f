// The message layer: sent and posted messages, timers, and a window that goes away.

#include "messagewindow.h"
#include "pump.h"

#include <QCoreApplication>
#include <QTest>
#include <gtest/gtest.h>
#include <string>
#include <vector>

using kivra::platform::MessageWindow;

namespace {

class Recorder : public MessageWindow {
public:
    std::vector<std::string> log;
    std::map<unsigned, int> ticks;
    unsigned killAfter = 0; // a timer id that kills itself on its third tick

protected:
    long WindowProc(unsigned message, unsigned long wParam, long lParam) override {
        log.push_back(std::to_string(message) + ":" + std::to_string(wParam) + ":" +
                      std::to_string(lParam));
        if (message == 1125 && lParam == 2) {
            // A handler may post and send in turn.
            PostMessage(1126, 0, 0);
            SendMessage(1127, 0, 0);
        }
        return static_cast<long>(message) + lParam;
    }
    void OnTimer(unsigned id) override {
        if (++ticks[id] == 3 && id == killAfter)
            KillTimer(id);
    }
};

} // namespace

TEST(MessageWindow, SendPostAndTimersAndNothingForAWindowThatWent) {
    Recorder w;
    EXPECT_EQ(w.SendMessage(1128, 7, 3), 1131);
    EXPECT_EQ(w.log, std::vector<std::string>{"1128:7:3"});
    w.log.clear();

    w.PostMessage(1125, 0, 2);
    w.PostMessage(1125, 1, 1);
    EXPECT_TRUE(w.log.empty());
    QCoreApplication::processEvents();
    QCoreApplication::processEvents();
    // The message sent from inside the first handler runs inside it; the one it posted waits
    // behind what was already queued.
    EXPECT_EQ(w.log, (std::vector<std::string>{"1125:0:2", "1127:0:0", "1125:1:1", "1126:0:0"}));

    // Nothing queued reaches a deleted window (the sanitizer build catches a stray delivery).
    auto* gone = new Recorder;
    gone->PostMessage(1125, 0, 1);
    gone->SetTimer(1235, 1);
    delete gone;
    PumpFor(30);

    // Timers repeat by id, stop themselves from their handler, and restart with a new period.
    w.killAfter = 1234;
    EXPECT_TRUE(w.SetTimer(1234, 5));
    EXPECT_TRUE(w.SetTimer(1236, 10));
    EXPECT_FALSE(w.SetTimer(1129, -1));
    EXPECT_TRUE(PumpUntil([&] { return w.ticks[1236] >= 4; }));
    // 1234 killed itself on its third tick.
    EXPECT_EQ(w.ticks[1234], 3);
    EXPECT_FALSE(w.HasTimer(1234));

    // Restarting with a long period replaces the short one.
    EXPECT_TRUE(w.SetTimer(1236, 100000));
    const int before = w.ticks[1236];
    PumpFor(50);
    EXPECT_EQ(w.ticks[1236], before);
}
