#pragma once

#include <QByteArray>
#include <QProcess>
#include <QStringList>
#include <QTcpSocket>

#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <memory>
#include <string>
#include <vector>

// A kivra-server process started for one test, on loopback ports it picks itself.
class ServerProcess {
public:
    explicit ServerProcess(QStringList extra = {"--open"});
    ~ServerProcess();
    bool Ok() const { return m_chatPort != 0; }
    quint16 ChatPort() const { return m_chatPort; }
    quint16 HttpPort() const { return m_httpPort; }
    bool Running() const { return m_process.state() == QProcess::Running; }

    // One POST to the tunnel page; returns the answer body ("" on failure).
    QByteArray Post(const QByteArray& path, const QByteArray& body);
    // One GET; returns status code and body.
    int Get(const QByteArray& path, QByteArray& body);

private:
    QProcess m_process;
    quint16 m_chatPort = 0;
    quint16 m_httpPort = 0;
};

// A chat client that speaks raw bytes, as a test needs to see them.
class RawClient {
public:
    explicit RawClient(quint16 port);
    bool Connected() const { return m_socket.state() == QAbstractSocket::ConnectedState; }
    void Send(const std::string& bytes);
    // The telnet bytes and one of the four login block forms.
    void Login(const std::string& name, const std::string& password, const std::string& room = {},
               const std::string& cookie = {});
    // Reads until `needle` has arrived (true) or the timeout passes (false). Everything read
    // stays in Received(); Take() returns it and starts afresh.
    bool WaitFor(const std::string& needle, int timeoutMs = 5000);
    // Reads whatever arrives within `ms`.
    void Drain(int ms = 200);
    // True when the server closed the connection within the timeout.
    bool WaitClosed(int timeoutMs = 5000);
    // Sends a request block with one keyword line; returns the keyword lines of every block
    // that arrived once `until` has.
    std::vector<std::string> Ask(const std::string& keyword, const std::string& value = {},
                                 const std::string& until = "<end>\r\n");
    const std::string& Received() const { return m_received; }
    std::string Take();

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

// Logs in and waits until the room has been entered.
std::unique_ptr<RawClient> LoggedIn(const ServerProcess& server, const std::string& name,
                                    const std::string& room = {});

// A test with its own open server.
class ServerTest : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(server.Ok()); }
    ServerProcess server;
};
