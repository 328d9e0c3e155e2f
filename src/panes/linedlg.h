#pragma once
// CLineDlg: a caption, one labelled line of text, OK and Cancel; the dialogs that ask for one
// name or one line (goto, "Send To:", Open URL, Ask A Question) are this dialog.

#include <QDialog>
#include <string>

class QLineEdit;

class CLineDlg : public QDialog {
public:
    // `fieldId` is the edit's control id (0: none).
    CLineDlg(const QString& title, const QString& label, int fieldId, int maxLength,
             QWidget* parent = nullptr);
    // The text typed, in the wire's code page, with blanks at either end, CR, LF and NUL
    // removed, so it cannot split a command or a navigation.
    std::string Text() const;
    QLineEdit* Field() const { return m_pField; }

private:
    QLineEdit* m_pField;
};
