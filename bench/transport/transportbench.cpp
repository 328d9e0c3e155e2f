// bench_transport [--bytes N] [--idle SECONDS] [--no-transfer]
// bench_transport --ui [--bytes N]
// Prints the throughput of a flood of display lines from a loopback peer through CChatSocket,
// CChatSession and CChatProtocol into views that do nothing, then the CPU time an idle connected
// client uses over the given seconds (0 skips it).
// With --ui: a flood of mixed chat (says with avatars, emotes, tells, notices, user blocks, all
// with colour escapes; 20 MB unless --bytes says otherwise) goes through the same path into the
// real output view, shown offscreen, while a 10 ms timer runs on the UI thread. Prints the
// longest gap between two of its runs and what the UI thread did in that gap: read passes of
// the session (reading, parsing and appending), the view's layout at the end of each pass, and
// painting.

#include "chatcontext.h"
#include "chatformat.h"
#include "chatprotocol.h"
#include "chatsession.h"
#include "chatsocket.h"
#include "messagewindow.h"
#include "pgedit.h"
#include "scripteddialogservice.h"
#include "viewcommands.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QTimer>

#include <algorithm>
#include <arpa/inet.h>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <netinet/in.h>
#include <string>
#include <sys/resource.h>
#include <sys/socket.h>
#include <thread>
#include <unistd.h>
#include <vector>

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

// A peer that takes the login and then sends `chunk` over and over, `total` bytes in all.
std::thread Flooder(int listener, std::string chunk, std::size_t total) {
    return std::thread([listener, chunk = std::move(chunk), total] {
        const int fd = ::accept(listener, nullptr, nullptr);
        char sink[4096];
        ::recv(fd, sink, sizeof sink, 0);
        for (std::size_t sent = 0; sent < total;) {
            const std::size_t want = std::min(chunk.size(), total - sent);
            const ssize_t n = ::send(fd, chunk.data(), want, MSG_NOSIGNAL);
            if (n <= 0)
                break;
            sent += static_cast<std::size_t>(n);
        }
        ::close(fd);
    });
}

void Flood(std::size_t total) {
    std::uint16_t port = 0;
    const int listener = ListenLoopback(port);
    std::string chunk;
    const std::string line = "<say username=\"Bob\">\x1b[1;31mBob\x1b[0;34m says, \"the quick "
                             "brown fox jumps over the lazy dog\x1b[0;m\"\r\n";
    while (chunk.size() < 64 * 1024)
        chunk += line;
    std::thread server = Flooder(listener, chunk, total);
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

// Mixed chat as kivra-server writes it, about 64 KB.
std::string MixedChat() {
    using namespace kivra::server;
    const CUserStyles styles;
    const std::string avatar = AvatarTag("http://127.0.0.1:9/avatars/bob.gif", "Bob");
    std::string chunk;
    for (int i = 0; chunk.size() < 64 * 1024; ++i) {
        const std::string n = std::to_string(i);
        chunk += SayUnit(styles, avatar, "Bob", "the quick brown fox jumps over the lazy dog " + n,
                         false);
        chunk += EmoteUnit(styles, "", "Cy Lee", "waves at everyone in the room, " + n);
        chunk += SayUnit(styles, "", "Dee",
                         "a \x1b[1;32mgreen\x1b[0;m word and a long line of "
                         "chatter that wraps in the view " +
                             n,
                         false);
        chunk += TellUnit(styles, avatar, "Ann", "Bob", "psst " + n);
        chunk += Notice(styles, kInfoMessage, "Eve has entered the room.");
        chunk += Block("enter", "Eve") + Block("leave", "Eve");
    }
    return chunk;
}

// The real output view, timing its layout at the end of each pass and its painting.
class TimedView : public CPGEdit {
public:
    using CPGEdit::CPGEdit;
    struct Span {
        qint64 start, end;
    };
    const QElapsedTimer* clock = nullptr;
    std::vector<Span> passes, layouts, paints, appends;
    using CPGEdit::AppendText;
    void AppendText(const char* text, std::size_t length, std::uint32_t style) override {
        const qint64 start = clock->nsecsElapsed();
        CPGEdit::AppendText(text, length, style);
        appends.push_back({start, clock->nsecsElapsed()});
    }
    void InsertPicture(const ChatPicture& picture, const std::string& userName) override {
        const qint64 start = clock->nsecsElapsed();
        CPGEdit::InsertPicture(picture, userName);
        appends.push_back({start, clock->nsecsElapsed()});
    }
    // The session brackets each read pass in a batch.
    void BeginBatch() override {
        passStart = clock->nsecsElapsed();
        CPGEdit::BeginBatch();
    }
    void EndBatch() override {
        const qint64 start = clock->nsecsElapsed();
        CPGEdit::EndBatch();
        layouts.push_back({start, clock->nsecsElapsed()});
        passes.push_back({passStart, clock->nsecsElapsed()});
    }
    qint64 passStart = 0;

protected:
    void paintEvent(QPaintEvent* event) override {
        const qint64 start = clock->nsecsElapsed();
        CPGEdit::paintEvent(event);
        paints.push_back({start, clock->nsecsElapsed()});
    }
};

// Time of the spans inside [from, to], and the longest of them, in ms.
std::pair<double, double> Within(const std::vector<TimedView::Span>& spans, qint64 from,
                                 qint64 to) {
    double sum = 0, longest = 0;
    for (const auto& s : spans) {
        if (s.end < from || s.start > to)
            continue;
        const double ms = static_cast<double>(std::min(s.end, to) - std::max(s.start, from)) / 1e6;
        sum += ms;
        longest = std::max(longest, ms);
    }
    return {sum, longest};
}

void FloodUi(std::size_t total) {
    std::uint16_t port = 0;
    const int listener = ListenLoopback(port);
    std::thread server = Flooder(listener, MixedChat(), total);
    QElapsedTimer clock;
    clock.start();
    Rig rig(port);
    CContextCommands commands(rig.context);
    TimedView view(rig.context, commands, rig.dialogs, CPGEdit::KIND_MAIN);
    view.clock = &clock;
    view.resize(640, 400);
    view.show();
    rig.context.m_pOutput = &view;

    std::vector<qint64> ticks;
    QTimer ui;
    ui.setTimerType(Qt::PreciseTimer);
    QObject::connect(&ui, &QTimer::timeout, [&] { ticks.push_back(clock.nsecsElapsed()); });
    ui.start(10);
    const qint64 begin = clock.nsecsElapsed();
    rig.session.Start();
    while (rig.transport.IsConnected())
        QCoreApplication::processEvents(QEventLoop::AllEvents, 50);
    const double secs = static_cast<double>(clock.nsecsElapsed() - begin) / 1e9;
    ui.stop();
    server.join();
    ::close(listener);

    qint64 worst = 0, from = begin, to = begin;
    int over50 = 0;
    for (std::size_t i = 1; i < ticks.size(); ++i) {
        const qint64 gap = ticks[i] - ticks[i - 1];
        over50 += gap > 50'000'000 ? 1 : 0;
        if (gap > worst) {
            worst = gap;
            from = ticks[i - 1];
            to = ticks[i];
        }
    }
    const auto [passMs, passMax] = Within(view.passes, from, to);
    const auto [layoutMs, layoutMax] = Within(view.layouts, from, to);
    const auto [paintMs, paintMax] = Within(view.paints, from, to);
    const double appendMs = Within(view.appends, from, to).first;
    double longestPass = 0;
    for (const auto& p : view.passes)
        longestPass = std::max(longestPass, static_cast<double>(p.end - p.start) / 1e6);
    std::printf("flood-ui: %zu bytes, %.3f s, %zu timer runs, longest gap %.1f ms, gaps over "
                "50 ms: %d\n",
                total, secs, ticks.size(), static_cast<double>(worst) / 1e6, over50);
    std::printf("flood-ui: in the longest gap: read passes %.1f ms (longest %.1f), of which view "
                "layout %.1f ms (longest %.1f) and appending to the view %.1f ms; painting %.1f "
                "ms (longest %.1f); other %.1f ms\n",
                passMs, passMax, layoutMs, layoutMax, appendMs, paintMs, paintMax,
                static_cast<double>(worst) / 1e6 - passMs - paintMs);
    std::printf("flood-ui: %zu read passes, longest %.1f ms; %zu paints\n", view.passes.size(),
                longestPass, view.paints.size());
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
    std::size_t bytes = 0;
    int idle = 60;
    bool ui = false;
    for (int i = 1; i < argc; ++i) {
        const bool hasValue = i + 1 < argc;
        if (std::strcmp(argv[i], "--no-transfer") == 0)
            g_transferEngine = false;
        else if (std::strcmp(argv[i], "--bytes") == 0 && hasValue)
            bytes = std::strtoull(argv[++i], nullptr, 10);
        else if (std::strcmp(argv[i], "--idle") == 0 && hasValue)
            idle = std::atoi(argv[++i]);
        else if (std::strcmp(argv[i], "--ui") == 0)
            ui = true;
    }
    if (ui) {
        FloodUi(bytes > 0 ? bytes : 20u << 20);
        return 0;
    }
    Flood(bytes > 0 ? bytes : 200u << 20);
    if (idle > 0)
        Idle(idle);
    return 0;
}
