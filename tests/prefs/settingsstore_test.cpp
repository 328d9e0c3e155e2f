// The settings store: locations, types, defaults, the Yes/No rule and the start-up reads.

#include "regformat.h"
#include "settingsstore.h"
#include "tempdir.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

using kivra::platform::RegistryStore;
using kivra::platform::RegRoot;

namespace {

class SettingsTest : public ::testing::Test {
protected:
    SettingsTest() : registry(dir / "registry"), settings(registry) {}

    std::string Key(const char* section) const {
        return std::string(kSettingsAppKey) + "\\" + section;
    }
    // The section's view font as "family twentieths".
    std::string Font(const char* section) {
        const ViewFontSettings f = GetViewFont(settings, section);
        return f.family + " " + std::to_string(f.twentieths);
    }
    void SetInstallPath(const std::string& p) {
        registry.SetString(RegRoot::CurrentUser, Key("Main"), "InstallPath", p);
    }

    TempDir dir;
    RegistryStore registry;
    CSettingsStore settings;
};

} // namespace

// Values live under the application key with their types; reads create the section's key and
// give the default for what is missing or of the other type; deletions take a value or a section.
TEST_F(SettingsTest, ValuesTypesDefaultsAndDeletions) {
    EXPECT_TRUE(settings.WriteProfileString("Main", "Font Family", "Times New Roman"));
    // Nothing is cached: a change behind the store's back is seen at once.
    registry.SetString(RegRoot::CurrentUser, Key("Main"), "Font Family", "Arial");
    EXPECT_EQ(settings.GetProfileString("Main", "Font Family", "x"), "Arial");

    EXPECT_EQ(settings.GetProfileString("Priv Msg MRU", "MRU000", kMRUMissing), kMRUMissing);
    EXPECT_TRUE(registry.KeyExists(RegRoot::CurrentUser, Key("Priv Msg MRU")));
    settings.WriteProfileInt("Main", "Max Cache", 30);
    settings.WriteProfileString("Main", "Font Size", "240");
    EXPECT_EQ(settings.GetProfileString("Main", "Max Cache", "dflt"), "dflt");
    EXPECT_EQ(settings.GetProfileInt("Main", "Font Size", 7), 7u);
    EXPECT_EQ(settings.GetProfileInt("main", "MAX CACHE", 7), 30u);

    settings.WriteProfileString("Emotions", "Emotion001", "Smile");
    settings.WriteProfileString("Emotions", "Emotion002", "Grin");
    EXPECT_TRUE(settings.WriteProfileString("Emotions", "Emotion001", nullptr));
    EXPECT_EQ(settings.GetProfileString("Emotions", "Emotion001", "-"), "-");
    EXPECT_EQ(settings.GetProfileString("Emotions", "Emotion002", "-"), "Grin");
    EXPECT_TRUE(settings.WriteProfileString("Emotions", nullptr, nullptr));
    EXPECT_FALSE(registry.KeyExists(RegRoot::CurrentUser, Key("Emotions")));
    // An empty section name would name the application key itself: refused.
    EXPECT_FALSE(settings.WriteProfileString("", nullptr, nullptr));
    EXPECT_TRUE(registry.KeyExists(RegRoot::CurrentUser, Key("Main")));
}

// The switches read at start-up as "name list, emotion list, movement, monitor, avatars, sound".
std::string Switches(const StartupSettings& s) {
    std::string out;
    for (bool b :
         {s.showNameList, s.showEmotionList, s.ignoreMovement, s.monitor, s.showAvatars, s.soundPM})
        out += b ? '1' : '0';
    return out + " maxPM=" + std::to_string(s.maxPM) + " maxCache=" + std::to_string(s.maxCache);
}

TEST_F(SettingsTest, StartUpDefaultsFontsTheCaseSensitiveYesAndTheLimits) {
    SetInstallPath((dir / "install").string());
    EXPECT_EQ(Switches(ReadStartupSettings(settings)), "100000 maxPM=50 maxCache=15");
    EXPECT_EQ(Font("PM"), "Arial 200");
    // Reading writes nothing but the keys.
    EXPECT_TRUE(registry.EnumValues(RegRoot::CurrentUser, Key("PM")).empty());
    // Each section has its own font; a size that is no number gives the default.
    settings.WriteProfileString("PM", "Font Size", "300");
    settings.WriteProfileString("PM", "Font Family", "Courier");
    settings.WriteProfileString("Main", "Font Size", "junk");
    EXPECT_EQ(Font("PM"), "Courier 300");
    EXPECT_EQ(Font("Main"), "Arial 200");

    settings.WriteProfileString("Main", "Monitor", "YES");
    settings.WriteProfileString("Main", "Show Avatars", "Yes ");
    settings.WriteProfileInt("PM", "Sound PM", 5);
    EXPECT_EQ(Switches(ReadStartupSettings(settings)), "100001 maxPM=50 maxCache=15");

    // The cache size is clamped to 1..100; the private-window limit reads a number or "none".
    const std::pair<std::uint32_t, int> caches[] = {{0, 1},     {1, 1},     {100, 100},
                                                    {101, 100}, {500, 100}, {0xFFFFFFFFu, 100}};
    for (auto [stored, expected] : caches) {
        settings.WriteProfileInt("Main", "Max Cache", stored);
        EXPECT_EQ(ReadStartupSettings(settings).maxCache, expected) << stored;
    }
    const std::pair<const char*, int> pms[] = {{"none", 0},       {"12", 12},
                                               {" 7 windows", 7}, {"", 0},
                                               {"-3", 0},         {"99999999999", 0x7FFFFFFF}};
    for (auto [text, expected] : pms) {
        settings.WriteProfileString("PM", "MAX PM", text);
        EXPECT_EQ(ReadStartupSettings(settings).maxPM, expected) << text;
    }
}

TEST_F(SettingsTest, InstallPathAndTheCacheFolderWithEveryParent) {
    const std::string install = (dir / "a" / "b" / "kivra").string();
    SetInstallPath(install);
    const StartupSettings s = ReadStartupSettings(settings);
    EXPECT_EQ(s.installPath, install);
    EXPECT_EQ(s.cacheFolder, install + "/cache");
    EXPECT_TRUE(s.cacheFolderReady);
    // A second start finds it there.
    EXPECT_TRUE(ReadStartupSettings(settings).cacheFolderReady);

    // A file in the way: the start-up goes on and says the folder is not there.
    WriteAll(dir / "blocker", "x");
    SetInstallPath((dir / "blocker").string() + "/");
    const StartupSettings blocked = ReadStartupSettings(settings);
    EXPECT_EQ(blocked.cacheFolder, (dir / "blocker").string() + "/cache");
    EXPECT_FALSE(blocked.cacheFolderReady);

    // An absolute data folder holds the host's sounds; one that is not is ignored.
    ScopedEnv data("XDG_DATA_HOME", "not/absolute");
    EXPECT_EQ(DefaultInstallPath(), std::string(std::getenv("HOME")) + "/.local/share/kivra");
}

TEST_F(SettingsTest, UnwritableRegistryGivesDefaultsAndFailedWrites) {
    if (::geteuid() == 0)
        GTEST_SKIP() << "root writes anywhere";
    std::filesystem::create_directories(dir / "ro");
    ::chmod((dir / "ro").c_str(), 0500);
    std::ostringstream quiet;
    RegistryStore ro(dir / "ro" / "registry", &quiet);
    CSettingsStore s(ro);
    EXPECT_FALSE(s.WriteProfileString("Main", "Monitor", "Yes"));
    EXPECT_FALSE(s.WriteProfileInt("PM", "Sound PM", 1));
    EXPECT_EQ(s.GetProfileString("Main", "Monitor", "No"), "No");
    EXPECT_EQ(s.GetProfileInt("PM", "Sound PM", 0), 0u);
    ::chmod((dir / "ro").c_str(), 0700);
}
