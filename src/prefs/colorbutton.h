#pragma once
// The Display page's colour button. It shows the element's colour as a swatch icon; a script
// (the headless host's "!field") picks a colour on it directly, by name or index, as the
// "Select Color" dialog would.

#include <QPushButton>

class CColorButton : public QPushButton {
    Q_OBJECT
public:
    explicit CColorButton(QWidget* parent = nullptr) : QPushButton(parent) {}

    // "blue" or "6": the colour index 1 to 8 (names in any letter case). False for anything
    // else, and nothing changes.
    Q_INVOKABLE bool applyFieldText(const QString& text);

signals:
    void colorPicked(int index);
};
