#pragma once

#include <algorithm>
#include <string>
#include <vector>

// How the chat client cuts the server's stream into display units, written from the client's
// rules so that tests can check the server's bytes land in the units the client expects.
struct CutUnit {
    std::string text;
    std::string name;
    int kind = 0; // 0 other, 1 tell to me, 2 my tell / multi tell with user tag, 3 other's
                  // say or emote, 4 my own say or emote / multi tell without user tag
};

std::vector<CutUnit> CutUnits(const std::string& stream, const std::string& me);

// Keyword lines of every block in the stream, "keyword|value" each, in order.
std::vector<std::string> BlockLines(const std::string& stream);

inline bool Has(const std::vector<std::string>& lines, const std::string& line) {
    return std::find(lines.begin(), lines.end(), line) != lines.end();
}
