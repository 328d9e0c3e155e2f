#pragma once
// Where every item of the chat panel goes for a client rectangle and the two display switches.
// Kept apart from the widgets so that the rules can be checked without a window.

#include <QRect>
#include <array>

namespace kivra::control {

// Control ids of the panel's items.
enum : int {
    IDC_BACKGROUND = 210,
    IDC_MENU = 128,
    IDC_OPENURL = 102,
    IDC_SENDPRIVATE = 108,
    IDC_SHOWROOMS = 130,
    IDC_ASK = 129,
    IDC_HELP = 109,
    IDC_PROGRESS = 121,
    IDC_TICKER = 143,
    IDC_USERLIST = 116,
    IDC_EMOTIONLIST = 118,
    IDC_OUTPUTVIEW = 119,
    IDC_INPUTLINE = 117,
    IDC_SEND = 1040,
    IDC_EMOTE = 211,
    IDC_THINK = 1049,
};

struct PanelLayout {
    QRect background;
    // Menu, Open URL, Send Private Message, Show Rooms, Ask a Question, Help.
    std::array<QRect, 6> toolButtons;
    QRect progress;
    QRect ticker;
    QRect userList;    // null when hidden
    QRect emotionList; // null when hidden
    QRect inputLine;
    // Send, Emote, Think.
    std::array<QRect, 3> smallButtons;
    QRect outputFrame;
    QRect outputView;
};

inline constexpr int kToolButtonIds[6] = {IDC_MENU,      IDC_OPENURL, IDC_SENDPRIVATE,
                                          IDC_SHOWROOMS, IDC_ASK,     IDC_HELP};
inline constexpr int kSmallButtonIds[3] = {IDC_SEND, IDC_EMOTE, IDC_THINK};

PanelLayout ComputePanelLayout(const QRect& client, int toolbarHeight, bool showEmotionList,
                               bool showNameList);

} // namespace kivra::control
