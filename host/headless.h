#pragma once
// The scriptable face of the headless host: one command a line on standard input, driving the
// control's panel and answering its boxes and dialogs.

#include "razarsite.h"
#include "scripteddialogservice.h"

#include <QObject>
#include <functional>
#include <ostream>
#include <string>

class QSocketNotifier;

namespace kivra::host {

// What one input line asks for.
struct HeadlessCommand {
    enum class Kind {
        Say,
        Emote,
        Think,
        Command,
        Select,
        Save,
        Answer,
        Field,
        Dump,
        Emotion,
        Perform,
        Pm,
        PmButton,
        Quit,
        Bad
    };
    Kind kind = Kind::Say;
    std::string text;               // Say/Emote/Think text, Save path, Answer word, Bad reason,
                                    // Field text, Dump subject, Emotion/Perform word
    std::string key;                // Field control; Pm/PmButton peer name
    int id = 0;                     // Command, PmButton
    std::vector<std::string> names; // Select
};
HeadlessCommand ParseHeadlessCommand(const std::string& line);

class HeadlessRunner : public QObject {
public:
    // `quit` destroys the control and ends the program with this exit status.
    HeadlessRunner(kivra::control::IRazarScript* script,
                   kivra::platform::ScriptedDialogService& dialogs, bool quitOnEof,
                   std::function<void(int)> quit, std::ostream& errors, int inputFd = 0);
    ~HeadlessRunner() override;

    // Runs one input line (without its line end).
    void RunLine(const std::string& line);

private:
    void OnReadable();

    kivra::control::IRazarScript* m_pScript;
    kivra::platform::ScriptedDialogService& m_dialogs;
    bool m_bQuitOnEof;
    std::function<void(int)> m_quit;
    std::ostream& m_errors;
    int m_fd;
    std::string m_pending;
    QSocketNotifier* m_pInput = nullptr;
};

} // namespace kivra::host
