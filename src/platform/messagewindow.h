#pragma once
// The message layer: a window that takes numbered messages, as the panel's message table does,
// and numbered timers. SendMessage runs the handler at once; PostMessage queues it on the event
// loop; SetTimer/KillTimer start and stop a repeating timer by id whose expiry calls OnTimer.

#include <QObject>
#include <QWidget>
#include <map>

namespace kivra::platform {

class MessageWindow {
public:
    virtual ~MessageWindow();

    long SendMessage(unsigned message, unsigned long wParam, long lParam);
    void PostMessage(unsigned message, unsigned long wParam, long lParam);
    // Starts (or restarts) the timer `id` with this period; true on success.
    bool SetTimer(unsigned id, int periodMs);
    bool KillTimer(unsigned id);
    bool HasTimer(unsigned id) const;

protected:
    // The message table; the default answers 0.
    virtual long WindowProc(unsigned message, unsigned long wParam, long lParam);
    virtual void OnTimer(unsigned id);

private:
    class Pump;
    Pump* pump();
    Pump* m_pump = nullptr;
    std::map<unsigned, int> m_timers; // id -> Qt timer id
    friend class Pump;
};

} // namespace kivra::platform
