#pragma once
// The dialog service for tests and the headless host: nothing is shown. Every request is
// recorded, and answered from a queue of answers, else with the safe answer: OK for a notice,
// No or Cancel for a question, Cancel for a file or font dialog or any other dialog.
//
// Answers are words: "ok", "cancel", "yes", "no" (any letter case), "apply" for a dialog with an
// Apply button (Apply, then OK), or any other text, which is a path for a file dialog, a font
// ("Family,pointsize" or a family name) for the font dialog, and the text of the first line edit
// of any other dialog (which is then accepted). A text given to a message box counts as no
// answer and it gets its safe answer.
//
// Each request can also be written to a stream, one line each:
//   [box] CAPTION: TEXT       (line breaks in TEXT written as \n)
//   [dialog] TITLE            (file dialogs "Save As" / "Open", "Font", else the window title)
//   [dialog] Menu             (a pop-up menu; a queued answer that is a command id picks it)

#include "dialogservice.h"

#include <QStringList>
#include <deque>
#include <ostream>
#include <vector>

namespace kivra::platform {

struct DialogRequest {
    enum class Kind { MessageBox, SaveFile, OpenFile, Font, Modal, Menu };
    Kind kind = Kind::MessageBox;
    QString caption; // box caption or dialog title
    QString text;    // box text; the default name of a save dialog
    unsigned flags = 0;
    QString filter;
    QFont font;     // the font a font dialog opened on
    QString answer; // the answer word used, empty when the safe answer was given
    int result = 0; // IDOK..IDNO for boxes; QDialog::Accepted/Rejected; a menu's chosen id
};

class ScriptedDialogService : public DialogService {
public:
    void QueueAnswer(const QString& answer) { m_answers.push_back(answer); }
    // Queues `text` for one control of the next dialog that runs, applied before its answer.
    // `key` is the control's id (its "controlId" property) or the text of the label in front of
    // it (mnemonic "&" and a trailing ":" ignored). An edit takes the text ("\n" between lines
    // of a multi-line edit), a check box "1"/"0", a list or combo box the entry with that text
    // (an editable combo takes any text). A check box or button may also be named by its own
    // text; a control on a tab page brings its page forward first; a control with the invokable
    // `bool applyFieldText(QString)` takes the text itself.
    void QueueField(const QString& key, const QString& text) { m_fields.push_back({key, text}); }
    // Puts `text` into the control of `dialog` that `key` names; false when none takes it.
    static bool ApplyField(QWidget* dialog, const QString& key, const QString& text);
    std::size_t PendingAnswers() const { return m_answers.size(); }
    // Lines for each request go here (nullptr: none).
    void SetEcho(std::ostream* out) { m_echo = out; }

    const std::vector<DialogRequest>& Requests() const { return m_requests; }
    void ClearRequests() { m_requests.clear(); }

    int MessageBox(QWidget* owner, const QString& text, const QString& caption,
                   unsigned flags) override;
    std::optional<QString> GetSaveFileName(QWidget* owner, const QString& defaultName,
                                           const QString& defaultExt,
                                           const QString& filter) override;
    std::optional<QString> GetOpenFileName(QWidget* owner, const QString& filter) override;
    std::optional<QFont> GetFont(QWidget* owner, const QFont& initial) override;
    int RunModal(QDialog* dialog) override;
    // Nothing is shown: the menu is answered at once with the enabled item whose id the queued
    // answer names, else with no choice. With SetShowMenus (pictures of a session) it is shown.
    void PopupMenu(QMenu* menu, const QPoint& at, std::function<void(int)> chosen) override;
    void SetShowMenus(bool show) { m_bShowMenus = show; }
    // Nothing is shown, so a modeless dialog is answered at once as a modal one.
    void ShowModeless(QDialog* dialog) override { RunModal(dialog); }

    // The box result for an answer word under these MB_ flags; the safe answer when `answer` is
    // empty or does not name one of the box's buttons.
    static int BoxResult(unsigned flags, const QString& answer);
    static int SafeBoxResult(unsigned flags);

private:
    QString TakeAnswer();
    void Echo(const QString& line);
    std::deque<QString> m_answers;
    std::vector<std::pair<QString, QString>> m_fields;
    std::vector<DialogRequest> m_requests;
    std::ostream* m_echo = nullptr;
    bool m_bShowMenus = false;
};

} // namespace kivra::platform
