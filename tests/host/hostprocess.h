#pragma once
// The kivra program as a process: the fixture that runs it with a private registry and data
// folder, and the helpers the process tests share. Servers and other users are chatserver.h's.

#include "chatserver.h"
#include "tempdir.h"

#include <QElapsedTimer>
#include <QProcess>
#include <QProcessEnvironment>
#include <QTemporaryDir>
#include <QThread>
#include <gtest/gtest.h>

namespace {

template <typename F> bool WaitFor(F done, int ms = 10000) {
    QElapsedTimer t;
    t.start();
    while (!done() && t.elapsed() < ms)
        QThread::msleep(50);
    return done();
}

// A headless kivra whose two streams are collected as they come.
struct Client {
    QProcess process;
    QByteArray out, err;

    void Send(const QByteArray& lines) {
        process.write(lines);
        process.waitForBytesWritten(5000);
    }
    // Waits until `stream` (out or err) holds `text` at or after `from`.
    testing::AssertionResult Shows(const QByteArray& stream, const QByteArray& text, int from = 0,
                                   int ms = 10000) {
        QElapsedTimer t;
        t.start();
        while (stream.indexOf(text, from) < 0 && t.elapsed() < ms) {
            process.waitForReadyRead(50);
            out += process.readAllStandardOutput();
            err += process.readAllStandardError();
        }
        if (stream.indexOf(text, from) >= 0)
            return testing::AssertionSuccess();
        return testing::AssertionFailure() << "no \"" << text.toStdString() << "\" in:\n"
                                           << stream.toStdString();
    }
    std::string Log() const { return (out + err).toStdString(); }
    // Asks for the user list until a dump holds `line` (with `absent`, until none does).
    testing::AssertionResult Lists(const QByteArray& line, bool absent = false) {
        if (WaitFor([&] {
                err.clear();
                Send("!dump users\n");
                Shows(err, "[end users]");
                return err.split('\n').contains(line) != absent;
            }))
            return testing::AssertionSuccess();
        return testing::AssertionFailure() << "user list:\n" << err.toStdString();
    }
    testing::AssertionResult Quit() {
        Send("!quit\n");
        if (process.waitForFinished(10000) && process.exitCode() == 0)
            return testing::AssertionSuccess();
        return testing::AssertionFailure() << "no clean quit:\n" << Log();
    }
    ~Client() {
        if (process.state() != QProcess::NotRunning) {
            process.kill();
            process.waitForFinished(3000);
        }
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
    QString Page(const std::string& params,
                 const std::string& clsid = "EAF7BB83-42E7-4CE7-AF3B-06FEC4E951A4",
                 const char* name = "page.html") {
        const QString path = dir.path() + "/" + name;
        WriteAll(path.toStdString(),
                 clsid.empty() ? params
                               : "<object classid=\"clsid:" + clsid + "\">" + params + "</object>");
        return path;
    }

    RunResult Start(const QStringList& args, const QByteArray& input = {},
                    const QString& exe = {}) {
        Client c;
        Run(c, args, exe);
        EXPECT_TRUE(c.process.waitForStarted());
        c.process.write(input);
        c.process.closeWriteChannel();
        EXPECT_TRUE(c.process.waitForFinished(30000));
        return {c.process.exitStatus() == QProcess::NormalExit ? c.process.exitCode() : -1,
                QString::fromLocal8Bit(c.process.readAllStandardOutput()),
                QString::fromLocal8Bit(c.process.readAllStandardError())};
    }

    std::string Hive(const char* root) const {
        return ReadAll((dir.path() + "/registry/" + root + ".reg").toStdString());
    }
    // kivra with a private registry and data folder.
    void Run(Client& client, const QStringList& args, const QString& exe = {}) {
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert("KIVRA_REGISTRY_DIR", dir.path() + "/registry");
        env.insert("XDG_DATA_HOME", dir.path() + "/data");
        env.insert("QT_QPA_PLATFORM", "offscreen");
        client.process.setProcessEnvironment(env);
        client.process.start(exe.isEmpty() ? program : exe, args);
    }

    // Starts `client` logged in as `name` on the loopback chat server at `port`; later PARAMs
    // win, and a `runner` (a command and its arguments) runs kivra under it.
    void Login(Client& client, quint16 port, const QString& name, const QStringList& params = {},
               QStringList runner = {}) {
        QStringList args{"--headless"};
        for (const QString& p : QStringList{"SERVER=127.0.0.1", "PORT=" + QString::number(port),
                                            "USERNAME=" + name, "PASSWORD=pw"} +
                                    params)
            args << "--param" << p;
        if (runner.isEmpty())
            return Run(client, args);
        const QString command = runner.takeFirst();
        Run(client, runner + QStringList{program} + args, command);
    }

    QTemporaryDir dir;
    QString program;
};

} // namespace
