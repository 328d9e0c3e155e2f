#pragma once
// The PARAM values of a page (and the host's --param overrides), as the control's property
// exchange reads them. Names match without regard to letter case; a later value of the same name
// replaces the earlier one.

#include "variant.h"

#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace kivra::platform {

class PropertyBag {
public:
    void Write(std::string_view name, std::string_view value);
    bool Has(std::string_view name) const;
    std::optional<std::string> Read(std::string_view name) const;

    // The stored text, or `def` when the name is absent.
    std::string ReadString(std::string_view name, std::string_view def) const;
    // The stored text read as a page's boolean (Variant::ParseBool); `def` when absent or when
    // the text is no boolean at all.
    bool ReadBool(std::string_view name, bool def) const;

    // Entries in first-written order, with the name as first written.
    const std::vector<std::pair<std::string, std::string>>& Entries() const { return m_entries; }

private:
    std::vector<std::pair<std::string, std::string>> m_entries;
};

} // namespace kivra::platform
