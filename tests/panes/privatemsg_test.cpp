// Private-message windows driven by tells and buttons, the recipient memory and the compose dialog.

#include "composetelldlg.h"
#include "panefakes.h"
#include "pgedit.h"
#include "privatemsgmanager.h"
#include "privatemsgwnd.h"
#include "recipientmru.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QKeyEvent>
#include <QLineEdit>
#include <QPushButton>
#include <gtest/gtest.h>
#include <sstream>

using namespace std::string_literals;

namespace {

// The recipient memory's section written "NAME=VALUE;...", the count being an integer.
void SetMru(FakeSettings& s, const std::string& state) {
    std::istringstream in(state);
    for (std::string item; std::getline(in, item, ';');) {
        const std::string key = "Priv Msg MRU/" + item.substr(0, item.find('='));
        const std::string value = item.substr(item.find('=') + 1);
        if (key.ends_with("MRUCount"))
            s.ints[key] = std::uint32_t(std::stoul(value));
        else
            s.strings[key] = value;
    }
}
std::string MruState(const FakeSettings& s) {
    std::map<std::string, std::string> all(s.strings.begin(), s.strings.end());
    for (const auto& [k, v] : s.ints)
        all[k] = std::to_string(v);
    std::string out;
    for (const auto& [k, v] : all)
        if (k.starts_with("Priv Msg MRU/"))
            out += (out.empty() ? "" : ";") + k.substr(13) + "=" + v;
    return out;
}

struct Rig : ProtocolRig {
    QWidget owner;
    CPGEdit main{context, real, dialogs, CPGEdit::KIND_MAIN};
    CPrivateMsgManager pm{context, real, actions, dialogs, &owner};
    Texts events;

    Rig() {
        context.m_pOutput = &main;
        context.m_pPrivateWindows = &pm;
        pm.m_onOpened = [this](CPrivateMsgWnd* w) { events.push_back("open " + w->DisplayName()); };
        pm.m_onClosed = [this](const std::string& n) { events.push_back("close " + n); };
    }
    void Tell(const std::string& from, const std::string& text) {
        Feed("<tell to=\"Me+Myself\" from=\"" + from + "\">\x1b[1;35m" + from + " tells you, \"" +
             text + "\x1b[0;m\"\r\n");
    }
    std::string Text(CPrivateMsgWnd* w) { return w->OutputView()->toPlainText().toStdString(); }
    QString LastBox() const {
        for (auto it = dialogs.Requests().rbegin(); it != dialogs.Requests().rend(); ++it)
            if (it->kind == kivra::platform::DialogRequest::Kind::MessageBox)
                return it->caption + ": " + it->text;
        return {};
    }
};

// One window per peer whatever the letter case or "+" versus blank, and the count stays right
// when windows close in any order; with the sound on an incoming tell beeps, the own echo not.
TEST(PrivateMessages, TellsShareOneWindowPerKeyAndTheCountFollowsClosing) {
    Rig r;
    r.Tell("Ann+Lee", "hello");
    EXPECT_TRUE(r.Panel("beep").empty());
    r.context.m_bSoundPM = true;
    r.Tell("ANN+lee", "again");
    r.Feed(
        "<tell to=\"ann lee\" from=\"Me+Myself\">\x1b[0;35mYou tell Ann Lee, \"hi\x1b[0;m\"\r\n");
    EXPECT_EQ(r.Panel("beep").size(), 1u);
    r.Tell("Bob", "yo");
    ASSERT_EQ(r.pm.OpenCount(), 2);
    CPrivateMsgWnd* ann = r.pm.Window("ann+LEE");
    ASSERT_NE(ann, nullptr);
    EXPECT_EQ(ann->windowTitle(), QStringLiteral("Private: Ann Lee"));
    EXPECT_EQ(ann->WireName(), "Ann+Lee");
    EXPECT_EQ(ann->focusWidget(), ann->Button(CPrivateMsgWnd::IDC_CLOSE));
    EXPECT_EQ(r.Text(ann), "Ann+Lee tells you, \"hello\"\nANN+lee tells you, \"again\"\nYou tell "
                           "Ann Lee, \"hi\"\n");
    EXPECT_EQ(ann->SmallIcon(), CPrivateMsgWnd::ICON_QUIET); // the own echo came last
    EXPECT_EQ(r.pm.Window("bob")->SmallIcon(), CPrivateMsgWnd::ICON_INCOMING);
    EXPECT_TRUE(r.main.toPlainText().isEmpty());

    r.pm.Window("Bob")->PressButton(CPrivateMsgWnd::IDC_CLOSE);
    ann->close(); // the window manager's close
    ann->PressButton(CPrivateMsgWnd::IDC_CLOSE);
    EXPECT_EQ(r.pm.OpenCount(), 0);
    EXPECT_EQ(r.pm.Window("Ann Lee"), nullptr);
    EXPECT_EQ(r.events, (Texts{"open Ann Lee", "open Bob", "close Bob", "close Ann Lee"}));
    r.Tell("Bob", "back");
    EXPECT_EQ(r.pm.OpenCount(), 1);
}

// A flood of tellers: at most "MAX PM" windows, the rest in the main view; a 100 KB tell and
// a name with odd bytes land in their windows.
TEST(PrivateMessages, FloodStopsAtTheMaximumAndTheRestGoesToTheMainView) {
    Rig r;
    r.context.m_nMaxPM = 50;
    for (int i = 0; i < 500; ++i)
        r.Tell("U" + std::to_string(i), "x");
    EXPECT_EQ(r.pm.OpenCount(), 50);
    EXPECT_NE(r.pm.Window("u49"), nullptr);
    EXPECT_EQ(r.pm.Window("u50"), nullptr);
    EXPECT_TRUE(r.main.toPlainText().contains(QStringLiteral("U499 tells you")));

    Rig big;
    const std::string huge(100 * 1024, 'z');
    big.Tell("Odd\xE9<>&+Name", huge);
    CPrivateMsgWnd* w = big.pm.Window("ODD\xE9<>& NAME");
    ASSERT_NE(w, nullptr);
    // The view keeps itself short as the main view does; the tail of the tell is there.
    const std::string text = big.Text(w);
    EXPECT_LE(text.size(), std::size_t(CPGEdit::kTrimLimit));
    EXPECT_GE(std::count(text.begin(), text.end(), 'z'), 8000);
    EXPECT_TRUE(big.main.toPlainText().isEmpty());
}

// Each button's bytes on the wire and whether the window is still open after it.
TEST(PrivateMessages, ButtonsSendTheirExactBytes) {
    const std::tuple<int, std::string, bool> cases[] = {
        {CPrivateMsgWnd::IDC_GOTO, "goto Ann+Lee\n", true},
        {CPrivateMsgWnd::IDC_GREET, "tell Ann+Lee Hey there, what's going on?\r\n", true},
        {CPrivateMsgWnd::IDC_IGNORE, "ignore add Ann+Lee\n", false},
        {CPrivateMsgWnd::IDC_CLOSE, "", false},
        {CPrivateMsgWnd::IDC_SEND, "tell Ann+Lee typed\r\n", true},
    };
    for (const auto& [id, wire, open] : cases) {
        Rig r;
        r.Tell("Ann+Lee", "hi");
        CPrivateMsgWnd* w = r.pm.Window("Ann Lee");
        w->InputField()->setText(QStringLiteral("typed"));
        r.TakeWire();
        EXPECT_TRUE(w->PressButton(id));
        EXPECT_EQ(r.TakeWire(), wire) << id;
        EXPECT_EQ(r.pm.Window("Ann Lee") != nullptr, open) << id;
        if (id == CPrivateMsgWnd::IDC_GREET) {
            EXPECT_TRUE(w->isMinimized());
        }
    }
}

TEST(PrivateMessages, SendCutsAndCleansTheTextAndClosesForAnIgnoredPeer) {
    Rig r;
    r.Tell("Ann", "hi");
    CPrivateMsgWnd* w = r.pm.Window("Ann");
    r.TakeWire();
    w->InputField()->setText(QString(600, QLatin1Char('a')));
    EXPECT_EQ(w->InputField()->text().size(), CPrivateMsgWnd::kMaxInput);
    r.context.m_nScrollHold = 1;
    w->SendText(QString(1200, QLatin1Char('b')));
    EXPECT_EQ(r.TakeWire(), "tell Ann " + std::string(1000, 'b') + "\r\n");
    EXPECT_EQ(r.context.m_nScrollHold, 0);
    EXPECT_TRUE(w->InputField()->text().isEmpty());
    w->SendText(QString());
    EXPECT_EQ(r.TakeWire(), "");
    w->SendText(QStringLiteral("one\r\nquit\ntwo"));
    EXPECT_EQ(r.TakeWire(), "tell Ann onequittwo\r\n");

    r.protocol.OnIgnoring("ANN");
    w->SendText(QStringLiteral("not sent"));
    EXPECT_EQ(r.TakeWire(), "");
    EXPECT_EQ(r.pm.OpenCount(), 0);
}

// Starting from the selection or from "Send To:": the boxes, the silent stops, and the open
// window brought up for a name that differs only in case or blank versus "+".
TEST(PrivateMessages, StartWithSelectionFollowsTheRules) {
    const auto limit = [](int n) {
        return "Max Private Messages reached.: There is a maximum limit of " + std::to_string(n) +
               " open private message windows.";
    };
    // The selection; the answer to "Send To:" when nobody is selected; "MAX PM"; whether
    // connected; the windows open after; the box shown.
    const std::tuple<Texts, const char*, int, bool, int, std::string> cases[] = {
        {{}, "Bob", 50, true, 2, ""},
        {{}, "ann+LEE", 50, true, 1, ""}, // the open one comes up
        {{}, "Bob", 50, false, 1, ""},
        {{}, "me+myself", 50, true, 1, ""},
        {{}, "cy", 50, true, 1, "Notice!!: You are currently ignoring cy."},
        {{}, "Bob", 1, true, 1, limit(1)},
        {{}, "Bob", 0, true, 0, limit(0)}, // "MAX PM" "NONE"
        {{"Bob", "Cy", "Dee"}, "", 50, true, 3, ""},
        {{"Bob", "Dee", "Eve"}, "", 2, true, 2, ""}, // stops at the limit
        {{"ANN LEE"}, "", 1, true, 1, ""},           // the open one comes up
    };
    for (const auto& [selection, answer, maxPM, connected, open, box] : cases) {
        SCOPED_TRACE(std::string(answer) + ::testing::PrintToString(selection));
        Rig r;
        r.context.m_nMaxPM = maxPM;
        r.Tell("Ann+Lee", "hi");
        r.protocol.OnIgnoring("Cy");
        r.panel.connected = connected;
        if (CPrivateMsgWnd* ann = r.pm.Window("Ann Lee"))
            ann->showMinimized();
        if (*answer)
            r.dialogs.QueueAnswer(QString::fromLatin1(answer));
        r.pm.StartWithSelection(selection);
        EXPECT_EQ(r.pm.OpenCount(), open);
        EXPECT_EQ(r.LastBox().toStdString(), box);
        if (CPrivateMsgWnd* ann = r.pm.Window("Ann Lee")) {
            EXPECT_EQ(ann->isMinimized(), answer != "ann+LEE"s && selection != Texts{"ANN LEE"});
        }
    }
}

TEST(PrivateMessages, TabCyclesThroughTheWindowAndFocusInsideKnowsItsControls) {
    Rig r;
    r.Tell("Ann", "hi");
    CPrivateMsgWnd* w = r.pm.Window("Ann");
    using W = CPrivateMsgWnd;
    QWidget* const order[] = {w->InputField(), w->Button(W::IDC_SEND), w->Button(W::IDC_IGNORE),
                              w->Button(W::IDC_GOTO), w->Button(W::IDC_CLOSE)};
    // From a control outside the cycle, Tab goes to the input field and Shift+Tab to Goto.
    for (const auto& [key, to] :
         {std::pair{Qt::Key_Tab, order[0]}, std::pair{Qt::Key_Backtab, order[3]}}) {
        w->OutputView()->setFocus();
        QKeyEvent k(QEvent::KeyPress, key, key == Qt::Key_Tab ? Qt::NoModifier : Qt::ShiftModifier);
        QApplication::sendEvent(w->OutputView(), &k);
        EXPECT_EQ(w->focusWidget(), to);
    }
    for (int i = 0; i < 5; ++i) {
        order[i]->setFocus();
        EXPECT_TRUE(w->IsFocusInside(order[i]));
        QKeyEvent tab(QEvent::KeyPress, Qt::Key_Tab, Qt::NoModifier);
        QApplication::sendEvent(order[i], &tab);
        EXPECT_EQ(w->focusWidget(), order[(i + 1) % 5]) << i;
        order[(i + 1) % 5]->setFocus();
        QKeyEvent back(QEvent::KeyPress, Qt::Key_Backtab, Qt::ShiftModifier);
        QApplication::sendEvent(order[(i + 1) % 5], &back);
        EXPECT_EQ(w->focusWidget(), order[i]) << i;
    }
    EXPECT_TRUE(w->IsFocusInside(w->OutputView()));
    EXPECT_FALSE(w->IsFocusInside(w->Button(W::IDC_GREET)));
    EXPECT_FALSE(w->IsFocusInside(&r.owner));
}

// The recipient memory, from a given state of the section to the state after adding a name.
TEST(RecipientMru, AddMovesOrPushesExactlyAsStored) {
    std::string full; // "MRU000=N0" ... "MRU014=N14", count 15
    for (int i = 0; i < 15; ++i)
        full += CRecipientMru::ValueName(i) + "=N" + std::to_string(i) + ";";
    full += "MRUCount=15";
    std::string sixteenth = "MRU000=New", fifthUp = "MRU000=n4";
    for (int i = 1; i < 15; ++i) {
        sixteenth += ";" + CRecipientMru::ValueName(i) + "=N" + std::to_string(i - 1);
        fifthUp += ";" + CRecipientMru::ValueName(i) + "=N" + std::to_string(i <= 4 ? i - 1 : i);
    }
    sixteenth += ";MRUCount=15";
    fifthUp += ";MRUCount=15";
    // What the case shows, the state before, the name added, the state after.
    const std::tuple<const char*, std::string, std::string, std::string> cases[] = {
        {"first", "", "Ann", "MRU000=Ann;MRUCount=1"},
        {"empty name", "", "", ""},
        {"16th pushes the oldest out", full, "New", sixteenth},
        {"5th moves to the top", full, "n4", fifthUp},
        {"star entry matches", "MRU000=A;MRU001=B;MRU002=*Bob;MRUCount=3", "bob",
         "MRU000=bob;MRU001=A;MRU002=B;MRUCount=3"},
        {"one entry stays", "MRU000=Ann;MRUCount=1", "ANN", "MRU000=Ann;MRUCount=1"},
        {"gap stays a gap", "MRU000=A;MRU002=C;MRUCount=3", "Cy",
         "MRU000=Cy;MRU001=A;MRU003=C;MRUCount=4"},
        {"huge count is the limit", "MRU000=A;MRU001=B;MRUCount=4000000000", "Dee",
         "MRU000=Dee;MRU001=A;MRU002=B;MRUCount=4000000000"},
    };
    for (const auto& [name, before, add, after] : cases) {
        FakeSettings s;
        SetMru(s, before);
        CRecipientMru::Add(s, add);
        EXPECT_EQ(MruState(s), after) << name;
    }
    FakeSettings s;
    SetMru(s, "MRU000=A;MRU001=;MRU002=C;MRUCount=3");
    EXPECT_EQ(CRecipientMru::Read(s), Texts{"A"});
}

TEST(ComposeTell, ChecksTheRecipientSendsTheCutTextAndRemembersTheName) {
    Rig r;
    SetMru(r.settings, "MRU000=Zed;MRU001=Yan;MRUCount=2");
    CComposeTellDlg dlg(r.context, r.dialogs);
    dlg.Open();
    ASSERT_EQ(dlg.Recipient()->count(), 2);
    EXPECT_EQ(dlg.Recipient()->itemText(0), QStringLiteral("Zed"));
    EXPECT_TRUE(dlg.AlwaysVisible()->isChecked());

    for (const auto& [to, box] :
         {std::pair{"  ", "No Recipient: You must specify a recipient before sending the message"},
          std::pair{"ME+myself", "No Recipient: You can't send a private message to yourself"}}) {
        dlg.Recipient()->setEditText(QString::fromLatin1(to));
        dlg.Message()->setText(QStringLiteral("x"));
        dlg.accept();
        EXPECT_EQ(r.LastBox().toStdString(), box);
        EXPECT_EQ(r.TakeWire(), "");
    }
    dlg.show();
    dlg.Recipient()->setEditText(QStringLiteral("Bob Ray"));
    dlg.Message()->setText(QString(300, QLatin1Char('m')));
    dlg.accept();
    EXPECT_EQ(r.TakeWire(), "tell Bob+Ray " + std::string(251, 'm') + "\r\n");
    EXPECT_EQ(MruState(r.settings), "MRU000=Bob Ray;MRU001=Zed;MRU002=Yan;MRUCount=3");
    EXPECT_TRUE(dlg.isVisible());
    EXPECT_TRUE(dlg.Message()->text().isEmpty());

    dlg.AlwaysVisible()->setChecked(false);
    dlg.Recipient()->setEditText(QStringLiteral("Yan"));
    dlg.Message()->setText(QStringLiteral("bye"));
    dlg.accept();
    EXPECT_EQ(r.TakeWire(), "tell Yan bye\r\n");
    EXPECT_FALSE(dlg.isVisible());
}

} // namespace
