// Prints the Base64 coders' speed in MB/s, then starts kivra-server (from this program's folder)
// and measures through its tunnel page: the time from a say written to the transport until its
// echo comes back, with the quick polls after writes and data and with pure once-a-second
// polling, and the Read exchanges per second of an idle tunnel.
//   bench_tunnel [--says N] [--idle SECONDS]

#include "base64.h"
#include "chatcontext.h"
#include "chatsocket.h"
#include "messagewindow.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QProcess>
#include <QRegularExpression>
#include <QTimer>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <random>
#include <string>
#include <vector>

namespace {

void Pump(int ms) {
    QEventLoop loop;
    QTimer::singleShot(ms, &loop, &QEventLoop::quit);
    loop.exec();
}

template <typename F> bool PumpUntil(F done, int ms) {
    QElapsedTimer t;
    t.start();
    while (!done()) {
        if (t.elapsed() > ms)
            return false;
        QEventLoop loop;
        QTimer::singleShot(2, &loop, &QEventLoop::quit);
        loop.exec();
    }
    return true;
}

void Base64Speed() {
    std::mt19937 rng(7);
    std::string bytes(1 << 20, '\0');
    for (char& c : bytes)
        c = static_cast<char>(rng());
    const std::string text = Base64Encode(bytes);
    auto measure = [](auto&& step, std::size_t perStep) {
        std::size_t done = 0;
        const auto start = std::chrono::steady_clock::now();
        std::chrono::duration<double> spent{};
        while (spent.count() < 1.0) {
            step();
            done += perStep;
            spent = std::chrono::steady_clock::now() - start;
        }
        return static_cast<double>(done) / spent.count() / 1e6;
    };
    std::size_t sink = 0;
    const double enc = measure([&] { sink += Base64Encode(bytes).size(); }, bytes.size());
    const double dec = measure([&] { sink += Base64Decode(text)->size(); }, bytes.size());
    const double esc = measure([&] { sink += FormEscape(text).size(); }, text.size());
    std::printf("base64 encode: %.0f MB/s of bytes\n", enc);
    std::printf("base64 decode: %.0f MB/s of bytes out\n", dec);
    std::printf("form escape:   %.0f MB/s of Base64 text\n", esc);
    if (sink == 0)
        std::printf("?\n");
}

// Collects what the transport receives.
class Reader : public kivra::platform::MessageWindow {
public:
    explicit Reader(CChatSocket& s) : m_socket(s) {}
    std::string seen;

protected:
    long WindowProc(unsigned message, unsigned long, long lParam) override {
        if (message == WM_CHAT_SOCKET && lParam == CHAT_SOCKET_DATA) {
            char* data = nullptr;
            int length = 0;
            while (m_socket.ReceiveData(data, length, 0) == 0 && length > 0)
                seen.append(data, static_cast<std::size_t>(length));
        }
        return 0;
    }

private:
    CChatSocket& m_socket;
};

double Median(std::vector<double> v) {
    std::sort(v.begin(), v.end());
    return v.empty() ? 0 : v[v.size() / 2];
}

} // namespace

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    int says = 15;
    int idleSeconds = 10;
    for (int i = 1; i + 1 < argc; ++i) {
        if (std::strcmp(argv[i], "--says") == 0)
            says = std::atoi(argv[++i]);
        else if (std::strcmp(argv[i], "--idle") == 0)
            idleSeconds = std::atoi(argv[++i]);
    }
    Base64Speed();

    QProcess server;
    server.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    server.start(QCoreApplication::applicationDirPath() + "/kivra-server",
                 {"--open", "--port", "0", "--http-port", "0", "--ticker-seconds", "0"});
    if (!server.waitForReadyRead(5000)) {
        std::fprintf(stderr, "kivra-server did not start\n");
        return 1;
    }
    const auto ready = QRegularExpression("chat=(\\d+) http=(\\d+)").match(server.readLine());
    const std::string chat = ready.captured(1).toStdString();
    const std::string http = ready.captured(2).toStdString();
    const std::string proxy = "127.0.0.1:" + http;
    // The tunnel's "Status Code is" lines would drown the figures.
    std::fflush(stderr);
    std::freopen("/dev/null", "w", stderr);

    std::mt19937 rng(11);
    for (const bool prompt : {true, false}) {
        CChatSocket::SetPromptPolling(prompt);
        CChatContext context;
        context.m_params.nTunnelMode = 1;
        CopyParam(context.m_params.szServer, "127.0.0.1");
        CChatSocket s(&context);
        Reader reader(s);
        s.SetNotifyWindow(&reader);
        if (s.Connect("127.0.0.1", chat.c_str(), "127.0.0.1", http.c_str(), "/", "tunnel",
                      proxy.c_str()) != 0) {
            std::printf("tunnel did not open\n");
            return 1;
        }
        const std::string user = prompt ? "Quick" : "Slow";
        s.SendData("\xFF\xFE\x01\xFF\xFD\x03\xFF\xFC\x18", 9);
        s.SendText(("\x01<begin>\n<username> " + user +
                    "\n<password> pw\n<clientversion> 5.0.0.203\n<end>\n")
                       .c_str());
        if (!PumpUntil([&] { return reader.seen.find("Exits: ") != std::string::npos; }, 10000)) {
            std::printf("no login through the tunnel\n");
            return 1;
        }
        std::vector<double> ms;
        std::vector<int> pauses;
        for (int i = 0; i < says; ++i)
            pauses.push_back((2 * i + 1) * 1000 / (2 * says));
        std::shuffle(pauses.begin(), pauses.end(), rng);
        for (int i = 0; i < says; ++i) {
            // Pauses spread evenly over a second put the says at every point of the polling
            // second, in a shuffled order.
            Pump(300 + pauses[static_cast<std::size_t>(i)]);
            const std::string word = "echo" + std::to_string(i) + user;
            QElapsedTimer t;
            t.start();
            s.SendText(("say " + word + "\r\n").c_str());
            if (!PumpUntil([&] { return reader.seen.find(word) != std::string::npos; }, 5000)) {
                std::printf("no echo for %s\n", word.c_str());
                return 1;
            }
            ms.push_back(static_cast<double>(t.nsecsElapsed()) / 1e6);
        }
        std::printf("echo latency, %s: median %.0f ms (min %.0f, max %.0f, %d says)\n",
                    prompt ? "quick polls after writes and data" : "pure 1 s polling", Median(ms),
                    *std::min_element(ms.begin(), ms.end()),
                    *std::max_element(ms.begin(), ms.end()), says);
        if (prompt) {
            Pump(3000); // let the quick polls back off
            const int before = s.TunnelReads();
            Pump(idleSeconds * 1000);
            std::printf("idle polling: %.2f Read exchanges per second over %d s\n",
                        (s.TunnelReads() - before) / static_cast<double>(idleSeconds), idleSeconds);
        }
        s.Disconnect();
    }
    server.kill();
    server.waitForFinished(3000);
    return 0;
}
