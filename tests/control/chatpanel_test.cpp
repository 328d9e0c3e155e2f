// The panel's wiring of its panes: fonts, the save dialog, menus, the text copy and its look.
#include "chatprotocol.h"
#include "controlfixture.h"
#include "inputline.h"
#include "lineendfilter.h"
#include "pgedit.h"

#include <QFontInfo>
#include <QMenu>
#include <QPushButton>
#include <QTextCursor>
#include <gtest/gtest.h>

using namespace kivra::control;

namespace {
const std::vector<std::pair<std::string, std::string>> kLogin = {
    {"SERVER", "127.0.0.1"}, {"PORT", ClosedPort()}, {"USERNAME", "Ann Lee"}};

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
    struct Case {
        const char* family; // null: nothing stored
        const char* size;
        const char* shownFamily;
        int pixels;
        double points;
    };
    const Case cases[] = {{nullptr, nullptr, "Liberation Sans", 13, 10.0},
                          {"Liberation Mono", "240", "Liberation Mono", 16, 12.0},
                          {"Times New Roman", "201", "Liberation Serif", 13, 10.0}};
    for (const Case& c : cases) {
        ControlFixture f;
        if (c.family != nullptr) {
            f.settings.WriteProfileString("Main", "Font Family", c.family);
            f.settings.WriteProfileString("Main", "Font Size", c.size);
        }
        CChatPanel* panel = f.Open(kLogin);
        ASSERT_NE(panel, nullptr);
        CPGEdit* view = OutputView(panel);
        EXPECT_EQ(ShownFont(view), std::make_pair(QString(c.shownFamily), c.pixels)) << c.size;

        f.site.dialogs.QueueAnswer("ok");
        view->OnCommand(CPGEdit::ID_FONT);
        const auto& request = f.site.dialogs.Requests().back();
        EXPECT_EQ(request.font.family(), c.shownFamily);
        EXPECT_DOUBLE_EQ(request.font.pointSizeF(), c.points);
        EXPECT_EQ(ShownFont(view).first, c.shownFamily);
    }
}

TEST(ChatPanel, SaveToFileAddsTheSuffixAndWritesTheWireCodePage) {
    ControlFixture f;
    f.site.mirrored = "";
    CChatPanel* panel = f.Open(kLogin);
    ASSERT_NE(panel, nullptr);
    CPGEdit* view = OutputView(panel);
    view->ClearAll();
    f.site.mirrored = "";
    // Quotes, euro and dashes are Windows-1252 bytes 0x80-0x9F, not controls.
    const std::string wire = "\x93quoted\x94 \x80 5 \x96 caf\xe9\r\n";
    view->AppendText(wire, 1);
    EXPECT_EQ(view->document()->toPlainText(),
              QString::fromUtf8("\u201cquoted\u201d \u20ac 5 \u2013 caf\u00e9\n"));
    EXPECT_EQ(*f.site.mirrored, "\x93quoted\x94 \x80 5 \x96 caf\xe9\n");

    f.site.dialogs.QueueAnswer(f.dir.filePath("chat"));
    ASSERT_TRUE(panel->SaveTranscript());
    QFile saved(f.dir.filePath("chat.txt"));
    ASSERT_TRUE(saved.open(QIODevice::ReadOnly));
    EXPECT_EQ(saved.readAll().toStdString(), "\x93quoted\x94 \x80 5 \x96 caf\xe9\n");
}

TEST(ChatPanel, DisplayMenuGreysGotoAndCapitalisesExitsInTheProtocolsList) {
    ControlFixture f;
    CChatPanel* panel = f.Open(kLogin);
    ASSERT_NE(panel, nullptr);
    auto* protocol = static_cast<CChatProtocol*>(panel->Context().m_pProtocol);
    protocol->OnExit("north");
    protocol->OnExit("2nd floor");
    std::unique_ptr<QMenu> menu(OutputView(panel)->BuildDisplayMenu(nullptr));
    QStringList shown;
    for (QAction* a : menu->actions()) {
        if (a->data().toInt() == CPGEdit::ID_GOTO_USER) {
            EXPECT_FALSE(a->isEnabled()) << "no goto dialog to open yet";
        }
        if (a->data().toInt() >= CPGEdit::ID_EXIT_FIRST &&
            a->data().toInt() <= CPGEdit::ID_EXIT_LAST)
            shown << a->text();
    }
    EXPECT_EQ(shown, (QStringList{"North", "2nd floor"}));
    EXPECT_STREQ(protocol->Exits().At(0), "North");
}

TEST(ChatPanel, OneFaceOneBorderAndIconButtons) {
    ControlFixture f;
    CChatPanel* panel = f.Open(kLogin);
    ASSERT_NE(panel, nullptr);
    CPGEdit* view = OutputView(panel);
    EXPECT_EQ(view->frameShape(), QFrame::NoFrame) << "the output frame is the only border";
    const QString face = ShownFont(view).first;
    EXPECT_EQ(QFontInfo(panel->Item(IDC_INPUTLINE)->font()).family(), face);
    for (int id : {IDC_SEND, IDC_EMOTE, IDC_THINK}) {
        auto* button = static_cast<QPushButton*>(panel->Item(id));
        EXPECT_TRUE(button->text().isEmpty()) << id;
        EXPECT_FALSE(button->icon().isNull()) << id;
        EXPECT_EQ(QFontInfo(button->font()).family(), face) << id;
    }
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
