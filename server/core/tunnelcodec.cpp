#include "tunnelcodec.h"

#include "chatformat.h"

namespace kivra::server {

namespace {

constexpr char kAlphabet[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";

int Sextet(char c) {
    if (c >= 'A' && c <= 'Z')
        return c - 'A';
    if (c >= 'a' && c <= 'z')
        return c - 'a' + 26;
    if (c >= '0' && c <= '9')
        return c - '0' + 52;
    if (c == '+')
        return 62;
    if (c == '/')
        return 63;
    return -1;
}

int Hex(char c) {
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return -1;
}

std::string Unescape(std::string_view s) {
    std::string out;
    out.reserve(s.size());
    for (std::size_t i = 0; i < s.size(); ++i) {
        if (s[i] == '+') {
            out.push_back(' ');
        } else if (s[i] == '%' && i + 2 < s.size() && Hex(s[i + 1]) >= 0 && Hex(s[i + 2]) >= 0) {
            out.push_back(static_cast<char>(Hex(s[i + 1]) * 16 + Hex(s[i + 2])));
            i += 2;
        } else {
            out.push_back(s[i]);
        }
    }
    return out;
}

} // namespace

std::string Base64Encode(std::string_view bytes) {
    std::string out;
    out.reserve((bytes.size() + 2) / 3 * 4);
    std::size_t i = 0;
    for (; i + 2 < bytes.size(); i += 3) {
        const unsigned v = static_cast<unsigned char>(bytes[i]) << 16 |
                           static_cast<unsigned char>(bytes[i + 1]) << 8 |
                           static_cast<unsigned char>(bytes[i + 2]);
        out += kAlphabet[v >> 18 & 63];
        out += kAlphabet[v >> 12 & 63];
        out += kAlphabet[v >> 6 & 63];
        out += kAlphabet[v & 63];
    }
    if (i + 1 == bytes.size()) {
        const unsigned v = static_cast<unsigned char>(bytes[i]) << 16;
        out += kAlphabet[v >> 18 & 63];
        out += kAlphabet[v >> 12 & 63];
        out += "==";
    } else if (i + 2 == bytes.size()) {
        const unsigned v = static_cast<unsigned char>(bytes[i]) << 16 |
                           static_cast<unsigned char>(bytes[i + 1]) << 8;
        out += kAlphabet[v >> 18 & 63];
        out += kAlphabet[v >> 12 & 63];
        out += kAlphabet[v >> 6 & 63];
        out += '=';
    }
    return out;
}

std::optional<std::string> Base64Decode(std::string_view text) {
    if (text.size() % 4 != 0)
        return std::nullopt;
    std::string out;
    out.reserve(text.size() / 4 * 3);
    for (std::size_t i = 0; i < text.size(); i += 4) {
        const bool last = i + 4 == text.size();
        const int a = Sextet(text[i]);
        const int b = Sextet(text[i + 1]);
        if (a < 0 || b < 0)
            return std::nullopt;
        out.push_back(static_cast<char>(a << 2 | b >> 4));
        if (text[i + 2] == '=') {
            if (!last || text[i + 3] != '=')
                return std::nullopt;
            break;
        }
        const int c = Sextet(text[i + 2]);
        if (c < 0)
            return std::nullopt;
        out.push_back(static_cast<char>((b & 15) << 4 | c >> 2));
        if (text[i + 3] == '=') {
            if (!last)
                return std::nullopt;
            break;
        }
        const int d = Sextet(text[i + 3]);
        if (d < 0)
            return std::nullopt;
        out.push_back(static_cast<char>((c & 3) << 6 | d));
    }
    return out;
}

std::vector<std::pair<std::string, std::string>> FormDecode(std::string_view body) {
    std::vector<std::pair<std::string, std::string>> out;
    std::size_t start = 0;
    while (start < body.size()) {
        std::size_t amp = body.find('&', start);
        if (amp == std::string_view::npos)
            amp = body.size();
        const std::string_view pair = body.substr(start, amp - start);
        const std::size_t eq = pair.find('=');
        if (!pair.empty()) {
            if (eq == std::string_view::npos)
                out.emplace_back(Unescape(pair), std::string());
            else
                out.emplace_back(Unescape(pair.substr(0, eq)), Unescape(pair.substr(eq + 1)));
        }
        start = amp + 1;
    }
    return out;
}

std::optional<std::string> FormValue(const std::vector<std::pair<std::string, std::string>>& form,
                                     std::string_view key) {
    for (const auto& [k, v] : form) {
        if (EqualsNoCase(k, key))
            return v;
    }
    return std::nullopt;
}

std::optional<long> ParseNumber(std::string_view text) {
    std::size_t i = 0;
    const bool negative = !text.empty() && text[0] == '-';
    if (negative)
        i = 1;
    if (i == text.size() || text.size() - i > 10)
        return std::nullopt;
    long value = 0;
    for (; i < text.size(); ++i) {
        if (text[i] < '0' || text[i] > '9')
            return std::nullopt;
        value = value * 10 + (text[i] - '0');
    }
    if (value > 2147483647L + (negative ? 1 : 0))
        return std::nullopt;
    return negative ? -value : value;
}

} // namespace kivra::server
