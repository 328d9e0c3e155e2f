#pragma once
// CComposeTellDlg: one private message to any name, without opening a window for it. The
// recipient list offers the names last written to, and "Always visible" keeps the dialog open
// for the next message.

#include <QDialog>

class CChatContext;
class QCheckBox;
class QComboBox;
class QLineEdit;
class QPushButton;
namespace kivra::platform {
class DialogService;
}

class CComposeTellDlg : public QDialog {
public:
    enum : int {
        IDD = 207,
        IDC_RECIPIENT = 201,
        IDC_MESSAGE = 181,
        IDC_ALWAYS_VISIBLE = 202,
        IDC_SEND = 1,
        IDC_CLOSE = 2,
    };
    static constexpr int kMaxMessage = 251;

    CComposeTellDlg(CChatContext& context, kivra::platform::DialogService& dialogs,
                    QWidget* parent = nullptr);

    // Fills the recipient list from the stored names, checks "Always visible" and puts the focus
    // on the message; then shows the dialog.
    void Open();
    // The Send button.
    void accept() override;

    QComboBox* Recipient() const { return m_pRecipient; }
    QLineEdit* Message() const { return m_pMessage; }
    QCheckBox* AlwaysVisible() const { return m_pAlways; }

private:
    void Prepare();

    CChatContext& m_context;
    kivra::platform::DialogService& m_dialogs;
    QComboBox* m_pRecipient;
    QLineEdit* m_pMessage;
    QCheckBox* m_pAlways;
    QPushButton* m_pSend;
    QPushButton* m_pClose;
};
