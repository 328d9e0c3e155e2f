// The who-is dialog: what it shows, which buttons it offers and what they open.
#include "panefakes.h"
#include "whoisdialog.h"

#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <gtest/gtest.h>

namespace {
template <typename W> W* Control(QWidget& dialog, int id) {
    return dialog.findChild<W*>(QString::number(id));
}
} // namespace

TEST(WhoisDialog, ShowsTheRecordAndOpensTheCheckedPage) {
    FakePanel panel;
    const WhoisRecord record{"Ann+Lee", "WWW.Ann.org/Me", "ann@x.org", {"one", "two"}, {"hat"}};
    CWhoisDialog dialog(record, &panel);
    EXPECT_EQ(Control<QLabel>(dialog, CWhoisDialog::IDC_NAME)->text(), "Ann Lee");
    EXPECT_EQ(Control<QPlainTextEdit>(dialog, CWhoisDialog::IDC_DESCRIPTION)->toPlainText(),
              "one\ntwo\n");
    EXPECT_EQ(Control<QPlainTextEdit>(dialog, CWhoisDialog::IDC_INVENTORY)->toPlainText(), "hat\n");
    EXPECT_EQ(Control<QLabel>(dialog, CWhoisDialog::IDC_HOMEPAGE)->text(), "WWW.Ann.org/Me");
    EXPECT_EQ(Control<QLabel>(dialog, CWhoisDialog::IDC_EMAIL)->text(), "ann@x.org");
    Control<QPushButton>(dialog, CWhoisDialog::IDC_GOTOPAGE)->click();
    EXPECT_EQ(dialog.result(), 1);
    EXPECT_EQ(panel.navigated.size(), 1u);

    // Without a home page or an address the buttons are off.
    CWhoisDialog empty(WhoisRecord{"Bob", "", "", {}, {}}, &panel);
    EXPECT_FALSE(Control<QPushButton>(empty, CWhoisDialog::IDC_GOTOPAGE)->isEnabled());
    EXPECT_FALSE(Control<QPushButton>(empty, CWhoisDialog::IDC_SENDMAIL)->isEnabled());
    EXPECT_EQ(CWhoisDialog::MailAddress("a/b/c@x.org"), "c@x.org");
}
