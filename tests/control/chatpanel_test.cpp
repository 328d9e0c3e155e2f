// The panel's wiring of its panes: fonts, the save dialog, menus, the text copy and its look.
#include "../protocol/fakes.h"
#include "controlfixture.h"
#include "inputline.h"
#include "lineendfilter.h"
#include "pgedit.h"

#include <QAbstractButton>
#include <QFontInfo>
#include <QMenu>
#include <QTextCursor>
#include <gtest/gtest.h>

using namespace kivra::control;

namespace {
CPGEdit* OutputView(CChatPanel* panel) {
    return static_cast<CPGEdit*>(panel->Item(IDC_OUTPUTVIEW));
}

// The font the view's text is drawn in: family as resolved, size in pixels.
std::pair<QString, int> ShownFont(CPGEdit* view) {
    view->AppendText("x", 1);
    QTextCursor c(view->document());
    c.setPosition(view->Document().TextSize());
    const QFont f = c.charFormat().font().resolve(view->document()->defaultFont());
    return {QFontInfo(f).family(), QFontInfo(f).pixelSize()};
}
} // namespace

TEST(ChatPanel, OutputViewShowsTheStoredFontAndTheDialogOpensOnIt) {
    // The stored family and size (null: nothing stored), the family and pixel size shown and the
    // points the dialog opens on.
    const std::tuple<const char*, const char*, QString, int, double> cases[] = {
        {nullptr, nullptr, "Liberation Sans", 13, 10.0},
        {"Liberation Mono", "240", "Liberation Mono", 16, 12.0},
        {"Times New Roman", "201", "Liberation Serif", 13, 10.0}};
    for (const auto& [family, size, shown, pixels, points] : cases) {
        ControlFixture f;
        if (family != nullptr) {
            f.settings.WriteProfileString("Main", "Font Family", family);
            f.settings.WriteProfileString("Main", "Font Size", size);
        }
        CChatPanel* panel = f.Open();
        ASSERT_NE(panel, nullptr);
        CPGEdit* view = OutputView(panel);
        EXPECT_EQ(ShownFont(view), std::make_pair(shown, pixels)) << shown.toStdString();
        f.site.dialogs.QueueAnswer("ok");
        view->OnCommand(CPGEdit::ID_FONT);
        const auto& request = f.site.dialogs.Requests().back();
        EXPECT_EQ(request.font.family(), shown);
        EXPECT_DOUBLE_EQ(request.font.pointSizeF(), points);
        EXPECT_EQ(ShownFont(view).first, shown);
    }
    // A font chosen in the dialog is stored at twice its tenths and reaches the text shown.
    ControlFixture f;
    CPGEdit* view = OutputView(f.Open());
    view->AppendText("existing", 1);
    f.site.dialogs.QueueAnswer("Liberation Mono, 12");
    view->OnCommand(CPGEdit::ID_FONT);
    EXPECT_EQ(f.settings.GetProfileString("Main", "Font Size", ""), "240");
    EXPECT_EQ(f.settings.GetProfileString("Main", "Font Family", ""), "Liberation Mono");
    QTextCursor c(view->document());
    c.setPosition(3);
    EXPECT_EQ(QFontInfo(c.charFormat().font()).family(), "Liberation Mono");
    EXPECT_EQ(c.charFormat().property(QTextFormat::FontPixelSize).toInt(), 16);
}

TEST(ChatPanel, SaveToFileAddsTheSuffixAndWritesTheWireCodePage) {
    ControlFixture f;
    f.site.mirrored = "";
    CChatPanel* panel = f.Open();
    ASSERT_NE(panel, nullptr);
    CPGEdit* view = OutputView(panel);
    view->ClearAll();
    f.site.mirrored = "";
    // Quotes, euro and dashes are Windows-1252 bytes 0x80-0x9F, not controls; an unassigned
    // byte (0x81) and C0 controls are. How the view shows them is the text view's own test.
    view->AppendText("\x93quoted\x94 \x80 5 \x96 caf\xe9\x81\x07\r\n", 1);
    view->InsertLink("a link", "x.org");
    view->InsertPicture(*kivra_test::Picture(4), "Ann");
    view->AppendText("\tend\r\n", 1);
    EXPECT_EQ(*f.site.mirrored, "\x93quoted\x94 \x80 5 \x96 caf\xe9\x81\x07\na link\tend\n");

    f.site.dialogs.QueueAnswer(f.dir.filePath("chat"));
    ASSERT_TRUE(panel->SaveTranscript());
    QFile saved(f.dir.filePath("chat.txt"));
    ASSERT_TRUE(saved.open(QIODevice::ReadOnly));
    EXPECT_EQ(saved.readAll().toStdString(), "\x93quoted\x94 \x80 5 \x96 caf\xe9\na link end\n");

    // A file that cannot be made is reported; a cancelled dialog does nothing.
    f.site.dialogs.QueueAnswer(f.dir.filePath("missing/folder/chat.txt"));
    panel->SaveTranscript();
    EXPECT_EQ(BoxCount(f.site.dialogs, "Error"), 1);
    EXPECT_FALSE(QFile::exists(f.dir.filePath("missing/folder/chat.txt")));
    const std::size_t requests = f.site.dialogs.Requests().size();
    panel->SaveTranscript();
    EXPECT_EQ(f.site.dialogs.Requests().size(), requests + 1); // the dialog, no box
}

TEST(ChatPanel, DisplayMenuOffersGotoAndCapitalisesExitsInTheProtocolsList) {
    ControlFixture f;
    CChatPanel* panel = f.Open();
    ASSERT_NE(panel, nullptr);
    auto* protocol = static_cast<CChatProtocol*>(panel->Context().m_pProtocol);
    protocol->OnExit("north");
    std::unique_ptr<QMenu> menu(OutputView(panel)->BuildDisplayMenu(nullptr));
    QStringList shown;
    for (QAction* a : menu->actions()) {
        if (a->data().toInt() == CPGEdit::ID_GOTO_USER) {
            EXPECT_TRUE(a->isEnabled()) << "the panel gives the view its goto dialog";
        }
        if (a->data().toInt() >= CPGEdit::ID_EXIT_FIRST &&
            a->data().toInt() <= CPGEdit::ID_EXIT_LAST)
            shown << a->text();
    }
    EXPECT_EQ(shown, QStringList{"North"});
}

TEST(ChatPanel, ButtonsCarryTipsIconsAndOneFaceAndRunTheirCommands) {
    ControlFixture f;
    CChatPanel* panel = f.Open();
    ASSERT_NE(panel, nullptr);
    CPGEdit* view = OutputView(panel);
    EXPECT_EQ(view->frameShape(), QFrame::NoFrame) << "the output frame is the only border";
    const QString face = ShownFont(view).first;
    EXPECT_EQ(QFontInfo(panel->Item(IDC_INPUTLINE)->font()).family(), face);
    const std::pair<int, const char*> tips[] = {
        {102, "Open URL"},       {108, "Send Private Message"}, {109, "Help"},
        {128, "Menu"},           {129, "Ask a Question"},       {130, "Show Rooms"},
        {121, "Idle transfer."}, {1040, "Send Message"},        {211, "Emote Message"},
        {1049, "Think Message"}};
    for (const auto& [id, text] : tips) {
        EXPECT_EQ(panel->TooltipText(id), QString::fromLatin1(text)) << id;
        ASSERT_NE(panel->Item(id), nullptr) << id;
        if (auto* button = qobject_cast<QAbstractButton*>(panel->Item(id))) {
            EXPECT_TRUE(button->text().isEmpty()) << id;
            EXPECT_FALSE(button->icon().isNull()) << id;
            EXPECT_EQ(QFontInfo(button->font()).family(), face) << id;
        }
    }
    EXPECT_TRUE(panel->TooltipText(119).isEmpty());
    // The Ask button shows only in an auditorium.
    EXPECT_FALSE(panel->Item(129)->isVisibleTo(panel));
    panel->ShowAskButton(true);
    EXPECT_TRUE(panel->Item(129)->isVisibleTo(panel));

    panel->OnCommand(129); // not connected: the box, with its icon
    EXPECT_EQ(f.site.dialogs.Requests().back().flags, unsigned(MB_ICONEXCLAMATION));
    // Toggling a list stores the switch and lays out again.
    panel->OnCommand(106);
    EXPECT_EQ(f.settings.GetProfileString("Main", "Show Name List", ""), "No");
    EXPECT_FALSE(panel->Item(IDC_USERLIST)->isVisibleTo(panel));
    panel->OnCommand(107);
    EXPECT_EQ(f.settings.GetProfileString("Main", "Show Emotion List", ""), "Yes");
    EXPECT_TRUE(panel->Item(IDC_EMOTIONLIST)->isVisibleTo(panel));
}

TEST(ChatPanel, HeadlessTextCopyEndsLinesWithLFWhereverTheChunksSplit) {
    const std::string stream = "one\r\ntwo\rthree\n\r\nfour\r\r\nend";
    const std::string expected = "one\ntwo\nthree\n\nfour\n\nend";
    for (std::size_t cut = 0; cut <= stream.size(); ++cut) {
        LineEndFilter f;
        std::string out = f.Feed(stream.substr(0, cut));
        out += f.Feed(stream.substr(cut));
        EXPECT_EQ(out, expected) << "cut at " << cut;
    }
}

// Sounds sent by others play from the sounds folder, by file name only; the switch starts on, and
// once toggled the next panel starts from the stored choice.
TEST(ChatPanel, SoundsSentByOthersFollowTheirSwitch) {
    ControlFixture f;
    CChatPanel* panel = f.Open();
    ASSERT_NE(panel, nullptr);
    const std::string folder = (f.dir.path() + "/install/sounds/").toStdString();
    char text[] = "<snd=Chime>(Chime)<snd=a/../../x>\r\n";
    int incomplete = 0;
    panel->Context().m_pProtocol->ProcessReceived(text, int(sizeof text - 1), &incomplete);
    EXPECT_EQ(f.site.sounds, (std::vector<std::string>{"Chime " + folder + "Chime.wav"}));
    panel->OnCommand(146);
    EXPECT_EQ(f.settings.GetProfileString("Main", "Play Sounds", ""), "No");
    f.Drop(f.controls.front());
    CChatPanel* next = f.Open();
    ASSERT_NE(next, nullptr);
    EXPECT_FALSE(next->Context().m_bPlaySounds);
}
