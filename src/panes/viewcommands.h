#pragma once
// What the output view and the input line need from the rest of the control besides the
// shared state block: the protocol object's queries and sends, and the panes that come later
// (goto dialog, emotions list, file transfer). CContextCommands answers them through
// CChatContext; tests answer them with a recorder.

#include <functional>
#include <string>
#include <vector>

class CChatContext;

class IViewCommands {
public:
    virtual ~IViewCommands() = default;
    virtual bool IsConnected() const = 0;
    virtual bool IsIgnoring(const std::string& name) const = 0;
    virtual bool IsWatching(const std::string& name) const = 0;
    // True when `name` is among the users following this user.
    virtual bool IsFollowingMe(const std::string& name) const = 0;
    // The emotion selected in the emotions list, empty when none.
    virtual std::string SelectedEmotion() const = 0;
    // 0: no peer transfer facility, 1: idle, 2: a transfer is running.
    virtual int TransferState() const = 0;

    virtual void SendSay(const std::string& line) = 0;
    virtual void RequestUsers() = 0;
    virtual void DoMenuCommand(int listId, int index) = 0;
    // The first `max` entries of the protocol's name list `listId` (144: the exits) in list
    // order, for a menu: each entry's first letter is upper-cased in the list itself first, so
    // the command later sent for it is the text that was shown.
    virtual std::vector<std::string> MenuEntries(int listId, int max) = 0;
    // False while no goto dialog exists to open.
    virtual bool CanOpenGotoDialog() const = 0;
    virtual void OpenGotoDialog() = 0;
    // A command of the user menu, carried out on the user list's selection.
    virtual void UserCommand(int commandId) = 0;
};

// The commands as the control carries them out: queries and sends through the protocol object
// and the transport in the context, user-menu commands on the user list's selection. The panes
// that arrive later plug in through the hooks; while a hook is empty its part is unavailable.
class CContextCommands : public IViewCommands {
public:
    explicit CContextCommands(CChatContext& context) : m_context(context) {}

    std::function<std::string()> m_selectedEmotion;
    std::function<int()> m_transferState;
    std::function<void()> m_openGoto;
    // Carries out a user-menu command on the user list's selection; true when it did.
    std::function<bool(int commandId)> m_userCommand;

    bool IsConnected() const override;
    bool IsIgnoring(const std::string& name) const override;
    bool IsWatching(const std::string& name) const override;
    bool IsFollowingMe(const std::string& name) const override;
    std::string SelectedEmotion() const override;
    int TransferState() const override;
    void SendSay(const std::string& line) override;
    void RequestUsers() override;
    void DoMenuCommand(int listId, int index) override;
    std::vector<std::string> MenuEntries(int listId, int max) override;
    bool CanOpenGotoDialog() const override { return bool(m_openGoto); }
    void OpenGotoDialog() override;
    void UserCommand(int commandId) override;

private:
    CChatContext& m_context;
};
