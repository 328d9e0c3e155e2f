#include "tickermessage.h"

#include <cctype>

namespace {

char Upper(char c) {
    return char(std::toupper(static_cast<unsigned char>(c)));
}

bool StartsWithNoCase(std::string_view s, std::string_view prefix) {
    if (s.size() < prefix.size())
        return false;
    for (std::size_t i = 0; i < prefix.size(); ++i)
        if (Upper(s[i]) != Upper(prefix[i]))
            return false;
    return true;
}

bool IsBlank(char c) {
    return c == ' ' || c == '\t' || c == '\r' || c == '\n';
}

} // namespace

bool TickerMessage::TagValue(std::string_view tag, std::string_view name, std::string& value) {
    // Skip "<" and the tag's own name, then read NAME=VALUE pairs.
    std::size_t i = 1;
    while (i < tag.size() && !IsBlank(tag[i]) && tag[i] != '>')
        ++i;
    for (int seen = 0; i < tag.size() && seen < kMaxAttributes; ++seen) {
        while (i < tag.size() && (IsBlank(tag[i]) || tag[i] == '"'))
            ++i;
        const std::size_t nameStart = i;
        while (i < tag.size() && tag[i] != '=' && !IsBlank(tag[i]) && tag[i] != '>')
            ++i;
        const std::string_view attr = tag.substr(nameStart, i - nameStart);
        if (i >= tag.size() || tag[i] == '>')
            return false;
        if (tag[i] != '=')
            continue; // a word without a value
        ++i;
        std::size_t valueStart = i;
        std::size_t valueEnd;
        if (i < tag.size() && tag[i] == '"') {
            valueStart = ++i;
            while (i < tag.size() && tag[i] != '"')
                ++i;
            valueEnd = i;
            if (i < tag.size())
                ++i;
        } else {
            while (i < tag.size() && !IsBlank(tag[i]) && tag[i] != '>')
                ++i;
            valueEnd = i;
        }
        if (!attr.empty() && attr.size() == name.size() && StartsWithNoCase(attr, name)) {
            value.assign(tag.substr(valueStart, valueEnd - valueStart));
            return true;
        }
    }
    return false;
}

int TickerMessage::PauseSeconds(std::string_view value) {
    std::size_t i = 0;
    while (i < value.size() && IsBlank(value[i]))
        ++i;
    long seconds = 0;
    bool digits = false;
    for (; i < value.size() && std::isdigit(static_cast<unsigned char>(value[i])); ++i) {
        digits = true;
        seconds = seconds * 10 + (value[i] - '0');
        if (seconds > kMaxPauseSeconds)
            return kMaxPauseSeconds;
    }
    return digits ? int(seconds) : 0;
}

TickerMessage TickerMessage::Parse(std::string_view message) {
    TickerMessage m;
    if (message.size() > kMaxChars)
        message = message.substr(0, kMaxChars);
    std::size_t i = 0;
    while (i < message.size()) {
        const std::size_t open = message.find('<', i);
        m.text.append(message.substr(i, open == std::string_view::npos ? open : open - i));
        if (open == std::string_view::npos)
            break;
        const std::size_t close = message.find('>', open);
        if (close == std::string_view::npos)
            break; // an unclosed tag cuts the message there
        const std::string_view tag = message.substr(open, close - open + 1);
        std::string value;
        if (StartsWithNoCase(tag, "<A ")) {
            if (TagValue(tag, "HREF", value))
                m.href = value;
            if (TagValue(tag, "TARGET", value))
                m.target = value;
        } else if (StartsWithNoCase(tag, "<IMG ")) {
            if (TagValue(tag, "SRC", value))
                m.src = value;
        } else if (StartsWithNoCase(tag, "<EFFECT ")) {
            if (TagValue(tag, "PAUSE", value)) {
                m.pause = true;
                m.pauseSeconds = PauseSeconds(value);
            }
        }
        i = close + 1;
    }
    return m;
}
