#pragma once
// The dialog service with real Qt dialogs, for the GUI host.

#include "dialogservice.h"

#include <QStringList>

namespace kivra::platform {

class QtDialogService : public DialogService {
public:
    int MessageBox(QWidget* owner, const QString& text, const QString& caption,
                   unsigned flags) override;
    std::optional<QString> GetSaveFileName(QWidget* owner, const QString& defaultName,
                                           const QString& defaultExt,
                                           const QString& filter) override;
    std::optional<QString> GetOpenFileName(QWidget* owner, const QString& filter) override;
    std::optional<QFont> GetFont(QWidget* owner, const QFont& initial) override;
    int RunModal(QDialog* dialog) override;
};

// "Text File (*.txt)|*.txt|All Files (*.*)|*.*||" as Qt name filters:
// {"Text File (*.txt)", "All Files (*)"}. A pattern list "*.a;*.b" becomes "*.a *.b"; "*.*"
// becomes "*" (every file, with or without a dot). A description that does not show its
// patterns in parentheses gets them appended, since Qt reads the patterns from there.
QStringList TranslateFileFilter(const QString& filter);

// The suffix a save dialog adds to a name typed without one, from a default extension written
// either bare ("txt") or as its pattern ("*.txt", ".txt"); empty when it names no suffix.
QString DefaultSuffix(const QString& defaultExt);

} // namespace kivra::platform
