#include "clientconnection.h"

#include <QHostAddress>
#include <QMetaObject>

namespace kivra::server {

namespace {
// A connection that has not logged in within this time is closed.
constexpr int kLoginTimeoutMs = 60000;
} // namespace

CClientConnection::CClientConnection(QTcpSocket* socket, QObject* parent)
    : QObject(parent), m_socket(socket) {
    m_socket->setParent(this);
    connect(m_socket, &QTcpSocket::readyRead, this, &CClientConnection::OnReadyRead);
    connect(m_socket, &QTcpSocket::disconnected, this, [this] { Drop("peer closed"); });
    connect(m_socket, &QTcpSocket::errorOccurred, this, [this] { Drop("socket error"); });
    m_loginTimer.setSingleShot(true);
    connect(&m_loginTimer, &QTimer::timeout, this, [this] {
        if (!user)
            Drop("no login");
    });
    m_loginTimer.start(kLoginTimeoutMs);
}

CClientConnection::~CClientConnection() = default;

QString CClientConnection::PeerAddress() const {
    QHostAddress a = m_socket->peerAddress();
    bool ok = false;
    const quint32 v4 = a.toIPv4Address(&ok);
    return ok ? QHostAddress(v4).toString() : a.toString();
}

void CClientConnection::Send(const std::string& bytes) {
    if (!m_alive || m_finishing)
        return;
    if (m_socket->bytesToWrite() + static_cast<qint64>(bytes.size()) > kMaxQueued) {
        Drop("output queue full");
        return;
    }
    m_socket->write(bytes.data(), static_cast<qint64>(bytes.size()));
}

void CClientConnection::CloseAfterSend() {
    if (!m_alive || m_finishing)
        return;
    m_finishing = true;
    m_socket->disconnectFromHost();
    Drop("closed by server");
}

void CClientConnection::Drop(const std::string&) {
    if (!m_alive)
        return;
    m_alive = false;
    QMetaObject::invokeMethod(this, &CClientConnection::Finish, Qt::QueuedConnection);
}

void CClientConnection::Finish() {
    emit gone(this);
    if (!m_finishing || m_socket->state() == QAbstractSocket::UnconnectedState) {
        m_socket->abort();
        deleteLater();
        return;
    }
    // Let the last words (a refusal, a replacement notice) reach the peer, but not forever.
    connect(m_socket, &QTcpSocket::disconnected, this, &QObject::deleteLater);
    QTimer::singleShot(5000, this, &QObject::deleteLater);
}

void CClientConnection::OnReadyRead() {
    std::vector<ReaderEvent> events;
    char buf[4096];
    while (m_alive && !m_reader.Failed()) {
        const qint64 n = m_socket->read(buf, sizeof buf);
        if (n <= 0)
            break;
        m_reader.Feed(buf, static_cast<std::size_t>(n), events);
    }
    if (!events.empty())
        emit eventsReady(this, events);
    if (m_reader.Failed())
        Drop("bad input");
}

} // namespace kivra::server
