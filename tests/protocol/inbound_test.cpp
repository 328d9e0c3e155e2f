// Transcripts of the inbound stream: server bytes in, the calls on the views, windows, lists and
// panel and the bytes written back out. Every transcript is also fed byte by byte and cut at every
// offset, and must render the same.
#include "transcript.h"

#include <algorithm>
#include <gtest/gtest.h>

using namespace kivra_test;

namespace {

const std::string kSayBob = "<user avatar=http://h/a.gif name=Bob><say username=\"Bob\">"
                            "\x1b[31mBob\x1b[34m says, \"hi\x1b[0;m\"\r\n";
const std::string kTellFromBob = "<tell to=\"Me Myself\" from=\"Bob\">\x1b[35mBob tells you, \"psst"
                                 "\x1b[0;m\"\r\n";

std::vector<std::string> Lines(std::initializer_list<const char*> l) {
    return {l.begin(), l.end()};
}

template <std::size_t N> std::string Bytes(const char (&s)[N]) {
    return std::string(s, N - 1);
}

StreamSetup Monitor() {
    return [](Harness& h) { h.ctx.m_bMonitor = true; };
}

} // namespace

TEST(InboundUnits, PlainLinesAreUnitsEachScrolledAndPartialLinesShowAtOnce) {
    const Outcome o = ExpectSameHoweverCut("hello\r\nworld\r\nprompt: ");
    EXPECT_EQ(o.log, Lines({"main text(1):hello\r\n", "main finish", "main text(1):world\r\n",
                            "main finish", "main text(1):prompt: "}));
    EXPECT_EQ(o.carry, "");
}

TEST(InboundUnits, SayOfAnotherUserIsColouredAndBeepsWhenAsked) {
    const Outcome o = ExpectSameHoweverCut(kSayBob, Monitor());
    EXPECT_EQ(o.log, Lines({"main colour:C00000", "main text(1):Bob", "main colour:0000C0",
                            "main text(1): says, \"hi", "main colour:000000", "main text(1):\"\r\n",
                            "panel beep", "main finish"}));
    // Without the sound switch the same say is silent.
    const Outcome quiet = RunStream({}, {kSayBob});
    EXPECT_EQ(std::count(quiet.log.begin(), quiet.log.end(), "panel beep"), 0);
}

TEST(InboundUnits, OwnSayAndOwnEmoteNeverBeep) {
    const std::string say = "<user avatar=x name=Me+Myself><say username=\"me MYSELF\">\x1b[34mYou "
                            "say, \"yo\x1b[0;m\"\r\n";
    const std::string emote = "<emote username=\"Me Myself\">\x1b[35mMe Myself waves\x1b[0;m\r\n";
    const Outcome o = ExpectSameHoweverCut(say + emote, Monitor());
    EXPECT_EQ(std::count(o.log.begin(), o.log.end(), "panel beep"), 0);
    EXPECT_NE(Join(o.log).find("Me Myself waves"), std::string::npos);
    // Another user's emote is kind 3 and beeps.
    const Outcome other =
        RunStream(Monitor(), {"<emote username=\"Bob\">\x1b[35mBob waves\x1b[0;m\r\n"});
    EXPECT_EQ(std::count(other.log.begin(), other.log.end(), "panel beep"), 1);
}

TEST(InboundUnits, UnitEndingAtAnEscapeOrBlockDoesNotBeep) {
    const Outcome o = RunStream(Monitor(), {"text\x1b[31m"});
    EXPECT_EQ(o.log, Lines({"main text(1):text", "main colour:C00000"}));
    const Outcome b = RunStream(Monitor(), {"x\x01<begin>\n<isadmin>\n<end>\n"});
    EXPECT_EQ(std::count(b.log.begin(), b.log.end(), "panel beep"), 0);
}

TEST(InboundRouting, TellToMeOpensTheTellersWindowAndReusesItWhateverTheCase) {
    const std::string second = "<tell to=\"me myself\" from=\"BOB\">again\x1b[0;m\"\r\n";
    const Outcome o = ExpectSameHoweverCut(kTellFromBob + second, Monitor());
    EXPECT_EQ(o.log, Lines({"pm create:Bob key:BOB", "pm[Bob] up:incoming", "pm[Bob] kind:1",
                            "pm[Bob] colour:C000C0", "pm[Bob] text(1):Bob tells you, \"psst",
                            "pm[Bob] finish", "pm[Bob] colour:000000", "pm[Bob] text(1):\"\r\n",
                            "pm[Bob] finish", "main finish", "pm[Bob] up:incoming",
                            "pm[Bob] kind:1", "pm[Bob] text(1):again", "pm[Bob] finish",
                            "pm[Bob] text(1):\"\r\n", "pm[Bob] finish", "main finish"}));
}

TEST(InboundRouting, EchoOfOwnTellGoesToTheRecipientsWindow) {
    Harness h;
    h.Receive("<user avatar=x name=Me><tell to=\"Ann Lee\" from=\"Me Myself\">You tell Ann, "
              "\"x\x1b[0;m\"\r\n");
    ASSERT_EQ(h.windows.windows.count("ANN+LEE"), 1u);
    EXPECT_EQ(h.windows.windows["ANN+LEE"]->view.document, "You tell Ann, \"x\"\r\n");
    EXPECT_EQ(h.rec.log[1], "pm[Ann Lee] up:own");
    EXPECT_EQ(h.rec.log[2], "pm[Ann Lee] kind:2");
    EXPECT_EQ(h.main.document, "");
}

TEST(InboundRouting, TellsThatNoWindowCanTakeGoToTheMainView) {
    // Several recipients without a user tag: kind 4, main view, no beep.
    const Outcome many = ExpectSameHoweverCut(
        "<tell to=\"Ann,Bob\" from=\"Me Myself\">hi all\x1b[0;m\"\r\n", Monitor());
    EXPECT_EQ(many.log, Lines({"main text(1):hi all", "main text(1):\"\r\n", "main finish"}));
    // Several recipients after a user tag: no single partner, so the main view.
    Harness h;
    h.Receive("<user avatar=x name=Me><tell to=\"Ann,Bob\" from=\"Me\">hi\x1b[0;m\"\r\n");
    EXPECT_TRUE(h.windows.windows.empty());
    EXPECT_EQ(h.main.document, "hi\"\r\n");
    // The most windows are open.
    Harness full;
    full.ctx.m_nMaxPM = 2;
    full.windows.extraOpen = 2;
    full.Receive(kTellFromBob);
    EXPECT_TRUE(full.windows.windows.empty());
    EXPECT_EQ(full.main.document, "Bob tells you, \"psst\"\r\n");
    // No window map at all.
    Harness none;
    none.ctx.m_pPrivateWindows = nullptr;
    none.Receive(kTellFromBob);
    EXPECT_EQ(none.main.document, "Bob tells you, \"psst\"\r\n");
}

TEST(InboundRouting, TellIsHeldUntilItsEndMarkerSoNoneOfItLandsInTheWrongView) {
    Harness h;
    h.Receive("<tell to=\"Me Myself\" from=\"Bob\">part one, ");
    EXPECT_TRUE(h.rec.log.empty());
    h.Receive("part two\x1b[0;m\"\r\nnext line\r\n");
    EXPECT_EQ(h.windows.windows["BOB"]->view.document, "part one, part two\"\r\n");
    EXPECT_EQ(h.main.document, "next line\r\n");
    EXPECT_EQ(h.carry, "");
}

TEST(InboundEscapes, ColourTableBrightFlagAndIgnoredCodes) {
    Harness h;
    h.Receive("a\x1b[1;31mb\x1b[0;31mc\x1b[1m\x1b[30md\x1b[mE\x1b[5mF\x1b[000036mG");
    EXPECT_EQ(Join(h.rec.log), Join(Lines({"main text(1):a", "main colour:FF0000", "main text(1):b",
                                           "main colour:000000", "main colour:C00000",
                                           "main text(1):c", "main colour:808080", "main text(1):d",
                                           "main colour:000000", "main text(1):E", "main text(1):F",
                                           "main colour:00C0C0", "main text(1):G"})));
    EXPECT_EQ(h.proto.Bright(), 0);
    h.Receive("\x1b[1m");
    EXPECT_EQ(h.proto.Bright(), 1); // kept across calls
    h.Receive("\x1b[37m");
    EXPECT_EQ(h.main.colour, 0xFFFFFFu);
}

TEST(InboundEscapes, MalformedAndOversizedEscapesAreBounded) {
    Harness h;
    // Not "ESC[": only the ESC goes.
    h.Receive(std::string("\x1b") + "X1m\r\n");
    EXPECT_EQ(h.main.document, "X1m\r\n");
    // A letter inside: only the ESC goes.
    h.Receive(std::string("\x1b") + "[3a1m\r\n");
    EXPECT_EQ(h.main.document, "X1m\r\n[3a1m\r\n");
    // Beyond ten parameters the rest is ignored: the eleventh (31) does not apply.
    Harness p;
    p.main.colour = 0x123456;
    p.Receive("\x1b[0;0;0;0;0;0;0;0;0;0;31m");
    EXPECT_EQ(p.main.colour, 0u);
    EXPECT_EQ(Join(p.rec.log), "main colour:000000\n");
    // A digit run far too long is not a code.
    Harness d;
    d.Receive("\x1b[" + std::string(200, '9') + "31m");
    EXPECT_TRUE(d.rec.log.empty());
    // An escape whose end is far away is not an escape.
    Harness far;
    far.Receive("\x1b[" + std::string(300, ';') + "31mz");
    EXPECT_EQ(far.main.document, "[" + std::string(300, ';') + "31mz");
}

TEST(InboundEscapes, CutEscapeWaitsForTheRest) {
    Harness h;
    h.Receive("abc\x1b[31");
    EXPECT_EQ(h.main.document, "abc");
    EXPECT_EQ(h.carry, "\x1b[31");
    h.Receive("mdef\r\n");
    EXPECT_EQ(h.main.document, "abcdef\r\n");
    EXPECT_EQ(h.main.colour, 0x0000C0u);
    ExpectSameHoweverCut("x\x1b[1;32my\x1b[0;34mz\r\n\x1b[m");
}

TEST(InboundEscapes, EscapesInsideATellColourThePrivateView) {
    Harness h;
    h.Receive(kTellFromBob);
    EXPECT_EQ(h.windows.windows["BOB"]->view.colour, 0u);
    EXPECT_NE(Join(h.rec.log).find("pm[Bob] colour:C000C0"), std::string::npos);
    EXPECT_EQ(Join(h.rec.log).find("main colour"), std::string::npos);
}

TEST(InboundTelnet, RepliesRefusalsAndHoldsCutCommands) {
    const Outcome o = ExpectSameHoweverCut("a\xFF\xFB\x01"
                                           "b\xFF\xFD\x03"
                                           "c\xFF\xFD\x18"
                                           "d\xFF\xFB\x03"
                                           "e\xFF\xF1\x05"
                                           "f\r\n");
    EXPECT_EQ(o.wire, std::string("\xFF\xFE\x01\xFF\xFC\x18", 6));
    EXPECT_EQ(o.log, Lines({"main text(1):a", "main text(1):b", "main text(1):c", "main text(1):d",
                            "main text(1):e", "main text(1):f\r\n", "main finish"}));
    Harness h;
    h.Receive("x\xFF\xFB");
    EXPECT_EQ(h.carry, "\xFF\xFB");
    EXPECT_EQ(h.rec.wire, "");
    h.Receive("\x01y");
    EXPECT_EQ(h.rec.wire, "\xFF\xFE\x01");
    EXPECT_EQ(h.main.document, "xy");
}

TEST(InboundTags, UnclosedTagIsTextClosedTagIsDropped) {
    const Outcome o = ExpectSameHoweverCut("a <b c\r\nx<foo bar>y</foo>z\r\n1<<i>2\r\n");
    EXPECT_EQ(Join(Normalised(o.log)), Join(Lines({"main text(1):a <b c\r\nxyz\r\n1<2\r\n"})));
    // A tag cut by the end of the received bytes waits for its ">".
    Harness h;
    h.Receive("text <unfinis");
    EXPECT_EQ(h.main.document, "text ");
    EXPECT_EQ(h.carry, "<unfinis");
    h.Receive("hed>more\r\n");
    EXPECT_EQ(h.main.document, "text more\r\n");
}

TEST(InboundWatch, MarkerOncePerUnitAndWatchedNameInUpperCase) {
    StreamSetup watch = [](Harness& h) { h.proto.AddWatch("bob"); };
    const Outcome o = ExpectSameHoweverCut(kSayBob + kSayBob, watch);
    const auto markers = std::count(o.log.begin(), o.log.end(), "main plainpicture:9x7@-17");
    EXPECT_EQ(markers, 2); // one per say
    EXPECT_NE(Join(o.log).find("main text(1):BOB\n"), std::string::npos);
    // Not watched: name as sent, no marker.
    const Outcome plain = RunStream({}, {kSayBob});
    EXPECT_NE(Join(plain.log).find("main text(1):Bob\n"), std::string::npos);
    EXPECT_EQ(Join(plain.log).find("plainpicture"), std::string::npos);
}

TEST(InboundLineEnds, LineEndSwitchesEffectsOffOnTheMainView) {
    Harness h;
    h.main.bold = h.main.italic = h.main.underline = true;
    h.Receive("abc");
    EXPECT_TRUE(h.main.italic == false); // end of unit resets the target too
    h.main.bold = true;
    h.Receive(kTellFromBob);
    EXPECT_FALSE(h.main.bold); // the tell's CR LF resets the main view even for a window unit
}

TEST(InboundBlocks, BlocksInTheStreamRunOnceHoweverCut) {
    const std::string stream = "before\r\n\x01<begin>\r\n<enter role=roomop> Ann+Lee\r\n"
                               "<tickermsg> a <end> inside\r\n<end>\r\nafter\r\n"
                               "\x01<BEGIN>\n<leave> Ann+Lee\n<END>\n";
    const Outcome o = ExpectSameHoweverCut(stream);
    EXPECT_EQ(
        Join(Normalised(o.log)),
        Join(Lines({"main text(1):before\r\n", "users add:Ann Lee", "users role:Ann Lee=roomop",
                    "ticker add:a <end> inside", "ticker restart:30", "main text(1):after\r\n",
                    "users remove:Ann Lee", "users count"})));
}

TEST(InboundBlocks, IncompleteBlockReturnsItsOwnStartSoShownUnitsAreNotRepeated) {
    Harness h;
    h.Receive("line one\r\n\x01<begin>\n<isadmin>\n");
    EXPECT_EQ(h.main.document, "line one\r\n");
    EXPECT_EQ(h.carry, "\x01<begin>\n<isadmin>\n");
    EXPECT_EQ(h.ctx.m_nAdmin, 0);
    h.Receive("<end>\n");
    EXPECT_EQ(h.ctx.m_nAdmin, 1);
    EXPECT_EQ(h.main.document, "line one\r\n");
    EXPECT_EQ(h.carry, "");
    // A block opener cut after a few bytes is not taken for text.
    Harness c;
    c.Receive("\x01<beg");
    EXPECT_EQ(c.carry, "\x01<beg");
    c.Receive("in>\n<notadmin>\n<end>\n");
    EXPECT_EQ(c.main.document, "");
}

TEST(InboundBlocks, MalformedBlockShowsTheRestAsText) {
    Harness h;
    h.Receive("\x01<begin>\n<isadmin>\n<bad\nkey> v\n<end>\n");
    EXPECT_EQ(h.ctx.m_nAdmin, 1); // lines before the fault stay handled
    // What follows the dropped 0x01 is display text, tags and all.
    EXPECT_EQ(h.main.document, "\n\n<bad\nkey> v\n\n");
    Harness t;
    t.Receive("\x01hello\r\n");
    EXPECT_EQ(t.main.document, "hello\r\n");
}

TEST(InboundBytes, ZeroBytesAreDroppedAndPositionsStayInTheCallersBuffer) {
    Harness h;
    h.Receive(Bytes("a\0b\r\n\0x\0\x01<begin>\0\n<isadmin>"));
    EXPECT_EQ(h.main.document, "ab\r\nx");
    EXPECT_EQ(h.carry, Bytes("\x01<begin>\0\n<isadmin>"));
    h.Receive("\n<end>\n");
    EXPECT_EQ(h.ctx.m_nAdmin, 1);
    EXPECT_EQ(h.carry, "");
    int incomplete = 7;
    char empty[1] = {0};
    EXPECT_EQ(h.proto.ProcessReceived(empty, 0, &incomplete), empty);
}

TEST(InboundBounds, ABlockThatNeverEndsIsShownAsTextPastTheBound) {
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
    EXPECT_EQ(Join(h.rec.log).find("ticker add"), std::string::npos);
}

TEST(InboundBounds, MegabytesWithoutLineEndAreShownWithoutCarry) {
    Harness h;
    const std::string chunk(64 * 1024, 'z');
    for (int i = 0; i < 32; ++i) {
        h.Receive(chunk);
        ASSERT_EQ(h.carry, "");
    }
    EXPECT_EQ(h.main.document.size(), 32u * chunk.size());
    // An open tell past the bound is shown rather than held.
    Harness t;
    t.Receive("<tell to=\"Me Myself\" from=\"Bob\">" + std::string(70000, 'q'));
    EXPECT_EQ(t.carry, "");
    EXPECT_EQ(t.windows.windows["BOB"]->view.document.size(), 70000u);
}

TEST(InboundBounds, ManyOpenersInOneHugeUnitStayLinear) {
    // Each 0x01, ESC and "<" here would scan to the end of the data if not bounded.
    for (const char* piece : {"\x01<begin>\n", "\x1b[;", "<a", "\x01<begin>\x1b[;<"}) {
        Harness h;
        std::string junk;
        while (junk.size() < 900000)
            junk += piece;
        h.Receive(junk);
        EXPECT_LE(h.carry.size(), CChatProtocol::kMaxCarry) << piece;
    }
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

TEST(ShowText, AppendsInTheGivenStyleAndScrolls) {
    Harness h;
    h.proto.ShowText("", 4);
    h.proto.ShowText("note\r\n", 0);
    h.proto.ShowText("warn", 16);
    EXPECT_EQ(h.rec.log,
              Lines({"main text(1):note\r\n", "main finish", "main text(16):warn", "main finish"}));
}

TEST(InboundBlocks, BlockAfterTextOnOneLineRunsWithoutWaitingForMoreBytes) {
    const Outcome o = ExpectSameHoweverCut("x\x01<begin>\r\n<isadmin>\r\n<end>\r\n\r\nafter\r\n",
                                           [](Harness& h) { h.ctx.m_nAdmin = 5; });
    EXPECT_EQ(o.carry, "");
    EXPECT_EQ(Join(Normalised(o.log)), "main text(1):xafter\r\n\n");
    Harness h;
    h.Receive("x\x01<begin>\r\n<isadmin>\r\n<end>\r\n");
    EXPECT_EQ(h.ctx.m_nAdmin, 1);
    EXPECT_EQ(h.carry, "");
    // The end line's CR LF cut in two: the LF is not shown as an empty line.
    h.Receive("\n\r\nnext\r\n");
    EXPECT_EQ(h.main.document, "xnext\r\n");
}

TEST(InboundRouting, AUserTagBeforeAPlainLineDoesNotSwallowTheTellBehindIt) {
    const Outcome o = ExpectSameHoweverCut("<user avatar=x name=Bob>plain\r\n" + kTellFromBob);
    EXPECT_EQ(Normalised(o.log).front(), "main text(1):plain\r\n");
    EXPECT_NE(Join(o.log).find("pm[Bob] text(1):Bob tells you"), std::string::npos);
}

TEST(InboundBounds, ACutEscapeAtTheEndOfALongLineIsStillHeld) {
    Harness h;
    h.Receive(std::string(70000, 'a') + "\x1b[3");
    EXPECT_EQ(h.carry, "\x1b[3");
    h.Receive("2mb");
    EXPECT_EQ(h.main.colour, 0x00C000u);
    EXPECT_EQ(h.main.document, std::string(70000, 'a') + "b");
}
