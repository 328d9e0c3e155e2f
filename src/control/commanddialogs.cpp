#include "commanddialogs.h"

#include "chatstrings.h"
#include "codepage.h"

#include <QDialogButtonBox>
#include <QLabel>
#include <QLineEdit>
#include <QVBoxLayout>

namespace kivra::control {

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
