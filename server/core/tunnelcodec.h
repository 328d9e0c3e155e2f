#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace kivra::server {

std::string Base64Encode(std::string_view bytes);
// Strict decoding with "=" padding; nullopt on any character outside the alphabet or a length
// that is not a multiple of four.
std::optional<std::string> Base64Decode(std::string_view text);

// application/x-www-form-urlencoded: "&"-separated key=value pairs, "+" for blank, %XX escapes.
// Keys keep their case; a malformed escape is kept as it is.
std::vector<std::pair<std::string, std::string>> FormDecode(std::string_view body);
// The value of the first key equal to `key` (case-insensitive), or nullopt.
std::optional<std::string> FormValue(const std::vector<std::pair<std::string, std::string>>& form,
                                     std::string_view key);

// Parses a decimal number of a tunnel form field; nullopt unless the whole text is digits
// (an optional leading "-") that fit in 32 bits.
std::optional<long> ParseNumber(std::string_view text);

} // namespace kivra::server
