#pragma once
// CSettingsStore: the per-user preferences kept in the registry store under
// HKEY_CURRENT_USER\Software\Kivra\axkivractrl\MSKIVRA50\<section>, and the helpers that read
// them the way the panes do (Yes/No flags, font settings, the start-up reads, the emotion list).

#include "chatinterfaces.h"
#include "registrystore.h"

#include <cstdint>
#include <string>
#include <vector>

// Sections and the application key.
inline constexpr const char* kSettingsAppKey = "Software\\Kivra\\axkivractrl\\MSKIVRA50";
inline constexpr const char* kSectionMain = "Main";
inline constexpr const char* kSectionPM = "PM";
inline constexpr const char* kSectionEmotions = "Emotions";
inline constexpr const char* kSectionPrivMsgMRU = "Priv Msg MRU";
// The MRU reader's default, which tells a missing entry from an empty one.
inline constexpr const char* kMRUMissing = "#$^^Not In List@@!~~";

class CSettingsStore : public ISettingsStore {
public:
    // `appKey` is the key below HKEY_CURRENT_USER that holds the sections.
    explicit CSettingsStore(kivra::platform::RegistryStore& store,
                            std::string appKey = kSettingsAppKey);

    // Each operation opens its section key, creating it when missing, does its one read or
    // write, and keeps nothing between calls. A value of the other type reads as the default.
    std::string GetProfileString(const std::string& section, const std::string& entry,
                                 const std::string& def) override;
    std::uint32_t GetProfileInt(const std::string& section, const std::string& entry,
                                std::uint32_t def) override;
    bool WriteProfileString(const std::string& section, const char* entry,
                            const char* text) override;
    bool WriteProfileInt(const std::string& section, const std::string& entry,
                         std::uint32_t value) override;

    std::string SectionKey(const std::string& section) const;

private:
    kivra::platform::RegistryStore& m_store;
    std::string m_appKey;
};

// "Yes"/"No" flags: only the exact word "Yes" is true.
bool GetProfileFlag(ISettingsStore& store, const std::string& section, const std::string& entry,
                    bool def);
bool WriteProfileFlag(ISettingsStore& store, const std::string& section, const std::string& entry,
                      bool on);

// The installation folder when the registry names none: $XDG_DATA_HOME/kivra, else
// $HOME/.local/share/kivra.
std::string DefaultInstallPath();
// "InstallPath" of "Main", default DefaultInstallPath().
std::string GetInstallPath(ISettingsStore& store);
// `base` with one more path component.
std::string JoinPath(const std::string& base, const std::string& leaf);

// "Max Cache": 0 is taken as 1, anything above 100 as 100.
int ClampMaxCache(std::uint32_t value);
// "MAX PM": the leading decimal number of the text; no number (as "NONE") is 0, and so is a
// negative count.
int ParseMaxPM(const std::string& text);
// A decimal-string setting ("Font Size") read the same way, with its leading number; no number
// gives `def`.
int ParseDecimal(const std::string& text, int def);

// The font of a view: "Font Size" (twentieths of a point, default "200") and "Font Family"
// (default "Arial") of `section` ("Main" or "PM").
struct ViewFontSettings {
    int twentieths = 200;
    std::string family = "Arial";
};
ViewFontSettings GetViewFont(ISettingsStore& store, const std::string& section);
bool WriteViewFont(ISettingsStore& store, const std::string& section, const ViewFontSettings& font);

// What the panel reads when it is created, in this order: InstallPath (and the creation of its
// cache folder with every missing parent), the five display flags, "MAX PM" and "Sound PM" of
// "PM", then InstallPath again for the image cache folder, and "Max Cache".
struct StartupSettings {
    std::string installPath;
    std::string cacheFolder;
    bool cacheFolderReady = false; // the cache folder exists after the reads
    bool showNameList = true;
    bool showEmotionList = false;
    bool ignoreMovement = false;
    bool monitor = false;
    bool showAvatars = false;
    int maxPM = 50;
    bool soundPM = false;
    std::string imageCacheFolder;
    int maxCache = 15;
};
StartupSettings ReadStartupSettings(ISettingsStore& store);
