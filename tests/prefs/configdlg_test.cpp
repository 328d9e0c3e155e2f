// The preferences sheet driven as the headless host drives it.
#include "../panes/panefakes.h"
#include "../protocol/fakes.h"
#include "configdlg.h"
#include "configtabs.h"

#include <QCheckBox>
#include <QComboBox>
#include <QPushButton>
#include <QTabWidget>
#include <gtest/gtest.h>

using U = CUserOptions;

namespace {

using Fields = std::vector<std::pair<const char*, const char*>>;

struct Rig {
    kivra_test::Harness h;
    FakeSettings settings;
    FakeDialogs dialogs;

    Rig() {
        h.ctx.m_pUserOptions = std::make_shared<U>(&h.ctx);
        U& o = *h.ctx.m_pUserOptions;
        o.m_nAllowFollow = U::PERMIT_NO;
        o.m_nAllowGoto = 7; // out of range: no selection
        o.m_description.Append("old");
        settings.strings["PM/MAX PM"] = "NONE";
        settings.ints["PM/Sound PM"] = 1;
    }
    // Opens the sheet, queues the fields and the answers (the sheet's, then those of dialogs the
    // fields open), runs it; the sheet's result.
    int Run(const Fields& fields, std::initializer_list<const char*> answers,
            const std::function<void(CConfigDlg&)>& check = {}) {
        CConfigDlg sheet(h.ctx, settings, dialogs, CConfigHooks{});
        sheet.Open();
        if (check)
            check(sheet);
        for (const auto& [key, text] : fields)
            dialogs.QueueField(key, text);
        for (const char* answer : answers)
            dialogs.QueueAnswer(answer);
        return dialogs.RunModal(&sheet);
    }
};

const Fields kEdits = {{"Allow others to follow me", "Ask Me"},
                       {"Max Private Message Dialogs", "12"},
                       {"e-mail Address", "ann@x\r\nquit"},
                       {"Description", "one\\ntwo"},
                       {"Color", "green"},
                       {"Underline", "1"},
                       {"Underline", "0"}};
const std::vector<std::string> kSent = {"AUTOFOLLOW ask\n", "EMAIL ann@xquit\n",
                                        "\x01<begin>\n<description> one%0dtwo\n<end>\n",
                                        "DISPLAY username green bold \n"};

} // namespace

// The sheet opens on the options and the registry; the edits go out on OK, twice with Apply first,
// and nothing is kept on Cancel.
TEST(ConfigDlg, LoadsThenOkApplyAndCancel) {
    struct Case {
        const char* answer;
        int result;
        int rounds; // how many times the pages' commands went out
    };
    for (const Case c : {Case{"ok", QDialog::Accepted, 1}, Case{"apply", QDialog::Accepted, 2},
                         Case{"cancel", QDialog::Rejected, 0}}) {
        SCOPED_TRACE(c.answer);
        Rig r;
        const auto before = r.settings.strings;
        const auto beforeInts = r.settings.ints;
        EXPECT_EQ(
            r.Run(kEdits, {c.answer},
                  [](CConfigDlg& sheet) {
                      EXPECT_EQ(sheet.findChild<QComboBox*>("followCombo")->currentText(), "No");
                      EXPECT_EQ(sheet.findChild<QComboBox*>("gotoCombo")->currentIndex(), -1);
                      EXPECT_TRUE(sheet.findChild<QCheckBox*>("soundPM")->isChecked());
                      EXPECT_EQ(sheet.findChild<QComboBox*>("maxPMCombo")->currentText(), "NONE");
                  }),
            c.result);
        std::vector<std::string> want;
        for (int i = 0; i < c.rounds; ++i)
            want.insert(want.end(), kSent.begin(), kSent.end());
        EXPECT_EQ(r.h.rec.writes, want);
        if (c.rounds == 0) {
            EXPECT_EQ(r.settings.strings, before);
            EXPECT_EQ(r.settings.ints, beforeInts);
            EXPECT_EQ(r.h.ctx.m_nMaxPM, 50);
        } else {
            EXPECT_EQ(r.settings.strings["PM/MAX PM"], "12");
            EXPECT_EQ(r.h.ctx.m_nMaxPM, 12);
            // The first element is highlighted, and it is the one edited.
            EXPECT_EQ(r.h.ctx.m_pUserOptions->m_dwStyle[U::KIND_EMOTE_MESSAGE], U::COLOR_MAGENTA);
        }
    }
}

TEST(ConfigDlg, RefusesAMaxThatIsNoNumberAndBoldTwiceStillSends) {
    Rig r;
    EXPECT_EQ(r.Run({{"Max Private Message Dialogs", "lots"}}, {"ok"}), QDialog::Rejected);
    ASSERT_FALSE(r.dialogs.Requests().empty());
    EXPECT_EQ(r.dialogs.Requests()[0].caption, "Warning");
    EXPECT_TRUE(r.h.rec.writes.empty());
    EXPECT_EQ(r.settings.strings["PM/MAX PM"], "NONE");
    EXPECT_EQ(CGeneralTab::ParseMaxPMText(" 7 "), 7);
    EXPECT_EQ(CGeneralTab::ParseMaxPMText("none"), -1);

    Rig twice;
    twice.Run({{"1020", "Say Message"}, {"Bold", "1"}, {"Bold", "0"}, {"Set Font", "1"}},
              {"ok", "Liberation Serif,12.5"});
    EXPECT_EQ(twice.h.rec.writes, std::vector<std::string>{"DISPLAY say-message blue \n"});
    EXPECT_EQ(twice.settings.strings["Main/Font Size"], "250");
    EXPECT_EQ(twice.settings.strings["Main/Font Family"], "Liberation Serif");
}

TEST(ConfigDlg, UserIconFollowsDisableAvatars) {
    for (const bool disabled : {false, true}) {
        SCOPED_TRACE(disabled);
        Rig r;
        r.h.ctx.SetOption(CHATOPT_NOAVATARS, disabled);
        r.Run({{"Select this box to display user icons", "0"}}, {"ok"},
              [](CConfigDlg& sheet) { sheet.Tabs()->setCurrentIndex(3); });
        EXPECT_EQ(r.settings.strings.count("Main/Show Avatars"), disabled ? 0u : 1u);
        EXPECT_EQ(r.h.ctx.m_bShowAvatars, disabled);
        EXPECT_EQ(r.h.rec.writes, disabled ? std::vector<std::string>{}
                                           : std::vector<std::string>{
                                                 "\x01<begin>\n<displayavatars> off\n<end>\n"});
    }
}

TEST(ConfigDlg, SelectColorButtonsGiveTheirIndexes) {
    const std::pair<int, std::uint32_t> kButtons[] = {{208, 1}, {209, 2}, {214, 3}, {212, 4},
                                                      {215, 5}, {210, 6}, {213, 7}, {211, 8}};
    for (const auto& [id, index] : kButtons) {
        Rig r;
        r.dialogs.modal = [id = id](QDialog* d) {
            for (QPushButton* b : d->findChildren<QPushButton*>())
                if (b->property("controlId").toInt() == id)
                    b->click();
            return d->result();
        };
        r.Run({}, {"cancel"}, [](CConfigDlg& sheet) {
            sheet.Tabs()->setCurrentIndex(2);
            sheet.findChild<QPushButton*>("colorButton")->click();
        });
        EXPECT_EQ(r.h.ctx.m_pUserOptions->m_dwStyle[U::KIND_USERNAME], index | U::STYLE_BOLD) << id;
    }
}
