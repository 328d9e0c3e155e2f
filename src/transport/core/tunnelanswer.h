#pragma once
// The tunnel page's exchanges as bytes: the request body of each command and the parsers of
// the answers. No I/O here: bodies in, results out.

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

// Results of an exchange, in the order of the tunnel's status values.
enum TunnelStatus : int {
    TUNNEL_OK = 0,
    TUNNEL_CONNFAILED = 1,
    TUNNEL_CONNDOWN = 2,
    TUNNEL_CONNREFUSED = 3,
    TUNNEL_UNKNOWN = 4,
};

// "OK", "CONNFAILED", "CONNDOWN", "CONNREFUSED" in any case; anything else is TUNNEL_UNKNOWN.
TunnelStatus TunnelStatusOf(std::string_view word);

// The decimal number at the start of `text` after white space, with an optional sign; parsing
// stops at the first non-digit, no digits gives 0, and a run too long for 32 bits saturates.
int LeadingNumber(std::string_view text);

std::string OpenBody(std::string_view server, unsigned port);
// Encodes `data` and form-escapes the Base64 text.
std::string WriteBody(int connectionId, int nonce, std::string_view data);
std::string ReadBody(int connectionId, int nonce);
std::string CloseBody(int connectionId, int nonce);

struct OpenAnswer {
    TunnelStatus status = TUNNEL_UNKNOWN;
    std::optional<int> connectionId;
    std::optional<int> nonce;
};
// Every line is looked at: Status, ConnectionID and Nonce records; a CR before the LF stays in
// the value.
OpenAnswer ParseOpenAnswer(std::string_view body);
// Only Status records count.
TunnelStatus ParseWriteAnswer(std::string_view body);
// Status records only: a line without "=" ends the reading as it stands, any other key ends it
// with TUNNEL_UNKNOWN.
TunnelStatus ParseCloseAnswer(std::string_view body);

struct ReadAnswer {
    TunnelStatus status = TUNNEL_UNKNOWN;
    bool hasData = false;            // a Data record was seen
    std::optional<std::string> data; // its decoded bytes; nullopt when it did not decode
};
// Read answers are taken in raw chunks of `chunk` bytes; a chunk holding a LF closes the record
// that the chunks so far make up, so everything behind the first LF of that chunk belongs to
// the record's value. Text behind the last such chunk makes no record.
constexpr std::size_t kReadChunk = 4095;
ReadAnswer ParseReadAnswer(std::string_view body, std::size_t chunk = kReadChunk);
