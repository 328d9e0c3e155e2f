// A tunnel page's answer, read as each of the four exchanges reads it. The first byte picks the
// chunk size of the Read parser so that records crossing chunk edges are reached too.

#include "tunnelanswer.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string_view>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size == 0)
        return 0;
    const std::size_t chunk = 1 + data[0] % 64 * 64;
    const std::string_view body(reinterpret_cast<const char*>(data + 1), size - 1);
    const OpenAnswer open = ParseOpenAnswer(body);
    const TunnelStatus write = ParseWriteAnswer(body);
    const TunnelStatus close = ParseCloseAnswer(body);
    const ReadAnswer read = ParseReadAnswer(body, chunk);
    const ReadAnswer whole = ParseReadAnswer(body);
    for (const int s :
         {static_cast<int>(open.status), static_cast<int>(write), static_cast<int>(close),
          static_cast<int>(read.status), static_cast<int>(whole.status)})
        if (s < TUNNEL_OK || s > TUNNEL_UNKNOWN)
            std::abort();
    // Decoded data never outgrows its text.
    if (read.data && read.data->size() > body.size())
        std::abort();
    if (read.data && !read.hasData)
        std::abort();
    return 0;
}
