#pragma once
// The registry store: HKEY_CURRENT_USER and HKEY_CLASSES_ROOT kept as REGEDIT4 text hives
// ("HKEY_CURRENT_USER.reg", "HKEY_CLASSES_ROOT.reg") in one folder, by default
// $XDG_CONFIG_HOME/kivra (~/.config/kivra), or $KIVRA_REGISTRY_DIR when set.
//
// Every change takes an exclusive lock on "registry.lock" in that folder, reads the hive again
// under the lock, applies the change, writes a temporary file, syncs it and renames it over the
// hive. So a crash leaves the old hive or the new one, and two processes never lose each other's
// values. Reads notice a hive replaced by another process.
//
// A hive that is not a REGEDIT4 text, or whose last line was cut off, is renamed with a
// ".broken-<time>" suffix so nothing in it is lost, and the store starts that root from empty
// with one warning line on stderr. Junk lines in an otherwise sound hive are reported on
// stderr and skipped; every valid value is kept.

#include "reghive.h"

#include <cstdint>
#include <filesystem>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <ostream>
#include <string>
#include <string_view>
#include <vector>

namespace kivra::platform {

enum class RegRoot { CurrentUser, ClassesRoot };

std::string_view RegRootName(RegRoot root);

struct RegImportResult {
    bool ok = false;                   // the file was read and its changes stored
    int applied = 0;                   // operations applied
    std::vector<std::string> problems; // one line per skipped line or failure
};

class RegistryStore {
public:
    // A store over `directory` (created with its parents on the first write). Warnings go to
    // `warnings` (stderr by default).
    explicit RegistryStore(std::filesystem::path directory, std::ostream* warnings = nullptr);
    ~RegistryStore();
    RegistryStore(const RegistryStore&) = delete;
    RegistryStore& operator=(const RegistryStore&) = delete;

    // The process-wide store over DefaultDirectory(), made on first use.
    static RegistryStore& instance();
    // $KIVRA_REGISTRY_DIR, else $XDG_CONFIG_HOME/kivra, else $HOME/.config/kivra.
    static std::filesystem::path DefaultDirectory();

    const std::filesystem::path& Directory() const { return m_dir; }
    std::filesystem::path HivePath(RegRoot root) const;

    // Key paths are below the root, backslash-separated ("Software\\Kivra\\axkivractrl").
    // Every change returns false when it could not be stored (the hive is then unchanged).
    bool CreateKey(RegRoot root, std::string_view key);
    bool KeyExists(RegRoot root, std::string_view key);
    bool DeleteKey(RegRoot root, std::string_view key); // with every subkey
    bool SetString(RegRoot root, std::string_view key, std::string_view name,
                   std::string_view text);
    bool SetDword(RegRoot root, std::string_view key, std::string_view name, std::uint32_t value);
    bool SetValue(RegRoot root, std::string_view key, std::string_view name, const RegValue& v);
    bool DeleteValue(RegRoot root, std::string_view key, std::string_view name);

    std::optional<RegValue> QueryValue(RegRoot root, std::string_view key, std::string_view name);
    // Only a REG_SZ value answers a string query, only a REG_DWORD an integer query.
    std::optional<std::string> QueryString(RegRoot root, std::string_view key,
                                           std::string_view name);
    std::optional<std::uint32_t> QueryDword(RegRoot root, std::string_view key,
                                            std::string_view name);
    std::vector<std::string> EnumSubKeys(RegRoot root, std::string_view key);
    std::vector<RegHive::NamedValue> EnumValues(RegRoot root, std::string_view key);

    // Several changes under one lock and one write (registration writes dozens of keys). The
    // function gets the freshly read hive and returns whether it changed anything; nothing is
    // written when it did not. False only when a needed write failed.
    bool Modify(RegRoot root, const std::function<bool(RegHive&)>& change);
    // A copy of the current hive.
    RegHive Snapshot(RegRoot root);

    // Imports a .reg file (REGEDIT4, keys under either root); its deletions are honoured. A file
    // without the header is refused. Junk lines are skipped and listed.
    RegImportResult ImportFile(const std::filesystem::path& file);
    RegImportResult ImportText(std::string_view text);

private:
    struct Root;
    Root& root(RegRoot r);
    bool RefreshLocked(Root& r, bool haveFileLock);
    bool LoadFile(Root& r, bool haveFileLock);
    bool WriteLocked(Root& r, const RegHive& hive);
    void SetAside(Root& r, const std::string& reason);
    int LockFile();
    void UnlockFile(int fd);
    void Warn(const std::string& line);

    std::filesystem::path m_dir;
    std::ostream* m_warnings;
    std::mutex m_mutex;
    std::unique_ptr<Root> m_roots[2];
};

} // namespace kivra::platform
