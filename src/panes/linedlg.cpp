#include "linedlg.h"

#include "codepage.h"

#include <QDialogButtonBox>
#include <QLabel>
#include <QLineEdit>
#include <QVBoxLayout>

CLineDlg::CLineDlg(const QString& title, const QString& label, int fieldId, int maxLength,
                   QWidget* parent)
    : QDialog(parent), m_pField(new QLineEdit(this)) {
    setWindowTitle(title);
    if (fieldId != 0)
        m_pField->setProperty("controlId", fieldId);
    m_pField->setMaxLength(maxLength);
    m_pField->setMinimumWidth(320);
    auto* caption = new QLabel(label, this);
    caption->setBuddy(m_pField);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    connect(buttons, &QDialogButtonBox::accepted, this, [this] { accept(); });
    connect(buttons, &QDialogButtonBox::rejected, this, [this] { reject(); });
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
