// bench_filexfer [MEGABYTES]: sends a file of MEGABYTES (default 100) from one engine to another
// over loopback, each engine with its own backstop timer as the panel runs it, and prints the
// rate, whether the copy is identical, and the CPU both engines use in two idle seconds.

#include "filexfer.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QTimer>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <random>
#include <sys/resource.h>
#include <vector>

using kivra::filexfer::CFileXfer;

namespace {

double CpuSeconds() {
    rusage u{};
    ::getrusage(RUSAGE_SELF, &u);
    return double(u.ru_utime.tv_sec + u.ru_stime.tv_sec) +
           double(u.ru_utime.tv_usec + u.ru_stime.tv_usec) / 1e6;
}

bool SameFiles(const std::filesystem::path& a, const std::filesystem::path& b) {
    std::ifstream x(a, std::ios::binary), y(b, std::ios::binary);
    std::vector<char> p(1 << 20), q(1 << 20);
    while (x && y) {
        x.read(p.data(), std::streamsize(p.size()));
        y.read(q.data(), std::streamsize(q.size()));
        if (x.gcount() != y.gcount() || !std::equal(p.begin(), p.begin() + x.gcount(), q.begin()))
            return false;
    }
    return x.eof() && y.eof();
}

// An engine with the panel's 10 ms backstop timer, started only when the engine asks for it.
struct Side {
    CFileXfer engine;
    QTimer timer;
    int finished = -1;
    std::string savePath;
    int ticks = 0;
    bool Start() {
        engine.SetFlags(kivra::filexfer::FXFLAG_STARTED | kivra::filexfer::FXFLAG_EVENTS);
        engine.SetPollHook([this](bool on) { on ? timer.start(10) : timer.stop(); });
        QObject::connect(&timer, &QTimer::timeout, [this] {
            ++ticks;
            engine.OnPollTimer();
        });
        return engine.StartListener(0, [this](int event, std::uintptr_t a1, std::uintptr_t) {
            if (event == kivra::filexfer::FXE_FINISHED)
                finished = int(a1);
            if (event == kivra::filexfer::FXE_OFFER) {
                reinterpret_cast<kivra::filexfer::FileOffer*>(a1)->strSavePath = savePath;
                return 1L;
            }
            return 0L;
        });
    }
};

} // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    const long megabytes = argc > 1 ? std::strtol(argv[1], nullptr, 10) : 100;
    const auto dir = std::filesystem::temp_directory_path() /
                     ("kivra-xferbench-" + std::to_string(QCoreApplication::applicationPid()));
    std::filesystem::create_directories(dir);
    const auto source = dir / "source.bin", target = dir / "target.bin";
    {
        std::ofstream out(source, std::ios::binary);
        std::mt19937 random(1);
        std::vector<std::uint32_t> chunk(1 << 18);
        for (long written = 0; written < megabytes << 20; written += long(chunk.size() * 4)) {
            for (auto& v : chunk)
                v = random();
            out.write(reinterpret_cast<const char*>(chunk.data()),
                      std::streamsize(chunk.size() * 4));
        }
    }

    Side sender, receiver;
    receiver.savePath = target.string();
    if (!sender.Start() || !receiver.Start()) {
        std::fprintf(stderr, "cannot listen\n");
        return 1;
    }
    QElapsedTimer clock;
    clock.start();
    const double cpu0 = CpuSeconds();
    sender.engine.SendFile("127.0.0.1", receiver.engine.ListenPort(), source.string(), "bench");
    while (sender.finished < 0 || receiver.finished < 0)
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
    const double seconds = double(clock.nsecsElapsed()) / 1e9;
    const double busyCpu = CpuSeconds() - cpu0;
    const bool same = SameFiles(source, target);
    std::printf("transfer: %ld MB in %.2f s = %.1f MB/s (cpu %.2f s, timer ticks %d + %d), "
                "finish codes %d/%d, %s\n",
                megabytes, seconds, double(megabytes) / seconds, busyCpu, sender.ticks,
                receiver.ticks, sender.finished, receiver.finished,
                same ? "identical" : "DIFFERENT");

    const double idle0 = CpuSeconds();
    QTimer::singleShot(2000, &app, &QCoreApplication::quit);
    app.exec();
    std::printf("idle: %.2f ms CPU in 2 s, backstop timers running: %d\n",
                (CpuSeconds() - idle0) * 1000.0,
                int(sender.timer.isActive()) + int(receiver.timer.isActive()));
    std::filesystem::remove_all(dir);
    return same && sender.finished == 0 && receiver.finished == 0 ? 0 : 1;
}
