#pragma once
// A TCP stream socket with "blocking" calls and asynchronous notifications, on one UI thread.
//
// The descriptor is non-blocking. A call that would block (connect, send, receive, accept) runs
// a nested event loop until the socket is ready, the call is cancelled (CancelBlockingCall,
// WSAEINTR) or its timeout passes (WSAETIMEDOUT), so windows, timers and notifications keep
// running meanwhile. Only one blocking call runs at a time on a socket: a second one started
// from inside the first one's loop fails with WSAEINPROGRESS instead of interleaving bytes.
//
// Notifications come from the event loop: onReceive when bytes wait, onClose when the peer has
// closed or reset the connection, onAccept when a connection waits on a listening socket. Like
// the socket library the callers were written for, onReceive is not repeated until a
// receive-side call (Receive, BytesAvailable) has been made, so a caller that does not read at
// once is not flooded with notifications.
//
// Failures return false or -1 and leave a Winsock number in LastError().

#include <QSocketNotifier>

#include <cstdint>
#include <functional>
#include <memory>

class QEventLoop;

namespace kivra::platform::net {

class BlockingSocket {
public:
    BlockingSocket();
    ~BlockingSocket();
    BlockingSocket(const BlockingSocket&) = delete;
    BlockingSocket& operator=(const BlockingSocket&) = delete;

    std::function<void()> onReceive;
    std::function<void(int error)> onClose; // 0 for an orderly close
    std::function<void()> onAccept;

    // Creates the socket; a non-zero port is bound at once (for listening).
    bool Create(std::uint16_t localPort = 0);
    bool IsCreated() const { return m_fd >= 0; }
    // Cancels a running blocking call and closes the descriptor.
    void Close();

    // `address` in network byte order, `port` in host order.
    bool Connect(std::uint32_t address, std::uint16_t port);
    bool IsConnected() const { return m_connected; }
    // Bytes written (at least 1 when length > 0), or -1.
    int Send(const void* data, int length);
    // Bytes read, 0 when the peer has closed, or -1.
    int Receive(void* data, int length);
    // Bytes that can be read now without waiting.
    bool BytesAvailable(unsigned long& count);

    bool Listen(int backlog);
    // Takes a waiting connection into `into` (which must not be created).
    bool Accept(BlockingSocket& into, std::uint32_t* peerAddress = nullptr,
                std::uint16_t* peerPort = nullptr);
    std::uint16_t LocalPort() const;

    bool IsBlocking() const { return m_loop != nullptr; }
    void CancelBlockingCall();

    // Timeouts of the blocking calls in milliseconds; 0 waits without limit.
    void SetConnectTimeout(int ms) { m_connectTimeoutMs = ms; }
    void SetIoTimeout(int ms) { m_ioTimeoutMs = ms; }

private:
    // 0 when ready, else WSAEINTR, WSAETIMEDOUT, WSAENOTSOCK (socket closed or destroyed).
    int WaitFor(QSocketNotifier::Type type, int timeoutMs);
    bool OpenDescriptor();
    void ArmRead();
    void OnReadable();
    void DropReadNotifier();

    int m_fd = -1;
    std::uint16_t m_localPort = 0;
    bool m_connected = false;
    bool m_listening = false;
    bool m_peerClosed = false;
    bool m_cancelled = false;
    int m_connectTimeoutMs = 20000;
    int m_ioTimeoutMs = 30000;
    QSocketNotifier* m_readNotifier = nullptr;
    QSocketNotifier* m_waitNotifier = nullptr;
    QEventLoop* m_loop = nullptr;
    std::shared_ptr<bool> m_alive;
};

} // namespace kivra::platform::net
