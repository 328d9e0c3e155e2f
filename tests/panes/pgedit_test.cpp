// The output view through its operations, menus and mouse, offscreen.
#include "panefakes.h"
#include "pgedit.h"
#include <QPaintEvent>

#include <QMenu>
#include <QScrollBar>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <QTextBlock>
#include <gtest/gtest.h>

namespace {

struct ViewRig : PaneRig {
    CPGEdit view;
    explicit ViewRig(int kind = CPGEdit::KIND_MAIN) : view(context, commands, dialogs, kind) {
        view.resize(400, 200);
        view.show();
    }
    QTextCharFormat FormatAt(int pos) {
        QTextCursor c(view.document());
        c.setPosition(pos);
        return c.charFormat();
    }
    QString Plain() const { return view.document()->toPlainText(); }
};

ChatPicture Picture(int w, int h) {
    ChatPicture p;
    p.width = w;
    p.height = h;
    p.pixels.assign(std::size_t(w * h), 1);
    p.palette[1] = 0x0000FF;
    return p;
}

std::vector<std::pair<QString, bool>> Items(QMenu* menu) {
    std::vector<std::pair<QString, bool>> out;
    for (QAction* a : menu->actions())
        out.emplace_back(a->isSeparator() ? QStringLiteral("-") : a->text(), a->isEnabled());
    return out;
}

QAction* Find(QMenu* menu, int id) {
    for (QAction* a : menu->actions())
        if (!a->isSeparator() && a->data().toInt() == id)
            return a;
    return nullptr;
}

} // namespace

TEST(OutputView, StyleCodesGiveTheirColourAndStyle) {
    struct Case {
        std::uint32_t code;
        QColor colour;
        bool bold, italic, underline;
    };
    const Case cases[] = {
        {0x210, QColor(255, 0, 0), true, true, false}, // red bold, plus italic
        {3, QColor(0, 0, 0), false, false, false},     // not in the table: base
        {2, QColor(0, 0, 0), true, false, false},
        {4, QColor(0x80, 0x80, 0), false, false, false}, // olive
        {8, QColor(0, 0x80, 0x80), false, false, true},  // teal underline
        {32, QColor(0x80, 0x80, 0x80), false, false, false},
        {64, QColor(0, 0x80, 0), false, false, false},
        {0x401, QColor(0, 0, 0), false, false, true},
    };
    for (const Case& c : cases) {
        ViewRig r;
        r.view.AppendText("word", c.code);
        const QTextCharFormat f = r.FormatAt(2);
        EXPECT_EQ(f.foreground().color(), c.colour) << std::hex << c.code;
        EXPECT_EQ(f.fontWeight() >= QFont::Bold, c.bold) << std::hex << c.code;
        EXPECT_EQ(f.fontItalic(), c.italic) << std::hex << c.code;
        EXPECT_EQ(f.fontUnderline(), c.underline) << std::hex << c.code;
    }
}

TEST(OutputView, BaseStyleAndColourCarryIntoEveryAppend) {
    ViewRig r;
    r.view.SetBaseColour(0x00FF00);
    r.view.SetBold(true);
    r.view.AppendText("a", 2); // bold on a bold base stays bold
    r.view.SetBold(false);
    r.view.SetItalic(true);
    r.view.AppendText("b", 1);
    EXPECT_GE(r.FormatAt(1).fontWeight(), QFont::Bold);
    EXPECT_EQ(r.FormatAt(1).foreground().color(), QColor(0, 255, 0));
    EXPECT_LT(r.FormatAt(2).fontWeight(), QFont::Bold);
    EXPECT_TRUE(r.FormatAt(2).fontItalic());

    QSignalSpy spy(&r.view, &CPGEdit::textAppended);
    r.view.AppendSeparator();
    ASSERT_EQ(spy.count(), 2);
    EXPECT_EQ(spy[1][0].toString(), "___________________________________________\r\n");
}

TEST(OutputView, FinishAppendTrimsExactlyTheFirstHalfPastTheLimit) {
    ViewRig r;
    std::string line(99, 'x');
    line += "\r\n";
    int n = 0;
    while (r.view.Document().TextSize() + 100 <= CPGEdit::kTrimLimit) {
        line[0] = char('A' + n++ % 26);
        r.view.AppendText(line, 1);
    }
    r.view.FinishAppend();
    const int atLimit = r.view.Document().TextSize();
    EXPECT_LE(atLimit, CPGEdit::kTrimLimit);
    EXPECT_EQ(r.view.Document().TextSize(), atLimit); // nothing trimmed yet

    r.view.AppendText(std::string(150, 't') + "tail past the limit\r\n", 1);
    const QString before = r.Plain();
    const int size = r.view.Document().TextSize();
    ASSERT_GT(size, CPGEdit::kTrimLimit);
    r.view.FinishAppend();
    EXPECT_EQ(r.Plain(), before.mid(size / 2));
    EXPECT_EQ(r.view.Document().TextSize(), size - size / 2);
    // Appending goes on at the end after the cut.
    r.view.AppendText("next", 1);
    EXPECT_TRUE(r.Plain().endsWith("tail past the limit\nnext"));
}

TEST(OutputView, ScrollHoldKeptWhileScrolledUpAndReleasedAtTheEnd) {
    ViewRig r;
    EXPECT_TRUE(r.view.IsAtEnd()); // empty counts as at the bottom
    EXPECT_EQ(r.view.SendMessage(RTV_GETHEIGHT, 0, 0), 0);
    for (int i = 0; i < 60; ++i) {
        r.view.AppendText("line " + std::to_string(i) + "\r\n", 1);
        r.view.FinishAppend();
    }
    QScrollBar* bar = r.view.verticalScrollBar();
    ASSERT_GT(bar->maximum(), 0);
    EXPECT_TRUE(r.view.IsAtEnd());
    EXPECT_FALSE(r.view.ScrollHold());

    bar->triggerAction(QAbstractSlider::SliderPageStepSub);
    EXPECT_TRUE(r.view.ScrollHold());
    EXPECT_EQ(r.context.m_nScrollHold, 1);
    const int held = bar->value();
    for (int i = 0; i < 5; ++i) {
        r.view.AppendText("while away\r\n", 1);
        r.view.FinishAppend();
    }
    EXPECT_EQ(bar->value(), held);
    EXPECT_TRUE(r.view.ScrollHold());

    bar->triggerAction(QAbstractSlider::SliderToMaximum);
    r.view.AppendText("back\r\n", 1);
    r.view.FinishAppend();
    EXPECT_FALSE(r.view.ScrollHold());
    EXPECT_TRUE(r.view.IsAtEnd());
    r.view.AppendText("more\r\n", 1);
    r.view.FinishAppend();
    EXPECT_EQ(bar->value(), bar->maximum());
}

TEST(OutputView, ABatchLaysOutOnceAtItsEndAndThenFollowsOrHolds) {
    ViewRig r;
    QScrollBar* bar = r.view.verticalScrollBar();
    for (int i = 0; i < 60; ++i) {
        r.view.AppendText("before " + std::to_string(i) + "\r\n", 1);
        r.view.FinishAppend();
    }
    const auto height = r.view.SendMessage(RTV_GETHEIGHT, 0, 0);
    r.view.BeginBatch();
    r.view.BeginBatch(); // nested passes are one batch
    for (int i = 0; i < 200; ++i) {
        r.view.AppendText("batched line " + std::to_string(i) + "\r\n", 1);
        r.view.FinishAppend(); // trims past the limit inside the batch too
    }
    EXPECT_EQ(r.view.SendMessage(RTV_GETHEIGHT, 0, 0), height) << "not laid out line by line";
    r.view.EndBatch();
    EXPECT_TRUE(r.view.LayoutDeferred());
    r.view.EndBatch();
    EXPECT_FALSE(r.view.LayoutDeferred());
    EXPECT_LE(r.view.Document().TextSize(), CPGEdit::kTrimLimit);
    EXPECT_TRUE(r.Plain().contains("batched line 199\n"));
    EXPECT_NE(r.view.SendMessage(RTV_GETHEIGHT, 0, 0), height);
    EXPECT_EQ(bar->value(), bar->maximum()) << "follows the end once laid out";
    EXPECT_TRUE(r.view.IsAtEnd());

    // Held by the user: a batch leaves the view where it was.
    bar->triggerAction(QAbstractSlider::SliderPageStepSub);
    const int held = bar->value();
    r.view.BeginBatch();
    for (int i = 0; i < 20; ++i) {
        r.view.AppendText("while held\r\n", 1);
        r.view.FinishAppend();
    }
    r.view.EndBatch();
    EXPECT_EQ(bar->value(), held);
    EXPECT_TRUE(r.view.ScrollHold());

    // A paint in the middle of a batch lays out what is there first.
    bar->triggerAction(QAbstractSlider::SliderToMaximum);
    r.view.BeginBatch();
    r.view.AppendText("painted early\r\n", 1);
    QPaintEvent paint(r.view.viewport()->rect());
    QCoreApplication::sendEvent(r.view.viewport(), &paint);
    EXPECT_FALSE(r.view.LayoutDeferred());
    r.view.AppendText("after the paint\r\n", 1);
    r.view.FinishAppend();
    r.view.EndBatch();
    EXPECT_TRUE(r.Plain().contains("painted early\nafter the paint\n"));
    EXPECT_TRUE(r.view.IsAtEnd());
}

TEST(OutputView, LinksToOneUrlShareAnEntryThatClearAllFreesOnce) {
    ViewRig r;
    r.view.InsertLink("one", "www.example.com");
    r.view.AppendText(" and ", 1);
    r.view.InsertLink("two", "www.example.com");
    r.view.InsertLink("other", "www.other.org");
    ASSERT_EQ(r.view.LinkEntries().size(), 2u);
    EXPECT_EQ(r.view.LinkEntries().front().m_nCount, 2);
    EXPECT_EQ(r.Plain(), "one and twoother");
    // The link is teal and underlined; text after it is back to what it was.
    EXPECT_TRUE(r.FormatAt(2).fontUnderline());
    EXPECT_EQ(r.FormatAt(2).foreground().color(), QColor(0, 0x80, 0x80));
    r.view.AppendText("plain", 1);
    EXPECT_FALSE(r.FormatAt(r.view.Document().TextSize() - 1).fontUnderline());

    // Trimming that drops one link lowers the shared count; Clear All frees the rest.
    r.view.Document().DeleteRange(0, 3, false);
    EXPECT_EQ(r.view.LinkEntries().front().m_nCount, 1);
    r.view.OnCommand(CPGEdit::ID_CLEAR_ALL);
    EXPECT_TRUE(r.view.LinkEntries().empty());
    EXPECT_EQ(r.view.Document().TextSize(), 0);
    r.view.InsertLink("again", "www.example.com");
    EXPECT_EQ(r.view.LinkEntries().front().m_nCount, 1);
}

TEST(OutputView, ClickedUrlsAreCheckedAndOpenedInTheNewWindowFrame) {
    EXPECT_EQ(CPGEdit::NormaliseUrl("WWW.EXAMPLE.COM/Page"), "http://www.example.com/page");
    EXPECT_EQ(CPGEdit::NormaliseUrl("http://x.org"), "http://x.org");
    EXPECT_EQ(CPGEdit::NormaliseUrl("HTTPS://Secure.org"), "https://secure.org");
    EXPECT_EQ(CPGEdit::NormaliseUrl(""), "");
    EXPECT_EQ(CPGEdit::NormaliseUrl("http://"), "");
    EXPECT_EQ(CPGEdit::NormaliseUrl("a"), "http://a");

    ViewRig r;
    r.view.AppendText("go to ", 1);
    r.view.InsertLink("THE SITE", "WWW.KIVRA.EXAMPLE");
    QTextCursor c(r.view.document());
    c.setPosition(9);
    const QRect rect = r.view.cursorRect(c);
    QTest::mouseClick(r.view.viewport(), Qt::LeftButton, {}, rect.center() + QPoint(1, 0));
    ASSERT_EQ(r.panel.navigated.size(), 1u);
    EXPECT_EQ(r.panel.navigated[0].first, "http://www.kivra.example");
    EXPECT_EQ(r.panel.navigated[0].second, "kivranewwindow");
    c.setPosition(2);
    QTest::mouseClick(r.view.viewport(), Qt::LeftButton, {}, r.view.cursorRect(c).center());
    EXPECT_EQ(r.panel.navigated.size(), 1u);
}

TEST(OutputView, PicturesCarryTheirRecordAndOpenAPrivateMessageOnDoubleClick) {
    ViewRig r;
    r.users.users = {"Ann Other", "Me Myself"};
    r.view.AppendText("x", 1);
    r.view.InsertPicture(Picture(30, 20), "Ann Other");
    r.view.InsertPicture(Picture(30, 20), "Me Myself");
    r.view.InsertPlainPicture(Picture(5, 4), 3);
    r.view.InsertPicture(Picture(0, 0), "Nobody"); // nothing to show: no entry kept
    ASSERT_EQ(r.view.NameEntries().size(), 2u);

    QTextCursor c(r.view.document());
    c.setPosition(1);
    const QRect first = r.view.cursorRect(c);
    const QPoint onFirst(first.x() + 15, first.bottom() - 5);
    RtvItem item{};
    ASSERT_TRUE(r.view.HotSpotAt(onFirst, &item));
    EXPECT_EQ(item.kind, CPGEdit::ITEM_PICTURE);
    EXPECT_EQ(item.width, 30);
    EXPECT_EQ(item.height, 20);
    EXPECT_EQ(item.layout1, 2);
    EXPECT_EQ(item.layout2, 4);
    EXPECT_EQ(item.reference, reinterpret_cast<std::uintptr_t>(&r.view.NameEntries().front()));

    QTest::mouseDClick(r.view.viewport(), Qt::LeftButton, {}, onFirst);
    EXPECT_EQ(r.users.selection, std::vector<std::string>{"Ann Other"});
    EXPECT_EQ(r.users.privateMessages, 1);
    c.setPosition(2);
    const QRect second = r.view.cursorRect(c);
    QTest::mouseDClick(r.view.viewport(), Qt::LeftButton, {},
                       QPoint(second.x() + 15, second.bottom() - 5));
    EXPECT_EQ(r.users.privateMessages, 1); // own name: nothing

    c.setPosition(3);
    const QRect plain = r.view.cursorRect(c);
    ASSERT_TRUE(r.view.HotSpotAt(QPoint(plain.x() + 2, plain.bottom() - 2), &item));
    EXPECT_EQ(item.kind, 0u);
    EXPECT_EQ(item.layout1, 5);
}

TEST(OutputView, FontSettingsUseTwiceTheTenthsOfAPoint) {
    ViewRig r;
    r.settings.strings["Main/Font Size"] = "201";
    r.settings.strings["Main/Font Family"] = "Liberation Serif";
    r.view.ApplyFontSettings();
    EXPECT_DOUBLE_EQ(r.view.CurrentFont().pointSizeF(), 10.0);
    EXPECT_EQ(r.view.CurrentFont().family(), "Liberation Serif");
    RtvLogFont lf{};
    r.view.SendMessage(RTV_GETFONT, 0, reinterpret_cast<std::intptr_t>(&lf));
    EXPECT_EQ(lf.lfHeight, -13);

    QFont chosen("Liberation Sans");
    chosen.setPointSizeF(12.0);
    r.dialogs.font = chosen;
    r.view.AppendText("existing", 1);
    r.view.OnCommand(CPGEdit::ID_FONT);
    EXPECT_EQ(r.settings.strings["Main/Font Size"], "240");
    EXPECT_EQ(r.settings.strings["Main/Font Family"], "Liberation Sans");
    QTextCursor c(r.view.document());
    c.setPosition(3);
    EXPECT_EQ(c.charFormat().property(QTextFormat::FontPixelSize).toInt(), 16);

    ViewRig pm(CPGEdit::KIND_PRIVATE);
    pm.settings.strings["PM/Font Size"] = "300";
    pm.view.ApplyFontSettings();
    EXPECT_DOUBLE_EQ(pm.view.CurrentFont().pointSizeF(), 15.0);
    EXPECT_EQ(pm.view.CurrentFont().family(), "Arial");
}

TEST(OutputView, DisplayMenuShowsStateAndRunsItsCommands) {
    ViewRig r;
    r.commands.connected = false;
    r.commands.exits.clear();
    for (int i = 0; i < 12; ++i)
        r.commands.exits.push_back("exit" + std::to_string(i));
    r.context.m_bMonitor = true;
    std::unique_ptr<QMenu> menu(r.view.BuildDisplayMenu(nullptr));
    const auto items = Items(menu.get());
    ASSERT_EQ(items.size(), 7u + 1u + 10u);
    EXPECT_EQ(items[7].first, "-");
    EXPECT_EQ(items[0].first, "Clear All");
    EXPECT_EQ(items[1].first, "Font...");
    EXPECT_EQ(items[2].first, "-");
    EXPECT_EQ(items[3].first, "Sound On Incoming Message");
    EXPECT_TRUE(Find(menu.get(), CPGEdit::ID_SOUND_INCOMING)->isChecked());
    EXPECT_EQ(items[4].first, "Save To File");
    EXPECT_EQ(items[5], std::make_pair(QString("Who's Online Now"), false));
    EXPECT_EQ(items[6], std::make_pair(QString("Goto User..."), true));
    EXPECT_EQ(items[8], std::make_pair(QString("Exit0"), false));
    EXPECT_EQ(items[17].first, "Exit9");

    r.view.OnCommand(CPGEdit::ID_SOUND_INCOMING);
    EXPECT_FALSE(r.context.m_bMonitor);
    EXPECT_EQ(r.settings.strings["Main/Monitor"], "No");
    r.view.OnCommand(CPGEdit::ID_WHOS_ONLINE);
    r.view.OnCommand(CPGEdit::ID_GOTO_USER);
    r.view.OnCommand(CPGEdit::ID_EXIT_FIRST + 2);
    EXPECT_EQ(r.commands.calls, (std::vector<std::string>{"users", "goto", "menu 144 3"}));

    ViewRig pm(CPGEdit::KIND_PRIVATE);
    std::unique_ptr<QMenu> pmMenu(pm.view.BuildDisplayMenu(nullptr));
    EXPECT_EQ(Items(pmMenu.get()).size(), 5u);
    pm.view.OnCommand(CPGEdit::ID_SOUND_INCOMING);
    EXPECT_TRUE(pm.context.m_bSoundPM);
    EXPECT_EQ(pm.settings.ints["PM/Sound PM"], 1u);
}

TEST(OutputView, UserMenuFollowsIgnoreFollowAndTransferState) {
    ViewRig r;
    r.commands.ignored = {"Ann"};
    r.commands.transfer = 2;
    r.context.SetOption(CHATOPT_NOWHOIS, true);
    std::unique_ptr<QMenu> m1(r.view.BuildUserMenu("Ann", nullptr));
    EXPECT_EQ(Items(m1.get()),
              (std::vector<std::pair<QString, bool>>{{"Send Private Message to Ann...", false},
                                                     {"Add Ann To Buddy List", true},
                                                     {"Cancel File Transfer", true},
                                                     {"Start Following Ann", true},
                                                     {"-", true},
                                                     {"Allow Messages From Ann", true}}));

    ViewRig s;
    s.commands.followers = {"Bob"};
    s.commands.watched = {"Bob"};
    s.commands.emotion = "Smile";
    s.commands.transfer = 0;
    std::unique_ptr<QMenu> m2(s.view.BuildUserMenu("Bob", nullptr));
    EXPECT_EQ(Items(m2.get()),
              (std::vector<std::pair<QString, bool>>{{"Send Private Message to Bob...", true},
                                                     {"Add Bob To Buddy List", true},
                                                     {"Who Is Bob...", true},
                                                     {"Send File To Bob...", false},
                                                     {"Kick Bob Off Your Tail!", true},
                                                     {"Smile at Bob", true},
                                                     {"-", true},
                                                     {"Ignore Messages From Bob", true},
                                                     {"Stop Watching Messages From Bob", true}}));

    s.context.m_nFollowing = 1;
    s.context.m_strFollowedUser = "Cy Dee";
    std::unique_ptr<QMenu> m3(s.view.BuildUserMenu("Cy Dee", nullptr));
    EXPECT_EQ(Find(m3.get(), CPGEdit::ID_STOP_FOLLOW)->text(), "Stop Following Cy Dee");
    s.commands.followers.clear();
    std::unique_ptr<QMenu> m4(s.view.BuildUserMenu("Dan", nullptr));
    EXPECT_EQ(Find(m4.get(), CPGEdit::ID_FOLLOW)->text(),
              "Stop Following Cy Dee, Start Following Dan");
    s.view.OnCommand(CPGEdit::ID_IGNORE);
    EXPECT_EQ(s.commands.calls.back(), "user 32776");
}

TEST(OutputView, SaveToFileWritesWholePlainTextOrSaysItCouldNot) {
    QTemporaryDir dir;
    ViewRig r;
    r.view.AppendText("hello \x1b[31mred\x07\r\n", 1);
    r.view.InsertLink("a link", "x.org");
    r.view.InsertPicture(Picture(4, 4), "Ann");
    r.view.AppendText("\tend\r\n", 1);
    r.dialogs.saveName = dir.filePath("display.txt");
    r.view.OnCommand(CPGEdit::ID_SAVE_TO_FILE);
    QFile saved(*r.dialogs.saveName);
    ASSERT_TRUE(saved.open(QIODevice::ReadOnly));
    EXPECT_EQ(saved.readAll(), QByteArray("hello [31mred\na link end\n"));
    EXPECT_TRUE(r.dialogs.boxes.empty());

    r.dialogs.saveName = dir.filePath("missing/folder/display.txt");
    r.view.OnCommand(CPGEdit::ID_SAVE_TO_FILE);
    ASSERT_EQ(r.dialogs.boxes.size(), 1u);
    EXPECT_EQ(r.dialogs.boxes[0].caption, "Error");
    EXPECT_FALSE(QFile::exists(*r.dialogs.saveName));

    r.dialogs.saveName.reset(); // cancelled: nothing at all
    r.view.OnCommand(CPGEdit::ID_SAVE_TO_FILE);
    EXPECT_EQ(r.dialogs.boxes.size(), 1u);
}
