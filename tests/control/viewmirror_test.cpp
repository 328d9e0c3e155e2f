#include "viewmirror.h"

#include <gtest/gtest.h>

using namespace kivra::control;

namespace {

class Recorder : public IViewMirror {
public:
    void MainText(std::string_view text) override { main += text; }
    void PrivateLine(const std::string& name, std::string_view line) override {
        lines.push_back("[" + name + "] " + std::string(line));
    }
    std::string main;
    std::vector<std::string> lines;
};

// A view that keeps what it was given, to prove the decorator forwards.
class TextView : public IOutputView {
public:
    void AppendText(const char* text, std::size_t length, std::uint32_t) override {
        text_.append(text, length);
    }
    void AppendSeparator() override {}
    void InsertLink(const std::string& linkText, const std::string&) override { text_ += linkText; }
    void InsertPicture(const ChatPicture&, const std::string&) override {}
    void InsertPlainPicture(const ChatPicture&, int) override {}
    void FinishAppend() override { ++finishes; }
    void SetBold(bool) override {}
    void SetItalic(bool) override {}
    void SetUnderline(bool) override {}
    void SetBaseColour(ChatColor) override {}
    bool IsAtEnd() const override { return true; }
    void ClearAll() override { text_.clear(); }
    std::string text_;
    int finishes = 0;
};

void Append(IOutputView& v, const std::string& s) {
    v.AppendText(s.data(), s.size(), 1);
}

} // namespace

TEST(ViewMirror, LineEndsBecomeLFWhereverTheChunksSplit) {
    const std::string stream = "one\r\ntwo\rthree\n\r\nfour\r\r\nend";
    const std::string expected = "one\ntwo\nthree\n\nfour\n\nend";
    for (std::size_t cut = 0; cut <= stream.size(); ++cut) {
        LineEndFilter f;
        std::string out = f.Feed(stream.substr(0, cut));
        out += f.Feed(stream.substr(cut));
        EXPECT_EQ(out, expected) << "cut at " << cut;
    }
}

TEST(ViewMirror, MainViewTextIsCopiedAndForwardedUnchanged) {
    TextView inner;
    Recorder rec;
    MirroredOutputView view(inner, rec);
    Append(view, "Ann says, \"hi\"\r");
    Append(view, "\nsee ");
    view.InsertLink("the map", "http://x/");
    view.FinishAppend();
    EXPECT_EQ(rec.main, "Ann says, \"hi\"\nsee the map");
    EXPECT_EQ(inner.text_, "Ann says, \"hi\"\r\nsee the map");
    EXPECT_EQ(inner.finishes, 1);
    EXPECT_TRUE(rec.lines.empty());
}

TEST(ViewMirror, PrivateTextComesOutAsWholeLines) {
    class Window : public IPrivateWindow {
    public:
        void SetUnitKind(int) override {}
        void BringUp(bool) override {}
        IOutputView* View() override { return &view; }
        TextView view;
    };
    class Map : public IPrivateWindowMap {
    public:
        IPrivateWindow* Find(const std::string& key) override {
            auto it = windows.find(key);
            return it == windows.end() ? nullptr : &it->second;
        }
        int OpenCount() const override { return static_cast<int>(windows.size()); }
        IPrivateWindow* Create(const std::string&, const std::string& key) override {
            return &windows[key];
        }
        std::map<std::string, Window> windows;
    };
    Map inner;
    Recorder rec;
    MirroredPrivateWindowMap map(inner, rec);
    EXPECT_EQ(map.Find("BOB+SMITH"), nullptr);
    IPrivateWindow* w = map.Create("Bob Smith", "BOB+SMITH");
    ASSERT_NE(w, nullptr);
    Append(*w->View(), "Bob Smith tells you: ");
    Append(*w->View(), "hello\r\nsecond");
    EXPECT_EQ(rec.lines, std::vector<std::string>{"[Bob Smith] Bob Smith tells you: hello"});
    w->View()->FinishAppend(); // the unit ends: its unfinished line goes out
    ASSERT_EQ(rec.lines.size(), 2u);
    EXPECT_EQ(rec.lines[1], "[Bob Smith] second");
    // Found again by key, the same window and label; the text reached the real view.
    EXPECT_EQ(map.Find("BOB+SMITH"), w);
    EXPECT_EQ(inner.windows["BOB+SMITH"].view.text_, "Bob Smith tells you: hello\r\nsecond");
    EXPECT_EQ(map.OpenCount(), 1);
}
