// The registry: GUID and REGEDIT4 text forms, and the store on disk with its crash safety,
// concurrent writers, bad hives and import with its deletions.

#include "guid.h"
#include "regformat.h"
#include "registrystore.h"
#include "tempdir.h"

#include <algorithm>
#include <csignal>
#include <gtest/gtest.h>
#include <sstream>
#include <sys/wait.h>
#include <unistd.h>

using namespace kivra::platform;

namespace {

constexpr RegRoot CU = RegRoot::CurrentUser;
constexpr RegRoot CR = RegRoot::ClassesRoot;
const char* const kMain = "Software\\Kivra\\axkivractrl\\MSKIVRA50\\Main";

// The contents of the files in `dir` whose names hold `mark`.
std::vector<std::string> FilesMarked(const std::filesystem::path& dir, const char* mark) {
    std::vector<std::string> found;
    for (const auto& e : std::filesystem::directory_iterator(dir))
        if (e.path().filename().string().find(mark) != std::string::npos)
            found.push_back(ReadAll(e.path()));
    return found;
}

} // namespace

TEST(Guid, TextFormRoundTripAndRejects) {
    const auto g = Guid::Parse("{1a2b3c4d-5E6F-7a8b-9C0D-0123456789aB}");
    ASSERT_TRUE(g);
    EXPECT_EQ(std::tie(g->data1, g->data2, g->data3, g->data4[0], g->data4[7]),
              std::make_tuple(0x1A2B3C4Du, std::uint16_t(0x5E6F), std::uint16_t(0x7A8B),
                              std::uint8_t(0x9C), std::uint8_t(0xAB)));
    EXPECT_EQ(g->ToString(), "{1A2B3C4D-5E6F-7A8B-9C0D-0123456789AB}");
    for (const char* bad :
         {"", "{}", "{1A2B3C4D-5E6F-7A8B-9C0D-0123456789AB",
          "{1A2B3C4D-5E6F-7A8B-9C0D-0123456789AG}", "{1A2B3C4D+5E6F-7A8B-9C0D-0123456789AB}",
          "(1A2B3C4D-5E6F-7A8B-9C0D-0123456789AB)", "{1A2B3C4D-5E6F-7A8B-9C0D-0123456789AB0}"})
        EXPECT_FALSE(Guid::Parse(bad)) << bad;
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
    h.SetValue(kMain, "InstallPath", RegValue::String("C:\\Kivra"));
    h.SetValue(kMain, "Quote \"q\"", RegValue::String("say \"hi\"\\"));
    h.SetValue(kMain, "Lines", RegValue::String("one\r\ntwo\nthree"));
    h.SetValue(kMain, "Nul", RegValue::String(std::string("a\0b", 3)));
    h.SetValue(kMain, "Max Cache", RegValue::Dword(0xFFFFFFFFu));
    h.SetValue(kMain, "", RegValue::String("default"));
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

TEST(RegistryStore, ValuesPersistRootsStaySeparateAndStoresShareTheFolder) {
    TempDir dir;
    const std::string pm = "Software\\Kivra\\axkivractrl\\MSKIVRA50\\PM";
    {
        RegistryStore s(dir.path());
        EXPECT_TRUE(s.SetString(CU, kMain, "Font Family", "Times New Roman"));
        EXPECT_TRUE(s.SetString(CR, "mskivra50.razar.1\\CLSID", "", "{X}"));
        // Names that would break the one-line form are refused, not stored.
        EXPECT_FALSE(s.SetString(CU, "Bad\nKey", "x", "y"));
    }
    RegistryStore s(dir.path());
    RegistryStore other(dir.path());
    EXPECT_EQ(s.QueryString(CU, "SOFTWARE\\kivra\\AXKIVRACTRL\\mskivra50\\main", "font family"),
              "Times New Roman");
    EXPECT_FALSE(s.KeyExists(CU, "mskivra50.razar.1"));
    EXPECT_TRUE(s.KeyExists(CR, "mskivra50.razar.1"));
    s.SetString(CU, pm, "MAX PM", "10");
    EXPECT_EQ(other.QueryString(CU, pm, "MAX PM"), "10"); // another store on the same folder
    other.SetString(CU, kMain, "Two", "2");
    // `s` re-reads under the lock, so its next write keeps what `other` wrote.
    EXPECT_TRUE(s.DeleteValue(CU, pm, "max pm"));
    EXPECT_FALSE(RegistryStore(dir.path()).QueryValue(CU, pm, "MAX PM"));
    EXPECT_EQ(RegistryStore(dir.path()).QueryString(CU, kMain, "Two"), "2");
}

TEST(RegistryStore, TwoProcessesWritingAtOnceBothSurvive) {
    TempDir dir;
    constexpr int kEach = 40;
    auto name = [](int k, int i) { return "P" + std::to_string(k) + "_" + std::to_string(i); };
    pid_t kids[2];
    for (int k = 0; k < 2; ++k) {
        kids[k] = ::fork();
        ASSERT_GE(kids[k], 0);
        if (kids[k] == 0) {
            std::ostringstream quiet;
            RegistryStore s(dir.path(), &quiet);
            bool ok = true;
            for (int i = 0; i < kEach; ++i)
                ok = s.SetDword(CU, kMain, name(k, i), std::uint32_t(i)) && ok;
            ::_exit(ok ? 0 : 1);
        }
    }
    for (const pid_t kid : kids) {
        int status = 0;
        ::waitpid(kid, &status, 0);
        EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << status;
    }
    RegistryStore s(dir.path());
    for (int k = 0; k < 2; ++k)
        for (int i = 0; i < kEach; ++i)
            EXPECT_EQ(s.QueryDword(CU, kMain, name(k, i)), std::uint32_t(i));
}

TEST(RegistryStore, WriterKilledHalfWayOrItsLeftoverTempFileLeaveAReadableHive) {
    TempDir dir;
    {
        RegistryStore s(dir.path());
        // A big hive makes each write long enough to be caught in the middle.
        s.Modify(CU, [](RegHive& h) {
            for (int i = 0; i < 4000; ++i)
                h.SetValue("Software\\Bulk", "V" + std::to_string(i),
                           RegValue::String(std::string(40, 'x')));
            return true;
        });
    }
    for (int round = 0; round < 6; ++round) {
        const pid_t kid = ::fork();
        ASSERT_GE(kid, 0);
        if (kid == 0) {
            std::ostringstream quiet;
            RegistryStore s(dir.path(), &quiet);
            for (std::uint32_t i = 0;; ++i)
                s.SetDword(CU, kMain, "Counter", i);
        }
        ::usleep(30000 + round * 17000);
        ::kill(kid, SIGKILL);
        ::waitpid(kid, nullptr, 0);

        std::ostringstream warnings;
        RegistryStore s(dir.path(), &warnings);
        EXPECT_EQ(s.EnumValues(CU, "Software\\Bulk").size(), 4000u);
        EXPECT_TRUE(warnings.str().empty()) << warnings.str(); // a cut hive would warn
    }
    // A truncated temporary file left behind is neither read nor in the way.
    WriteAll(dir / "HKEY_CURRENT_USER.reg.tmp", "REGEDIT4\n[HKEY_CURRENT_USER\\Softw");
    std::ostringstream warnings;
    RegistryStore s(dir.path(), &warnings);
    EXPECT_TRUE(s.SetString(CU, kMain, "More", "yes"));
    EXPECT_EQ(s.EnumValues(CU, "Software\\Bulk").size(), 4000u);
    EXPECT_FALSE(std::filesystem::exists(dir / "HKEY_CURRENT_USER.reg.tmp"));
    EXPECT_TRUE(warnings.str().empty());
}

// A hive that cannot be read whole is set aside and read as empty; a hand-edited one keeps its
// valid values. Either way the original is kept beside the hive the next write makes clean.
TEST(RegistryStore, BrokenOrHandEditedHiveIsKeptBesideTheNewOne) {
    struct Case {
        const char* name;
        std::string text;
        std::optional<std::string> x; // what the store reads
        long warnings;                // lines, however often the store reads
        const char* says;             // in the warnings
    };
    const Case cases[] = {
        {"cut off", "REGEDIT4\n[HKEY_CURRENT_USER\\A]\n\"x\"=\"1\"\n\"y\"=\"t", {}, 1, ""},
        {"no header", "[HKEY_CURRENT_USER\\A]\n\"x\"=\"1\"\n", {}, 1, ""},
        {"binary", std::string("REGEDIT4\n\0\0\0garbage\n", 20), {}, 1, ""},
        {"empty", "", {}, 1, "; kept it as "},
        // A junk line, a hex value, two entries under another root.
        {"hand-edited",
         "REGEDIT4\n\n[HKEY_CURRENT_USER\\A]\n\"x\"=\"1\"\noops, typed here\n\"bin\"=hex:00,01\n"
         "\"y\"=dword:00000002\n[HKEY_CLASSES_ROOT\\CLSID\\Z]\n@=\"z\"\n",
         "1", 3, ":5: not a key or value line"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        TempDir dir;
        WriteAll(dir / "HKEY_CURRENT_USER.reg", c.text);
        std::ostringstream warnings;
        RegistryStore s(dir.path(), &warnings);
        EXPECT_EQ(s.QueryString(CU, "A", "x"), c.x);
        EXPECT_EQ(s.KeyExists(CU, "A"), c.x.has_value());
        EXPECT_FALSE(s.KeyExists(CR, "CLSID\\Z"));
        s.QueryValue(CU, "A", "x");
        const std::string w = warnings.str();
        EXPECT_EQ(std::count(w.begin(), w.end(), '\n'), c.warnings) << w;
        EXPECT_NE(w.find(c.says), std::string::npos) << w;
        EXPECT_TRUE(s.SetString(CU, "A", "z", "fresh"));
        const char* kept = c.x ? ".orig-" : ".broken-";
        EXPECT_EQ(FilesMarked(dir.path(), kept), std::vector<std::string>{c.text});
        EXPECT_EQ(RegistryStore(dir.path()).QueryString(CU, "A", "z"), "fresh");
        EXPECT_TRUE(ParseRegText(ReadAll(s.HivePath(CU))).issues.empty());
    }
}

TEST(RegistryStore, ImportOfRegFile) {
    TempDir dir;
    std::ostringstream warnings;
    RegistryStore s(dir.path(), &warnings);
    s.SetString(CU, kMain, "Old", "gone soon");
    s.SetString(CU, "Software\\Stale\\Deep", "v", "1");
    WriteAll(dir / "in.reg", "REGEDIT4\n\n"
                             "[HKEY_CURRENT_USER\\Software\\Kivra\\axkivractrl\\MSKIVRA50\\Main]\n"
                             "\"Font Size\"=\"240\"\n\"Max Cache\"=dword:00000064\n\"Old\"=-\n"
                             "junk\n"
                             "[-HKEY_CURRENT_USER\\Software\\Stale]\n"
                             "[-HKEY_CURRENT_USER]\n" // a whole root cannot go
                             "[HKEY_CLASSES_ROOT\\kivra.test]\n@=\"Test\"\n");
    const RegImportResult r = s.ImportFile(dir / "in.reg");
    EXPECT_TRUE(r.ok);
    EXPECT_EQ(r.problems.size(), 2u);
    EXPECT_EQ(s.QueryString(CU, kMain, "Font Size"), "240");
    EXPECT_EQ(s.QueryDword(CU, kMain, "Max Cache"), 100u);
    EXPECT_FALSE(s.QueryValue(CU, kMain, "Old"));
    EXPECT_FALSE(s.KeyExists(CU, "Software\\Stale"));
    EXPECT_EQ(s.QueryString(CR, "kivra.test", ""), "Test");

    WriteAll(dir / "bad.reg", "[HKEY_CURRENT_USER\\Software\\X]\n\"a\"=\"b\"\n");
    EXPECT_FALSE(s.ImportFile(dir / "bad.reg").ok);
    EXPECT_FALSE(s.KeyExists(CU, "Software\\X"));
    EXPECT_FALSE(s.ImportFile(dir / "missing.reg").ok);
}

TEST(RegistryStore, DefaultDirectoryFollowsEnvironment) {
    // KIVRA_REGISTRY_DIR is what every host test runs on.
    ScopedEnv dir("KIVRA_REGISTRY_DIR", std::nullopt), xdg("XDG_CONFIG_HOME", "/cfg"),
        home("HOME", "/home/u");
    EXPECT_EQ(RegistryStore::DefaultDirectory(), "/cfg/kivra");
    xdg.Set("relative"); // not absolute: ignored
    EXPECT_EQ(RegistryStore::DefaultDirectory(), "/home/u/.config/kivra");
}
