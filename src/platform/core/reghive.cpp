#include "reghive.h"

#include <algorithm>

namespace kivra::platform {

std::string RegFoldCase(std::string_view s) {
    std::string r(s);
    for (char& c : r)
        if (c >= 'A' && c <= 'Z')
            c = static_cast<char>(c - 'A' + 'a');
    return r;
}

std::string RegNormalizeKeyPath(std::string_view path) {
    std::string out;
    std::size_t i = 0;
    while (i <= path.size()) {
        const std::size_t end = std::min(path.find('\\', i), path.size());
        if (end > i) {
            if (!out.empty())
                out += '\\';
            out.append(path.substr(i, end - i));
        }
        i = end + 1;
    }
    return out;
}

namespace {

std::vector<RegHive::NamedValue>::const_iterator
FindNamed(const std::vector<RegHive::NamedValue>& values, std::string_view name) {
    const std::string folded = RegFoldCase(name);
    return std::find_if(values.begin(), values.end(), [&](const RegHive::NamedValue& v) {
        return RegFoldCase(v.name) == folded;
    });
}

bool IsBelow(const std::string& folded, const std::string& parentFolded) {
    return folded.size() > parentFolded.size() + 1 &&
           folded.compare(0, parentFolded.size(), parentFolded) == 0 &&
           folded[parentFolded.size()] == '\\';
}

} // namespace

bool RegHive::HasKey(std::string_view path) const {
    const std::string p = RegNormalizeKeyPath(path);
    return p.empty() || m_keys.count(RegFoldCase(p)) != 0;
}

bool RegHive::CreateKey(std::string_view path) {
    const std::string p = RegNormalizeKeyPath(path);
    bool created = false;
    std::size_t pos = 0;
    while (!p.empty()) {
        pos = p.find('\\', pos);
        const std::string prefix = p.substr(0, pos);
        auto [it, inserted] = m_keys.try_emplace(RegFoldCase(prefix));
        if (inserted) {
            it->second.path = prefix;
            created = true;
        }
        if (pos == std::string::npos)
            break;
        ++pos;
    }
    return created;
}

bool RegHive::DeleteKey(std::string_view path) {
    const std::string p = RegNormalizeKeyPath(path);
    if (p.empty())
        return false;
    const std::string folded = RegFoldCase(p);
    auto it = m_keys.find(folded);
    if (it == m_keys.end())
        return false;
    // Children sort after the key itself, but not necessarily right after it ("a b" sorts
    // between "a" and "a\b"), so walk the whole tail of the map.
    for (auto next = m_keys.erase(it); next != m_keys.end();) {
        if (next->first.compare(0, folded.size(), folded) != 0)
            break;
        next = IsBelow(next->first, folded) ? m_keys.erase(next) : std::next(next);
    }
    return true;
}

bool RegHive::SetValue(std::string_view path, std::string_view name, RegValue value) {
    const std::string p = RegNormalizeKeyPath(path);
    bool changed = CreateKey(p);
    if (p.empty()) {
        // The root itself holds no values in our hives; keep it that way.
        return false;
    }
    Key& key = m_keys[RegFoldCase(p)];
    auto it = FindNamed(key.values, name);
    if (it == key.values.end()) {
        key.values.push_back({std::string(name), std::move(value)});
        return true;
    }
    auto& slot = key.values[static_cast<std::size_t>(it - key.values.begin())];
    if (slot.value == value)
        return changed;
    slot.value = std::move(value);
    return true;
}

const RegValue* RegHive::FindValue(std::string_view path, std::string_view name) const {
    auto k = m_keys.find(RegFoldCase(RegNormalizeKeyPath(path)));
    if (k == m_keys.end())
        return nullptr;
    auto it = FindNamed(k->second.values, name);
    return it == k->second.values.end() ? nullptr : &it->value;
}

bool RegHive::DeleteValue(std::string_view path, std::string_view name) {
    auto k = m_keys.find(RegFoldCase(RegNormalizeKeyPath(path)));
    if (k == m_keys.end())
        return false;
    auto& values = k->second.values;
    auto it = FindNamed(values, name);
    if (it == values.end())
        return false;
    values.erase(it);
    return true;
}

std::vector<std::string> RegHive::SubKeys(std::string_view path) const {
    const std::string p = RegNormalizeKeyPath(path);
    const std::string folded = RegFoldCase(p);
    std::vector<std::string> out;
    auto it = p.empty() ? m_keys.begin() : m_keys.upper_bound(folded);
    for (; it != m_keys.end(); ++it) {
        const std::string& k = it->first;
        std::size_t start = 0;
        if (!p.empty()) {
            if (k.compare(0, folded.size(), folded) != 0)
                break;
            if (!IsBelow(k, folded))
                continue;
            start = folded.size() + 1;
        }
        if (k.find('\\', start) == std::string::npos)
            out.push_back(it->second.path.substr(start));
    }
    return out;
}

std::vector<RegHive::NamedValue> RegHive::Values(std::string_view path) const {
    auto k = m_keys.find(RegFoldCase(RegNormalizeKeyPath(path)));
    return k == m_keys.end() ? std::vector<NamedValue>{} : k->second.values;
}

std::vector<std::string> RegHive::KeyPaths() const {
    std::vector<std::string> out;
    out.reserve(m_keys.size());
    for (const auto& [folded, key] : m_keys)
        out.push_back(key.path);
    return out;
}

bool operator==(const RegHive& a, const RegHive& b) {
    if (a.m_keys.size() != b.m_keys.size())
        return false;
    for (auto ia = a.m_keys.begin(), ib = b.m_keys.begin(); ia != a.m_keys.end(); ++ia, ++ib) {
        if (ia->first != ib->first || ia->second.values != ib->second.values)
            return false;
    }
    return true;
}

} // namespace kivra::platform
