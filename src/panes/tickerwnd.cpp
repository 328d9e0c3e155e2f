#include "tickerwnd.h"

#include "chatprotocol.h"
#include "codepage.h"
#include "namekeylist.h"
#include "pgedit.h"

#include <QFontMetrics>
#include <QMouseEvent>
#include <QPaintEvent>
#include <QPainter>
#include <algorithm>
#include <cctype>
#include <chrono>

namespace {

// The step is pixels a tick; past this a message would cross the strip in a tick or two.
constexpr int kMaxStep = 1000;
constexpr std::size_t kMaxImagePath = 1024;

// Schemes that would run code in the frame instead of showing a page.
bool IsScriptUrl(const std::string& url) {
    std::string lower;
    for (char c : url) {
        if (c == ' ' || c == '\t' || static_cast<unsigned char>(c) < 0x20)
            continue; // a browser drops these inside a scheme, so they cannot hide one
        lower += char(std::tolower(static_cast<unsigned char>(c)));
        if (lower.size() > 16)
            break;
    }
    for (const char* scheme : {"javascript:", "vbscript:", "data:"})
        if (lower.rfind(scheme, 0) == 0)
            return true;
    return false;
}

} // namespace

CTickerWnd::CTickerWnd(CChatContext& context, QWidget* parent)
    : QWidget(parent), m_context(context), m_font(QStringLiteral("Arial")) {
    setObjectName(QStringLiteral("DezivArozi"));
    setProperty("controlId", int(IDC_TICKER));
    m_font.setPointSize(13);
    // Every paint covers its whole region, so Qt need not clear it first.
    setAttribute(Qt::WA_OpaquePaintEvent);
    m_nWidth = width();
    m_nHeight = height();
}

CTickerWnd::~CTickerWnd() {
    KillTimer(TIMER_TICKER);
    if (m_context.m_pTicker == this)
        m_context.m_pTicker = nullptr;
}

std::int64_t CTickerWnd::Now() const {
    if (m_clock)
        return m_clock();
    using namespace std::chrono;
    return duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count();
}

void CTickerWnd::AddMessage(const std::string& message) {
    if (m_messages.size() >= kMaxMessages)
        return;
    m_messages.push_back(message.size() > TickerMessage::kMaxChars
                             ? message.substr(0, TickerMessage::kMaxChars)
                             : message);
}

int CTickerWnd::Start(int periodMs, int step) {
    m_nWidth = width();
    m_nHeight = height();
    if (m_messages.empty())
        return 0;
    m_nPos = 0;
    m_nStep = step <= 0 ? 1 : std::min(step, kMaxStep);
    m_nPeriod = std::max(1, periodMs);
    m_nTicks = 0;
    ClearMessage();
    m_nState = STATE_LOAD;
    KillTimer(TIMER_TICKER); // a new period takes effect at once
    SyncTimer();
    update();
    return 1;
}

void CTickerWnd::Restart(int periodMs) {
    if (m_nState == STATE_LOAD || m_nState == STATE_SCROLL || m_nState == STATE_NEXT) {
        // Restarting from the first message would show the running list's head again each time
        // news arrives and never reach its tail.
        m_nPeriod = std::max(1, periodMs);
        if (TimerRunning())
            SetTimer(TIMER_TICKER, m_nPeriod);
        return;
    }
    Start(periodMs, 1);
}

void CTickerWnd::SetStopped(bool stopped) {
    m_bStopped = stopped;
    SyncTimer();
}

void CTickerWnd::SyncTimer() {
    const bool want = !m_bStopped && m_nState != STATE_IDLE && isVisible();
    if (want && !TimerRunning())
        SetTimer(TIMER_TICKER, m_nPeriod);
    else if (!want && TimerRunning())
        KillTimer(TIMER_TICKER);
}

void CTickerWnd::OnTimer(unsigned id) {
    if (id == TIMER_TICKER)
        Tick();
}

void CTickerWnd::Tick() {
    if (m_bStopped) {
        KillTimer(TIMER_TICKER);
        return;
    }
    if (m_bInTick)
        return;
    m_bInTick = true;
    switch (m_nState) {
    case STATE_LOAD:
        if (m_nPos >= m_messages.size()) {
            m_nState = STATE_END;
        } else if (Load()) {
            m_nTicks = 0;
            if (m_nState == STATE_LOAD)
                m_nState = STATE_SCROLL;
        }
        break;
    case STATE_SCROLL:
        ScrollFrame();
        break;
    case STATE_NEXT:
        ++m_nPos;
        ClearMessage();
        m_nState = m_nPos < m_messages.size() ? STATE_LOAD : STATE_END;
        break;
    case STATE_END:
        End();
        break;
    default:
        KillTimer(TIMER_TICKER);
        break;
    }
    m_bInTick = false;
}

bool CTickerWnd::Load() {
    if (!m_bParsed) {
        m_msg = TickerMessage::Parse(m_messages[m_nPos]);
        if (m_msg.src.size() > kMaxImagePath)
            m_msg.src.resize(kMaxImagePath);
        m_bParsed = true;
    }
    if (!m_msg.src.empty()) {
        if (RenderPicture()) {
            if (m_onLoaded)
                m_onLoaded("<img " + m_msg.src + ">");
            return true;
        }
        if (!m_msg.src.empty())
            return false; // asked again on the next tick
        if (m_msg.text.empty()) {
            m_nState = STATE_NEXT; // nothing to show without its picture
            return true;
        }
    }
    RenderText();
    if (m_onLoaded)
        m_onLoaded(m_msg.text);
    return true;
}

bool CTickerWnd::RenderPicture() {
    const std::int64_t now = Now();
    IPictureSource* source = m_context.m_pPictures;
    auto giveUp = [this] {
        m_msg.src.clear();
        return false;
    };
    if (source == nullptr)
        return giveUp();
    if (now < m_nPictureNext)
        return false;
    if (m_nPictureFirst < 0)
        m_nPictureFirst = now;
    ChatPicture picture;
    const IPictureSource::State state = source->GetPicture(m_msg.src, picture);
    const bool whole = picture.width > 0 && picture.height > 0 &&
                       picture.pixels.size() >= std::size_t(picture.width) * picture.height;
    if (state == IPictureSource::State::Ready && whole) {
        QImage indexed(picture.pixels.data(), picture.width, picture.height, picture.width,
                       QImage::Format_Indexed8);
        QList<QRgb> colours(256);
        for (int i = 0; i < 256; ++i) {
            const ChatColor c = picture.palette[std::size_t(i)];
            colours[i] = qRgb(int(c & 0xFF), int((c >> 8) & 0xFF), int((c >> 16) & 0xFF));
        }
        indexed.setColorTable(colours);
        m_strip = QImage(kStripWidth, kStripHeight, QImage::Format_RGB32);
        m_strip.fill(Qt::white);
        QPainter p(&m_strip);
        p.drawImage(0, 0, indexed);
        p.end();
        m_nMsgWidth = std::min(picture.width, kStripWidth);
        m_nMsgHeight = std::min(picture.height, kStripHeight);
        m_bPicture = true;
        return true;
    }
    if (state == IPictureSource::State::Pending) {
        if (now - m_nPictureFirst >= kPictureWaitMs)
            return giveUp();
        return false;
    }
    if (++m_nPictureTries >= kMaxPictureTries || now - m_nPictureFirst >= kPictureWaitMs)
        return giveUp();
    m_nPictureNext = now + kPictureRetryMs;
    return false;
}

void CTickerWnd::RenderText() {
    const QString text = kivra::platform::FromWire(m_msg.text);
    const QFontMetrics metrics(m_font);
    const int textWidth = std::min(metrics.horizontalAdvance(text), kMaxTextWidth - 2);
    m_nMsgWidth = textWidth + 2;
    m_nMsgHeight = m_nHeight;
    m_strip = QImage(m_nMsgWidth, std::max(1, m_nHeight), QImage::Format_RGB32);
    m_strip.fill(Qt::white);
    QPainter p(&m_strip);
    p.setFont(m_font);
    p.setPen(Qt::black);
    p.drawText(QRect(0, 2, m_nMsgWidth, std::max(0, m_nHeight - 2)),
               Qt::AlignCenter | Qt::TextSingleLine, text);
    m_bPicture = false;
}

void CTickerWnd::ScrollFrame() {
    const int x = m_nWidth - m_nTicks * m_nStep;
    MoveTo(x);
    const int centre = (m_nWidth - m_nMsgWidth) / 2;
    // With a step above 1 the exact centre may be stepped over; the first frame at or past it
    // holds instead.
    if (m_msg.pause && m_msg.pauseSeconds > 0 && x <= centre && x > centre - m_nStep) {
        const std::int64_t now = Now();
        if (m_nPauseStart < 0)
            m_nPauseStart = now;
        if ((now - m_nPauseStart) / 1000 >= m_msg.pauseSeconds)
            m_msg.pause = false;
        return;
    }
    m_nPauseStart = -1;
    if (x + m_nMsgWidth <= 0) {
        m_nState = STATE_NEXT;
        m_nTicks = 0;
    } else {
        ++m_nTicks;
    }
}

void CTickerWnd::MoveTo(int x) {
    if (!m_bDrawn) {
        m_bDrawn = true;
        m_nDrawnX = x;
        update(QRect(x, 0, m_nMsgWidth, height()) & rect());
        return;
    }
    const int dx = x - m_nDrawnX;
    if (dx == 0)
        return;
    const QRect area =
        QRect(std::min(x, m_nDrawnX), 0, m_nMsgWidth + std::abs(dx), height()) & rect();
    m_nDrawnX = x;
    // The pixels on screen move; only the column that comes into view is painted.
    if (!area.isEmpty() && isVisible())
        scroll(dx, 0, area);
}

void CTickerWnd::End() {
    const std::int64_t now = Now();
    // A list that runs through at once (every message skipped) must not turn into a stream of
    // requests: the end waits until the last request is old enough.
    if (m_nLastRequest >= 0 && now - m_nLastRequest < kMinRequestGapMs)
        return;
    KillTimer(TIMER_TICKER);
    m_nPos = 0;
    m_nStep = 1;
    m_nState = STATE_IDLE;
    ClearMessage();
    m_messages.clear();
    m_nLastRequest = now;
    if (m_context.m_pProtocol != nullptr)
        m_context.m_pProtocol->Send(kRequest);
}

void CTickerWnd::ClearMessage() {
    if (m_bDrawn)
        update(QRect(m_nDrawnX, 0, m_nMsgWidth, height()) & rect());
    m_msg = TickerMessage();
    m_bParsed = false;
    m_bPicture = false;
    m_bDrawn = false;
    m_nDrawnX = m_nWidth;
    m_nMsgWidth = 0;
    m_nMsgHeight = 0;
    m_nPauseStart = -1;
    m_nPictureTries = 0;
    m_nPictureFirst = -1;
    m_nPictureNext = 0;
    m_strip = QImage();
}

std::pair<std::string, std::string> CTickerWnd::LinkTarget() const {
    if (m_msg.href.empty())
        return {};
    std::string frame = m_msg.target.empty() ? std::string("_MarqeeDisp") : m_msg.target;
    if (EqualsNoCase(frame, "_MarqeeDisp"))
        frame = "kivranewframe";
    if (IsScriptUrl(m_msg.href))
        return {std::string(), frame};
    return {CPGEdit::NormaliseUrl(m_msg.href), frame};
}

void CTickerWnd::Click() {
    if (m_focusInput)
        m_focusInput();
    const auto [url, frame] = LinkTarget();
    if (!url.empty() && m_context.m_pPanel != nullptr)
        m_context.m_pPanel->Navigate(url, frame);
}

void CTickerWnd::paintEvent(QPaintEvent* event) {
    QPainter p(this);
    const QRect r = event->rect();
    p.fillRect(r, Qt::white);
    if (!m_bDrawn || m_strip.isNull())
        return;
    const QRect target = r & QRect(m_nDrawnX, 0, m_strip.width(), m_strip.height());
    if (!target.isEmpty())
        p.drawImage(target, m_strip, target.translated(-m_nDrawnX, 0));
}

void CTickerWnd::mousePressEvent(QMouseEvent* event) {
    if (event->button() == Qt::LeftButton)
        Click();
    QWidget::mousePressEvent(event);
}

void CTickerWnd::showEvent(QShowEvent* event) {
    QWidget::showEvent(event);
    SyncTimer();
}

void CTickerWnd::hideEvent(QHideEvent* event) {
    QWidget::hideEvent(event);
    SyncTimer();
}

void CTickerWnd::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    m_nWidth = width();
    m_nHeight = height();
}
