// 5,000 users enter the room one by one, then leave one by one, in the GUI user list
// (offscreen). Each arrival and departure is its own server block through the protocol object,
// as the server sends them. Prints the total time of each phase, once with the event loop run
// only at the end, and once with it run (layout and painting) after every block.
//
//   bench_userlist [USERS] [--each]   (--each: only the run with events after every block;
//                                     without it, only the run with events at the end)

#include "chatprotocol.h"
#include "useractions.h"
#include "userlist.h"

#include <QApplication>
#include <QElapsedTimer>
#include <algorithm>
#include <cstdio>
#include <random>
#include <string>
#include <time.h>
#include <vector>

namespace {

struct NullTransport : IChatTransport {
    bool IsConnected() const override { return true; }
    int SendText(const char*) override { return 1; }
    int SendData(const char*, int length) override { return length; }
};

// CPU time of this thread: the machine is shared, so wall time also counts other programs.
double CpuMs() {
    timespec t{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
    return double(t.tv_sec) * 1e3 + double(t.tv_nsec) / 1e6;
}

void Feed(CChatProtocol& protocol, const std::string& block) {
    std::vector<char> buffer(block.begin(), block.end());
    buffer.push_back('\0');
    int incomplete = 0;
    protocol.ProcessReceived(buffer.data(), int(block.size()), &incomplete);
}

void Run(int users, bool eventsEachStep) {
    CChatContext context;
    CopyParam(context.m_params.szUserName, "Bench Owner");
    NullTransport transport;
    CChatProtocol protocol(&context);
    CContextCommands commands(context);
    CUserActions actions(context, commands);
    CUserList list(context, commands, actions);
    context.m_pTransport = &transport;
    context.m_pProtocol = &protocol;
    context.m_pUserList = &list;
    list.resize(180, 400);
    list.show();
    Feed(protocol, "\x01<begin>\n<newroom>\n<end>\n");
    QApplication::processEvents();

    std::vector<std::string> names;
    std::mt19937 random(5000);
    for (int i = 0; i < users; ++i)
        names.push_back("Visitor+" + std::to_string(random() % 1000000) + "+" + std::to_string(i));
    std::vector<std::string> enters, leaves;
    for (const std::string& n : names) {
        enters.push_back("\x01<begin>\n<enter role=" + std::string(n.size() % 7 ? "" : "roomop") +
                         "> " + n + "\n<end>\n");
        leaves.push_back("\x01<begin>\n<leave> " + n + "\n<end>\n");
    }
    std::shuffle(leaves.begin(), leaves.end(), random);

    QElapsedTimer timer;
    timer.start();
    double cpu = CpuMs();
    for (const std::string& b : enters) {
        Feed(protocol, b);
        if (eventsEachStep)
            QApplication::processEvents();
    }
    QApplication::processEvents();
    const double enterMs = double(timer.nsecsElapsed()) / 1e6;
    const double enterCpu = CpuMs() - cpu;
    const int filled = list.Count();

    timer.restart();
    cpu = CpuMs();
    for (const std::string& b : leaves) {
        Feed(protocol, b);
        if (eventsEachStep)
            QApplication::processEvents();
    }
    QApplication::processEvents();
    const double leaveMs = double(timer.nsecsElapsed()) / 1e6;
    const double leaveCpu = CpuMs() - cpu;

    // What running the event loop that often costs with nothing to do, for comparison.
    double idleCpu = 0;
    if (eventsEachStep) {
        cpu = CpuMs();
        for (int i = 0; i < 2 * users; ++i)
            QApplication::processEvents();
        idleCpu = CpuMs() - cpu;
    }

    std::printf("%s: users %d, entries %d, left %d\n"
                "  enter %.1f ms (cpu %.1f ms)  leave %.1f ms (cpu %.1f ms)\n",
                eventsEachStep ? "events after every block" : "events at the end", users,
                filled - 1, list.Count() - 1, enterMs, enterCpu, leaveMs, leaveCpu);
    if (eventsEachStep)
        std::printf("  the event loop alone, as often: cpu %.1f ms\n", idleCpu);
}

} // namespace

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    int users = 5000;
    bool each = false;
    for (int i = 1; i < argc; ++i) {
        if (std::string(argv[i]) == "--each")
            each = true;
        else
            users = std::max(1, std::atoi(argv[i]));
    }
    Run(users, each);
    return 0;
}
