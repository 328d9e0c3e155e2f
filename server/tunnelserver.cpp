#include "tunnelserver.h"

#include "chatserver.h"
#include "tunnelcodec.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QHttpServerRequest>
#include <QHttpServerResponder>
#include <QRandomGenerator>

#include <cstdio>

namespace kivra::server {

namespace {

// One record per line, LF only: the client keeps a CR as part of the value, and reads a Read
// answer as a single record, so Read answers carry either Data or Status, never both.
QByteArray Status(const char* word) {
    return QByteArray("Status=") + word + "\n";
}

} // namespace

CTunnelServer::CTunnelServer(CChatServer& chat, QString tunnelPath, QString staticDir,
                             int idleSeconds, QObject* parent)
    : QAbstractHttpServer(parent), m_chat(chat), m_tunnelPath(std::move(tunnelPath)),
      m_staticDir(std::move(staticDir)), m_idleMs(idleSeconds * 1000) {
    connect(&m_idleTimer, &QTimer::timeout, this, &CTunnelServer::CloseIdle);
    m_idleTimer.start(std::min(m_idleMs, 5000));
}

CTunnelServer::~CTunnelServer() = default;

void CTunnelServer::CloseIdle() {
    for (auto it = m_tunnels.begin(); it != m_tunnels.end();) {
        if (it->second.lastUse.elapsed() > m_idleMs)
            it = m_tunnels.erase(it);
        else
            ++it;
    }
}

void CTunnelServer::Pull(Tunnel& t) {
    const qint64 room = kMaxInbox - t.inbox.size();
    if (room > 0 && t.socket->bytesAvailable() > 0)
        t.inbox += t.socket->read(room);
}

QByteArray CTunnelServer::HandleTunnel(const QByteArray& body) {
    const auto form = FormDecode(std::string_view(body.constData(), body.size()));
    const std::string command = Lower(FormValue(form, "Command").value_or(""));
    if (command == "open") {
        const auto port = ParseNumber(FormValue(form, "Port").value_or(""));
        // Only this server's own chat ports: the tunnel must never become an open proxy.
        if (!port || *port <= 0 || *port > 65535 || !m_chat.IsChatPort(static_cast<quint16>(*port)))
            return Status("CONNREFUSED");
        if (static_cast<int>(m_tunnels.size()) >= kMaxTunnels)
            return Status("CONNFAILED");
        auto socket = std::make_unique<QTcpSocket>();
        QHostAddress target = m_chat.BindAddress();
        if (target == QHostAddress::Any || target == QHostAddress::AnyIPv4)
            target = QHostAddress::LocalHost;
        else if (target == QHostAddress::AnyIPv6)
            target = QHostAddress::LocalHostIPv6;
        socket->setReadBufferSize(kMaxInbox);
        socket->connectToHost(target, static_cast<quint16>(*port));
        // The chat port is ours and local: the kernel completes the handshake at once.
        if (!socket->waitForConnected(2000))
            return Status("CONNFAILED");
        const int id = m_nextId++;
        Tunnel& t = m_tunnels[id];
        t.nonce = static_cast<int>(QRandomGenerator::global()->bounded(1, 0x7FFFFFFF));
        t.socket = std::move(socket);
        t.lastUse.start();
        QTcpSocket* raw = t.socket.get();
        connect(raw, &QTcpSocket::readyRead, this, [this, id] {
            if (auto it = m_tunnels.find(id); it != m_tunnels.end())
                Pull(it->second);
        });
        return Status("OK") + "ConnectionID=" + QByteArray::number(id) +
               "\nNonce=" + QByteArray::number(t.nonce) + "\n";
    }
    if (command != "write" && command != "read" && command != "close")
        return Status("CONNFAILED");
    const auto id = ParseNumber(FormValue(form, "ConnectionID").value_or(""));
    const auto nonce = ParseNumber(FormValue(form, "Nonce").value_or(""));
    auto it = id ? m_tunnels.find(static_cast<int>(*id)) : m_tunnels.end();
    if (it == m_tunnels.end() || !nonce || *nonce != it->second.nonce)
        return Status("CONNDOWN");
    Tunnel& t = it->second;
    t.lastUse.restart();
    if (command == "close") {
        m_tunnels.erase(it);
        return Status("OK");
    }
    const bool up = t.socket->state() == QAbstractSocket::ConnectedState;
    if (command == "write") {
        const auto data = Base64Decode(FormValue(form, "Data").value_or(""));
        if (!data || data->empty())
            return Status("CONNFAILED");
        if (!up) {
            m_tunnels.erase(it);
            return Status("CONNDOWN");
        }
        // The chat side reads as fast as it can; a writer that outruns it is cut off.
        if (t.socket->bytesToWrite() > kMaxInbox) {
            m_tunnels.erase(it);
            return Status("CONNDOWN");
        }
        t.socket->write(data->data(), static_cast<qint64>(data->size()));
        t.socket->flush();
        return Status("OK");
    }
    Pull(t);
    if (t.inbox.isEmpty()) {
        if (!up) {
            m_tunnels.erase(it);
            return Status("CONNDOWN");
        }
        return Status("OK");
    }
    const QByteArray chunk = t.inbox.left(kMaxReadAnswer);
    t.inbox.remove(0, chunk.size());
    Pull(t);
    const std::string encoded = Base64Encode(std::string_view(chunk.constData(), chunk.size()));
    return QByteArray("Data=") + QByteArray::fromStdString(encoded) + "\n";
}

QByteArray CTunnelServer::StaticFile(const QString& path, QByteArray& mime) const {
    if (m_staticDir.isEmpty() || path.contains("..") || path.contains('\\'))
        return {};
    const QString clean = QDir::cleanPath(path);
    QString file = m_staticDir + clean;
    // Every account has an avatar: those without a picture of their own get the default one.
    if (clean.startsWith("/avatars/") && !QFileInfo::exists(file))
        file = m_staticDir + "/avatars/default.gif";
    const QFileInfo info(file);
    if (!info.isFile() || info.size() > 16 * 1024 * 1024)
        return {};
    QFile f(file);
    if (!f.open(QIODevice::ReadOnly))
        return {};
    const QString ext = info.suffix().toLower();
    mime = ext == "gif"    ? "image/gif"
           : ext == "wav"  ? "audio/wav"
           : ext == "html" ? "text/html"
           : ext == "png"  ? "image/png"
                           : "application/octet-stream";
    return f.readAll();
}

bool CTunnelServer::handleRequest(const QHttpServerRequest& request, QTcpSocket* socket) {
    QHttpServerResponder responder = makeResponder(request, socket);
    const QString path = request.url().path();
    if (path == m_tunnelPath) {
        if (request.method() != QHttpServerRequest::Method::Post) {
            responder.write(Status("CONNFAILED"), "text/plain",
                            QHttpServerResponder::StatusCode::MethodNotAllowed);
            return true;
        }
        responder.write(HandleTunnel(request.body()), "text/plain");
        return true;
    }
    if (m_bLogRequests) {
        std::printf("[http] %s %s\n",
                    request.method() == QHttpServerRequest::Method::Get ? "GET" : "OTHER",
                    path.toUtf8().constData());
        std::fflush(stdout);
    }
    QByteArray mime;
    const QByteArray data = StaticFile(path == "/" ? "/help.html" : path, mime);
    if (data.isNull()) {
        responder.write(QByteArray("not found\n"), "text/plain",
                        QHttpServerResponder::StatusCode::NotFound);
        return true;
    }
    responder.write(data, mime);
    return true;
}

void CTunnelServer::missingHandler(const QHttpServerRequest& request, QTcpSocket* socket) {
    makeResponder(request, socket)
        .write(QByteArray("not found\n"), "text/plain", QHttpServerResponder::StatusCode::NotFound);
}

} // namespace kivra::server
