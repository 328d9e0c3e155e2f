#include "inputline.h"

#include "codepage.h"
#include "dialogservice.h"
#include "insertsounddialog.h"
#include "inserturldialog.h"

#include <QApplication>
#include <QClipboard>
#include <QContextMenuEvent>
#include <QKeyEvent>
#include <QMenu>
#include <QPushButton>

namespace {

// One line of single-byte text: line breaks and other control characters would split the
// line or reach the server raw, so they become blanks.
QString OneLine(const QString& text) {
    QString out;
    out.reserve(text.size());
    for (int i = 0; i < text.size(); ++i) {
        const QChar c = text[i];
        if (c == QLatin1Char('\r') && i + 1 < text.size() && text[i + 1] == QLatin1Char('\n'))
            continue;
        out.append(c.unicode() < 0x20 || c.unicode() == 0x7F ? QLatin1Char(' ') : c);
    }
    return out;
}

} // namespace

CInputLine::CInputLine(CChatContext& context, IViewCommands& commands,
                       kivra::platform::DialogService& dialogs, QWidget* parent, int controlId)
    : QLineEdit(parent), m_context(context), m_commands(commands), m_dialogs(dialogs) {
    setObjectName(QString::number(controlId));
    setMaxLength(kMaxChars);
    // Arial 10 points in navy, with an indent of 100 twips (5 points).
    QFont font(QStringLiteral("Arial"));
    font.setPointSize(10);
    font.setBold(false);
    setFont(font);
    QPalette pal = palette();
    pal.setColor(QPalette::Text, QColor(0, 0, 128));
    setPalette(pal);
    setTextMargins(int(std::lround(5.0 * logicalDpiX() / 72.0)), 0, 0, 0);
}

std::array<QPushButton*, 3> CInputLine::CreateButtons(QWidget* parent) {
    struct ButtonDef {
        int id;
        const char* text;
        const char* tip;
    };
    static const ButtonDef defs[3] = {{ID_SEND, "Send", "Send Message"},
                                      {ID_EMOTE, "Emote", "Emote Message"},
                                      {ID_THINK, "Think", "Think Message"}};
    std::array<QPushButton*, 3> buttons{};
    for (int i = 0; i < 3; ++i) {
        auto* b = new QPushButton(QString::fromLatin1(defs[i].text), parent);
        b->setObjectName(QString::number(defs[i].id));
        b->setToolTip(QString::fromLatin1(defs[i].tip));
        b->setFocusPolicy(Qt::NoFocus);
        const int id = defs[i].id;
        connect(b, &QPushButton::clicked, this, [this, id] { OnButton(id); });
        buttons[std::size_t(i)] = b;
    }
    return buttons;
}

void CInputLine::OnButton(int id) {
    switch (id) {
    case ID_SEND:
        SendLine(QString(), false);
        break;
    case ID_EMOTE:
        SendLine(QStringLiteral("/emote "), false);
        break;
    case ID_THINK:
        SendLine(QStringLiteral("/think "), false);
        break;
    default:
        return;
    }
    setFocus();
}

bool CInputLine::SendLine(const QString& prefix, bool fromEnter) {
    if (!m_commands.IsConnected())
        return false;
    QString line = text();
    while (!line.isEmpty() && line.back().isSpace())
        line.chop(1);
    if (line.isEmpty()) {
        if (fromEnter)
            clear();
        return false;
    }
    // Typed text leaves in the wire's code page; a character it lacks goes as "?".
    m_commands.SendSay(kivra::platform::ToWireString(OneLine(prefix + line)) + "\r\n");
    clear();
    m_context.m_nScrollHold = 0;
    return true;
}

void CInputLine::Backspace() {
    const QString current = text();
    if (current.isEmpty())
        return;
    int start = cursorPosition();
    int end = start;
    if (hasSelectedText()) {
        start = selectionStart();
        end = start + int(selectedText().size());
    }
    if (start == 0 && end == 0) {
        setCursorPosition(0);
        return;
    }
    QString next = current;
    int at = start;
    if (start == end) {
        at = std::max(0, start - 1);
        next.remove(at, start - at);
    } else {
        next.remove(start, std::min(end - start, int(current.size())));
    }
    setText(next);
    setCursorPosition(at);
}

void CInputLine::PastePlain() {
    const QString clip = QApplication::clipboard()->text();
    if (!clip.isEmpty())
        insert(OneLine(clip));
}

void CInputLine::ReplaceSelection(const QString& text) {
    insert(OneLine(text));
}

QMenu* CInputLine::BuildContextMenu(QWidget* parent) {
    auto* menu = new QMenu(parent);
    const bool selection = hasSelectedText();
    const bool clip = !QApplication::clipboard()->text().isEmpty();
    const auto add = [menu](const char* text, int id, bool enabled) {
        QAction* a = menu->addAction(QString::fromLatin1(text));
        a->setData(id);
        a->setEnabled(enabled);
    };
    add("Cut", ID_CUT, selection);
    add("Copy", ID_COPY, selection);
    add("Paste", ID_PASTE, clip);
    menu->addSeparator();
    add("Insert URL", ID_INSERT_URL, true);
    add("Insert Sound", ID_INSERT_SOUND, true);
    return menu;
}

void CInputLine::OnCommand(int id) {
    switch (id) {
    case ID_CUT:
        cut();
        break;
    case ID_COPY:
        copy();
        break;
    case ID_PASTE:
        PastePlain();
        break;
    case ID_INSERT_URL: {
        CInsertUrlDialog dialog(this);
        if (m_dialogs.RunModal(&dialog) == QDialog::Accepted && !dialog.Markup().isEmpty())
            ReplaceSelection(dialog.Markup());
        setFocus();
        break;
    }
    case ID_INSERT_SOUND: {
        CInsertSoundDialog dialog(CInsertSoundDialog::SoundsFolder(m_context.m_pSettings), m_play,
                                  this);
        if (m_dialogs.RunModal(&dialog) == QDialog::Accepted && !dialog.Markup().isEmpty())
            ReplaceSelection(dialog.Markup());
        setFocus();
        break;
    }
    default:
        break;
    }
}

bool CInputLine::event(QEvent* e) {
    // Tab belongs to the line: it moves to the user list, not to the next widget in order.
    if (e->type() == QEvent::KeyPress && static_cast<QKeyEvent*>(e)->key() == Qt::Key_Tab) {
        if (auto* list = dynamic_cast<QWidget*>(m_context.m_pUserList))
            list->setFocus(Qt::TabFocusReason);
        return true;
    }
    return QLineEdit::event(e);
}

void CInputLine::keyPressEvent(QKeyEvent* e) {
    if (e->key() == Qt::Key_Return || e->key() == Qt::Key_Enter) {
        SendLine(QString(), true);
        return;
    }
    if (e->key() == Qt::Key_Backspace && e->modifiers() == Qt::NoModifier) {
        Backspace();
        return;
    }
    if (e->matches(QKeySequence::Paste)) {
        PastePlain();
        return;
    }
    QLineEdit::keyPressEvent(e);
}

void CInputLine::contextMenuEvent(QContextMenuEvent* e) {
    QMenu* menu = BuildContextMenu(this);
    QAction* chosen = menu->exec(e->globalPos());
    const int id = chosen ? chosen->data().toInt() : 0;
    delete menu;
    if (id)
        OnCommand(id);
}

void CInputLine::resizeEvent(QResizeEvent* e) {
    QLineEdit::resizeEvent(e);
    update();
}
