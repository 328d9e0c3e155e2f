#include "tickermessage.h"

#include "markuptag.h"

#include <cctype>

int TickerMessage::PauseSeconds(std::string_view value) {
    std::size_t i = 0;
    while (i < value.size() && std::isspace(static_cast<unsigned char>(value[i])))
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
    CMarkupTag tag;
    // The value of one attribute into `to`, when the tag has it.
    auto take = [&tag](const char* name, std::string& to) {
        if (const char* value = tag.GetValue(name)) {
            to = value;
            return true;
        }
        return false;
    };
    std::size_t i = 0;
    while (i < message.size()) {
        const std::size_t open = message.find('<', i);
        m.text.append(message.substr(i, open == std::string_view::npos ? open : open - i));
        if (open == std::string_view::npos)
            break;
        const std::size_t close = message.find('>', open);
        if (close == std::string_view::npos)
            break; // an unclosed tag cuts the message there
        tag.Parse(std::string(message.substr(open, close - open + 1)).c_str());
        // A tag the tokenizer refuses is dropped like every tag the ticker has no use for.
        const int type = tag.IsValid() ? tag.Type() : CMarkupTag::TAG_NONE;
        std::string pause;
        if (type == CMarkupTag::TAG_A) {
            take("HREF", m.href);
            take("TARGET", m.target);
        } else if (type == CMarkupTag::TAG_IMG) {
            take("SRC", m.src);
        } else if (type == CMarkupTag::TAG_EFFECT && take("PAUSE", pause)) {
            m.pause = true;
            m.pauseSeconds = PauseSeconds(pause);
        }
        i = close + 1;
    }
    return m;
}
