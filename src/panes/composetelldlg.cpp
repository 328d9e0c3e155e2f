#include "composetelldlg.h"

#include "chatcontext.h"
#include "chatprotocol.h"
#include "codepage.h"
#include "dialogservice.h"
#include "namekeylist.h"
#include "recipientmru.h"
#include "useractions.h"

#include <QCheckBox>
#include <QComboBox>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

using kivra::platform::FromWire;
using kivra::platform::ToWireString;

namespace {
constexpr const char kIdProperty[] = "controlId";
}

CComposeTellDlg::CComposeTellDlg(CChatContext& context, kivra::platform::DialogService& dialogs,
                                 QWidget* parent)
    : QDialog(parent), m_context(context), m_dialogs(dialogs), m_pRecipient(new QComboBox(this)),
      m_pMessage(new QLineEdit(this)),
      m_pAlways(new QCheckBox(QStringLiteral("Always visible"), this)),
      m_pSend(new QPushButton(QStringLiteral("Send"), this)),
      m_pClose(new QPushButton(QStringLiteral("Close"), this)) {
    setWindowTitle(QStringLiteral("Send Private Message"));
    setModal(false);
    m_pRecipient->setEditable(true);
    m_pRecipient->setInsertPolicy(QComboBox::NoInsert);
    m_pRecipient->setProperty(kIdProperty, int(IDC_RECIPIENT));
    m_pMessage->setProperty(kIdProperty, int(IDC_MESSAGE));
    m_pAlways->setProperty(kIdProperty, int(IDC_ALWAYS_VISIBLE));
    m_pSend->setProperty(kIdProperty, int(IDC_SEND));
    m_pClose->setProperty(kIdProperty, int(IDC_CLOSE));
    m_pSend->setDefault(true);
    connect(m_pSend, &QPushButton::clicked, this, [this] { accept(); });
    connect(m_pClose, &QPushButton::clicked, this, [this] { reject(); });

    auto* to = new QLabel(QStringLiteral("&To:"), this);
    to->setBuddy(m_pRecipient);
    auto* message = new QLabel(QStringLiteral("&Message:"), this);
    message->setBuddy(m_pMessage);
    auto* grid = new QGridLayout(this);
    grid->addWidget(to, 0, 0);
    grid->addWidget(m_pRecipient, 0, 1, 1, 2);
    grid->addWidget(message, 1, 0);
    grid->addWidget(m_pMessage, 1, 1, 1, 2);
    auto* row = new QHBoxLayout;
    row->addWidget(m_pAlways);
    row->addStretch();
    row->addWidget(m_pSend);
    row->addWidget(m_pClose);
    grid->addLayout(row, 2, 0, 1, 3);
    setTabOrder(m_pRecipient, m_pMessage);
    setTabOrder(m_pMessage, m_pSend);
    setTabOrder(m_pSend, m_pClose);
    setTabOrder(m_pClose, m_pAlways);
    resize(360, 120);
}

void CComposeTellDlg::Prepare() {
    const QString typed = m_pRecipient->currentText();
    m_pRecipient->clear();
    if (m_context.m_pSettings)
        for (const std::string& name : CRecipientMru::Read(*m_context.m_pSettings))
            m_pRecipient->addItem(FromWire(name));
    m_pRecipient->setEditText(typed);
    m_pAlways->setChecked(true);
    m_pMessage->setFocus();
}

void CComposeTellDlg::Open() {
    Prepare();
    m_dialogs.ShowModeless(this);
}

void CComposeTellDlg::accept() {
    const std::string recipient =
        CUserActions::CleanName(ToWireString(m_pRecipient->currentText().trimmed()));
    auto refuse = [this](const char* text) {
        m_dialogs.MessageBox(this, QString::fromLatin1(text), QStringLiteral("No Recipient"),
                             MB_OK | MB_ICONEXCLAMATION);
        m_pRecipient->setFocus();
    };
    if (recipient.empty()) {
        refuse("You must specify a recipient before sending the message");
        return;
    }
    if (MakeNameKey(recipient) == MakeNameKey(m_context.UserName())) {
        refuse("You can't send a private message to yourself");
        return;
    }
    const std::string text = ToWireString(m_pMessage->text().left(kMaxMessage));
    if (!text.empty() && m_context.m_pProtocol) {
        m_context.m_pProtocol->SendTell(CUserActions::WireName(recipient).c_str(), text.c_str());
        m_context.m_nScrollHold = 0;
        if (m_context.m_pSettings)
            CRecipientMru::Add(*m_context.m_pSettings, recipient);
    }
    if (m_pAlways->isChecked()) {
        m_pMessage->clear();
        m_pMessage->setFocus();
        return;
    }
    QDialog::accept();
}
