// The ticker on a fake clock: markup, states, pause, the one request, clicks, pictures, bounds.

#include "panefakes.h"
#include "tickerwnd.h"

#include <gtest/gtest.h>

namespace {

struct Pictures : IPictureSource {
    State answer = State::Failed;
    int asked = 0;
    State GetPicture(const std::string&, ChatPicture& p) override {
        ++asked;
        if (answer == State::Ready) {
            p.width = 40;
            p.height = 16;
            p.pixels.assign(40 * 16, 1);
        }
        return answer;
    }
};

struct TickerRig : ProtocolRig {
    std::int64_t now = 1000;
    Texts loaded;
    int focused = 0;
    CTickerWnd ticker{context};
    TickerRig() {
        context.m_pTicker = &ticker;
        ticker.resize(400, 20);
        ticker.m_clock = [this] { return now; };
        ticker.m_onLoaded = [this](const std::string& t) { loaded.push_back(t); };
        ticker.m_focusInput = [this] { ++focused; };
    }
    // Ticks until the state is `state`, at most 5000 ticks.
    void TickUntil(int state) {
        for (int n = 0; ticker.State() != state && n < 5000; ++n)
            ticker.Tick();
    }
};

} // namespace

TEST(TickerMessage, ReadsTheThreeTagsAndDropsTheRest) {
    const std::string sixty = [] {
        std::string t = "<A ";
        for (int i = 0; i < 60; ++i)
            t += "X" + std::to_string(i) + "=1 ";
        return t + "HREF=late>many";
    }();
    // What is read, as "TEXT|HREF|TARGET|SRC" and " pause SECONDS" when there is one.
    const std::pair<std::string, std::string> cases[] = {
        {"<A HREF=\"http://k.org/h\" TARGET=\"news\">Help</A> now",
         "Help now|http://k.org/h|news|"},
        {"<a href=k.org>x</a>", "x|k.org||"},
        {"<EFFECT PAUSE=3>3 online", "3 online||| pause 3"},
        {"<EFFECT PAUSE=abc>a", "a||| pause 0"},
        {"<EFFECT PAUSE=-5>a", "a||| pause 0"},
        {"<EFFECT PAUSE=99999999999999>a",
         "a||| pause " + std::to_string(TickerMessage::kMaxPauseSeconds)},
        {"<IMG SRC=\"http://k.org/n.gif\">", "|||http://k.org/n.gif"},
        {"<B>bold</B> <FONT COLOR=red>red", "bold red|||"},
        {"before <A HREF=x never closed", "before |||"},
        {sixty, "many|||"}, // the 51st attribute and later are not read
    };
    for (const auto& [in, read] : cases) {
        const TickerMessage m = TickerMessage::Parse(in);
        EXPECT_EQ(m.text + "|" + m.href + "|" + m.target + "|" + m.src +
                      (m.pause ? " pause " + std::to_string(m.pauseSeconds) : ""),
                  read)
            << in;
        EXPECT_TRUE(m.pause || m.pauseSeconds == 0) << in;
    }
    EXPECT_EQ(TickerMessage::Parse(std::string(5000, 'a')).text.size(), TickerMessage::kMaxChars);
}

// Load, scroll, a 3 s pause with the message centred, the next message, and the end of the list
// with exactly one request.
TEST(Ticker, RunsTheListPausesAtTheCentreAndAsksOnceForMore) {
    TickerRig rig;
    CTickerWnd& t = rig.ticker;
    EXPECT_EQ(t.Start(5, 1), 0) << "an empty list does not start";
    t.AddMessage("<EFFECT PAUSE=3>paused");
    t.AddMessage("second");
    ASSERT_EQ(t.Start(5, 0), 1);
    EXPECT_EQ(t.Step(), 1);
    EXPECT_EQ(t.State(), CTickerWnd::STATE_LOAD);
    t.Tick();
    EXPECT_EQ(t.State(), CTickerWnd::STATE_SCROLL);
    EXPECT_EQ(rig.loaded, Texts{"paused"});
    const int centre = (400 - t.MessageWidth()) / 2;
    while (t.DrawnX() != centre)
        t.Tick();
    for (int i = 0; i < 50; ++i) {
        rig.now += 59; // 2.95 s in all
        t.Tick();
        ASSERT_EQ(t.DrawnX(), centre) << "held at the centre";
    }
    rig.now += 50;
    t.Tick(); // 3 s have passed: the pause ends, and the next ticks move on
    t.Tick();
    t.Tick();
    EXPECT_EQ(t.DrawnX(), centre - 1);
    rig.TickUntil(CTickerWnd::STATE_NEXT);
    EXPECT_LE(t.DrawnX() + t.MessageWidth(), 0) << "the message has left the strip";
    t.Tick();
    EXPECT_EQ(t.State(), CTickerWnd::STATE_LOAD);
    EXPECT_EQ(t.Position(), 1u);
    rig.TickUntil(CTickerWnd::STATE_END);
    EXPECT_EQ(rig.rec.wire, "");
    t.Tick();
    EXPECT_EQ(t.State(), CTickerWnd::STATE_IDLE);
    EXPECT_EQ(t.MessageCount(), 0u);
    EXPECT_EQ(rig.rec.wire, CTickerWnd::kRequest);
    for (int i = 0; i < 100; ++i)
        t.Tick();
    EXPECT_EQ(rig.rec.wire, CTickerWnd::kRequest);
    EXPECT_EQ(rig.loaded, (Texts{"paused", "second"}));
}

TEST(Ticker, ClickOpensTheLinkInItsFrame) {
    // The message, then the frame and address a click opens (none when empty).
    const std::pair<const char*, std::string> cases[] = {
        {"<A HREF=\"WWW.Kivra.org/News\">n</A>", "kivranewframe http://www.kivra.org/News"},
        {"<A HREF=http://k.org TARGET=kivrahelpdisplay>h</A>", "kivrahelpdisplay http://k.org"},
        {"<A HREF=http://k.org TARGET=_marqeedisp>h</A>", "kivranewframe http://k.org"},
        {"<A HREF=\"javascript:alert(1)\">j</A>", ""},
        {"<A HREF=\" JavaScript:x\">j</A>", ""},
        {"no link", ""},
    };
    for (const auto& [message, opened] : cases) {
        TickerRig rig;
        rig.ticker.AddMessage(message);
        rig.ticker.Start(5, 1);
        rig.ticker.Tick();
        rig.ticker.Click();
        EXPECT_EQ(rig.focused, 1);
        EXPECT_EQ(rig.Panel("navigate:"), opened.empty() ? Texts{} : Texts{opened}) << message;
    }
}

// The timer runs only while the ticker has something to move, is shown and is not stopped.
TEST(Ticker, TimerRunsOnlyWhileShownAndStarted) {
    TickerRig rig;
    CTickerWnd& t = rig.ticker;
    t.show();
    EXPECT_FALSE(t.TimerRunning());
    t.AddMessage("one");
    t.Start(5, 1);
    EXPECT_TRUE(t.TimerRunning());
    t.hide();
    EXPECT_FALSE(t.TimerRunning());
    t.show();
    EXPECT_TRUE(t.TimerRunning());
    t.SetStopped(true);
    EXPECT_FALSE(t.TimerRunning());
    t.SetStopped(false);
    rig.TickUntil(CTickerWnd::STATE_IDLE);
    EXPECT_FALSE(t.TimerRunning()) << "the end of the list stops the timer";
}

// A picture that never comes is asked for a bounded number of times; then the text shows, or
// the message is skipped.
TEST(Ticker, PicturesThatFailAreGivenUp) {
    // The cache's answer, the message, what shows (null: skipped), the most asks.
    const std::tuple<IPictureSource::State, const char*, const char*, int> cases[] = {
        {IPictureSource::State::Failed, "<IMG SRC=a.gif>caption", "caption",
         CTickerWnd::kMaxPictureTries},
        {IPictureSource::State::Failed, "<IMG SRC=a.gif>", nullptr, CTickerWnd::kMaxPictureTries},
        {IPictureSource::State::Pending, "<IMG SRC=a.gif>", nullptr, 100000},
        {IPictureSource::State::Ready, "<IMG SRC=a.gif>", "<img a.gif>", 1},
    };
    for (const auto& [answer, message, shown, maxAsked] : cases) {
        TickerRig rig;
        Pictures pictures;
        pictures.answer = answer;
        rig.context.m_pPictures = &pictures;
        rig.ticker.AddMessage(message);
        rig.ticker.AddMessage("after");
        rig.ticker.Start(5, 1);
        for (int i = 0; i < 4000 && rig.loaded.empty(); ++i) {
            rig.now += 5;
            rig.ticker.Tick();
        }
        ASSERT_FALSE(rig.loaded.empty()) << message;
        EXPECT_EQ(rig.loaded[0], shown ? shown : "after") << message;
        EXPECT_LE(pictures.asked, maxAsked) << message;
        EXPECT_GE(pictures.asked, 1) << message;
    }
    TickerRig rig; // no image cache at all: the text at once
    rig.ticker.AddMessage("<IMG SRC=a.gif>text");
    rig.ticker.Start(5, 1);
    rig.ticker.Tick();
    EXPECT_EQ(rig.loaded, Texts{"text"});
}

TEST(Ticker, BoundsAndRestarts) {
    TickerRig rig;
    CTickerWnd& t = rig.ticker;
    for (int i = 0; i < 100000; ++i)
        t.AddMessage("m" + std::to_string(i));
    EXPECT_EQ(t.MessageCount(), CTickerWnd::kMaxMessages);
    t.Start(5, 1);
    rig.TickUntil(CTickerWnd::STATE_NEXT);
    rig.TickUntil(CTickerWnd::STATE_SCROLL);
    ASSERT_EQ(t.Position(), 1u);
    t.Restart(30); // news while the list runs: it keeps its place and takes the new period
    EXPECT_EQ(t.Position(), 1u);
    EXPECT_EQ(t.Period(), 30);

    // A list that runs through at once asks again only after the gap.
    TickerRig quick;
    for (int round = 0; round < 2; ++round) {
        quick.ticker.AddMessage("<IMG SRC=never.gif>");
        quick.ticker.Restart(5);
        quick.TickUntil(CTickerWnd::STATE_END);
        for (int i = 0; i < 10; ++i)
            quick.ticker.Tick();
    }
    EXPECT_EQ(quick.rec.wire, CTickerWnd::kRequest);
    quick.now += CTickerWnd::kMinRequestGapMs;
    quick.ticker.Tick();
    EXPECT_EQ(quick.rec.wire, std::string(CTickerWnd::kRequest) + CTickerWnd::kRequest);
}
