#pragma once
// The small dialogs of the panel's commands: Open URL, Ask A Question and About Kivra.

#include "linedlg.h"

#include <QDialog>

namespace kivra::control {

// Template 206: the address to open.
class COpenUrlDlg : public CLineDlg {
public:
    enum : int { IDD = 206, IDC_URL = 1000 };
    explicit COpenUrlDlg(QWidget* parent = nullptr);
};

// Template 131: a question for the speaker of an auditorium.
class CAskQuestionDlg : public CLineDlg {
public:
    enum : int { IDD = 131, IDC_QUESTION = 1000 };
    static constexpr int kMaxQuestion = 1000;
    explicit CAskQuestionDlg(QWidget* parent = nullptr);
};

// Template 1: the program's name, version and a word on what it is.
class CAboutDlg : public QDialog {
public:
    enum : int { IDD = 1 };
    explicit CAboutDlg(QWidget* parent = nullptr);
};

} // namespace kivra::control
