// The output view through its operations, menus and mouse, offscreen.
#include "panefakes.h"
#include "pgedit.h"

#include <QPaintEvent>
#include <QScrollBar>
#include <QSignalSpy>
#include <QTest>
#include <gtest/gtest.h>

using namespace std::string_literals;

namespace {

struct ViewRig : ProtocolRig {
    CPGEdit view;
    explicit ViewRig(int kind = CPGEdit::KIND_MAIN) : view(context, commands, dialogs, kind) {
        view.resize(400, 200);
        view.show();
    }
    // The colour and style of the character before `pos`, as "#rrggbb bold italic underline".
    std::string Look(int pos) {
        QTextCursor c(view.document());
        c.setPosition(pos);
        const QTextCharFormat f = c.charFormat();
        return f.foreground().color().name().toStdString() +
               (f.fontWeight() >= QFont::Bold ? " bold" : "") + (f.fontItalic() ? " italic" : "") +
               (f.fontUnderline() ? " underline" : "");
    }
    QString Plain() const { return view.document()->toPlainText(); }
    void Lines(const std::string& text, int n) {
        for (int i = 0; i < n; ++i) {
            view.AppendText(text + std::to_string(i) + "\r\n", 1);
            view.FinishAppend();
        }
    }
    // A point inside the item that starts at `pos`.
    QPoint ItemPoint(int pos, int dx, int up = 5) {
        QTextCursor c(view.document());
        c.setPosition(pos);
        const QRect r = view.cursorRect(c);
        return {r.x() + dx, r.bottom() - up};
    }
};

ChatPicture Picture(int w, int h) {
    ChatPicture p;
    p.width = w;
    p.height = h;
    p.pixels.assign(std::size_t(w * h), 1);
    p.palette[1] = 0x0000FF;
    return p;
}

} // namespace

TEST(OutputView, StyleCodesAndBaseStyleGiveColourAndStyle) {
    // 3 is not in the table and takes the base style.
    const std::pair<std::uint32_t, const char*> cases[] = {{0x210, "#ff0000 bold italic"},
                                                           {3, "#000000"},
                                                           {2, "#000000 bold"},
                                                           {4, "#808000"},
                                                           {8, "#008080 underline"},
                                                           {32, "#808080"},
                                                           {64, "#008000"},
                                                           {0x401, "#000000 underline"}};
    for (const auto& [code, look] : cases) {
        ViewRig r;
        r.view.AppendText("word", code);
        EXPECT_EQ(r.Look(2), look) << std::hex << code;
    }
    ViewRig r;
    r.view.SetBaseColour(0x00FF00);
    r.view.SetBold(true);
    r.view.AppendText("a", 2); // bold on a bold base stays bold
    r.view.SetBold(false);
    r.view.SetItalic(true);
    r.view.AppendText("b", 1);
    EXPECT_EQ(r.Look(1), "#00ff00 bold");
    EXPECT_EQ(r.Look(2), "#00ff00 italic");
    QSignalSpy spy(&r.view, &CPGEdit::textAppended);
    r.view.AppendSeparator();
    ASSERT_EQ(spy.count(), 2);
    EXPECT_EQ(spy[1][0].toString(), "___________________________________________\r\n");
}

TEST(OutputView, TrimmingHalvesPastTheLimitAndBoundsOverlongLines) {
    ViewRig r;
    std::string line(99, 'x');
    line += "\r\n";
    for (int n = 0; r.view.Document().TextSize() + 100 <= CPGEdit::kTrimLimit; ++n) {
        line[0] = char('A' + n % 26);
        r.view.AppendText(line, 1);
    }
    r.view.FinishAppend();
    r.view.AppendText(std::string(150, 't') + "tail past the limit\r\n", 1);
    const QString before = r.Plain();
    const int size = r.view.Document().TextSize();
    ASSERT_GT(size, CPGEdit::kTrimLimit);
    r.view.FinishAppend();
    EXPECT_EQ(r.Plain(), before.mid(size / 2)); // exactly the first half
    r.view.AppendText("next", 1);
    EXPECT_TRUE(r.Plain().endsWith("tail past the limit\nnext"));

    // One line longer than the limit, in reads of any size, keeps the view within its bound,
    // and what follows it shows.
    for (const std::size_t chunk : {std::size_t(1000), std::size_t(64 * 1024)}) {
        for (std::size_t sent = 0; sent < 300 * 1024; sent += chunk) {
            r.view.AppendText(std::string(chunk, 'w'), 1);
            EXPECT_LE(r.view.Document().TextSize(), 2 * CPGEdit::kTrimLimit);
        }
        r.view.AppendText("\r\nstill here\r\n", 1);
        r.view.FinishAppend();
        EXPECT_LE(r.view.Document().TextSize(), CPGEdit::kTrimLimit);
        EXPECT_TRUE(r.view.PlainText().endsWith("wwww\nstill here\n"));
    }
}

TEST(OutputView, ScrollHoldAndBatchesFollowOrKeepThePlace) {
    ViewRig r;
    EXPECT_TRUE(r.view.IsAtEnd()); // empty counts as at the bottom
    EXPECT_EQ(r.view.SendMessage(RTV_GETHEIGHT, 0, 0), 0);
    r.Lines("line ", 60);
    QScrollBar* bar = r.view.verticalScrollBar();
    ASSERT_GT(bar->maximum(), 0);
    EXPECT_TRUE(r.view.IsAtEnd());
    EXPECT_FALSE(r.view.ScrollHold());

    bar->triggerAction(QAbstractSlider::SliderPageStepSub);
    EXPECT_EQ(r.context.m_nScrollHold, 1);
    int held = bar->value();
    r.Lines("while away ", 5);
    EXPECT_EQ(bar->value(), held);
    EXPECT_TRUE(r.view.ScrollHold());
    bar->triggerAction(QAbstractSlider::SliderToMaximum);
    r.Lines("back ", 2);
    EXPECT_FALSE(r.view.ScrollHold());
    EXPECT_EQ(bar->value(), bar->maximum());

    // A batch (nested passes are one) lays out once at its end, then follows the end.
    const auto height = r.view.SendMessage(RTV_GETHEIGHT, 0, 0);
    r.view.BeginBatch();
    r.view.BeginBatch();
    r.Lines("batched line ", 200); // trims past the limit inside the batch too
    EXPECT_EQ(r.view.SendMessage(RTV_GETHEIGHT, 0, 0), height) << "not laid out line by line";
    r.view.EndBatch();
    EXPECT_TRUE(r.view.LayoutDeferred());
    r.view.EndBatch();
    EXPECT_FALSE(r.view.LayoutDeferred());
    EXPECT_LE(r.view.Document().TextSize(), CPGEdit::kTrimLimit);
    EXPECT_TRUE(r.Plain().contains("batched line 199\n"));
    EXPECT_EQ(bar->value(), bar->maximum()) << "follows the end once laid out";

    // Held by the user: a batch leaves the view where it was.
    bar->triggerAction(QAbstractSlider::SliderPageStepSub);
    held = bar->value();
    r.view.BeginBatch();
    r.Lines("while held ", 20);
    r.view.EndBatch();
    EXPECT_EQ(bar->value(), held);

    // A paint in the middle of a batch lays out what is there first.
    bar->triggerAction(QAbstractSlider::SliderToMaximum);
    r.view.BeginBatch();
    r.view.AppendText("painted early\r\n", 1);
    QPaintEvent paint(r.view.viewport()->rect());
    QCoreApplication::sendEvent(r.view.viewport(), &paint);
    EXPECT_FALSE(r.view.LayoutDeferred());
    r.Lines("after the paint ", 1);
    r.view.EndBatch();
    EXPECT_TRUE(r.Plain().contains("painted early\nafter the paint 0\n"));
    EXPECT_TRUE(r.view.IsAtEnd());
}

TEST(OutputView, LinksShareEntriesAndClicksOpenCheckedUrls) {
    const std::pair<const char*, const char*> urls[] = {
        {"WWW.EXAMPLE.COM/Page", "http://www.example.com/Page"},
        {"http://x.org", "http://x.org"},
        {"HTTPS://Secure.ORG/A?B#C", "https://secure.org/A?B#C"},
        {"\"Host:8080/P\"", "http://host:8080/P"},
        {"'x.org/Q'", "http://x.org/Q"},
        {"MailTo:Ann@X.org", "mailto:Ann@X.org"},
        {"javascript:alert(1)", ""},
        {"FILE:///etc/passwd", ""},
        {"ftp://x.org", ""},
        {"", ""},
        {"''", ""},
        {"http://", ""},
        {"a", "http://a"}};
    for (const auto& [url, opened] : urls)
        EXPECT_EQ(CPGEdit::NormaliseUrl(url), opened) << url;

    ViewRig r;
    r.view.InsertLink("one", "www.example.com");
    r.view.AppendText(" and ", 1);
    r.view.InsertLink("two", "www.example.com");
    r.view.InsertLink("THE SITE", "WWW.KIVRA.EXAMPLE");
    ASSERT_EQ(r.view.LinkEntries().size(), 2u);
    EXPECT_EQ(r.view.LinkEntries().front().m_nCount, 2);
    EXPECT_EQ(r.view.DumpLinks(), (Texts{"[link] www.example.com one", "[link] www.example.com two",
                                         "[link] WWW.KIVRA.EXAMPLE THE SITE"}));
    EXPECT_EQ(r.Plain(), "one and twoTHE SITE");
    // The link is teal and underlined; text after it is back to what it was.
    EXPECT_EQ(r.Look(2), "#008080 underline");
    r.view.AppendText("plain", 1);
    EXPECT_EQ(r.Look(r.view.Document().TextSize() - 1), "#000000");

    QTest::mouseClick(r.view.viewport(), Qt::LeftButton, {}, r.ItemPoint(13, 1));
    QTest::mouseClick(r.view.viewport(), Qt::LeftButton, {}, r.ItemPoint(5, 1)); // plain text
    EXPECT_EQ(r.Panel("navigate:"), Texts{"kivranewwindow http://www.kivra.example"});
    // A right click on a link does nothing.
    EXPECT_EQ(MenuLines(r.view.MenuAt(r.ItemPoint(13, 1), nullptr)), std::vector{"no menu"s});

    // Trimming that drops one link lowers the shared count; Clear All frees the rest.
    r.view.Document().DeleteRange(0, 3, false);
    EXPECT_EQ(r.view.LinkEntries().front().m_nCount, 1);
    EXPECT_EQ(r.view.DumpLinks().size(), 2u);
    r.view.OnCommand(CPGEdit::ID_CLEAR_ALL);
    EXPECT_TRUE(r.view.LinkEntries().empty());
    EXPECT_TRUE(r.view.DumpLinks().empty());
    EXPECT_EQ(r.view.Document().TextSize(), 0);
}

TEST(OutputView, AvatarsAreHotSpotsAndInlinePicturesAreNot) {
    ViewRig r;
    r.Block({"<newroom>", "<user> Ann+Other"});
    r.view.AppendText("x", 1);
    r.view.InsertPicture(Picture(30, 20), "Ann Other");
    r.view.InsertPicture(Picture(30, 20), "Me Myself");
    r.view.InsertPlainPicture(Picture(5, 4), 3);
    r.view.InsertPicture(Picture(0, 0), "Nobody"); // nothing to show: no entry kept
    ASSERT_EQ(r.view.NameEntries().size(), 2u);

    const QPoint onAnn = r.ItemPoint(1, 15);
    RtvItem item{};
    ASSERT_TRUE(r.view.HotSpotAt(onAnn, &item));
    EXPECT_EQ(item.kind, CPGEdit::ITEM_PICTURE);
    EXPECT_EQ(item.reference, reinterpret_cast<std::uintptr_t>(&r.view.NameEntries().front()));
    QTest::mouseMove(r.view.viewport(), onAnn);
    EXPECT_EQ(r.view.viewport()->cursor().shape(), Qt::PointingHandCursor);
    EXPECT_EQ(MenuLines(r.view.MenuAt(onAnn, nullptr)).at(0),
              "Send Private Message to Ann Other... (32775)");

    QTest::mouseDClick(r.view.viewport(), Qt::LeftButton, {}, onAnn);
    EXPECT_EQ(r.list.Selection(), Texts{"Ann Other"});
    EXPECT_EQ(r.privates, std::vector<Texts>{{"Ann Other"}});
    QTest::mouseDClick(r.view.viewport(), Qt::LeftButton, {}, r.ItemPoint(2, 15));
    EXPECT_EQ(r.privates.size(), 1u); // own name: nothing
    EXPECT_EQ(MenuLines(r.view.MenuAt(r.ItemPoint(2, 15), nullptr)), std::vector{"no menu"s});

    // No hand cursor and the display menu over an inline picture.
    const QPoint onPlain = r.ItemPoint(3, 2, 2);
    EXPECT_FALSE(r.view.HotSpotAt(onPlain, &item));
    QTest::mouseMove(r.view.viewport(), onPlain);
    EXPECT_EQ(r.view.viewport()->cursor().shape(), Qt::IBeamCursor);
    EXPECT_EQ(MenuLines(r.view.MenuAt(onPlain, nullptr)).at(0), "Clear All (32781)");
}

// A picture that arrives late goes where its tag stood, behind the text before it and in front
// of the text that came since; a place trimmed away takes nothing.
TEST(OutputView, LatePicturesGoToTheirMarkedPlace) {
    ViewRig r;
    QSignalSpy shown(&r.view, &CPGEdit::pictureInserted);
    r.view.AppendText("before ", 1);
    const int place = r.view.MarkPicturePlace();
    const int cleared = r.view.MarkPicturePlace();
    r.view.ForgetPicturePlace(cleared);
    r.view.AppendText("after\r\n", 1);
    ChatPicture avatar = Picture(12, 10);
    avatar.source = "http://h/ann.gif";
    r.view.InsertPictureAt(place, avatar, "Ann");
    r.view.InsertPictureAt(cleared, avatar, "Ann");
    r.view.InsertPictureAt(place, avatar, "Ann"); // a place takes one picture
    EXPECT_EQ(r.Plain(), QString("before \uFFFCafter\n"));
    EXPECT_EQ(shown.size(), 1);
    RtvItem item{};
    EXPECT_TRUE(r.view.HotSpotAt(r.ItemPoint(7, 5), &item));
    EXPECT_EQ(item.kind, CPGEdit::ITEM_PICTURE);

    const int early = r.view.MarkPicturePlace();
    r.Lines(std::string(100, 'x'), 200); // trims the start, the place with it
    const int late = r.view.MarkPicturePlace();
    r.view.AppendText("tail", 1);
    r.view.InsertPictureAt(early, avatar, "Ann");
    r.view.InsertPictureAt(late, avatar, "Ann");
    EXPECT_EQ(shown.size(), 2);
    EXPECT_TRUE(r.Plain().endsWith(QString("\uFFFCtail")));
    r.view.ClearAll();
    const int gone = r.view.MarkPicturePlace();
    r.view.ClearAll();
    r.view.InsertPictureAt(gone, avatar, "Ann");
    EXPECT_EQ(shown.size(), 2);
}

TEST(OutputView, DisplayMenuShowsStateAndRunsItsCommands) {
    ViewRig r;
    r.commands.connected = false;
    for (int i = 0; i < 12; ++i)
        r.commands.exits.push_back("Exit" + std::to_string(i));
    r.context.m_bMonitor = true;
    Texts expected = {"Clear All (32781)",
                      "Font... (32806)",
                      "---",
                      "Sound On Incoming Message (32821) checked",
                      "Save To File (127)",
                      "Who's Online Now (32804) grey",
                      "Goto User... (140) grey", // no goto dialog yet
                      "---"};
    for (int i = 0; i < 10; ++i)
        expected.push_back("Exit" + std::to_string(i) + " (" + std::to_string(32782 + i) +
                           ") grey");
    EXPECT_EQ(MenuLines(r.view.BuildDisplayMenu(nullptr)), expected);
    r.commands.gotoDialog = true;
    r.commands.exits.clear();
    expected.resize(7); // no exits: no separator
    expected[6] = "Goto User... (140)";
    EXPECT_EQ(MenuLines(r.view.BuildDisplayMenu(nullptr)), expected);

    r.view.OnCommand(CPGEdit::ID_SOUND_INCOMING);
    EXPECT_EQ(r.settings.strings["Main/Monitor"], "No");
    r.view.OnCommand(CPGEdit::ID_WHOS_ONLINE);
    r.view.OnCommand(CPGEdit::ID_GOTO_USER);
    r.view.OnCommand(CPGEdit::ID_EXIT_FIRST + 2);
    EXPECT_EQ(r.commands.calls, (Texts{"users", "goto", "menu 144 3"}));

    // A private display: its own menu, sound switch and font section.
    ViewRig pm(CPGEdit::KIND_PRIVATE);
    EXPECT_EQ(MenuLines(pm.view.BuildDisplayMenu(nullptr)),
              (Texts{"Clear All (32781)", "Font... (32806)", "---",
                     "Sound On Incoming Message (32821)", "Save To File (127)"}));
    pm.view.OnCommand(CPGEdit::ID_SOUND_INCOMING);
    EXPECT_EQ(pm.settings.ints["PM/Sound PM"], 1u);
    pm.settings.strings["PM/Font Size"] = "300";
    pm.view.ApplyFontSettings();
    EXPECT_DOUBLE_EQ(pm.view.CurrentFont().pointSizeF(), 15.0);
}

TEST(OutputView, UserMenuFollowsIgnoreFollowAndTransferState) {
    ViewRig r;
    r.commands.ignored = {"Ann"};
    r.commands.transfer = 2;
    r.context.SetOption(CHATOPT_NOWHOIS, true);
    EXPECT_EQ(MenuLines(r.view.BuildUserMenu("Ann", nullptr)),
              (Texts{"Send Private Message to Ann... (32775) grey", "Add Ann To Buddy List (278)",
                     "Cancel File Transfer (138)", "Start Following Ann (32803)", "---",
                     "Allow Messages From Ann (32777)"}));
    ViewRig s;
    s.commands.followers = {"Bob"};
    s.commands.watched = {"Bob"};
    s.commands.emotion = "Smile";
    s.commands.transfer = 0;
    EXPECT_EQ(
        MenuLines(s.view.BuildUserMenu("Bob", nullptr)),
        (Texts{"Send Private Message to Bob... (32775)", "Add Bob To Buddy List (278)",
               "Who Is Bob... (134)", "Send File To Bob... (123) grey",
               "Kick Bob Off Your Tail! (122)", "Smile at Bob (32814)", "---",
               "Ignore Messages From Bob (32776)", "Stop Watching Messages From Bob (32824)"}));
    s.view.OnCommand(CUserActions::ID_IGNORE);
    EXPECT_EQ(s.commands.calls.back(), "user 32776");
}
