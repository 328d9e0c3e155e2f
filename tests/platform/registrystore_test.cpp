// The registry store on disk: persistence, keys created on access, crash safety of writes,
// two processes writing at once, broken and hand-edited hives, and .reg import.

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

int WaitExit(pid_t pid) {
    int status = 0;
    ::waitpid(pid, &status, 0);
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

// The contents of the files in `dir` whose names hold `mark`.
std::vector<std::string> FilesMarked(const std::filesystem::path& dir, const char* mark) {
    std::vector<std::string> found;
    for (const auto& e : std::filesystem::directory_iterator(dir))
        if (e.path().filename().string().find(mark) != std::string::npos)
            found.push_back(ReadAll(e.path()));
    return found;
}

} // namespace

TEST(RegistryStore, ValuesPersistRootsStaySeparateAndKeysComeOnAccess) {
    TempDir dir;
    const std::string pm = "Software\\Kivra\\axkivractrl\\MSKIVRA50\\PM";
    {
        RegistryStore s(dir.path());
        EXPECT_TRUE(s.SetString(CU, kMain, "Font Family", "Times New Roman"));
        EXPECT_TRUE(s.SetDword(CU, kMain, "Max Cache", 42));
        EXPECT_TRUE(s.SetString(CR, "mskivra50.razar.1\\CLSID", "", "{X}"));
        EXPECT_TRUE(s.CreateKey(CU, pm));
        // Names that would break the one-line form are refused, not stored.
        EXPECT_FALSE(s.SetString(CU, "Bad\nKey", "x", "y"));
    }
    RegistryStore s(dir.path());
    RegistryStore other(dir.path());
    EXPECT_EQ(s.QueryString(CU, "SOFTWARE\\kivra\\AXKIVRACTRL\\mskivra50\\main", "font family"),
              "Times New Roman");
    EXPECT_EQ(s.QueryDword(CU, kMain, "Max Cache"), 42u);
    // Only the matching type answers.
    EXPECT_FALSE(s.QueryString(CU, kMain, "Max Cache"));
    EXPECT_FALSE(s.QueryDword(CU, kMain, "Font Family"));
    EXPECT_FALSE(s.KeyExists(CU, "mskivra50.razar.1"));
    EXPECT_TRUE(s.KeyExists(CR, "mskivra50.razar.1"));
    EXPECT_EQ(s.EnumSubKeys(CU, "Software\\Kivra\\axkivractrl\\MSKIVRA50"),
              (std::vector<std::string>{"Main", "PM"}));
    s.SetString(CU, pm, "MAX PM", "10");
    EXPECT_EQ(other.QueryString(CU, pm, "MAX PM"), "10"); // another store on the same folder
    other.SetString(CU, kMain, "Two", "2");
    // `s` re-reads under the lock, so its next write keeps what `other` wrote.
    EXPECT_TRUE(s.DeleteValue(CU, pm, "max pm"));
    EXPECT_FALSE(RegistryStore(dir.path()).QueryValue(CU, pm, "MAX PM"));
    EXPECT_EQ(RegistryStore(dir.path()).QueryString(CU, kMain, "Two"), "2");
    EXPECT_TRUE(s.DeleteKey(CU, "Software\\Kivra"));
    EXPECT_FALSE(s.KeyExists(CU, pm));
    EXPECT_TRUE(s.KeyExists(CU, "Software"));
    EXPECT_FALSE(s.DeleteKey(CU, ""));
}

TEST(RegistryStore, TwoProcessesWritingAtOnceBothSurvive) {
    TempDir dir;
    constexpr int kEach = 40;
    pid_t kids[2];
    for (int k = 0; k < 2; ++k) {
        kids[k] = ::fork();
        ASSERT_GE(kids[k], 0);
        if (kids[k] == 0) {
            std::ostringstream quiet;
            RegistryStore s(dir.path(), &quiet);
            bool ok = true;
            for (int i = 0; i < kEach; ++i)
                ok = s.SetDword(CU, kMain, "P" + std::to_string(k) + "_" + std::to_string(i),
                                static_cast<std::uint32_t>(i)) &&
                     ok;
            ::_exit(ok ? 0 : 1);
        }
    }
    EXPECT_EQ(WaitExit(kids[0]), 0);
    EXPECT_EQ(WaitExit(kids[1]), 0);
    RegistryStore s(dir.path());
    EXPECT_EQ(s.EnumValues(CU, kMain).size(), 2u * kEach);
    for (int k = 0; k < 2; ++k)
        for (int i = 0; i < kEach; ++i)
            EXPECT_EQ(s.QueryDword(CU, kMain, "P" + std::to_string(k) + "_" + std::to_string(i)),
                      static_cast<std::uint32_t>(i));
}

TEST(RegistryStore, WriterKilledHalfWayLeavesAReadableHive) {
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
        EXPECT_TRUE(warnings.str().empty()) << warnings.str();
        const RegDocument doc = ParseRegText(ReadAll(s.HivePath(CU)));
        EXPECT_TRUE(doc.complete && doc.hasHeader && doc.issues.empty());
    }
}

TEST(RegistryStore, LeftoverTruncatedTempFileDoesNotHurt) {
    TempDir dir;
    RegistryStore(dir.path()).SetString(CU, kMain, "Keep", "me");
    WriteAll(dir / "HKEY_CURRENT_USER.reg.tmp", "REGEDIT4\n[HKEY_CURRENT_USER\\Softw");
    std::ostringstream warnings;
    RegistryStore s(dir.path(), &warnings);
    EXPECT_TRUE(s.SetString(CU, kMain, "More", "yes"));
    EXPECT_EQ(s.QueryString(CU, kMain, "Keep"), "me");
    EXPECT_FALSE(std::filesystem::exists(dir / "HKEY_CURRENT_USER.reg.tmp"));
    EXPECT_TRUE(warnings.str().empty());
}

TEST(RegistryStore, BrokenHiveIsKeptAsideWithOneWarning) {
    struct Case {
        const char* name;
        std::string text;
    };
    const Case cases[] = {
        {"cut off", "REGEDIT4\n\n[HKEY_CURRENT_USER\\Software\\A]\n\"x\"=\"1\"\n\"y\"=\"tr"},
        {"no header", "[HKEY_CURRENT_USER\\Software\\A]\n\"x\"=\"1\"\n"},
        {"binary", std::string("REGEDIT4\n\0\0\0garbage\n", 20)},
        {"empty", ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        TempDir dir;
        WriteAll(dir / "HKEY_CURRENT_USER.reg", c.text);
        std::ostringstream warnings;
        RegistryStore s(dir.path(), &warnings);
        EXPECT_FALSE(s.QueryValue(CU, "Software\\A", "x"));
        EXPECT_FALSE(s.KeyExists(CU, "Software\\A"));
        // Further reads do not warn again.
        s.QueryValue(CU, "Software\\A", "x");
        const std::string w = warnings.str();
        EXPECT_EQ(std::count(w.begin(), w.end(), '\n'), 1) << w;
        // The original bytes are kept beside the hive.
        EXPECT_EQ(FilesMarked(dir.path(), ".broken-"), std::vector<std::string>{c.text});
        EXPECT_TRUE(s.SetString(CU, "Software\\A", "x", "fresh"));
        EXPECT_EQ(RegistryStore(dir.path()).QueryString(CU, "Software\\A", "x"), "fresh");
    }
}

TEST(RegistryStore, HandEditedHiveKeepsValidValuesReportsJunkAndSavesOriginal) {
    TempDir dir;
    const std::string text = "REGEDIT4\n\n[HKEY_CURRENT_USER\\Software\\A]\n\"x\"=\"1\"\n"
                             "oops, typed here\n\"bin\"=hex:00,01\n\"y\"=dword:00000002\n";
    WriteAll(dir / "HKEY_CURRENT_USER.reg", text);
    std::ostringstream warnings;
    RegistryStore s(dir.path(), &warnings);
    EXPECT_EQ(s.QueryString(CU, "Software\\A", "x"), "1");
    EXPECT_EQ(s.QueryDword(CU, "Software\\A", "y"), 2u);
    EXPECT_NE(warnings.str().find(":5: not a key or value line"), std::string::npos)
        << warnings.str();
    EXPECT_NE(warnings.str().find(":6: value type not supported"), std::string::npos);
    // The first rewrite drops the junk from the hive, so the original is kept beside it.
    EXPECT_TRUE(s.SetString(CU, "Software\\A", "z", "3"));
    EXPECT_EQ(FilesMarked(dir.path(), ".orig-"), std::vector<std::string>{text});
    EXPECT_TRUE(ParseRegText(ReadAll(s.HivePath(CU))).issues.empty());
}

TEST(RegistryStore, ImportOfRegFile) {
    TempDir dir;
    RegistryStore s(dir.path());
    s.SetString(CU, kMain, "Old", "gone soon");
    s.SetString(CU, "Software\\Stale\\Deep", "v", "1");
    WriteAll(dir / "in.reg", "REGEDIT4\n\n"
                             "[HKEY_CURRENT_USER\\Software\\Kivra\\axkivractrl\\MSKIVRA50\\Main]\n"
                             "\"Font Size\"=\"240\"\n\"Max Cache\"=dword:00000064\n\"Old\"=-\n"
                             "junk\n"
                             "[-HKEY_CURRENT_USER\\Software\\Stale]\n"
                             "[HKEY_CLASSES_ROOT\\kivra.test]\n@=\"Test\"\n");
    std::ostringstream warnings;
    RegistryStore importer(dir.path(), &warnings);
    const RegImportResult r = importer.ImportFile(dir / "in.reg");
    EXPECT_TRUE(r.ok);
    EXPECT_EQ(r.problems.size(), 1u);
    EXPECT_EQ(s.QueryString(CU, kMain, "Font Size"), "240");
    EXPECT_EQ(s.QueryDword(CU, kMain, "Max Cache"), 100u);
    EXPECT_FALSE(s.QueryValue(CU, kMain, "Old"));
    EXPECT_FALSE(s.KeyExists(CU, "Software\\Stale"));
    EXPECT_EQ(s.QueryString(CR, "kivra.test", ""), "Test");

    WriteAll(dir / "bad.reg", "[HKEY_CURRENT_USER\\Software\\X]\n\"a\"=\"b\"\n");
    EXPECT_FALSE(importer.ImportFile(dir / "bad.reg").ok);
    EXPECT_FALSE(s.KeyExists(CU, "Software\\X"));
    EXPECT_FALSE(importer.ImportFile(dir / "missing.reg").ok);
}

TEST(RegistryStore, DefaultDirectoryFollowsEnvironment) {
    ScopedEnv dir("KIVRA_REGISTRY_DIR", "/some/where"), xdg("XDG_CONFIG_HOME", "/cfg"),
        home("HOME", "/home/u");
    EXPECT_EQ(RegistryStore::DefaultDirectory(), "/some/where");
    dir.Set(std::nullopt);
    EXPECT_EQ(RegistryStore::DefaultDirectory(), "/cfg/kivra");
    xdg.Set("relative"); // not absolute: ignored
    EXPECT_EQ(RegistryStore::DefaultDirectory(), "/home/u/.config/kivra");
}
