#pragma once
// "Select Color": eight swatch buttons and Cancel. Buttons 208, 209, 214, 212, 215, 210, 213
// and 211 give the colour indexes 1 to 8.

#include <QDialog>
#include <memory>

namespace Ui {
class CSelectColorDlg;
}

class CSelectColorDlg : public QDialog {
public:
    explicit CSelectColorDlg(QWidget* parent = nullptr);
    ~CSelectColorDlg() override;
    // The colour index a button id gives; 0 for an id that is not a swatch.
    static int IndexOfButton(int id);
    // The index chosen; 0 while none was.
    int Chosen() const { return m_nChosen; }

private:
    std::unique_ptr<Ui::CSelectColorDlg> m_ui;
    int m_nChosen = 0;
};
