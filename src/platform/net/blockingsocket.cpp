#include "blockingsocket.h"

#include "winsockerror.h"

#include <QEventLoop>
#include <QTimer>

#include <arpa/inet.h>
#include <cerrno>
#include <fcntl.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <sys/ioctl.h>
#include <sys/socket.h>
#include <unistd.h>

namespace kivra::platform::net {

BlockingSocket::BlockingSocket() : m_alive(std::make_shared<bool>(true)) {}

BlockingSocket::~BlockingSocket() {
    *m_alive = false;
    Close();
}

bool BlockingSocket::OpenDescriptor() {
    m_fd = ::socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
    if (m_fd < 0) {
        SetLastErrorFromErrno(errno);
        return false;
    }
    if (m_localPort != 0) {
        // A listener must come back on its port at once after a previous run, as it would on
        // the platform the callers were written for.
        const int on = 1;
        ::setsockopt(m_fd, SOL_SOCKET, SO_REUSEADDR, &on, sizeof on);
        sockaddr_in local{};
        local.sin_family = AF_INET;
        local.sin_port = htons(m_localPort);
        local.sin_addr.s_addr = htonl(INADDR_ANY);
        if (::bind(m_fd, reinterpret_cast<sockaddr*>(&local), sizeof local) != 0) {
            const int err = errno;
            ::close(m_fd);
            m_fd = -1;
            SetLastErrorFromErrno(err);
            return false;
        }
    }
    return true;
}

bool BlockingSocket::Create(std::uint16_t localPort) {
    if (m_fd >= 0) {
        SetLastError(WSAEINVAL);
        return false;
    }
    m_localPort = localPort;
    m_connected = m_listening = m_peerClosed = false;
    return OpenDescriptor();
}

void BlockingSocket::DropReadNotifier() {
    if (m_readNotifier != nullptr) {
        // The notifier may be the one whose signal is running right now.
        m_readNotifier->setEnabled(false);
        m_readNotifier->deleteLater();
        m_readNotifier = nullptr;
    }
}

void BlockingSocket::Close() {
    CancelBlockingCall();
    if (m_waitNotifier != nullptr)
        m_waitNotifier->setEnabled(false);
    DropReadNotifier();
    if (m_fd >= 0) {
        ::close(m_fd);
        m_fd = -1;
    }
    m_connected = m_listening = false;
}

void BlockingSocket::CancelBlockingCall() {
    if (m_loop != nullptr) {
        m_cancelled = true;
        m_loop->quit();
    }
}

int BlockingSocket::WaitFor(QSocketNotifier::Type type, int timeoutMs) {
    if (m_loop != nullptr)
        return WSAEINPROGRESS;
    if (m_fd < 0)
        return WSAENOTSOCK;
    const std::shared_ptr<bool> alive = m_alive;
    QEventLoop loop;
    QSocketNotifier notifier(m_fd, type);
    bool ready = false;
    QObject::connect(&notifier, &QSocketNotifier::activated, &loop, [&] {
        ready = true;
        notifier.setEnabled(false);
        loop.quit();
    });
    QTimer timer;
    timer.setSingleShot(true);
    QObject::connect(&timer, &QTimer::timeout, &loop, &QEventLoop::quit);
    if (timeoutMs > 0)
        timer.start(timeoutMs);
    m_loop = &loop;
    m_waitNotifier = &notifier;
    m_cancelled = false;
    loop.exec(QEventLoop::AllEvents);
    notifier.setEnabled(false);
    if (!*alive)
        return WSAENOTSOCK;
    m_loop = nullptr;
    m_waitNotifier = nullptr;
    if (m_cancelled) {
        m_cancelled = false;
        return WSAEINTR;
    }
    if (m_fd < 0)
        return WSAENOTSOCK;
    return ready ? 0 : WSAETIMEDOUT;
}

bool BlockingSocket::Connect(std::uint32_t address, std::uint16_t port) {
    if (m_loop != nullptr) {
        SetLastError(WSAEINPROGRESS);
        return false;
    }
    if (m_fd < 0) {
        SetLastError(WSAENOTSOCK);
        return false;
    }
    if (m_connected) {
        SetLastError(WSAEISCONN);
        return false;
    }
    sockaddr_in peer{};
    peer.sin_family = AF_INET;
    peer.sin_port = htons(port);
    peer.sin_addr.s_addr = address;
    int error = 0;
    if (::connect(m_fd, reinterpret_cast<sockaddr*>(&peer), sizeof peer) != 0) {
        if (errno != EINPROGRESS) {
            error = WinsockFromErrno(errno);
        } else {
            const std::shared_ptr<bool> alive = m_alive;
            error = WaitFor(QSocketNotifier::Write, m_connectTimeoutMs);
            if (!*alive) {
                SetLastError(error);
                return false;
            }
            if (error == 0) {
                int soError = 0;
                socklen_t len = sizeof soError;
                if (::getsockopt(m_fd, SOL_SOCKET, SO_ERROR, &soError, &len) != 0)
                    soError = errno;
                error = WinsockFromErrno(soError);
            }
        }
    }
    if (error != 0) {
        // A descriptor whose connect failed or was abandoned cannot be used for the next
        // attempt; replace it so the socket stays created, as callers expect.
        if (m_fd >= 0) {
            ::close(m_fd);
            m_fd = -1;
            OpenDescriptor();
        }
        SetLastError(error);
        return false;
    }
    const int on = 1;
    ::setsockopt(m_fd, IPPROTO_TCP, TCP_NODELAY, &on, sizeof on);
    m_connected = true;
    m_peerClosed = false;
    ArmRead();
    return true;
}

void BlockingSocket::ArmRead() {
    if (m_fd < 0 || m_peerClosed || !(m_connected || m_listening))
        return;
    if (m_readNotifier == nullptr) {
        m_readNotifier = new QSocketNotifier(m_fd, QSocketNotifier::Read);
        QObject::connect(m_readNotifier, &QSocketNotifier::activated, m_readNotifier,
                         [this] { OnReadable(); });
    }
    m_readNotifier->setEnabled(true);
}

void BlockingSocket::OnReadable() {
    if (m_readNotifier != nullptr)
        m_readNotifier->setEnabled(false);
    if (m_fd < 0)
        return;
    if (m_listening) {
        if (onAccept)
            onAccept();
        return;
    }
    char probe = 0;
    const ssize_t n = ::recv(m_fd, &probe, 1, MSG_PEEK | MSG_DONTWAIT);
    if (n > 0) {
        if (onReceive)
            onReceive();
        return;
    }
    if (n < 0 && (errno == EAGAIN || errno == EINTR)) {
        ArmRead();
        return;
    }
    const int error = n == 0 ? 0 : WinsockFromErrno(errno);
    m_peerClosed = true;
    m_connected = false;
    if (onClose)
        onClose(error);
}

int BlockingSocket::Send(const void* data, int length) {
    if (m_loop != nullptr) {
        SetLastError(WSAEINPROGRESS);
        return -1;
    }
    if (m_fd < 0) {
        SetLastError(WSAENOTSOCK);
        return -1;
    }
    if (length <= 0)
        return 0;
    const std::shared_ptr<bool> alive = m_alive;
    for (;;) {
        const ssize_t n = ::send(m_fd, data, static_cast<std::size_t>(length), MSG_NOSIGNAL);
        if (n >= 0)
            return static_cast<int>(n);
        if (errno == EINTR)
            continue;
        if (errno != EAGAIN) {
            SetLastErrorFromErrno(errno);
            return -1;
        }
        const int error = WaitFor(QSocketNotifier::Write, m_ioTimeoutMs);
        if (error != 0) {
            SetLastError(error);
            return -1;
        }
        if (!*alive) {
            SetLastError(WSAENOTSOCK);
            return -1;
        }
    }
}

int BlockingSocket::Receive(void* data, int length) {
    if (m_loop != nullptr) {
        SetLastError(WSAEINPROGRESS);
        return -1;
    }
    if (m_fd < 0) {
        SetLastError(WSAENOTSOCK);
        return -1;
    }
    if (length <= 0)
        return 0;
    const std::shared_ptr<bool> alive = m_alive;
    for (;;) {
        const ssize_t n = ::recv(m_fd, data, static_cast<std::size_t>(length), 0);
        if (n >= 0) {
            if (n == 0) {
                m_peerClosed = true;
                m_connected = false;
            } else {
                ArmRead();
            }
            return static_cast<int>(n);
        }
        if (errno == EINTR)
            continue;
        if (errno != EAGAIN) {
            SetLastErrorFromErrno(errno);
            return -1;
        }
        // Our own wait takes the readiness; the notification must not fire meanwhile.
        if (m_readNotifier != nullptr)
            m_readNotifier->setEnabled(false);
        const int error = WaitFor(QSocketNotifier::Read, m_ioTimeoutMs);
        if (!*alive) {
            SetLastError(WSAENOTSOCK);
            return -1;
        }
        if (error != 0) {
            ArmRead();
            SetLastError(error);
            return -1;
        }
    }
}

bool BlockingSocket::BytesAvailable(unsigned long& count) {
    count = 0;
    if (m_fd < 0) {
        SetLastError(WSAENOTSOCK);
        return false;
    }
    int n = 0;
    if (::ioctl(m_fd, FIONREAD, &n) != 0) {
        SetLastErrorFromErrno(errno);
        return false;
    }
    count = static_cast<unsigned long>(n);
    ArmRead();
    return true;
}

bool BlockingSocket::Listen(int backlog) {
    if (m_fd < 0) {
        SetLastError(WSAENOTSOCK);
        return false;
    }
    if (::listen(m_fd, backlog) != 0) {
        SetLastErrorFromErrno(errno);
        return false;
    }
    m_listening = true;
    ArmRead();
    return true;
}

bool BlockingSocket::Accept(BlockingSocket& into, std::uint32_t* peerAddress,
                            std::uint16_t* peerPort) {
    if (m_loop != nullptr) {
        SetLastError(WSAEINPROGRESS);
        return false;
    }
    if (m_fd < 0 || !m_listening) {
        SetLastError(m_fd < 0 ? WSAENOTSOCK : WSAEINVAL);
        return false;
    }
    if (into.m_fd >= 0) {
        SetLastError(WSAEISCONN);
        return false;
    }
    const std::shared_ptr<bool> alive = m_alive;
    for (;;) {
        sockaddr_in peer{};
        socklen_t len = sizeof peer;
        const int fd =
            ::accept4(m_fd, reinterpret_cast<sockaddr*>(&peer), &len, SOCK_NONBLOCK | SOCK_CLOEXEC);
        if (fd >= 0) {
            into.m_fd = fd;
            into.m_connected = true;
            into.m_peerClosed = false;
            into.ArmRead();
            if (peerAddress != nullptr)
                *peerAddress = peer.sin_addr.s_addr;
            if (peerPort != nullptr)
                *peerPort = ntohs(peer.sin_port);
            ArmRead();
            return true;
        }
        if (errno == EINTR || errno == ECONNABORTED)
            continue;
        if (errno != EAGAIN) {
            SetLastErrorFromErrno(errno);
            return false;
        }
        if (m_readNotifier != nullptr)
            m_readNotifier->setEnabled(false);
        const int error = WaitFor(QSocketNotifier::Read, m_ioTimeoutMs);
        if (!*alive) {
            SetLastError(WSAENOTSOCK);
            return false;
        }
        if (error != 0) {
            ArmRead();
            SetLastError(error);
            return false;
        }
    }
}

std::uint16_t BlockingSocket::LocalPort() const {
    if (m_fd < 0)
        return 0;
    sockaddr_in local{};
    socklen_t len = sizeof local;
    if (::getsockname(m_fd, reinterpret_cast<sockaddr*>(&local), &len) != 0)
        return 0;
    return ntohs(local.sin_port);
}

} // namespace kivra::platform::net
