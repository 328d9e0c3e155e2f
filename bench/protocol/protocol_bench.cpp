// The inbound pipeline's speed: a recorded mix of what a busy room sends (says with avatar tags and
// colour escapes, emotes, tells, user blocks, plain lines) goes through ProcessReceived in
// socket-sized reads with the session's carry loop, into views that do nothing. The same bytes
// scanned for line ends with memchr give the ceiling.
#include "chatprotocol.h"

#include <benchmark/benchmark.h>
#include <cstring>
#include <map>
#include <memory>
#include <string>

namespace {

struct QuietView : IOutputView {
    void AppendText(const char* text, std::size_t, std::uint32_t) override {
        benchmark::DoNotOptimize(text);
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

struct QuietWindow : IPrivateWindow {
    QuietView view;
    void SetUnitKind(int) override {}
    void BringUp(bool) override {}
    IOutputView* View() override { return &view; }
};

struct QuietWindows : IPrivateWindowMap {
    std::map<std::string, std::unique_ptr<QuietWindow>> windows;
    IPrivateWindow* Find(const std::string& key) override {
        auto it = windows.find(key);
        return it == windows.end() ? nullptr : it->second.get();
    }
    int OpenCount() const override { return static_cast<int>(windows.size()); }
    IPrivateWindow* Create(const std::string&, const std::string& key) override {
        auto& w = windows[key];
        w = std::make_unique<QuietWindow>();
        return w.get();
    }
};

struct QuietUsers : IUserList {
    void Clear() override {}
    bool Contains(const std::string&) const override { return true; }
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
    const ChatPicture* WatchMarker() const override { return nullptr; }
};

// A room's traffic: each round is one say with avatar, one emote, one tell, one plain line, a
// coloured system line and, every fourth round, an enter/leave block.
std::string RecordedStream(int rounds, int* lines) {
    std::string s;
    int n = 0;
    const char* names[] = {"Ann Lee", "Bob", "Cyrus", "Dora", "Eve"};
    for (int i = 0; i < rounds; ++i) {
        const std::string who = names[i % 5];
        std::string plus = who;
        for (char& c : plus)
            c = c == ' ' ? '+' : c;
        s += "<user avatar=http://avatars.example/" + plus + ".gif name=" + plus +
             "><say username=\"" + who + "\">\x1b[1;31m" + who + "\x1b[0;34m says, \"Round " +
             std::to_string(i) + " of the conversation, nothing special to see here.\x1b[0;m\"\r\n";
        s += "<emote username=\"" + who + "\">\x1b[35m" + who +
             " smiles warmly at everyone\x1b[0;m\r\n";
        s += "<tell to=\"Me\" from=\"" + who + "\">\x1b[35m" + who +
             " tells you, \"are you coming to the meeting later?\x1b[0;m\"\r\n";
        s += "The lamp flickers and the room grows quiet for a moment.\r\n";
        s += "\x1b[32mInfo:\x1b[0;m the server will restart in " + std::to_string(i % 60) +
             " minutes\r\n";
        n += 5;
        if (i % 4 == 0) {
            s += "\x01<begin>\r\n<enter role=roomop> " + plus + "\r\n<leave> " + plus +
                 "\r\n<end>\r\n";
            n += 1;
        }
    }
    *lines = n;
    return s;
}

const std::string& Stream(int* lines) {
    static int count = 0;
    static const std::string stream = RecordedStream(4000, &count);
    *lines = count;
    return stream;
}

void BM_ProcessReceived(benchmark::State& state) {
    int lines = 0;
    const std::string& stream = Stream(&lines);
    const auto read = static_cast<std::size_t>(state.range(0));
    QuietView main;
    QuietWindows windows;
    QuietUsers users;
    CChatContext ctx;
    CopyParam(ctx.m_params.szUserName, "Me");
    ctx.m_pOutput = &main;
    ctx.m_pPrivateWindows = &windows;
    ctx.m_pUserList = &users;
    CChatProtocol proto(&ctx);
    std::string carry;
    std::string buffer;
    for (auto _ : state) {
        for (std::size_t at = 0; at < stream.size(); at += read) {
            const std::size_t take = std::min(read, stream.size() - at);
            buffer.assign(carry);
            buffer.append(stream, at, take);
            const int length = static_cast<int>(buffer.size());
            buffer.push_back('\0');
            int incomplete = 0;
            char* rest = proto.ProcessReceived(buffer.data(), length, &incomplete);
            if (incomplete)
                carry.assign(rest, buffer.data() + length);
            else
                carry.clear();
        }
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * stream.size()));
    state.counters["lines/s"] = benchmark::Counter(static_cast<double>(lines) * state.iterations(),
                                                   benchmark::Counter::kIsRate);
}
BENCHMARK(BM_ProcessReceived)->Arg(1460)->Arg(16384)->Unit(benchmark::kMillisecond);

// One huge unit full of constructs that never finish (block openers, escape starts, tag starts):
// each would scan to the end of the data if it were not bounded. The bytes per second at
// 128 KiB and at 1 MiB show whether the cost stays linear.
void BM_UnfinishedOpeners(benchmark::State& state) {
    const char* pieces[] = {"\x01<begin>\n", "\x1b[;", "<a", "\x01<begin>\x1b[;<"};
    std::string junk;
    while (junk.size() < static_cast<std::size_t>(state.range(1)))
        junk += pieces[state.range(0)];
    QuietView main;
    CChatContext ctx;
    ctx.m_pOutput = &main;
    CChatProtocol proto(&ctx);
    std::string buffer;
    for (auto _ : state) {
        buffer.assign(junk);
        buffer.push_back('\0');
        int incomplete = 0;
        benchmark::DoNotOptimize(
            proto.ProcessReceived(buffer.data(), static_cast<int>(junk.size()), &incomplete));
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * junk.size()));
}
BENCHMARK(BM_UnfinishedOpeners)
    ->ArgsProduct({{0, 1, 2, 3}, {128 << 10, 1 << 20}})
    ->Unit(benchmark::kMillisecond);

void BM_MemchrLineScan(benchmark::State& state) {
    int lines = 0;
    const std::string& stream = Stream(&lines);
    for (auto _ : state) {
        std::size_t found = 0;
        const char* p = stream.data();
        const char* end = p + stream.size();
        while (const void* nl = std::memchr(p, '\n', static_cast<std::size_t>(end - p))) {
            ++found;
            p = static_cast<const char*>(nl) + 1;
        }
        benchmark::DoNotOptimize(found);
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * stream.size()));
    state.counters["lines/s"] = benchmark::Counter(static_cast<double>(lines) * state.iterations(),
                                                   benchmark::Counter::kIsRate);
}
BENCHMARK(BM_MemchrLineScan)->Unit(benchmark::kMillisecond);

} // namespace

BENCHMARK_MAIN();
