// bench_transport [--bytes N] [--idle SECONDS] [--no-transfer]
// Prints the throughput of a flood of display lines from a loopback peer through CChatSocket,
// CChatSession and CChatProtocol into views that do nothing, then the CPU time an idle connected
// client uses over the given seconds (0 skips it).

#include "chatcontext.h"
#include "chatprotocol.h"
#include "chatsession.h"
#include "chatsocket.h"
#include "messagewindow.h"
#include "scripteddialogservice.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QTimer>

#include <algorithm>
#include <arpa/inet.h>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <netinet/in.h>
#include <string>
#include <sys/resource.h>
#include <sys/socket.h>
#include <thread>
#include <unistd.h>

namespace {

bool g_transferEngine = true;

class NullView : public IOutputView {
public:
    std::size_t appended = 0;
    void AppendText(const char*, std::size_t n, std::uint32_t) override { appended += n; }
    void AppendSeparator() override {}
    void InsertLink(const std::string&, const std::string&) override {}
    void InsertPicture(const ChatPicture&, const std::string&) override {}
    void InsertPlainPicture(const ChatPicture&, int) override {}
    void FinishAppend() override {}
    void SetBold(bool) override {}
    void SetItalic(bool) override {}
    void SetUnderline(bool) override {}
    void SetBaseColour(ChatColor) override {}
    bool IsAtEnd() const override { return true; }
    void ClearAll() override {}
};

class Panel : public kivra::platform::MessageWindow {
public:
    CChatSession* session = nullptr;

protected:
    long WindowProc(unsigned message, unsigned long wParam, long lParam) override {
        if (message == WM_CHAT_SOCKET && session != nullptr)
            return session->OnSocketMessage(lParam);
        return MessageWindow::WindowProc(message, wParam, lParam);
    }
    void OnTimer(unsigned id) override {
        if (session != nullptr)
            session->OnTimer(id);
    }
};

struct Rig {
    CChatContext context;
    NullView view;
    Panel panel;
    kivra::platform::ScriptedDialogService dialogs;
    CChatSocket transport{&context};
    CChatProtocol protocol{&context};
    CChatSession session{context, transport, protocol, panel, dialogs};
    explicit Rig(std::uint16_t port) {
        context.m_pOutput = &view;
        context.m_pTransport = &transport;
        context.m_pProtocol = &protocol;
        CopyParam(context.m_params.szServer, "127.0.0.1");
        CopyParam(context.m_params.szPortList, std::to_string(port));
        CopyParam(context.m_params.szUserName, "Ann");
        CopyParam(context.m_params.szPassword, "pw");
        panel.session = &session;
        transport.SetNotifyWindow(&panel);
        CChatSessionHooks hooks;
        // A transfer listener that starts, so its poll timers run as they will once the engine
        // is there; --no-transfer measures the build as it ships now, without one.
        if (g_transferEngine)
            hooks.startFileTransfer = [](std::uint16_t) { return true; };
        session.SetHooks(hooks);
    }
};

int ListenLoopback(std::uint16_t& port) {
    const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    ::bind(fd, reinterpret_cast<sockaddr*>(&a), sizeof a);
    ::listen(fd, 4);
    socklen_t len = sizeof a;
    ::getsockname(fd, reinterpret_cast<sockaddr*>(&a), &len);
    port = ntohs(a.sin_port);
    return fd;
}

double CpuSeconds() {
    rusage u{};
    ::getrusage(RUSAGE_SELF, &u);
    return static_cast<double>(u.ru_utime.tv_sec + u.ru_stime.tv_sec) +
           static_cast<double>(u.ru_utime.tv_usec + u.ru_stime.tv_usec) / 1e6;
}

void Flood(std::size_t total) {
    std::uint16_t port = 0;
    const int listener = ListenLoopback(port);
    std::thread server([&] {
        const int fd = ::accept(listener, nullptr, nullptr);
        char sink[4096];
        // Take the login, then flood.
        ::recv(fd, sink, sizeof sink, 0);
        std::string chunk;
        const std::string line = "<say username=\"Bob\">\x1b[1;31mBob\x1b[0;34m says, \"the quick "
                                 "brown fox jumps over the lazy dog\x1b[0;m\"\r\n";
        while (chunk.size() < 64 * 1024)
            chunk += line;
        for (std::size_t sent = 0; sent < total;) {
            const std::size_t want = std::min(chunk.size(), total - sent);
            const ssize_t n = ::send(fd, chunk.data(), want, MSG_NOSIGNAL);
            if (n <= 0)
                break;
            sent += static_cast<std::size_t>(n);
        }
        ::close(fd);
    });
    Rig rig(port);
    QElapsedTimer t;
    t.start();
    const double cpu0 = CpuSeconds();
    rig.session.Start();
    while (rig.transport.IsConnected())
        QCoreApplication::processEvents(QEventLoop::AllEvents, 50);
    const double secs = static_cast<double>(t.nsecsElapsed()) / 1e9;
    const double cpu = CpuSeconds() - cpu0;
    server.join();
    ::close(listener);
    std::printf("flood: %zu bytes sent, %zu characters shown, %.3f s, %.1f MB/s, cpu %.3f s\n",
                total, rig.view.appended, secs, static_cast<double>(total) / secs / 1e6, cpu);
}

void Idle(int seconds) {
    std::uint16_t port = 0;
    const int listener = ListenLoopback(port);
    Rig rig(port);
    rig.session.Start();
    const int peer = ::accept(listener, nullptr, nullptr);
    const double cpu0 = CpuSeconds();
    QEventLoop loop;
    QTimer::singleShot(seconds * 1000, &loop, &QEventLoop::quit);
    loop.exec();
    const double cpu = CpuSeconds() - cpu0;
    std::printf("idle: connected %s, %d s, cpu %.4f s (%.4f %%)\n",
                rig.transport.IsConnected() ? "yes" : "no", seconds, cpu, 100.0 * cpu / seconds);
    ::close(peer);
    ::close(listener);
}

} // namespace

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    std::size_t bytes = 200u << 20;
    int idle = 60;
    for (int i = 1; i < argc; ++i) {
        const bool hasValue = i + 1 < argc;
        if (std::strcmp(argv[i], "--no-transfer") == 0)
            g_transferEngine = false;
        else if (std::strcmp(argv[i], "--bytes") == 0 && hasValue)
            bytes = std::strtoull(argv[++i], nullptr, 10);
        else if (std::strcmp(argv[i], "--idle") == 0 && hasValue)
            idle = std::atoi(argv[++i]);
    }
    Flood(bytes);
    if (idle > 0)
        Idle(idle);
    return 0;
}
