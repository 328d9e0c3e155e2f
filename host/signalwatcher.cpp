#include "signalwatcher.h"

#include <QSocketNotifier>

#include <cerrno>
#include <csignal>
#include <fcntl.h>
#include <sys/prctl.h>
#include <unistd.h>

namespace kivra::host {

namespace {

// A signal handler may only write to a pipe; the UI thread reads the other end.
int g_pipe[2] = {-1, -1};

void OnSignal(int signo) {
    const int saved = errno;
    const unsigned char c = static_cast<unsigned char>(signo);
    [[maybe_unused]] const ssize_t n = ::write(g_pipe[1], &c, 1);
    errno = saved;
}

constexpr int kEndSignals[] = {SIGTERM, SIGINT, SIGHUP};

} // namespace

SignalWatcher::SignalWatcher(std::function<void(int)> ended) : m_ended(std::move(ended)) {
    if (g_pipe[0] < 0 && ::pipe2(g_pipe, O_CLOEXEC | O_NONBLOCK) != 0)
        return;
    m_pNotifier = new QSocketNotifier(g_pipe[0], QSocketNotifier::Read, this);
    connect(m_pNotifier, &QSocketNotifier::activated, this, [this] { OnReadable(); });
    struct sigaction sa = {};
    sa.sa_handler = OnSignal;
    sigemptyset(&sa.sa_mask);
    sa.sa_flags = SA_RESTART;
    for (int s : kEndSignals)
        ::sigaction(s, &sa, nullptr);
}

SignalWatcher::~SignalWatcher() {
    // From here on a signal ends the process the default way; nothing is left to tidy.
    for (int s : kEndSignals)
        ::signal(s, SIG_DFL);
}

void SignalWatcher::OnReadable() {
    unsigned char c;
    while (::read(g_pipe[0], &c, 1) == 1)
        m_ended(c);
}

void DieWithParent(int parent) {
    ::prctl(PR_SET_PDEATHSIG, SIGTERM);
    if (::getppid() != parent)
        ::_exit(1);
}

} // namespace kivra::host
