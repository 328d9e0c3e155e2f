// kivra-server: the reference chat server and tunnel page.
#include "chatserver.h"
#include "demobots.h"
#include "serveroptions.h"
#include "tunnelserver.h"
#include "worldfile.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QSaveFile>

#include <cstdio>

using namespace kivra::server;

namespace {

bool ReadText(const QString& path, std::string& text, QString& error) {
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly)) {
        error = "cannot read " + path + ": " + f.errorString();
        return false;
    }
    const QByteArray data = f.read(4 * 1024 * 1024);
    text.assign(data.constData(), static_cast<std::size_t>(data.size()));
    return true;
}

int Fail(const QString& text) {
    std::fprintf(stderr, "kivra-server: %s\n", qPrintable(text));
    return 2;
}

} // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    QString error;
    const auto options = ParseServerOptions(app.arguments(), error);
    if (!options) {
        if (app.arguments().contains("--help") || app.arguments().contains("-h")) {
            std::fputs(qPrintable(error), stdout);
            return 0;
        }
        return Fail(error);
    }

    std::string text(DefaultWorldText());
    if (!options->worldFile.isEmpty() && !ReadText(options->worldFile, text, error))
        return Fail(error);
    WorldParse world = ParseWorld(text);
    if (!world.error.empty())
        return Fail("world: " + QString::fromStdString(world.error));

    std::vector<Account> accounts;
    if (!options->accountsFile.isEmpty()) {
        std::string accountsText;
        if (!ReadText(options->accountsFile, accountsText, error))
            return Fail(error);
        AccountsParse parsed = ParseAccounts(accountsText);
        if (!parsed.error.empty())
            return Fail("accounts: " + QString::fromStdString(parsed.error));
        accounts = std::move(parsed.accounts);
    }

    CChatServer chat(*options, std::move(world.rooms), std::move(accounts));
    if (!chat.Listen(error))
        return Fail(error);

    std::unique_ptr<CTunnelServer> http;
    quint16 httpPort = 0;
    if (options->httpPort >= 0) {
        const QString staticDir =
            options->staticDir.isEmpty() ? QString(KIVRA_DEMO_DIR) + "/static" : options->staticDir;
        http = std::make_unique<CTunnelServer>(
            chat, options->tunnelPath, QDir(staticDir).absolutePath(), options->tunnelIdleSeconds);
        http->SetLogRequests(options->logHttp);
        httpPort = http->listen(options->bind, static_cast<quint16>(options->httpPort));
        if (httpPort == 0)
            return Fail(QString("cannot listen for HTTP on port %1").arg(options->httpPort));
        QString host = options->httpHost;
        if (host.isEmpty()) {
            const QHostAddress b = options->bind;
            host = b == QHostAddress::Any || b == QHostAddress::AnyIPv4 ? "127.0.0.1"
                   : b.protocol() == QAbstractSocket::IPv6Protocol      ? "[" + b.toString() + "]"
                                                                        : b.toString();
        }
        chat.SetHttpBase(QString("http://%1:%2").arg(host).arg(httpPort).toStdString());
    }

    std::unique_ptr<CDemoBots> bots;
    if (options->demo)
        bots = std::make_unique<CDemoBots>(chat, 4000, 20261206);

    QStringList ports;
    for (quint16 p : chat.ChatPorts())
        ports << QString::number(p);
    const QString ready =
        QString("kivra-server listening chat=%1 http=%2").arg(ports.join(',')).arg(httpPort);
    if (!options->readyFile.isEmpty()) {
        QSaveFile f(options->readyFile);
        if (!f.open(QIODevice::WriteOnly) || f.write(ready.toUtf8() + "\n") < 0 || !f.commit())
            return Fail("cannot write " + options->readyFile);
    }
    std::printf("%s\n", qPrintable(ready));
    std::fflush(stdout);
    return app.exec();
}
