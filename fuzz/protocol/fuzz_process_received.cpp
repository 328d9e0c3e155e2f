// Feeds the input to ProcessReceived in chunks the way the session does: the returned tail is
// kept and put in front of the next chunk. The first byte picks the chunk size, so the fuzzer
// also explores how the stream is cut. The carried tail must stay bounded.
#include "fuzzfakes.h"

#include <cstdint>
#include <cstdlib>
#include <string>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < 1)
        return 0;
    const std::size_t chunk = 1 + data[0] % 64;
    const char* bytes = reinterpret_cast<const char*>(data + 1);
    const std::size_t n = size - 1;

    kivra_fuzz::Control control;
    std::string carry;
    for (std::size_t at = 0; at < n; at += chunk) {
        const std::size_t take = n - at < chunk ? n - at : chunk;
        std::string buffer = carry;
        buffer.append(bytes + at, take);
        const int length = static_cast<int>(buffer.size());
        buffer.push_back('\0');
        int incomplete = 0;
        char* rest = control.proto.ProcessReceived(buffer.data(), length, &incomplete);
        if (rest < buffer.data() || rest > buffer.data() + length)
            std::abort();
        if (incomplete)
            carry.assign(rest, buffer.data() + length);
        else
            carry.clear();
        if (carry.size() > CChatProtocol::kMaxCarry + chunk)
            std::abort();
    }
    return 0;
}
