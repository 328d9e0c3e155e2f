// The input line and its two insert dialogs, driven by keys and buttons.
#include "inputline.h"
#include "insertsounddialog.h"
#include "inserturldialog.h"
#include "panefakes.h"

#include <QApplication>
#include <QClipboard>
#include <QComboBox>
#include <QFile>
#include <QLineEdit>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <gtest/gtest.h>

using namespace std::string_literals;

namespace {

struct LineRig : PaneRig {
    CInputLine line;
    LineRig() : line(context, commands, dialogs) { line.show(); }
    void Type(const QString& text) {
        line.setText(text);
        line.setCursorPosition(int(text.size()));
    }
};

} // namespace

TEST(InputLine, EnterAndButtonsSendWithTheirPrefixes) {
    // The key, or the tip of the button pressed; whether connected; what is typed (UTF-8); what
    // is said; what stays in the line.
    const std::tuple<const char*, bool, const char*, const char*, const char*> cases[] = {
        {"Return", true, "  word  ", "  word\r\n", ""},
        {"Emote Message", true, "waves", "/emote waves\r\n", ""},
        {"Think Message", true, "ponders", "/think ponders\r\n", ""},
        {"Send Message", true, "hi", "hi\r\n", ""},
        {"Emote Message", true, "    ", "", "    "}, // a button keeps a blank line
        {"Return", true, "    ", "", ""},            // Enter clears it
        {"Enter", false, "lost", "", "lost"},
        // A line break cannot split the line in two; the text leaves in the wire's code page,
        // "?" for what it lacks.
        {"Return", true, "one\ntwo \u20ac \u201cq\u201d \u00e9 \u0416",
         "one two \x80 \x93q\x94 \xe9 ?\r\n", ""},
    };
    for (const auto& [how, connected, typed, said, left] : cases) {
        LineRig r;
        r.commands.connected = connected;
        r.context.m_nScrollHold = 1;
        r.Type(QString::fromUtf8(typed));
        const auto buttons = r.line.CreateButtons(nullptr);
        if (how == "Return"s || how == "Enter"s)
            QTest::keyClick(&r.line, how == "Return"s ? Qt::Key_Return : Qt::Key_Enter);
        for (QPushButton* b : buttons)
            if (b->toolTip() == how)
                b->click();
        EXPECT_EQ(r.commands.said, *said ? Texts{said} : Texts{}) << how << " " << typed;
        EXPECT_EQ(r.line.text().toStdString(), left) << how << " " << typed;
        EXPECT_EQ(r.context.m_nScrollHold, *said ? 0 : 1) << how << " " << typed;
        qDeleteAll(buttons);
    }
    EXPECT_EQ(LineRig().line.maxLength(), 1000);
}

TEST(InputLine, BackspaceEdgeCases) {
    // The text, the selection (from an anchor, a negative length backwards), what is left and
    // where the caret is.
    const std::tuple<const char*, int, int, const char*, int> cases[] = {
        {"", 0, 0, "", 0},                     // empty: nothing
        {"abc", 0, 0, "abc", 0},               // caret at 0: nothing deleted
        {"abc", 2, 0, "ac", 1},                // the character before the caret
        {"abc", 0, 3, "", 0},                  // all selected
        {"hello world", 8, -3, "hellorld", 5}, // "o w" selected backwards
    };
    for (const auto& [text, anchor, length, left, caret] : cases) {
        LineRig r;
        r.Type(text);
        r.line.setSelection(anchor, length);
        if (length == 0)
            r.line.setCursorPosition(anchor);
        QTest::keyClick(&r.line, Qt::Key_Backspace);
        EXPECT_EQ(r.line.text(), left) << text << " " << anchor;
        EXPECT_EQ(r.line.cursorPosition(), caret) << text << " " << anchor;
        EXPECT_FALSE(r.line.hasSelectedText());
    }
}

TEST(InputLine, ContextMenuGreysAndPastesPlainText) {
    LineRig r;
    QApplication::clipboard()->clear();
    r.Type("text");
    r.line.deselect();
    EXPECT_EQ(MenuLines(r.line.BuildContextMenu(nullptr)),
              (Texts{"Cut (57635) grey", "Copy (57634) grey", "Paste (57637) grey", "---",
                     "Insert URL (32819)", "Insert Sound (126)"}));
    QApplication::clipboard()->setText("pasted\r\nlines");
    r.line.selectAll();
    EXPECT_EQ(MenuLines(r.line.BuildContextMenu(nullptr)),
              (Texts{"Cut (57635)", "Copy (57634)", "Paste (57637)", "---", "Insert URL (32819)",
                     "Insert Sound (126)"}));
    r.line.OnCommand(CInputLine::ID_PASTE);
    EXPECT_EQ(r.line.text(), "pasted lines");
}

TEST(InsertDialogs, UrlDialogBuildsTheLinkAndRemembersIt) {
    EXPECT_EQ(CInsertUrlDialog::BuildMarkup("example.com/a", "here"),
              "<a href=http://example.com/a>here</a>");
    EXPECT_EQ(CInsertUrlDialog::BuildMarkup("ftp://f.org", ""), "<a href=ftp://f.org>link</a>");
    EXPECT_EQ(CInsertUrlDialog::BuildMarkup("x.org/<b>", "t"),
              "<a href=http://x.org/%3Cb%3E>t</a>");

    LineRig r;
    r.Type("see THIS now");
    r.line.setSelection(4, 4);
    r.dialogs.modal = [](QDialog* d) {
        auto* dialog = static_cast<CInsertUrlDialog*>(d);
        EXPECT_EQ(dialog->windowTitle(), "Insert URL");
        EXPECT_EQ(dialog->LinkTextEdit()->text(), CInsertUrlDialog::RememberedLinkText());
        EXPECT_EQ(dialog->UrlEdit()->maxLength(), 255);
        dialog->UrlEdit()->setText("www.kivra.example");
        dialog->LinkTextEdit()->clear();
        dialog->accept();
        return dialog->result();
    };
    r.line.OnCommand(CInputLine::ID_INSERT_URL);
    EXPECT_EQ(r.line.text(), "see <a href=http://www.kivra.example>link</a> now");
    EXPECT_EQ(CInsertUrlDialog::RememberedUrl(), "www.kivra.example");

    r.dialogs.modal = [](QDialog* d) {
        EXPECT_EQ(static_cast<CInsertUrlDialog*>(d)->UrlEdit()->text(), "www.kivra.example");
        return int(QDialog::Rejected);
    };
    const QString before = r.line.text();
    r.line.OnCommand(CInputLine::ID_INSERT_URL);
    EXPECT_EQ(r.line.text(), before);
}

TEST(InsertDialogs, SoundDialogListsPreviewsAndBuildsTheTag) {
    QTemporaryDir install;
    QDir(install.path()).mkpath("sounds");
    for (const char* f : {"BELL.WAV", "chime.wav", "notes.txt", "Alarm.Wav"}) {
        QFile file(install.filePath(QString("sounds/") + f));
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    }
    EXPECT_EQ(CInsertSoundDialog::SoundNames(install.filePath("sounds")),
              (QStringList{"Alarm", "Bell", "Chime"}));
    EXPECT_TRUE(CInsertSoundDialog::SoundNames(install.filePath("none")).isEmpty());

    LineRig r;
    r.settings.strings["Main/InstallPath"] = install.path().toStdString();
    QStringList played;
    r.line.SetSoundPlayer([&](const QString& name) { played << name; });
    r.dialogs.modal = [](QDialog* d) {
        auto* dialog = static_cast<CInsertSoundDialog*>(d);
        EXPECT_EQ(dialog->windowTitle(), "Insert Sound");
        dialog->SoundBox()->setCurrentIndex(1);
        dialog->accept();
        return dialog->result();
    };
    r.line.OnCommand(CInputLine::ID_INSERT_SOUND);
    EXPECT_EQ(played, QStringList{"Bell"});
    EXPECT_EQ(r.line.text(), "<snd=Bell>(Bell)");

    // An empty folder gives an empty list, and OK inserts nothing.
    r.settings.strings["Main/InstallPath"] = install.filePath("elsewhere").toStdString();
    r.dialogs.modal = [](QDialog* d) {
        auto* dialog = static_cast<CInsertSoundDialog*>(d);
        EXPECT_EQ(dialog->SoundBox()->count(), 0);
        dialog->accept();
        return dialog->result();
    };
    r.line.OnCommand(CInputLine::ID_INSERT_SOUND);
    EXPECT_EQ(r.line.text(), "<snd=Bell>(Bell)");
}
