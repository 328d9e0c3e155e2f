// kivra --headless against a running kivra-server: it logs in, shows what another user says, and
// what is typed on its standard input goes out as speech.

#include <QElapsedTimer>
#include <QProcess>
#include <QProcessEnvironment>
#include <QRegularExpression>
#include <QTcpSocket>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace {

class EndToEnd : public testing::Test {
protected:
    void SetUp() override {
        const char* bin = std::getenv("KIVRA_BIN_DIR");
        if (bin == nullptr)
            GTEST_SKIP() << "KIVRA_BIN_DIR is not set";
        binDir = QString::fromLocal8Bit(bin);
        server.setProgram(binDir + "/kivra-server");
        server.setArguments({"--open", "--port", "0", "--http-port", "-1", "--bind", "127.0.0.1",
                             "--ticker-seconds", "0"});
        server.start();
        ASSERT_TRUE(server.waitForStarted(5000));
        ASSERT_TRUE(server.waitForReadyRead(5000));
        const auto m = QRegularExpression("chat=(\\d+)").match(server.readLine());
        ASSERT_TRUE(m.hasMatch()) << "kivra-server did not name its port";
        port = m.captured(1).toUShort();
    }
    void TearDown() override {
        if (client.state() != QProcess::NotRunning) {
            client.kill();
            client.waitForFinished(3000);
        }
        server.kill();
        server.waitForFinished(3000);
    }

    void StartClient(const QString& name) {
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert("KIVRA_REGISTRY_DIR", dir.path() + "/registry");
        env.insert("XDG_DATA_HOME", dir.path() + "/data");
        env.insert("QT_QPA_PLATFORM", "offscreen");
        client.setProcessEnvironment(env);
        client.start(binDir + "/kivra", {"--headless", "--param", "SERVER=127.0.0.1", "--param",
                                         "PORT=" + QString::number(port), "--param",
                                         "USERNAME=" + name, "--param", "PASSWORD=pw"});
        ASSERT_TRUE(client.waitForStarted(5000));
    }

    // Collects the client's standard output until `text` shows, or gives up after `ms`.
    bool ClientShows(const QString& text, int ms = 10000) {
        QElapsedTimer t;
        t.start();
        while (!clientOut.contains(text) && t.elapsed() < ms) {
            client.waitForReadyRead(100);
            clientOut += QString::fromLocal8Bit(client.readAllStandardOutput());
            clientErr += QString::fromLocal8Bit(client.readAllStandardError());
        }
        return clientOut.contains(text);
    }

    static bool SocketShows(QTcpSocket& s, QByteArray& seen, const QByteArray& text,
                            int ms = 10000) {
        QElapsedTimer t;
        t.start();
        while (!seen.contains(text) && t.elapsed() < ms) {
            s.waitForReadyRead(100);
            seen += s.readAll();
        }
        return seen.contains(text);
    }

    QTemporaryDir dir;
    QString binDir;
    QProcess server, client;
    quint16 port = 0;
    QString clientOut, clientErr;
};

TEST_F(EndToEnd, HeadlessClientLogsInHearsOthersAndSpeaks) {
    StartClient("Ann");
    ASSERT_TRUE(ClientShows("Connected")) << clientOut.toStdString() << clientErr.toStdString();
    EXPECT_TRUE(clientOut.contains("Connecting to host 127.0.0.1 ..."));
    // Into the default room with its description and exits.
    ASSERT_TRUE(ClientShows("Exits: ")) << clientOut.toStdString();
    EXPECT_FALSE(clientErr.contains("[box]")) << clientErr.toStdString();

    // A second user on a plain connection, in the same room.
    QTcpSocket bob;
    bob.connectToHost("127.0.0.1", port);
    ASSERT_TRUE(bob.waitForConnected(5000));
    bob.write(QByteArray("\xFF\xFE\x01\xFF\xFD\x03\xFF\xFC\x18", 9) +
              "\x01<begin>\n<username> Bob\n<password> pw\n<clientversion> 5.0.0.203\n<end>\n");
    QByteArray bobSeen;
    ASSERT_TRUE(SocketShows(bob, bobSeen, "Exits: ")) << bobSeen.toStdString();
    ASSERT_TRUE(ClientShows("Bob")) << "Ann is told that Bob came in";

    bob.write("say the kettle is on\r\n");
    ASSERT_TRUE(bob.waitForBytesWritten(5000));
    ASSERT_TRUE(ClientShows("the kettle is on")) << clientOut.toStdString();
    // Shown as one line naming Bob, without the wire's escapes or markers.
    QString line;
    for (const QString& l : clientOut.split('\n'))
        if (l.contains("the kettle is on"))
            line = l;
    EXPECT_TRUE(line.contains("Bob")) << line.toStdString();
    EXPECT_FALSE(clientOut.contains('\x1b')) << "escapes reached the terminal";

    // What is typed goes out as Ann's speech, byte for byte in the wire's code page (0x80 is
    // the euro sign), and Bob hears it.
    client.write("two sugars, \x80 1 please\n");
    ASSERT_TRUE(client.waitForBytesWritten(5000));
    ASSERT_TRUE(SocketShows(bob, bobSeen, "two sugars, \x80 1 please")) << bobSeen.toStdString();
    EXPECT_TRUE(ClientShows("two sugars")) << "Ann sees her own words";

    client.write("!quit\n");
    client.waitForBytesWritten(5000);
    EXPECT_TRUE(client.waitForFinished(10000));
    EXPECT_EQ(client.exitCode(), 0);
}

} // namespace
