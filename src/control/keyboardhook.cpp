#include "keyboardhook.h"

#include <QApplication>
#include <QKeyEvent>
#include <QWidget>

namespace kivra::control {

namespace {
CKeyboardHook* g_pHook = nullptr;
IKeyboardHookTarget* g_pTarget = nullptr;

bool HasFocusIn(QWidget* pane, QWidget* focus) {
    return pane != nullptr && focus != nullptr && (focus == pane || pane->isAncestorOf(focus));
}

void Invoke(QWidget* pane, QWidget* focus, const char* slot) {
    // The pane may be a compound widget whose editor is the focused child.
    if (focus != nullptr && QMetaObject::invokeMethod(focus, slot))
        return;
    QMetaObject::invokeMethod(pane, slot);
}
} // namespace

bool CKeyboardHook::Install() {
    if (g_pHook != nullptr)
        return true;
    if (QCoreApplication::instance() == nullptr)
        return false;
    g_pHook = new CKeyboardHook;
    QCoreApplication::instance()->installEventFilter(g_pHook);
    return true;
}

void CKeyboardHook::Uninstall() {
    if (g_pHook == nullptr)
        return;
    if (QCoreApplication::instance() != nullptr)
        QCoreApplication::instance()->removeEventFilter(g_pHook);
    delete g_pHook;
    g_pHook = nullptr;
}

bool CKeyboardHook::IsInstalled() {
    return g_pHook != nullptr;
}
void CKeyboardHook::SetTarget(IKeyboardHookTarget* target) {
    g_pTarget = target;
}
IKeyboardHookTarget* CKeyboardHook::Target() {
    return g_pTarget;
}

bool CKeyboardHook::eventFilter(QObject* watched, QEvent* event) {
    if (m_bDelivering || g_pTarget == nullptr)
        return QObject::eventFilter(watched, event);
    // Every key event passes the application filter once per widget it propagates to; the
    // routing acts on the one addressed to the focus widget.
    if ((event->type() == QEvent::KeyPress || event->type() == QEvent::KeyRelease) &&
        watched == QApplication::focusWidget())
        return OnKey(static_cast<QKeyEvent*>(event), event->type() == QEvent::KeyPress);
    return QObject::eventFilter(watched, event);
}

void CKeyboardHook::Deliver(QWidget* to, int key, const QString& text) {
    m_bDelivering = true;
    QKeyEvent press(QEvent::KeyPress, key, Qt::NoModifier, text);
    QCoreApplication::sendEvent(to, &press);
    m_bDelivering = false;
}

bool CKeyboardHook::OnKey(QKeyEvent* key, bool pressed) {
    bool& ctrlDown = g_pTarget->HookCtrlDown();
    if (!pressed) {
        if (key->key() == Qt::Key_Control) {
            ctrlDown = false;
            return true;
        }
        return false;
    }
    QWidget* focus = QApplication::focusWidget();
    QWidget* output = g_pTarget->HookOutputView();
    QWidget* input = g_pTarget->HookInputLine();
    const bool ctrl = ctrlDown || (key->modifiers() & Qt::ControlModifier);
    if (HasFocusIn(output, focus)) {
        switch (key->key()) {
        case Qt::Key_Backspace:
            Deliver(focus, Qt::Key_Backspace, QStringLiteral("\b"));
            return true;
        case Qt::Key_Tab:
            if (input != nullptr)
                input->setFocus(Qt::TabFocusReason);
            return true;
        case Qt::Key_Control:
            ctrlDown = true;
            return true;
        case Qt::Key_C:
            if (!ctrl)
                return false;
            Invoke(output, focus, "copy");
            return true;
        default:
            return false;
        }
    }
    if (HasFocusIn(input, focus)) {
        switch (key->key()) {
        case Qt::Key_Backspace:
            Deliver(focus, Qt::Key_Backspace, QStringLiteral("\b"));
            return true;
        case Qt::Key_Tab:
            return true;
        case Qt::Key_Control:
            ctrlDown = true;
            return true;
        case Qt::Key_C:
        case Qt::Key_V:
        case Qt::Key_X:
            if (!ctrl)
                return false;
            Invoke(input, focus,
                   key->key() == Qt::Key_C ? "copy" : (key->key() == Qt::Key_V ? "paste" : "cut"));
            return true;
        default:
            return false;
        }
    }
    if (key->key() == Qt::Key_Tab) {
        const QList<QWidget*> windows = g_pTarget->HookPrivateWindows();
        for (QWidget* window : windows) {
            if (HasFocusIn(window, focus)) {
                Deliver(focus, Qt::Key_Tab, QStringLiteral("\t"));
                return true;
            }
        }
    }
    return false;
}

} // namespace kivra::control
