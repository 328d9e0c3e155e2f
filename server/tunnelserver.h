#pragma once

#include <QAbstractHttpServer>
#include <QElapsedTimer>
#include <QHostAddress>
#include <QPointer>
#include <QTcpSocket>
#include <QTimer>

#include <map>
#include <memory>

namespace kivra::server {

class CChatServer;

// The HTTP side: the tunnel page (POST Command=Open/Write/Read/Close) that bridges to this
// server's own chat ports only, and the static files (avatars, ticker images, sounds, map, help).
class CTunnelServer : public QAbstractHttpServer {
    Q_OBJECT
public:
    static constexpr int kMaxTunnels = 256;
    static constexpr qsizetype kMaxInbox = 256 * 1024;
    static constexpr qsizetype kMaxReadAnswer = 64 * 1024;

    CTunnelServer(CChatServer& chat, QString tunnelPath, QString staticDir, int idleSeconds,
                  QObject* parent = nullptr);
    ~CTunnelServer() override;

    // The answer body for one tunnel request body; public so the exchange logic is testable
    // without HTTP.
    QByteArray HandleTunnel(const QByteArray& body);
    int OpenTunnels() const { return static_cast<int>(m_tunnels.size()); }
    // Prints "[http] GET PATH" on standard output for every static file asked for.
    void SetLogRequests(bool on) { m_bLogRequests = on; }

protected:
    bool handleRequest(const QHttpServerRequest& request, QTcpSocket* socket) override;
    void missingHandler(const QHttpServerRequest& request, QTcpSocket* socket) override;

private:
    struct Tunnel {
        int nonce = 0;
        std::unique_ptr<QTcpSocket> socket;
        QByteArray inbox;
        QElapsedTimer lastUse;
    };
    void Pull(Tunnel& t);
    void CloseIdle();
    QByteArray StaticFile(const QString& path, QByteArray& mime) const;

    CChatServer& m_chat;
    QString m_tunnelPath;
    QString m_staticDir;
    int m_idleMs;
    int m_nextId = 1;
    std::map<int, Tunnel> m_tunnels;
    QTimer m_idleTimer;
    bool m_bLogRequests = false;
};

} // namespace kivra::server
