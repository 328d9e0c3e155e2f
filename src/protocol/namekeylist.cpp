#include "namekeylist.h"

#include <algorithm>

namespace {
char UpperAscii(char c) {
    return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c;
}
} // namespace

std::string MakeNameKey(std::string_view name) {
    std::string key(name);
    for (char& c : key)
        c = (c == ' ') ? '+' : UpperAscii(c);
    return key;
}

bool SameNameKey(std::string_view a, std::string_view b) {
    if (a.size() != b.size())
        return false;
    for (std::size_t i = 0; i < a.size(); ++i) {
        const char x = a[i] == ' ' ? '+' : UpperAscii(a[i]);
        const char y = b[i] == ' ' ? '+' : UpperAscii(b[i]);
        if (x != y)
            return false;
    }
    return true;
}

std::string MakeDisplayName(std::string_view name) {
    std::string display(name);
    std::replace(display.begin(), display.end(), '+', ' ');
    return display;
}

bool EqualsNoCase(std::string_view a, std::string_view b) {
    if (a.size() != b.size())
        return false;
    for (std::size_t i = 0; i < a.size(); ++i) {
        if (UpperAscii(a[i]) != UpperAscii(b[i]))
            return false;
    }
    return true;
}

void CNameKeyList::Add(std::string_view name) {
    m_keys.push_back(MakeNameKey(name));
}

bool CNameKeyList::Remove(std::string_view name) {
    const auto it = std::find(m_keys.begin(), m_keys.end(), MakeNameKey(name));
    if (it == m_keys.end())
        return false;
    m_keys.erase(it);
    return true;
}

bool CNameKeyList::Contains(std::string_view name) const {
    return std::find(m_keys.begin(), m_keys.end(), MakeNameKey(name)) != m_keys.end();
}
