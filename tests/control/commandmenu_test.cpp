// The Menu button's pop-up built from the state of the moment, and what its commands send.
#include "../protocol/fakes.h"
#include "chatprotocol.h"
#include "commandmenu.h"
#include "controlfixture.h"

#include <QCoreApplication>
#include <QMenu>
#include <gtest/gtest.h>

using namespace kivra::control;

namespace {
// The dump lines of one sub-menu's items, without the prefix and the indent.
std::vector<std::string> Sub(const CommandMenuState& s, const std::string& title) {
    for (const CommandMenuItem& item : BuildCommandMenu(s))
        if (item.text == title) {
            std::vector<std::string> lines = DumpCommandMenu(item.children);
            for (std::string& l : lines)
                l.erase(0, 7);
            return lines;
        }
    return {};
}
} // namespace

TEST(CommandMenu, TreeFollowsTheState) {
    using S = CommandMenuState;
    const std::tuple<S, const char*, std::vector<std::string>> cases[] = {
        {S{.selected = {"Bob", "Cy"}},
         "Users",
         {"Send Private Message to Selected... (108)", "Add Selected To Buddy List (278)",
          "Who Is This Person... (134) grey", "Send File To ... (123) grey",
          "Follow This Person (32803) grey", "---", "Ignore Messages From Selected (32776)",
          "Allow Messages From Selected (32777)", "Watch Messages From Selected (32823)",
          "Stop Watching Messages From Selected (32824)"}},
        {S{.selected = {"Bob"},
           .noWhois = true,
           .transferEngine = true,
           .nameIgnored = true,
           .nameWatched = true,
           .emotion = "hug"},
         "Users",
         {"Send Private Message to Bob... (108)", "Add Bob To Buddy List (278)",
          "Send File To Bob... (123)", "Start Following Bob (32803)", "hug at Bob (32814)", "---",
          "Allow Messages From Bob (32777)", "Stop Watching Messages From Bob (32824)"}},
        {S{.noFileTransfer = true, .transferRunning = true},
         "Users",
         {"Send Private Message... (108)", "Add Selected To Buddy List (278) grey",
          "Who Is ... (134) grey", "Start Following  (32803) grey", "---",
          "Ignore Messages From  (32776) grey", "Watch Messages From  (32823) grey"}},
        {S{.transferEngine = true, .transferRunning = true},
         "Users",
         {"Send Private Message... (108)", "Add Selected To Buddy List (278) grey",
          "Who Is ... (134) grey", "Cancel File Transfer (138)", "Start Following  (32803) grey",
          "---", "Ignore Messages From  (32776) grey", "Watch Messages From  (32823) grey"}},
        {S{.title = "Town"},
         "Navigate",
         {"Open URL... (102)", "Show Map of Town (130)", "Goto User... (140)"}},
        {S{.title = "Town", .exits = {"a", "b", "c", "d", "e", "f", "g", "h", "i", "j", "k", "l"}},
         "Navigate",
         {"Open URL... (102)", "Show Map of Town (130)", "Goto User... (140)", "---", "a (32782)",
          "b (32783)", "c (32784)", "d (32785)", "e (32786)", "f (32787)", "g (32788)", "h (32789)",
          "i (32790)", "j (32791)"}},
        {S{.auditorium = 1, .admin = 1},
         "Commands",
         {"Who's Online Now (32774)", "Create Private Room (139)", "Submit Question... (129)",
          "Administer Server (144)"}},
        {S{.showEmotionList = true, .monitor = true, .ignoreMovement = true},
         "Options",
         {"Show emotions list (107) check", "Show user names list (106) check",
          "Play sounds sent by others (146) check", "Sound On Incoming Message (32821) check",
          "Show people entering and leaving (147)", "---", "Preferences... (141)"}},
    };
    for (const auto& [state, sub, lines] : cases)
        EXPECT_EQ(Sub(state, sub), lines) << sub;
    // The follow item's forms; the name is read without blanks and "+" at its ends.
    const std::tuple<const char*, const char*, const char*, bool> follow[] = {
        {"", "Bob", "Start Following Bob (32803)", false},
        {"", "Bob", "Kick Bob Off Your Tail! (122)", true},
        {"bob+lee", " Bob Lee+", "Stop Following Bob Lee (122)", false},
        {"Cy+Ng", "Bob", "Stop Following Cy Ng, Start Following Bob (32803)", false},
        {"Cy", "Bob", "Kick Bob Off Your Tail! (122)", true},
        {"Cy", "+", "Stop Following Cy, Start Following  (32803) grey", false}};
    for (const auto& [followed, name, line, followsMe] : follow) {
        const S s{.selected = {name},
                  .following = *followed != 0,
                  .followed = followed,
                  .nameFollowsMe = followsMe};
        EXPECT_EQ(Sub(s, "Users").at(4), line);
    }
    // The shown menu: ids, grey, checks, a "&" shown as itself; names are never formats.
    std::unique_ptr<QMenu> menu(MakeCommandMenu(BuildCommandMenu(S{.exits = {"R&D"}}), nullptr));
    const QList<QAction*> top = menu->actions();
    ASSERT_EQ(top.size(), 9);
    EXPECT_EQ(top[1]->menu()->actions().at(4)->text(), "R&&D");
    EXPECT_FALSE(top[2]->menu()->actions().at(1)->isEnabled());
    EXPECT_TRUE(top[5]->menu()->actions().at(1)->isChecked());
    EXPECT_EQ(FormatMenuText("%s at %s", {"%s"}), "%s at ");
}

// Each command's bytes as the server receives them, through a panel whose transport records.
TEST(CommandMenu, CommandsSendTheirExactBytes) {
    ControlFixture f;
    CChatPanel* panel = f.Open();
    ASSERT_NE(panel, nullptr);
    kivra_test::Recorder wire;
    kivra_test::FakePanel transport(wire);
    CChatContext& ctx = panel->Context();
    IChatTransport* const real = std::exchange(ctx.m_pTransport, &transport);
    for (const char* exit : {"north", "east"})
        ctx.m_pProtocol->OnExit(exit);
    ctx.m_pUserList->AddUser("Bob+Lee");
    panel->SelectUsers({"Bob Lee"});
    // Command, the answer queued for the dialog or menu it opens, the bytes sent.
    const std::tuple<int, const char*, std::string> cases[] = {
        {139, "", "\x01<begin>\n<createprivate>\n<end>\n"},
        {145, "", "\x01<begin>\n<getbuddylist>\n<end>\n"},
        {32794, "", "\x01<begin>\n<emotions>\n<end>\n"},
        {147, "", "sysmsg off\nignore add movement\n"},
        {147, "", "sysmsg on\nignore remove movement\n"},
        {128, "32783", "East\n"}, // chosen in the menu, which capitalised the list
        {32791, "", ""},
        {129, "why\r\nnot? ", "say whynot?\r\n"},
        {129, "cancel", ""},
        {144, "", ""},
        {278, "", "buddy add Bob+Lee\n"},
    };
    for (const auto& [id, answer, bytes] : cases) {
        if (*answer)
            f.site.dialogs.QueueAnswer(answer);
        wire.wire.clear();
        panel->OnCommand(id);
        QCoreApplication::processEvents();
        EXPECT_EQ(wire.wire, bytes) << id;
    }
    // Open URL navigates on OK; the sound switch is stored; About is a dialog.
    f.site.dialogs.QueueAnswer("example.org/x ");
    panel->OnCommand(102);
    EXPECT_EQ(f.site.navigations.back(), "kivranewwindow http://example.org/x");
    panel->OnCommand(32821);
    EXPECT_EQ(f.settings.GetProfileString("Main", "Monitor", ""), "Yes");
    panel->OnCommand(32822);
    EXPECT_EQ(f.site.dialogs.Requests().back().caption, "About Kivra");
    ctx.m_pTransport = real;
}
