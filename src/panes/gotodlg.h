#pragma once
// CGotoDlg: "Go To User". OK sends the goto for the typed name; an empty name or the user's
// own name keeps the dialog open.

#include <QDialog>

class CChatContext;
class CUserActions;
class QLineEdit;
namespace kivra::platform {
class DialogService;
}

class CGotoDlg : public QDialog {
public:
    enum : int { IDD = 189, IDC_NAME = 1102 };
    static constexpr int kMaxName = 255;

    CGotoDlg(CChatContext& context, CUserActions& actions, kivra::platform::DialogService& dialogs,
             QWidget* parent = nullptr);

    void accept() override;
    QLineEdit* NameField() const { return m_pName; }

private:
    CChatContext& m_context;
    CUserActions& m_actions;
    kivra::platform::DialogService& m_dialogs;
    QLineEdit* m_pName;
};
