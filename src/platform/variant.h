#pragma once
// The small variant that dispatch calls and events carry: empty, boolean, 32-bit integer or
// string. Conversions follow what a script host does with a property value.

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <variant>

namespace kivra::platform {

class Variant {
public:
    enum class Type { Empty, Bool, Int, String };

    Variant() = default;
    Variant(bool b) : m_v(b) {}
    Variant(std::int32_t i) : m_v(i) {}
    Variant(const char* s) : m_v(std::string(s ? s : "")) {}
    Variant(std::string s) : m_v(std::move(s)) {}
    Variant(std::string_view s) : m_v(std::string(s)) {}

    Type type() const { return static_cast<Type>(m_v.index()); }
    bool IsEmpty() const { return type() == Type::Empty; }

    // Strict conversions: nothing when the value does not convert.
    // Bool: bool as is, int non-zero, string as ParseBool reads it.
    std::optional<bool> ToBool() const;
    // Int: int as is, bool as -1/0 (a script's TRUE), string as a whole decimal number.
    std::optional<std::int32_t> ToInt() const;
    // String: always; booleans as "TRUE"/"FALSE", empty as "".
    std::string ToString() const;

    // A page's boolean text: TRUE/FALSE in any letter case, or an integer (non-zero is TRUE,
    // so 1 and -1 are TRUE and 0 is FALSE). Blanks around are ignored. Anything else: nothing.
    static std::optional<bool> ParseBool(std::string_view text);

    friend bool operator==(const Variant&, const Variant&) = default;

private:
    std::variant<std::monostate, bool, std::int32_t, std::string> m_v;
};

} // namespace kivra::platform
