#include "scripteddialogservice.h"

#include "codepage.h"
#include "qtdialogservice.h"

#include <QDialog>
#include <QLineEdit>

namespace kivra::platform {

namespace {

// The MB_ and ID values the callers pass and expect (this layer sits below their header).
constexpr unsigned MB_OK = 0x0, MB_OKCANCEL = 0x1, MB_YESNO = 0x4;
constexpr int IDOK = 1, IDCANCEL = 2, IDYES = 6, IDNO = 7;

QString Folded(const QString& s) {
    return s.trimmed().toLower();
}

bool IsWord(const QString& answer, const char* word) {
    return Folded(answer) == word;
}

bool IsAnyWord(const QString& answer) {
    return IsWord(answer, "ok") || IsWord(answer, "cancel") || IsWord(answer, "yes") ||
           IsWord(answer, "no");
}

bool IsPositive(const QString& answer) {
    return IsWord(answer, "ok") || IsWord(answer, "yes");
}

} // namespace

int ScriptedDialogService::SafeBoxResult(unsigned flags) {
    switch (flags & 0x0F) {
    case MB_OK:
        return IDOK;
    case MB_YESNO:
        return IDNO;
    default: // OK/Cancel, Yes/No/Cancel, Retry/Cancel, ...
        return IDCANCEL;
    }
}

int ScriptedDialogService::BoxResult(unsigned flags, const QString& answer) {
    const unsigned buttons = flags & 0x0F;
    const QString a = Folded(answer);
    switch (buttons) {
    case MB_OK:
        return IDOK;
    case MB_OKCANCEL:
        if (a == "ok" || a == "yes")
            return IDOK;
        if (a == "cancel" || a == "no")
            return IDCANCEL;
        break;
    case MB_YESNO:
        if (a == "yes" || a == "ok")
            return IDYES;
        if (a == "no" || a == "cancel")
            return IDNO;
        break;
    case 0x3: // Yes/No/Cancel
        if (a == "yes" || a == "ok")
            return IDYES;
        if (a == "no")
            return IDNO;
        if (a == "cancel")
            return IDCANCEL;
        break;
    default:
        break;
    }
    return SafeBoxResult(flags);
}

QString ScriptedDialogService::TakeAnswer() {
    if (m_answers.empty())
        return {};
    QString a = m_answers.front();
    m_answers.pop_front();
    return a;
}

void ScriptedDialogService::Echo(const QString& line) {
    if (m_echo)
        *m_echo << ToWireString(line) << std::endl;
}

int ScriptedDialogService::MessageBox(QWidget*, const QString& text, const QString& caption,
                                      unsigned flags) {
    DialogRequest r;
    r.kind = DialogRequest::Kind::MessageBox;
    r.caption = caption;
    r.text = text;
    r.flags = flags;
    const QString answer = TakeAnswer();
    r.answer = IsAnyWord(answer) ? Folded(answer) : QString();
    r.result = BoxResult(flags, r.answer);
    QString shown = text;
    shown.replace(QLatin1String("\r\n"), QLatin1String("\n"));
    shown.replace(QLatin1Char('\r'), QLatin1Char('\n'));
    shown.replace(QLatin1Char('\n'), QLatin1String("\\n"));
    Echo(QStringLiteral("[box] %1: %2").arg(caption, shown));
    m_requests.push_back(r);
    return r.result;
}

std::optional<QString> ScriptedDialogService::GetSaveFileName(QWidget*, const QString& defaultName,
                                                              const QString& defaultExt,
                                                              const QString& filter) {
    DialogRequest r;
    r.kind = DialogRequest::Kind::SaveFile;
    r.caption = QStringLiteral("Save As");
    r.text = defaultName;
    r.filter = filter;
    r.answer = TakeAnswer();
    std::optional<QString> chosen;
    if (IsPositive(r.answer)) {
        if (!defaultName.isEmpty())
            chosen = defaultName;
    } else if (!r.answer.isEmpty() && !IsAnyWord(r.answer)) {
        chosen = r.answer;
    }
    // As the Qt save dialog does: the default suffix goes to a name that has none.
    const QString suffix = DefaultSuffix(defaultExt);
    if (chosen && !suffix.isEmpty() && !chosen->section(QLatin1Char('/'), -1).contains('.'))
        *chosen += QLatin1Char('.') + suffix;
    r.result = chosen ? QDialog::Accepted : QDialog::Rejected;
    Echo(QStringLiteral("[dialog] %1").arg(r.caption));
    m_requests.push_back(r);
    return chosen;
}

std::optional<QString> ScriptedDialogService::GetOpenFileName(QWidget*, const QString& filter) {
    DialogRequest r;
    r.kind = DialogRequest::Kind::OpenFile;
    r.caption = QStringLiteral("Open");
    r.filter = filter;
    r.answer = TakeAnswer();
    std::optional<QString> chosen;
    if (!r.answer.isEmpty() && !IsAnyWord(r.answer))
        chosen = r.answer;
    r.result = chosen ? QDialog::Accepted : QDialog::Rejected;
    Echo(QStringLiteral("[dialog] %1").arg(r.caption));
    m_requests.push_back(r);
    return chosen;
}

std::optional<QFont> ScriptedDialogService::GetFont(QWidget*, const QFont& initial) {
    DialogRequest r;
    r.kind = DialogRequest::Kind::Font;
    r.caption = QStringLiteral("Font");
    r.font = initial;
    r.answer = TakeAnswer();
    std::optional<QFont> chosen;
    if (IsPositive(r.answer)) {
        chosen = initial;
    } else if (!r.answer.isEmpty() && !IsAnyWord(r.answer)) {
        QFont f = initial;
        const QStringList parts = r.answer.split(QLatin1Char(','));
        f.setFamily(parts.value(0).trimmed());
        bool ok = false;
        const double points = parts.value(1).trimmed().toDouble(&ok);
        if (ok && points > 0)
            f.setPointSizeF(points);
        chosen = f;
    }
    r.result = chosen ? QDialog::Accepted : QDialog::Rejected;
    Echo(QStringLiteral("[dialog] %1").arg(r.caption));
    m_requests.push_back(r);
    return chosen;
}

int ScriptedDialogService::RunModal(QDialog* dialog) {
    DialogRequest r;
    r.kind = DialogRequest::Kind::Modal;
    r.caption = dialog ? dialog->windowTitle() : QString();
    r.answer = TakeAnswer();
    Echo(QStringLiteral("[dialog] %1").arg(r.caption));
    if (dialog) {
        if (!r.answer.isEmpty() && !IsAnyWord(r.answer)) {
            if (auto* edit = dialog->findChild<QLineEdit*>())
                edit->setText(r.answer);
            dialog->accept();
        } else if (IsPositive(r.answer)) {
            dialog->accept();
        } else {
            dialog->reject();
        }
        // accept() may be refused by the dialog's own checks; its result says what happened.
        r.result = dialog->result();
    } else {
        r.result = QDialog::Rejected;
    }
    m_requests.push_back(r);
    return r.result;
}

} // namespace kivra::platform
