#pragma once
// CTickerWnd: the one-line strip that scrolls messages from right to left, one at a time. A
// message may carry a link (a click opens it in a browser frame), a picture instead of its text,
// and a pause at the centre of the strip. When the list has run through, the ticker empties it
// and asks the server for new messages. Its timer runs only while it has something to move and
// is shown; each frame moves the pixels already on screen and paints only the strip that comes
// into view.

#include "chatcontext.h"
#include "messagewindow.h"
#include "tickermessage.h"

#include <QImage>
#include <QWidget>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

class CTickerWnd : public QWidget, public kivra::platform::MessageWindow, public ITicker {
public:
    enum : int { IDC_TICKER = 143 };
    enum : unsigned { TIMER_TICKER = 1 };
    enum State : int { STATE_LOAD = 1, STATE_SCROLL, STATE_NEXT, STATE_END, STATE_IDLE };
    // Messages beyond this many are dropped until the list has run through.
    static constexpr std::size_t kMaxMessages = 1000;
    // The off-screen strip's height, and its width for a picture.
    static constexpr int kStripWidth = 2000;
    static constexpr int kStripHeight = 30;
    // A text strip is never wider than this, however long the text.
    static constexpr int kMaxTextWidth = 16000;
    // A picture that fails this many times, or is not here after kPictureWaitMs, is given up:
    // the message shows its text, or is skipped when it has none.
    static constexpr int kMaxPictureTries = 3;
    static constexpr int kPictureRetryMs = 1000;
    static constexpr int kPictureWaitMs = 10000;
    // Two requests for new messages are at least this far apart.
    static constexpr int kMinRequestGapMs = 5000;
    static constexpr const char* kRequest = "\x01<begin>\n<gettickermsgs>\n<end>\n";

    explicit CTickerWnd(CChatContext& context, QWidget* parent = nullptr);
    ~CTickerWnd() override;

    // ITicker
    void AddMessage(const std::string& message) override;
    // Starts from the first message with this period and step 1; while a list is running the
    // new messages queue behind it and only the period changes.
    void Restart(int periodMs) override;

    // Takes the strip's size, goes to the first message and starts the timer; 0 (and no timer)
    // when the list is empty.
    int Start(int periodMs, int step);
    // The panel's stop flag: a stopped ticker runs no timer and the next tick kills it.
    void SetStopped(bool stopped);

    // One expiry of the timer.
    void Tick();
    void Click();

    int State() const { return m_nState; }
    std::size_t MessageCount() const { return m_messages.size(); }
    std::size_t Position() const { return m_nPos; }
    int Step() const { return m_nStep; }
    int Period() const { return m_nPeriod; }
    bool TimerRunning() const { return HasTimer(TIMER_TICKER); }
    const TickerMessage& Current() const { return m_msg; }
    // Where the current message was last drawn; the strip's width before its first frame.
    int DrawnX() const { return m_nDrawnX; }
    int MessageWidth() const { return m_nMsgWidth; }
    bool ShowsPicture() const { return m_bPicture; }
    // The message's link as a click opens it: URL and frame; empty URL when it opens nothing.
    std::pair<std::string, std::string> LinkTarget() const;

    // The clock in milliseconds; tests replace it.
    std::function<std::int64_t()> m_clock;
    // A message was loaded: its plain text, or "<img URL>" for a picture.
    std::function<void(const std::string&)> m_onLoaded;
    std::function<void()> m_focusInput;

protected:
    void OnTimer(unsigned id) override;
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void showEvent(QShowEvent* event) override;
    void hideEvent(QHideEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    // false while the message waits for its picture.
    bool Load();
    void ScrollFrame();
    void End();
    void ClearMessage();
    void RenderText();
    bool RenderPicture();
    void MoveTo(int x);
    // Starts or stops the timer to match the state, the stop flag and the visibility.
    void SyncTimer();
    std::int64_t Now() const;

    CChatContext& m_context;
    std::vector<std::string> m_messages;
    std::size_t m_nPos = 0;
    int m_nState = STATE_IDLE;
    int m_nStep = 1;
    int m_nTicks = 0;
    int m_nPeriod = 30;
    int m_nWidth = 0;
    int m_nHeight = 0;
    bool m_bStopped = false;
    bool m_bInTick = false;

    TickerMessage m_msg;
    bool m_bParsed = false;
    bool m_bPicture = false;
    int m_nMsgWidth = 0;
    int m_nMsgHeight = 0;
    std::int64_t m_nPauseStart = -1;
    int m_nPictureTries = 0;
    std::int64_t m_nPictureFirst = -1;
    std::int64_t m_nPictureNext = 0;
    std::int64_t m_nLastRequest = -1;
    QImage m_strip;
    int m_nDrawnX = 0;
    bool m_bDrawn = false;
    QFont m_font;
};
