#pragma once
// One ticker message as the strip shows it: the plain text between the tags, and what the
// anchor, image and effect tags of the ticker markup say about it, as the markup tokenizer
// (CMarkupTag) reads them. Only those three tags mean anything to the ticker; every other tag is
// dropped from the text.

#include <cstddef>
#include <string>
#include <string_view>

struct TickerMessage {
    // The longest message read, in characters; the rest is not looked at.
    static constexpr std::size_t kMaxChars = 1024;
    // A pause is held at most this long, whatever the message asks.
    static constexpr int kMaxPauseSeconds = 60;

    std::string text;   // plain text
    std::string href;   // link URL
    std::string target; // link target frame
    std::string src;    // image path
    bool pause = false;
    int pauseSeconds = 0;

    // Reads `message` (at most kMaxChars of it). A "<" with no ">" after it ends the message.
    static TickerMessage Parse(std::string_view message);

    // The whole-number value of a PAUSE attribute: 0 for anything that is not a number of
    // seconds above 0, at most kMaxPauseSeconds.
    static int PauseSeconds(std::string_view value);
};
