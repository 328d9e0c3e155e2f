#pragma once
// CFileXfer: the peer file-transfer engine, one per process. A client that logged in directly
// listens on the chat port + 30; a sender connects to the receiver's listener, offers a file, and
// once the receiver's user accepts sends it in blocks of 2032 bytes, each acknowledged. The work
// is a queue of numbered steps: each service step runs the step at the head, which either waits
// (stays at the head) or removes itself and appends its successors. Steps run as soon as a
// socket has something for them, and from the panel's 10 ms timer as a backstop; the timer is
// only wanted while a transfer runs. The user interface hears of everything through one
// callback with numbered events.

#include "xfermessage.h"

#include <blockingsocket.h>

#include <QElapsedTimer>

#include <cstdint>
#include <deque>
#include <functional>
#include <string>
#include <vector>

namespace kivra::platform {
class DialogService;
}

namespace kivra::filexfer {

// Events of the callback (arguments in the comments).
enum : int {
    FXE_BLOCK_SENT = 2,      // blocks sent, block count
    FXE_BLOCK_RECEIVED = 4,  // blocks received, block count
    FXE_READ_BLOCK = 5,      // payload, 0
    FXE_WRITE_BLOCK = 6,     // payload, 0
    FXE_FINISHED = 9,        // finish code, 0
    FXE_OFFER = 11,          // FileOffer*, sizeof(FileOffer); 1 accepts, 0 rejects
    FXE_OPEN_SEND = 13,      // file name, 0
    FXE_OPEN_RECEIVE = 14,   // file name, 0
    FXE_BUSY = 17,           // 0, 0 (the peer was busy) or 1 (we answered busy)
    FXE_CONNECTED = 18,      // socket, 0 (the peer is ready) or 1 (we accepted)
    FXE_REJECTED = 19,       // 0, 1
    FXE_ACCEPTED = 20,       // block count, 1
    FXE_FAILURE = 21,        // FXF_ code, file name
    FXE_OFFER_BUILT = 22,    // 0, 0
    FXE_PEER_CONNECTED = 23, // 0, 0
};

// Finish codes and failure codes.
enum : int {
    FXF_DONE = 0,
    FXF_BUSY = 4,
    FXF_SENDING = 7,
    FXF_RECEIVING = 8,
    FXF_REJECTED = 9,
    FXF_SOCKET = 16,
    FXF_FILE = 17,
    FXF_EMPTY = 19,
    FXF_NO_PEER = 20,
    FXF_TOO_LARGE = 27, // the file does not fit the 32-bit size field
};

enum : std::uint32_t {
    FXFLAG_EVENTS = 0x02,
    FXFLAG_SCRAMBLE = 0x04,
    FXFLAG_STARTED = 0x10000000,
};

// What the callback gets with an offer: the record's fields in order, then the path the user
// chose (left empty to reject).
struct FileOffer {
    char szFileName[128] = {};
    char szUserName[32] = {};
    std::uint32_t nFileSize = 0;
    std::uint32_t nBlockCount = 0;
    std::string strSavePath;
};

class CFileXfer {
public:
    using Callback = std::function<long(int event, std::uintptr_t a1, std::uintptr_t a2)>;

    enum Step : int {
        STEP_DISPATCH = 1,
        STEP_SEND = 2,
        STEP_RECEIVE = 4,
        STEP_READ_BLOCK = 5,
        STEP_WRITE_BLOCK = 6,
        STEP_CONNECT = 8,
        STEP_FINISH = 9,
        STEP_OFFER = 10,
        STEP_ANSWER = 11,
        STEP_CANCEL = 12,
        STEP_OPEN_SEND = 13,
        STEP_OPEN_RECEIVE = 14,
        STEP_LISTEN = 15,
    };
    static constexpr std::size_t kQueueSize = 28;
    static constexpr int kMaxResends = 5;
    static constexpr int kStepsPerTick = 1000;
    static constexpr int kDefaultIdleTimeoutMs = 300000;

    // The process-wide engine.
    static CFileXfer& Instance();

    CFileXfer();
    ~CFileXfer();
    CFileXfer(const CFileXfer&) = delete;
    CFileXfer& operator=(const CFileXfer&) = delete;

    void SetFlags(std::uint32_t flags) { m_nFlags = flags; }
    std::uint32_t Flags() const { return m_nFlags; }
    // Boxes for the listener's socket failures go here (null: none).
    void SetDialogs(kivra::platform::DialogService* dialogs) { m_pDialogs = dialogs; }
    // Told true when the backstop timer should run, false when it should stop.
    void SetPollHook(std::function<void(bool)> hook) { m_pollHook = std::move(hook); }
    // A transfer whose peer sends nothing for this long ends as a socket failure.
    void SetIdleTimeout(int ms) { m_nIdleTimeoutMs = ms; }

    // Listens on `port` (0: any free port); false when it cannot, or when already started.
    bool StartListener(std::uint16_t port, Callback callback);
    // Queues a send of `path` to the listener at `address` (dotted IPv4) and `port`, offered as
    // coming from `userName`. False when inactive, busy (LastError 7 or 8) or the address is bad.
    bool SendFile(const std::string& address, std::uint16_t port, const std::string& path,
                  const std::string& userName);
    // Queues the cancel step when a transfer runs.
    void Cancel();
    // Runs the step at the head of the queue; false when it waits, nothing is queued or a step
    // is already running.
    bool ServiceStep();
    // The backstop timer: one step, then more while they can run (at most kStepsPerTick).
    void OnPollTimer();
    // Closes and frees everything once the last start is undone.
    void Stop();

    bool IsActive() const { return m_bActive; }
    bool IsSending() const { return m_bSending; }
    bool IsReceiving() const { return m_bReceiving; }
    bool IsRunning() const { return m_bSending || m_bReceiving; }
    bool IsPolling() const { return m_bPolling; }
    int LastError() const { return m_nLastError; }
    std::uint16_t ListenPort() const { return m_nListenPort; }
    const std::string& FileName() const { return m_strFileName; }
    std::uint32_t FileSize() const { return m_nFileSize; }
    std::uint32_t BytesDone() const { return m_nBytesDone; }
    std::uint32_t BlockCount() const { return m_nBlockCount; }
    std::size_t QueuedSteps() const { return m_queue.size(); }
    int HeadStep() const { return m_queue.empty() ? 0 : m_queue.front(); }

private:
    bool Append(int step);
    void ClearQueue() { m_queue.clear(); }
    void RunSteps(int budget);
    // Each returns false when the step must wait at the head.
    bool RunStep(int step);
    bool StepListen();
    void StepOpenSend();
    void StepConnect();
    void StepSend();
    bool StepReceive();
    void StepDispatch();
    void StepAnswer();
    void StepOpenReceive();
    void StepReadBlock();
    void StepWriteBlock();
    void StepCancel();
    void StepFinish();
    // Ends the transfer with a cancel to the peer; `code` is the finish code.
    void CancelWith(int code);
    void Finish(int code);
    void SetOut(std::uint32_t type, const void* payload = nullptr, std::size_t length = 0);
    long Notify(int event, std::uintptr_t a1 = 0, std::uintptr_t a2 = 0);
    void OnAccept();
    void OnData();
    void UpdatePolling();
    void CloseFile();
    void DropPartFile();

    kivra::platform::net::BlockingSocket& Data() { return m_sockets[m_nCurrent]; }

    int m_nStarted = 0;
    bool m_bActive = false;
    bool m_bBusy = false;
    bool m_bSending = false;
    bool m_bReceiving = false;
    bool m_bPolling = false;
    bool m_bAcceptPending = false;
    bool m_bOffered = false;  // sender: the offer went out
    bool m_bAccepted = false; // the offer was accepted
    std::uint32_t m_nFlags = 0;
    Callback m_callback;
    std::function<void(bool)> m_pollHook;
    kivra::platform::DialogService* m_pDialogs = nullptr;
    int m_nIdleTimeoutMs = kDefaultIdleTimeoutMs;
    QElapsedTimer m_lastHeard;

    std::uint16_t m_nListenPort = 0;
    std::string m_strPeerAddress;
    std::uint16_t m_nPeerPort = 0;
    std::string m_strFileName; // the path being sent or received
    std::string m_strUserName;
    std::uint32_t m_nFileSize = 0;
    std::uint32_t m_nBlockCount = 0;
    std::uint32_t m_nBlocksDone = 0;
    std::uint32_t m_nBytesDone = 0;
    int m_nRetries = 0;
    int m_nLastError = 0;
    int m_nCancelCode = 0;

    kivra::platform::net::BlockingSocket m_listener;
    kivra::platform::net::BlockingSocket m_sockets[2];
    int m_nCurrent = 0;
    int m_nNext = 0;
    std::vector<std::uint8_t> m_rx;       // bytes read, not yet taken as messages
    std::vector<std::uint8_t> m_out;      // the message step 2 sends
    std::vector<std::uint8_t> m_lastSent; // resent after a bad-header answer
    std::uint32_t m_nInType = 0;
    std::vector<std::uint8_t> m_in; // the payload of the message received
    std::deque<int> m_queue;

    int m_fd = -1;         // the file being read or written
    std::string m_strPart; // the temporary file a received file grows in
};

} // namespace kivra::filexfer
