// The kivra program end to end: pages, PARAMs, bad input, signals, the demo server's lifetime and
// the installed tree.

#include "gifwriter.h"
#include "hostprocess.h"

#include <QDir>
#include <QFile>
#include <QRegularExpression>
#include <csignal>
#include <cstring>
#include <sstream>
#include <unistd.h>

namespace fs = std::filesystem;

namespace {

// The demo server among the children of `parent`'s main thread, which starts it, once it listens:
// it then holds two sockets (chat and HTTP). 0 before.
pid_t ListeningServer(qint64 parent) {
    const std::string task = "/proc/" + std::to_string(parent) + "/task/";
    std::istringstream children(ReadAll(task + std::to_string(parent) + "/children"));
    for (pid_t pid = 0; children >> pid;) {
        if (ReadAll("/proc/" + std::to_string(pid) + "/comm") != "kivra-server\n")
            continue;
        int sockets = 0;
        std::error_code ec;
        for (const auto& e : fs::directory_iterator("/proc/" + std::to_string(pid) + "/fd", ec))
            sockets += fs::read_symlink(e.path(), ec).string().starts_with("socket:[");
        return sockets >= 2 ? pid : 0;
    }
    return 0;
}

// A process lives while its state in /proc/PID/stat, after the command name, is not Z: a zombie
// holds nothing, not even its ports.
bool Alive(pid_t pid) {
    const std::string stat = ReadAll("/proc/" + std::to_string(pid) + "/stat");
    const auto state = stat.rfind(')') + 2;
    return state < stat.size() && stat[state] != 'Z';
}

} // namespace

TEST_F(HostProcess, PrintParamsFromAPageAndOverrides) {
    const QString page = Page(R"(<param name="server" value="127.0.0.1">
        <PARAM NAME="PORT" VALUE="7000"><param name="UserName" value="Ann Lee">
        <param name="DISABLEFILEXFER" value="true"><param name="PWREQUIRED" value="0">)");
    const RunResult r = Start({"--print-params", "--page", page, "--param", "room=Lobby", "--param",
                               "DisableWhois=-1", "--param", "pwrequired=TRUE"});
    ASSERT_EQ(r.status, 0) << r.err.toStdString();
    // Every PARAM in exchange order, then STANDALONE as the control answers it; later wins.
    const QStringList lines = r.out.split('\n', Qt::SkipEmptyParts);
    ASSERT_EQ(lines.size(), 28);
    EXPECT_EQ(lines[27], "STANDALONE=FALSE");
    for (const char* line : {"SERVER=127.0.0.1", "USERNAME=Ann Lee", "ROOM=Lobby",
                             "DISABLEFILEXFER=TRUE", "DISABLEWHOIS=TRUE", "PWREQUIRED=TRUE"})
        EXPECT_TRUE(lines.contains(line)) << line << " in\n" << r.out.toStdString();
    EXPECT_TRUE(r.err.isEmpty()) << r.err.toStdString();
}

// --help gives every option a line of its own and says where the headless protocol is described.
TEST_F(HostProcess, HelpExplainsEveryOption) {
    const RunResult r = Start({"--help"});
    EXPECT_EQ(r.status, 0);
    for (const char* option : {"--page FILE", "--param NAME=VALUE", "--print-params", "--headless",
                               "--quit-on-eof", "--demo", "--grab FILE.png", "--grab-menu SUBMENU"})
        EXPECT_EQ(r.out.count(QRegularExpression(QString("\\n  [-, a-z]*%1 +\\S").arg(option))), 1)
            << option << " has no line of its own\n"
            << r.out.toStdString();
    EXPECT_TRUE(r.out.contains("docs/headless.md"));
}

TEST_F(HostProcess, BadInputGivesOneLineAndStatusTwo) {
    const QString noObject = Page("<html><body>nothing</body></html>", "", "none.html");
    const QString unknown = Page("", "01234567-89AB-CDEF-0123-456789ABCDEF", "unknown.html");
    const QString junkId = Page("", "not-a-guid", "junk.html");
    const QString good = Page("<param name=SERVER value=h>");
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
    // Status 2, nothing on standard output, one "kivra: " line saying `why`.
    const auto refused = [&](const QStringList& args, const char* why) {
        const RunResult r = Start(args);
        if (r.status == 2 && r.out.isEmpty() && r.err.count('\n') == 1 &&
            r.err.startsWith("kivra: ") && r.err.contains(why))
            return testing::AssertionSuccess();
        return testing::AssertionFailure() << args.join(' ').toStdString() << ": status "
                                           << r.status << ", " << r.err.toStdString();
    };
    for (const auto& [args, why] : cases)
        EXPECT_TRUE(refused(args, why)) << why;

    // A registry hive that cannot be read, and a registered module that is no module.
    fs::create_directories((dir.path() + "/registry/HKEY_CURRENT_USER.reg").toStdString());
    EXPECT_TRUE(refused({"--print-params"}, "cannot read the registry hive"));
    fs::remove((dir.path() + "/registry/HKEY_CURRENT_USER.reg").toStdString());
    const QString fake = dir.path() + "/libfake.so";
    std::ofstream(fake.toStdString()) << "not an ELF file";
    std::ofstream((dir.path() + "/registry/HKEY_CLASSES_ROOT.reg").toStdString(), std::ios::app)
        << "\n[HKEY_CLASSES_ROOT\\CLSID\\{01234567-89AB-CDEF-0123-456789ABCDEF}\\InprocServer32]\n"
           "@=\""
        << fake.toStdString() << "\"\n";
    EXPECT_TRUE(refused({"--print-params", "--page", unknown}, "cannot load the module"));
}

TEST_F(HostProcess, HeadlessRunsCommandsAndAnswersBoxes) {
    const QString page = Page("<param name=SERVER value=127.0.0.1><param name=PORT "
                              "value=9><param name=USERNAME value=Ann>");
    // The !save path is Windows-1252 like every input line: 0xE9 is "é".
    const RunResult r = Start({"--headless", "--quit-on-eof", "--page", page},
                              "!command 109\n!command 129\n!command 130\n!bogus\n!save " +
                                  dir.path().toLocal8Bit() + "/caf\xE9.txt\n");
    EXPECT_EQ(r.status, 0) << r.err.toStdString();
    for (const char* said :
         {"[navigate] kivrahelpdisplay https://", "[box] Not Connected: No current connection.\n",
          "kivra: unknown command !bogus"})
        EXPECT_TRUE(r.err.contains(said)) << said << " in\n" << r.err.toStdString();
    EXPECT_TRUE(QFile::exists(dir.path() + QString::fromUtf8("/caf\u00e9.txt")))
        << QDir(dir.path()).entryList().join(' ').toStdString();

    const RunResult quit = Start({"--headless", "--page", page}, "!quit\nignored after quit\n");
    EXPECT_EQ(quit.status, 0) << quit.err.toStdString();
    EXPECT_FALSE(quit.err.contains("input line")) << quit.err.toStdString();
}

// Through the tunnel page alone (the chat port unreachable, the tunnel host's name resolved only
// at the proxy): it logs in, shows what another says without the wire's escapes, and what is
// typed goes out as speech, byte for byte in the wire's code page. Every other chat test here
// connects directly.
TEST_F(HostProcess, HeadlessClientLogsInHearsOthersAndSpeaks) {
    ServerProcess server({"--bind", "127.0.0.2"});
    const QString http = QString::number(server.HttpPort());
    Client ann;
    Login(ann, server.ChatPort(), "Ann",
          {"TUNNELMODE=2", "HTTPSERVER=tunnel.invalid", "HTTPPORT=" + http, "TUNNELPREFIX=/",
           "TUNNELPAGE=tunnel", "HTTPPROXY=127.0.0.2:" + http});
    ASSERT_TRUE(ann.Shows(ann.out, "Exits: ")) << ann.Log();
    // The server's first lines may come in while the login is still being sent, so "Connected"
    // may follow them.
    const qsizetype connecting = ann.out.indexOf("Connecting to host 127.0.0.1 ...\n");
    ASSERT_GE(connecting, 0) << ann.out.toStdString();
    EXPECT_TRUE(ann.Shows(ann.out, "\nConnected\n", int(connecting)));
    EXPECT_FALSE(ann.err.contains("[box]")) << ann.err.toStdString();
    EXPECT_TRUE(ann.err.contains("Status Code is 200\n")) << ann.err.toStdString();

    RawClient bob(server.ChatPort(), "127.0.0.2"); // a second user in the same room
    bob.Login("Bob", "pw");
    ASSERT_TRUE(bob.WaitFor("Exits: "));
    ASSERT_TRUE(ann.Shows(ann.out, "Bob")) << "Ann is told that Bob came in";
    bob.Send("say the kettle is on\r\n");
    ASSERT_TRUE(ann.Shows(ann.out, "the kettle is on"));
    const QByteArray& out = ann.out;
    const QByteArray line = out.mid(out.lastIndexOf('\n', out.indexOf("the kettle is on")));
    EXPECT_TRUE(line.left(line.indexOf("the kettle")).contains("Bob")) << line.toStdString();
    EXPECT_FALSE(out.contains('\x1b')) << "escapes reached the terminal";

    ann.Send("two sugars, \x80 1 please\n"); // 0x80 is the euro sign
    ASSERT_TRUE(bob.WaitFor("two sugars, \x80 1 please"));
    EXPECT_TRUE(ann.Shows(ann.out, "two sugars")) << "Ann sees her own words";
    EXPECT_TRUE(ann.Quit());
}

// The follow, watch and ignore marks show once the server has confirmed them; the ignore outlives
// a leave and a login under another spelling; the goto dialog answers through !field.
TEST_F(HostProcess, UserListShowsWhatTheServerConfirmed) {
    ServerProcess server({"--http-port", "-1"});
    Client ann;
    Login(ann, server.ChatPort(), "Ann");
    RawClient bob(server.ChatPort());
    bob.Login("Bob Lee", "pw");
    ASSERT_TRUE(ann.Lists("[user] 0x000 Bob Lee"));
    EXPECT_TRUE(ann.err.startsWith("[user] 0x010 Ann\n")) << ann.err.toStdString();

    ann.Send("!select Bob Lee\n!command 32803\n"); // follow
    ASSERT_TRUE(ann.Lists("[user] 0x002 Bob Lee"));
    ann.Send("!command 32823\n"); // watch
    ASSERT_TRUE(ann.Lists("[user] 0x022 Bob Lee"));
    ann.Send("!command 32776\n"); // ignore
    ASSERT_TRUE(ann.Lists("[user] 0x00a Bob Lee"));

    bob.Send("quit\r\n");
    ASSERT_TRUE(ann.Lists("[user] 0x00a Bob Lee", true));
    EXPECT_FALSE(ann.err.contains("Bob Lee")) << ann.err.toStdString();

    // Back again under another spelling of the name: still ignored, no longer followed.
    RawClient again(server.ChatPort());
    again.Login("bob+lee", "pw");
    ASSERT_TRUE(ann.Lists("[user] 0x008 bob lee"));

    ann.Send("!field 1102=ann\n!answer ok\n!command 140\n");
    EXPECT_TRUE(ann.Shows(ann.err, "[box] Goto Failed: You can't goto yourself"));
    EXPECT_TRUE(ann.Shows(ann.err, "[dialog] Go To User"));
    EXPECT_TRUE(ann.Quit());
}

// The ticker shows the welcome, then the server's messages one after another, and asks for more
// once they have run through; an emotion performed from the list reaches the room.
TEST_F(HostProcess, TickerRunsServerNewsAndEmotionsPerform) {
    ServerProcess server({"--http-port", "-1"});
    Client ann;
    Login(ann, server.ChatPort(), "Ann", {"TICKERTEXT=2"});
    const QByteArray& err = ann.err;
    const QByteArray welcome = "[ticker] Welcome to our chat site!!\n";
    const QByteArray help = "[ticker] Welcome to Kivra: click here for help\n";
    ASSERT_TRUE(ann.Shows(err, welcome, 0, 30000));
    ASSERT_TRUE(ann.Shows(err, help, 0, 30000));
    ASSERT_TRUE(ann.Shows(err, " people are online in ", err.indexOf(help), 30000));
    // The list has run through: the request went out and the news come round again.
    ASSERT_TRUE(ann.Shows(err, help, err.indexOf(" people are online in "), 30000));
    EXPECT_LT(err.indexOf(welcome), err.indexOf(help));
    EXPECT_EQ(err.count(welcome), 1) << err.toStdString();

    auto bob = LoggedIn(server, "Bob");
    ann.Send("!dump emotions\n!perform Laugh\n");
    ASSERT_TRUE(ann.Shows(err, "[end emotions]"));
    EXPECT_TRUE(ann.Shows(err,
                          "[emotion] Smile\n[emotion] Grin\n[emotion] Nod\n[emotion] Bow\n"
                          "[emotion] Shake\n[emotion] Smirk\n[emotion] Laugh\n[end emotions]"));
    // The wire carried "laugh\n": the room hears Ann laugh.
    EXPECT_TRUE(bob->WaitFor("\x1b[1;31mAnn\x1b[0;35m laughs.\x1b[0;m\r\n"));
    EXPECT_TRUE(ann.Quit());
}

// Each client shows the other's tell in its window for the peer, which opens and closes on the
// event stream; the compose dialog leaves the recipient in the registry.
TEST_F(HostProcess, PrivateMessagesTravelBetweenTwoClients) {
    ServerProcess server({"--http-port", "-1"});
    Client ann, bob;
    Login(ann, server.ChatPort(), "Ann");
    Login(bob, server.ChatPort(), "Bob");
    ASSERT_TRUE(ann.Lists("[user] 0x000 Bob"));

    ann.Send("!select Bob\n!command 32775\n!pm Bob hello bob\n");
    EXPECT_TRUE(ann.Shows(ann.err, "[pm-open] Bob\n"));
    EXPECT_TRUE(bob.Shows(bob.out, "[Private: Ann] Ann tells you, \"hello bob\"\n"));
    EXPECT_TRUE(bob.Shows(bob.err, "[pm-open] Ann\n"));
    bob.Send("!pm ann hi ann\n");
    EXPECT_TRUE(ann.Shows(ann.out, "[Private: Bob] Bob tells you, \"hi ann\"\n"));
    EXPECT_TRUE(ann.Shows(ann.out, "[Private: Bob] You tell Bob, \"hello bob\"\n"));
    ann.Send("!dump pm\n");
    EXPECT_TRUE(ann.Shows(ann.err, "[pm] Bob\n[end pm]\n"));

    // With nobody selected the tool button opens the compose dialog.
    ann.Send("!select\n!field 201=Bob\n!field 181=note\n!answer ok\n!command 108\n");
    EXPECT_TRUE(bob.Shows(bob.out, "[Private: Ann] Ann tells you, \"note\"\n"));
    ann.Send("!pmbutton Bob 2\n!dump pm\n");
    EXPECT_TRUE(ann.Shows(ann.err, "[pm-close] Bob\n[end pm]\n"));

    EXPECT_TRUE(ann.Quit());
    EXPECT_TRUE(bob.Quit());
    // The recipient is remembered in the user's hive.
    const std::string hive = Hive("HKEY_CURRENT_USER");
    EXPECT_NE(
        hive.find("[HKEY_CURRENT_USER\\Software\\Kivra\\axkivractrl\\MSKIVRA50\\Priv Msg MRU]\n"
                  "\"MRUCount\"=dword:00000001\n\"MRU000\"=\"Bob\"\n"),
        std::string::npos)
        << hive;
}

// Bob's say carries his avatar tag: the client fetches the picture from the server's HTTP port
// and shows it; with DISABLEAVATARS the client tells the server so and fetches nothing.
TEST_F(HostProcess, AvatarsAreFetchedFromTheServerUnlessDisabled) {
    const QString statics = dir.path() + "/static";
    fs::create_directories((statics + "/avatars").toStdString());
    const giftest::Bytes gif =
        giftest::GifBuilder(7, 5).Image(7, 5, giftest::Bytes(35, 3)).Finish();
    std::ofstream((statics + "/avatars/bob.gif").toStdString(), std::ios::binary)
        .write(reinterpret_cast<const char*>(gif.data()), std::streamsize(gif.size()));

    for (const bool disabled : {false, true}) {
        ServerProcess server({"--static", statics, "--log-http"});
        Client ann;
        Login(ann, server.ChatPort(), "Ann",
              disabled ? QStringList{"DISABLEAVATARS=1"} : QStringList{});
        ASSERT_TRUE(ann.Shows(ann.out, "Exits: ")) << ann.Log();
        const auto bob = LoggedIn(server, "Bob");
        bob->Send("say look at me\r\n");
        ASSERT_TRUE(ann.Shows(ann.out, "look at me"));
        if (disabled) { // a second is long enough for a fetch that should not happen
            EXPECT_FALSE(ann.Shows(ann.err, "[image]", 0, 1000));
            EXPECT_FALSE(server.Printed("GET /avatars/bob.gif", 1, 200));
        } else {
            EXPECT_TRUE(ann.Shows(
                ann.err, "[image] http://127.0.0.1:" + QByteArray::number(server.HttpPort()) +
                             "/avatars/bob.gif 7x5"));
            EXPECT_TRUE(server.Printed("GET /avatars/bob.gif"));
        }
        EXPECT_TRUE(ann.Quit());
    }
}

// Bold and a link show as their text and the link is listed; a sound plays while "Play sounds sent
// by others" is on; the map navigates; the who-is record opens the home page and mail.
TEST_F(HostProcess, MarkupLinksSoundsNavigationAndWhois) {
    fs::create_directories((dir.path() + "/data/kivra/sounds").toStdString());
    std::ofstream((dir.path() + "/data/kivra/sounds/chime.wav").toStdString()) << "RIFF";
    ServerProcess server;
    Client ann;
    Login(ann, server.ChatPort(), "Ann");
    const QByteArray &out = ann.out, &err = ann.err;
    ASSERT_TRUE(ann.Shows(out, "Exits: ")) << ann.Log();
    auto bob = LoggedIn(server, "Bob");
    // Bob's home page and mail are set before his say, so Ann's who-is finds them.
    bob->Send("URL Example.ORG/Bob\nEMAIL bob@example.org\nsay <b>bold</b> see "
              "<a href=http://x.org/P>the page</a> <snd=chime>(Chime)\r\n");
    ASSERT_TRUE(ann.Shows(out, "bold see the page (Chime)"));
    EXPECT_TRUE(ann.Shows(err, "[sound] chime\n"));
    ann.Send("!dump links\n");
    EXPECT_TRUE(ann.Shows(err, "[link] http://x.org/P the page\n[end links]"));

    ann.Send("!command 146\n!dump links\n"); // the dump's end shows the switch is off
    ASSERT_TRUE(ann.Shows(err, "[end links]", err.indexOf("[end links]") + 1));
    bob->Send("say <snd=chime>quiet now\r\n");
    ASSERT_TRUE(ann.Shows(out, "quiet now"));
    EXPECT_EQ(err.count("[sound]"), 1) << err.toStdString();

    ann.Send("!command 130\n");
    EXPECT_TRUE(ann.Shows(err, "[navigate] kivradisplay http://127.0.0.1:" +
                                   QByteArray::number(server.HttpPort()) + "/map.html"));

    // Who is Bob: the server's record fills the dialog, whose buttons open his page and mail.
    ann.Send("!select Bob\n!field 166=1\n!field 169=1\n!command 134\n");
    EXPECT_TRUE(ann.Shows(err, "[dialog] Who is...\n[navigate] kivranewwindow "
                               "http://example.org/Bob\n[navigate] kivradisplay "
                               "mailto:bob@example.org\n"));
    EXPECT_TRUE(ann.Quit());
}

// However kivra ends, the demo server it started ends too; a signal that asks it to end ends it
// in order, with status 0.
TEST_F(HostProcess, DemoServerNeverOutlivesKivra) {
    const std::pair<bool, int> cases[] = {{false, SIGTERM}, {true, SIGTERM},  {false, SIGHUP},
                                          {true, SIGINT},   {false, SIGKILL}, {true, SIGKILL}};
    for (const auto& [headless, sig] : cases) {
        SCOPED_TRACE(std::string(headless ? "headless " : "window ") + strsignal(sig));
        Client kivra;
        QProcess& p = kivra.process;
        Run(kivra, headless ? QStringList{"--demo", "--headless"} : QStringList{"--demo"});
        ASSERT_TRUE(p.waitForStarted());
        // Without --quit-on-eof the end of input does not end it.
        p.closeWriteChannel();
        pid_t server = 0;
        ASSERT_TRUE(WaitFor([&] { return (server = ListeningServer(p.processId())) != 0; }))
            << "no demo server";
        // Logged in: the session is up before the signal comes.
        ASSERT_TRUE(!headless || kivra.Shows(kivra.out, "Connected")) << kivra.Log();
        ASSERT_EQ(p.state(), QProcess::Running);
        ::kill(static_cast<pid_t>(p.processId()), sig);
        ASSERT_TRUE(p.waitForFinished(10000));
        if (sig != SIGKILL) {
            EXPECT_EQ(p.exitStatus(), QProcess::NormalExit);
            EXPECT_EQ(p.exitCode(), 0);
        }
        EXPECT_TRUE(WaitFor([&] { return !Alive(server); })) << "server " << server << " lives on";
        if (Alive(server))
            ::kill(server, SIGKILL);
    }
}

// cmake --install puts a tree that runs from wherever it lies: the host finds its module in
// lib/kivra, the demo page reads, and the desktop finds the entry and the icon.
TEST_F(HostProcess, InstalledTreeRuns) {
    const QString build = QDir(QString::fromLocal8Bit(std::getenv("KIVRA_BIN_DIR"))).filePath("..");
    const QString prefix = dir.path() + "/prefix";
    QProcess install;
    install.start(KIVRA_CMAKE_COMMAND, {"--install", build, "--prefix", prefix});
    ASSERT_TRUE(install.waitForFinished(120000));
    ASSERT_EQ(install.exitCode(), 0) << install.readAllStandardError().toStdString();
    for (const char* file : {"bin/kivra", "bin/kivra-server", "share/applications/kivra.desktop",
                             "share/icons/hicolor/scalable/apps/kivra.svg",
                             "share/kivra/demo/page.html", "share/doc/kivra/headless.md"})
        EXPECT_TRUE(QFile::exists(prefix + "/" + file)) << file;

    const RunResult r = Start({"--print-params", "--page", prefix + "/share/kivra/demo/page.html"},
                              {}, prefix + "/bin/kivra");
    ASSERT_EQ(r.status, 0) << r.err.toStdString();
    for (const char* line : {"SERVER=127.0.0.1", "TITLE=Kivra Demo World"})
        EXPECT_TRUE(r.out.split('\n').contains(line)) << line << " in\n" << r.out.toStdString();
    // The first run registered the module under its own path.
    const std::string hive = Hive("HKEY_CLASSES_ROOT");
    EXPECT_NE(hive.find(prefix.toStdString() + "/lib"), std::string::npos) << hive;
    EXPECT_NE(hive.find("/kivra/libmskivra50.so"), std::string::npos) << hive;
    EXPECT_NE(hive.find("mskivra50.razar.1"), std::string::npos) << hive;

    // The installed demo: the installed server with its installed page files, logged in to; a
    // resident greets each visitor in private as soon as the visitor is in.
    Client demo;
    Run(demo, {"--headless", "--demo", "--param", "USERNAME=Ann Lee"}, prefix + "/bin/kivra");
    EXPECT_TRUE(demo.Shows(demo.out, "Connected")) << demo.Log();
    EXPECT_TRUE(demo.Shows(demo.out,
                           "[Private: Ada] Ada tells you, \"Hello Ann Lee, welcome! Tell me "
                           "anything.\"\n",
                           0, 3000));
    EXPECT_TRUE(demo.Quit());
}

// The Menu button's pop-up carries the server's exits and its commands reach the server: "Who's
// Online Now" chosen in the pop-up, an exit by its id, then a question in the auditorium.
TEST_F(HostProcess, MenuCarriesTheExitsAndItsCommandsReachTheServer) {
    ServerProcess server({"--http-port", "-1"});
    Client ann;
    Login(ann, server.ChatPort(), "Ann", {"TITLE=Town"});
    ASSERT_TRUE(ann.Shows(ann.out, "Exits: ")) << ann.Log();
    ann.Send("!dump menu\n!answer 32774\n!command 128\n");
    ASSERT_TRUE(ann.Shows(ann.err, "[end menu]"));
    EXPECT_TRUE(ann.Shows(ann.err, "[menu]   Show Map of Town (130)\n[menu]   Goto User... (140)\n"
                                   "[menu]   ---\n[menu]   North (32782)\n[menu]   East (32783)\n"
                                   "[menu]   South (32784)\n[menu] Users >\n"));
    EXPECT_TRUE(ann.Shows(ann.err, "[menu]   Submit Question... (129) grey\n"));
    EXPECT_TRUE(ann.Shows(ann.out, "1 people are online:"));

    ann.Send("!command 32784\n");
    ASSERT_TRUE(ann.Shows(ann.out, "questions go to the speaker"));
    const int from = int(ann.err.size());
    ann.Send("!dump menu\n!answer when does it start?\n!command 129\n");
    ASSERT_TRUE(ann.Shows(ann.err, "[menu]   Submit Question... (129)\n", from));
    EXPECT_TRUE(ann.Shows(ann.out, "when does it start?"));
    EXPECT_TRUE(ann.Quit());
}

// The menu command asks the server for the user's options, the answer opens the sheet, and edits
// go back on OK as exactly the commands of the values that changed.
TEST_F(HostProcess, PreferencesSheetSendsItsChangesToTheServer) {
    ServerProcess server({"--http-port", "-1", "--log-input"});
    Client ann;
    Login(ann, server.ChatPort(), "Ann Lee");
    ASSERT_TRUE(server.Printed("[in] Ann+Lee <displayavatars>"));
    ann.Send("!field Allow others to follow me=No\n!field Allow others to GoTo me=No\n"
             "!field e-mail Address=ann@example.org\n!field Description=x\\ny\n"
             "!field 1020=Say Message\n!field Color=green\n!field Underline=1\n"
             "!answer ok\n!command 141\n");
    ASSERT_TRUE(server.Printed("[in] Ann+Lee DISPLAY")) << ann.err.toStdString();
    ann.Send("!answer cancel\n!command 141\n");
    ASSERT_TRUE(server.Printed("[in] Ann+Lee <userprefs>", 2));
    // The second sheet opened too (and was cancelled).
    ASSERT_TRUE(ann.Shows(ann.err, "[prefs] General\n"));
    ASSERT_TRUE(ann.Shows(ann.err, "[prefs] General\n", ann.err.indexOf("[prefs] General\n") + 1));
    EXPECT_TRUE(ann.Shows(ann.err, "[prefs] General\n[dialog] Kivra Preferences\n[prefs] User\n"
                                   "[prefs] Display\n"));
    // Nothing else between the two requests.
    EXPECT_TRUE(server.Printed(
        "[in] Ann+Lee <userprefs> \n[in] Ann+Lee AUTOFOLLOW no\n[in] Ann+Lee AUTOGOTO no\n"
        "[in] Ann+Lee EMAIL ann@example.org\n[in] Ann+Lee <description> x%0dy\n"
        "[in] Ann+Lee DISPLAY say-message green underline\n[in] Ann+Lee <userprefs>"));
    EXPECT_TRUE(ann.Quit());
}
