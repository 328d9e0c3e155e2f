#include "scripteddialogservice.h"

#include "codepage.h"
#include "qtdialogservice.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDialog>
#include <QDialogButtonBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QStackedWidget>
#include <QTabWidget>
#include <QTextEdit>

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

namespace {
QString LabelKey(QString text) {
    text.remove(QLatin1Char('&'));
    text = text.trimmed();
    if (text.endsWith(QLatin1Char(':')))
        text.chop(1);
    return text.trimmed();
}

QWidget* FindFieldControl(QWidget* dialog, const QString& key) {
    bool numeric = false;
    const int id = key.toInt(&numeric);
    if (numeric) {
        for (QWidget* w : dialog->findChildren<QWidget*>())
            if (w->property("controlId").isValid() && w->property("controlId").toInt() == id)
                return w;
    }
    for (QLabel* label : dialog->findChildren<QLabel*>())
        if (label->buddy() &&
            LabelKey(label->text()).compare(LabelKey(key), Qt::CaseInsensitive) == 0)
            return label->buddy();
    // A check box or button carries its own text.
    for (QAbstractButton* button : dialog->findChildren<QAbstractButton*>())
        if (!button->text().isEmpty() &&
            LabelKey(button->text()).compare(LabelKey(key), Qt::CaseInsensitive) == 0)
            return button;
    return nullptr;
}

// A control on a page of a tabbed dialog is reached as the user reaches it: its page comes to
// the front first (and fills itself).
void BringPageForward(QWidget* control, QWidget* dialog) {
    for (QWidget* w = control; w != nullptr && w != dialog; w = w->parentWidget()) {
        auto* stack = qobject_cast<QStackedWidget*>(w->parentWidget());
        auto* tabs = stack ? qobject_cast<QTabWidget*>(stack->parentWidget()) : nullptr;
        if (tabs != nullptr && tabs->currentWidget() != w)
            tabs->setCurrentWidget(w);
    }
}

// The Apply button of a dialog's button box, or null.
QPushButton* ApplyButton(QWidget* dialog) {
    for (QDialogButtonBox* box : dialog->findChildren<QDialogButtonBox*>())
        if (QPushButton* apply = box->button(QDialogButtonBox::Apply))
            return apply;
    return nullptr;
}
} // namespace

bool ScriptedDialogService::ApplyField(QWidget* dialog, const QString& key, const QString& text) {
    QWidget* w = dialog ? FindFieldControl(dialog, key) : nullptr;
    if (w != nullptr)
        BringPageForward(w, dialog);
    // A control of our own may take script text itself.
    if (w != nullptr && w->metaObject()->indexOfMethod("applyFieldText(QString)") >= 0) {
        bool taken = false;
        QMetaObject::invokeMethod(w, "applyFieldText", Qt::DirectConnection,
                                  Q_RETURN_ARG(bool, taken), Q_ARG(QString, text));
        return taken;
    }
    if (auto* edit = qobject_cast<QLineEdit*>(w)) {
        edit->setText(text);
    } else if (auto* plain = qobject_cast<QPlainTextEdit*>(w)) {
        plain->setPlainText(QString(text).replace(QLatin1String("\\n"), QLatin1String("\n")));
    } else if (auto* rich = qobject_cast<QTextEdit*>(w)) {
        rich->setPlainText(QString(text).replace(QLatin1String("\\n"), QLatin1String("\n")));
    } else if (auto* check = qobject_cast<QCheckBox*>(w)) {
        check->setChecked(text.trimmed() == QLatin1String("1"));
    } else if (auto* combo = qobject_cast<QComboBox*>(w)) {
        const int index = combo->findText(text);
        if (index >= 0)
            combo->setCurrentIndex(index);
        else if (combo->isEditable())
            combo->setEditText(text);
        else
            return false;
    } else if (auto* button = qobject_cast<QPushButton*>(w)) {
        // A push button is pressed by `1`, as a user would press it before the answer.
        if (text.trimmed() != QLatin1String("1"))
            return false;
        button->click();
    } else if (auto* list = qobject_cast<QListWidget*>(w)) {
        const QList<QListWidgetItem*> found = list->findItems(text, Qt::MatchExactly);
        if (found.isEmpty())
            return false;
        list->setCurrentItem(found.front());
    } else {
        return false;
    }
    return true;
}

int ScriptedDialogService::RunModal(QDialog* dialog) {
    DialogRequest r;
    r.kind = DialogRequest::Kind::Modal;
    r.caption = dialog ? dialog->windowTitle() : QString();
    r.answer = TakeAnswer();
    Echo(QStringLiteral("[dialog] %1").arg(r.caption));
    std::vector<std::pair<QString, QString>> fields;
    fields.swap(m_fields);
    for (const auto& [key, text] : fields)
        if (!ApplyField(dialog, key, text))
            Echo(QStringLiteral("kivra: no control %1 in %2").arg(key, r.caption));
    QPushButton* apply = dialog ? ApplyButton(dialog) : nullptr;
    if (dialog && apply != nullptr && IsWord(r.answer, "apply")) {
        // Apply, then OK.
        apply->click();
        dialog->accept();
        r.result = dialog->result();
    } else if (dialog) {
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

void ScriptedDialogService::PopupMenu(QMenu* menu, const QPoint& at,
                                      std::function<void(int)> chosen) {
    if (m_bShowMenus) {
        DialogService::PopupMenu(menu, at, std::move(chosen));
        return;
    }
    DialogRequest r;
    r.kind = DialogRequest::Kind::Menu;
    r.caption = QStringLiteral("Menu");
    r.answer = TakeAnswer();
    Echo(QStringLiteral("[dialog] Menu"));
    bool isId = false;
    const int wanted = r.answer.toInt(&isId);
    std::function<bool(const QMenu*)> offers = [&](const QMenu* m) {
        const QList<QAction*> actions = m->actions();
        for (const QAction* a : actions) {
            if (!a->isEnabled() || a->isSeparator())
                continue;
            if (a->menu() != nullptr ? offers(a->menu()) : a->data().toInt() == wanted)
                return true;
        }
        return false;
    };
    r.result = isId && wanted != 0 && offers(menu) ? wanted : 0;
    delete menu;
    m_requests.push_back(r);
    if (r.result != 0)
        chosen(r.result);
}

} // namespace kivra::platform
