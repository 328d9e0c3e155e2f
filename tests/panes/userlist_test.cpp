// The user list fed server bytes, its menu, every user action's bytes, the buddy and goto dialogs.

#include "buddydlg.h"
#include "gotodlg.h"
#include "panefakes.h"

#include <QLineEdit>
#include <QListWidget>
#include <QTest>
#include <gtest/gtest.h>

namespace {

struct ListRig : ProtocolRig {
    std::string emotion;
    int transfer = 1;

    ListRig() {
        real.m_userCommand = [this](int id) {
            list.OnCommand(id);
            return true;
        };
        real.m_selectedEmotion = [this] { return emotion; };
        real.m_transferState = [this] { return transfer; };
        list.resize(200, 300);
    }
    std::string Dump() const {
        std::string s;
        for (const std::string& l : list.DumpLines())
            s += l + "\n";
        return s;
    }
    std::uint32_t Flags(const std::string& name) const { return list.FlagsAt(list.Find(name)); }
};

TEST(UserList, OrdersOwnFirstThenCaseInsensitiveWithoutDuplicates) {
    ListRig rig;
    rig.Block({"<newroom>", "<user> bob", "<user> Alice", "<user role=roomop> carol", "<enter> BOB",
               "<user> Ann+Lee", "<enter> ann lee", "<user> Me+Myself", "<user> Al"});
    EXPECT_EQ(rig.Dump(), "[user] 0x010 Me Myself\n[user] 0x000 Al\n[user] 0x000 Alice\n"
                          "[user] 0x000 Ann Lee\n[user] 0x000 bob\n[user] 0x200 carol\n");
    rig.Block({"<leave> CAROL", "<leave> Nobody", "<leave> Me+Myself", "<leave> Ann Lee"});
    EXPECT_EQ(rig.Dump(), "[user] 0x010 Me Myself\n[user] 0x000 Al\n[user] 0x000 Alice\n"
                          "[user] 0x000 bob\n");
    // A new room forgets everybody and every flag.
    rig.Block({"<iamignoring> bob", "<newroom>", "<user> Zed"});
    EXPECT_EQ(rig.Dump(), "[user] 0x010 Me Myself\n[user] 0x000 Zed\n");
}

TEST(UserList, FlagWordFollowsTheServer) {
    struct Case {
        std::uint32_t bob, carol;
        Texts lines;
    };
    const std::vector<Case> cases = {
        {0x100, 0, {"<enter role=RoomAdmin> bob"}}, // a role in any case
        {0x080, 0, {"<enter role=worldadmin> bob", "<enter role=realmadmin> bob"}},
        {0, 0, {"<enter role=roomop> bob", "<enter role=janitor> bob"}},      // unknown role clears
        {0x200, 0, {"<enter role=roomop> bob", "<enter> bob", "<user> bob"}}, // none keeps it
        {0x001, 0, {"<followingme> bob"}},
        {0x002, 0, {"<followingme> bob", "<iamfollowing> bob"}},    // followed clears follower
        {0, 0x002, {"<iamfollowing> bob", "<iamfollowing> carol"}}, // one followed user
        {0, 0, {"<iamfollowing> bob", "<nolongerfollowing>"}},
        {0, 0x008, {"<iamignoring> bob", "<iamignoring> carol", "<stoppedignoring> bob"}},
        {0, 0, {"<followingme> bob", "<stoppedfollowingme> bob"}},
        // The sets are kept for who comes back.
        {0x009,
         0x202,
         {"<followingme> bob", "<iamignoring> Bob", "<iamfollowing> carol", "<leave> bob",
          "<leave> carol", "<enter> bob", "<enter role=roomop> carol"}},
        {0, 0, {"<iamignoring> zed", "<followingme> zed", "<stoppedignoring> ghost"}}, // absent
    };
    for (const Case& c : cases) {
        ListRig rig;
        rig.Block({"<newroom>", "<user> bob", "<user> carol"});
        rig.Block(c.lines);
        const std::string what = ::testing::PrintToString(c.lines);
        EXPECT_EQ(rig.Flags("bob"), c.bob) << what;
        EXPECT_EQ(rig.Flags("carol"), c.carol) << what;
        EXPECT_EQ(rig.list.Count(), 3) << what;
    }
}

TEST(UserList, IconsByFlagWord) {
    // The flag word, its first and its second icon.
    const std::tuple<std::uint32_t, int, int> cases[] = {
        {0x012, 158, 0},   {0x068, 284, 0}, {0x080, 285, 0}, {0x101, 286, 216},
        {0x203, 287, 217}, {0x028, 282, 0}, {0x008, 218, 0}, {0, 0, 0}};
    for (const auto& [flags, first, second] : cases) {
        EXPECT_EQ(CUserList::IconFor(flags, 0), first) << flags;
        EXPECT_EQ(CUserList::IconFor(flags, 1), second) << flags;
        if (first) {
            EXPECT_FALSE(CUserList::Bitmap(first).isNull()) << first;
        }
    }
}

TEST(UserList, ExtentFollowsTheWidestNameAndBigRoomsStayWhole) {
    ListRig rig;
    Texts lines = {"<newroom>"};
    // Every name twice: in other letter case, with "+" or a blank.
    for (int i = 0; i < 3000; ++i) {
        const int k = i % 1500;
        lines.push_back(std::string("<user> ") + (i < 1500 ? "user" : "USER") + std::to_string(k) +
                        (k % 2      ? ""
                         : i < 1500 ? "+x"
                                    : " x"));
    }
    lines.push_back("<user> " + std::string(1000, 'W'));
    rig.Block(lines);
    EXPECT_EQ(rig.list.Count(), 1 + 1500 + 1);
    const int wide = rig.list.HorizontalExtent();
    rig.Block({"<leave> " + std::string(1000, 'w')});
    EXPECT_LT(rig.list.HorizontalExtent(), wide);
    EXPECT_GT(rig.list.HorizontalExtent(), 0);
    EXPECT_GE(rig.list.EntryHeight(), CUserList::kMinEntryHeight);
}

TEST(UserList, MenuTextsAndGreyStates) {
    ListRig rig;
    rig.Block({"<newroom>", "<user> Ann+Lee", "<user> bob", "<iamignoring> bob"});
    rig.emotion = "wave";
    EXPECT_EQ(
        MenuLines(rig.list.BuildMenu(nullptr)),
        (Texts{"Send Private Message... (32775) grey", "Add Selected To Buddy List (278) grey",
               "Who Is This Person... (134) grey", "Send File To ... (123) grey",
               "Follow This Person (32803) grey", "wave at Selected Persons (32814) grey", "---",
               "Ignore Messages From Selected (32776) grey",
               "Allow Messages From Selected (32777) grey",
               "Watch Messages From Selected (32823) grey",
               "Stop Watching Messages From Selected (32824) grey"}));
    rig.list.SelectOnly("ann lee");
    EXPECT_EQ(
        MenuLines(rig.list.BuildMenu(nullptr)),
        (Texts{"Send Private Message to Ann Lee... (32775)", "Add Ann Lee To Buddy List (278)",
               "Who Is Ann Lee... (134)", "Send File To Ann Lee... (123)",
               "Start Following Ann Lee (32803)", "wave at Ann Lee (32814)", "---",
               "Ignore Messages From Ann Lee (32776)", "Watch Messages From Ann Lee (32823)"}));
    // Ignored, while disconnected, a transfer running, who-is and private messages off.
    rig.list.SelectOnly("bob");
    rig.panel.connected = false;
    rig.transfer = 2;
    rig.emotion.clear();
    rig.context.m_nOptionFlags = CHATOPT_NOWHOIS;
    EXPECT_EQ(MenuLines(rig.list.BuildMenu(nullptr)),
              (Texts{"Send Private Message to bob... (32775) grey", "Add bob To Buddy List (278)",
                     "Cancel File Transfer (138)", "Start Following bob (32803)", "---",
                     "Allow Messages From bob (32777) grey"}));
    rig.list.SelectNames({"bob", "Ann Lee", "Me Myself"});
    rig.panel.connected = true;
    rig.context.m_nOptionFlags = CHATOPT_NOFILEXFER;
    EXPECT_EQ(
        MenuLines(rig.list.BuildMenu(nullptr)),
        (Texts{"Send Private Message to Selected... (32775)", "Add Selected To Buddy List (278)",
               "Who Is This Person... (134)", "Follow This Person (32803) grey", "---",
               "Ignore Messages From Selected (32776)", "Allow Messages From Selected (32777)",
               "Watch Messages From Selected (32823)",
               "Stop Watching Messages From Selected (32824)"}));
}

TEST(UserList, FollowItemInItsFiveSituations) {
    // Whom I follow, whether Ann Lee follows me, then the item's text and id.
    const std::tuple<const char*, bool, const char*, int> cases[] = {
        {"", false, "Start Following Ann Lee", 32803},
        {"", true, "Kick Ann Lee Off Your Tail!", 122},
        {"ANN+LEE", false, "Stop Following Ann Lee", 122},
        {"Zed", false, "Stop Following Zed, Start Following Ann Lee", 32803},
        {"Zed", true, "Kick Ann Lee Off Your Tail!", 122}};
    for (const auto& [followed, followsMe, text, id] : cases) {
        ListRig rig;
        rig.Block({"<newroom>", "<user> Ann+Lee", "<user> Zed"});
        if (*followed)
            rig.Block({std::string("<iamfollowing> ") + followed});
        if (followsMe)
            rig.Block({"<followingme> ann+lee"});
        const CUserActions::MenuItem item = rig.actions.FollowItem("Ann Lee");
        EXPECT_EQ(item.text.toStdString(), text);
        EXPECT_EQ(item.id, id) << text;
        EXPECT_TRUE(item.enabled) << text;
    }
    EXPECT_FALSE(ListRig().actions.FollowItem("").enabled);
}

TEST(UserList, EveryCommandSendsItsExactBytes) {
    // Who-is asks about the current entry, the one selected last.
    const std::pair<int, std::string> cases[] = {{32775, ""},
                                                 {278, "buddy add Ann+Lee\nbuddy add bob\n"},
                                                 {134, "\x01<begin>\n<whois> Ann+Lee\n<end>\n"},
                                                 {32803, "follow Ann+Lee\n"},
                                                 {122, "stopfollow Ann+Lee\n"},
                                                 {32814, "wave Ann+Lee\nwave bob\n"},
                                                 {32776, "ignore add Ann+Lee\nignore add bob\n"},
                                                 {32777, ""},
                                                 {32823, ""},
                                                 {123, ""}};
    for (const auto& [id, wire] : cases) {
        ListRig rig;
        rig.Block({"<newroom>", "<user> Ann+Lee", "<user> bob"});
        rig.emotion = "wave";
        rig.list.SelectNames({"bob", "Ann Lee"});
        rig.TakeWire();
        rig.context.m_nScrollHold = 1;
        rig.list.OnCommand(id);
        EXPECT_EQ(rig.TakeWire(), wire) << id;
        if (id == 32775) {
            EXPECT_EQ(rig.privates, (std::vector<Texts>{{"Ann Lee", "bob"}}));
        }
        if (id == 32814) {
            EXPECT_EQ(rig.context.m_nScrollHold, 0);
        }
    }
    // Nothing selected: nothing at all.
    ListRig rig;
    rig.Block({"<newroom>", "<user> bob"});
    rig.TakeWire();
    for (const auto& c : cases)
        rig.list.OnCommand(c.first);
    EXPECT_EQ(rig.TakeWire(), "");
}

TEST(UserList, IgnoreAllowAndWatchKeepTheSetsAndFlagsTrue) {
    ListRig rig;
    rig.Block({"<newroom>", "<user> bob", "<user> carol"});
    rig.list.SelectNames({"bob", "carol"});
    rig.list.OnCommand(32823);
    rig.list.OnCommand(32823); // twice: one stop still ends it
    EXPECT_EQ(rig.Flags("bob"), 0x020u);
    rig.list.SelectOnly("carol");
    rig.list.OnCommand(32824);
    EXPECT_EQ(rig.Flags("carol"), 0u);
    EXPECT_FALSE(rig.protocol.IsWatching("carol"));
    // Ignoring stops watching at once; the ignore mark waits for the server.
    rig.list.SelectOnly("bob");
    rig.TakeWire();
    rig.list.OnCommand(32776);
    EXPECT_EQ(rig.TakeWire(), "ignore add bob\n");
    EXPECT_EQ(rig.Flags("bob"), 0u);
    EXPECT_FALSE(rig.protocol.IsWatching("bob"));
    rig.Block({"<iamignoring> bob"});
    rig.list.OnCommand(32776); // already ignored: not asked again
    rig.list.OnCommand(32823); // an ignored user is not watched
    EXPECT_EQ(rig.TakeWire(), "");
    EXPECT_EQ(rig.Flags("bob"), 0x008u);
    rig.list.OnCommand(32777);
    EXPECT_EQ(rig.TakeWire(), "ignore remove bob\n");
    // A server ignore of a watched user clears the watch mark too.
    rig.list.SelectOnly("carol");
    rig.list.OnCommand(32823);
    rig.Block({"<iamignoring> carol"});
    EXPECT_EQ(rig.Flags("carol"), 0x008u);
}

TEST(UserActions, NamesNeverSplitIntoTwoCommands) {
    ListRig rig;
    rig.actions.AddBuddies({"eve\r\nquit", "\n"});
    rig.actions.Follow("eve\nquit", true);
    rig.actions.Whois("eve\rquit");
    rig.actions.Goto("eve\nquit");
    rig.protocol.SetIgnore("eve\nquit", 1);
    EXPECT_EQ(rig.TakeWire(), "buddy add evequit\nfollow evequit\n"
                              "\x01<begin>\n<whois> evequit\n<end>\ngoto evequit\n"
                              "ignore add evequit\n");
    // The own name is never ignored.
    rig.actions.Ignore("me+myself");
    EXPECT_EQ(rig.TakeWire(), "");
}

TEST(UserList, MouseRulesForTheOwnEntryAndDoubleClick) {
    ListRig rig;
    rig.Block({"<newroom>", "<user> bob"});
    rig.list.show();
    const QRect own = rig.list.EntryRect(0);
    const QRect bob = rig.list.EntryRect(1);
    QTest::mouseClick(rig.list.viewport(), Qt::LeftButton, {}, bob.center());
    EXPECT_EQ(rig.list.Selection(), Texts{"bob"});
    QTest::mouseClick(rig.list.viewport(), Qt::LeftButton, {}, own.center());
    EXPECT_TRUE(rig.list.Selection().empty());
    QTest::mouseClick(rig.list.viewport(), Qt::LeftButton, {}, bob.center());
    QTest::mouseDClick(rig.list.viewport(), Qt::LeftButton, {}, bob.center());
    EXPECT_EQ(rig.privates, (std::vector<Texts>{{"bob"}}));
    bool focused = false;
    rig.list.m_focusInput = [&] { focused = true; };
    QTest::keyClick(&rig.list, Qt::Key_Tab);
    EXPECT_TRUE(focused);
}

TEST(BuddyDlg, SendsWhatChangedInItsOrder) {
    // The steps: "+NAME" adds, "=NAME" only types it, "-ROW" removes a row, "*" removes all.
    const std::pair<std::vector<std::string>, std::string> cases[] = {
        {{}, ""},
        {{"+  Zed Zee  ", "-0"}, ""},
        {{"-0", "+ann lee"}, "buddy add ann+lee\n"}, // a server buddy removed and added again
        {{"+Xa", "+Yb", "+bob", "+   ", "-3", "-2"}, // adds top first, then removals in order
         "buddy add Yb\nbuddy add Xa\nbuddy remove bob\nbuddy remove Ann+Lee\n"},
        {{"*"}, "buddy remove Ann+Lee\nbuddy remove bob\n"},
        {{"=Quinn"}, "buddy add Quinn\n"}, // a typed name counts at Ok
    };
    for (const auto& [steps, wire] : cases) {
        ListRig rig;
        rig.Block({"<buddy> Ann+Lee", "<buddy> bob", "<buddy> BOB"});
        CBuddyDlg dialog(rig.actions);
        for (const char* b : {"Ann+Lee", "bob", "BOB"})
            dialog.AddServerBuddy(b);
        for (const std::string& step : steps) {
            if (step[0] == '*') {
                dialog.OnRemoveAll();
            } else if (step[0] == '-') {
                dialog.List()->setCurrentRow(std::stoi(step.substr(1)));
                dialog.OnRemove();
            } else {
                dialog.NameField()->setText(QString::fromStdString(step.substr(1)));
                if (step[0] == '+')
                    dialog.OnAdd();
            }
        }
        dialog.accept();
        EXPECT_EQ(rig.TakeWire(), wire) << ::testing::PrintToString(steps);
        EXPECT_TRUE(dialog.Removed().empty());
    }
}

TEST(GotoDlg, ChecksTheNameBeforeSending) {
    // What is typed, what is sent (the dialog closes only then), whether a box refuses it.
    const std::tuple<const char*, std::string, bool> cases[] = {
        {"  Ann Lee \t", "goto Ann+Lee\n", false}, {"   ", "", false}, {"ME+myself", "", true}};
    for (const auto& [typed, wire, box] : cases) {
        ListRig rig;
        CGotoDlg dialog(rig.context, rig.actions, rig.dialogs);
        dialog.setResult(QDialog::Rejected);
        dialog.NameField()->setText(QString::fromLatin1(typed));
        dialog.accept();
        EXPECT_EQ(rig.TakeWire(), wire) << typed;
        ASSERT_EQ(rig.dialogs.Requests().size(), box ? 1u : 0u) << typed;
        EXPECT_EQ(dialog.NameField()->hasSelectedText(), box) << typed;
        EXPECT_EQ(dialog.result() == QDialog::Accepted, !wire.empty()) << typed;
    }
}

} // namespace
