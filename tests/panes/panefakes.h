#pragma once
// Recorders standing in for the collaborators of the panes, and the rigs the pane tests share.

#include "../protocol/fakes.h"
#include "chatcontext.h"
#include "chatprotocol.h"
#include "scripteddialogservice.h"
#include "useractions.h"
#include "userlist.h"
#include "viewcommands.h"

#include <QDialog>
#include <QMenu>
#include <functional>
#include <map>
#include <string>
#include <vector>

using Texts = std::vector<std::string>;

// The scripted dialogs, with a hand on modal dialogs when a test wants one.
struct FakeDialogs : kivra::platform::ScriptedDialogService {
    std::function<int(QDialog*)> modal;
    int RunModal(QDialog* d) override {
        return modal ? modal(d) : ScriptedDialogService::RunModal(d);
    }
};

struct FakeCommands : IViewCommands {
    bool connected = true;
    std::vector<std::string> ignored, watched, followers, exits, said, calls;
    std::string emotion;
    int transfer = 1;
    bool gotoDialog = false;

    static bool In(const std::vector<std::string>& v, const std::string& s) {
        return std::find(v.begin(), v.end(), s) != v.end();
    }
    bool IsConnected() const override { return connected; }
    bool IsIgnoring(const std::string& n) const override { return In(ignored, n); }
    bool IsWatching(const std::string& n) const override { return In(watched, n); }
    bool IsFollowingMe(const std::string& n) const override { return In(followers, n); }
    std::string SelectedEmotion() const override { return emotion; }
    int TransferState() const override { return transfer; }
    void SendSay(const std::string& line) override { said.push_back(line); }
    void RequestUsers() override { calls.push_back("users"); }
    void DoMenuCommand(int id, int index) override {
        calls.push_back("menu " + std::to_string(id) + " " + std::to_string(index));
    }
    std::vector<std::string> MenuEntries(int, int max) override {
        return {exits.begin(),
                exits.begin() + std::min<std::size_t>(exits.size(), std::size_t(max))};
    }
    bool CanOpenGotoDialog() const override { return gotoDialog; }
    void OpenGotoDialog() override { calls.push_back("goto"); }
    void UserCommand(int id) override { calls.push_back("user " + std::to_string(id)); }
};

struct FakeSettings : ISettingsStore {
    std::map<std::string, std::string> strings;
    std::map<std::string, std::uint32_t> ints;
    std::string GetProfileString(const std::string& s, const std::string& e,
                                 const std::string& def) override {
        const auto it = strings.find(s + "/" + e);
        return it == strings.end() ? def : it->second;
    }
    std::uint32_t GetProfileInt(const std::string& s, const std::string& e,
                                std::uint32_t def) override {
        const auto it = ints.find(s + "/" + e);
        return it == ints.end() ? def : it->second;
    }
    // A null text deletes the value, as the registry does.
    bool WriteProfileString(const std::string& s, const char* e, const char* t) override {
        if (e && t)
            strings[s + "/" + e] = t;
        else if (e)
            strings.erase(s + "/" + e);
        return true;
    }
    bool WriteProfileInt(const std::string& s, const std::string& e, std::uint32_t v) override {
        ints[s + "/" + e] = v;
        return true;
    }
};

// A shared context with every fake plugged in; the panel logs what it is asked into `rec`.
struct PaneRig {
    CChatContext context;
    FakeDialogs dialogs;
    FakeCommands commands;
    FakeSettings settings;
    kivra_test::Recorder rec;
    kivra_test::FakePanel panel{rec};
    PaneRig() {
        context.m_pSettings = &settings;
        context.m_pPanel = &panel;
        CopyParam(context.m_params.szUserName, "Me Myself");
    }
    // The panel's log lines that begin with `what`, without it: Panel("navigate:"), Panel("beep").
    Texts Panel(const std::string& what) const {
        Texts out;
        for (const std::string& line : rec.log)
            if (line.starts_with("panel " + what))
                out.push_back(line.substr(6 + what.size()));
        return out;
    }
};

// The shared rig with a protocol object whose bytes go through the panel to `rec.wire`, the user
// actions and the user list; the private messages started are recorded.
struct ProtocolRig : PaneRig {
    CChatProtocol protocol{&context};
    CContextCommands real{context};
    CUserActions actions{context, real};
    CUserList list{context, real, actions};
    std::vector<Texts> privates;
    ProtocolRig() {
        context.m_pTransport = &panel;
        context.m_pProtocol = &protocol;
        context.m_pUserList = &list;
        actions.m_startPrivate = [this](const Texts& n) { privates.push_back(n); };
    }
    // Server bytes through the protocol's receive path.
    void Feed(std::string bytes) {
        int incomplete = 0;
        protocol.ProcessReceived(bytes.data(), int(bytes.size()), &incomplete);
    }
    // One block of keyword lines, each "<keyword> value".
    void Block(const Texts& lines) {
        std::string b = "\x01<begin>\n";
        for (const std::string& l : lines)
            b += l + "\n";
        Feed(b + "<end>\n");
    }
    std::string TakeWire() { return std::exchange(rec.wire, std::string()); }
};

// Each menu item as "TEXT (ID)", then " checked" and " grey" as they apply; "---" for a
// separator; "no menu" for none. The menu is deleted.
inline Texts MenuLines(QMenu* menu) {
    if (!menu)
        return {"no menu"};
    Texts out;
    for (QAction* a : menu->actions())
        out.push_back(a->isSeparator()
                          ? std::string("---")
                          : a->text().toStdString() + " (" + std::to_string(a->data().toInt()) +
                                ")" + (a->isChecked() ? " checked" : "") +
                                (a->isEnabled() ? "" : " grey"));
    delete menu;
    return out;
}
