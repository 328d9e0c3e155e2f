// Transcripts of the inbound stream: server bytes in, calls on the fakes and bytes out. Each is fed
// whole, byte by byte and cut in two at every offset, and must render the same.
#include "fakes.h"

#include <functional>
#include <gtest/gtest.h>

using namespace kivra_test;

namespace {

const std::string kSayBob = "<user avatar=http://h/a.gif name=Bob><say username=\"Bob\">"
                            "\x1b[31mBob\x1b[34m says, \"hi\x1b[0;m\"\r\n";
const std::string kSayBobLog = "main colour:C00000|main text(1):Bob|main colour:0000C0|"
                               "main text(1): says, \"hi|main colour:000000|main text(1):\"\r\n|";
const std::string kTellFromBob = "<tell to=\"Me Myself\" from=\"Bob\">\x1b[35mBob tells you, \"psst"
                                 "\x1b[0;m\"\r\n";
const std::string kTellFromBobText = "colour:C000C0|pm[Bob] text(1):Bob tells you, \"psst|"
                                     "pm[Bob] colour:000000|pm[Bob] text(1):\"\r\n|";
const std::string kTellFromBobLog =
    "pm create:Bob key:BOB|pm[Bob] up:incoming|pm[Bob] kind:1|pm[Bob] " + kTellFromBobText;

// The avatar tag puts the marker in front of the speaker's colour.
const std::string kSayBobWatchedLog = "main picture:9@-17|main colour:C00000|main text(1):BOB|" +
                                      kSayBobLog.substr(kSayBobLog.find("main colour:0000C0"));

template <std::size_t N> std::string Bytes(const char (&s)[N]) {
    return std::string(s, N - 1);
}

// The log without scroll requests and beeps, which follow the stream's cuts by nature, adjacent
// texts of one view in one style merged, joined by "|".
std::string Normalised(const std::vector<std::string>& log) {
    std::vector<std::string> out;
    for (const auto& line : log) {
        if (line == "panel beep" || line.ends_with(" finish"))
            continue;
        const auto colon = line.find(':');
        if (line.find(" text(") < colon && !out.empty() && out.back().find(" text(") < colon &&
            out.back().compare(0, colon + 1, line, 0, colon + 1) == 0)
            out.back() += line.substr(colon + 1);
        else
            out.push_back(line);
    }
    return Joined(out, "|");
}

struct Transcript {
    const char* what;
    std::string stream;
    std::string expected; // the normalised log of the views, lists and panel
    int beeps = 0;        // with "Sound On Incoming Message" on, fed whole
    std::function<void(Harness&)> setup = {};
    std::string wire = {};
    std::string carry = {}; // the tail kept for the next read
};

void RunTranscripts(const std::vector<Transcript>& cases) {
    for (const Transcript& t : cases) {
        SCOPED_TRACE(t.what);
        auto feed = [&t](Harness& h, const std::vector<std::string>& chunks) {
            h.ctx.m_bMonitor = true;
            if (t.setup)
                t.setup(h);
            for (const auto& c : chunks)
                h.Receive(c);
        };
        Harness whole;
        feed(whole, {t.stream});
        EXPECT_EQ(Normalised(whole.rec.log), t.expected);
        EXPECT_EQ(std::count(whole.rec.log.begin(), whole.rec.log.end(), "panel beep"), t.beeps);
        EXPECT_EQ(whole.rec.wire, t.wire);
        EXPECT_EQ(whole.carry, t.carry);
        for (std::size_t k = 0; k < t.stream.size() && !::testing::Test::HasFailure(); ++k) {
            std::vector<std::string> chunks = {t.stream.substr(0, k), t.stream.substr(k)};
            if (k == 0) { // byte by byte
                chunks.clear();
                for (char c : t.stream)
                    chunks.emplace_back(1, c);
            }
            Harness h;
            feed(h, chunks);
            EXPECT_EQ(Normalised(h.rec.log), Normalised(whole.rec.log)) << "cut at " << k;
            EXPECT_EQ(h.rec.wire, whole.rec.wire) << "cut at " << k;
            EXPECT_EQ(h.carry, whole.carry) << "cut at " << k;
        }
    }
}

} // namespace

TEST(InboundUnits, EachUnitAndShowTextScrollAndSwitchEffectsOff) {
    Harness h;
    h.main.bold = h.main.italic = h.main.underline = true;
    h.Receive("hello\r\nworld\r\nprompt: ");
    EXPECT_FALSE(h.main.bold || h.main.italic || h.main.underline);
    h.proto.ShowText("", 4);
    h.proto.ShowText("note", 0);
    h.proto.ShowText("warn", 16);
    EXPECT_EQ(h.rec.log, (std::vector<std::string>{
                             "main bold:0", "main italic:0", "main underline:0",
                             "main text(1):hello\r\n", "main finish", "main text(1):world\r\n",
                             "main finish", "main text(1):prompt: ", "main text(1):note",
                             "main finish", "main text(16):warn", "main finish"}));
    EXPECT_EQ(h.carry, "");
    h.main.bold = true;
    h.Receive(kTellFromBob); // a tell's line end, though the tell goes to a window
    EXPECT_FALSE(h.main.bold);
    int incomplete = 7;
    char empty[1] = {0};
    EXPECT_EQ(h.proto.ProcessReceived(empty, 0, &incomplete), empty);
}

TEST(InboundUnits, SaysEmotesAndTheBeep) {
    RunTranscripts({
        {"say of another user", kSayBob, kSayBobLog, 1},
        {"own say and emote, the name with + for blanks and in any case",
         "<user avatar=x name=Me+Myself><say username=\"Me+Myself\">You say\x1b[0;m\"\r\n"
         "<say username=\"me MYSELF\">yo\x1b[0;m\"\r\n<emote username=\"ME+MYSELF\">waves\r\n",
         "main text(1):You say\"\r\nyo\"\r\nwaves\r\n|"},
        {"units ending at an escape or a block", "text\x1b[31mx\x01<begin>\n<isadmin>\n<end>\n",
         "main text(1):text|main colour:C00000|main text(1):x|"},
        {"a say or emote whose line ends without its end marker holds nothing back",
         "<say username=\"Bob\">cut short\r\nnext\r\n<emote username=\"Bob\">waves\r\n"
         "<user avatar=x name=Bob\r\nlast\r\n",
         "main text(1):cut short\r\nnext\r\nwaves\r\n<user avatar=x name=Bob\r\nlast\r\n|", 5},
        {"watched speaker: one marker per unit and the name in upper case", kSayBob + kSayBob,
         kSayBobWatchedLog + kSayBobWatchedLog, 2, [](Harness& h) { h.proto.AddWatch("bob"); }},
        {"watched speaker with a blank in the name",
         "<say username=\"Ann+Lee\">\x1b[31mAnn Lee\x1b[0m\r\n",
         "main colour:C00000|main picture:9@-17|main text(1):ANN LEE|main colour:000000|main "
         "text(1):\r\n|",
         1, [](Harness& h) { h.proto.AddWatch("ann lee"); }},
    });
}

TEST(InboundRouting, TellsToWindowsOrTheMainView) {
    const std::string inMain = "main colour:C000C0|main text(1):Bob tells you, \"psst|"
                               "main colour:000000|main text(1):\"\r\n|";
    RunTranscripts({
        {"tells to me, the names in other forms",
         kTellFromBob + "<tell to=\"me+myself\" from=\"BOB\">again\x1b[0;m\"\r\n",
         kTellFromBobLog + "pm[Bob] up:incoming|pm[Bob] kind:1|pm[Bob] text(1):again\"\r\n|"},
        {"echo of my own tell",
         "<user avatar=x name=Me><tell to=\"Ann+Lee\" from=\"Me\">You tell\x1b[0;m\"\r\n",
         "pm create:Ann+Lee key:ANN+LEE|pm[Ann+Lee] up:own|pm[Ann+Lee] kind:2|"
         "pm[Ann+Lee] text(1):You tell\"\r\n|"},
        {"several recipients after a user tag: no single window",
         "<user avatar=x name=Me><tell to=\"Ann,Bob\" from=\"Me\">hi\r\n", "main text(1):hi\r\n|",
         1},
        {"the most windows are open", kTellFromBob, inMain, 1,
         [](Harness& h) { h.ctx.m_nMaxPM = h.windows.extraOpen = 2; }},
        {"no window map", kTellFromBob, inMain, 1,
         [](Harness& h) { h.ctx.m_pPrivateWindows = nullptr; }},
        {"a tell whose line ends without its end marker, then a tell",
         "<tell to=\"Me Myself\" from=\"Bob\">cut short\r\n" + kTellFromBob,
         "pm create:Bob key:BOB|pm[Bob] up:incoming|pm[Bob] kind:1|pm[Bob] text(1):cut short\r\n|"
         "pm[Bob] up:incoming|pm[Bob] kind:1|pm[Bob] " +
             kTellFromBobText},
        {"a stray 0x01 inside a tell is no block: the tell stays whole",
         "<tell to=\"Me Myself\" from=\"Bob\">hi\x01 there\r\n",
         "pm create:Bob key:BOB|pm[Bob] up:incoming|pm[Bob] kind:1|pm[Bob] text(1):hi there\r\n|"},
        {"a user tag before a plain line does not swallow the tell behind it",
         "<user avatar=x name=Bob>plain\r\n" + kTellFromBob,
         "main text(1):plain\r\n|" + kTellFromBobLog, 1},
    });
}

TEST(InboundEscapes, ColoursTagsAndTelnet) {
    const std::string far = "\x1b[" + std::string(300, ';') + "31mz";
    RunTranscripts({
        {"colour table, bright flag kept across units, ignored codes",
         "a\x1b[1;31mb\x1b[0;31mc\x1b[1m\r\n\x1b[30md\x1b[mE\x1b[5mF\x1b[000036mG\x1b[1m\x1b[37m",
         "main text(1):a|main colour:FF0000|main text(1):b|main colour:000000|main colour:C00000|"
         "main text(1):c\r\n|main colour:808080|main text(1):d|main colour:000000|"
         "main text(1):EF|main colour:00C0C0|main text(1):G|main colour:FFFFFF|",
         1},
        {"malformed escapes lose only the ESC; oversized ones are bounded",
         "\x1bX1m\x1b[3a1m\x1b[32m\x1b[0;0;0;0;0;0;0;0;0;0;31m\x1b[" + std::string(200, '9') +
             "31m" + far,
         "main text(1):X1m[3a1m|main colour:00C000|main colour:000000|main text(1):" +
             far.substr(1) + "|",
         1},
        {"telnet replies, refusals and zero bytes in a command",
         Bytes("g\xFF\xFB\x01h\xFF\xFD\x03i\xFF\xFD\x18j\xFF\xFB\x03k\xFF\xF1\x05l"
               "\xFF\xFD\x00Hello\xFF\xFB\x00x\xFF\x00\x00y\r\n"),
         "main text(1):ghijklHelloxy\r\n|", 1, nullptr,
         Bytes("\xFF\xFE\x01\xFF\xFC\x18\xFF\xFC\x00\xFF\xFE\x00")},
        {"a tag not closed before the line end is text; a closed tag is dropped",
         "a <b c\r\nx<foo bar>y</foo>z\r\n1<<i>2\r\n",
         "main text(1):a <b c\r\nxyz\r\n1<|main italic:1|main text(1):2|main italic:0|"
         "main text(1):\r\n|",
         3},
    });
}

TEST(InboundTags, EffectsRulesAndLinks) {
    RunTranscripts({
        {"effects in any case, the rule; a name with attributes, closing rules and speaker tags "
         "are dropped",
         "<B>x</b> <b c>y<i>z</I><u>w</u><hr></hr><say username=\"Bob\"><foo>q\r\n",
         "main bold:1|main text(1):x|main bold:0|main text(1): y|main italic:1|main text(1):z|"
         "main italic:0|main underline:1|main text(1):w|main underline:0|main separator|"
         "main text(1):q\r\n|",
         1},
        {"effects of a tell go to its window and end with the unit",
         "<tell to=\"Me Myself\" from=\"Bob\"><b><U>psst\r\n",
         "pm create:Bob key:BOB|pm[Bob] up:incoming|pm[Bob] kind:1|pm[Bob] bold:1|"
         "pm[Bob] underline:1|pm[Bob] text(1):psst\r\n|pm[Bob] bold:0|pm[Bob] underline:0|"},
        {"links closed either way; one not closed on its line leaves its label as text",
         "<a href=http://x.org/A>the site</a> and <A HREF='y'>Y</A>.<a href=w>open\r\nnext</a>"
         "<a href=\"q\">a<b>c</A> d</a>\r\n",
         "main link:http://x.org/A the site|main text(1): and |main link:'y' Y|"
         "main text(1):.open\r\nnext|main link:\"q\" a<b>c</A> d|main text(1):\r\n|",
         2},
        {"sounds: leading blanks skipped, a closing form and a tag cut by its line play nothing",
         "<SND=  ding>(Ding)</snd=x><snd=>.<snd=bell\r\n",
         "panel sound:ding|main text(1):(Ding)|panel sound:=|main text(1):.<snd=bell\r\n|", 1},
        {"a lone \"<\" at the end waits", "abc<", "main text(1):abc|", 0, nullptr, "", "<"},
        {"a link whose label is cut waits for its line", "x<a href=u>la", "main text(1):x|", 0,
         nullptr, "", "<a href=u>la"},
    });
}

TEST(InboundBlocks, BlocksInTheStream) {
    const auto withAnn = [](Harness& h) { h.users.names = {"Ann"}; };
    RunTranscripts({
        {"blocks run once however cut; an <end> inside a value does not end the block",
         "before\r\n\x01<begin>\r\n<enter role=roomop> Ann+Lee\r\n<tickermsg> a <end> inside\r\n"
         "<end>\r\nafter\r\n\x01<BEGIN>\n<leave> Ann+Lee\n<END>\n",
         "main text(1):before\r\n|users add:Ann Lee|users role:Ann Lee=roomop|"
         "ticker add:a <end> inside|ticker restart:30|main text(1):after\r\n|"
         "users remove:Ann Lee|users count|",
         2},
        {"a block after text runs at once; line ends after its end line are lines",
         "x\x01<begin>\r\n<leave> Ann\r\n<end>\r\n\r\nafter\r\n\x01<begin>\n<leave> Ann\n"
         "<end>\r\r\n\x01<begin>\n<leave> Ann\n<END>\n\nz",
         "main text(1):x|users remove:Ann|users count|main text(1):\r\nafter\r\n|users count|"
         "main text(1):\r\n|users count|main text(1):\nz|",
         5, withAnn},
        {"an unfinished block is kept from its own start", "line one\r\n\x01<begin>\n<leave> Ann\n",
         "main text(1):line one\r\n|", 1, withAnn, "", "\x01<begin>\n<leave> Ann\n"},
        {"a malformed block shows the rest as text and keeps the lines before the fault",
         "\x01<begin>\n<leave> Ann\n<bad\nkey> v\n<end>\n\x01hello\r\n",
         "users remove:Ann|users count|main text(1):\n Ann\n<bad\nkey> v\n\nhello\r\n|", 2,
         withAnn},
        {"a malformed block does not swallow the tell behind it",
         "\x01<begin>\r\n<bad\r\nkey>\r\n" + kTellFromBob,
         "main text(1):\r\n<bad\r\nkey>\r\n|" + kTellFromBobLog, 3},
        {"zero bytes are dropped; a kept tail is taken from the caller's bytes",
         Bytes("a\0b\r\n\0x\0\x01<begin>\0\n<leave> Ann\n<end>\n\x01<begin>\0\n<isadmin>"),
         "main text(1):ab\r\nx|users remove:Ann|users count|", 1, withAnn, "",
         Bytes("\x01<begin>\0\n<isadmin>")},
    });
}

TEST(InboundBounds, NothingIsHeldPastTheBoundAndCutConstructsStillWait) {
    Harness h;
    h.Receive("\x01<begin>\n");
    const std::string line = "<tickermsg> " + std::string(100, 'x') + "\n";
    std::size_t most = 0;
    for (int i = 0; i < 1000; ++i) {
        h.Receive(line);
        most = std::max(most, h.carry.size());
    }
    EXPECT_LE(most, CChatProtocol::kMaxCarry + line.size());
    EXPECT_GT(h.main.document.size(), 50000u);
    EXPECT_EQ(Normalised(h.rec.log).find("ticker add"), std::string::npos);
    // An open tell past the bound is shown rather than held.
    Harness t;
    t.Receive("<tell to=\"Me Myself\" from=\"Bob\">" + std::string(70000, 'q'));
    EXPECT_EQ(t.carry, "");
    EXPECT_EQ(t.windows.windows["BOB"]->view.document.size(), 70000u);
    // A cut escape at the end of a long line is still held.
    Harness e;
    e.Receive(std::string(70000, 'a') + "\x1b[3");
    EXPECT_EQ(e.carry, "\x1b[3");
    e.Receive("2mb");
    EXPECT_EQ(e.main.colour, 0x00C000u);
    EXPECT_EQ(e.main.document, std::string(70000, 'a') + "b");
    // A huge tag and many unclosed links are read once.
    std::string huge = "<" + std::string(100000, 'x') + ">a";
    for (int i = 0; i < 20000; ++i)
        huge += "<a href=u>";
    Harness g;
    g.Receive(huge + "<<b<i\r\n");
    EXPECT_EQ(g.main.document, "a<<i\r\n");
    EXPECT_EQ(g.carry, "");
}

TEST(InboundReentry, ASecondDispatchFromInsideAModalBoxKeepsItsBytes) {
    struct ReenteringPanel : FakePanel {
        using FakePanel::FakePanel;
        CChatProtocol* proto = nullptr;
        int inner = -1;
        char* innerResult = nullptr;
        char buffer[8] = "hello\r\n";
        int MessageBox(const std::string& t, const std::string& c, unsigned f) override {
            innerResult = proto->ProcessReceived(buffer, 7, &inner);
            return FakePanel::MessageBox(t, c, f);
        }
    };
    Harness h;
    ReenteringPanel panel(h.rec);
    panel.proto = &h.proto;
    h.ctx.m_pPanel = &panel;
    h.Receive("\x01<begin>\n<error> oops\n<end>\nafter\r\n");
    EXPECT_EQ(panel.inner, 1);
    EXPECT_EQ(panel.innerResult, panel.buffer);
    EXPECT_EQ(h.main.document, "after\r\n");
}
