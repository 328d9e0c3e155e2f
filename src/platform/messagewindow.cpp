#include "messagewindow.h"

#include <QCoreApplication>
#include <QEvent>
#include <QTimerEvent>

namespace kivra::platform {

namespace {

const QEvent::Type kPostedMessage = static_cast<QEvent::Type>(QEvent::registerEventType());

struct PostedMessage : QEvent {
    PostedMessage(unsigned m, unsigned long w, long l)
        : QEvent(kPostedMessage), message(m), wParam(w), lParam(l) {}
    unsigned message;
    unsigned long wParam;
    long lParam;
};

} // namespace

// The window's link to the event loop: posted messages are events queued on it, timers are its
// Qt timers. Deleting it drops the queued messages and stops the timers with it.
class MessageWindow::Pump : public QObject {
public:
    explicit Pump(MessageWindow* owner) : m_owner(owner) {}

protected:
    void customEvent(QEvent* e) override {
        if (e->type() == kPostedMessage) {
            auto* m = static_cast<PostedMessage*>(e);
            m_owner->WindowProc(m->message, m->wParam, m->lParam);
        }
    }
    void timerEvent(QTimerEvent* e) override {
        for (const auto& [id, qtId] : m_owner->m_timers) {
            if (qtId == e->timerId()) {
                m_owner->OnTimer(id);
                return;
            }
        }
    }

private:
    MessageWindow* m_owner;
};

MessageWindow::~MessageWindow() {
    delete m_pump;
}

MessageWindow::Pump* MessageWindow::pump() {
    if (!m_pump)
        m_pump = new Pump(this);
    return m_pump;
}

long MessageWindow::SendMessage(unsigned message, unsigned long wParam, long lParam) {
    return WindowProc(message, wParam, lParam);
}

void MessageWindow::PostMessage(unsigned message, unsigned long wParam, long lParam) {
    QCoreApplication::postEvent(pump(), new PostedMessage(message, wParam, lParam));
}

bool MessageWindow::SetTimer(unsigned id, int periodMs) {
    if (periodMs < 0)
        return false;
    KillTimer(id);
    const int qtId = pump()->startTimer(periodMs);
    if (qtId == 0)
        return false;
    m_timers[id] = qtId;
    return true;
}

bool MessageWindow::KillTimer(unsigned id) {
    auto it = m_timers.find(id);
    if (it == m_timers.end())
        return false;
    if (m_pump)
        m_pump->killTimer(it->second);
    m_timers.erase(it);
    return true;
}

bool MessageWindow::HasTimer(unsigned id) const {
    return m_timers.count(id) != 0;
}

long MessageWindow::WindowProc(unsigned, unsigned long, long) {
    return 0;
}

void MessageWindow::OnTimer(unsigned) {}

} // namespace kivra::platform
