// Base64Decode on any text: what decodes re-encodes to text that decodes the same, and the
// output never exceeds three bytes per four characters plus one.

#include "base64.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string_view>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    const auto decoded = Base64Decode(text);
    if (decoded) {
        if (decoded->size() > size * 3 / 4 + 1)
            std::abort();
        if (Base64Decode(Base64Encode(*decoded)) != decoded)
            std::abort();
        // A form-escaped text never carries the separators of the form.
        const std::string escaped = FormEscape(Base64Encode(*decoded));
        if (escaped.find_first_of("&=+# ") != std::string::npos)
            std::abort();
    }
    if (Base64Decode(Base64Encode(text)) != std::string(text))
        std::abort();
    return 0;
}
