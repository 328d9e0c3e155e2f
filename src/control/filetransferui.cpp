#include "filetransferui.h"

#include "chatcontext.h"
#include "chatprotocol.h"
#include "codepage.h"
#include "dialogservice.h"

#include <QDir>
#include <QFile>
#include <QStandardPaths>
#include <QWidget>
#include <algorithm>
#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <optional>

namespace kivra::control {

using namespace kivra::filexfer;

namespace {

constexpr const char kCaption[] = "Transfer Request";

// The name as the address request carries it: no "+" and no blanks.
std::string Bare(const std::string& name) {
    std::string out;
    for (const char c : name)
        if (c != '+' && c != ' ' && c != '\r' && c != '\n' && c != '\0')
            out.push_back(c);
    return out;
}

bool SameName(const std::string& a, const std::string& b) {
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
               return std::toupper(static_cast<unsigned char>(x)) ==
                      std::toupper(static_cast<unsigned char>(y));
           });
}

template <typename... Args> std::string Format(const char* format, Args... args) {
    char text[1024];
    std::snprintf(text, sizeof text, format, args...);
    return text;
}

} // namespace

CFileTransferUi::CFileTransferUi(CChatContext& context, kivra::platform::DialogService& dialogs,
                                 QWidget* owner, CFileXfer& engine)
    : m_context(context), m_dialogs(dialogs), m_pOwner(owner), m_engine(engine) {}

CFileTransferUi::~CFileTransferUi() {
    Shutdown();
}

bool CFileTransferUi::Start(std::uint16_t port) {
    m_engine.SetFlags(FXFLAG_STARTED | FXFLAG_EVENTS);
    m_engine.SetDialogs(&m_dialogs);
    m_engine.SetPollHook([this](bool on) {
        if (m_timer)
            m_timer(on);
    });
    m_bStarted =
        m_engine.StartListener(port, [this](int event, std::uintptr_t a1, std::uintptr_t a2) {
            return OnEvent(event, a1, a2);
        });
    return m_bStarted;
}

void CFileTransferUi::Shutdown() {
    if (!m_bStarted)
        return;
    m_bStarted = false;
    m_engine.SetPollHook(nullptr);
    m_engine.SetDialogs(nullptr);
    m_engine.Stop();
}

int CFileTransferUi::State() const {
    if (!m_bStarted || !m_engine.IsActive() || m_context.IsOptionSet(CHATOPT_NOFILEXFER))
        return 0;
    return m_engine.IsRunning() ? 2 : 1;
}

void CFileTransferUi::RequestSend(const std::string& wireName) {
    const std::string bare = Bare(wireName);
    if (bare.empty() || State() != 1 || m_context.m_pProtocol == nullptr)
        return;
    m_strAsked = bare;
    m_context.m_pProtocol->Send(("\x01<begin>\n<ipaddress> " + bare + "\n<end>\n").c_str());
}

void CFileTransferUi::Cancel() {
    if (m_bStarted)
        m_engine.Cancel();
}

void CFileTransferUi::OnTimer() {
    if (m_bStarted)
        m_engine.OnPollTimer();
    // The timer is a backstop for a running transfer; an idle engine waits on its sockets.
    if ((!m_bStarted || !m_engine.IsPolling()) && m_timer)
        m_timer(false);
}

void CFileTransferUi::OnPeerAddress(const std::string& name, const std::string& address) {
    // Only the answer to this user's own request opens a dialog: a server cannot make the client
    // send files on its own.
    if (m_strAsked.empty() || !SameName(Bare(name), m_strAsked) || State() != 1)
        return;
    m_strAsked.clear();
    const std::optional<QString> path = m_dialogs.GetOpenFileName(m_pOwner, QString());
    if (!path || path->isEmpty() || State() != 1)
        return;
    const long leading = std::strtol(m_context.m_params.szPortList, nullptr, 10);
    if (!m_engine.SendFile(address, static_cast<std::uint16_t>(leading + 30),
                           QFile::encodeName(*path).toStdString(), m_context.UserName()))
        Box(Format("Cannot send to %s.", address.c_str()), MB_OK);
}

QString CFileTransferUi::Tooltip() const {
    const QString name = QString::fromLocal8Bit(m_engine.FileName().c_str());
    if (m_engine.IsSending())
        return QStringLiteral("Sending %1. (%2 of %3 bytes sent)")
            .arg(name)
            .arg(m_engine.BytesDone())
            .arg(m_engine.FileSize());
    if (m_engine.IsReceiving())
        return QStringLiteral("Receiving %1. (%2 of %3 bytes received)")
            .arg(name)
            .arg(m_engine.BytesDone())
            .arg(m_engine.FileSize());
    return QStringLiteral("Idle transfer.");
}

int CFileTransferUi::Box(const std::string& text, unsigned flags) {
    // A modal box over the panel comes to the front with it.
    return m_dialogs.MessageBox(m_pOwner, kivra::platform::FromWire(text),
                                QString::fromLatin1(kCaption), flags);
}

void CFileTransferUi::ShowBar(bool show, int range) {
    if (m_showBar)
        m_showBar(show, range);
}

long CFileTransferUi::OnEvent(int event, std::uintptr_t a1, std::uintptr_t a2) {
    const char* name = reinterpret_cast<const char*>(a2);
    switch (event) {
    case FXE_BLOCK_SENT:
    case FXE_BLOCK_RECEIVED:
        if (m_setPosition)
            m_setPosition(static_cast<int>(a1));
        return 0;
    case FXE_FINISHED:
        ShowBar(false, 0);
        return 0;
    case FXE_OFFER:
        return AnswerOffer(*reinterpret_cast<FileOffer*>(a1));
    case FXE_REJECTED:
        Box("Request to send was rejected.\nTransfer aborted.", MB_OK);
        return 0;
    case FXE_ACCEPTED:
        ShowBar(true, static_cast<int>(std::min<std::uintptr_t>(a1, 0x7FFFFFFF)));
        return 0;
    case FXE_FAILURE:
        switch (static_cast<int>(a1)) {
        case FXF_FILE:
            Box(Format("Cannot open file %s.", name ? name : ""), MB_OK);
            break;
        case FXF_NO_PEER:
            Box("Remote client cannot receive files.", MB_OK);
            break;
        case FXF_EMPTY:
            Box(Format("File %s is empty.\nTransfer aborted.", name ? name : ""), MB_OK);
            break;
        case FXF_TOO_LARGE:
            Box(Format("File %s is too large to send (4 GB at most).\nTransfer aborted.",
                       name ? name : ""),
                MB_OK);
            break;
        default:
            break;
        }
        return 0;
    default:
        return 0;
    }
}

long CFileTransferUi::AnswerOffer(FileOffer& offer) {
    if (m_context.IsOptionSet(CHATOPT_NOFILEXFER))
        return 0;
    const std::string question =
        Format("User %s wants to send file '%s' (%u bytes).\nDo you want to receive it?",
               offer.szUserName, offer.szFileName, static_cast<unsigned>(offer.nFileSize));
    if (Box(question, MB_YESNO) != IDYES)
        return 0;
    QString folder = QStandardPaths::writableLocation(QStandardPaths::DownloadLocation);
    if (folder.isEmpty())
        folder = QDir::homePath();
    const QString suggested =
        folder + QLatin1Char('/') + kivra::platform::FromWire(offer.szFileName);
    const std::optional<QString> path = m_dialogs.GetSaveFileName(
        m_pOwner, suggested, QString(), QStringLiteral("All Files (*.*)|*.*||"));
    if (!path || path->isEmpty())
        return 0;
    offer.strSavePath = QFile::encodeName(*path).toStdString();
    ShowBar(true, static_cast<int>(std::min<std::uint32_t>(offer.nBlockCount, 0x7FFFFFFF)));
    return 1;
}

} // namespace kivra::control
