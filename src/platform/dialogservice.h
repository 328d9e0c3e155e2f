#pragma once
// The one way code above this layer asks the user something: message boxes, the open/save
// file dialogs, the font dialog and any other modal dialog. The Qt implementation shows real
// dialogs; the scripted one (tests, headless host) records every request and answers by rule.

#include <QDialog>
#include <QFont>
#include <QMenu>
#include <QString>
#include <functional>
#include <optional>

class QWidget;

namespace kivra::platform {

class DialogService {
public:
    virtual ~DialogService() = default;

    // `flags` take the MB_ values (buttons in the low nibble, icon in the next); the result is
    // IDOK, IDCANCEL, IDYES or IDNO.
    virtual int MessageBox(QWidget* owner, const QString& text, const QString& caption,
                           unsigned flags) = 0;

    // `filter` is written the classic way: "Text File (*.txt)|*.txt||". An empty result means
    // the user cancelled.
    virtual std::optional<QString> GetSaveFileName(QWidget* owner, const QString& defaultName,
                                                   const QString& defaultExt,
                                                   const QString& filter) = 0;
    virtual std::optional<QString> GetOpenFileName(QWidget* owner, const QString& filter) = 0;

    virtual std::optional<QFont> GetFont(QWidget* owner, const QFont& initial) = 0;

    // Runs `dialog` modally; returns its result (QDialog::Accepted or Rejected).
    virtual int RunModal(QDialog* dialog) = 0;

    // Shows the pop-up `menu` with its top left corner at the global point `at`, without waiting
    // for it; `chosen` gets the command id (the action's data) of the item picked. The service
    // owns the menu from here on and deletes it once it closes.
    virtual void PopupMenu(QMenu* menu, const QPoint& at, std::function<void(int)> chosen) {
        menu->setAttribute(Qt::WA_DeleteOnClose);
        QObject::connect(menu, &QMenu::triggered, menu,
                         [chosen](QAction* a) { chosen(a->data().toInt()); });
        menu->popup(at);
    }

    // Shows `dialog` without waiting for it (a modeless dialog the user keeps beside the chat).
    virtual void ShowModeless(QDialog* dialog) {
        if (dialog == nullptr)
            return;
        dialog->show();
        dialog->raise();
        dialog->activateWindow();
    }
};

} // namespace kivra::platform
