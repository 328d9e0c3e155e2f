// The kivra program end to end: pages, PARAMs, bad input and the headless contract.

#include <QProcess>
#include <QProcessEnvironment>
#include <QTemporaryDir>
#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <sstream>

namespace {

const char kClsid[] = "EAF7BB83-42E7-4CE7-AF3B-06FEC4E951A4";

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

    QString WritePage(const std::string& body, const char* name = "page.html") {
        const QString path = dir.path() + "/" + name;
        std::ofstream(path.toStdString()) << body;
        return path;
    }
    QString ObjectPage(const std::string& params, const std::string& clsid = kClsid,
                       const char* name = "page.html") {
        return WritePage("<html><body><object classid=\"clsid:" + clsid + "\">" + params +
                             "</object></body></html>",
                         name);
    }

    RunResult Start(const QStringList& args, const QByteArray& input = {}, int waitMs = 30000) {
        QProcess p;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert("KIVRA_REGISTRY_DIR", dir.path() + "/registry");
        env.insert("XDG_DATA_HOME", dir.path() + "/data");
        env.insert("QT_QPA_PLATFORM", "offscreen");
        p.setProcessEnvironment(env);
        p.start(program, args);
        EXPECT_TRUE(p.waitForStarted());
        if (!input.isEmpty())
            p.write(input);
        p.closeWriteChannel();
        EXPECT_TRUE(p.waitForFinished(waitMs));
        return {p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1,
                QString::fromLocal8Bit(p.readAllStandardOutput()),
                QString::fromLocal8Bit(p.readAllStandardError())};
    }

    static QString Value(const QString& out, const QString& name) {
        for (const QString& line : out.split('\n')) {
            if (line.startsWith(name + "="))
                return line.mid(name.size() + 1);
        }
        return "<missing>";
    }

    QTemporaryDir dir;
    QString program;
};

} // namespace

TEST_F(HostProcess, PrintParamsFromAPageAndOverrides) {
    const QString page = ObjectPage(R"(<param name="server" value="127.0.0.1">
        <PARAM NAME="PORT" VALUE="7000">
        <param name="UserName" value="Ann Lee">
        <param name="DISABLEFILEXFER" value="true">
        <param name="PWREQUIRED" value="0">
        <param name="TICKERTEXT" value="0">)");
    const RunResult r = Start({"--print-params", "--page", page, "--param", "room=Lobby", "--param",
                               "DisableWhois=-1", "--param", "pwrequired=TRUE"});
    ASSERT_EQ(r.status, 0) << r.err.toStdString();
    const QStringList lines = r.out.split('\n', Qt::SkipEmptyParts);
    ASSERT_EQ(lines.size(), 28);
    EXPECT_EQ(lines[0], "TITLE=");
    EXPECT_EQ(lines[2], "SERVER=127.0.0.1");
    EXPECT_EQ(lines[26], "DISABLEPRIVATEMSG=FALSE");
    EXPECT_EQ(lines[27], "STANDALONE=FALSE");
    EXPECT_EQ(Value(r.out, "USERNAME"), "Ann Lee");
    EXPECT_EQ(Value(r.out, "ROOM"), "Lobby");
    EXPECT_EQ(Value(r.out, "TICKERTEXT"), "0");
    EXPECT_EQ(Value(r.out, "POLLING"), "0");
    EXPECT_EQ(Value(r.out, "DISABLEFILEXFER"), "TRUE");
    EXPECT_EQ(Value(r.out, "DISABLEWHOIS"), "TRUE");
    EXPECT_EQ(Value(r.out, "PWREQUIRED"), "TRUE");
    EXPECT_EQ(Value(r.out, "CONNECTONSTARTUP"), "TRUE");
    EXPECT_TRUE(r.err.isEmpty()) << r.err.toStdString();

    // The first run registered the bundled module under its own path.
    std::ifstream hive((dir.path() + "/registry/HKEY_CLASSES_ROOT.reg").toStdString());
    std::stringstream text;
    text << hive.rdbuf();
    EXPECT_NE(text.str().find("libmskivra50.so"), std::string::npos);
    EXPECT_NE(text.str().find("mskivra50.razar.1"), std::string::npos);
}

TEST_F(HostProcess, ByProgIdAndAPageLackingUserName) {
    const RunResult byProgId =
        Start({"--print-params", "--param", "SERVER=h", "--param", "PORT=1"});
    ASSERT_EQ(byProgId.status, 0) << byProgId.err.toStdString();
    EXPECT_EQ(Value(byProgId.out, "SERVER"), "");
    EXPECT_EQ(Value(byProgId.out, "PORT"), "");
    EXPECT_EQ(Value(byProgId.out, "USERNAME"), "");
    EXPECT_EQ(Value(byProgId.out, "CONNECTONSTARTUP"), "FALSE");
}

TEST_F(HostProcess, BadInputGivesOneLineAndStatusTwo) {
    const QString noObject = WritePage("<html><body>nothing</body></html>", "none.html");
    const QString unknown = ObjectPage("", "01234567-89AB-CDEF-0123-456789ABCDEF", "unknown.html");
    const QString junkId = WritePage("<object classid=\"clsid:not-a-guid\"></object>", "junk.html");
    const QString good = ObjectPage("<param name=SERVER value=h>");
    const std::vector<std::pair<QStringList, const char*>> cases = {
        {{"--print-params", "--page", noObject}, "no <object>"},
        {{"--print-params", "--page", unknown}, "not registered"},
        {{"--print-params", "--page", junkId}, "names no CLSID"},
        {{"--print-params", "--page", dir.path() + "/missing.html"}, "cannot read the page"},
        {{"--print-params", "--page", good, "--param", "NOEQUALS"}, "malformed --param"},
        {{"--print-params", "--param", "=x"}, "malformed --param"},
        {{"--print-params", "--page"}, "needs a file"},
        {{"--frobnicate"}, "unknown option"},
    };
    for (const auto& [args, why] : cases) {
        const RunResult r = Start(args);
        EXPECT_EQ(r.status, 2) << args.join(' ').toStdString();
        EXPECT_TRUE(r.out.isEmpty());
        EXPECT_EQ(r.err.count('\n'), 1) << r.err.toStdString();
        EXPECT_TRUE(r.err.startsWith("kivra: ")) << r.err.toStdString();
        EXPECT_TRUE(r.err.contains(why)) << why << ": " << r.err.toStdString();
    }
}

TEST_F(HostProcess, UnreadableHiveIsRefused) {
    std::filesystem::create_directories(
        (dir.path() + "/registry/HKEY_CURRENT_USER.reg").toStdString());
    const RunResult r = Start({"--print-params"});
    EXPECT_EQ(r.status, 2);
    EXPECT_EQ(r.err.count('\n'), 1) << r.err.toStdString();
    EXPECT_TRUE(r.err.contains("cannot read the registry hive")) << r.err.toStdString();
}

TEST_F(HostProcess, ModuleThatDoesNotLoad) {
    // Registered first, then the registry pointed at a file that is no module.
    ASSERT_EQ(Start({"--print-params"}).status, 0);
    const QString fake = dir.path() + "/libfake.so";
    std::ofstream(fake.toStdString()) << "not an ELF file";
    const QString page = ObjectPage("", "01234567-89AB-CDEF-0123-456789ABCDEF");
    // A class whose InprocServer32 names that file, added to the hive as a hand edit would.
    std::ofstream hive((dir.path() + "/registry/HKEY_CLASSES_ROOT.reg").toStdString(),
                       std::ios::app);
    hive << "\n[HKEY_CLASSES_ROOT\\CLSID\\{01234567-89AB-CDEF-0123-456789ABCDEF}\\InprocServer32]\n"
            "@=\""
         << fake.toStdString() << "\"\n";
    hive.close();
    const RunResult r = Start({"--print-params", "--page", page});
    EXPECT_EQ(r.status, 2);
    EXPECT_TRUE(r.err.contains("cannot load the module")) << r.err.toStdString();
    EXPECT_EQ(r.err.count('\n'), 1) << r.err.toStdString();
}

TEST_F(HostProcess, HeadlessRunsCommandsAndAnswersBoxes) {
    const QString page = ObjectPage("<param name=SERVER value=127.0.0.1><param name=PORT "
                                    "value=9><param name=USERNAME value=Ann>");
    const RunResult r = Start({"--headless", "--quit-on-eof", "--page", page},
                              "!command 109\n!command 129\n!command 130\n!bogus\n");
    EXPECT_EQ(r.status, 0) << r.err.toStdString();
    EXPECT_TRUE(r.err.contains("[navigate] kivrahelpdisplay https://")) << r.err.toStdString();
    EXPECT_TRUE(r.err.contains("[box] Not Connected: No current connection.\n"))
        << r.err.toStdString();
    EXPECT_TRUE(r.err.contains("kivra: unknown command !bogus")) << r.err.toStdString();

    const RunResult quit = Start({"--headless", "--page", page}, "!quit\nignored after quit\n");
    EXPECT_EQ(quit.status, 0) << quit.err.toStdString();
    EXPECT_FALSE(quit.err.contains("input line")) << quit.err.toStdString();
}

TEST_F(HostProcess, HeadlessEndsOnSigterm) {
    QProcess p;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("KIVRA_REGISTRY_DIR", dir.path() + "/registry");
    env.insert("XDG_DATA_HOME", dir.path() + "/data");
    p.setProcessEnvironment(env);
    p.start(program, {"--headless", "--param", "SERVER=127.0.0.1"});
    ASSERT_TRUE(p.waitForStarted());
    // Still running after a moment: without --quit-on-eof the end of input does not stop it.
    p.closeWriteChannel();
    EXPECT_FALSE(p.waitForFinished(1500));
    p.terminate();
    ASSERT_TRUE(p.waitForFinished(10000));
    EXPECT_EQ(p.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(p.exitCode(), 0);
}
