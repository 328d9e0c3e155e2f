#pragma once
// A scripted HTTP server on a loopback port, on a thread of its own (the tunnel's exchanges
// block their caller). Each connection gets the next answer of the script as raw bytes, then is
// closed; every request is recorded whole.

#include "loopbackport.h"

#include <poll.h>
#include <unistd.h>

#include <atomic>
#include <cstring>
#include <deque>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace kt {

class ScriptedHttp {
public:
    // Special answers: stall (say nothing until the client gives up), endless (a body that
    // never ends).
    static constexpr const char* kStall = "\x01stall";
    static constexpr const char* kEndless = "\x01endless";

    ScriptedHttp() : m_fd(BindLoopback(16, m_port)), m_thread([this] { Serve(); }) {}
    ~ScriptedHttp() {
        m_stop = true;
        m_thread.join();
        ::close(m_fd);
    }
    std::uint16_t Port() const { return m_port; }
    // Queues one answer: a raw response, or a body to wrap in "200 OK".
    void Answer(const std::string& raw) {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_script.push_back(raw);
    }
    void Body(const std::string& body) {
        Answer("HTTP/1.1 200 OK\r\nContent-Length: " + std::to_string(body.size()) +
               "\r\nConnection: close\r\n\r\n" + body);
    }
    std::vector<std::string> Requests() {
        std::lock_guard<std::mutex> lock(m_mutex);
        return m_requests;
    }

private:
    static bool Readable(int fd, int ms) {
        pollfd p{fd, POLLIN, 0};
        return ::poll(&p, 1, ms) > 0;
    }
    void Serve() {
        while (!m_stop) {
            const int c = Readable(m_fd, 20) ? ::accept(m_fd, nullptr, nullptr) : -1;
            if (c < 0)
                continue;
            std::string request = ReadRequest(c);
            std::string answer;
            {
                std::lock_guard<std::mutex> lock(m_mutex);
                m_requests.push_back(request);
                if (!m_script.empty()) {
                    answer = m_script.front();
                    m_script.pop_front();
                }
            }
            if (answer == kStall) {
                while (!m_stop && !(Readable(c, 20) && ::recv(c, m_buf, 1, MSG_PEEK) <= 0)) {
                }
            } else if (answer == kEndless) {
                const std::string head = "HTTP/1.1 200 OK\r\nConnection: close\r\n\r\n";
                ::send(c, head.data(), head.size(), MSG_NOSIGNAL);
                std::memset(m_buf, 'A', sizeof m_buf);
                while (!m_stop && ::send(c, m_buf, sizeof m_buf, MSG_NOSIGNAL) > 0) {
                }
            } else {
                ::send(c, answer.data(), answer.size(), MSG_NOSIGNAL);
            }
            ::close(c);
        }
    }
    std::string ReadRequest(int c) {
        std::string r;
        std::size_t want = std::string::npos;
        while (r.size() < want && Readable(c, 2000)) {
            const ssize_t n = ::recv(c, m_buf, sizeof m_buf, 0);
            if (n <= 0)
                break;
            r.append(m_buf, static_cast<std::size_t>(n));
            const auto end = r.find("\r\n\r\n");
            if (end != std::string::npos && want == std::string::npos) {
                const auto cl = r.find("Content-Length: ");
                want = end + 4 +
                       (cl != std::string::npos && cl < end ? std::stoul(r.substr(cl + 16)) : 0);
            }
        }
        return r;
    }

    std::uint16_t m_port = 0;
    int m_fd = -1;
    std::atomic<bool> m_stop{false};
    std::mutex m_mutex;
    std::deque<std::string> m_script;
    std::vector<std::string> m_requests;
    char m_buf[16384];
    std::thread m_thread;
};

} // namespace kt
