// The who-is dialog: what it shows and which buttons it offers (the host test clicks them).
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
    PaneRig r;
    const WhoisRecord record{"Ann+Lee", "WWW.Ann.org/Me", "ann@x.org", {"one", "two"}, {"hat"}};
    CWhoisDialog dialog(record, &r.panel);
    EXPECT_EQ(Control<QLabel>(dialog, CWhoisDialog::IDC_NAME)->text(), "Ann Lee");
    EXPECT_EQ(Control<QPlainTextEdit>(dialog, CWhoisDialog::IDC_DESCRIPTION)->toPlainText(),
              "one\ntwo\n");
    EXPECT_EQ(Control<QPlainTextEdit>(dialog, CWhoisDialog::IDC_INVENTORY)->toPlainText(), "hat\n");
    EXPECT_EQ(Control<QLabel>(dialog, CWhoisDialog::IDC_HOMEPAGE)->text(), "WWW.Ann.org/Me");
    EXPECT_EQ(Control<QLabel>(dialog, CWhoisDialog::IDC_EMAIL)->text(), "ann@x.org");
    EXPECT_TRUE(Control<QPushButton>(dialog, CWhoisDialog::IDC_GOTOPAGE)->isEnabled());

    // Without a home page or an address the buttons are off.
    CWhoisDialog empty(WhoisRecord{"Bob", "", "", {}, {}}, &r.panel);
    EXPECT_FALSE(Control<QPushButton>(empty, CWhoisDialog::IDC_GOTOPAGE)->isEnabled());
    EXPECT_FALSE(Control<QPushButton>(empty, CWhoisDialog::IDC_SENDMAIL)->isEnabled());
    EXPECT_EQ(CWhoisDialog::MailAddress("a/b/c@x.org"), "c@x.org");
}
