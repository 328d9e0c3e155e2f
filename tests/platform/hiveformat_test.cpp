// The REGEDIT4 text form and GUID text form: round trips, the lines a hand editor may leave,
// and the deletions a .reg file may carry.

#include "guid.h"
#include "regformat.h"

#include <gtest/gtest.h>

using namespace kivra::platform;

TEST(Guid, TextFormRoundTripAndRejects) {
    const auto g = Guid::Parse("{1a2b3c4d-5E6F-7a8b-9C0D-0123456789aB}");
    ASSERT_TRUE(g);
    EXPECT_EQ(std::tie(g->data1, g->data2, g->data3, g->data4[0], g->data4[7]),
              std::make_tuple(0x1A2B3C4Du, std::uint16_t(0x5E6F), std::uint16_t(0x7A8B),
                              std::uint8_t(0x9C), std::uint8_t(0xAB)));
    EXPECT_EQ(g->ToString(), "{1A2B3C4D-5E6F-7A8B-9C0D-0123456789AB}");
    EXPECT_EQ(g->ToString().size(), kGuidTextLength);
    EXPECT_EQ(Guid::Parse("1A2B3C4D-5E6F-7A8B-9C0D-0123456789AB"), g);
    for (const char* bad :
         {"", "{}", "{1A2B3C4D-5E6F-7A8B-9C0D-0123456789AB",
          "{1A2B3C4D-5E6F-7A8B-9C0D-0123456789AG}", "{1A2B3C4D+5E6F-7A8B-9C0D-0123456789AB}",
          "(1A2B3C4D-5E6F-7A8B-9C0D-0123456789AB)", "{1A2B3C4D-5E6F-7A8B-9C0D-0123456789AB0}"})
        EXPECT_FALSE(Guid::Parse(bad)) << bad;
    EXPECT_TRUE(Guid{}.IsNull());
    EXPECT_LT(*Guid::Parse("{00000001-0000-0000-0000-000000000000}"),
              *Guid::Parse("{00000002-0000-0000-0000-000000000000}"));
}

TEST(RegHive, NamesIgnoreCaseKeepFirstSpellingAndDeleteTakesTheSubtreeOnly) {
    RegHive h;
    EXPECT_TRUE(h.CreateKey("Software\\Kivra\\Main"));
    EXPECT_TRUE(h.HasKey("SOFTWARE\\kivra\\MAIN"));
    EXPECT_TRUE(h.HasKey("Software\\\\Kivra\\Main\\")); // doubled and trailing separators
    EXPECT_FALSE(h.CreateKey("software\\KIVRA"));
    h.SetValue("SOFTWARE\\KIVRA\\MAIN", "Name", RegValue::String("a"));
    h.SetValue("software\\kivra\\main", "NAME", RegValue::String("b"));
    ASSERT_EQ(h.Values("Software\\Kivra\\Main").size(), 1u);
    EXPECT_EQ(h.Values("Software\\Kivra\\Main")[0].name, "Name");
    EXPECT_EQ(h.FindValue("Software\\Kivra\\Main", "name")->text, "b");
    EXPECT_EQ(h.SubKeys("SOFTWARE"), std::vector<std::string>{"Kivra"});

    for (const char* k : {"A\\B\\C", "A\\B D", "A\\BX", "A\\B\\E\\F"})
        h.CreateKey(k);
    EXPECT_TRUE(h.DeleteKey("a\\b"));
    EXPECT_FALSE(h.HasKey("A\\B\\E\\F"));
    EXPECT_EQ(h.SubKeys("A"), (std::vector<std::string>{"B D", "BX"})); // common prefix stays
    EXPECT_FALSE(h.DeleteKey("A\\B"));
    EXPECT_FALSE(h.DeleteKey(""));
}

TEST(RegFormat, RoundTripOfAwkwardValues) {
    RegHive h;
    const char* main = "Software\\Kivra\\axkivractrl\\MSKIVRA50\\Main";
    h.SetValue(main, "InstallPath", RegValue::String("C:\\Kivra"));
    h.SetValue(main, "Quote \"q\"", RegValue::String("say \"hi\"\\"));
    h.SetValue(main, "Lines", RegValue::String("one\r\ntwo\nthree"));
    h.SetValue(main, "Nul", RegValue::String(std::string("a\0b", 3)));
    h.SetValue(main, "Max Cache", RegValue::Dword(0xFFFFFFFFu));
    h.SetValue(main, "", RegValue::String("default"));
    h.SetValue("Software\\Priv Msg MRU", "MRU000", RegValue::String("  blanks  "));
    h.CreateKey("Software\\Empty Key");
    const std::string text = FormatRegText(h, kRootCurrentUser);
    EXPECT_EQ(text.rfind("REGEDIT4\n", 0), 0u);
    for (const char* line : {"\"Max Cache\"=dword:ffffffff\n", "\"InstallPath\"=\"C:\\\\Kivra\"\n",
                             "@=\"default\"\n", "[HKEY_CURRENT_USER\\Software\\Empty Key]\n"})
        EXPECT_NE(text.find(line), std::string::npos) << line;
    const RegDocument doc = ParseRegText(text);
    EXPECT_TRUE(doc.hasHeader && doc.complete && !doc.binary && doc.issues.empty());
    RegHive back;
    ApplyRegOperations(doc, kRootCurrentUser, back);
    EXPECT_EQ(back, h);
    EXPECT_EQ(FormatRegText(back, kRootCurrentUser), text);
}

TEST(RegFormat, HandEditedFileKeepsEveryValidValueAndListsJunk) {
    const RegDocument doc = ParseRegText("REGEDIT4\r\n; a comment\r\n\r\n"
                                         "[HKCU\\Software\\A]\r\n"
                                         "\"Good\"=\"1\"\r\n"
                                         "this line is junk\r\n"
                                         "\"Broken=\"x\"\r\n"
                                         "\"NoQuoteEnd\"=\"abc\r\n"
                                         "\"Hex\"=hex:01,02,\\\r\n  03,04\r\n"
                                         "\"Dw\" = DWORD:1F\r\n"
                                         "\"TooLong\"=dword:123456789\r\n"
                                         "\"BadHex\"=dword:12z4\r\n"
                                         "[HKEY_LOCAL_MACHINE\\Software]\r\n"
                                         "\"Lost\"=\"under an unknown root\"\r\n"
                                         "[HKEY_CURRENT_USER\\Software\\B\r\n"
                                         "\"Orphan\"=\"after a broken key line\"\r\n"
                                         "[hkey_current_user\\Software\\C]\r\n"
                                         "@=\"c\"\r\n\"Also good\"=\"2\"\r\n");
    EXPECT_TRUE(doc.hasHeader);
    RegHive h;
    ApplyRegOperations(doc, kRootCurrentUser, h);
    EXPECT_EQ(h.FindValue("Software\\A", "Good")->text, "1");
    EXPECT_EQ(h.FindValue("Software\\A", "dw")->dword, 0x1Fu);
    EXPECT_EQ(h.FindValue("Software\\C", "")->text, "c");
    EXPECT_EQ(h.FindValue("Software\\C", "Also good")->text, "2");
    EXPECT_FALSE(h.FindValue("Software\\A", "Hex"));
    EXPECT_FALSE(h.HasKey("Software\\B"));
    std::vector<int> lines;
    for (const auto& i : doc.issues)
        lines.push_back(i.line);
    // junk, broken name, open string, hex, too long, bad digit, unknown root, value under it,
    // unclosed key, value under it; the hex continuation line is not reported twice.
    EXPECT_EQ(lines, (std::vector<int>{6, 7, 8, 9, 12, 13, 14, 15, 16, 17}));

    // Headers a store refuses are its broken-hive cases; these two are accepted.
    EXPECT_TRUE(ParseRegText("\n\nREGEDIT4\n").hasHeader);
    EXPECT_TRUE(ParseRegText("Windows Registry Editor Version 5.00\n").hasHeader);
}

TEST(RegFormat, DeletionsAndRootsInOneDocument) {
    const RegDocument doc = ParseRegText("REGEDIT4\n"
                                         "[HKEY_CURRENT_USER\\X\\Y]\n\"a\"=\"1\"\n\"b\"=\"2\"\n"
                                         "[HKEY_CLASSES_ROOT\\CLSID\\Z]\n@=\"z\"\n"
                                         "[HKEY_CURRENT_USER\\X\\Y]\n\"a\"=-\n"
                                         "[-HKEY_CURRENT_USER\\X\\Y\\Sub]\n"
                                         "[-HKEY_CURRENT_USER]\n");
    RegHive cu;
    cu.CreateKey("X\\Y\\Sub\\Deep");
    int foreign = 0;
    ApplyRegOperations(doc, kRootCurrentUser, cu, &foreign);
    EXPECT_EQ(foreign, 2); // the CLSID key and its value
    EXPECT_FALSE(cu.FindValue("X\\Y", "a"));
    EXPECT_EQ(cu.FindValue("X\\Y", "b")->text, "2");
    EXPECT_FALSE(cu.HasKey("X\\Y\\Sub"));
    ASSERT_EQ(doc.issues.size(), 1u); // a whole root cannot go
    RegHive cr;
    ApplyRegOperations(doc, kRootClassesRoot, cr);
    EXPECT_EQ(cr.FindValue("CLSID\\Z", "")->text, "z");
}
