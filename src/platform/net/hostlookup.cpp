#include "hostlookup.h"

#include "winsockerror.h"

#include <QEventLoop>
#include <QSocketNotifier>
#include <QTimer>

#include <arpa/inet.h>
#include <atomic>
#include <cerrno>
#include <cstring>
#include <memory>
#include <netdb.h>
#include <sys/eventfd.h>
#include <thread>
#include <unistd.h>

namespace kivra::platform::net {

bool ParseDottedAddress(const char* text, std::uint32_t& address) {
    if (text == nullptr)
        return false;
    std::uint32_t parts[4];
    const char* p = text;
    for (int i = 0; i < 4; ++i) {
        if (*p < '0' || *p > '9')
            return false;
        std::uint32_t v = 0;
        int digits = 0;
        while (*p >= '0' && *p <= '9') {
            v = v * 10 + static_cast<std::uint32_t>(*p - '0');
            if (++digits > 3 || v > 255)
                return false;
            ++p;
        }
        parts[i] = v;
        if (i < 3) {
            if (*p != '.')
                return false;
            ++p;
        }
    }
    if (*p != '\0')
        return false;
    address = htonl((parts[0] << 24) | (parts[1] << 16) | (parts[2] << 8) | parts[3]);
    return true;
}

namespace {

// Shared between the UI thread and the worker; whichever lets go last closes the event fd.
struct LookupState {
    int eventFd = -1;
    int error = 0;
    std::uint32_t address = 0;
    std::atomic<bool> ready{false};
    ~LookupState() {
        if (eventFd >= 0)
            ::close(eventFd);
    }
};

void RunLookup(const std::shared_ptr<LookupState>& state, const std::string& name) {
    addrinfo hints{};
    hints.ai_family = AF_INET;
    hints.ai_socktype = SOCK_STREAM;
    addrinfo* answer = nullptr;
    const int rc = ::getaddrinfo(name.c_str(), nullptr, &hints, &answer);
    const int savedErrno = errno;
    if (rc == 0 && answer != nullptr) {
        const auto* sin = reinterpret_cast<const sockaddr_in*>(answer->ai_addr);
        state->address = sin->sin_addr.s_addr;
        state->error = 0;
    } else {
        state->error = WinsockFromLookupError(rc != 0 ? rc : EAI_NONAME, savedErrno);
    }
    if (answer != nullptr)
        ::freeaddrinfo(answer);
    state->ready.store(true, std::memory_order_release);
    const std::uint64_t one = 1;
    [[maybe_unused]] const ssize_t n = ::write(state->eventFd, &one, sizeof one);
}

} // namespace

LookupResult LookupHost(const std::string& name, int timeoutMs) {
    LookupResult result;
    if (name.empty()) {
        result.error = WSAHOST_NOT_FOUND;
        return result;
    }
    auto state = std::make_shared<LookupState>();
    state->eventFd = ::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
    if (state->eventFd < 0) {
        result.error = WinsockFromErrno(errno);
        return result;
    }
    try {
        std::thread(RunLookup, state, name).detach();
    } catch (const std::system_error&) {
        result.error = WSAENOBUFS;
        return result;
    }

    QEventLoop loop;
    QSocketNotifier done(state->eventFd, QSocketNotifier::Read);
    bool finished = false;
    QObject::connect(&done, &QSocketNotifier::activated, &loop, [&] {
        finished = true;
        loop.quit();
    });
    QTimer timer;
    timer.setSingleShot(true);
    QObject::connect(&timer, &QTimer::timeout, &loop, &QEventLoop::quit);
    timer.start(timeoutMs);
    loop.exec();
    done.setEnabled(false);

    if (!finished || !state->ready.load(std::memory_order_acquire)) {
        result.error = WSATRY_AGAIN;
        return result;
    }
    result.error = state->error;
    result.address = state->address;
    return result;
}

} // namespace kivra::platform::net
