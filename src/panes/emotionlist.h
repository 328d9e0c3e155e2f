#pragma once
// CEmotionList: the narrow pane of emotion words. A double click performs the word in the room;
// a selected word is what the user menus perform at users. The words are the user's own list,
// kept in the "Emotions" section of the settings store and saved at every change.

#include "chatcontext.h"
#include "viewcommands.h"

#include <QListWidget>
#include <functional>
#include <string>
#include <vector>

class QMenu;
namespace kivra::platform {
class DialogService;
}

class CEmotionList : public QListWidget {
public:
    enum : int {
        IDC_EMOTIONLIST = 118,
        ID_ADD_EMOTION = 110,
        ID_REMOVE_EMOTION = 111,
        ID_EDIT_EMOTIONS = 32794,
    };
    // "Emotion%03d" numbers three digits.
    static constexpr int kMaxWords = 999;
    static constexpr const char* kSection = "Emotions";

    CEmotionList(CChatContext& context, IViewCommands& commands,
                 kivra::platform::DialogService& dialogs, QWidget* parent = nullptr);

    // Empties the pane, writes the defaults when the store has none, and reads the words up to
    // the first empty value.
    void Load();
    // Writes every word, an empty value after the last and "Loaded" = "Yes".
    void Save();

    std::vector<std::string> Words() const;
    // Replaces the words (as the editing dialog's OK does) without saving.
    void SetWords(const std::vector<std::string>& words);
    // The selected word, empty when none.
    std::string SelectedWord() const;
    // Selects `word` (letters in any case); empty clears the selection. False when it is not
    // in the list.
    bool SelectWord(const std::string& word);
    // The double click on the current entry: "/word\n" through SendSay.
    void Perform();
    void AddWord(const std::string& word);
    void RemoveCurrent();

    // The right-button menu and the context-key menu, built for this moment.
    QMenu* BuildEditMenu(QWidget* parent);
    QMenu* BuildListMenu(QWidget* parent);
    void OnCommand(int id);

    ISettingsStore* Settings() const { return m_context.m_pSettings; }

protected:
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void contextMenuEvent(QContextMenuEvent* event) override;

private:
    std::string Word(int row) const;
    void RunMenu(QMenu* menu, const QPoint& globalPos);

    CChatContext& m_context;
    IViewCommands& m_commands;
    kivra::platform::DialogService& m_dialogs;
};
