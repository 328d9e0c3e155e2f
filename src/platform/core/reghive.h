#pragma once
// One registry root held in memory: keys named by backslash-separated paths below the root,
// each with REG_SZ and REG_DWORD values. Key and value names compare without regard to letter
// case, as the registry does, and keep the spelling they were first given. Creating a key also
// creates every key above it. Standard library only: the file handling lives in RegistryStore.

#include <cstdint>
#include <map>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace kivra::platform {

enum class RegType { String, Dword };

struct RegValue {
    RegType type = RegType::String;
    std::string text;        // REG_SZ
    std::uint32_t dword = 0; // REG_DWORD

    static RegValue String(std::string s) { return {RegType::String, std::move(s), 0}; }
    static RegValue Dword(std::uint32_t v) { return {RegType::Dword, {}, v}; }
    friend bool operator==(const RegValue&, const RegValue&) = default;
};

// ASCII lower-case copy: the comparison key of key and value names.
std::string RegFoldCase(std::string_view s);

// Cleans a key path: forward slashes are not separators (they are legal in key names), empty
// components from doubled or trailing backslashes are dropped. "" is the root itself.
std::string RegNormalizeKeyPath(std::string_view path);

class RegHive {
public:
    struct NamedValue {
        std::string name; // "" is the key's default value
        RegValue value;
        friend bool operator==(const NamedValue&, const NamedValue&) = default;
    };

    RegHive() = default;

    bool HasKey(std::string_view path) const;
    // Creates the key and its parents; true when something new was created.
    bool CreateKey(std::string_view path);
    // Removes the key with everything below it; false when it did not exist. The root itself
    // cannot be deleted.
    bool DeleteKey(std::string_view path);

    // Creates the key when missing. Returns true when the stored value changed.
    bool SetValue(std::string_view path, std::string_view name, RegValue value);
    const RegValue* FindValue(std::string_view path, std::string_view name) const;
    bool DeleteValue(std::string_view path, std::string_view name);

    // Names of the immediate subkeys, in case-folded order, with their own spelling.
    std::vector<std::string> SubKeys(std::string_view path) const;
    // Values of a key in the order they were first set.
    std::vector<NamedValue> Values(std::string_view path) const;

    // Every key's full path (below the root) in case-folded order, parents before children.
    std::vector<std::string> KeyPaths() const;
    bool Empty() const { return m_keys.empty(); }
    std::size_t KeyCount() const { return m_keys.size(); }

    friend bool operator==(const RegHive& a, const RegHive& b);

private:
    struct Key {
        std::string path; // as first spelled
        std::vector<NamedValue> values;
    };
    // Keyed by the case-folded path; the root "" is implicit and never stored.
    std::map<std::string, Key> m_keys;
};

} // namespace kivra::platform
