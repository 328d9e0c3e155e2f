#pragma once
// Panes that accept everything and keep nothing but a little state, so the fuzzers reach every
// path of the protocol object (windows are made, dialogs filled, bytes written).

#include "chatprotocol.h"
#include "useroptions.h"

#include <map>
#include <memory>
#include <string>

namespace kivra_fuzz {

struct NullView : IOutputView {
    std::size_t bytes = 0;
    void AppendText(const char* text, std::size_t length, std::uint32_t) override {
        // Touch every byte so that a bad range shows up under the sanitizers.
        for (std::size_t i = 0; i < length; ++i)
            bytes += static_cast<unsigned char>(text[i]) & 1u;
    }
    void AppendSeparator() override {}
    void InsertLink(const std::string&, const std::string&) override {}
    void InsertPicture(const ChatPicture&, const std::string&) override {}
    void InsertPlainPicture(const ChatPicture&, int) override {}
    void FinishAppend() override {}
    void SetBold(bool) override {}
    void SetItalic(bool) override {}
    void SetUnderline(bool) override {}
    void SetBaseColour(ChatColor) override {}
    bool IsAtEnd() const override { return true; }
    void ClearAll() override {}
};

struct NullWindow : IPrivateWindow {
    NullView view;
    void SetUnitKind(int) override {}
    void BringUp(bool) override {}
    IOutputView* View() override { return &view; }
};

struct NullWindows : IPrivateWindowMap {
    std::map<std::string, std::unique_ptr<NullWindow>> windows;
    IPrivateWindow* Find(const std::string& key) override {
        auto it = windows.find(key);
        return it == windows.end() ? nullptr : it->second.get();
    }
    int OpenCount() const override { return static_cast<int>(windows.size()); }
    IPrivateWindow* Create(const std::string&, const std::string& key) override {
        auto& w = windows[key];
        w = std::make_unique<NullWindow>();
        return w.get();
    }
};

struct NullUsers : IUserList {
    ChatPicture marker;
    void Clear() override {}
    bool Contains(const std::string&) const override { return false; }
    void AddUser(const std::string&) override {}
    void AddOwnEntry(const std::string&) override {}
    void RemoveUser(const std::string&) override {}
    void RefreshCount() override {}
    void SetRole(const std::string&, const std::string&) override {}
    void MarkFollower(const std::string&, bool) override {}
    void MarkIgnored(const std::string&, bool) override {}
    void MarkFollowed(const std::string&, bool) override {}
    void SelectOnly(const std::string&) override {}
    std::vector<std::string> Selection() const override { return {}; }
    void StartPrivateMessage() override {}
    const ChatPicture* WatchMarker() const override { return &marker; }
};

struct NullPanel : IChatPanel, IEmotionCollector, IBuddyCollector {
    long SendPanelMessage(unsigned, unsigned long, long) override { return 0; }
    void ShowAskButton(bool) override {}
    void Navigate(const std::string&, const std::string&) override {}
    int MessageBox(const std::string&, const std::string&, unsigned) override { return IDOK; }
    void Beep() override {}
    void ShowWhois(const WhoisRecord&) override {}
    IEmotionCollector* EnsureEmotionDialog() override { return this; }
    IBuddyCollector* EnsureBuddyDialog() override { return this; }
    void AddServerEmotion(const std::string&) override {}
    void AddServerBuddy(const std::string&) override {}
};

struct NullTicker : ITicker {
    void AddMessage(const std::string&) override {}
    void Restart(int) override {}
};

struct NullTransport : IChatTransport {
    std::size_t written = 0;
    bool IsConnected() const override { return true; }
    int SendText(const char* text) override {
        const std::size_t n = std::char_traits<char>::length(text);
        written += n;
        return static_cast<int>(n);
    }
    int SendData(const char*, int length) override {
        written += static_cast<std::size_t>(length);
        return length;
    }
};

// One control's worth of do-nothing panes around a protocol object.
struct Control {
    NullView main;
    NullWindows windows;
    NullUsers users;
    NullPanel panel;
    NullTicker ticker;
    NullTransport transport;
    CChatContext ctx;
    CChatProtocol proto{&ctx};
    Control() {
        CopyParam(ctx.m_params.szUserName, "Me");
        ctx.m_bMonitor = true;
        ctx.m_pOutput = &main;
        ctx.m_pPrivateWindows = &windows;
        ctx.m_pUserList = &users;
        ctx.m_pPanel = &panel;
        ctx.m_pTicker = &ticker;
        ctx.m_pTransport = &transport;
        ctx.m_pProtocol = &proto;
        proto.AddWatch("Bob");
    }
};

} // namespace kivra_fuzz
