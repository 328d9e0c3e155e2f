#include "base64.h"

#include <array>
#include <cstdint>

namespace {

constexpr char kAlphabet[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";

// 0..63 for the alphabet, 64 for everything else.
constexpr std::array<std::uint8_t, 256> MakeDecodeTable() {
    std::array<std::uint8_t, 256> t{};
    for (auto& v : t)
        v = 64;
    for (int i = 0; i < 64; ++i)
        t[static_cast<unsigned char>(kAlphabet[i])] = static_cast<std::uint8_t>(i);
    return t;
}
constexpr auto kDecode = MakeDecodeTable();

} // namespace

std::string Base64Encode(std::string_view bytes) {
    std::string out;
    out.resize((bytes.size() + 2) / 3 * 4);
    const auto* in = reinterpret_cast<const unsigned char*>(bytes.data());
    const std::size_t n = bytes.size();
    char* o = out.data();
    std::size_t i = 0;
    for (; i + 3 <= n; i += 3) {
        const std::uint32_t v = (std::uint32_t{in[i]} << 16) | (std::uint32_t{in[i + 1]} << 8) |
                                std::uint32_t{in[i + 2]};
        *o++ = kAlphabet[(v >> 18) & 63];
        *o++ = kAlphabet[(v >> 12) & 63];
        *o++ = kAlphabet[(v >> 6) & 63];
        *o++ = kAlphabet[v & 63];
    }
    if (n - i == 1) {
        const std::uint32_t v = std::uint32_t{in[i]} << 16;
        *o++ = kAlphabet[(v >> 18) & 63];
        *o++ = kAlphabet[(v >> 12) & 63];
        *o++ = '=';
        *o++ = '=';
    } else if (n - i == 2) {
        const std::uint32_t v = (std::uint32_t{in[i]} << 16) | (std::uint32_t{in[i + 1]} << 8);
        *o++ = kAlphabet[(v >> 18) & 63];
        *o++ = kAlphabet[(v >> 12) & 63];
        *o++ = kAlphabet[(v >> 6) & 63];
        *o++ = '=';
    }
    return out;
}

std::string FormEscape(std::string_view text) {
    static constexpr char kHex[] = "0123456789ABCDEF";
    std::string out;
    out.reserve(text.size() + text.size() / 8 + 8);
    for (const char ch : text) {
        const auto c = static_cast<unsigned char>(ch);
        if (c == ' ') {
            out += '+';
        } else if (c == '%' || c == '#' || c == '&' || c == '=' || c == '+' || c == 127) {
            out += '%';
            out += kHex[c >> 4];
            out += kHex[c & 15];
        } else {
            out += ch;
        }
    }
    return out;
}

std::optional<std::string> Base64Decode(std::string_view text) {
    const std::size_t n = text.size();
    std::string out(n / 4 * 3 + 3, '\0');
    char* o = out.data();
    const auto* in = reinterpret_cast<const unsigned char*>(text.data());
    std::size_t i = 0;
    // Whole groups of four alphabet characters: "=" or anything else leaves the fast path.
    for (; i + 4 <= n; i += 4) {
        const std::uint32_t v =
            (std::uint32_t{kDecode[in[i]]} << 18) | (std::uint32_t{kDecode[in[i + 1]]} << 12) |
            (std::uint32_t{kDecode[in[i + 2]]} << 6) | std::uint32_t{kDecode[in[i + 3]]};
        if ((kDecode[in[i]] | kDecode[in[i + 1]] | kDecode[in[i + 2]] | kDecode[in[i + 3]]) > 63)
            break;
        *o++ = static_cast<char>(v >> 16);
        *o++ = static_cast<char>(v >> 8);
        *o++ = static_cast<char>(v);
    }
    // The last group, a padded group, or a failing character. The end of the text decodes as
    // a failing character.
    auto at = [&](std::size_t k) -> std::uint8_t { return k < n ? kDecode[in[k]] : 64; };
    for (; i < n; i += 4) {
        const std::uint8_t c0 = at(i);
        const std::uint8_t c1 = at(i + 1);
        if (c0 > 63 || c1 > 63)
            return std::nullopt;
        *o++ = static_cast<char>((c0 << 2) | (c1 >> 4));
        if (i + 2 < n && in[i + 2] == '=')
            break;
        const std::uint8_t c2 = at(i + 2);
        if (c2 > 63)
            return std::nullopt;
        *o++ = static_cast<char>(((c1 & 15) << 4) | (c2 >> 2));
        if (i + 3 < n && in[i + 3] == '=')
            break;
        const std::uint8_t c3 = at(i + 3);
        if (c3 > 63)
            return std::nullopt;
        *o++ = static_cast<char>(((c2 & 3) << 6) | c3);
    }
    out.resize(static_cast<std::size_t>(o - out.data()));
    return out;
}
