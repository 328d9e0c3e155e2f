#include "panellayout.h"

namespace kivra::control {

namespace {
// Rectangles are written as edges, the way the layout is reasoned about.
QRect Edges(int left, int top, int right, int bottom) {
    return QRect(QPoint(left, top), QPoint(right - 1, bottom - 1));
}
} // namespace

PanelLayout ComputePanelLayout(const QRect& client, int toolbarHeight, bool showEmotionList,
                               bool showNameList) {
    const int L = client.left();
    const int T = client.top();
    const int R = client.left() + client.width();
    const int B = client.top() + client.height();
    PanelLayout out;
    out.background = client;
    for (int i = 0; i < 6; ++i)
        out.toolButtons[i] = QRect(24 * i, 0, 24, toolbarHeight);
    out.progress = QRect(344, T + 5, R - 5 - 344, 15);
    out.ticker = QRect(344, T + 2, R - 5 - 344, 20);

    int inputRight = 0;
    int buttonsX[3] = {};
    int frameRight = 0;
    if (showEmotionList && showNameList) {
        out.userList = Edges(R - 155, T + 29, R - 5, B - 5);
        out.emotionList = Edges(R - 260, T + 29, R - 160, B - 5);
        inputRight = R - 392;
        buttonsX[0] = R - 387, buttonsX[1] = R - 334, buttonsX[2] = R - 297;
        frameRight = R - 265;
    } else if (showNameList) {
        out.userList = Edges(R - 155, T + 29, R - 5, B - 5);
        inputRight = R - 287;
        buttonsX[0] = R - 282, buttonsX[1] = R - 229, buttonsX[2] = R - 192;
        frameRight = R - 160;
    } else if (showEmotionList) {
        out.emotionList = Edges(R - 85, T + 29, R - 5, B - 5);
        inputRight = R - 217;
        buttonsX[0] = R - 212, buttonsX[1] = R - 159, buttonsX[2] = R - 122;
        frameRight = R - 90;
    } else {
        inputRight = R - 132;
        buttonsX[0] = R - 127, buttonsX[1] = R - 74, buttonsX[2] = R - 37;
        frameRight = R - 5;
    }
    out.inputLine = Edges(L + 5, B - 35, inputRight, B - 5);
    const int widths[3] = {48, 32, 32};
    for (int i = 0; i < 3; ++i)
        out.smallButtons[i] = QRect(buttonsX[i], B - 35, widths[i], 30);
    out.outputFrame = Edges(L + 5, T + 29, frameRight, B - 40);
    out.outputView = out.outputFrame.adjusted(2, 2, -2, -2);
    return out;
}

} // namespace kivra::control
