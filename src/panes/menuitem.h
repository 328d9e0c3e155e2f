#pragma once
// A pop-up menu item that carries its command id, as every pane's menu builds them.

#include <QAction>
#include <QMenu>
#include <QString>

inline QAction* AddMenuItem(QMenu* menu, const QString& text, int id, bool enabled = true) {
    QAction* a = menu->addAction(text);
    a->setData(id);
    a->setEnabled(enabled);
    return a;
}
