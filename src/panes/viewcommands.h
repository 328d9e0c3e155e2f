#pragma once
// What the output view and the input line need from the rest of the control besides the
// shared state block: the protocol object's queries and sends, and the panes that come later
// (goto dialog, emotions list, file transfer). CContextCommands answers them through
// CChatContext; tests answer them with a recorder.

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
    // The protocol's name list `listId` (144: the exits); null when there is none.
    virtual std::vector<std::string>* GetMenuList(int listId) = 0;
    virtual void OpenGotoDialog() = 0;
    // A command of the user menu, carried out on the user list's selection.
    virtual void UserCommand(int commandId) = 0;
};
