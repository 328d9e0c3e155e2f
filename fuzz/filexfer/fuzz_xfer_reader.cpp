// A peer's byte stream as the transfer engine reads it: messages cut off one at a time, each
// offer decoded and its name made safe. The first byte picks how many bytes "arrive" at a time,
// so messages that cross arrival edges are reached too.

#include "xfermessage.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <vector>

using namespace kivra::filexfer;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size == 0)
        return 0;
    const std::size_t step = 1 + data[0] % 64;
    std::vector<std::uint8_t> waiting;
    for (std::size_t at = 1; at < size;) {
        const std::size_t n = size - at < step ? size - at : step;
        waiting.insert(waiting.end(), data + at, data + at + n);
        at += n;
        for (;;) {
            const ReadResult r = ReadMessage(waiting.data(), waiting.size());
            if (r.status == ReadResult::BadHeader || r.status == ReadResult::TooLong) {
                if (r.status == ReadResult::TooLong && r.length <= kMaxPayload)
                    std::abort();
                waiting.clear();
                break;
            }
            if (r.status == ReadResult::NeedMore)
                break;
            if (r.consumed != kHeaderSize + r.length || r.consumed > waiting.size() ||
                r.length > kMaxPayload)
                std::abort();
            // What the reader took is what the writer makes of the same type and payload.
            const std::vector<std::uint8_t> again =
                EncodeMessage(r.type, waiting.data() + 12, r.length);
            if (!std::equal(again.begin(), again.begin() + 12 + r.length, waiting.begin()))
                std::abort();
            Offer offer;
            if (r.type == XFER_OFFER && DecodeOffer(waiting.data() + 12, r.length, offer)) {
                if (offer.fileName.size() + offer.userName.size() + 16 != r.length)
                    std::abort();
                const std::string safe = SafeFileName(offer.fileName);
                if (safe.empty() || safe.size() > 127 || safe == "." || safe == ".." ||
                    safe.find_first_of("/\\") != std::string::npos)
                    std::abort();
                for (const char c : safe)
                    if (static_cast<unsigned char>(c) < 0x20 || c == 0x7F)
                        std::abort();
            }
            waiting.erase(waiting.begin(),
                          waiting.begin() + static_cast<std::ptrdiff_t>(r.consumed));
        }
    }
    return 0;
}
