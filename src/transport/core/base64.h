#pragma once
// The tunnel's data coding: Base64 with "=" padding and no line breaks, and the form escaping
// that makes Base64 text safe inside a form-encoded request body.

#include <optional>
#include <string>
#include <string_view>

// Each group of 3 bytes gives 4 characters; a final byte gives 2 and "==", a final pair 3 and "=".
std::string Base64Encode(std::string_view bytes);

// A blank becomes "+"; "%", "#", "&", "=", "+" and byte 127 become "%XX" (upper-case hex); every
// other byte, those above 127 included, is copied.
std::string FormEscape(std::string_view text);

// Decodes in groups of four; "=" in the third or fourth place ends the text (what follows is
// ignored). A character outside the alphabet, or the text ending inside a group, fails: nullopt.
std::optional<std::string> Base64Decode(std::string_view text);
