#include "whoisdialog.h"

#include "codepage.h"
#include "pgedit.h"

#include <QDialogButtonBox>
#include <QFormLayout>
#include <QGroupBox>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QVBoxLayout>
#include <algorithm>

namespace {

QPlainTextEdit* LinesEdit(const std::vector<std::string>& lines, int id, QWidget* parent) {
    auto* edit = new QPlainTextEdit(parent);
    edit->setObjectName(QString::number(id));
    edit->setProperty("controlId", id);
    edit->setReadOnly(true);
    QString text;
    for (const std::string& line : lines)
        text += kivra::platform::FromWire(line) + QStringLiteral("\r\n");
    edit->setPlainText(text);
    return edit;
}

template <typename W> W* WithId(W* widget, int id) {
    widget->setObjectName(QString::number(id));
    widget->setProperty("controlId", id);
    return widget;
}

} // namespace

CWhoisDialog::CWhoisDialog(const WhoisRecord& record, IChatPanel* panel, QWidget* parent)
    : QDialog(parent), m_strHomepage(record.homepage), m_strEmail(record.email), m_pPanel(panel) {
    using kivra::platform::FromWire;
    setWindowTitle(QStringLiteral("Who is..."));
    std::string shown = record.name;
    std::replace(shown.begin(), shown.end(), '+', ' ');
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(WithId(new QLabel(FromWire(shown), this), IDC_NAME));

    auto* info = new QGroupBox(QStringLiteral("User information"), this);
    (new QVBoxLayout(info))->addWidget(LinesEdit(record.description, IDC_DESCRIPTION, info));
    layout->addWidget(info);
    auto* inventory = new QGroupBox(QStringLiteral("Inventory"), this);
    (new QVBoxLayout(inventory))->addWidget(LinesEdit(record.inventory, IDC_INVENTORY, inventory));
    inventory->hide();
    layout->addWidget(inventory);

    auto* form = new QFormLayout;
    form->addRow(QStringLiteral("Home Page:"),
                 WithId(new QLabel(FromWire(record.homepage), this), IDC_HOMEPAGE));
    form->addRow(QStringLiteral("Email:"),
                 WithId(new QLabel(FromWire(record.email), this), IDC_EMAIL));
    layout->addLayout(form);

    auto* buttons = new QDialogButtonBox(this);
    auto* page = WithId(new QPushButton(QStringLiteral("Go to Page"), this), IDC_GOTOPAGE);
    auto* mail = WithId(new QPushButton(QStringLiteral("Send Mail"), this), IDC_SENDMAIL);
    page->setEnabled(!record.homepage.empty());
    mail->setEnabled(!record.email.empty());
    buttons->addButton(page, QDialogButtonBox::ActionRole);
    buttons->addButton(mail, QDialogButtonBox::ActionRole);
    buttons->addButton(QDialogButtonBox::Ok);
    connect(page, &QPushButton::clicked, this, [this] { OnGotoPage(); });
    connect(mail, &QPushButton::clicked, this, [this] { OnSendMail(); });
    connect(buttons, &QDialogButtonBox::accepted, this, [this] { accept(); });
    layout->addWidget(buttons);
}

std::string CWhoisDialog::MailAddress(const std::string& email) {
    const std::string address = "mailto:" + email;
    const std::size_t slash = address.rfind('/');
    return slash == std::string::npos ? address : address.substr(slash + 1);
}

void CWhoisDialog::OnGotoPage() {
    // A home page the URL check refuses opens nothing; the dialog closes all the same.
    const std::string url = CPGEdit::NormaliseUrl(m_strHomepage);
    if (!url.empty() && m_pPanel)
        m_pPanel->Navigate(url, "kivranewwindow");
    done(1);
}

void CWhoisDialog::OnSendMail() {
    if (m_pPanel)
        m_pPanel->Navigate(MailAddress(m_strEmail), "kivradisplay");
    done(1);
}
