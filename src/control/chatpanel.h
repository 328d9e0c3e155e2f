#pragma once
// CChatPanel: the one child window of the control. It owns the shared state block, places every
// pane, carries the tool buttons with their tooltips, serves the keyboard hook, runs the panel
// timers and answers the panel's numbered messages and command ids.

#include "chatcontext.h"
#include "chatinterfaces.h"
#include "keyboardhook.h"
#include "messagewindow.h"
#include "panellayout.h"
#include "razarsite.h"

#include <QPointer>
#include <QWidget>
#include <array>
#include <memory>
#include <string>

class CChatProtocol;
class CChatSession;
struct CChatSessionHooks;
class CChatSocket;
class CInputLine;
class CPGEdit;
class CContextCommands;
class CUserActions;
class CUserList;
class CBuddyDlg;
class CEmotionEditDlg;
class CEmotionList;
class CTickerWnd;
class CComposeTellDlg;
class CPrivateMsgManager;
class QFrame;
class QProgressBar;
class QPushButton;
class QToolButton;
namespace kivra::media {
class CImageCache;
}

namespace kivra::control {

struct CommandMenuState;
class CFileTransferUi;

class CChatPanel : public QWidget,
                   public kivra::platform::MessageWindow,
                   public IChatPanel,
                   public IRazarScript,
                   public IKeyboardHookTarget {
public:
    // The tool bar's height; the buttons are as tall as the bar.
    static constexpr int kToolbarHeight = 24;

    // `site` is the browser context (navigation, dialogs, the bell); `settings` the per-user
    // store. Both outlive the panel.
    CChatPanel(QWidget* parent, IRazarSite& site, ISettingsStore& settings);
    ~CChatPanel() override;

    CChatContext& Context() { return m_context; }
    const std::string& InstallPath() const { return m_strInstallPath; }
    const std::string& CacheFolder() const { return m_strCacheFolder; }

    // The ticker window (hidden child "DezivArozi", id 143); null until created.
    QWidget* Ticker() const { return m_pTicker; }
    // Creates the ticker with the welcome text, starts and shows it; returns it.
    QWidget* CreateTicker();
    // While a file moves the progress bar takes the ticker's place and the ticker stands still.
    void ShowTransferBar(bool show);

    // Places every item for the current size and switches (nothing moves while the about display
    // occupies the panel).
    void RecalcLayout();
    // The item with this control id, or null.
    QWidget* Item(int id) const;
    // The tooltip text of a control id; empty for ids without one.
    QString TooltipText(int id) const;

    // Runs a command id as its button or menu item does.
    void OnCommand(int id);
    // What the Menu button's pop-up is built from, read now.
    CommandMenuState MenuState() const;
    // Starts the chat session over the connection parameter block (the last step of the
    // control's window creation).
    void StartSession();

    // IChatPanel
    long SendPanelMessage(unsigned message, unsigned long wParam, long lParam) override;
    void ShowAskButton(bool show) override;
    void Navigate(const std::string& url, const std::string& frame) override;
    int MessageBox(const std::string& text, const std::string& caption, unsigned flags) override;
    void Beep() override;
    void PlaySound(const std::string& name) override;
    void ShowWhois(const WhoisRecord& record) override;
    IEmotionCollector* EnsureEmotionDialog() override;
    IBuddyCollector* EnsureBuddyDialog() override;

    // IRazarScript
    bool TypeLine(const std::string& text) override;
    bool TypeStyledLine(const std::string& text, bool emote) override;
    void RunCommand(int id) override { OnCommand(id); }
    bool SelectUsers(const std::vector<std::string>& names) override;
    bool CanSaveTranscript() const override { return m_pOutputView != nullptr; }
    bool SaveTranscript() override;
    bool Dump(const std::string& what, std::vector<std::string>& lines) override;
    bool SelectEmotion(const std::string& word) override;
    bool PerformEmotion(const std::string& word) override;
    bool TypePrivate(const std::string& name, const std::string& text) override;
    bool PressPrivateButton(const std::string& name, int id) override;

    CPrivateMsgManager* PrivateMessages() const { return m_pPrivate.get(); }
    CComposeTellDlg* ComposeDialog() const { return m_pCompose.get(); }

    // IKeyboardHookTarget
    QWidget* HookOutputView() override;
    QWidget* HookInputLine() override;
    QList<QWidget*> HookPrivateWindows() override;
    bool& HookCtrlDown() override { return m_bCtrlDown; }

protected:
    long WindowProc(unsigned message, unsigned long wParam, long lParam) override;
    void OnTimer(unsigned id) override;
    void resizeEvent(QResizeEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void ReadStartup();
    void BuildItems();
    QToolButton* MakeToolButton(int id, const char* icon);
    // Sends a line or block to the server through the protocol object; 0 when nothing went out.
    int SendToServer(const char* text);
    void ToggleDisplaySwitch(bool CChatContext::*flag, const char* valueName);
    void OpenGotoDialog();
    void OpenCommandMenu();
    void OpenUrlDialog();
    void AskQuestion();
    void BuildPrivateMessages();
    void BuildFileTransfer(CChatSessionHooks& hooks);

    IRazarSite& m_site;
    ISettingsStore& m_settings;
    CChatContext m_context;
    std::string m_strInstallPath;
    std::string m_strCacheFolder;
    bool m_bInitialised = false;
    bool m_bAboutShowing = false;
    bool m_bCtrlDown = false;
    bool m_bProgressShowing = false;

    QFrame* m_pBackground = nullptr;
    std::array<QToolButton*, 6> m_toolButtons{};
    QProgressBar* m_pProgress = nullptr;
    QWidget* m_pUserList = nullptr;
    QWidget* m_pEmotionList = nullptr;
    QFrame* m_pOutputFrame = nullptr;
    std::unique_ptr<CChatSocket> m_pTransport;
    std::unique_ptr<CChatProtocol> m_pProtocol;
    std::unique_ptr<CChatSession> m_pSession;
    std::unique_ptr<CContextCommands> m_pCommands;
    std::unique_ptr<CUserActions> m_pUserActions;
    CUserList* m_pUsers = nullptr;
    std::unique_ptr<CBuddyDlg> m_pBuddyDlg;
    std::unique_ptr<CPrivateMsgManager> m_pPrivate;
    std::unique_ptr<CComposeTellDlg> m_pCompose;
    CPGEdit* m_pOutputView = nullptr;
    CInputLine* m_pInputLine = nullptr;
    std::array<QPushButton*, 3> m_smallButtons{};
    QPointer<QWidget> m_pTicker;
    CTickerWnd* m_pTickerWnd = nullptr;
    CEmotionList* m_pEmotions = nullptr;
    std::unique_ptr<CEmotionEditDlg> m_pEmotionDlg;
    std::unique_ptr<kivra::media::CImageCache> m_pImageCache;
    std::unique_ptr<IPictureSource> m_pTickerPictures;
    std::unique_ptr<CFileTransferUi> m_pTransferUi;
};

} // namespace kivra::control
