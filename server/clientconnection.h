#pragma once

#include "commandreader.h"

#include <QObject>
#include <QTcpSocket>
#include <QTimer>

#include <functional>
#include <string>

namespace kivra::server {

struct CChatUser;

// One chat socket: reads with the bounded command reader, writes through a bounded queue.
// A client that sends junk, overlong lines or stops reading is dropped; dropping is deferred
// to the event loop so that a fan-out loop never sees a connection vanish under it.
class CClientConnection : public QObject {
    Q_OBJECT
public:
    static constexpr qint64 kMaxQueued = 1 << 20;

    explicit CClientConnection(QTcpSocket* socket, QObject* parent = nullptr);
    ~CClientConnection() override;

    void Send(const std::string& bytes);
    // Sends what is queued, then closes.
    void CloseAfterSend();
    void Drop(const std::string& why);
    bool IsAlive() const { return m_alive; }
    QString PeerAddress() const;

    CChatUser* user = nullptr;
    int badLines = 0;

signals:
    void eventsReady(kivra::server::CClientConnection* self,
                     const std::vector<kivra::server::ReaderEvent>& events);
    void gone(kivra::server::CClientConnection* self);

private:
    void OnReadyRead();
    void Finish();

    QTcpSocket* m_socket;
    CCommandReader m_reader;
    QTimer m_loginTimer;
    bool m_alive = true;
    bool m_finishing = false;
};

} // namespace kivra::server
