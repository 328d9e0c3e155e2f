#include "gotodlg.h"

#include "chatcontext.h"
#include "codepage.h"
#include "dialogservice.h"
#include "namekeylist.h"
#include "useractions.h"

#include <QDialogButtonBox>
#include <QLabel>
#include <QLineEdit>
#include <QVBoxLayout>

CGotoDlg::CGotoDlg(CChatContext& context, CUserActions& actions,
                   kivra::platform::DialogService& dialogs, QWidget* parent)
    : QDialog(parent), m_context(context), m_actions(actions), m_dialogs(dialogs),
      m_pName(new QLineEdit(this)) {
    setWindowTitle(QStringLiteral("Go To User"));
    m_pName->setProperty("controlId", int(IDC_NAME));
    m_pName->setMaxLength(kMaxName);
    auto* label = new QLabel(QStringLiteral("&User name:"), this);
    label->setBuddy(m_pName);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    connect(buttons, &QDialogButtonBox::accepted, this, [this] { accept(); });
    connect(buttons, &QDialogButtonBox::rejected, this, [this] { reject(); });
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(label);
    layout->addWidget(m_pName);
    layout->addWidget(buttons);
}

void CGotoDlg::accept() {
    std::string name =
        CUserActions::CleanName(kivra::platform::ToWireString(m_pName->text().trimmed()));
    if (name.size() > 256)
        name.resize(256);
    if (name.empty()) {
        m_pName->clear();
        m_pName->setFocus();
        return;
    }
    if (EqualsNoCase(MakeDisplayName(name), MakeDisplayName(m_context.UserName()))) {
        m_dialogs.MessageBox(this, QStringLiteral("You can't goto yourself"),
                             QStringLiteral("Goto Failed"), MB_OK | MB_ICONEXCLAMATION);
        m_pName->setFocus();
        m_pName->selectAll();
        return;
    }
    m_actions.Goto(name);
    QDialog::accept();
}
