#pragma once
// CPrivateMsgWnd: the conversation with one other user, a modeless, resizable window of its own
// with an output view of kind 2, an input field and the Send, Close, Ignore, Goto and Greet
// buttons. Its manager creates, counts and closes it; the inbound stream reaches it through
// IPrivateWindow.

#include "chatinterfaces.h"

#include <QDialog>
#include <QString>
#include <string>

class CChatContext;
class CPGEdit;
class CPrivateMsgManager;
class IViewCommands;
class QLineEdit;
class QPushButton;
class QSizeGrip;
namespace kivra::platform {
class DialogService;
}

class CPrivateMsgWnd : public QDialog, public IPrivateWindow {
public:
    enum : int {
        IDD = 282,
        IDC_VIEW = 119,
        IDC_PLACEHOLDER = 211,
        IDC_INPUT = 1074,
        IDC_SEND = 1,
        IDC_CLOSE = 2,
        IDC_IGNORE = 1040,
        IDC_GOTO = 1049,
        IDC_GREET = 1041,
        ICON_QUIET = 285,
        ICON_INCOMING = 286,
    };
    static constexpr int kMaxInput = 512;
    static constexpr int kMaxSend = 1000;
    static constexpr const char* kGreeting = "Hey there, what's going on?";

    // `name` is the peer's name as it came (blanks or "+"); the window shows it with blanks.
    CPrivateMsgWnd(CPrivateMsgManager& manager, CChatContext& context, IViewCommands& commands,
                   kivra::platform::DialogService& dialogs, const std::string& name,
                   QWidget* parent);
    ~CPrivateMsgWnd() override;

    const std::string& DisplayName() const { return m_strDisplayName; }
    const std::string& WireName() const { return m_strWireName; }
    CPGEdit* OutputView() const { return m_pView; }
    QLineEdit* InputField() const { return m_pInput; }
    QPushButton* Button(int id) const;
    int SmallIcon() const { return m_nIcon; }
    int UnitKind() const { return m_nUnitKind; }

    // IPrivateWindow
    void SetUnitKind(int kind) override;
    void BringUp(bool ownEcho) override;
    IOutputView* View() override;
    void AppendIncoming(const char* text, std::size_t length) override;

    // Presses the button with this control id; false for an id the window does not have.
    bool PressButton(int id);
    // Send with this text: the peer ignored closes the window; otherwise its first 1000
    // characters go out as a tell unless it is empty.
    void SendText(const QString& text);
    // Restores a minimised window and makes it the active one.
    void RestoreAndActivate();
    // True when the focus is on the input field, the view or one of the Send, Close, Ignore and
    // Goto buttons.
    bool IsFocusInside(const QWidget* focus) const;
    // Closes the window for good (the manager forgets it and it is deleted).
    void CloseWindow();

protected:
    void resizeEvent(QResizeEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    void reject() override;
    bool focusNextPrevChild(bool next) override;
    void keyPressEvent(QKeyEvent* event) override;

private:
    void Layout();
    void SetIcon(int id);

    CPrivateMsgManager& m_manager;
    CChatContext& m_context;
    IViewCommands& m_commands;
    std::string m_strDisplayName;
    std::string m_strWireName;
    bool m_bCreated = true;
    bool m_bInitialised = false;
    int m_nUnitKind = 0;
    bool m_bBeeped = false;
    int m_nIcon = 0;
    CPGEdit* m_pView = nullptr;
    QLineEdit* m_pInput = nullptr;
    QPushButton* m_pSend = nullptr;
    QPushButton* m_pClose = nullptr;
    QPushButton* m_pIgnore = nullptr;
    QPushButton* m_pGoto = nullptr;
    QPushButton* m_pGreet = nullptr;
    QSizeGrip* m_pGrip = nullptr;
};
