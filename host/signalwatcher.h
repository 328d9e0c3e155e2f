#pragma once
// Turns the signals that ask a program to end (SIGTERM from a logout or kill, SIGINT from the
// terminal, SIGHUP when the terminal goes) into a call on the UI thread, so the host ends the
// way closing its window does: the control's window goes first, then the demo server is stopped.

#include <QObject>
#include <functional>

class QSocketNotifier;

namespace kivra::host {

class SignalWatcher : public QObject {
public:
    // Installs the handlers; `ended` runs on the UI thread with the signal's number, once per
    // signal delivered. One watcher per process.
    explicit SignalWatcher(std::function<void(int)> ended);
    ~SignalWatcher() override;

private:
    void OnReadable();

    std::function<void(int)> m_ended;
    QSocketNotifier* m_pNotifier = nullptr;
};

// For a child process: asks the kernel to send it SIGTERM when this process ends, however it
// ends (even by SIGKILL), so a helper it started never outlives it. `parent` is this process's
// id taken before the fork; a parent already gone ends the child at once.
void DieWithParent(int parent);

} // namespace kivra::host
