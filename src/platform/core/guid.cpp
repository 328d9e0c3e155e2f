#include "guid.h"

#include <cstdio>

namespace kivra::platform {

namespace {

int HexDigit(char c) {
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return -1;
}

// Reads `count` hex digits at `pos`; false on any other character.
bool ReadHex(std::string_view s, std::size_t pos, std::size_t count, std::uint64_t& out) {
    out = 0;
    for (std::size_t i = 0; i < count; ++i) {
        const int d = HexDigit(s[pos + i]);
        if (d < 0)
            return false;
        out = (out << 4) | static_cast<unsigned>(d);
    }
    return true;
}

} // namespace

std::optional<Guid> Guid::Parse(std::string_view text) {
    if (text.size() == kGuidTextLength) {
        if (text.front() != '{' || text.back() != '}')
            return std::nullopt;
        text = text.substr(1, text.size() - 2);
    }
    if (text.size() != kGuidTextLength - 2)
        return std::nullopt;
    if (text[8] != '-' || text[13] != '-' || text[18] != '-' || text[23] != '-')
        return std::nullopt;
    Guid g;
    std::uint64_t v = 0;
    if (!ReadHex(text, 0, 8, v))
        return std::nullopt;
    g.data1 = static_cast<std::uint32_t>(v);
    if (!ReadHex(text, 9, 4, v))
        return std::nullopt;
    g.data2 = static_cast<std::uint16_t>(v);
    if (!ReadHex(text, 14, 4, v))
        return std::nullopt;
    g.data3 = static_cast<std::uint16_t>(v);
    static constexpr std::size_t kBytePos[8] = {19, 21, 24, 26, 28, 30, 32, 34};
    for (int i = 0; i < 8; ++i) {
        if (!ReadHex(text, kBytePos[i], 2, v))
            return std::nullopt;
        g.data4[i] = static_cast<std::uint8_t>(v);
    }
    return g;
}

std::string Guid::ToString() const {
    char buf[kGuidTextLength + 1];
    std::snprintf(buf, sizeof buf, "{%08X-%04X-%04X-%02X%02X-%02X%02X%02X%02X%02X%02X}",
                  static_cast<unsigned>(data1), data2, data3, data4[0], data4[1], data4[2],
                  data4[3], data4[4], data4[5], data4[6], data4[7]);
    return std::string(buf, kGuidTextLength);
}

} // namespace kivra::platform
