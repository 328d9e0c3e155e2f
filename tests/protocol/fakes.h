#pragma once
// Recording fakes of what the protocol object drives, each call a line of one shared log (bytes
// sent kept apart), and a harness feeding a byte stream through ProcessReceived as the session
// does.

#include "chatpicture.h"
#include "chatprotocol.h"
#include "useroptions.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <map>
#include <memory>
#include <string>
#include <utility>
#include <vector>

namespace kivra_test {

struct Recorder {
    std::vector<std::string> log, writes;
    std::string wire;
    void Write(const std::string& bytes) { wire += bytes, writes.push_back(bytes); }
};

// Every fake logs into the one recorder.
struct Logging {
    explicit Logging(Recorder& r) : rec(r) {}
    Recorder& rec;
    void Log(const std::string& line) const { rec.log.push_back(line); }
};

inline const char* OnOff(bool on) {
    return on ? "1" : "0";
}

// The items, each followed by `end`.
inline std::string Joined(const std::vector<std::string>& items, const std::string& end) {
    std::string s;
    for (const auto& i : items)
        s += i + end;
    return s;
}

// A picture `width` pixels wide and two high.
inline std::shared_ptr<ChatPicture> Picture(int width) {
    auto p = std::make_shared<ChatPicture>();
    p->width = width;
    p->height = 2;
    p->pixels.resize(std::size_t(width) * 2);
    return p;
}

// Answers from `kept`; any other address is a fetch whose notification waits in `waiting`, or
// fails at once while `refuse` is set. Each request is logged when there is a recorder.
struct FakeImageCache : IImageCache {
    explicit FakeImageCache(Recorder* r = nullptr) : rec(r) {}
    std::shared_ptr<const ChatPicture> GetPicture(const std::string& url, bool mayFetch, bool keep,
                                                  std::shared_ptr<IPictureNotify> n) override {
        if (rec)
            rec->log.push_back("cache get:" + url + " fetch=" + OnOff(mayFetch) +
                               " keep=" + OnOff(keep));
        if (auto it = kept.find(url); it != kept.end())
            return it->second;
        ++fetches;
        if (refuse)
            n->PictureArrived(nullptr);
        else
            waiting.push_back(std::move(n));
        return nullptr;
    }
    // Every fetch out ends with `p` (null: failed); a picture is kept for `url`.
    void Finish(const std::string& url, const std::shared_ptr<ChatPicture>& p) {
        if (p)
            kept[url] = p;
        for (auto& w : std::exchange(waiting, {}))
            w->PictureArrived(p);
    }
    Recorder* rec;
    std::map<std::string, std::shared_ptr<const ChatPicture>> kept;
    std::vector<std::shared_ptr<IPictureNotify>> waiting;
    int fetches = 0;
    bool refuse = false;
};

// Logs style changes only when they change something, so that the same rendering gives the same
// log however the stream was cut. Colours are shown as RGB, the way the colour tables are written.
struct FakeView : Logging, IOutputView {
    FakeView(Recorder& r, std::string name) : Logging(r), m_name(std::move(name)) {}
    void AppendText(const char* text, std::size_t length, std::uint32_t style) override {
        Log(m_name + " text(" + std::to_string(style) + "):" + std::string(text, length));
        document.append(text, length);
    }
    void AppendSeparator() override { Log(m_name + " separator"); }
    void InsertLink(const std::string& label, const std::string& url) override {
        Log(m_name + " link:" + url + " " + label);
    }
    void InsertPicture(const ChatPicture& p, const std::string& n) override {
        Log(m_name + " avatar:" + n + " " + std::to_string(p.width));
    }
    // Places of pictures on their way, numbered from 1.
    int MarkPicturePlace() override {
        Log(m_name + " place:" + std::to_string(++places));
        return places;
    }
    void InsertPictureAt(int at, const ChatPicture& p, const std::string& n) override {
        Log(m_name + " avatar@" + std::to_string(at) + ":" + n + " " + std::to_string(p.width));
    }
    void ForgetPicturePlace(int at) override { Log(m_name + " forget:" + std::to_string(at)); }
    int places = 0;
    void InsertPlainPicture(const ChatPicture& p, int at) override {
        Log(m_name + " picture:" + std::to_string(p.width) + "@" + std::to_string(at));
    }
    void FinishAppend() override { Log(m_name + " finish"); }
    void SetBold(bool on) override { Change(bold, on, "bold"); }
    void SetItalic(bool on) override { Change(italic, on, "italic"); }
    void SetUnderline(bool on) override { Change(underline, on, "underline"); }
    void SetBaseColour(ChatColor c) override {
        char rgb[8];
        std::snprintf(rgb, sizeof rgb, "%02X%02X%02X", c & 0xFF, (c >> 8) & 0xFF, (c >> 16) & 0xFF);
        if (c != colour)
            Log(m_name + " colour:" + rgb);
        colour = c;
    }
    bool IsAtEnd() const override { return true; }
    void ClearAll() override { Log(m_name + " clear"); }

    std::string document;
    bool bold = false, italic = false, underline = false;
    ChatColor colour = 0;

private:
    void Change(bool& state, bool on, const char* what) {
        if (state != on)
            Log(m_name + " " + what + ":" + OnOff(on));
        state = on;
    }
    std::string m_name;
};

struct FakePrivateWindow : Logging, IPrivateWindow {
    FakePrivateWindow(Recorder& r, const std::string& name)
        : Logging(r), tag("pm[" + name + "]"), view(r, tag) {}
    void SetUnitKind(int kind) override { Log(tag + " kind:" + std::to_string(kind)); }
    void BringUp(bool own) override { Log(tag + " up:" + (own ? "own" : "incoming")); }
    IOutputView* View() override { return &view; }
    std::string tag;
    FakeView view;
};

struct FakeWindowMap : Logging, IPrivateWindowMap {
    using Logging::Logging;
    IPrivateWindow* Find(const std::string& key) override {
        auto it = windows.find(key);
        return it == windows.end() ? nullptr : it->second.get();
    }
    int OpenCount() const override { return static_cast<int>(windows.size()) + extraOpen; }
    IPrivateWindow* Create(const std::string& name, const std::string& key) override {
        Log("pm create:" + name + " key:" + key);
        return (windows[key] = std::make_unique<FakePrivateWindow>(rec, name)).get();
    }
    std::map<std::string, std::unique_ptr<FakePrivateWindow>> windows;
    int extraOpen = 0;
};

struct FakeUserList : Logging, IUserList {
    using Logging::Logging;
    void Clear() override { Log("users clear"), names.clear(); }
    bool Contains(const std::string& n) const override {
        return std::find(names.begin(), names.end(), n) != names.end();
    }
    void AddUser(const std::string& n) override { Log("users add:" + n), names.push_back(n); }
    void AddOwnEntry(const std::string& n) override { Log("users own:" + n), names.push_back(n); }
    void RemoveUser(const std::string& n) override {
        Log("users remove:" + n), names.erase(std::find(names.begin(), names.end(), n));
    }
    void RefreshCount() override { Log("users count"); }
    void SetRole(const std::string& n, const std::string& r) override {
        Log("users role:" + n + "=" + r);
    }
    void Mark(const char* what, const std::string& n, bool on) const {
        Log(std::string("users ") + what + ":" + n + "=" + OnOff(on));
    }
    void MarkFollower(const std::string& n, bool on) override { Mark("follower", n, on); }
    void MarkIgnored(const std::string& n, bool on) override { Mark("ignored", n, on); }
    void MarkFollowed(const std::string& n, bool on) override { Mark("followed", n, on); }
    void SelectOnly(const std::string& n) override { selection = {n}; }
    std::vector<std::string> Selection() const override { return selection; }
    void StartPrivateMessage() override {}
    const ChatPicture* WatchMarker() const override { return &marker; }
    std::vector<std::string> names, selection;
    ChatPicture marker{9, 7, {}, {}};
};

// The panel with the dialogs, the ticker, the file-transfer engine and the transport.
struct FakePanel : Logging,
                   IChatPanel,
                   IEmotionCollector,
                   IBuddyCollector,
                   ITicker,
                   IFileTransferPeers,
                   IChatTransport {
    using Logging::Logging;
    bool connected = true;
    bool IsConnected() const override { return connected; }
    int SendText(const char* text) override {
        return SendData(text, static_cast<int>(std::strlen(text)));
    }
    int SendData(const char* data, int length) override {
        rec.Write(std::string(data, static_cast<std::size_t>(length)));
        return length;
    }
    long SendPanelMessage(unsigned message, unsigned long w, long l) override {
        Log("panel message:" + std::to_string(message) + "," + std::to_string(w) + "," +
            std::to_string(l));
        return 0;
    }
    void ShowAskButton(bool show) override { Log(std::string("panel ask:") + OnOff(show)); }
    void Navigate(const std::string& url, const std::string& frame) override {
        Log("panel navigate:" + frame + " " + url);
    }
    int MessageBox(const std::string& text, const std::string& caption, unsigned flags) override {
        Log("panel box:" + caption + "|" + text + "|" + std::to_string(flags));
        return IDOK;
    }
    void Beep() override { Log("panel beep"); }
    void PlaySound(const std::string& name) override { Log("panel sound:" + name); }
    void ShowWhois(const WhoisRecord& w) override {
        Log("panel whois:" + w.name + "|" + w.homepage + "|" + w.email +
            "|d=" + Joined(w.description, ";") + "|i=" + Joined(w.inventory, ";"));
    }
    IEmotionCollector* EnsureEmotionDialog() override { return this; }
    IBuddyCollector* EnsureBuddyDialog() override { return this; }
    void AddServerEmotion(const std::string& w) override { Log("emotion:" + w); }
    void AddServerBuddy(const std::string& b) override { Log("buddy:" + b); }
    void OnPeerAddress(const std::string& n, const std::string& a) override {
        Log("filexfer peer:" + n + " " + a);
    }
    void AddMessage(const std::string& m) override { Log("ticker add:" + m); }
    void Restart(int period) override { Log("ticker restart:" + std::to_string(period)); }
};

// One control's worth of fakes around a protocol object, for the user "Me Myself".
struct Harness {
    Recorder rec;
    FakeView main{rec, "main"};
    FakeWindowMap windows{rec};
    FakeUserList users{rec};
    FakePanel panel{rec};
    CChatContext ctx;
    CChatProtocol proto{&ctx};
    std::string carry;

    Harness() {
        CopyParam(ctx.m_params.szUserName, "Me Myself");
        ctx.m_pTransport = &panel;
        ctx.m_pOutput = &main;
        ctx.m_pPrivateWindows = &windows;
        ctx.m_pUserList = &users;
        ctx.m_pTicker = &panel;
        ctx.m_pPanel = &panel;
        ctx.m_pFileTransfer = &panel;
        ctx.m_pProtocol = &proto;
    }

    // One read of the session: the kept tail, then the new bytes, zero-terminated.
    void Receive(const std::string& bytes) {
        std::string buffer = carry + bytes;
        const int length = static_cast<int>(buffer.size());
        buffer.push_back('\0');
        int incomplete = 0;
        char* rest = proto.ProcessReceived(buffer.data(), length, &incomplete);
        carry = incomplete ? std::string(rest, buffer.data() + length) : std::string();
    }
};

} // namespace kivra_test
