#pragma once
// The kivra program as a process: the fixture that runs it with a private registry and data
// folder, and the helpers the process tests share.

#include <QElapsedTimer>
#include <QProcess>
#include <QProcessEnvironment>
#include <QRegularExpression>
#include <QTcpSocket>
#include <QTemporaryDir>
#include <QThread>
#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>

namespace {

const char kClsid[] = "EAF7BB83-42E7-4CE7-AF3B-06FEC4E951A4";

inline std::string Slurp(const std::filesystem::path& p) {
    std::ifstream in(p, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

template <typename F> bool WaitFor(F done, int ms = 10000) {
    QElapsedTimer t;
    t.start();
    while (!done() && t.elapsed() < ms)
        QThread::msleep(50);
    return done();
}

// kivra-server on loopback with the given options; killed when the object goes.
struct Server {
    QProcess process;
    QString chat, http; // the ports it reports ("" for a switched-off HTTP port)

    Server(const QString& program, const QStringList& options) {
        process.start(program + "-server",
                      QStringList{"--open", "--port", "0", "--ticker-seconds", "0"} + options);
        if (process.waitForReadyRead(5000)) {
            const auto m =
                QRegularExpression("chat=(\\d+)(?: http=(\\d+))?").match(process.readLine());
            chat = m.captured(1);
            http = m.captured(2);
        }
    }
    ~Server() {
        process.kill();
        process.waitForFinished(3000);
    }
};

// A headless kivra whose two streams are collected as they come.
struct Client {
    QProcess process;
    QByteArray out, err;

    void Send(const QByteArray& lines) {
        process.write(lines);
        process.waitForBytesWritten(5000);
    }
    // Waits until `stream` (out or err) holds `text` at or after `from`.
    bool Shows(const QByteArray& stream, const QByteArray& text, int from = 0, int ms = 10000) {
        return WaitFor(
            [&] {
                process.waitForReadyRead(50);
                out += process.readAllStandardOutput();
                err += process.readAllStandardError();
                return stream.indexOf(text, from) >= 0;
            },
            ms);
    }
    std::string Log() const { return (out + err).toStdString(); }
    // Asks for the user list until a dump holds `line` (with `absent`, until none does).
    bool Lists(const QByteArray& line, bool absent = false) {
        return WaitFor([&] {
            err.clear();
            Send("!dump users\n");
            Shows(err, "[end users]");
            return err.split('\n').contains(line) != absent;
        });
    }
    bool Quit() {
        Send("!quit\n");
        return process.waitForFinished(10000) && process.exitCode() == 0;
    }
    ~Client() {
        if (process.state() != QProcess::NotRunning) {
            process.kill();
            process.waitForFinished(3000);
        }
    }
};

// Another user of the chat server on a plain connection, logged in the way a client does.
struct Peer {
    QTcpSocket socket;
    QByteArray seen;

    bool Login(const QString& host, const QString& port, const QByteArray& name,
               const QByteArray& then = {}) {
        socket.connectToHost(host, port.toUShort());
        if (!socket.waitForConnected(5000))
            return false;
        socket.write(QByteArray("\xFF\xFE\x01\xFF\xFD\x03\xFF\xFC\x18", 9) +
                     "\x01<begin>\n<username> " + name +
                     "\n<password> pw\n<clientversion> 5.0.0.203\n<end>\n" + then);
        return socket.waitForBytesWritten(5000);
    }
    bool Sees(const QByteArray& text) {
        return WaitFor([&] {
            socket.waitForReadyRead(50);
            return (seen += socket.readAll()).contains(text);
        });
    }
    void Say(const QByteArray& line) {
        socket.write(line);
        socket.waitForBytesWritten(5000);
    }
};

struct RunResult {
    int status = -1;
    QString out;
    QString err;
};

class HostProcess : public testing::Test {
protected:
    void SetUp() override {
        const char* bin = std::getenv("KIVRA_BIN_DIR");
        if (bin == nullptr)
            GTEST_SKIP() << "KIVRA_BIN_DIR is not set";
        program = QString::fromLocal8Bit(bin) + "/kivra";
    }

    // A page file; `params` inside an <object> of `clsid` unless `clsid` is empty.
    QString Page(const std::string& params, const std::string& clsid = kClsid,
                 const char* name = "page.html") {
        const QString path = dir.path() + "/" + name;
        std::ofstream(path.toStdString())
            << (clsid.empty() ? params
                              : "<object classid=\"clsid:" + clsid + "\">" + params + "</object>");
        return path;
    }

    void Prepare(QProcess& p) {
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert("KIVRA_REGISTRY_DIR", dir.path() + "/registry");
        env.insert("XDG_DATA_HOME", dir.path() + "/data");
        env.insert("QT_QPA_PLATFORM", "offscreen");
        p.setProcessEnvironment(env);
    }

    RunResult Start(const QStringList& args, const QByteArray& input = {},
                    const QString& exe = {}) {
        QProcess p;
        Prepare(p);
        p.start(exe.isEmpty() ? program : exe, args);
        EXPECT_TRUE(p.waitForStarted());
        if (!input.isEmpty())
            p.write(input);
        p.closeWriteChannel();
        EXPECT_TRUE(p.waitForFinished(30000));
        return {p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1,
                QString::fromLocal8Bit(p.readAllStandardOutput()),
                QString::fromLocal8Bit(p.readAllStandardError())};
    }

    std::string Hive(const char* root) const {
        return Slurp((dir.path() + "/registry/" + root + ".reg").toStdString());
    }
    void Run(Client& client, const QStringList& args, const QString& exe = {}) {
        Prepare(client.process);
        client.process.start(exe.isEmpty() ? program : exe, args);
    }

    // Starts `client` logged in as `name` on the loopback chat server at `port`; later PARAMs
    // win, and a `runner` (a command and its arguments) runs kivra under it.
    void Login(Client& client, const QString& port, const QString& name,
               const QStringList& params = {}, QStringList runner = {}) {
        QStringList args{"--headless",       "--param",      "SERVER=127.0.0.1",
                         "--param",          "PORT=" + port, "--param",
                         "USERNAME=" + name, "--param",      "PASSWORD=pw"};
        for (const QString& p : params)
            args << "--param" << p;
        if (runner.isEmpty())
            return Run(client, args);
        const QString command = runner.takeFirst();
        Run(client, runner + QStringList{program} + args, command);
    }

    static QString Value(const QString& out, const QString& name) {
        const auto m =
            QRegularExpression("^" + name + "=(.*)$", QRegularExpression::MultilineOption)
                .match(out);
        return m.hasMatch() ? m.captured(1) : "<missing>";
    }

    QTemporaryDir dir;
    QString program;
};

} // namespace
