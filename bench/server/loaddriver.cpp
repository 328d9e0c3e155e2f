// server_load [--clients N] [--seconds S] [--rate MSGS_PER_CLIENT_PER_S] [--mode tell|say]
//             [--server PATH]
// Starts kivra-server on a free loopback port, logs N raw clients in, and lets each send
// messages stamped with the send time: tells to the next client (one delivery each) or says
// into a room shared by groups of ten (nine deliveries each). Every delivery is timed when its
// unit arrives.
#include <algorithm>
#include <arpa/inet.h>
#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <string>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;

long long NowNs() {
    return std::chrono::duration_cast<std::chrono::nanoseconds>(Clock::now().time_since_epoch())
        .count();
}

struct Client {
    int fd = -1;
    std::string in;
    std::string out;
    bool ready = false;
    long long nextSend = 0;
};

void Flush(Client& c) {
    while (!c.out.empty()) {
        const ssize_t n = ::send(c.fd, c.out.data(), c.out.size(), MSG_NOSIGNAL);
        if (n <= 0)
            return;
        c.out.erase(0, static_cast<std::size_t>(n));
    }
}

int Connect(int port) {
    const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_port = htons(static_cast<uint16_t>(port));
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    if (::connect(fd, reinterpret_cast<sockaddr*>(&a), sizeof a) != 0) {
        ::close(fd);
        return -1;
    }
    const int one = 1;
    ::setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &one, sizeof one);
    ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) | O_NONBLOCK);
    return fd;
}

} // namespace

int main(int argc, char** argv) {
    int clients = 500;
    int seconds = 10;
    double rate = 2.0;
    std::string mode = "tell";
    std::string server;
    if (const char* dir = std::getenv("KIVRA_BIN_DIR"))
        server = std::string(dir) + "/kivra-server";
    else {
        server = argv[0];
        server = server.substr(0, server.rfind('/') + 1) + "kivra-server";
    }
    for (int i = 1; i + 1 < argc; i += 2) {
        const std::string k = argv[i];
        if (k == "--clients")
            clients = std::max(2, std::atoi(argv[i + 1]));
        else if (k == "--seconds")
            seconds = std::max(1, std::atoi(argv[i + 1]));
        else if (k == "--rate")
            rate = std::max(0.01, std::atof(argv[i + 1]));
        else if (k == "--mode")
            mode = argv[i + 1];
        else if (k == "--server")
            server = argv[i + 1];
    }

    int pipeFd[2];
    if (::pipe(pipeFd) != 0)
        return 1;
    const pid_t pid = ::fork();
    if (pid == 0) {
        ::dup2(pipeFd[1], 1);
        ::close(pipeFd[0]);
        ::execl(server.c_str(), server.c_str(), "--open", "--port", "0", "--http-port", "-1",
                "--ticker-seconds", "0", static_cast<char*>(nullptr));
        std::perror("exec kivra-server");
        std::_Exit(127);
    }
    ::close(pipeFd[1]);
    std::string line;
    char ch;
    while (::read(pipeFd[0], &ch, 1) == 1 && ch != '\n')
        line += ch;
    const std::size_t at = line.find("chat=");
    if (at == std::string::npos) {
        std::fprintf(stderr, "server did not start: %s\n", line.c_str());
        return 1;
    }
    const int port = std::atoi(line.c_str() + at + 5);

    std::vector<Client> cs(static_cast<std::size_t>(clients));
    const char* rooms[] = {"Lobby", "Garden", "Library", "Tea House", "Auditorium"};
    for (int i = 0; i < clients; ++i) {
        Client& c = cs[static_cast<std::size_t>(i)];
        c.fd = Connect(port);
        if (c.fd < 0) {
            std::fprintf(stderr, "connect failed for client %d\n", i);
            ::kill(pid, SIGTERM);
            return 1;
        }
        // Say mode needs small audiences: groups of ten meet in their own private room, made
        // by the first of each group; the others go to it by name.
        std::string room = mode == "say" ? "" : rooms[i % 5];
        c.out = "\x01<begin>\n<username> b" + std::to_string(i) + "\n<password> x\n" +
                (room.empty() ? "" : "<room> " + room + "\n") + "<end>\n";
        Flush(c);
    }

    std::vector<long long> latencies;
    latencies.reserve(1 << 20);
    long long delivered = 0;
    const std::string marker = mode == "say" ? " says, \"T" : " tells you, \"T";
    const long long period = static_cast<long long>(1e9 / rate);
    long long start = 0;
    long long stop = 0;
    int readyCount = 0;
    const long long loginDeadline = NowNs() + 60'000'000'000LL;
    std::vector<pollfd> fds(cs.size());
    char buf[65536];
    bool grouped = mode != "say";
    while (true) {
        const long long now = NowNs();
        if (start == 0 && readyCount == clients) {
            if (!grouped) {
                for (std::size_t i = 0; i < cs.size(); ++i) {
                    if (i % 10 == 0)
                        cs[i].out += "\x01<begin>\n<createprivate>\n<end>\n";
                }
                for (auto& c : cs)
                    Flush(c);
                ::usleep(500000);
                for (std::size_t i = 0; i < cs.size(); ++i) {
                    if (i % 10 != 0)
                        cs[i].out += "goto b" + std::to_string(i - i % 10) + "\n";
                    Flush(cs[i]);
                }
                ::usleep(1000000);
                grouped = true;
            }
            start = NowNs();
            stop = start + seconds * 1'000'000'000LL;
            for (std::size_t i = 0; i < cs.size(); ++i)
                cs[i].nextSend = start + static_cast<long long>(i) * period / clients;
        }
        if (start == 0 && now > loginDeadline) {
            std::fprintf(stderr, "only %d of %d clients logged in\n", readyCount, clients);
            ::kill(pid, SIGTERM);
            return 1;
        }
        if (start != 0 && now > stop + 2'000'000'000LL)
            break;
        if (start != 0 && now < stop) {
            for (std::size_t i = 0; i < cs.size(); ++i) {
                Client& c = cs[i];
                while (c.nextSend <= now) {
                    const std::string stamp = "T" + std::to_string(NowNs()) + " ";
                    if (mode == "say")
                        c.out += "say " + stamp + "\r\n";
                    else
                        c.out +=
                            "tell b" + std::to_string((i + 1) % cs.size()) + " " + stamp + "\r\n";
                    c.nextSend += period;
                }
                Flush(c);
            }
        }
        for (std::size_t i = 0; i < cs.size(); ++i)
            fds[i] =
                pollfd{cs[i].fd, static_cast<short>(POLLIN | (cs[i].out.empty() ? 0 : POLLOUT)), 0};
        ::poll(fds.data(), fds.size(), 5);
        for (std::size_t i = 0; i < cs.size(); ++i) {
            Client& c = cs[i];
            if (fds[i].revents & POLLOUT)
                Flush(c);
            if (!(fds[i].revents & (POLLIN | POLLHUP)))
                continue;
            ssize_t n;
            while ((n = ::recv(c.fd, buf, sizeof buf, 0)) > 0)
                c.in.append(buf, static_cast<std::size_t>(n));
            if (!c.ready && c.in.find("Exits: ") != std::string::npos) {
                c.ready = true;
                ++readyCount;
            }
            const long long arrived = NowNs();
            std::size_t pos;
            while ((pos = c.in.find(marker)) != std::string::npos) {
                const long long sent = std::atoll(c.in.c_str() + pos + marker.size());
                if (start != 0 && sent >= start) {
                    latencies.push_back(arrived - sent);
                    ++delivered;
                }
                c.in.erase(0, pos + marker.size());
            }
            // Keep only a tail that may hold a marker cut in half.
            if (c.in.size() > 64)
                c.in.erase(0, c.in.size() - 64);
        }
    }
    ::kill(pid, SIGTERM);
    ::waitpid(pid, nullptr, 0);
    std::sort(latencies.begin(), latencies.end());
    auto pct = [&](double p) {
        return latencies.empty()
                   ? 0.0
                   : latencies[static_cast<std::size_t>(p * (latencies.size() - 1))] / 1e6;
    };
    const long long expected =
        static_cast<long long>(clients * rate * seconds) * (mode == "say" ? 9 : 1);
    std::printf("mode=%s clients=%d seconds=%d rate=%.2f/client/s\n", mode.c_str(), clients,
                seconds, rate);
    std::printf("delivered=%lld (expected about %lld) throughput=%.0f msgs/s p50=%.2f ms "
                "p99=%.2f ms\n",
                delivered, expected, delivered / static_cast<double>(seconds), pct(0.5), pct(0.99));
    return 0;
}
