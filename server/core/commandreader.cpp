#include "commandreader.h"

#include <algorithm>
#include <cctype>

namespace kivra::server {

namespace {

constexpr unsigned char kIac = 255;
constexpr unsigned char kSb = 250;
constexpr unsigned char kSe = 240;
constexpr unsigned char kWill = 251;
constexpr unsigned char kDont = 254;

bool EqualsNoCase(const std::string& a, const char* b) {
    std::size_t i = 0;
    for (; i < a.size() && b[i]; ++i) {
        if (std::tolower(static_cast<unsigned char>(a[i])) !=
            std::tolower(static_cast<unsigned char>(b[i])))
            return false;
    }
    return i == a.size() && !b[i];
}

// Text the server accepts on a line: printable bytes, blanks, tabs and high single-byte text;
// an ESC would let one user paint over the colours the server puts into everyone else's stream;
// other control bytes mean the peer is not speaking the protocol.
bool IsJunk(unsigned char c) {
    return (c < 0x20 && c != '\t') || c == 0x7F;
}

} // namespace

void CCommandReader::Fail(const std::string& why, std::vector<ReaderEvent>& out) {
    m_failed = true;
    m_line.clear();
    m_entries.clear();
    m_blockBytes = 0;
    ReaderEvent ev;
    ev.kind = ReaderEvent::Kind::Error;
    ev.text = why;
    out.push_back(std::move(ev));
}

void CCommandReader::Feed(const char* data, std::size_t length, std::vector<ReaderEvent>& out) {
    for (std::size_t i = 0; i < length && !m_failed; ++i) {
        const auto c = static_cast<unsigned char>(data[i]);
        switch (m_telnet) {
        case Telnet::Iac:
            if (c == kIac) {
                m_telnet = Telnet::None;
                break; // an escaped 0xFF is not text we accept either; drop it
            }
            if (c == kSb)
                m_telnet = Telnet::Sub;
            else if (c >= kWill && c <= kDont)
                m_telnet = Telnet::Option;
            else
                m_telnet = Telnet::None;
            continue;
        case Telnet::Option:
            m_telnet = Telnet::None;
            continue;
        case Telnet::Sub:
            if (c == kIac)
                m_telnet = Telnet::SubIac;
            continue;
        case Telnet::SubIac:
            m_telnet = c == kSe ? Telnet::None : Telnet::Sub;
            continue;
        case Telnet::None:
            break;
        }
        if (c == kIac) {
            m_telnet = Telnet::Iac;
            continue;
        }
        if (c == '\n') {
            TakeLine(out);
            continue;
        }
        if (c == 0x01 && m_line.empty() && !m_inBlock) {
            m_inBlock = true;
            m_sawBegin = false;
            m_blockBytes = 0;
            m_entries.clear();
            continue;
        }
        if (c != '\r' && IsJunk(c)) {
            Fail("binary data on a command line", out);
            return;
        }
        if (m_line.size() >= kMaxLine) {
            Fail("line longer than 8192 bytes", out);
            return;
        }
        m_line.push_back(static_cast<char>(c));
    }
}

void CCommandReader::TakeLine(std::vector<ReaderEvent>& out) {
    std::string line;
    line.swap(m_line);
    while (!line.empty() && line.back() == '\r')
        line.pop_back();
    if (line.find('\r') != std::string::npos) {
        Fail("carriage return inside a line", out);
        return;
    }
    if (!m_inBlock) {
        ReaderEvent ev;
        ev.kind = ReaderEvent::Kind::Line;
        ev.text = std::move(line);
        out.push_back(std::move(ev));
        return;
    }
    m_blockBytes += line.size() + 1;
    if (m_blockBytes > kMaxBlockBytes) {
        Fail("block too large", out);
        return;
    }
    // Blank lines between keyword lines carry nothing.
    std::size_t start = 0;
    while (start < line.size() && line[start] == ' ')
        ++start;
    if (start == line.size())
        return;
    if (line[start] != '<') {
        Fail("block line without a keyword", out);
        return;
    }
    const std::size_t close = line.find('>', start);
    if (close == std::string::npos) {
        Fail("unclosed keyword in a block", out);
        return;
    }
    BlockEntry entry;
    entry.keyword = line.substr(start + 1, close - start - 1);
    if (entry.keyword.find('<') != std::string::npos) {
        Fail("malformed keyword in a block", out);
        return;
    }
    std::size_t v = close + 1;
    while (v < line.size() && line[v] == ' ')
        ++v;
    entry.value = line.substr(v);
    if (!m_sawBegin) {
        if (!EqualsNoCase(entry.keyword, "begin")) {
            Fail("block does not start with <begin>", out);
            return;
        }
        m_sawBegin = true;
        return;
    }
    if (EqualsNoCase(entry.keyword, "end")) {
        ReaderEvent ev;
        ev.kind = ReaderEvent::Kind::Block;
        ev.entries.swap(m_entries);
        out.push_back(std::move(ev));
        m_inBlock = false;
        m_blockBytes = 0;
        return;
    }
    if (m_entries.size() >= kMaxBlockLines) {
        Fail("block with too many lines", out);
        return;
    }
    m_entries.push_back(std::move(entry));
}

} // namespace kivra::server
