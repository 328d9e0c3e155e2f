// The scripted dialog service, and classic file filters translated for the Qt dialogs.

#include "qtdialogservice.h"
#include "scripteddialogservice.h"

#include <QDialog>
#include <QLineEdit>
#include <QListWidget>
#include <gtest/gtest.h>
#include <sstream>

using namespace kivra::platform;

namespace {
constexpr unsigned kOk = 0x0, kOkCancel = 0x1, kYesNoCancel = 0x3, kYesNo = 0x4, kIconQ = 0x20;
constexpr int kIdOk = 1, kIdCancel = 2, kIdYes = 6, kIdNo = 7;
} // namespace

// Without a script every request gets its safe answer and one transcript line, in the wire's code
// page (the euro sign is its byte 0x80); queued answers are taken in order and fit the buttons.
TEST(ScriptedDialogs, SafeAnswersAndTranscriptLinesThenQueuedAnswersInOrder) {
    std::ostringstream out;
    ScriptedDialogService d;
    d.SetEcho(&out);
    EXPECT_EQ(d.MessageBox(nullptr, QString::fromUtf8("Line one\r\nLine two\n\u20ac three"),
                           "Chat Error", kOk),
              kIdOk);
    EXPECT_EQ(d.MessageBox(nullptr, "Sure?", "Question", kYesNo | kIconQ), kIdNo);
    EXPECT_EQ(d.MessageBox(nullptr, "Go on?", "Question", kOkCancel), kIdCancel);
    EXPECT_EQ(d.MessageBox(nullptr, "Save?", "Question", kYesNoCancel), kIdCancel);
    EXPECT_FALSE(d.GetSaveFileName(nullptr, "chat.txt", "txt", "Text File (*.txt)|*.txt||"));
    EXPECT_FALSE(d.GetOpenFileName(nullptr, "Sounds (*.wav)|*.wav||"));
    EXPECT_FALSE(d.GetFont(nullptr, QFont("Arial", 10)));
    QDialog dlg;
    dlg.setWindowTitle("Preferences");
    EXPECT_EQ(d.RunModal(&dlg), QDialog::Rejected);
    EXPECT_EQ(d.Requests().size(), 8u);
    EXPECT_EQ(out.str(), "[box] Chat Error: Line one\\nLine two\\n\x80 three\n"
                         "[box] Question: Sure?\n[box] Question: Go on?\n[box] Question: Save?\n"
                         "[dialog] Save As\n[dialog] Open\n[dialog] Font\n[dialog] Preferences\n");

    for (const char* a : {"YES", "ok", "no", "cancel", "yes", "/tmp/x.txt", "hello"})
        d.QueueAnswer(a);
    EXPECT_EQ(d.MessageBox(nullptr, "?", "Q", kYesNo), kIdYes);
    EXPECT_EQ(d.MessageBox(nullptr, "?", "Q", kYesNo), kIdYes); // "ok" on Yes/No is Yes
    EXPECT_EQ(d.MessageBox(nullptr, "?", "Q", kOkCancel), kIdCancel);
    EXPECT_EQ(d.MessageBox(nullptr, "?", "Q", kYesNoCancel), kIdCancel);
    EXPECT_EQ(d.MessageBox(nullptr, "!", "N", kOk), kIdOk);
    EXPECT_EQ(d.GetSaveFileName(nullptr, "chat.txt", "txt", ""), QString("/tmp/x.txt"));
    // A text given to a box is used up (the next save takes "ok") and the box gets its safe answer.
    EXPECT_EQ(d.MessageBox(nullptr, "?", "Q", kYesNo), kIdNo);
    d.QueueAnswer("ok");
    EXPECT_EQ(d.GetSaveFileName(nullptr, "chat", "txt", ""), QString("chat.txt"));
    d.QueueAnswer("ok");
    EXPECT_FALSE(d.GetOpenFileName(nullptr, "")); // OK with nothing chosen
    d.QueueAnswer("/tmp/in.wav");
    EXPECT_EQ(d.GetOpenFileName(nullptr, ""), QString("/tmp/in.wav"));
}

// A field reaches its control by id; one that names no control or no item is echoed; fields are
// for the next dialog only. Labels, the other kinds of control, the typed answer and a refused
// accept are driven through the preferences sheet, the command dialogs and the host.
TEST(ScriptedDialogs, ModalDialogFieldsAreForTheNextDialogOnly) {
    QDialog dlg;
    auto* name = new QLineEdit(&dlg);
    name->setProperty("controlId", 1102);
    auto* list = new QListWidget(&dlg);
    list->addItems({"ann", "bob"});
    list->setProperty("controlId", 8);
    std::ostringstream echo;
    ScriptedDialogService d;
    d.SetEcho(&echo);
    d.QueueField("1102", "Ann Lee");
    d.QueueField("8", "nobody");
    d.QueueField("4711", "x");
    d.QueueAnswer("ok");
    EXPECT_EQ(d.RunModal(&dlg), QDialog::Accepted);
    EXPECT_EQ(name->text(), "Ann Lee");
    EXPECT_NE(echo.str().find("no control 8"), std::string::npos);
    EXPECT_NE(echo.str().find("no control 4711"), std::string::npos);
    name->clear();
    d.QueueAnswer("cancel");
    EXPECT_EQ(d.RunModal(&dlg), QDialog::Rejected);
    EXPECT_TRUE(name->text().isEmpty());
}

TEST(FileFilter, ClassicFiltersAndDefaultExtensionsBecomeQtOnes) {
    EXPECT_EQ(TranslateFileFilter("Text File (*.txt)|*.txt||"), QStringList{"Text File (*.txt)"});
    EXPECT_EQ(TranslateFileFilter("All Files (*.*)|*.*||"), QStringList{"All Files (*)"});
    EXPECT_EQ(TranslateFileFilter("Pictures|*.gif;*.bmp|Sounds (*.wav)|*.wav||"),
              (QStringList{"Pictures (*.gif *.bmp)", "Sounds (*.wav)"}));
    EXPECT_EQ(TranslateFileFilter("Broken|"), QStringList{});
    EXPECT_EQ(TranslateFileFilter(""), QStringList{});
    // The default suffix comes from a bare extension or its pattern.
    const std::pair<const char*, const char*> cases[] = {
        {"txt", "txt"}, {"*.txt", "txt"}, {".txt", "txt"}, {"*.*", ""}, {"", ""}};
    for (const auto& [ext, suffix] : cases)
        EXPECT_EQ(DefaultSuffix(ext), QString(suffix)) << ext;
}
