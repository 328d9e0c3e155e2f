#include "chatserver.h"

#include <QElapsedTimer>
#include <QRegularExpression>

#include <regex>

ServerProcess::ServerProcess(const QStringList& extra, bool open) {
    const QString bin = qEnvironmentVariable("KIVRA_BIN_DIR") + "/kivra-server";
    QStringList args{"--port", "0", "--http-port", "0", "--ticker-seconds", "0"};
    if (open)
        args += "--open";
    args += extra;
    m_process.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    m_process.start(bin, args);
    if (!m_process.waitForStarted(5000))
        return;
    QElapsedTimer t;
    t.start();
    while (!m_process.canReadLine() && t.elapsed() < 10000)
        m_process.waitForReadyRead(200);
    const QString line = QString::fromUtf8(m_process.readLine());
    const auto m = QRegularExpression("chat=(\\d+)\\S* http=(-?\\d+)").match(line);
    if (m.hasMatch()) {
        m_chatPort = static_cast<quint16>(m.captured(1).toUInt());
        m_httpPort = static_cast<quint16>(m.captured(2).toUInt());
    }
}

ServerProcess::~ServerProcess() {
    m_process.terminate();
    if (!m_process.waitForFinished(3000))
        m_process.kill();
    m_process.waitForFinished(3000);
}

int ServerProcess::Http(const QByteArray& method, const QByteArray& path, QByteArray& body) {
    QTcpSocket s;
    s.connectToHost("127.0.0.1", m_httpPort);
    if (!s.waitForConnected(3000))
        return 0;
    s.write(method + " " + path + " HTTP/1.1\r\nHost: 127.0.0.1\r\nContent-Length: " +
            QByteArray::number(body.size()) + "\r\n\r\n" + body);
    QByteArray all;
    QElapsedTimer t;
    t.start();
    while (t.elapsed() < 5000) {
        s.waitForReadyRead(100);
        all += s.readAll();
        const int end = all.indexOf("\r\n\r\n");
        if (end < 0)
            continue;
        const QString headers = QString::fromLatin1(all.left(end));
        const auto m = QRegularExpression("(?i)content-length:\\s*(\\d+)").match(headers);
        if (m.hasMatch() && all.size() - end - 4 >= m.captured(1).toInt()) {
            body = all.mid(end + 4, m.captured(1).toInt());
            return headers.section(' ', 1, 1).toInt();
        }
    }
    return 0;
}

::testing::AssertionResult ServerProcess::Printed(const QByteArray& text, int times,
                                                  int timeoutMs) {
    QElapsedTimer t;
    t.start();
    while (m_output.count(text) < times && t.elapsed() < timeoutMs) {
        m_process.waitForReadyRead(50);
        m_output += m_process.readAllStandardOutput();
    }
    if (m_output.count(text) >= times)
        return ::testing::AssertionSuccess();
    return ::testing::AssertionFailure() << "the server printed \"" << text.toStdString() << "\" "
                                         << m_output.count(text) << " times:\n"
                                         << m_output.toStdString();
}

RawClient::RawClient(quint16 port, const QString& host) {
    m_socket.connectToHost(host, port);
    m_socket.waitForConnected(3000);
}

void RawClient::Send(const std::string& bytes) {
    m_socket.write(bytes.data(), static_cast<qint64>(bytes.size()));
    m_socket.waitForBytesWritten(3000);
}

void RawClient::Login(const std::string& name, const std::string& password, const std::string& room,
                      const std::string& cookie) {
    const std::string who =
        cookie.empty() ? "<username> " + name + "\n<password> " + password : "<cookie> " + cookie;
    Send(std::string("\xFF\xFE\x01\xFF\xFD\x03\xFF\xFC\x18", 9) + "\x01<begin>\n" + who +
         "\n<clientversion> 5.0.0.203\n" + (room.empty() ? "" : "<room> " + room + "\n") +
         "<end>\n");
}

// Reads until `done` or the time is up; returns `done()`.
bool RawClient::ReadUntil(const std::function<bool()>& done, int timeoutMs) {
    QElapsedTimer t;
    t.start();
    while (!done() && t.elapsed() <= timeoutMs) {
        if (m_socket.bytesAvailable() == 0)
            m_socket.waitForReadyRead(20);
        m_received += m_socket.readAll().toStdString();
    }
    return done();
}

::testing::AssertionResult RawClient::WaitFor(const std::string& needle, int timeoutMs) {
    if (ReadUntil([&] { return m_received.find(needle) != std::string::npos; }, timeoutMs))
        return ::testing::AssertionSuccess();
    return ::testing::AssertionFailure() << "no \"" << needle << "\" in:\n" << m_received;
}

void RawClient::Drain(int ms) {
    ReadUntil([] { return false; }, ms);
}

::testing::AssertionResult RawClient::WaitClosed(int timeoutMs) {
    if (ReadUntil([&] { return m_socket.state() == QAbstractSocket::UnconnectedState; }, timeoutMs))
        return ::testing::AssertionSuccess();
    return ::testing::AssertionFailure() << "still connected after:\n" << m_received;
}

std::vector<std::string> RawClient::Ask(const std::string& keyword, const std::string& value,
                                        const std::string& until) {
    Send(Request(keyword, value));
    if (const auto answered = WaitFor(until); !answered) {
        ADD_FAILURE() << keyword << ": " << answered.message();
        return {"(no answer)"};
    }
    return BlockLines(Take());
}

std::unique_ptr<RawClient> LoggedIn(const ServerProcess& server, const std::string& name,
                                    const std::string& room) {
    auto c = std::make_unique<RawClient>(server.ChatPort());
    c->Login(name, "pw", room);
    // The room description ends with the exits line.
    EXPECT_TRUE(c->WaitFor("Exits: ")) << name;
    c->Drain();
    c->Take();
    return c;
}

std::vector<std::string> BlockLines(const std::string& stream) {
    static const std::regex block("\x01<begin>\r?\n([\\s\\S]*?)<end>"),
        line("(?:^|\n)<([^>]*)> *([^\r\n]*)");
    std::vector<std::string> out;
    for (std::sregex_iterator b(stream.begin(), stream.end(), block), end; b != end; ++b) {
        const std::string body = (*b)[1];
        for (std::sregex_iterator l(body.begin(), body.end(), line); l != end; ++l)
            out.push_back((*l)[1].str() + "|" + (*l)[2].str());
    }
    return out;
}
