#pragma once

#include <cstddef>
#include <string>
#include <utility>
#include <vector>

namespace kivra::server {

// One keyword line of a block: "<keyword> value".
struct BlockEntry {
    std::string keyword;
    std::string value;
};

// What the reader made of the bytes it was fed.
struct ReaderEvent {
    enum class Kind { Line, Block, Error };
    Kind kind = Kind::Line;
    std::string text;                // Line: the command line without its line end; Error: why
    std::vector<BlockEntry> entries; // Block: keyword lines between <begin> and <end>
};

// Cuts the client's byte stream into command lines and blocks. Telnet negotiation is consumed,
// lines end in LF or CR LF (the client mixes both), and every limit is enforced here so that a
// bad client can never make the server hold more than a few kilobytes on its behalf. After an
// Error event the reader refuses further input: the connection is to be dropped.
class CCommandReader {
public:
    static constexpr std::size_t kMaxLine = 8192;
    static constexpr std::size_t kMaxBlockLines = 64;
    static constexpr std::size_t kMaxBlockBytes = 16384;

    // Feeds bytes; appends what they completed to `out`.
    void Feed(const char* data, std::size_t length, std::vector<ReaderEvent>& out);
    bool Failed() const { return m_failed; }
    // Bytes held for an unfinished line or block.
    std::size_t Pending() const { return m_line.size() + m_blockBytes; }

private:
    enum class Telnet { None, Iac, Option, Sub, SubIac };

    void TakeLine(std::vector<ReaderEvent>& out);
    void Fail(const std::string& why, std::vector<ReaderEvent>& out);

    std::string m_line;
    Telnet m_telnet = Telnet::None;
    bool m_inBlock = false;
    bool m_sawBegin = false;
    bool m_failed = false;
    std::size_t m_blockBytes = 0;
    std::vector<BlockEntry> m_entries;
};

} // namespace kivra::server
