#include "chatformat.h"

#include <algorithm>
#include <cctype>

namespace kivra::server {

namespace {

constexpr const char* kKindNames[kKindCount] = {
    "username",      "tell-message",  "say-message",      "emote-message",
    "shout-message", "usage",         "room-description", "room-exits",
    "enter-message", "leave-message", "info-message",     "attention"};

constexpr const char* kColorNames[9] = {"",       "white", "black",   "red", "green",
                                        "yellow", "blue",  "magenta", "cyan"};

// ANSI foreground numbers of colour codes 1..8 (white, black, red, green, yellow, blue,
// magenta, cyan).
constexpr int kAnsi[9] = {30, 37, 30, 31, 32, 33, 34, 35, 36};

std::vector<std::string_view> Words(std::string_view s) {
    std::vector<std::string_view> out;
    std::size_t i = 0;
    while (i < s.size()) {
        while (i < s.size() && (s[i] == ' ' || s[i] == '\t'))
            ++i;
        std::size_t j = i;
        while (j < s.size() && s[j] != ' ' && s[j] != '\t')
            ++j;
        if (j > i)
            out.push_back(s.substr(i, j - i));
        i = j;
    }
    return out;
}

// Block values come partly from users (descriptions, names, commands). Line ends and 0x01
// would break the framing, and the client takes the first "<end>" it finds, in any letter case
// and even inside a value, as the end of the block; such text is spaced out.
std::string Clean(std::string_view v, std::size_t max) {
    std::string out;
    for (char c : v) {
        if (c == '\r' || c == '\n' || c == '\x01')
            continue;
        if (out.size() >= max)
            break;
        out.push_back(c);
        if (c == '>' && out.size() >= 5 && EqualsNoCase(out.substr(out.size() - 5), "<end>")) {
            out.pop_back();
            out += " >";
        }
    }
    return out;
}

} // namespace

const char* KindName(int kind) {
    return kind >= 0 && kind < kKindCount ? kKindNames[kind] : "";
}

int KindFromName(std::string_view name) {
    for (int k = 0; k < kKindCount; ++k) {
        if (EqualsNoCase(name, kKindNames[k]))
            return k;
    }
    return -1;
}

int ColorCode(std::string_view name) {
    for (int c = 1; c <= 8; ++c) {
        if (EqualsNoCase(name, kColorNames[c]))
            return c;
    }
    return 2;
}

const char* ColorName(int code) {
    return code >= 1 && code <= 8 ? kColorNames[code] : "";
}

CUserStyles::CUserStyles() {
    const int colours[kKindCount] = {3, 7, 6, 7, 6, 2, 2, 2, 2, 2, 2, 2};
    for (int k = 0; k < kKindCount; ++k)
        style[k] = static_cast<std::uint32_t>(colours[k]);
    style[kUsername] |= kBold;
    style[kEnterMessage] |= kBold;
    style[kLeaveMessage] |= kBold;
    style[kInfoMessage] |= kBold;
    style[kAttention] |= kBold;
}

bool CUserStyles::ApplyDisplay(std::string_view args) {
    const auto words = Words(args);
    if (words.empty())
        return false;
    const int kind = KindFromName(words[0]);
    if (kind < 0)
        return false;
    // The client sends an empty colour name for a kind it has no colour for: "DISPLAY k  ".
    std::uint32_t word =
        words.size() > 1 && !EqualsNoCase(words[1], "bold") && !EqualsNoCase(words[1], "underline")
            ? static_cast<std::uint32_t>(ColorCode(words[1]))
            : 0;
    for (std::size_t i = 1; i < words.size(); ++i) {
        if (EqualsNoCase(words[i], "bold"))
            word |= kBold;
        else if (EqualsNoCase(words[i], "underline"))
            word |= kUnderline;
    }
    style[kind] = word;
    return true;
}

std::string Escape(std::uint32_t style) {
    const unsigned code = style & 0xFFFF;
    std::string out = "\x1b[";
    out += (style & kBold) ? "1;" : "0;";
    out += std::to_string(code <= 8 ? kAnsi[code] : 30);
    if (style & kUnderline)
        out += ";4";
    out += "m";
    return out;
}

std::string ResetEscape() {
    return "\x1b[0;m";
}

std::string WireName(std::string_view name) {
    std::string out(name);
    for (char& c : out) {
        if (c == ' ')
            c = '+';
    }
    return out;
}

std::string DisplayName(std::string_view wire) {
    std::string out(wire);
    for (char& c : out) {
        if (c == '+')
            c = ' ';
    }
    return out;
}

std::string NameKey(std::string_view name) {
    std::string out = WireName(name);
    for (char& c : out)
        c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    return out;
}

bool IsValidName(std::string_view name) {
    if (name.empty() || name.size() > 32 || name.front() == ' ' || name.back() == ' ')
        return false;
    for (char c : name) {
        const auto u = static_cast<unsigned char>(c);
        if (!std::isalnum(u) && c != ' ' && c != '-' && c != '_' && c != '.' && c != '\'')
            return false;
    }
    return true;
}

bool EqualsNoCase(std::string_view a, std::string_view b) {
    if (a.size() != b.size())
        return false;
    for (std::size_t i = 0; i < a.size(); ++i) {
        if (std::tolower(static_cast<unsigned char>(a[i])) !=
            std::tolower(static_cast<unsigned char>(b[i])))
            return false;
    }
    return true;
}

std::string Lower(std::string_view s) {
    std::string out(s);
    for (char& c : out)
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return out;
}

std::string Trim(std::string_view s) {
    std::size_t b = 0;
    std::size_t e = s.size();
    while (b < e && (s[b] == ' ' || s[b] == '\t'))
        ++b;
    while (e > b && (s[e - 1] == ' ' || s[e - 1] == '\t'))
        --e;
    return std::string(s.substr(b, e - b));
}

CBlockWriter& CBlockWriter::Add(std::string_view keyword, std::string_view value) {
    // A keyword holds no angle brackets: the client reads it up to the first ">". The framing
    // words themselves cannot be carried as keywords.
    std::string k = Clean(keyword, 255);
    k.erase(std::remove_if(k.begin(), k.end(), [](char c) { return c == '<' || c == '>'; }),
            k.end());
    if (EqualsNoCase(k, "end") || EqualsNoCase(k, "begin"))
        return *this;
    m_lines += '<';
    m_lines += k;
    m_lines += '>';
    if (!value.empty()) {
        m_lines += ' ';
        m_lines += Clean(value, 1023);
    }
    m_lines += "\r\n";
    return *this;
}

std::string CBlockWriter::Text() const {
    return "\x01<begin>\r\n" + m_lines + "<end>\r\n";
}

std::string Block(std::string_view keyword, std::string_view value) {
    return CBlockWriter().Add(keyword, value).Text();
}

std::string AvatarTag(std::string_view url, std::string_view name) {
    return "<user avatar=" + std::string(url) + " name=" + WireName(name) + " >";
}

std::string SayUnit(const CUserStyles& to, std::string_view avatar, std::string_view speaker,
                    std::string_view text, bool own, bool shout) {
    const int kind = shout ? kShoutMessage : kSayMessage;
    std::string out(avatar);
    out += "<say username=\"" + WireName(speaker) + "\">";
    if (own) {
        out += Escape(to.style[kind]);
        out += shout ? "You shout, \"" : "You say, \"";
    } else {
        out += Escape(to.style[kUsername]);
        out += speaker;
        out += Escape(to.style[kind]);
        out += shout ? " shouts, \"" : " says, \"";
    }
    out += text;
    out += ResetEscape() + "\"\r\n";
    return out;
}

std::string EmoteUnit(const CUserStyles& to, std::string_view avatar, std::string_view speaker,
                      std::string_view text) {
    std::string out(avatar);
    out += "<emote username=\"" + WireName(speaker) + "\">";
    out += Escape(to.style[kUsername]);
    out += speaker;
    out += Escape(to.style[kEmoteMessage]);
    out += ' ';
    out += text;
    out += ResetEscape() + "\r\n";
    return out;
}

std::string TellUnit(const CUserStyles& to, std::string_view avatar, std::string_view recipients,
                     std::string_view from, std::string_view text) {
    std::string out(avatar);
    out += "<tell to=\"" + WireName(recipients) + "\" from=\"" + WireName(from) + "\">";
    out += Escape(to.style[kUsername]);
    out += from;
    out += Escape(to.style[kTellMessage]);
    out += " tells you, \"";
    out += text;
    out += ResetEscape() + "\"\r\n";
    return out;
}

std::string TellEchoUnit(const CUserStyles& to, std::string_view recipients, std::string_view from,
                         std::string_view text) {
    std::string out = "<tell to=\"" + WireName(recipients) + "\" from=\"" + WireName(from) + "\">";
    out += Escape(to.style[kTellMessage]);
    out += "You tell " + DisplayName(recipients) + ", \"";
    out += text;
    out += ResetEscape() + "\"\r\n";
    return out;
}

std::string Notice(const CUserStyles& to, int kind, std::string_view text) {
    return Escape(to.style[kind]) + std::string(text) + ResetEscape() + "\r\n";
}

} // namespace kivra::server
