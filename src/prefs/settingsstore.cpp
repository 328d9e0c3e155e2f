#include "settingsstore.h"

#include <cstdlib>
#include <filesystem>

using kivra::platform::RegRoot;
using kivra::platform::RegType;

CSettingsStore::CSettingsStore(kivra::platform::RegistryStore& store, std::string appKey)
    : m_store(store), m_appKey(std::move(appKey)) {}

std::string CSettingsStore::SectionKey(const std::string& section) const {
    return section.empty() ? m_appKey : m_appKey + "\\" + section;
}

std::string CSettingsStore::GetProfileString(const std::string& section, const std::string& entry,
                                             const std::string& def) {
    const std::string key = SectionKey(section);
    if (!m_store.CreateKey(RegRoot::CurrentUser, key))
        return def;
    auto v = m_store.QueryValue(RegRoot::CurrentUser, key, entry);
    if (!v || v->type != RegType::String)
        return def;
    return v->text;
}

std::uint32_t CSettingsStore::GetProfileInt(const std::string& section, const std::string& entry,
                                            std::uint32_t def) {
    const std::string key = SectionKey(section);
    if (!m_store.CreateKey(RegRoot::CurrentUser, key))
        return def;
    auto v = m_store.QueryValue(RegRoot::CurrentUser, key, entry);
    if (!v || v->type != RegType::Dword)
        return def;
    return v->dword;
}

bool CSettingsStore::WriteProfileString(const std::string& section, const char* entry,
                                        const char* text) {
    const std::string key = SectionKey(section);
    if (!entry) {
        // Deleting the whole application key by an empty section name is never meant.
        if (section.empty())
            return false;
        return m_store.DeleteKey(RegRoot::CurrentUser, key);
    }
    if (!m_store.CreateKey(RegRoot::CurrentUser, key))
        return false;
    if (!text)
        return m_store.DeleteValue(RegRoot::CurrentUser, key, entry);
    return m_store.SetString(RegRoot::CurrentUser, key, entry, text);
}

bool CSettingsStore::WriteProfileInt(const std::string& section, const std::string& entry,
                                     std::uint32_t value) {
    return m_store.SetDword(RegRoot::CurrentUser, SectionKey(section), entry, value);
}

bool GetProfileFlag(ISettingsStore& store, const std::string& section, const std::string& entry,
                    bool def) {
    return store.GetProfileString(section, entry, def ? "Yes" : "No") == "Yes";
}

bool WriteProfileFlag(ISettingsStore& store, const std::string& section, const std::string& entry,
                      bool on) {
    return store.WriteProfileString(section, entry.c_str(), on ? "Yes" : "No");
}

std::string DefaultInstallPath() {
    if (const char* xdg = std::getenv("XDG_DATA_HOME"); xdg && *xdg == '/')
        return JoinPath(xdg, "kivra");
    if (const char* home = std::getenv("HOME"); home && *home)
        return JoinPath(JoinPath(JoinPath(home, ".local"), "share"), "kivra");
    return "/tmp/kivra";
}

std::string GetInstallPath(ISettingsStore& store) {
    return store.GetProfileString(kSectionMain, "InstallPath", DefaultInstallPath());
}

std::string JoinPath(const std::string& base, const std::string& leaf) {
    if (base.empty())
        return leaf;
    return base.back() == '/' ? base + leaf : base + "/" + leaf;
}

int ParseDecimal(const std::string& text, int def) {
    // The leading number, as the C library reads it: blanks, a sign, digits; the rest ignored.
    std::size_t i = 0;
    while (i < text.size() && (text[i] == ' ' || text[i] == '\t'))
        ++i;
    bool negative = false;
    if (i < text.size() && (text[i] == '-' || text[i] == '+'))
        negative = text[i++] == '-';
    if (i >= text.size() || text[i] < '0' || text[i] > '9')
        return def;
    long long v = 0;
    for (; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i) {
        v = v * 10 + (text[i] - '0');
        if (v > 0x7FFFFFFF)
            v = 0x7FFFFFFF; // saturate instead of overflowing
    }
    return static_cast<int>(negative ? -v : v);
}

int ParseMaxPM(const std::string& text) {
    const int n = ParseDecimal(text, 0);
    return n < 0 ? 0 : n;
}

int ClampMaxCache(std::uint32_t value) {
    if (value == 0)
        return 1;
    if (value > 100)
        return 100;
    return static_cast<int>(value);
}

ViewFontSettings GetViewFont(ISettingsStore& store, const std::string& section) {
    ViewFontSettings f;
    const int size = ParseDecimal(store.GetProfileString(section, "Font Size", "200"), 200);
    // A size of zero or below would make an unreadable view; keep the default then.
    f.twentieths = size > 0 ? size : 200;
    f.family = store.GetProfileString(section, "Font Family", "Arial");
    if (f.family.empty())
        f.family = "Arial";
    return f;
}

bool WriteViewFont(ISettingsStore& store, const std::string& section,
                   const ViewFontSettings& font) {
    const std::string size = std::to_string(font.twentieths);
    const bool a = store.WriteProfileString(section, "Font Size", size.c_str());
    const bool b = store.WriteProfileString(section, "Font Family", font.family.c_str());
    return a && b;
}

StartupSettings ReadStartupSettings(ISettingsStore& store) {
    StartupSettings s;
    s.installPath = GetInstallPath(store);
    s.cacheFolder = JoinPath(s.installPath, "cache");
    std::error_code ec;
    // Every missing folder on the way is created; existing ones are left alone.
    std::filesystem::create_directories(s.cacheFolder, ec);
    s.cacheFolderReady = std::filesystem::is_directory(s.cacheFolder, ec);
    s.showNameList = GetProfileFlag(store, kSectionMain, "Show Name List", true);
    s.showEmotionList = GetProfileFlag(store, kSectionMain, "Show Emotion List", false);
    s.ignoreMovement = GetProfileFlag(store, kSectionMain, "Ignore Movement", false);
    s.monitor = GetProfileFlag(store, kSectionMain, "Monitor", false);
    s.showAvatars = GetProfileFlag(store, kSectionMain, "Show Avatars", false);
    s.maxPM = ParseMaxPM(store.GetProfileString(kSectionPM, "MAX PM", "50"));
    s.soundPM = store.GetProfileInt(kSectionPM, "Sound PM", 0) != 0;
    s.imageCacheFolder = JoinPath(GetInstallPath(store), "cache");
    s.maxCache = ClampMaxCache(store.GetProfileInt(kSectionMain, "Max Cache", 15));
    return s;
}
