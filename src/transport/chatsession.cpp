#include "chatsession.h"

#include "chatcontext.h"
#include "chatsocket.h"
#include "codepage.h"
#include "dialogservice.h"
#include "messagewindow.h"
#include "protocolbase.h"

#include <QElapsedTimer>
#include <QString>
#include <QTimer>

#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace {

// Set while a receive loop runs: blocking transport calls let messages through, and a nested
// WM_CHAT_SOCKET must not start a second loop over the same stream.
bool s_readGuard = false;

const char* const kFailedToConnectBox =
    "Failed to connect to server.\nTry using the other available clients that are firewall "
    "enabled.\r\n";

std::string Format(const char* format, const char* value) {
    const int n = std::snprintf(nullptr, 0, format, value);
    std::string out(static_cast<std::size_t>(n > 0 ? n : 0), '\0');
    std::snprintf(out.data(), out.size() + 1, format, value);
    return out;
}

} // namespace

CChatSession::CChatSession(CChatContext& context, CChatSocket& transport, CProtocolBase& protocol,
                           kivra::platform::MessageWindow& panel,
                           kivra::platform::DialogService& dialogs)
    : m_context(context), m_transport(transport), m_protocol(protocol), m_panel(panel),
      m_dialogs(dialogs), m_pNextPass(std::make_unique<QTimer>()) {
    m_pNextPass->setSingleShot(true);
    m_pNextPass->setInterval(0);
    QObject::connect(m_pNextPass.get(), &QTimer::timeout, [this] {
        m_bPassPending = false;
        OnSocketMessage(CHAT_SOCKET_DATA);
    });
}

CChatSession::~CChatSession() = default;

bool CChatSession::ReadGuard() {
    return s_readGuard;
}

void CChatSession::Show(const std::string& text) {
    if (m_context.m_pOutput != nullptr)
        m_context.m_pOutput->AppendText(text.data(), text.size(), 1);
}

void CChatSession::Refresh() {
    if (m_context.m_pOutput != nullptr)
        m_context.m_pOutput->FinishAppend();
}

int CChatSession::Box(const std::string& text, const std::string& caption, unsigned flags) {
    return m_dialogs.MessageBox(m_pBoxOwner, kivra::platform::FromWire(text),
                                kivra::platform::FromWire(caption), flags);
}

void CChatSession::Start() {
    if (m_bStarted)
        return;
    m_bStarted = true;
    if (m_protocol.Prepare() == 0)
        return;

    const ChatConnectionParams& p = m_context.m_params;
    Show(Format("\r\nConnecting to host %s ...\r\n", p.szServer));
    Refresh();

    m_bConnecting = true;
    const int result = m_transport.Connect(p.szServer, p.szPortList, p.szHttpServer, p.szHttpPort,
                                           p.szTunnelPrefix, p.szTunnelPage, p.szHttpProxy);
    m_bConnecting = false;
    if (m_bShutDown)
        return;

    if (result != CHATSOCK_OK) {
        Show(Format("%s\r\n", m_transport.ErrorText(result)));
        Box(kFailedToConnectBox, "Warning", MB_OK);
        Show(kFailedToConnectBox);
        Refresh();
    } else if (m_protocol.Login() == 0) {
        Show(Format("\r\nFailed to connect to host %s ...\r\n", p.szServer));
        m_protocol.Logout();
        m_transport.Disconnect();
        if (m_hooks.clearEmotions)
            m_hooks.clearEmotions();
        Box("Login Failed!\n\n Please return to the main login page.", "Error", MB_OK);
    } else {
        Show("Connected\r\n\r\n");
        Refresh();
        if (m_hooks.reloadEmotions)
            m_hooks.reloadEmotions();
        if (m_hooks.focusInput)
            m_hooks.focusInput();
        if (m_context.IsPolling())
            m_panel.SetTimer(TIMER_KEEPALIVE, m_context.m_nPollingPeriod * 1000);
        m_protocol.Send(m_context.m_bShowAvatars ? "\x01<begin>\n<displayavatars> on\n<end>\n"
                                                 : "\x01<begin>\n<displayavatars> off\n<end>\n");
        if (!m_context.IsOptionSet(CHATOPT_NOFILEXFER) && !m_transport.IsTunnelActive())
            StartFileTransfer();
    }
    Refresh();
    if (m_hooks.repaintOutput)
        m_hooks.repaintOutput();
}

void CChatSession::StartFileTransfer() {
    if (!m_hooks.startFileTransfer) {
        // This build carries no transfer engine: file transfer is simply off, as if the page had
        // switched it off, rather than a listener failure to warn about at every login.
        m_context.SetOption(CHATOPT_NOFILEXFER, true);
        return;
    }
    m_panel.SetTimer(TIMER_SOCKET_POLL, kSocketPollMs);
    const long leading = std::strtol(m_context.m_params.szPortList, nullptr, 10);
    const auto port = static_cast<std::uint16_t>(leading + 30);
    const bool listening = m_hooks.startFileTransfer(port);
    if (!listening) {
        m_context.SetOption(CHATOPT_NOFILEXFER, true);
        Box("This instance of Kivra will be unable to send or receive files.", "Warning", MB_OK);
        return;
    }
    m_panel.SetTimer(TIMER_FILEXFER_POLL, kFileTransferPollMs);
}

long CChatSession::OnSocketMessage(long lParam) {
    if ((lParam & 0xFFFF) == 0x20) {
        Show("\r\n...disconnecting");
        Refresh();
        m_transport.Disconnect();
        return 0;
    }
    if (s_readGuard || (m_bPassPending && m_transport.IsConnected()))
        return 0;
    s_readGuard = true;
    if (!m_transport.IsConnected())
        StopTimers();
    else
        ReadLoop();
    s_readGuard = false;
    return 0;
}

void CChatSession::ReadLoop() {
    // The output view lays out what this pass shows once, at its end, rather than line by line.
    IOutputView* const view = m_context.m_pOutput;
    if (view)
        view->BeginBatch();
    const bool more = ReadPass();
    if (view && !m_bShutDown && m_context.m_pOutput == view)
        view->EndBatch();
    if (more && !m_bShutDown) {
        m_bPassPending = true;
        m_pNextPass->start();
    }
}

bool CChatSession::ReadPass() {
    QElapsedTimer clock;
    clock.start();
    std::size_t taken = 0;
    for (int pass = 0; pass < kMaxReadsPerPass && taken < kMaxBytesPerPass &&
                       (pass == 0 || clock.elapsed() < kMaxPassMs);
         ++pass) {
        char* data = nullptr;
        int length = 0;
        const int result = m_transport.ReceiveData(data, length, kMaxReadLength);
        if (result != CHATSOCK_OK) {
            if (result == CHATSOCK_NOT_CONNECTED && !m_transport.IsConnected()) {
                // The peer closed while this loop ran (its close notification was held off by
                // the guard): this is the end of the session, not a read failure.
                StopTimers();
                return false;
            }
            m_transport.Disconnect();
            Box(m_transport.ErrorText(result), "Network Read Error", MB_OK | MB_ICONEXCLAMATION);
            return false;
        }
        if (data == nullptr || length <= 0)
            return false;
        taken += static_cast<std::size_t>(length);

        std::vector<char> joined;
        char* block = data;
        int blockLength = length;
        if (!m_carry.empty()) {
            joined.reserve(m_carry.size() + static_cast<std::size_t>(length) + 2);
            joined.assign(m_carry.begin(), m_carry.end());
            joined.insert(joined.end(), data, data + length);
            joined.push_back('\0');
            block = joined.data();
            blockLength = static_cast<int>(m_carry.size()) + length;
            m_carry.clear();
        }
        int incomplete = 0;
        char* keep = m_protocol.ProcessReceived(block, blockLength, &incomplete);
        if (incomplete != 0 && keep != nullptr && keep >= block && keep <= block + blockLength)
            m_carry.assign(keep, block + blockLength);
        if (m_bShutDown)
            return false;
    }
    return true;
}

void CChatSession::StopTimers() {
    m_panel.KillTimer(TIMER_SOCKET_POLL);
    m_panel.KillTimer(TIMER_KEEPALIVE);
    m_panel.KillTimer(TIMER_FILEXFER_POLL);
}

bool CChatSession::OnTimer(unsigned id) {
    switch (id) {
    case TIMER_SOCKET_POLL:
        if (m_transport.IsConnected())
            m_panel.SendMessage(WM_CHAT_SOCKET, 0, CHAT_SOCKET_DATA);
        return true;
    case TIMER_KEEPALIVE:
        if (m_transport.IsConnected())
            m_protocol.Send("noop\r\n");
        return true;
    default:
        return false;
    }
}

void CChatSession::Shutdown() {
    if (m_bShutDown)
        return;
    m_bShutDown = true;
    m_pNextPass->stop();
    StopTimers();
    m_transport.Disconnect();
    m_carry.clear();
}
