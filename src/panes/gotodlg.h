#pragma once
// CGotoDlg: "Go To User". OK sends the goto for the typed name; an empty name or the user's
// own name keeps the dialog open.

#include "linedlg.h"

class CChatContext;
class CUserActions;
namespace kivra::platform {
class DialogService;
}

class CGotoDlg : public CLineDlg {
public:
    enum : int { IDD = 189, IDC_NAME = 1102 };
    static constexpr int kMaxName = 255;

    CGotoDlg(CChatContext& context, CUserActions& actions, kivra::platform::DialogService& dialogs,
             QWidget* parent = nullptr);

    void accept() override;
    QLineEdit* NameField() const { return Field(); }

private:
    CChatContext& m_context;
    CUserActions& m_actions;
    kivra::platform::DialogService& m_dialogs;
};
