#pragma once
// CChatSession: one chat session inside the panel, from the connect attempt to its end. The
// panel owns the transport, the protocol object and the session; it calls Start once when its
// window exists, forwards WM_CHAT_SOCKET to OnSocketMessage and its timers to OnTimer, and calls
// Shutdown when it is destroyed. Lines go to the context's output view, boxes to the dialog
// service.

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

class CChatContext;
class CChatSocket;
class CProtocolBase;
class QTimer;
class QWidget;

namespace kivra::platform {
class MessageWindow;
class DialogService;
} // namespace kivra::platform

// What the session asks of the panes around it; any of them may be left empty.
struct CChatSessionHooks {
    std::function<void()> reloadEmotions; // from the settings store, after login
    std::function<void()> clearEmotions;  // after a refused login
    std::function<void()> focusInput;
    std::function<void()> repaintOutput;
    // Switches the transfer engine on and starts its listener on `port`; true when it listens.
    // Left empty (no transfer engine in this build), file transfer is switched off quietly.
    std::function<bool(std::uint16_t port)> startFileTransfer;
};

class CChatSession {
public:
    static constexpr int kSocketPollMs = 30000;
    static constexpr int kFileTransferPollMs = 10;
    // One pass of the receive loop takes at most this many buffers (or bytes), then returns to the
    // event loop; the socket notifies again for what is left, so a flooding server cannot starve
    // the UI.
    static constexpr int kMaxReadsPerPass = 64;
    static constexpr std::size_t kMaxBytesPerPass = 256 * 1024;
    // Showing text costs far more than reading it, so a pass also ends once it has run this
    // long: the UI's timers, painting and typing get the thread between passes.
    static constexpr int kMaxPassMs = 8;
    // The most one read takes, so one buffer's parse stays short however much the socket holds.
    static constexpr int kMaxReadLength = 8 * 1024;

    CChatSession(CChatContext& context, CChatSocket& transport, CProtocolBase& protocol,
                 kivra::platform::MessageWindow& panel, kivra::platform::DialogService& dialogs);
    ~CChatSession();
    CChatSession(const CChatSession&) = delete;
    CChatSession& operator=(const CChatSession&) = delete;

    void SetHooks(CChatSessionHooks hooks) { m_hooks = std::move(hooks); }
    // The owner of the message boxes (null: none).
    void SetBoxOwner(QWidget* owner) { m_pBoxOwner = owner; }

    void Start();
    // WM_CHAT_SOCKET; the result of the message.
    long OnSocketMessage(long lParam);
    // The panel's timers; true when the id is one of the session's.
    bool OnTimer(unsigned id);
    // The panel is going away: timers stop, the transport closes, nothing is sent.
    void Shutdown();

    bool IsConnecting() const { return m_bConnecting; }
    bool IsStarted() const { return m_bStarted; }
    std::size_t CarryLength() const { return m_carry.size(); }
    // The process-wide receive-loop guard.
    static bool ReadGuard();

private:
    void Show(const std::string& text);
    void Refresh();
    int Box(const std::string& text, const std::string& caption, unsigned flags);
    void ReadLoop();
    // True when the pass stopped at its bound rather than because the socket ran dry.
    bool ReadPass();
    void StopTimers();
    void StartFileTransfer();

    CChatContext& m_context;
    CChatSocket& m_transport;
    CProtocolBase& m_protocol;
    kivra::platform::MessageWindow& m_panel;
    kivra::platform::DialogService& m_dialogs;
    CChatSessionHooks m_hooks;
    QWidget* m_pBoxOwner = nullptr;

    bool m_bStarted = false;
    bool m_bConnecting = false;
    bool m_bShutDown = false;
    std::vector<char> m_carry; // unfinished tail of the last buffer
    // Runs the next pass after a pass that stopped at its bound. Meanwhile the socket's
    // notifications are left unanswered (which quiets them): they would come back at once and
    // keep the event loop from ever reaching its timers.
    std::unique_ptr<QTimer> m_pNextPass;
    bool m_bPassPending = false;
};
