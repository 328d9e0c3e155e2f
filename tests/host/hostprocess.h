#pragma once
// The kivra program as a process: the fixture that runs it with a private registry and data
// folder, and the helpers the process tests share.

#include <QElapsedTimer>
#include <QProcess>
#include <QProcessEnvironment>
#include <QRegularExpression>
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
