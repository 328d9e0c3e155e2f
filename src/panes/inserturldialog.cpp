#include "inserturldialog.h"

#include <QDialogButtonBox>
#include <QFormLayout>
#include <QLineEdit>
#include <QVBoxLayout>

namespace {
QString& LastUrl() {
    static QString url;
    return url;
}
QString& LastText() {
    static QString text = QStringLiteral("link");
    return text;
}
} // namespace

const QString& CInsertUrlDialog::RememberedUrl() {
    return LastUrl();
}
const QString& CInsertUrlDialog::RememberedLinkText() {
    return LastText();
}

CInsertUrlDialog::CInsertUrlDialog(QWidget* parent)
    : QDialog(parent), m_url(new QLineEdit(this)), m_text(new QLineEdit(this)) {
    setWindowTitle(QStringLiteral("Insert URL"));
    m_url->setObjectName(QString::number(IDC_URL));
    m_text->setObjectName(QString::number(IDC_LINK_TEXT));
    m_url->setMaxLength(255);
    m_text->setMaxLength(255);
    m_url->setText(LastUrl());
    m_text->setText(LastText());

    auto* form = new QFormLayout;
    form->addRow(QStringLiteral("URL:"), m_url);
    form->addRow(QStringLiteral("Link text:"), m_text);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    connect(buttons, &QDialogButtonBox::accepted, this, &CInsertUrlDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &CInsertUrlDialog::reject);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(form);
    layout->addWidget(buttons);

    m_url->selectAll();
    m_url->setFocus();
}

QString CInsertUrlDialog::BuildMarkup(const QString& url, const QString& linkText) {
    // An angle bracket inside the address would end the tag early on the receiving side, so it
    // travels percent-encoded, as it would in any address.
    QString address = url;
    address.replace(QLatin1Char('<'), QLatin1String("%3C"));
    address.replace(QLatin1Char('>'), QLatin1String("%3E"));
    const QString text = linkText.isEmpty() ? QStringLiteral("link") : linkText;
    if (address.contains(QLatin1String("://")))
        return QStringLiteral("<a href=%1>%2</a>").arg(address, text);
    return QStringLiteral("<a href=http://%1>%2</a>").arg(address, text);
}

void CInsertUrlDialog::accept() {
    const QString url = m_url->text();
    QString text = m_text->text();
    if (text.isEmpty())
        text = QStringLiteral("link");
    m_markup = BuildMarkup(url, text);
    LastUrl() = url;
    LastText() = text;
    QDialog::accept();
}
