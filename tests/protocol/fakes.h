#pragma once
// Recording fakes of the interfaces the protocol object drives, and a harness that feeds a server
// byte stream through ProcessReceived the way the session does (keeping the returned tail and
// putting it in front of the next bytes). Every call on a fake becomes one line of a shared log;
// bytes written to the transport are kept apart as the wire.

#include "chatprotocol.h"
#include "useroptions.h"

#include <cstdio>
#include <map>
#include <memory>
#include <string>
#include <vector>

namespace kivra_test {

struct Recorder {
    std::vector<std::string> log;
    std::string wire;
    void Add(std::string line) { log.push_back(std::move(line)); }
};

inline std::string Hex(ChatColor c) {
    char buf[16];
    // Shown as RGB, the way the colour tables are written.
    std::snprintf(buf, sizeof buf, "%02X%02X%02X", c & 0xFF, (c >> 8) & 0xFF, (c >> 16) & 0xFF);
    return buf;
}

class FakeTransport : public IChatTransport {
public:
    explicit FakeTransport(Recorder& r) : m_r(r) {}
    bool connected = true;
    bool IsConnected() const override { return connected; }
    int SendText(const char* text) override {
        m_r.wire += text;
        return static_cast<int>(std::char_traits<char>::length(text));
    }
    int SendData(const char* data, int length) override {
        m_r.wire.append(data, static_cast<std::size_t>(length));
        return length;
    }

private:
    Recorder& m_r;
};

// Logs style changes only when they change something, so that the same rendering gives the same
// log however the stream was cut.
class FakeView : public IOutputView {
public:
    FakeView(Recorder& r, std::string name) : m_r(r), m_name(std::move(name)) {}
    void AppendText(const char* text, std::size_t length, std::uint32_t style) override {
        m_r.Add(m_name + " text(" + std::to_string(style) + "):" + std::string(text, length));
        document.append(text, length);
    }
    void AppendSeparator() override { m_r.Add(m_name + " separator"); }
    void InsertLink(const std::string& t, const std::string& u) override {
        m_r.Add(m_name + " link:" + t + " " + u);
    }
    void InsertPicture(const ChatPicture&, const std::string& user) override {
        m_r.Add(m_name + " picture:" + user);
    }
    void InsertPlainPicture(const ChatPicture& p, int placement) override {
        m_r.Add(m_name + " plainpicture:" + std::to_string(p.width) + "x" +
                std::to_string(p.height) + "@" + std::to_string(placement));
    }
    void FinishAppend() override { m_r.Add(m_name + " finish"); }
    void SetBold(bool on) override { Change(bold, on, "bold"); }
    void SetItalic(bool on) override { Change(italic, on, "italic"); }
    void SetUnderline(bool on) override { Change(underline, on, "underline"); }
    void SetBaseColour(ChatColor c) override {
        if (c != colour)
            m_r.Add(m_name + " colour:" + Hex(c));
        colour = c;
    }
    bool IsAtEnd() const override { return true; }
    void ClearAll() override { m_r.Add(m_name + " clear"); }

    std::string document;
    bool bold = false, italic = false, underline = false;
    ChatColor colour = 0;

private:
    void Change(bool& state, bool on, const char* what) {
        if (state != on)
            m_r.Add(m_name + " " + what + ":" + (on ? "1" : "0"));
        state = on;
    }
    Recorder& m_r;
    std::string m_name;
};

class FakePrivateWindow : public IPrivateWindow {
public:
    FakePrivateWindow(Recorder& r, const std::string& name)
        : m_r(r), m_name(name), view(r, "pm[" + name + "]") {}
    void SetUnitKind(int kind) override {
        m_r.Add("pm[" + m_name + "] kind:" + std::to_string(kind));
    }
    void BringUp(bool ownEcho) override {
        m_r.Add("pm[" + m_name + "] up:" + (ownEcho ? "own" : "incoming"));
    }
    IOutputView* View() override { return &view; }

private:
    Recorder& m_r;
    std::string m_name;

public:
    FakeView view;
};

class FakeWindowMap : public IPrivateWindowMap {
public:
    explicit FakeWindowMap(Recorder& r) : m_r(r) {}
    IPrivateWindow* Find(const std::string& key) override {
        auto it = windows.find(key);
        return it == windows.end() ? nullptr : it->second.get();
    }
    int OpenCount() const override { return static_cast<int>(windows.size()) + extraOpen; }
    IPrivateWindow* Create(const std::string& name, const std::string& key) override {
        m_r.Add("pm create:" + name + " key:" + key);
        auto& w = windows[key];
        w = std::make_unique<FakePrivateWindow>(m_r, name);
        return w.get();
    }
    std::map<std::string, std::unique_ptr<FakePrivateWindow>> windows;
    int extraOpen = 0;

private:
    Recorder& m_r;
};

class FakeUserList : public IUserList {
public:
    explicit FakeUserList(Recorder& r) : m_r(r) {}
    void Clear() override {
        m_r.Add("users clear");
        names.clear();
    }
    bool Contains(const std::string& name) const override {
        for (const auto& n : names)
            if (n == name)
                return true;
        return false;
    }
    void AddUser(const std::string& name) override {
        m_r.Add("users add:" + name);
        names.push_back(name);
    }
    void AddOwnEntry(const std::string& name) override {
        m_r.Add("users own:" + name);
        names.push_back(name);
    }
    void RemoveUser(const std::string& name) override {
        m_r.Add("users remove:" + name);
        for (auto it = names.begin(); it != names.end(); ++it)
            if (*it == name) {
                names.erase(it);
                break;
            }
    }
    void RefreshCount() override { m_r.Add("users count"); }
    void SetRole(const std::string& n, const std::string& role) override {
        m_r.Add("users role:" + n + "=" + role);
    }
    void MarkFollower(const std::string& n, bool on) override {
        m_r.Add("users follower:" + n + "=" + (on ? "1" : "0"));
    }
    void MarkIgnored(const std::string& n, bool on) override {
        m_r.Add("users ignored:" + n + "=" + (on ? "1" : "0"));
    }
    void MarkFollowed(const std::string& n, bool on) override {
        m_r.Add("users followed:" + n + "=" + (on ? "1" : "0"));
    }
    void SelectOnly(const std::string& n) override { selection = {n}; }
    std::vector<std::string> Selection() const override { return selection; }
    void StartPrivateMessage() override {}
    const ChatPicture* WatchMarker() const override { return hasMarker ? &marker : nullptr; }

    std::vector<std::string> names;
    std::vector<std::string> selection;
    ChatPicture marker{9, 7, {}, {}};
    bool hasMarker = true;

private:
    Recorder& m_r;
};

class FakeTicker : public ITicker {
public:
    explicit FakeTicker(Recorder& r) : m_r(r) {}
    void AddMessage(const std::string& m) override { m_r.Add("ticker add:" + m); }
    void Restart(int period) override { m_r.Add("ticker restart:" + std::to_string(period)); }

private:
    Recorder& m_r;
};

class FakePanel : public IChatPanel, public IEmotionCollector, public IBuddyCollector {
public:
    explicit FakePanel(Recorder& r) : m_r(r) {}
    long SendPanelMessage(unsigned message, unsigned long w, long l) override {
        m_r.Add("panel message:" + std::to_string(message) + "," + std::to_string(w) + "," +
                std::to_string(l));
        return 0;
    }
    void ShowAskButton(bool show) override {
        m_r.Add(std::string("panel ask:") + (show ? "1" : "0"));
    }
    void Navigate(const std::string& url, const std::string& frame) override {
        m_r.Add("panel navigate:" + frame + " " + url);
    }
    int MessageBox(const std::string& text, const std::string& caption, unsigned flags) override {
        m_r.Add("panel box:" + caption + "|" + text + "|" + std::to_string(flags));
        return IDOK;
    }
    void Beep() override { m_r.Add("panel beep"); }
    void ShowWhois(const WhoisRecord& w) override {
        std::string line = "panel whois:" + w.name + "|" + w.homepage + "|" + w.email + "|d=";
        for (const auto& d : w.description)
            line += "[" + d + "]";
        line += "|i=";
        for (const auto& i : w.inventory)
            line += "[" + i + "]";
        m_r.Add(line);
    }
    IEmotionCollector* EnsureEmotionDialog() override { return this; }
    IBuddyCollector* EnsureBuddyDialog() override { return this; }
    void AddServerEmotion(const std::string& w) override { m_r.Add("emotion:" + w); }
    void AddServerBuddy(const std::string& b) override { m_r.Add("buddy:" + b); }

private:
    Recorder& m_r;
};

class FakeFileTransfer : public IFileTransferPeers {
public:
    explicit FakeFileTransfer(Recorder& r) : m_r(r) {}
    void OnPeerAddress(const std::string& n, const std::string& a) override {
        m_r.Add("filexfer peer:" + n + " " + a);
    }

private:
    Recorder& m_r;
};

// One control's worth of fakes around a protocol object.
struct Harness {
    Recorder rec;
    FakeTransport transport{rec};
    FakeView main{rec, "main"};
    FakeWindowMap windows{rec};
    FakeUserList users{rec};
    FakeTicker ticker{rec};
    FakePanel panel{rec};
    FakeFileTransfer filexfer{rec};
    CChatContext ctx;
    CChatProtocol proto{&ctx};
    std::string carry;

    Harness() {
        CopyParam(ctx.m_params.szUserName, "Me Myself");
        ctx.m_pTransport = &transport;
        ctx.m_pOutput = &main;
        ctx.m_pPrivateWindows = &windows;
        ctx.m_pUserList = &users;
        ctx.m_pTicker = &ticker;
        ctx.m_pPanel = &panel;
        ctx.m_pFileTransfer = &filexfer;
        ctx.m_pProtocol = &proto;
    }

    // One read of the session: the kept tail, then the new bytes, zero-terminated.
    void Receive(const std::string& bytes) {
        std::string buffer = carry + bytes;
        const int length = static_cast<int>(buffer.size());
        buffer.push_back('\0');
        int incomplete = 0;
        char* rest = proto.ProcessReceived(buffer.data(), length, &incomplete);
        if (incomplete)
            carry.assign(rest, buffer.data() + length);
        else
            carry.clear();
    }
};

} // namespace kivra_test
