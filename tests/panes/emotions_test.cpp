// The emotions list's stored form, sending and menus; the editing dialog's orders and duplicates.

#include "emotioneditdlg.h"
#include "emotionlist.h"
#include "panefakes.h"

#include <QLineEdit>
#include <QListWidget>
#include <gtest/gtest.h>

namespace {

struct EmotionRig : PaneRig {
    CEmotionList list{context, commands, dialogs};
    std::string Stored(const char* name) {
        return settings.strings["Emotions/" + std::string(name)];
    }
};

constexpr auto Items = &CEmotionEditDlg::Texts;

} // namespace

TEST(EmotionList, DefaultsSaveAndLoadAgain) {
    EmotionRig rig;
    rig.list.Load();
    EXPECT_EQ(rig.Stored("Loaded"), "Yes");
    EXPECT_EQ(rig.Stored("Emotion007"), "Laugh");
    ASSERT_TRUE(rig.settings.strings.count("Emotions/Emotion008"));
    EXPECT_EQ(rig.Stored("Emotion008"), "");

    rig.list.SelectWord("smile");
    rig.list.OnCommand(CEmotionList::ID_REMOVE_EMOTION);
    rig.dialogs.modal = [](QDialog* d) {
        d->findChild<QLineEdit*>()->setText(QStringLiteral("  Wave\n "));
        d->accept();
        return d->result();
    };
    rig.list.OnCommand(CEmotionList::ID_ADD_EMOTION);
    CEmotionList again(rig.context, rig.commands, rig.dialogs);
    again.Load();
    const Texts expected = {"Grin", "Nod", "Bow", "Shake", "Smirk", "Laugh", "Wave"};
    EXPECT_EQ(again.Words(), expected);
    EXPECT_EQ(rig.Stored("Emotion008"), "") << "the end mark follows the last word";

    rig.dialogs.modal = [](QDialog* d) {
        d->accept(); // an empty word is refused: the dialog stays open
        return d->result() == QDialog::Accepted ? int(QDialog::Accepted) : int(QDialog::Rejected);
    };
    rig.list.OnCommand(CEmotionList::ID_ADD_EMOTION);
    EXPECT_EQ(rig.list.count(), 7);
}

TEST(EmotionList, DoubleClickSendsTheLowerCaseWord) {
    EmotionRig rig;
    rig.list.Load();
    rig.context.m_nScrollHold = 1;
    rig.list.Perform();
    EXPECT_TRUE(rig.commands.said.empty()) << "nothing selected, nothing sent";
    ASSERT_TRUE(rig.list.SelectWord("LAUGH"));
    EXPECT_EQ(rig.list.SelectedWord(), "Laugh");
    rig.list.Perform();
    EXPECT_EQ(rig.commands.said, Texts{"/laugh\n"});
    EXPECT_EQ(rig.context.m_nScrollHold, 0);
    EXPECT_FALSE(rig.list.SelectWord("dance"));
    rig.list.SelectWord("");
    EXPECT_EQ(rig.list.SelectedWord(), "");
}

TEST(EmotionList, MenusGreyWhatCannotBeDone) {
    EmotionRig rig;
    rig.list.Load();
    rig.list.SelectWord("Nod");
    EXPECT_EQ(MenuLines(rig.list.BuildEditMenu(nullptr)), Texts{"Edit Emotions... (32794)"});
    EXPECT_EQ(MenuLines(rig.list.BuildListMenu(nullptr)),
              (Texts{"Add emotion to list... (110)", "Remove emotion from list (111)",
                     "Edit emotion list... (32794)"}));
    rig.commands.connected = false;
    rig.list.SelectWord("");
    EXPECT_EQ(MenuLines(rig.list.BuildEditMenu(nullptr)), Texts{"Edit Emotions... (32794) grey"});
    EXPECT_EQ(MenuLines(rig.list.BuildListMenu(nullptr)),
              (Texts{"Add emotion to list... (110) grey", "Remove emotion from list (111) grey",
                     "Edit emotion list... (32794)"}));
}

TEST(EmotionEditDlg, OrdersDuplicatesAndOk) {
    EmotionRig rig;
    rig.list.SetWords({"Smile", "Grin"});
    CEmotionEditDlg dlg(rig.list);
    for (const char* w : {"smile", "wave", "hug", "nod"})
        dlg.AddServerEmotion(w);
    dlg.InitDialog();
    EXPECT_EQ(Items(dlg.GlobalList()), (Texts{"nod", "hug", "wave", "smile"}));
    EXPECT_EQ(Items(dlg.LocalList()), (Texts{"Grin", "Smile"}));

    // Add takes the selection last to first; a word in the list already (any case) stays one.
    for (int row : {0, 2, 3})
        dlg.GlobalList()->item(row)->setSelected(true);
    dlg.Add();
    EXPECT_EQ(Items(dlg.LocalList()), (Texts{"Grin", "Smile", "wave", "nod"}));
    EXPECT_TRUE(dlg.GlobalList()->selectedItems().isEmpty());
    dlg.GlobalDoubleClicked(1); // hug goes on top
    dlg.GlobalDoubleClicked(1);
    EXPECT_EQ(Items(dlg.LocalList()), (Texts{"hug", "Grin", "Smile", "wave", "nod"}));
    dlg.LocalDoubleClicked(3);
    dlg.LocalList()->item(0)->setSelected(true);
    dlg.Remove();
    EXPECT_EQ(Items(dlg.LocalList()), (Texts{"Grin", "Smile", "nod"}));

    dlg.accept();
    EXPECT_EQ(rig.list.Words(), (Texts{"nod", "Smile", "Grin"}));
    EXPECT_EQ(rig.Stored("Emotion001"), "nod");
    EXPECT_EQ(rig.Stored("Emotion004"), "");
    EXPECT_EQ(rig.settings.ints["Emotions/Count"], 3u);

    CEmotionEditDlg all(rig.list);
    for (const char* w : {"a", "NOD", "b"})
        all.AddServerEmotion(w);
    all.InitDialog();
    all.RemoveAll();
    EXPECT_TRUE(Items(all.LocalList()).empty());
    all.AddAll();
    EXPECT_EQ(Items(all.LocalList()), (Texts{"a", "NOD", "b"}));
    all.AddAll();
    EXPECT_EQ(Items(all.LocalList()).size(), 3u);
}
