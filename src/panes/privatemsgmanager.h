#pragma once
// CPrivateMsgManager: the panel's private-message windows, one per peer under the peer's name
// key, with the count of open windows and its maximum ("MAX PM", held by the context). Incoming
// tells reach it through IPrivateWindowMap; the user starts conversations from the user list's
// selection or by typing a name into "Send To:".

#include "chatinterfaces.h"

#include <QPointer>
#include <functional>
#include <map>
#include <string>
#include <vector>

class CChatContext;
class CPrivateMsgWnd;
class CUserActions;
class IViewCommands;
class QWidget;
namespace kivra::platform {
class DialogService;
}

class CPrivateMsgManager : public IPrivateWindowMap {
public:
    enum : int { IDD_SENDTO = 283 };

    // The windows become top-level children of `owner`.
    CPrivateMsgManager(CChatContext& context, IViewCommands& commands, CUserActions& actions,
                       kivra::platform::DialogService& dialogs, QWidget* owner);
    ~CPrivateMsgManager() override;

    // Told after a window opened (shown, counted, mapped) and after one closed (display name).
    std::function<void(CPrivateMsgWnd*)> m_onOpened;
    std::function<void(const std::string& name)> m_onClosed;

    // IPrivateWindowMap
    IPrivateWindow* Find(const std::string& key) override;
    int OpenCount() const override { return m_nOpenCount; }
    IPrivateWindow* Create(const std::string& name, const std::string& key) override;

    // The window for an incoming tell from `name`: the open one, else a new one while below the
    // maximum (the focus on its Close button), else null.
    CPrivateMsgWnd* OpenOrFind(const std::string& name);
    // Starts conversations with `names` (display names in list order); with none, asks for the
    // recipient in "Send To:". Nothing happens while not connected.
    void StartWithSelection(const std::vector<std::string>& names);

    CPrivateMsgWnd* Window(const std::string& name) const;
    // The open windows in the order they opened.
    std::vector<CPrivateMsgWnd*> Windows() const;

    // Called by a window as it closes: forgets and uncounts it.
    void OnWindowClosed(CPrivateMsgWnd* window);
    CUserActions& Actions() { return m_actions; }

private:
    CPrivateMsgWnd* Open(const std::string& name, const std::string& key);
    void StartWithName(const std::string& name);

    struct Entry {
        QPointer<CPrivateMsgWnd> window;
        unsigned long long order = 0;
    };
    CChatContext& m_context;
    IViewCommands& m_commands;
    CUserActions& m_actions;
    kivra::platform::DialogService& m_dialogs;
    QWidget* m_pOwner;
    std::map<std::string, Entry> m_windows;
    int m_nOpenCount = 0;
    unsigned long long m_nNextOrder = 0;
};
