#pragma once
// The small dialogs of the panel's commands: Open URL, Ask A Question and About Kivra.

#include <QDialog>
#include <string>

class QLineEdit;

namespace kivra::control {

// A caption, one labelled line of text, OK and Cancel. The text is read after OK.
class CLineDlg : public QDialog {
public:
    CLineDlg(const QString& title, const QString& label, int fieldId, int maxLength,
             QWidget* parent = nullptr);
    // The text typed, in the wire's code page, with blanks at either end, CR, LF and NUL
    // removed, so it cannot split a command or a navigation.
    std::string Text() const;
    QLineEdit* Field() const { return m_pField; }

private:
    QLineEdit* m_pField;
};

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
