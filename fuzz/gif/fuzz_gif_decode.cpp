// Any bytes through the GIF decoder: it must end in a picture or a decode error, and a picture it
// makes must be as large as its header says and no larger than the decoder allows.
#include "gifimage.h"

#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    kivra::media::DecodedGif gif;
    if (kivra::media::DecodeGif(data, size, gif)) {
        const std::int64_t pixels = std::int64_t(gif.width) * gif.height;
        if (gif.width <= 0 || gif.height <= 0 || pixels > kivra::media::kMaxGifPixels ||
            gif.stride % 4 != 0 || gif.stride < gif.width ||
            gif.bits.size() != std::size_t(gif.stride) * std::size_t(gif.height))
            std::abort();
    }
    return 0;
}
