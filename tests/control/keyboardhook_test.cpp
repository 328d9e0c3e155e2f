#include "keyboardhook.h"

#include <QApplication>
#include <QClipboard>
#include <QLineEdit>
#include <QTest>
#include <QTextEdit>
#include <gtest/gtest.h>

using namespace kivra::control;

namespace {

// Stand-ins with the edit operations the hook calls (copy, paste, cut) as the real panes have.
class HookPanel : public QWidget, public IKeyboardHookTarget {
public:
    QWidget* HookOutputView() override { return output; }
    QWidget* HookInputLine() override { return input; }
    QList<QWidget*> HookPrivateWindows() override { return windows; }
    bool& HookCtrlDown() override { return ctrl; }

    QTextEdit* output = new QTextEdit("transcript line", this);
    QLineEdit* input = new QLineEdit(this);
    QTextEdit* pm = new QTextEdit(this); // a private-message window's view
    QLineEdit* other = new QLineEdit(this);
    QList<QWidget*> windows;
    bool ctrl = false;
};

::testing::AssertionResult Focus(QWidget* w) {
    w->setFocus();
    QApplication::processEvents();
    if (QApplication::focusWidget() == w)
        return ::testing::AssertionSuccess();
    return ::testing::AssertionFailure() << "focus is elsewhere";
}

} // namespace

// Tab: from the view to the input line, kept in the input line, typed into a private window.
// Backspace, cut and paste work in the input line; Ctrl is tracked and copies from the view.
TEST(KeyboardHook, PanelKeysAndTabIntoPrivateWindows) {
    // Expectations only, so that the hook always comes off at the end.
    HookPanel panel;
    EXPECT_TRUE(CKeyboardHook::Install());
    CKeyboardHook::SetTarget(&panel);
    panel.show();
    EXPECT_TRUE(QTest::qWaitForWindowExposed(&panel));
    panel.activateWindow();

    EXPECT_TRUE(Focus(panel.output));
    QTest::keyClick(panel.output, Qt::Key_Tab);
    EXPECT_EQ(QApplication::focusWidget(), panel.input);
    EXPECT_EQ(panel.output->toPlainText(), "transcript line"); // no tab typed into it
    QTest::keyClicks(panel.input, "hello");
    QTest::keyClick(panel.input, Qt::Key_Tab);
    EXPECT_EQ(QApplication::focusWidget(), panel.input);
    QTest::keyClick(panel.input, Qt::Key_Backspace);
    EXPECT_EQ(panel.input->text(), "hell");
    panel.input->selectAll();
    QTest::keyClick(panel.input, Qt::Key_X, Qt::ControlModifier);
    EXPECT_EQ(panel.input->text(), "");
    EXPECT_EQ(QApplication::clipboard()->text(), "hell");
    QTest::keyClick(panel.input, Qt::Key_V, Qt::ControlModifier);
    QTest::keyClick(panel.input, Qt::Key_V, Qt::ControlModifier);
    EXPECT_EQ(panel.input->text(), "hellhell");

    EXPECT_TRUE(Focus(panel.output));
    panel.output->selectAll();
    QTest::keyPress(panel.output, Qt::Key_Control);
    EXPECT_TRUE(panel.ctrl);
    QTest::keyClick(panel.output, Qt::Key_C, Qt::ControlModifier);
    EXPECT_EQ(QApplication::clipboard()->text(), "transcript line");
    QTest::keyRelease(panel.output, Qt::Key_Control);
    EXPECT_FALSE(panel.ctrl);

    EXPECT_TRUE(Focus(panel.other));
    QTest::keyClick(panel.other, Qt::Key_Tab);
    EXPECT_NE(QApplication::focusWidget(), panel.other);
    panel.windows = {panel.pm};
    EXPECT_TRUE(Focus(panel.pm));
    QTest::keyClick(panel.pm, Qt::Key_Tab);
    EXPECT_EQ(QApplication::focusWidget(), panel.pm);
    EXPECT_EQ(panel.pm->toPlainText(), "\t");
    CKeyboardHook::SetTarget(nullptr);
    CKeyboardHook::Uninstall();
}
