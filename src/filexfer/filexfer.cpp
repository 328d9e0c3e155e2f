#include "filexfer.h"

#include "socketerrorbox.h"

#include <winsockerror.h>

#include <arpa/inet.h>
#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace kivra::filexfer {

namespace net = kivra::platform::net;

namespace {

// Bytes kept read ahead of the steps at most; the socket holds the rest.
constexpr std::size_t kReadAhead = 64 * 1024;

bool WriteAll(int fd, const std::uint8_t* data, std::size_t size) {
    while (size > 0) {
        const ssize_t n = ::write(fd, data, size);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return false;
        data += n;
        size -= static_cast<std::size_t>(n);
    }
    return true;
}

std::size_t ReadAll(int fd, std::uint8_t* data, std::size_t size) {
    std::size_t got = 0;
    while (got < size) {
        const ssize_t n = ::read(fd, data + got, size - got);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            break;
        got += static_cast<std::size_t>(n);
    }
    return got;
}

// The mode a program's new file gets: 0666 less the process's umask, read without changing it.
mode_t NewFileMode() {
    std::FILE* status = std::fopen("/proc/self/status", "re");
    unsigned mask = 022;
    if (status != nullptr) {
        char line[128];
        while (std::fgets(line, sizeof line, status) != nullptr)
            if (std::sscanf(line, "Umask: %o", &mask) == 1)
                break;
        std::fclose(status);
    }
    return static_cast<mode_t>(0666 & ~mask);
}

template <std::size_t N> void CopyText(char (&field)[N], const std::string& text) {
    const std::size_t n = text.size() < N - 1 ? text.size() : N - 1;
    std::memcpy(field, text.data(), n);
    field[n] = '\0';
}

} // namespace

CFileXfer& CFileXfer::Instance() {
    // Never destroyed: its sockets must not outlive the event loop's teardown.
    static CFileXfer* engine = new CFileXfer;
    return *engine;
}

CFileXfer::CFileXfer() {
    m_listener.onAccept = [this] { OnAccept(); };
    for (auto& s : m_sockets) {
        s.onReceive = [this] { OnData(); };
        s.onClose = [this](int) { OnData(); };
    }
}

CFileXfer::~CFileXfer() {
    // Whoever runs the timer may already be gone.
    m_pollHook = nullptr;
    m_nStarted = 1;
    Stop();
}

long CFileXfer::Notify(int event, std::uintptr_t a1, std::uintptr_t a2) {
    if (!m_callback || (m_nFlags & FXFLAG_EVENTS) == 0)
        return 0;
    return m_callback(event, a1, a2);
}

bool CFileXfer::StartListener(std::uint16_t port, Callback callback) {
    if (m_nStarted > 0)
        return false;
    if (!m_listener.Create(port) || !m_listener.Listen(5)) {
        m_listener.Close();
        return false;
    }
    ++m_nStarted;
    m_callback = std::move(callback);
    m_nListenPort = m_listener.LocalPort();
    m_bActive = true;
    ClearQueue();
    Append(STEP_LISTEN);
    return true;
}

void CFileXfer::Stop() {
    if (m_nStarted > 0 && --m_nStarted > 0)
        return;
    m_listener.Close();
    for (auto& s : m_sockets)
        s.Close();
    DropPartFile();
    ClearQueue();
    m_rx.clear();
    m_bActive = m_bSending = m_bReceiving = false;
    m_bAcceptPending = false;
    m_callback = nullptr;
    UpdatePolling();
}

bool CFileXfer::Append(int step) {
    if (m_queue.size() >= kQueueSize)
        return false;
    m_queue.push_back(step);
    return true;
}

bool CFileXfer::SendFile(const std::string& address, std::uint16_t port, const std::string& path,
                         const std::string& userName) {
    if (!m_bActive)
        return false;
    if (m_bSending || m_bReceiving) {
        m_nLastError = m_bSending ? FXF_SENDING : FXF_RECEIVING;
        return false;
    }
    in_addr parsed{};
    if (::inet_pton(AF_INET, address.c_str(), &parsed) != 1 || path.empty())
        return false;
    m_strPeerAddress = address;
    m_nPeerPort = port;
    m_strFileName = path;
    m_strUserName = userName.substr(0, 29);
    m_bSending = true;
    ClearQueue();
    Append(STEP_OPEN_SEND);
    m_lastHeard.start();
    RunSteps(kStepsPerTick);
    return true;
}

void CFileXfer::Cancel() {
    if (!IsRunning())
        return;
    m_nCancelCode = FXF_DONE;
    ClearQueue();
    Append(STEP_CANCEL);
    RunSteps(kStepsPerTick);
}

void CFileXfer::CancelWith(int code) {
    m_nCancelCode = code;
    ClearQueue();
    Append(STEP_CANCEL);
}

void CFileXfer::OnAccept() {
    if (!IsRunning()) {
        m_bAcceptPending = true;
        RunSteps(kStepsPerTick);
        return;
    }
    // One transfer at a time: a second caller hears "busy" and is let go.
    net::BlockingSocket other;
    if (m_listener.Accept(other)) {
        const std::vector<std::uint8_t> busy = EncodeMessage(XFER_BUSY);
        other.Send(busy.data(), static_cast<int>(busy.size()));
        other.Close();
        Notify(FXE_BUSY, 0, 1);
    }
}

void CFileXfer::OnData() {
    RunSteps(kStepsPerTick);
}

void CFileXfer::OnPollTimer() {
    if (!m_bActive)
        return;
    if (IsRunning() && !m_bBusy && m_lastHeard.isValid() &&
        m_lastHeard.elapsed() > m_nIdleTimeoutMs && HeadStep() == STEP_RECEIVE) {
        // The peer has stopped answering.
        CancelWith(FXF_SOCKET);
    }
    RunSteps(1 + kStepsPerTick);
}

void CFileXfer::RunSteps(int budget) {
    if (m_bBusy || !m_bActive)
        return;
    for (int i = 0; i < budget; ++i)
        if (!ServiceStep())
            break;
    UpdatePolling();
}

void CFileXfer::UpdatePolling() {
    const bool want = m_bActive && IsRunning();
    if (want == m_bPolling)
        return;
    m_bPolling = want;
    if (m_pollHook)
        m_pollHook(want);
}

bool CFileXfer::ServiceStep() {
    if (m_bBusy || m_queue.empty())
        return false;
    m_bBusy = true;
    const int step = m_queue.front();
    m_queue.pop_front();
    const bool ran = RunStep(step);
    if (!ran)
        m_queue.push_front(step);
    m_bBusy = false;
    return ran;
}

bool CFileXfer::RunStep(int step) {
    switch (step) {
    case STEP_LISTEN:
        return StepListen();
    case STEP_OPEN_SEND:
        StepOpenSend();
        return true;
    case STEP_CONNECT:
        StepConnect();
        return true;
    case STEP_OFFER: {
        Offer offer;
        offer.fileName = std::string(BaseName(m_strFileName));
        offer.userName = m_strUserName;
        offer.fileSize = m_nFileSize;
        offer.blockCount = m_nBlockCount;
        const std::vector<std::uint8_t> payload = EncodeOffer(offer);
        SetOut(XFER_OFFER, payload.data(), payload.size());
        m_bOffered = true;
        Notify(FXE_OFFER_BUILT);
        Append(STEP_SEND);
        return true;
    }
    case STEP_SEND:
        StepSend();
        return true;
    case STEP_RECEIVE:
        return StepReceive();
    case STEP_DISPATCH:
        StepDispatch();
        return true;
    case STEP_ANSWER:
        StepAnswer();
        return true;
    case STEP_OPEN_RECEIVE:
        StepOpenReceive();
        return true;
    case STEP_READ_BLOCK:
        StepReadBlock();
        return true;
    case STEP_WRITE_BLOCK:
        StepWriteBlock();
        return true;
    case STEP_CANCEL:
        StepCancel();
        return true;
    case STEP_FINISH:
        StepFinish();
        return true;
    default:
        return true;
    }
}

bool CFileXfer::StepListen() {
    if (!m_bAcceptPending)
        return false;
    m_bAcceptPending = false;
    net::BlockingSocket& into = m_sockets[m_nNext];
    into.Close();
    if (!m_listener.Accept(into)) {
        if (m_pDialogs != nullptr)
            ShowSocketErrorBox(*m_pDialogs, net::LastError());
        Finish(FXF_SOCKET);
        return true;
    }
    m_nCurrent = m_nNext;
    m_nNext ^= 1;
    m_bReceiving = true;
    m_bOffered = m_bAccepted = false;
    m_lastHeard.start();
    SetOut(XFER_READY);
    if (Data().Send(m_out.data(), static_cast<int>(m_out.size())) != int(m_out.size())) {
        if (m_pDialogs != nullptr)
            ShowSocketErrorBox(*m_pDialogs, net::LastError());
        Finish(FXF_SOCKET);
        return true;
    }
    Notify(FXE_CONNECTED, static_cast<std::uintptr_t>(m_nCurrent), 1);
    Append(STEP_RECEIVE);
    return true;
}

void CFileXfer::StepOpenSend() {
    CloseFile();
    Notify(FXE_OPEN_SEND, reinterpret_cast<std::uintptr_t>(m_strFileName.c_str()));
    const std::uintptr_t name = reinterpret_cast<std::uintptr_t>(m_strFileName.c_str());
    m_fd = ::open(m_strFileName.c_str(), O_RDONLY | O_CLOEXEC);
    struct stat st {};
    if (m_fd < 0 || ::fstat(m_fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        Notify(FXE_FAILURE, FXF_FILE, name);
        Finish(FXF_FILE);
        return;
    }
    if (static_cast<std::uint64_t>(st.st_size) > 0xFFFFFFFFull) {
        Notify(FXE_FAILURE, FXF_TOO_LARGE, name);
        Finish(FXF_FILE);
        return;
    }
    if (st.st_size == 0) {
        // Nothing to send: the offer would announce no blocks at all.
        Notify(FXE_FAILURE, FXF_EMPTY, name);
        Finish(FXF_FILE);
        return;
    }
    m_nFileSize = static_cast<std::uint32_t>(st.st_size);
    m_nBlockCount = filexfer::BlockCount(m_nFileSize);
    m_nBlocksDone = m_nBytesDone = 0;
    m_bOffered = m_bAccepted = false;
    Append(STEP_CONNECT);
}

void CFileXfer::StepConnect() {
    m_nCurrent = m_nNext;
    m_nNext ^= 1;
    net::BlockingSocket& s = Data();
    s.Close();
    in_addr address{};
    ::inet_pton(AF_INET, m_strPeerAddress.c_str(), &address);
    if (!s.Create() || !s.Connect(address.s_addr, m_nPeerPort)) {
        const int error = net::LastError();
        Notify(FXE_FAILURE, FXF_NO_PEER, 0);
        if (error != net::WSAEWOULDBLOCK)
            Finish(FXF_SOCKET);
        return;
    }
    m_lastHeard.start();
    Notify(FXE_PEER_CONNECTED);
    Append(STEP_RECEIVE);
}

void CFileXfer::SetOut(std::uint32_t type, const void* payload, std::size_t length) {
    m_out = EncodeMessage(type, payload, length);
    if (type != XFER_BAD_HEADER)
        m_lastSent = m_out;
}

void CFileXfer::StepSend() {
    const int size = static_cast<int>(m_out.size());
    int sent = 0;
    while (sent < size) {
        const int n = Data().Send(m_out.data() + sent, size - sent);
        if (n <= 0) {
            Finish(FXF_SOCKET);
            return;
        }
        sent += n;
    }
    Append(STEP_RECEIVE);
}

bool CFileXfer::StepReceive() {
    net::BlockingSocket& s = Data();
    unsigned long waiting = 0;
    if (s.IsCreated() && s.BytesAvailable(waiting) && waiting > 0 && m_rx.size() < kReadAhead) {
        const std::size_t want = std::min<std::size_t>(waiting, kReadAhead - m_rx.size());
        const std::size_t at = m_rx.size();
        m_rx.resize(at + want);
        const int n = s.Receive(m_rx.data() + at, static_cast<int>(want));
        m_rx.resize(at + static_cast<std::size_t>(n > 0 ? n : 0));
        if (n > 0)
            m_lastHeard.start();
    }
    const ReadResult r = ReadMessage(m_rx.data(), m_rx.size());
    switch (r.status) {
    case ReadResult::NeedMore:
        if (!s.IsConnected()) {
            Finish(FXF_SOCKET);
            return true;
        }
        return false;
    case ReadResult::BadHeader:
        // Nothing after a broken head can be trusted to start a message.
        m_rx.clear();
        SetOut(XFER_BAD_HEADER);
        Append(STEP_SEND);
        return true;
    case ReadResult::TooLong:
        m_rx.clear();
        CancelWith(FXF_SOCKET);
        return true;
    case ReadResult::Message:
        break;
    }
    m_nInType = r.type;
    m_in.assign(m_rx.begin() + 12, m_rx.begin() + 12 + r.length);
    m_rx.erase(m_rx.begin(), m_rx.begin() + static_cast<std::ptrdiff_t>(r.consumed));
    if ((r.type & ~XFER_SCRAMBLED & ~4u) == XFER_BLOCK) {
        // A block is written only while an accepted offer has room for it; scrambled blocks
        // are not taken.
        const bool last = (r.type & ~XFER_SCRAMBLED) == XFER_LAST_BLOCK;
        const std::uint64_t after = std::uint64_t(m_nBytesDone) + r.length;
        const bool fits = m_bReceiving && m_bAccepted && (r.type & XFER_SCRAMBLED) == 0 &&
                          m_nBlocksDone < m_nBlockCount && after <= m_nFileSize &&
                          last == (m_nBlocksDone + 1 == m_nBlockCount) &&
                          (!last || after == m_nFileSize);
        if (!fits) {
            CancelWith(FXF_SOCKET);
            return true;
        }
        ++m_nBlocksDone;
        Notify(FXE_BLOCK_RECEIVED, m_nBlocksDone, m_nBlockCount);
        Append(STEP_WRITE_BLOCK);
        return true;
    }
    Append(STEP_DISPATCH);
    return true;
}

void CFileXfer::StepDispatch() {
    switch (m_nInType) {
    case XFER_OFFER:
        if (m_bReceiving && !m_bAccepted && m_fd < 0)
            Append(STEP_ANSWER);
        else
            CancelWith(FXF_SOCKET);
        return;
    case XFER_READY:
        if (m_bSending && !m_bOffered) {
            Notify(FXE_CONNECTED, static_cast<std::uintptr_t>(m_nCurrent), 0);
            Append(STEP_OFFER);
        } else {
            CancelWith(FXF_SOCKET);
        }
        return;
    case XFER_ACCEPTED:
        if (m_bSending && m_bOffered && !m_bAccepted) {
            m_bAccepted = true;
            Notify(FXE_ACCEPTED, m_nBlockCount, 1);
            Append(STEP_READ_BLOCK);
        } else {
            CancelWith(FXF_SOCKET);
        }
        return;
    case XFER_REJECTED:
        if (m_bSending) {
            Notify(FXE_REJECTED, 0, 1);
            Finish(FXF_REJECTED);
        } else {
            CancelWith(FXF_SOCKET);
        }
        return;
    case XFER_BUSY:
        Notify(FXE_BUSY, 0, 0);
        Finish(FXF_BUSY);
        return;
    case XFER_COMPLETE:
        if (m_bSending && m_bAccepted && m_nBlocksDone == m_nBlockCount)
            Finish(FXF_DONE);
        else
            CancelWith(FXF_SOCKET);
        return;
    case XFER_ACK:
        // Only the block just sent can be acknowledged, and only while blocks remain.
        if (m_bSending && m_bAccepted && m_nBlocksDone > 0 && m_nBlocksDone < m_nBlockCount)
            Append(STEP_READ_BLOCK);
        else
            CancelWith(FXF_SOCKET);
        return;
    case XFER_CANCEL:
        Finish(FXF_DONE);
        return;
    case XFER_BAD_HEADER:
        if (m_nRetries < kMaxResends && !m_lastSent.empty()) {
            ++m_nRetries;
            m_out = m_lastSent;
            Append(STEP_SEND);
        } else {
            Finish(FXF_SOCKET);
        }
        return;
    default:
        CancelWith(FXF_SOCKET);
        return;
    }
}

void CFileXfer::StepAnswer() {
    Offer offer;
    FileOffer record;
    const bool valid = DecodeOffer(m_in.data(), m_in.size(), offer) && offer.fileSize > 0 &&
                       offer.blockCount == filexfer::BlockCount(offer.fileSize);
    long accepted = 0;
    if (valid) {
        CopyText(record.szFileName, SafeFileName(offer.fileName));
        std::string user;
        for (const char c : offer.userName)
            if (static_cast<unsigned char>(c) >= 0x20 && c != 0x7F)
                user.push_back(c);
        CopyText(record.szUserName, user);
        record.nFileSize = offer.fileSize;
        record.nBlockCount = offer.blockCount;
        m_nFileSize = offer.fileSize;
        m_nBlockCount = offer.blockCount;
        m_nBlocksDone = m_nBytesDone = 0;
        m_strUserName = record.szUserName;
        m_strFileName = record.szFileName;
        accepted = Notify(FXE_OFFER, reinterpret_cast<std::uintptr_t>(&record), sizeof record);
        if (!m_bReceiving) // cancelled or stopped while the user was asked
            return;
    }
    if (accepted != 0 && !record.strSavePath.empty()) {
        m_strFileName = record.strSavePath;
        m_bAccepted = true;
        SetOut(XFER_ACCEPTED);
        Append(STEP_OPEN_RECEIVE);
        Append(STEP_SEND);
    } else {
        m_nCancelCode = FXF_REJECTED;
        SetOut(XFER_REJECTED);
        Append(STEP_SEND);
        Append(STEP_FINISH);
    }
}

void CFileXfer::StepOpenReceive() {
    CloseFile();
    Notify(FXE_OPEN_RECEIVE, reinterpret_cast<std::uintptr_t>(m_strFileName.c_str()));
    // The file grows under a name of its own beside the target and takes the target's name
    // only once it is whole.
    std::string part = m_strFileName + ".part-XXXXXX";
    m_fd = ::mkostemp(part.data(), O_CLOEXEC);
    // A temporary file is private to its maker; the received file is the user's like any other.
    if (m_fd >= 0 && ::fchmod(m_fd, NewFileMode()) != 0) {
        ::close(m_fd);
        ::unlink(part.c_str());
        m_fd = -1;
    }
    if (m_fd < 0) {
        Notify(FXE_FAILURE, FXF_FILE, reinterpret_cast<std::uintptr_t>(m_strFileName.c_str()));
        Finish(FXF_FILE);
        return;
    }
    m_strPart = part;
}

void CFileXfer::StepReadBlock() {
    Notify(FXE_READ_BLOCK);
    const std::uint32_t left = m_nFileSize - m_nBytesDone;
    const std::uint32_t want = left < kBlockSize ? left : kBlockSize;
    std::uint8_t block[kBlockSize];
    if (m_fd < 0 || ReadAll(m_fd, block, want) != want) {
        // The file shrank under us: the peer must not wait for blocks that cannot come.
        CancelWith(FXF_FILE);
        return;
    }
    const bool last = m_nBlocksDone + 1 == m_nBlockCount;
    SetOut(last ? XFER_LAST_BLOCK : XFER_BLOCK, block, want);
    m_nBytesDone += want;
    ++m_nBlocksDone;
    Notify(FXE_BLOCK_SENT, m_nBlocksDone, m_nBlockCount);
    Append(STEP_SEND);
}

void CFileXfer::StepWriteBlock() {
    Notify(FXE_WRITE_BLOCK);
    if (m_fd < 0 || !WriteAll(m_fd, m_in.data(), m_in.size())) {
        CancelWith(FXF_FILE);
        return;
    }
    m_nBytesDone += static_cast<std::uint32_t>(m_in.size());
    if (m_nBlocksDone < m_nBlockCount) {
        SetOut(XFER_ACK);
        Append(STEP_SEND);
        return;
    }
    const bool closed = ::close(m_fd) == 0;
    m_fd = -1;
    if (!closed || ::rename(m_strPart.c_str(), m_strFileName.c_str()) != 0) {
        CancelWith(FXF_FILE);
        return;
    }
    m_strPart.clear();
    SetOut(XFER_COMPLETE);
    Append(STEP_SEND);
    Append(STEP_FINISH);
}

void CFileXfer::StepCancel() {
    ClearQueue();
    SetOut(XFER_CANCEL);
    Append(STEP_SEND);
    Append(STEP_FINISH);
}

void CFileXfer::StepFinish() {
    Finish(m_nCancelCode);
}

void CFileXfer::CloseFile() {
    if (m_fd >= 0)
        ::close(m_fd);
    m_fd = -1;
}

void CFileXfer::DropPartFile() {
    CloseFile();
    if (!m_strPart.empty())
        ::unlink(m_strPart.c_str());
    m_strPart.clear();
}

void CFileXfer::Finish(int code) {
    Data().Close();
    DropPartFile();
    ClearQueue();
    Append(STEP_LISTEN);
    m_rx.clear();
    m_bSending = m_bReceiving = m_bOffered = m_bAccepted = false;
    m_nFileSize = m_nBlockCount = m_nBlocksDone = m_nBytesDone = 0;
    m_nRetries = 0;
    m_nCancelCode = 0;
    m_nLastError = code;
    m_lastHeard.invalidate();
    Notify(FXE_FINISHED, static_cast<std::uintptr_t>(code));
}

} // namespace kivra::filexfer
