// Drives a main output view the way the session does: AppendText and FinishAppend per line,
// with the trimming at 16384 characters, and prints lines per second and resident memory.
// The session brackets each read pass in a batch; here a pass is 100 lines, after which the
// event loop runs. The same run without batches (each line laid out at once) is printed first.
// Usage: bench_outputview [lines] (default 100000). Runs offscreen unless told otherwise.
#include "dialogservice.h"
#include "pgedit.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QFile>
#include <cstdio>
#include <string>

namespace {

struct NoDialogs : kivra::platform::DialogService {
    int MessageBox(QWidget*, const QString&, const QString&, unsigned) override { return IDOK; }
    std::optional<QString> GetSaveFileName(QWidget*, const QString&, const QString&,
                                           const QString&) override {
        return {};
    }
    std::optional<QString> GetOpenFileName(QWidget*, const QString&) override { return {}; }
    std::optional<QFont> GetFont(QWidget*, const QFont&) override { return {}; }
    int RunModal(QDialog*) override { return 0; }
};

struct Offline : IViewCommands {
    bool IsConnected() const override { return true; }
    bool IsIgnoring(const std::string&) const override { return false; }
    bool IsWatching(const std::string&) const override { return false; }
    bool IsFollowingMe(const std::string&) const override { return false; }
    std::string SelectedEmotion() const override { return {}; }
    int TransferState() const override { return 0; }
    void SendSay(const std::string&) override {}
    void RequestUsers() override {}
    void DoMenuCommand(int, int) override {}
    std::vector<std::string> MenuEntries(int, int) override { return {}; }
    bool CanOpenGotoDialog() const override { return false; }
    void OpenGotoDialog() override {}
    void UserCommand(int) override {}
};

long RssKiB() {
    QFile f("/proc/self/status");
    if (!f.open(QIODevice::ReadOnly))
        return -1;
    for (const QByteArray& line : f.readAll().split('\n'))
        if (line.startsWith("VmRSS:"))
            return line.mid(6).trimmed().split(' ').value(0).toLong();
    return -1;
}

} // namespace

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    const int lines = argc > 1 ? std::max(1, std::atoi(argv[1])) : 100000;

    static const std::uint32_t codes[] = {1, 2, 4, 8, 16, 32, 64, 128, 0x210, 0x401};
    for (const bool batched : {false, true}) {
        CChatContext context;
        NoDialogs dialogs;
        Offline commands;
        CPGEdit view(context, commands, dialogs, CPGEdit::KIND_MAIN);
        view.resize(640, 400);
        view.show();
        view.ApplyFontSettings();
        app.processEvents();

        const long rssStart = RssKiB();
        long rssHalf = 0;
        QElapsedTimer timer;
        timer.start();
        std::string line;
        for (int i = 0; i < lines; ++i) {
            if (batched && i % 100 == 0)
                view.BeginBatch();
            line = "Speaker" + std::to_string(i % 37) + ": line number " + std::to_string(i) +
                   " of the benchmark, with some words to wrap\r\n";
            view.AppendText(line, codes[i % 10]);
            view.FinishAppend();
            // Let the view paint now and then, as the event loop does between network reads.
            if (i % 100 == 99 || i + 1 == lines) {
                if (batched)
                    view.EndBatch();
                app.processEvents();
            }
            if (i == lines / 2)
                rssHalf = RssKiB();
        }
        app.processEvents();
        const double seconds = double(timer.nsecsElapsed()) / 1e9;
        std::printf("%s\n", batched ? "batched per read pass of 100 lines"
                                    : "each line laid out as it comes");
        std::printf("  lines: %d\n  seconds: %.3f\n  lines/s: %.0f\n", lines, seconds,
                    lines / seconds);
        std::printf("  document characters at the end: %d\n", view.Document().TextSize());
        std::printf("  RSS KiB: start %ld, half-way %ld, end %ld\n", rssStart, rssHalf, RssKiB());
    }
    // A hostile line: 1 MiB without a blank, as the session hands it over (read passes of up to
    // 256 KiB in reads of 64 KiB, each pass one batch; or a slow peer's 1 KiB per pass), then a
    // short line that must show at once.
    for (const int chunk : {64 * 1024, 1024}) {
        CChatContext context;
        NoDialogs dialogs;
        Offline commands;
        CPGEdit view(context, commands, dialogs, CPGEdit::KIND_MAIN);
        view.resize(640, 400);
        view.show();
        view.ApplyFontSettings();
        app.processEvents();
        const std::string read(std::size_t(chunk), 'w');
        const int readsPerPass = chunk >= 64 * 1024 ? 4 : 1;
        QElapsedTimer timer;
        timer.start();
        for (int sent = 0; sent < 1024 * 1024;) {
            view.BeginBatch();
            for (int r = 0; r < readsPerPass && sent < 1024 * 1024; ++r, sent += chunk)
                view.AppendText(read, 1);
            view.EndBatch();
            app.processEvents();
        }
        view.BeginBatch();
        view.AppendText("\r\nstill here\r\n", 1);
        view.FinishAppend();
        view.EndBatch();
        app.processEvents();
        const double seconds = double(timer.nsecsElapsed()) / 1e9;
        std::printf("one line of 1 MiB without a blank in reads of %d bytes, then \"still here\"\n",
                    chunk);
        std::printf("  seconds until shown: %.3f\n", seconds);
        std::printf("  document characters at the end: %d\n", view.Document().TextSize());
    }
    return 0;
}
