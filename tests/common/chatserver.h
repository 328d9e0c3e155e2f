#pragma once
// kivra-server started for one test on loopback ports it picks itself, and chat users that speak
// raw bytes to it.

#include <QByteArray>
#include <QProcess>
#include <QStringList>
#include <QTcpSocket>

#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <memory>
#include <string>
#include <utility>
#include <vector>

class ServerProcess {
public:
    // Any login is accepted unless `open` is false; `extra` options come last and win.
    explicit ServerProcess(const QStringList& extra = {}, bool open = true);
    ~ServerProcess();
    bool Ok() const { return m_chatPort != 0; }
    quint16 ChatPort() const { return m_chatPort; }
    quint16 HttpPort() const { return m_httpPort; }

    // One request to the HTTP port: `body` goes out and the answer's body comes back in it; the
    // status code is returned (0 on failure).
    int Http(const QByteArray& method, const QByteArray& path, QByteArray& body);
    QByteArray Post(const QByteArray& path, QByteArray body) {
        return Http("POST", path, body) != 0 ? body : QByteArray();
    }
    // Waits until the server has printed `text` `times` times (its --log-* options).
    ::testing::AssertionResult Printed(const QByteArray& text, int times = 1,
                                       int timeoutMs = 10000);

private:
    QProcess m_process;
    QByteArray m_output;
    quint16 m_chatPort = 0;
    quint16 m_httpPort = 0;
};

class RawClient {
public:
    explicit RawClient(quint16 port, const QString& host = "127.0.0.1");
    void Send(const std::string& bytes);
    // The telnet bytes and one of the four login block forms.
    void Login(const std::string& name, const std::string& password, const std::string& room = {},
               const std::string& cookie = {});
    // Reads until `needle` has arrived. Everything read stays in Received(); Take() returns it
    // and starts afresh.
    ::testing::AssertionResult WaitFor(const std::string& needle, int timeoutMs = 10000);
    // Reads whatever arrives within `ms`.
    void Drain(int ms = 100);
    ::testing::AssertionResult WaitClosed(int timeoutMs = 5000);
    // Sends a request block with one keyword line; returns the keyword lines of every block
    // that arrived once `until` has.
    std::vector<std::string> Ask(const std::string& keyword, const std::string& value = {},
                                 const std::string& until = "<end>\r\n");
    const std::string& Received() const { return m_received; }
    std::string Take() { return std::exchange(m_received, {}); }

private:
    bool ReadUntil(const std::function<bool()>& done, int timeoutMs);
    QTcpSocket m_socket;
    std::string m_received;
};

// A request block as the client sends it.
inline std::string Request(const std::string& keyword, const std::string& value = {}) {
    return "\x01<begin>\n<" + keyword + ">" + (value.empty() ? "" : " " + value) + "\n<end>\n";
}

// Keyword lines of every block in the stream, "keyword|value" each, in order.
std::vector<std::string> BlockLines(const std::string& stream);

inline bool Has(const std::vector<std::string>& lines, const std::string& line) {
    return std::find(lines.begin(), lines.end(), line) != lines.end();
}

// Logs in and waits until the room has been entered; what arrived so far is dropped.
std::unique_ptr<RawClient> LoggedIn(const ServerProcess& server, const std::string& name,
                                    const std::string& room = {});

// A test with its own open server.
class ServerTest : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(server.Ok()); }
    ServerProcess server;
};
