#pragma once
// CFileTransferUi: the panel's side of the peer file transfer. It starts the engine's listener
// after a direct login, turns the user menus' Send File into an address request to the server
// and the server's answer into an open-file dialog and a send, and answers the engine's events:
// the offer question and the save dialog, the "Transfer Request" boxes, and the progress bar that
// takes the ticker's place while a file moves.

#include "chatinterfaces.h"
#include "filexfer.h"

#include <QString>
#include <cstdint>
#include <functional>
#include <string>

class CChatContext;
class QWidget;

namespace kivra::platform {
class DialogService;
}

namespace kivra::control {

class CFileTransferUi : public IFileTransferPeers {
public:
    CFileTransferUi(CChatContext& context, kivra::platform::DialogService& dialogs, QWidget* owner,
                    kivra::filexfer::CFileXfer& engine);
    ~CFileTransferUi() override;
    CFileTransferUi(const CFileTransferUi&) = delete;
    CFileTransferUi& operator=(const CFileTransferUi&) = delete;

    // The panel's progress bar: shown with a range (block count) or hidden; its position.
    std::function<void(bool show, int range)> m_showBar;
    std::function<void(int position)> m_setPosition;
    // The backstop timer on or off.
    std::function<void(bool on)> m_timer;

    // Switches the engine on and listens on `port`; true when it listens.
    bool Start(std::uint16_t port);
    // The panel is going away.
    void Shutdown();
    // 0: no transfer facility, 1: idle, 2: a transfer runs.
    int State() const;
    // Asks the server for the address of `wireName` (blanks as "+"), the first step of a send.
    void RequestSend(const std::string& wireName);
    void Cancel();
    // The backstop timer fired.
    void OnTimer();
    QString Tooltip() const;

    // IFileTransferPeers: the server's answer to an address request.
    void OnPeerAddress(const std::string& name, const std::string& address) override;

    long OnEvent(int event, std::uintptr_t a1, std::uintptr_t a2);

private:
    int Box(const std::string& text, unsigned flags);
    long AnswerOffer(kivra::filexfer::FileOffer& offer);
    void ShowBar(bool show, int range);

    CChatContext& m_context;
    kivra::platform::DialogService& m_dialogs;
    QWidget* m_pOwner;
    kivra::filexfer::CFileXfer& m_engine;
    bool m_bStarted = false;
    std::string m_strAsked; // the name whose address was asked for, "+" and blanks removed
};

} // namespace kivra::control
