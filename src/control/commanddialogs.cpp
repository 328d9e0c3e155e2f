#include "commanddialogs.h"

#include "chatstrings.h"
#include "codepage.h"

#include <QDialogButtonBox>
#include <QLabel>
#include <QLineEdit>
#include <QVBoxLayout>

namespace kivra::control {

CLineDlg::CLineDlg(const QString& title, const QString& label, int fieldId, int maxLength,
                   QWidget* parent)
    : QDialog(parent), m_pField(new QLineEdit(this)) {
    setWindowTitle(title);
    m_pField->setProperty("controlId", fieldId);
    m_pField->setMaxLength(maxLength);
    m_pField->setMinimumWidth(320);
    auto* caption = new QLabel(label, this);
    caption->setBuddy(m_pField);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(caption);
    layout->addWidget(m_pField);
    layout->addWidget(buttons);
}

std::string CLineDlg::Text() const {
    std::string text = kivra::platform::ToWireString(m_pField->text());
    std::erase_if(text, [](char c) { return c == '\r' || c == '\n' || c == '\0'; });
    const auto first = text.find_first_not_of(" \t");
    if (first == std::string::npos)
        return {};
    return text.substr(first, text.find_last_not_of(" \t") - first + 1);
}

COpenUrlDlg::COpenUrlDlg(QWidget* parent)
    : CLineDlg(QStringLiteral("Open URL"), QStringLiteral("URL:"), IDC_URL, 1023, parent) {}

CAskQuestionDlg::CAskQuestionDlg(QWidget* parent)
    : CLineDlg(QStringLiteral("Ask A Question"), QStringLiteral("Question:"), IDC_QUESTION,
               kMaxQuestion, parent) {}

CAboutDlg::CAboutDlg(QWidget* parent) : QDialog(parent) {
    setWindowTitle(QStringLiteral("About Kivra"));
    const QString version = kivra::platform::FromWire(
        kivra::resources::LoadChatString(kivra::resources::IDS_CLIENT_VERSION));
    auto* name = new QLabel(QStringLiteral("<b>Kivra</b> chat client %1").arg(version), this);
    auto* text = new QLabel(QStringLiteral("Talk with everybody in the room, in private with "
                                           "one person, and move from room to room.\n"
                                           "Choose Help in the menu for the commands."),
                            this);
    text->setWordWrap(true);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok, this);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(name);
    layout->addWidget(text);
    layout->addWidget(buttons);
}

} // namespace kivra::control
