#pragma once
// The process-wide keyboard routing of the chat panel: an application-wide event filter that
// keeps Tab, Backspace and the Ctrl shortcuts with the output view and the input line, whatever
// the embedding host would otherwise do with them. One per process; it serves the one live panel.

#include <QObject>
#include <QPointer>

class QKeyEvent;
class QWidget;

namespace kivra::control {

// What the hook needs from the panel it serves.
class IKeyboardHookTarget {
public:
    virtual ~IKeyboardHookTarget() = default;
    virtual QWidget* HookOutputView() = 0;
    virtual QWidget* HookInputLine() = 0;
    // The private-message windows, first to last; empty when none exist.
    virtual QList<QWidget*> HookPrivateWindows() = 0;
    virtual bool& HookCtrlDown() = 0;
};

class CKeyboardHook : public QObject {
public:
    // Installs the hook once per process; a second call keeps the first. False when it cannot
    // be installed (no application object).
    static bool Install();
    static void Uninstall();
    static bool IsInstalled();
    // The panel the hook serves; null for none.
    static void SetTarget(IKeyboardHookTarget* target);
    static IKeyboardHookTarget* Target();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    CKeyboardHook() = default;
    bool OnKey(QKeyEvent* key, bool pressed);
    void Deliver(QWidget* to, int key, const QString& text);

    bool m_bDelivering = false;
};

} // namespace kivra::control
