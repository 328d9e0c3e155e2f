#pragma once
// The messages two clients exchange while a file moves between them, byte for byte: a 12-byte
// little-endian head (type, header size 16, payload length L), the payload, then a 4-byte filler
// that the reader skips. A message takes 16 + L bytes on the wire. Also the offer's payload and
// the rules that turn a name from the peer into a name safe to save under.

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace kivra::filexfer {

enum : std::uint32_t {
    XFER_READY = 0x2280,
    XFER_BUSY = 0x2300,
    XFER_OFFER = 0x2440,
    XFER_ACCEPTED = 0x2480,
    XFER_REJECTED = 0x2500,
    XFER_BLOCK = 0x1000,
    XFER_LAST_BLOCK = 0x1004,
    XFER_ACK = 0x2001,
    XFER_COMPLETE = 0x2800,
    XFER_BAD_HEADER = 0x2002,
    XFER_CANCEL = 0x2008,
    XFER_SCRAMBLED = 0x10000000,
};

constexpr std::uint32_t kHeaderSize = 16;
constexpr std::uint32_t kBlockSize = 2032;
// One message, head and filler included, fits the 2048-byte message buffer.
constexpr std::uint32_t kMessageBuffer = 2048;
constexpr std::uint32_t kMaxPayload = kMessageBuffer - kHeaderSize;

// The whole message for `type` with `payload` (at most kMaxPayload bytes), filler zeroed.
std::vector<std::uint8_t> EncodeMessage(std::uint32_t type, const void* payload = nullptr,
                                        std::size_t length = 0);

struct ReadResult {
    enum Status {
        NeedMore,  // fewer than 16 bytes, or the message is not all there yet
        Message,   // a whole message: type, payload at data + 12, `consumed` bytes long
        BadHeader, // the header size field is not 16
        TooLong,   // the payload length does not fit the message buffer
    };
    Status status = NeedMore;
    std::uint32_t type = 0;
    std::uint32_t headerSize = 0;
    std::uint32_t length = 0;
    std::size_t consumed = 0;
};

// Looks at the bytes waiting (`data`, `size`) and reports the first message in them.
ReadResult ReadMessage(const std::uint8_t* data, std::size_t size);

struct Offer {
    std::string fileName;
    std::string userName;
    std::uint32_t fileSize = 0;
    std::uint32_t blockCount = 0;
};

// The offer payload: N, U, size, block count (u32 each), the name's N bytes, the user's U bytes.
std::vector<std::uint8_t> EncodeOffer(const Offer& offer);
// False when the lengths do not add up to the payload's.
bool DecodeOffer(const std::uint8_t* payload, std::size_t length, Offer& offer);

// Blocks of kBlockSize for `size` bytes, the last one short.
constexpr std::uint32_t BlockCount(std::uint64_t size) {
    return static_cast<std::uint32_t>((size + kBlockSize - 1) / kBlockSize);
}

// What follows the last "/" or "\".
std::string_view BaseName(std::string_view path);
// A peer's name made safe to offer in a save dialog: the base name cut to `max` bytes; an empty
// name, ".", ".." or a name holding control characters becomes "received-file".
std::string SafeFileName(std::string_view name, std::size_t max = 127);

inline std::uint32_t GetU32(const std::uint8_t* p) {
    return std::uint32_t(p[0]) | std::uint32_t(p[1]) << 8 | std::uint32_t(p[2]) << 16 |
           std::uint32_t(p[3]) << 24;
}
inline void PutU32(std::uint8_t* p, std::uint32_t v) {
    for (int i = 0; i < 4; ++i)
        p[i] = static_cast<std::uint8_t>(v >> (8 * i));
}

} // namespace kivra::filexfer
