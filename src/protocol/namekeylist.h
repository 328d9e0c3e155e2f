#pragma once
// User names as keys: blanks become "+" and letters are upper-cased, so that "ann lee",
// "Ann+Lee" and "ANN LEE" are one user. The protocol's watched, ignored and following-me lists
// and the private-message window map all use this key.

#include <string>
#include <string_view>
#include <vector>

std::string MakeNameKey(std::string_view name);
// The name as the user list shows it: every "+" becomes a blank.
std::string MakeDisplayName(std::string_view name);
// Whether two names have the same key, without building the keys.
bool SameNameKey(std::string_view a, std::string_view b);
// ASCII case-insensitive equality of two texts.
bool EqualsNoCase(std::string_view a, std::string_view b);

class CNameKeyList {
public:
    // Appends the key of `name`, even when an equal key is already there.
    void Add(std::string_view name);
    // Removes the first entry equal to the key of `name`; false when there is none.
    bool Remove(std::string_view name);
    bool Contains(std::string_view name) const;
    void Clear() { m_keys.clear(); }
    std::size_t Count() const { return m_keys.size(); }

private:
    std::vector<std::string> m_keys;
};
