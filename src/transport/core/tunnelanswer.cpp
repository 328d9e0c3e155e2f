#include "tunnelanswer.h"

#include "base64.h"

#include <climits>
#include <cstdio>

namespace {

bool EqualNoCase(std::string_view a, std::string_view b) {
    if (a.size() != b.size())
        return false;
    for (std::size_t i = 0; i < a.size(); ++i) {
        char x = a[i];
        char y = b[i];
        if (x >= 'a' && x <= 'z')
            x = static_cast<char>(x - 'a' + 'A');
        if (y >= 'a' && y <= 'z')
            y = static_cast<char>(y - 'a' + 'A');
        if (x != y)
            return false;
    }
    return true;
}

bool IsSpace(char c) {
    return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r';
}

// Calls `line` for every LF-ended line of `body` (LF removed), and for a last line without LF;
// stops when it returns false.
template <typename F> void ForEachLine(std::string_view body, F line) {
    while (!body.empty()) {
        const std::size_t lf = body.find('\n');
        const std::string_view text = body.substr(0, lf);
        if (!line(text))
            return;
        if (lf == std::string_view::npos)
            return;
        body.remove_prefix(lf + 1);
    }
}

struct Record {
    bool valid = false;
    std::string_view key;
    std::string_view value;
};

Record Split(std::string_view text) {
    const std::size_t eq = text.find('=');
    if (eq == std::string_view::npos)
        return {};
    return {true, text.substr(0, eq), text.substr(eq + 1)};
}

std::string Numbered(const char* command, int connectionId, int nonce) {
    char text[96];
    std::snprintf(text, sizeof text, "Command=%s&ConnectionID=%d&Nonce=%d", command, connectionId,
                  nonce);
    return text;
}

} // namespace

TunnelStatus TunnelStatusOf(std::string_view word) {
    if (EqualNoCase(word, "OK"))
        return TUNNEL_OK;
    if (EqualNoCase(word, "CONNFAILED"))
        return TUNNEL_CONNFAILED;
    if (EqualNoCase(word, "CONNDOWN"))
        return TUNNEL_CONNDOWN;
    if (EqualNoCase(word, "CONNREFUSED"))
        return TUNNEL_CONNREFUSED;
    return TUNNEL_UNKNOWN;
}

int LeadingNumber(std::string_view text) {
    std::size_t i = 0;
    while (i < text.size() && IsSpace(text[i]))
        ++i;
    bool negative = false;
    if (i < text.size() && (text[i] == '+' || text[i] == '-')) {
        negative = text[i] == '-';
        ++i;
    }
    long long v = 0;
    for (; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i) {
        v = v * 10 + (text[i] - '0');
        if (v > static_cast<long long>(INT_MAX) + 1)
            v = static_cast<long long>(INT_MAX) + 1;
    }
    if (negative)
        return static_cast<int>(-v);
    return v > INT_MAX ? INT_MAX : static_cast<int>(v);
}

std::string OpenBody(std::string_view server, unsigned port) {
    std::string body = "Command=Open&Server=";
    body.append(server);
    body += "&Port=";
    body += std::to_string(port);
    return body;
}

std::string WriteBody(int connectionId, int nonce, std::string_view data) {
    std::string body = Numbered("Write", connectionId, nonce);
    body += "&Data=";
    body += FormEscape(Base64Encode(data));
    return body;
}

std::string ReadBody(int connectionId, int nonce) {
    return Numbered("Read", connectionId, nonce);
}

std::string CloseBody(int connectionId, int nonce) {
    return Numbered("Close", connectionId, nonce);
}

OpenAnswer ParseOpenAnswer(std::string_view body) {
    OpenAnswer answer;
    ForEachLine(body, [&](std::string_view line) {
        const Record r = Split(line);
        if (!r.valid)
            return true;
        if (EqualNoCase(r.key, "Status"))
            answer.status = TunnelStatusOf(r.value);
        else if (EqualNoCase(r.key, "ConnectionID"))
            answer.connectionId = LeadingNumber(r.value);
        else if (EqualNoCase(r.key, "Nonce"))
            answer.nonce = LeadingNumber(r.value);
        return true;
    });
    return answer;
}

TunnelStatus ParseWriteAnswer(std::string_view body) {
    TunnelStatus status = TUNNEL_UNKNOWN;
    ForEachLine(body, [&](std::string_view line) {
        const Record r = Split(line);
        if (r.valid && EqualNoCase(r.key, "Status"))
            status = TunnelStatusOf(r.value);
        return true;
    });
    return status;
}

TunnelStatus ParseCloseAnswer(std::string_view body) {
    TunnelStatus status = TUNNEL_UNKNOWN;
    ForEachLine(body, [&](std::string_view line) {
        const Record r = Split(line);
        if (!r.valid)
            return false;
        if (!EqualNoCase(r.key, "Status")) {
            status = TUNNEL_UNKNOWN;
            return false;
        }
        status = TunnelStatusOf(r.value);
        return true;
    });
    return status;
}

ReadAnswer ParseReadAnswer(std::string_view body, std::size_t chunk) {
    ReadAnswer answer;
    if (chunk == 0)
        chunk = kReadChunk;
    std::size_t recordStart = 0;
    for (std::size_t pos = 0; pos < body.size(); pos += chunk) {
        const std::string_view piece = body.substr(pos, chunk);
        if (piece.find('\n') == std::string_view::npos)
            continue;
        const std::string_view record = body.substr(recordStart, pos + piece.size() - recordStart);
        recordStart = pos + piece.size();
        const Record r = Split(record);
        if (!r.valid)
            continue;
        if (EqualNoCase(r.key, "Status")) {
            std::string_view word = r.value;
            if (!word.empty() && word.back() == '\n')
                word.remove_suffix(1);
            answer.status = TunnelStatusOf(word);
        } else if (EqualNoCase(r.key, "Data")) {
            std::string_view text = r.value;
            while (!text.empty() && IsSpace(text.back()))
                text.remove_suffix(1);
            answer.hasData = true;
            answer.data = Base64Decode(text);
        }
    }
    return answer;
}
