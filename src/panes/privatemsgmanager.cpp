#include "privatemsgmanager.h"

#include "chatcontext.h"
#include "codepage.h"
#include "dialogservice.h"
#include "linedlg.h"
#include "namekeylist.h"
#include "privatemsgwnd.h"
#include "useractions.h"
#include "viewcommands.h"

#include <QLineEdit>
#include <QPushButton>
#include <algorithm>

using kivra::platform::FromWire;

namespace {

// "Send To:": the one name a conversation is started with when nobody is selected.
class CSendToDlg : public CLineDlg {
public:
    explicit CSendToDlg(QWidget* parent)
        : CLineDlg(QStringLiteral("Send To:"), QStringLiteral("&Name:"), 0, 255, parent) {}
    std::string Name() const {
        return CUserActions::CleanName(kivra::platform::ToWireString(Field()->text().trimmed()));
    }
};

} // namespace

CPrivateMsgManager::CPrivateMsgManager(CChatContext& context, IViewCommands& commands,
                                       CUserActions& actions,
                                       kivra::platform::DialogService& dialogs, QWidget* owner)
    : m_context(context), m_commands(commands), m_actions(actions), m_dialogs(dialogs),
      m_pOwner(owner) {}

CPrivateMsgManager::~CPrivateMsgManager() {
    // The windows go with the manager, quietly: nobody is told of a conversation that ends
    // because the panel ends.
    for (auto& [key, entry] : m_windows)
        delete entry.window.data();
}

IPrivateWindow* CPrivateMsgManager::Find(const std::string& key) {
    return Window(key);
}

CPrivateMsgWnd* CPrivateMsgManager::Window(const std::string& name) const {
    const auto it = m_windows.find(MakeNameKey(name));
    return it == m_windows.end() ? nullptr : it->second.window.data();
}

std::vector<CPrivateMsgWnd*> CPrivateMsgManager::Windows() const {
    std::vector<const Entry*> entries;
    for (const auto& [key, entry] : m_windows)
        if (entry.window)
            entries.push_back(&entry);
    std::sort(entries.begin(), entries.end(),
              [](const Entry* a, const Entry* b) { return a->order < b->order; });
    std::vector<CPrivateMsgWnd*> out;
    for (const Entry* e : entries)
        out.push_back(e->window.data());
    return out;
}

IPrivateWindow* CPrivateMsgManager::Create(const std::string& name, const std::string& /*key*/) {
    // The window is filed under the name's own key whatever key the caller built, and the
    // limit holds here too: one peer, one window, never more than "MAX PM".
    return OpenOrFind(name);
}

CPrivateMsgWnd* CPrivateMsgManager::Open(const std::string& name, const std::string& key) {
    if (CUserActions::WireName(name).empty())
        return nullptr;
    auto* window = new CPrivateMsgWnd(*this, m_context, m_commands, m_dialogs, name, m_pOwner);
    m_windows[key] = Entry{window, m_nNextOrder++};
    ++m_nOpenCount;
    window->show();
    if (m_onOpened)
        m_onOpened(window);
    return window;
}

CPrivateMsgWnd* CPrivateMsgManager::OpenOrFind(const std::string& name) {
    if (CPrivateMsgWnd* open = Window(name))
        return open;
    if (m_nOpenCount >= m_context.m_nMaxPM)
        return nullptr;
    CPrivateMsgWnd* window = Open(name, MakeNameKey(name));
    if (window)
        window->Button(CPrivateMsgWnd::IDC_CLOSE)->setFocus();
    return window;
}

void CPrivateMsgManager::OnWindowClosed(CPrivateMsgWnd* window) {
    for (auto it = m_windows.begin(); it != m_windows.end(); ++it) {
        if (it->second.window == window) {
            m_windows.erase(it);
            --m_nOpenCount;
            if (m_onClosed)
                m_onClosed(window->DisplayName());
            return;
        }
    }
}

void CPrivateMsgManager::StartWithSelection(const std::vector<std::string>& names) {
    if (!m_commands.IsConnected())
        return;
    if (names.empty()) {
        CSendToDlg dialog(m_pOwner);
        if (m_dialogs.RunModal(&dialog) != QDialog::Accepted)
            return;
        const std::string name = dialog.Name();
        if (!name.empty())
            StartWithName(name);
        return;
    }
    for (const std::string& name : names) {
        const std::string wire = CUserActions::WireName(name);
        if (wire.empty() || m_commands.IsIgnoring(wire) || m_actions.IsOwnName(name))
            continue;
        if (CPrivateMsgWnd* open = Window(name)) {
            open->RestoreAndActivate();
            continue;
        }
        if (m_nOpenCount >= m_context.m_nMaxPM)
            return;
        if (CPrivateMsgWnd* window = Open(name, MakeNameKey(name)))
            window->InputField()->setFocus();
    }
}

void CPrivateMsgManager::StartWithName(const std::string& name) {
    // A conversation already open is only brought to the front: the limit is about new windows.
    if (CPrivateMsgWnd* open = Window(name)) {
        open->RestoreAndActivate();
        return;
    }
    if (m_nOpenCount >= m_context.m_nMaxPM) {
        m_dialogs.MessageBox(m_pOwner,
                             QStringLiteral("There is a maximum limit of %1 open private message "
                                            "windows.")
                                 .arg(m_context.m_nMaxPM),
                             QStringLiteral("Max Private Messages reached."),
                             MB_OK | MB_ICONEXCLAMATION);
        return;
    }
    if (MakeNameKey(name) == MakeNameKey(m_context.UserName()))
        return;
    if (m_commands.IsIgnoring(CUserActions::WireName(name))) {
        m_dialogs.MessageBox(m_pOwner,
                             QStringLiteral("You are currently ignoring %1.").arg(FromWire(name)),
                             QStringLiteral("Notice!!"), MB_OK);
        return;
    }
    if (CPrivateMsgWnd* window = Open(name, MakeNameKey(name))) {
        window->RestoreAndActivate();
        window->InputField()->setFocus();
    }
}
