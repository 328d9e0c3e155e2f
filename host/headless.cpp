#include "headless.h"

#include "codepage.h"

#include <QSocketNotifier>

#include <cerrno>
#include <cstdlib>
#include <fcntl.h>
#include <unistd.h>

namespace kivra::host {

namespace {

bool StartsWith(const std::string& s, const char* prefix, std::string& rest) {
    const std::string p(prefix);
    if (s == p.substr(0, p.size() - 1) && p.back() == ' ') {
        rest.clear();
        return true;
    }
    if (s.compare(0, p.size(), p) != 0)
        return false;
    rest = s.substr(p.size());
    return true;
}
} // namespace

HeadlessCommand ParseHeadlessCommand(const std::string& line) {
    HeadlessCommand c;
    std::string rest;
    if (line.empty() || line[0] != '!') {
        c.text = line;
        return c;
    }
    if (StartsWith(line, "!emote ", rest)) {
        c.kind = HeadlessCommand::Kind::Emote;
        c.text = rest;
    } else if (StartsWith(line, "!think ", rest)) {
        c.kind = HeadlessCommand::Kind::Think;
        c.text = rest;
    } else if (StartsWith(line, "!command ", rest)) {
        char* end = nullptr;
        errno = 0;
        const long id = std::strtol(rest.c_str(), &end, 10);
        if (rest.empty() || *end != '\0' || errno != 0 || id < 0 || id > 65535) {
            c.kind = HeadlessCommand::Kind::Bad;
            c.text = "!command needs a command id from 0 to 65535";
        } else {
            c.kind = HeadlessCommand::Kind::Command;
            c.id = static_cast<int>(id);
        }
    } else if (StartsWith(line, "!select ", rest)) {
        c.kind = HeadlessCommand::Kind::Select;
        std::size_t start = 0;
        while (!rest.empty() && start <= rest.size()) {
            const std::size_t comma = rest.find(',', start);
            const std::string name =
                rest.substr(start, comma == std::string::npos ? std::string::npos : comma - start);
            if (!name.empty())
                c.names.push_back(name);
            if (comma == std::string::npos)
                break;
            start = comma + 1;
        }
    } else if (StartsWith(line, "!save ", rest)) {
        c.kind = rest.empty() ? HeadlessCommand::Kind::Bad : HeadlessCommand::Kind::Save;
        c.text = rest.empty() ? "!save needs a path" : rest;
    } else if (StartsWith(line, "!answer ", rest)) {
        c.kind = rest.empty() ? HeadlessCommand::Kind::Bad : HeadlessCommand::Kind::Answer;
        c.text = rest.empty() ? "!answer needs a word" : rest;
    } else if (StartsWith(line, "!field ", rest)) {
        const std::size_t eq = rest.find('=');
        if (eq == std::string::npos || eq == 0) {
            c.kind = HeadlessCommand::Kind::Bad;
            c.text = "!field needs KEY=TEXT";
        } else {
            c.kind = HeadlessCommand::Kind::Field;
            c.key = rest.substr(0, eq);
            c.text = rest.substr(eq + 1);
        }
    } else if (StartsWith(line, "!dump ", rest)) {
        c.kind = rest.empty() ? HeadlessCommand::Kind::Bad : HeadlessCommand::Kind::Dump;
        c.text = rest.empty() ? "!dump needs what to dump" : rest;
    } else if (StartsWith(line, "!emotion ", rest)) {
        c.kind = HeadlessCommand::Kind::Emotion;
        c.text = rest;
    } else if (StartsWith(line, "!perform ", rest)) {
        c.kind = rest.empty() ? HeadlessCommand::Kind::Bad : HeadlessCommand::Kind::Perform;
        c.text = rest.empty() ? "!perform needs an emotion" : rest;
    } else if (StartsWith(line, "!pm ", rest) || StartsWith(line, "!pmbutton ", rest)) {
        // The peer's name is one word: blanks in it are written "+", as on the wire.
        const bool button = line.compare(0, 10, "!pmbutton ") == 0 || line == "!pmbutton";
        const std::size_t blank = rest.find(' ');
        c.key = rest.substr(0, blank);
        c.text = blank == std::string::npos ? std::string() : rest.substr(blank + 1);
        if (c.key.empty()) {
            c.kind = HeadlessCommand::Kind::Bad;
            c.text = button ? "!pmbutton needs NAME ID" : "!pm needs NAME TEXT";
        } else if (button) {
            char* end = nullptr;
            errno = 0;
            const long id = std::strtol(c.text.c_str(), &end, 10);
            if (c.text.empty() || *end != '\0' || errno != 0 || id < 0 || id > 65535) {
                c.kind = HeadlessCommand::Kind::Bad;
                c.text = "!pmbutton needs NAME ID";
            } else {
                c.kind = HeadlessCommand::Kind::PmButton;
                c.id = static_cast<int>(id);
            }
        } else {
            c.kind = HeadlessCommand::Kind::Pm;
        }
    } else if (line == "!quit") {
        c.kind = HeadlessCommand::Kind::Quit;
    } else {
        c.kind = HeadlessCommand::Kind::Bad;
        c.text = "unknown command " + line.substr(0, line.find(' '));
    }
    return c;
}

HeadlessRunner::HeadlessRunner(kivra::control::IRazarScript* script,
                               kivra::platform::ScriptedDialogService& dialogs, bool quitOnEof,
                               std::function<void(int)> quit, std::ostream& errors, int inputFd)
    : m_pScript(script), m_dialogs(dialogs), m_bQuitOnEof(quitOnEof), m_quit(std::move(quit)),
      m_errors(errors), m_fd(inputFd) {
    ::fcntl(m_fd, F_SETFL, ::fcntl(m_fd, F_GETFL) | O_NONBLOCK);
    m_pInput = new QSocketNotifier(m_fd, QSocketNotifier::Read, this);
    connect(m_pInput, &QSocketNotifier::activated, this, [this] { OnReadable(); });
}

HeadlessRunner::~HeadlessRunner() = default;

void HeadlessRunner::OnReadable() {
    char buffer[4096];
    while (true) {
        const ssize_t n = ::read(m_fd, buffer, sizeof buffer);
        if (n > 0) {
            m_pending.append(buffer, static_cast<std::size_t>(n));
            std::size_t nl;
            while ((nl = m_pending.find('\n')) != std::string::npos) {
                std::string line = m_pending.substr(0, nl);
                m_pending.erase(0, nl + 1);
                if (!line.empty() && line.back() == '\r')
                    line.pop_back();
                RunLine(line);
                if (m_pInput == nullptr)
                    return; // the line ended the program
            }
            continue;
        }
        if (n < 0 && (errno == EAGAIN || errno == EINTR))
            return;
        // End of input (or an input that cannot be read any more).
        m_pInput->setEnabled(false);
        if (!m_pending.empty()) {
            std::string line;
            line.swap(m_pending);
            RunLine(line);
        }
        if (m_bQuitOnEof && m_pInput != nullptr)
            m_quit(0);
        return;
    }
}

void HeadlessRunner::RunLine(const std::string& line) {
    const HeadlessCommand c = ParseHeadlessCommand(line);
    using K = HeadlessCommand::Kind;
    auto report = [this](bool done, const char* what) {
        if (!done)
            m_errors << "kivra: " << what << std::endl;
    };
    switch (c.kind) {
    case K::Say:
        report(m_pScript && m_pScript->TypeLine(c.text), "there is no input line to type into");
        break;
    case K::Emote:
    case K::Think:
        report(m_pScript && m_pScript->TypeStyledLine(c.text, c.kind == K::Emote),
               "there is no input line to type into");
        break;
    case K::Command:
        if (m_pScript)
            m_pScript->RunCommand(c.id);
        break;
    case K::Select:
        report(m_pScript && m_pScript->SelectUsers(c.names), "there is no user list to select in");
        break;
    case K::Save:
        // The path answers the save dialog only; without a view it must not answer a later box.
        if (!(m_pScript && m_pScript->CanSaveTranscript())) {
            report(false, "there is no output view to save");
            break;
        }
        m_dialogs.QueueAnswer(kivra::platform::FromWire(c.text));
        m_pScript->SaveTranscript();
        break;
    case K::Answer:
        m_dialogs.QueueAnswer(kivra::platform::FromWire(c.text));
        break;
    case K::Field:
        m_dialogs.QueueField(kivra::platform::FromWire(c.key), kivra::platform::FromWire(c.text));
        break;
    case K::Dump: {
        std::vector<std::string> lines;
        if (!(m_pScript && m_pScript->Dump(c.text, lines))) {
            m_errors << "kivra: cannot dump " << c.text << std::endl;
            break;
        }
        for (const std::string& l : lines)
            m_errors << l << '\n';
        m_errors << "[end " << c.text << "]" << std::endl;
        break;
    }
    case K::Emotion:
    case K::Perform: {
        const bool done = m_pScript && (c.kind == K::Emotion ? m_pScript->SelectEmotion(c.text)
                                                             : m_pScript->PerformEmotion(c.text));
        if (!done)
            m_errors << "kivra: no emotion " << c.text << " in the emotions list" << std::endl;
        break;
    }
    case K::Pm:
        if (!(m_pScript && m_pScript->TypePrivate(c.key, c.text)))
            m_errors << "kivra: no private-message window for " << c.key << std::endl;
        break;
    case K::PmButton:
        if (!(m_pScript && m_pScript->PressPrivateButton(c.key, c.id)))
            m_errors << "kivra: no button " << c.id << " in a private-message window for " << c.key
                     << std::endl;
        break;
    case K::Quit:
        m_pInput->setEnabled(false);
        m_pInput = nullptr;
        m_quit(0);
        break;
    case K::Bad:
        m_errors << "kivra: " << c.text << std::endl;
        break;
    }
}

} // namespace kivra::host
