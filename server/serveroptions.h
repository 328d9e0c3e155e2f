#pragma once

#include <QHostAddress>
#include <QList>
#include <QString>
#include <QStringList>

#include <optional>

namespace kivra::server {

struct ServerOptions {
    QList<quint16> ports{0};
    int httpPort = 0; // 0 picks a free port, -1 turns the HTTP side off
    QString tunnelPath = "/tunnel";
    QString accountsFile;
    bool open = false;
    QString worldFile;
    bool demo = false;
    QHostAddress bind{QHostAddress::LocalHost};
    QString readyFile;
    QString staticDir;
    QString httpHost;       // host name put into the URLs the server hands out
    int tickerSeconds = 60; // period of pushed ticker news; 0 turns it off
    int tunnelIdleSeconds = 120;
    bool logHttp = false;  // "[http] GET PATH" on standard output for every static file asked for
    bool logInput = false; // "[in] NAME LINE" on standard output for every command a user sends
};

// "7000-7003,8000": single ports and inclusive ranges; nullopt on anything malformed or more
// than 64 ports.
std::optional<QList<quint16>> ParsePortList(const QString& text);

// Parses the command line; on failure returns nullopt and sets `error`.
std::optional<ServerOptions> ParseServerOptions(const QStringList& arguments, QString& error);

} // namespace kivra::server
