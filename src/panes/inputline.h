#pragma once
// CInputLine: the one-line field below the output view in which the user types what to say.
// Enter and the Send, Emote and Think buttons hand the line to SendSay with its prefix; it
// handles Backspace itself, moves the focus to the user list on Tab, pastes plain text only,
// and opens the two insert dialogs from its context menu.

#include "chatcontext.h"
#include "viewcommands.h"

#include <QLineEdit>
#include <array>
#include <functional>

class QMenu;
class QPushButton;
namespace kivra::platform {
class DialogService;
}

class CInputLine : public QLineEdit {
    Q_OBJECT
public:
    enum : int {
        ID_SEND = 1040,
        ID_EMOTE = 211,
        ID_THINK = 1049,
        ID_INSERT_URL = 32819,
        ID_INSERT_SOUND = 126,
        ID_CUT = 0xE123,
        ID_COPY = 0xE122,
        ID_PASTE = 0xE125,
    };
    static constexpr int kMaxChars = 1000;

    CInputLine(CChatContext& context, IViewCommands& commands,
               kivra::platform::DialogService& dialogs, QWidget* parent = nullptr,
               int controlId = 117);

    // The three buttons beside the line, children of `parent`, wired to this line.
    std::array<QPushButton*, 3> CreateButtons(QWidget* parent);
    // A button's command: sends with its prefix and gives the focus back to the line.
    void OnButton(int id);
    // Sends the line with `prefix`; true when something was sent.
    bool SendLine(const QString& prefix, bool fromEnter);
    // Backspace as the chat line does it (see inputline.cpp).
    void Backspace();
    // The clipboard's text without formatting or line breaks.
    void PastePlain();
    void ReplaceSelection(const QString& text);

    QMenu* BuildContextMenu(QWidget* parent);
    void OnCommand(int id);
    // Plays a sound by name for the Insert Sound preview (the media layer's player).
    void SetSoundPlayer(std::function<void(const QString&)> play) { m_play = std::move(play); }

protected:
    bool event(QEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void contextMenuEvent(QContextMenuEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    CChatContext& m_context;
    IViewCommands& m_commands;
    kivra::platform::DialogService& m_dialogs;
    std::function<void(const QString&)> m_play;
};
