#include "serveroptions.h"

#include <QCommandLineParser>
#include <QDir>

namespace kivra::server {

std::optional<QList<quint16>> ParsePortList(const QString& text) {
    QList<quint16> ports;
    for (const QString& part : text.split(',')) {
        const QStringList range = part.trimmed().split('-');
        bool ok1 = false;
        bool ok2 = false;
        if (range.size() == 1) {
            const uint p = range[0].toUInt(&ok1);
            if (!ok1 || p > 65535)
                return std::nullopt;
            ports.append(static_cast<quint16>(p));
        } else if (range.size() == 2) {
            const uint a = range[0].toUInt(&ok1);
            const uint b = range[1].toUInt(&ok2);
            if (!ok1 || !ok2 || a == 0 || a > b || b > 65535 || b - a >= 64)
                return std::nullopt;
            for (uint p = a; p <= b; ++p)
                ports.append(static_cast<quint16>(p));
        } else {
            return std::nullopt;
        }
        if (ports.size() > 64)
            return std::nullopt;
    }
    if (ports.isEmpty())
        return std::nullopt;
    return ports;
}

std::optional<ServerOptions> ParseServerOptions(const QStringList& arguments, QString& error) {
    QCommandLineParser parser;
    parser.setApplicationDescription("Kivra reference chat server and tunnel page");
    parser.addHelpOption();
    const QCommandLineOption port("port", "Chat ports, e.g. 7000-7003,8000 (0: a free port).",
                                  "LIST", "0");
    const QCommandLineOption httpPort("http-port", "HTTP port (0: a free port, -1: none).", "N",
                                      "0");
    const QCommandLineOption tunnelPath("tunnel-path", "Path of the tunnel page.", "PATH",
                                        "/tunnel");
    const QCommandLineOption accounts("accounts", "Accounts file name:password[:cookie[:role]].",
                                      "FILE");
    const QCommandLineOption open("open", "Accept any user name and password.");
    const QCommandLineOption world("world", "World file.", "FILE");
    const QCommandLineOption demo("demo", "Default world, talking bots, open logins.");
    const QCommandLineOption bind("bind", "Address to listen on.", "ADDR", "127.0.0.1");
    const QCommandLineOption ready("ready-file", "Write the chosen ports to this file.", "PATH");
    const QCommandLineOption staticDir("static", "Folder of the static HTTP files.", "DIR");
    const QCommandLineOption httpHost("http-host", "Host name used in handed-out URLs.", "NAME");
    const QCommandLineOption ticker("ticker-seconds", "Period of pushed ticker news (0: off).", "N",
                                    "60");
    const QCommandLineOption idle("tunnel-idle", "Seconds before an idle tunnel is closed.", "N",
                                  "120");
    const QCommandLineOption logHttp("log-http", "Print every static file request.");
    const QCommandLineOption logInput("log-input",
                                      "Print every command line and block line users send.");
    parser.addOptions({port, httpPort, tunnelPath, accounts, open, world, demo, bind, ready,
                       staticDir, httpHost, ticker, idle, logHttp, logInput});
    if (!parser.parse(arguments)) {
        error = parser.errorText();
        return std::nullopt;
    }
    if (parser.isSet("help")) {
        error = parser.helpText();
        return std::nullopt;
    }
    ServerOptions o;
    const auto ports = ParsePortList(parser.value(port));
    if (!ports) {
        error = "bad port list: " + parser.value(port);
        return std::nullopt;
    }
    o.ports = *ports;
    bool ok = false;
    o.httpPort = parser.value(httpPort).toInt(&ok);
    if (!ok || o.httpPort < -1 || o.httpPort > 65535) {
        error = "bad HTTP port";
        return std::nullopt;
    }
    o.tunnelPath = parser.value(tunnelPath);
    if (!o.tunnelPath.startsWith('/'))
        o.tunnelPath.prepend('/');
    o.accountsFile = parser.value(accounts);
    o.demo = parser.isSet(demo);
    o.open = parser.isSet(open) || o.demo;
    o.worldFile = parser.value(world);
    if (!o.bind.setAddress(parser.value(bind))) {
        error = "bad bind address: " + parser.value(bind);
        return std::nullopt;
    }
    o.readyFile = parser.value(ready);
    o.staticDir = parser.isSet(staticDir) ? parser.value(staticDir) : QString();
    o.httpHost = parser.value(httpHost);
    o.logHttp = parser.isSet(logHttp);
    o.logInput = parser.isSet(logInput);
    o.tickerSeconds = parser.value(ticker).toInt(&ok);
    if (!ok || o.tickerSeconds < 0) {
        error = "bad ticker period";
        return std::nullopt;
    }
    o.tunnelIdleSeconds = parser.value(idle).toInt(&ok);
    if (!ok || o.tunnelIdleSeconds < 1) {
        error = "bad tunnel idle time";
        return std::nullopt;
    }
    if (!o.open && o.accountsFile.isEmpty()) {
        error = "either --accounts FILE or --open is needed";
        return std::nullopt;
    }
    return o;
}

} // namespace kivra::server
