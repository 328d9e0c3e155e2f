// kivra: the host that embeds the chat control the way a web page does.
//
//   kivra [--page FILE] [--param NAME=VALUE]... [--print-params] [--headless [--quit-on-eof]]
//         [--demo] [--grab FILE.png [--grab-menu SUBMENU]]
//
// Bad input (a page without <object>, an unknown CLSID, a module that does not load, a malformed
// --param, an unreadable registry hive) gives one line on standard error and exit status 2.

#include "browserservices.h"
#include "codepage.h"
#include "controlloader.h"
#include "guids.h"
#include "headless.h"
#include "hostsite.h"
#include "pageparams.h"
#include "propertybag.h"
#include "qtdialogservice.h"
#include "registration.h"
#include "registrystore.h"
#include "scripteddialogservice.h"
#include "settingsstore.h"
#include "signalwatcher.h"

#include <QApplication>
#include <QDesktopServices>
#include <QImage>
#include <QMenu>
#include <QPainter>
#include <QProcess>
#include <QTimer>
#include <QUrl>
#include <QVBoxLayout>
#include <QWidget>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <sstream>
#include <unistd.h>

namespace fs = std::filesystem;
using namespace kivra;

namespace {

struct Options {
    std::string page;
    std::vector<std::pair<std::string, std::string>> params;
    bool printParams = false;
    bool headless = false;
    bool quitOnEof = false;
    bool demo = false;
    std::string grab;
    std::string grabMenu; // "-": the Menu button's pop-up alone; else the sub-menu to open too
};

const char kUsage[] =
    "usage: kivra [--page FILE] [--param NAME=VALUE]... [--print-params]\n"
    "             [--headless [--quit-on-eof]] [--demo] [--grab FILE.png [--grab-menu SUBMENU]]\n"
    "\n"
    "Embeds the Kivra chat control the way a web page does and runs one chat session.\n"
    "\n"
    "  --page FILE         read the control's CLSID and PARAMs from FILE's first <object>\n"
    "  --param NAME=VALUE  set one PARAM (after the page's; may be given many times)\n"
    "  --print-params      print the control's PARAMs as it holds them, one NAME=VALUE a line, "
    "and exit\n"
    "  --headless          run without a display, driven by the line protocol on standard input\n"
    "  --quit-on-eof       with --headless: end when standard input ends\n"
    "  --demo              start kivra-server --demo on loopback and log in to it\n"
    "  --grab FILE.png     save a picture of the window after 2.5 s and exit (boxes answer "
    "themselves)\n"
    "  --grab-menu SUBMENU with --grab: open the Menu button's pop-up first, and its sub-menu "
    "SUBMENU\n"
    "                      unless SUBMENU is -\n"
    "  -h, --help          print this help and exit\n"
    "\n"
    "The headless line protocol (the three streams, the ! commands) is described in "
    "docs/headless.md\n"
    "beside this program's sources, and installed as share/doc/kivra/headless.md.\n"
    "Bad input prints one line starting with \"kivra: \" on standard error; exit status 2.\n";

[[noreturn]] void Fail(const std::string& line) {
    std::cerr << "kivra: " << line << std::endl;
    std::exit(2);
}

Options ParseOptions(int argc, char** argv) {
    Options o;
    for (int i = 1; i < argc; ++i) {
        const std::string a = argv[i];
        auto value = [&](const char* what) {
            if (i + 1 >= argc)
                Fail(a + " needs " + what);
            return std::string(argv[++i]);
        };
        if (a == "--page") {
            o.page = value("a file");
        } else if (a == "--param") {
            const std::string p = value("NAME=VALUE");
            auto parsed = host::ParseParamArgument(p);
            if (!parsed)
                Fail("malformed --param \"" + p + "\": expected NAME=VALUE");
            o.params.push_back(*parsed);
        } else if (a == "--print-params") {
            o.printParams = true;
        } else if (a == "--headless") {
            o.headless = true;
        } else if (a == "--quit-on-eof") {
            o.quitOnEof = true;
        } else if (a == "--demo") {
            o.demo = true;
        } else if (a == "--grab") {
            o.grab = value("a PNG file name");
        } else if (a == "--grab-menu") {
            o.grabMenu = value("a sub-menu name or -");
        } else if (a == "--help" || a == "-h") {
            std::cout << kUsage;
            std::exit(0);
        } else {
            Fail("unknown option " + a);
        }
    }
    if (!o.grabMenu.empty() && o.grab.empty())
        Fail("--grab-menu needs --grab");
    return o;
}

// A hive the store could not read would silently start from nothing; the host refuses instead.
void CheckRegistry(const fs::path& dir) {
    std::error_code ec;
    if (fs::exists(dir, ec) && !fs::is_directory(dir, ec))
        Fail("the registry folder " + dir.string() + " is not a folder");
    for (const char* hive : {"HKEY_CURRENT_USER.reg", "HKEY_CLASSES_ROOT.reg"}) {
        const fs::path path = dir / hive;
        if (!fs::exists(path, ec))
            continue;
        std::ifstream in(path, std::ios::binary);
        char c;
        if (!fs::is_regular_file(path, ec) || !in || (!in.get(c) && !in.eof()))
            Fail("cannot read the registry hive " + path.string());
    }
}

fs::path BinDir() {
    std::error_code ec;
    const fs::path self = fs::read_symlink("/proc/self/exe", ec);
    return ec ? fs::current_path() : self.parent_path();
}

platform::PropertyBag ReadPage(const std::string& file, platform::Guid& clsid) {
    std::ifstream in(file, std::ios::binary);
    if (!in)
        Fail("cannot read the page " + file);
    std::stringstream text;
    text << in.rdbuf();
    const auto object = host::ParsePageObject(text.str());
    if (!object)
        Fail("the page " + file + " has no <object> element");
    const auto parsed = platform::Guid::Parse(object->classId);
    if (!parsed)
        Fail("the page " + file + " names no CLSID in its <object classid=...> (\"" +
             object->classId + "\")");
    clsid = *parsed;
    platform::PropertyBag bag;
    for (const auto& [name, value] : object->params)
        bag.Write(name, value);
    return bag;
}

// kivra-server --demo beside this program. It never outlives the host: the kernel ends it when
// the host ends in any way, and a host that ends in order stops it first.
class DemoServer {
public:
    ~DemoServer() { Stop(); }

    // Starts the server and answers its chat port.
    std::string Start() {
        const QString program = QString::fromStdString(host::FindBeside(BinDir(), "kivra-server"));
        m_server.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        const int self = static_cast<int>(::getpid());
        m_server.setChildProcessModifier([self] { host::DieWithParent(self); });
        QStringList args{QStringLiteral("--demo")};
        // Installed, the server's page files live in the shared data folder.
        std::error_code ec;
        const fs::path pages =
            (BinDir() / KIVRA_DATA_RELDIR / "demo" / "static").lexically_normal();
        if (fs::is_directory(pages, ec))
            args << QStringLiteral("--static") << QString::fromStdString(pages.string());
        m_server.start(program, args);
        if (!m_server.waitForStarted(5000))
            Fail("cannot start " + program.toStdString());
        // It announces "kivra-server listening chat=PORT[,PORT...] http=PORT" once it listens.
        while (m_server.waitForReadyRead(10000)) {
            while (m_server.canReadLine()) {
                const QString line = QString::fromLocal8Bit(m_server.readLine()).trimmed();
                const int at = line.indexOf(QStringLiteral("chat="));
                if (at < 0)
                    continue;
                const QString ports = line.mid(at + 5).section(QLatin1Char(' '), 0, 0);
                return ports.section(QLatin1Char(','), 0, 0).toStdString();
            }
        }
        Fail("the demo server did not say where it listens");
    }

    void Stop() {
        if (m_server.state() == QProcess::NotRunning)
            return;
        m_server.terminate();
        if (!m_server.waitForFinished(3000)) {
            m_server.kill();
            m_server.waitForFinished(3000);
        }
    }

private:
    QProcess m_server;
};

// The host window with every other visible window of the control (private messages) placed to
// its right, top-aligned, in one picture; open pop-up menus are drawn where they stand over it.
QImage GrabWindows(QWidget* top) {
    std::vector<QPixmap> shots{top->grab()};
    std::vector<std::pair<QPixmap, QPoint>> popups;
    const QList<QWidget*> windows = QApplication::topLevelWidgets();
    for (QWidget* w : windows) {
        if (w == top || !w->isVisible() || w->isMinimized())
            continue;
        if (w->windowType() == Qt::Popup)
            popups.emplace_back(w->grab(), w->pos() - top->pos());
        else
            shots.push_back(w->grab());
    }
    int width = 0;
    int height = 0;
    for (const QPixmap& p : shots) {
        width += p.width() + (width > 0 ? 12 : 0);
        height = std::max(height, p.height());
    }
    for (const auto& [p, at] : popups) {
        width = std::max(width, at.x() + p.width());
        height = std::max(height, at.y() + p.height());
    }
    QImage image(width, height, QImage::Format_RGB32);
    image.fill(QColor(0x50, 0x60, 0x70));
    QPainter painter(&image);
    int x = 0;
    for (const QPixmap& p : shots) {
        // Pixel for pixel: a grab on a scaled screen has more pixels than its logical size.
        painter.drawPixmap(QRect(x, 0, p.width(), p.height()), p);
        x += p.width() + 12;
    }
    for (const auto& [p, at] : popups)
        painter.drawPixmap(QRect(at, p.size()), p);
    return image;
}

} // namespace

int main(int argc, char** argv) {
    const Options o = ParseOptions(argc, argv);
    // Qt warns on stderr without a runtime folder; stderr belongs to the headless contract.
    if (qEnvironmentVariableIsEmpty("XDG_RUNTIME_DIR")) {
        const std::string runtime = "/tmp/kivra-runtime-" + std::to_string(::getuid());
        std::error_code ec;
        fs::create_directories(runtime, ec);
        fs::permissions(runtime, fs::perms::owner_all, ec);
        qputenv("XDG_RUNTIME_DIR", QByteArray::fromStdString(runtime));
    }
    if (o.headless || o.printParams)
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("kivra"));
    // A signal that comes before the window is up is kept and acted on once it is.
    std::function<void(int)> endOnSignal;
    bool signalled = false;
    host::SignalWatcher endSignals([&](int) {
        if (endOnSignal)
            endOnSignal(0);
        else
            signalled = true;
    });

    CheckRegistry(platform::RegistryStore::DefaultDirectory());
    platform::RegistryStore& store = platform::RegistryStore::instance();

    platform::Guid clsid;
    platform::PropertyBag bag;
    if (!o.page.empty())
        bag = ReadPage(o.page, clsid);

    std::string error;
    if (!host::EnsureRegistered(store, host::FindBeside(BinDir(), "libmskivra50.so"), error))
        Fail(error);
    if (o.page.empty()) {
        const auto byProgId = platform::ClsidFromProgId(store, control::kControlProgId);
        if (!byProgId)
            Fail(std::string("the ProgID ") + control::kControlProgId + " is not registered");
        clsid = *byProgId;
    }

    DemoServer demoServer;
    if (o.demo) {
        bag.Write("SERVER", "127.0.0.1");
        bag.Write("PORT", demoServer.Start());
        if (bag.ReadString("USERNAME", "").empty())
            bag.Write("USERNAME", "Guest" + std::to_string(::getpid() % 1000));
        // The demo server takes any password; a login block must carry one.
        if (bag.ReadString("PASSWORD", "").empty())
            bag.Write("PASSWORD", "demo");
    }
    for (const auto& [name, value] : o.params)
        bag.Write(name, value);

    auto loaded = host::LoadControl(store, clsid, error);
    if (!loaded)
        Fail(error);
    platform::ComPtr<control::IRazarControl> ctrl = loaded->control;
    ctrl->Load(bag);

    if (o.printParams) {
        platform::PropertyBag out;
        ctrl->Save(out);
        for (const auto& [name, value] : out.Entries())
            std::cout << name << '=' << value << '\n';
        // STANDALONE is no PARAM; it is reported as the control answers it.
        if (auto disp = ctrl.As<platform::IDispatch>()) {
            platform::DISPID id = 0;
            platform::Variant v;
            if (platform::Succeeded(disp->GetIDOfName("STANDALONE", &id)) &&
                platform::Succeeded(disp->Invoke(id, platform::InvokeKind::PropertyGet, {}, &v)))
                std::cout << "STANDALONE=" << v.ToString() << '\n';
        }
        std::cout.flush();
        ctrl.Reset();
        return 0;
    }

    CSettingsStore settings(store);
    const std::string cache = JoinPath(GetInstallPath(settings), "cache");
    host::BrowserServices browser(
        cache,
        [headless = o.headless](const std::string& url, const std::string& frame) {
            if (headless)
                std::cerr << "[navigate] " << frame << ' ' << url << std::endl;
            else
                QDesktopServices::openUrl(QUrl(platform::FromWire(url)));
        },
        std::cerr);
    platform::ScriptedDialogService scripted;
    scripted.SetEcho(&std::cerr);
    // A picture of the open menu needs the menu shown.
    scripted.SetShowMenus(!o.grabMenu.empty());
    platform::QtDialogService interactive;
    host::StreamMirror mirror(std::cout, &std::cerr);
    // A grab runs unattended: boxes get their safe answers and are reported like headless ones.
    const bool scriptedBoxes = o.headless || !o.grab.empty();
    host::HostSite site(browser,
                        scriptedBoxes ? static_cast<platform::DialogService&>(scripted)
                                      : static_cast<platform::DialogService&>(interactive),
                        o.headless ? &mirror : nullptr, o.headless, std::cerr);
    ctrl->SetSite(&site);

    auto* top = new QWidget;
    top->setWindowTitle(QStringLiteral("Kivra"));
    top->resize(820, 560);
    auto* layout = new QVBoxLayout(top);
    layout->setContentsMargins(0, 0, 0, 0);
    QWidget* window = ctrl->CreateControlWindow(top);
    if (window == nullptr) {
        delete top;
        ctrl.Reset();
        Fail("the control did not create its window");
    }
    layout->addWidget(window);
    top->show();

    int status = 0;
    bool ended = false;
    auto end = [&](int code) {
        if (ended)
            return;
        ended = true;
        status = code;
        // As a closing page: the control's window (and the session in it) goes first.
        ctrl->DestroyControlWindow();
        app.exit(code);
    };
    QObject::connect(&app, &QApplication::lastWindowClosed, [&] { end(0); });
    endOnSignal = end;
    if (signalled)
        QTimer::singleShot(0, [&] { end(0); });

    std::unique_ptr<host::HeadlessRunner> runner;
    if (o.headless) {
        runner = std::make_unique<host::HeadlessRunner>(ctrl->Script(), scripted, o.quitOnEof, end,
                                                        std::cerr);
    }
    if (!o.grabMenu.empty()) {
        QTimer::singleShot(1800, [&] {
            if (control::IRazarScript* script = ctrl->Script())
                script->RunCommand(128);
        });
        QTimer::singleShot(2000, [&] {
            auto* menu = qobject_cast<QMenu*>(QApplication::activePopupWidget());
            if (menu == nullptr || o.grabMenu == "-")
                return;
            const QList<QAction*> actions = menu->actions();
            for (QAction* a : actions)
                if (a->menu() != nullptr && a->text() == QString::fromStdString(o.grabMenu))
                    menu->setActiveAction(a);
        });
    }
    if (!o.grab.empty()) {
        QTimer::singleShot(2500, [&] {
            if (!GrabWindows(top).save(QString::fromStdString(o.grab)))
                std::cerr << "kivra: cannot write " << o.grab << std::endl;
            end(0);
        });
    }
    app.exec();
    runner.reset();
    end(status);
    delete top;
    ctrl.Reset();
    demoServer.Stop();
    return status;
}
