#include "unitcutter.h"

#include <cctype>

namespace {

bool StartsNoCase(const std::string& s, std::size_t at, const std::string& prefix) {
    if (s.size() - at < prefix.size())
        return false;
    for (std::size_t i = 0; i < prefix.size(); ++i) {
        if (std::tolower(static_cast<unsigned char>(s[at + i])) !=
            std::tolower(static_cast<unsigned char>(prefix[i])))
            return false;
    }
    return true;
}

bool SameNoCase(const std::string& a, const std::string& b) {
    return a.size() == b.size() && StartsNoCase(a, 0, b);
}

std::string Between(const std::string& s, std::size_t from, const std::string& end) {
    const std::size_t e = s.find(end, from);
    return e == std::string::npos ? std::string() : s.substr(from, e - from);
}

} // namespace

std::vector<CutUnit> CutUnits(const std::string& stream, const std::string& me) {
    std::vector<CutUnit> out;
    std::size_t pos = 0;
    while (pos < stream.size()) {
        CutUnit u;
        std::string marker = "\r\n";
        std::size_t search = pos;
        std::size_t body = pos; // where the say/tell/emote tag starts
        if (StartsNoCase(stream, pos, "<user")) {
            const std::size_t gt = stream.find('>', pos);
            if (gt != std::string::npos)
                body = gt + 1;
        }
        const bool userTag = body != pos;
        if (StartsNoCase(stream, body, "<tell to=\"")) {
            marker = ";m\"\r\n";
            search = body;
            const std::string to = Between(stream, body + 10, "\" from=\"");
            const std::size_t f = stream.find("\" from=\"", body);
            const std::string from = f == std::string::npos ? "" : Between(stream, f + 8, "\">");
            if (to.find(',') != std::string::npos) {
                u.kind = userTag ? 2 : 4;
            } else if (SameNoCase(to, me)) {
                u.name = from;
                u.kind = 1;
            } else {
                u.name = to;
                u.kind = 2;
            }
        } else if (StartsNoCase(stream, body, "<say username=\"")) {
            marker = ";m\"\r\n";
            search = body;
            u.name = Between(stream, body + 15, "\">");
            u.kind = 3;
            if (SameNoCase(u.name, me)) {
                u.name.clear();
                u.kind = 4;
            }
        } else if (StartsNoCase(stream, body, "<emote username=\"")) {
            marker = ";m\r\n";
            search = body;
            u.name = Between(stream, body + 17, "\">");
            u.kind = SameNoCase(u.name, me) ? 4 : 3;
        } else if (userTag) {
            marker.clear();
        } else if (stream[pos] == '\x01' && StartsNoCase(stream, pos + 1, "<begin>")) {
            marker = "<end>\r\n";
        }
        std::size_t end = stream.size();
        if (!marker.empty()) {
            const std::size_t m = stream.find(marker, search);
            if (m != std::string::npos)
                end = m + marker.size();
        }
        u.text = stream.substr(pos, end - pos);
        out.push_back(u);
        pos = end;
    }
    return out;
}

std::vector<std::string> BlockLines(const std::string& stream) {
    std::vector<std::string> out;
    std::size_t pos = 0;
    while ((pos = stream.find("\x01<begin>", pos)) != std::string::npos) {
        const std::size_t end = stream.find("<end>", pos);
        if (end == std::string::npos)
            break;
        std::size_t line = stream.find('<', pos + 8);
        while (line != std::string::npos && line < end) {
            const std::size_t gt = stream.find('>', line);
            std::size_t v = gt + 1;
            while (v < stream.size() && stream[v] == ' ')
                ++v;
            const std::size_t eol = stream.find_first_of("\r\n", v);
            out.push_back(stream.substr(line + 1, gt - line - 1) + "|" + stream.substr(v, eol - v));
            line = stream.find('<', eol);
        }
        pos = end;
    }
    return out;
}
