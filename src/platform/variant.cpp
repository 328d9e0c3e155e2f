#include "variant.h"

#include <charconv>
#include <limits>

namespace kivra::platform {

namespace {

std::string_view TrimBlanks(std::string_view s) {
    while (!s.empty() && (s.front() == ' ' || s.front() == '\t'))
        s.remove_prefix(1);
    while (!s.empty() && (s.back() == ' ' || s.back() == '\t'))
        s.remove_suffix(1);
    return s;
}

bool EqualsFolded(std::string_view a, std::string_view b) {
    if (a.size() != b.size())
        return false;
    for (std::size_t i = 0; i < a.size(); ++i) {
        char c = a[i];
        if (c >= 'A' && c <= 'Z')
            c = static_cast<char>(c - 'A' + 'a');
        if (c != b[i])
            return false;
    }
    return true;
}

// A whole decimal number with an optional sign, in 32 bits.
std::optional<std::int32_t> ParseInt(std::string_view s) {
    s = TrimBlanks(s);
    if (!s.empty() && s.front() == '+')
        s.remove_prefix(1);
    std::int64_t v = 0;
    auto [end, ec] = std::from_chars(s.data(), s.data() + s.size(), v);
    if (s.empty() || ec != std::errc() || end != s.data() + s.size())
        return std::nullopt;
    if (v < std::numeric_limits<std::int32_t>::min() ||
        v > std::numeric_limits<std::int32_t>::max())
        return std::nullopt;
    return static_cast<std::int32_t>(v);
}

} // namespace

std::optional<bool> Variant::ParseBool(std::string_view text) {
    text = TrimBlanks(text);
    if (EqualsFolded(text, "true"))
        return true;
    if (EqualsFolded(text, "false"))
        return false;
    if (auto n = ParseInt(text))
        return *n != 0;
    return std::nullopt;
}

std::optional<bool> Variant::ToBool() const {
    switch (type()) {
    case Type::Bool:
        return std::get<bool>(m_v);
    case Type::Int:
        return std::get<std::int32_t>(m_v) != 0;
    case Type::String:
        return ParseBool(std::get<std::string>(m_v));
    case Type::Empty:
        break;
    }
    return std::nullopt;
}

std::optional<std::int32_t> Variant::ToInt() const {
    switch (type()) {
    case Type::Bool:
        return std::get<bool>(m_v) ? -1 : 0;
    case Type::Int:
        return std::get<std::int32_t>(m_v);
    case Type::String:
        return ParseInt(std::get<std::string>(m_v));
    case Type::Empty:
        break;
    }
    return std::nullopt;
}

std::string Variant::ToString() const {
    switch (type()) {
    case Type::Bool:
        return std::get<bool>(m_v) ? "TRUE" : "FALSE";
    case Type::Int:
        return std::to_string(std::get<std::int32_t>(m_v));
    case Type::String:
        return std::get<std::string>(m_v);
    case Type::Empty:
        break;
    }
    return {};
}

} // namespace kivra::platform
