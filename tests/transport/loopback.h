#pragma once
// Scripted loopback peers of plain sockets, a window recording WM_CHAT_SOCKET, a recording view.

#include "../protocol/fakes.h"
#include "messagewindow.h"

#include <blockingsocket.h>

#include "loopbackport.h"
#include "pump.h"

#include <functional>
#include <memory>
#include <poll.h>
#include <string>
#include <unistd.h>
#include <vector>

namespace kt {

// A socket on a free loopback port, listening with the backlog given; a negative one refuses.
class Listener {
public:
    explicit Listener(int backlog = 8) : m_fd(BindLoopback(backlog, m_port)) {}
    ~Listener() { ::close(m_fd); }
    Listener(const Listener&) = delete;
    Listener& operator=(const Listener&) = delete;
    std::uint16_t Port() const { return m_port; }
    // A connection accepted within `timeoutMs` (the event loop runs meanwhile), or -1.
    int Accept(int timeoutMs = 5000) {
        int fd = -1;
        PumpUntil(
            [&] {
                pollfd p{m_fd, POLLIN, 0};
                if (::poll(&p, 1, 0) == 1)
                    fd = ::accept4(m_fd, nullptr, nullptr, SOCK_CLOEXEC);
                return fd >= 0;
            },
            timeoutMs);
        return fd;
    }

private:
    std::uint16_t m_port = 0;
    int m_fd = -1;
};

inline void WriteAll(int fd, const std::string& bytes) {
    std::size_t done = 0;
    while (done < bytes.size()) {
        const ssize_t n = ::send(fd, bytes.data() + done, bytes.size() - done, MSG_NOSIGNAL);
        if (n <= 0)
            return;
        done += static_cast<std::size_t>(n);
    }
}

// What the peer got until `want` bytes, its close or the timeout; the event loop runs meanwhile.
inline std::string ReadFrom(int fd, std::size_t want, int timeoutMs = 5000,
                            bool* closed = nullptr) {
    std::string got;
    bool eof = false;
    PumpUntil(
        [&] {
            pollfd p{fd, POLLIN, 0};
            while (::poll(&p, 1, 0) == 1) {
                char buf[65536];
                const ssize_t n = ::recv(fd, buf, sizeof buf, MSG_DONTWAIT);
                if (n <= 0) {
                    eof = true;
                    break;
                }
                got.append(buf, static_cast<std::size_t>(n));
            }
            return eof || got.size() >= want;
        },
        timeoutMs);
    if (closed != nullptr)
        *closed = eof;
    return got;
}

// Closes with a reset instead of an orderly close.
inline void Reset(int fd) {
    linger l{1, 0};
    ::setsockopt(fd, SOL_SOCKET, SO_LINGER, &l, sizeof l);
    ::close(fd);
}

// A message window that records WM_CHAT_SOCKET and hands messages and timers on.
class RecordingWindow : public kivra::platform::MessageWindow {
public:
    std::vector<long> socketEvents;
    std::function<long(long)> onSocket;
    std::function<void(unsigned)> onTimer;

protected:
    long WindowProc(unsigned message, unsigned long wParam, long lParam) override {
        if (message == WM_CHAT_SOCKET) {
            socketEvents.push_back(lParam);
            if (onSocket)
                return onSocket(lParam);
            return 0;
        }
        return MessageWindow::WindowProc(message, wParam, lParam);
    }
    void OnTimer(unsigned id) override {
        if (onTimer)
            onTimer(id);
    }
};

// The protocol fakes' view, also keeping each appended text and counting the read passes' batches.
struct ViewLog {
    kivra_test::Recorder log;
};
struct RecordingView : ViewLog, kivra_test::FakeView {
    RecordingView() : FakeView(log, "view") {}
    std::vector<std::string> lines;
    int depth = 0, batches = 0, appendsOutsideBatches = 0;
    void AppendText(const char* t, std::size_t n, std::uint32_t style) override {
        appendsOutsideBatches += depth == 0 ? 1 : 0;
        lines.emplace_back(t, n);
        FakeView::AppendText(t, n, style);
    }
    void BeginBatch() override { batches += depth++ == 0 ? 1 : 0; }
    void EndBatch() override { --depth; }
};

} // namespace kt
