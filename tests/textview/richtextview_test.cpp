// The rich text view driven only through its messages and document operations.
#include "richtextview.h"

#include <QTextBlock>
#include <QTextCursor>
#include <cstring>
#include <gtest/gtest.h>
#include <vector>

namespace {

class View : public RichTextView {
public:
    View() : RichTextView(nullptr, 119) { resize(400, 300); }
    std::vector<RtvItem> discarded;
    std::intptr_t Msg(unsigned m, std::uintptr_t w = 0, const void* l = nullptr) {
        return SendMessage(m, w, reinterpret_cast<std::intptr_t>(l));
    }
    void Text(const char* s) {
        RtvCountedText t{std::int32_t(std::strlen(s)), s};
        Msg(RTV_INSERTTEXT, 0, &t);
    }
    // A text item at the selection, as the output view inserts its links.
    RtvItem Link(const char* text, std::uintptr_t ref, const char* name = "") {
        RtvItem rec{};
        rec.type = RTV_ITEM_TEXT;
        rec.kind = 4;
        rec.reference = ref;
        std::strcpy(rec.text, name);
        rec.data = reinterpret_cast<std::uintptr_t>(text);
        std::int32_t sel[2] = {0, 0};
        Msg(RTV_GETSEL, 0, sel);
        rec.position = sel[0];
        Msg(RTV_INSERTITEM, 1, &rec);
        return rec;
    }
    QString Plain() const { return document()->toPlainText(); }

protected:
    void OnItemDiscarded(const RtvItem& item) override { discarded.push_back(item); }
};

} // namespace

TEST(RichTextView, StyleMessagesTurnBitsOverAndZeroClearsAll) {
    View v;
    EXPECT_EQ(v.Msg(RTV_GETSTYLE), 0);
    const int B = RTV_BOLD, I = RTV_ITALIC, U = RTV_UNDERLINE;
    const std::pair<int, int> steps[] = {
        {B | U, B | U}, {B, U}, {B, B | U}, {I | U, B | I}, {0, 0}};
    for (const auto& [bits, style] : steps) {
        v.SendMessage(RTV_SETSTYLE, 0, bits);
        EXPECT_EQ(v.Msg(RTV_GETSTYLE), style) << bits;
    }
}

TEST(RichTextView, TextIsWindows1252WithLineBreaksAndNoControlBytes) {
    View v;
    v.Text("one\r\ntwo\rthree\nfour\x07\x1b[1m\xe9\x80\x9d");
    EXPECT_EQ(v.Plain(), QString::fromUtf8("one\ntwo\nthree\nfour[1m\u00e9\u20ac"));
    EXPECT_EQ(v.Document().TextSize(), v.Plain().size());

    // A line without end is laid out in bounded paragraphs, and still reads as one line.
    const std::string word(5000, 'w');
    v.Text(word.c_str());
    v.Text("\r\nx");
    for (QTextBlock b = v.document()->begin(); b.isValid(); b = b.next())
        EXPECT_LE(b.length(), 2049);
    EXPECT_TRUE(v.PlainText().endsWith(QByteArray("\xe9\x80") + word.c_str() + "\nx"));
}

// Finding items under the mouse is the output view's test (its links and avatars).
TEST(RichTextView, ItemsKeepTheProgramsFieldsAndDeletingARangeDiscardsOnlyItemsWhollyInside) {
    View v;
    v.Text("aaaa");
    const RtvItem first = v.Link("first", 11);
    v.Text("bbbb");
    RtvItem second = v.Link("second", 0xDEADBEEFCAFEull, "Some User");
    ASSERT_NE(first.item, 0u);
    ASSERT_NE(second.item, 0u);
    EXPECT_EQ(second.owner, reinterpret_cast<std::uintptr_t>(&v));
    EXPECT_EQ(v.Msg(RTV_ATTACHITEM, 0, &second), std::intptr_t(second.item));
    RtvItem out{};
    ASSERT_EQ(v.Msg(RTV_GETITEM, second.item, &out), 1);
    EXPECT_EQ(out.kind, 4u);
    EXPECT_EQ(out.reference, 0xDEADBEEFCAFEull);
    EXPECT_STREQ(out.text, "Some User");
    EXPECT_EQ(out.position, 4 + 5 + 4);
    EXPECT_EQ(v.Msg(RTV_GETITEM, second.item + 100, &out), 0);

    // Cut through the middle of the second item: it keeps living.
    v.Document().DeleteRange(0, 4 + 5 + 4 + 2, false);
    ASSERT_EQ(v.discarded.size(), 1u);
    EXPECT_EQ(v.discarded[0].reference, 11u);
    EXPECT_EQ(v.Plain(), "cond");
    EXPECT_EQ(v.Msg(RTV_GETITEM, first.item, &out), 0);
    EXPECT_EQ(v.Msg(RTV_GETITEM, second.item, &out), 1);
    v.Document().DeleteRange(0, v.Document().TextSize(), false);
    ASSERT_EQ(v.discarded.size(), 2u);
    EXPECT_EQ(v.discarded[1].reference, 0xDEADBEEFCAFEull);
}

TEST(RichTextView, ChatFlagsAndHeight) {
    View v;
    v.SendMessage(RTV_SETFLAGS, 0, 0x2610);
    EXPECT_TRUE(v.isReadOnly());
    EXPECT_EQ(v.lineWrapMode(), QTextEdit::WidgetWidth);
    EXPECT_TRUE(v.textInteractionFlags() & Qt::TextSelectableByMouse);
    EXPECT_EQ(v.Msg(RTV_GETHEIGHT), 0);
    v.Text("x");
    EXPECT_GT(v.Msg(RTV_GETHEIGHT), 0);
}

TEST(RichTextView, FontMessageLeavesExistingTextUnlessAsked) {
    View v;
    v.Text("old");
    RtvLogFont lf{};
    lf.lfHeight = -20;
    lf.lfWeight = 400;
    std::strcpy(lf.lfFaceName, "Liberation Sans");
    v.Msg(RTV_SETFONT, 0, &lf);
    QTextCursor c(v.document());
    c.setPosition(1);
    EXPECT_NE(c.charFormat().property(QTextFormat::FontPixelSize).toInt(), 20);
    v.Text("new");
    c.setPosition(5);
    EXPECT_EQ(c.charFormat().property(QTextFormat::FontPixelSize).toInt(), 20);
}
