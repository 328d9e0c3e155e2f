#include "propertybag.h"

#include "reghive.h"

#include <algorithm>

namespace kivra::platform {

namespace {

auto FindName(const std::vector<std::pair<std::string, std::string>>& entries,
              std::string_view name) {
    const std::string folded = RegFoldCase(name);
    return std::find_if(entries.begin(), entries.end(),
                        [&](const auto& e) { return RegFoldCase(e.first) == folded; });
}

} // namespace

void PropertyBag::Write(std::string_view name, std::string_view value) {
    auto it = FindName(m_entries, name);
    if (it == m_entries.end())
        m_entries.emplace_back(std::string(name), std::string(value));
    else
        m_entries[static_cast<std::size_t>(it - m_entries.begin())].second = std::string(value);
}

bool PropertyBag::Has(std::string_view name) const {
    return FindName(m_entries, name) != m_entries.end();
}

std::optional<std::string> PropertyBag::Read(std::string_view name) const {
    auto it = FindName(m_entries, name);
    if (it == m_entries.end())
        return std::nullopt;
    return it->second;
}

std::string PropertyBag::ReadString(std::string_view name, std::string_view def) const {
    auto v = Read(name);
    return v ? *v : std::string(def);
}

bool PropertyBag::ReadBool(std::string_view name, bool def) const {
    auto v = Read(name);
    if (!v)
        return def;
    return Variant::ParseBool(*v).value_or(def);
}

} // namespace kivra::platform
