#include "gotodlg.h"

#include "chatcontext.h"
#include "codepage.h"
#include "dialogservice.h"
#include "namekeylist.h"
#include "useractions.h"

#include <QLineEdit>

CGotoDlg::CGotoDlg(CChatContext& context, CUserActions& actions,
                   kivra::platform::DialogService& dialogs, QWidget* parent)
    : CLineDlg(QStringLiteral("Go To User"), QStringLiteral("&User name:"), IDC_NAME, kMaxName,
               parent),
      m_context(context), m_actions(actions), m_dialogs(dialogs) {}

void CGotoDlg::accept() {
    std::string name =
        CUserActions::CleanName(kivra::platform::ToWireString(NameField()->text().trimmed()));
    if (name.size() > 256)
        name.resize(256);
    if (name.empty()) {
        NameField()->clear();
        NameField()->setFocus();
        return;
    }
    if (EqualsNoCase(MakeDisplayName(name), MakeDisplayName(m_context.UserName()))) {
        m_dialogs.MessageBox(this, QStringLiteral("You can't goto yourself"),
                             QStringLiteral("Goto Failed"), MB_OK | MB_ICONEXCLAMATION);
        NameField()->setFocus();
        NameField()->selectAll();
        return;
    }
    m_actions.Goto(name);
    QDialog::accept();
}
