#include "qtdialogservice.h"

#include <QDialog>
#include <QFileDialog>
#include <QFontDialog>
#include <QMessageBox>
#include <QRegularExpression>

namespace kivra::platform {

namespace {

constexpr unsigned MB_OKCANCEL = 0x1, MB_YESNOCANCEL = 0x3, MB_YESNO = 0x4;
constexpr unsigned MB_ICONHAND = 0x10, MB_ICONQUESTION = 0x20, MB_ICONEXCLAMATION = 0x30,
                   MB_ICONASTERISK = 0x40;
constexpr int IDOK = 1, IDCANCEL = 2, IDYES = 6, IDNO = 7;

QString PatternsFor(const QString& classic) {
    QStringList out;
    for (const QString& p : classic.split(QLatin1Char(';'), Qt::SkipEmptyParts)) {
        const QString t = p.trimmed();
        out << (t == QLatin1String("*.*") ? QStringLiteral("*") : t);
    }
    return out.join(QLatin1Char(' '));
}

} // namespace

QStringList TranslateFileFilter(const QString& filter) {
    QStringList parts = filter.split(QLatin1Char('|'));
    // The classic form ends with "||"; drop the empty tail.
    while (!parts.isEmpty() && parts.back().isEmpty())
        parts.removeLast();
    QStringList out;
    for (int i = 0; i + 1 < parts.size(); i += 2) {
        QString name = parts[i].trimmed();
        const QString patterns = PatternsFor(parts[i + 1]);
        if (patterns.isEmpty())
            continue;
        // Qt takes the patterns from the last parentheses of the name, so they must be the
        // real ones: "All Files (*.*)" would otherwise hide files without a dot.
        static const QRegularExpression trailing(QStringLiteral("\\s*\\(([^()]*)\\)\\s*$"));
        const auto m = trailing.match(name);
        if (m.hasMatch())
            name.truncate(m.capturedStart());
        out << QStringLiteral("%1 (%2)").arg(name, patterns);
    }
    return out;
}

QString DefaultSuffix(const QString& defaultExt) {
    QString suffix = defaultExt.trimmed();
    while (suffix.startsWith(QLatin1Char('*')) || suffix.startsWith(QLatin1Char('.')))
        suffix.remove(0, 1);
    // A wildcard left inside ("*.*", "t?t") names no one suffix.
    if (suffix.contains(QLatin1Char('*')) || suffix.contains(QLatin1Char('?')))
        return {};
    return suffix;
}

int QtDialogService::MessageBox(QWidget* owner, const QString& text, const QString& caption,
                                unsigned flags) {
    QMessageBox box(owner);
    box.setWindowTitle(caption);
    box.setText(text);
    switch (flags & 0xF0) {
    case MB_ICONHAND:
        box.setIcon(QMessageBox::Critical);
        break;
    case MB_ICONQUESTION:
        box.setIcon(QMessageBox::Question);
        break;
    case MB_ICONEXCLAMATION:
        box.setIcon(QMessageBox::Warning);
        break;
    case MB_ICONASTERISK:
        box.setIcon(QMessageBox::Information);
        break;
    default:
        box.setIcon(QMessageBox::NoIcon);
    }
    switch (flags & 0x0F) {
    case MB_OKCANCEL:
        box.setStandardButtons(QMessageBox::Ok | QMessageBox::Cancel);
        box.setEscapeButton(QMessageBox::Cancel);
        break;
    case MB_YESNOCANCEL:
        box.setStandardButtons(QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel);
        box.setEscapeButton(QMessageBox::Cancel);
        break;
    case MB_YESNO:
        box.setStandardButtons(QMessageBox::Yes | QMessageBox::No);
        box.setEscapeButton(QMessageBox::No);
        break;
    default:
        box.setStandardButtons(QMessageBox::Ok);
        box.setEscapeButton(QMessageBox::Ok);
    }
    switch (box.exec()) {
    case QMessageBox::Ok:
        return IDOK;
    case QMessageBox::Yes:
        return IDYES;
    case QMessageBox::No:
        return IDNO;
    case QMessageBox::Cancel:
        return IDCANCEL;
    default:
        return (flags & 0x0F) == 0 ? IDOK : IDCANCEL;
    }
}

std::optional<QString> QtDialogService::GetSaveFileName(QWidget* owner, const QString& defaultName,
                                                        const QString& defaultExt,
                                                        const QString& filter) {
    QFileDialog dialog(owner, QStringLiteral("Save As"));
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setFileMode(QFileDialog::AnyFile);
    dialog.setNameFilters(TranslateFileFilter(filter));
    const QString suffix = DefaultSuffix(defaultExt);
    if (!suffix.isEmpty())
        dialog.setDefaultSuffix(suffix);
    if (!defaultName.isEmpty())
        dialog.selectFile(defaultName);
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return std::nullopt;
    return dialog.selectedFiles().front();
}

std::optional<QString> QtDialogService::GetOpenFileName(QWidget* owner, const QString& filter) {
    QFileDialog dialog(owner, QStringLiteral("Open"));
    dialog.setAcceptMode(QFileDialog::AcceptOpen);
    dialog.setFileMode(QFileDialog::ExistingFile);
    dialog.setNameFilters(TranslateFileFilter(filter));
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return std::nullopt;
    return dialog.selectedFiles().front();
}

std::optional<QFont> QtDialogService::GetFont(QWidget* owner, const QFont& initial) {
    bool ok = false;
    const QFont f = QFontDialog::getFont(&ok, initial, owner, QStringLiteral("Font"));
    if (!ok)
        return std::nullopt;
    return f;
}

int QtDialogService::RunModal(QDialog* dialog) {
    return dialog ? dialog->exec() : QDialog::Rejected;
}

} // namespace kivra::platform
