// The GIF decoder: block structure, colour tables and variable-length-code LZW.
//
// The LZW strings are never rebuilt from a chain of prefixes: every string in the table is, by
// construction, a run of pixels already written to the output (the previous code's output plus
// the first pixel of the next one). An entry therefore only records where that run starts and
// how long it is, and emitting a code is one short copy from earlier output. Pixels are decoded
// in stream order into one buffer and then copied row by row into the bitmap.
//
// Only the last image of a file is the result, so an image that another one follows is checked
// (every code read and the table kept, exactly as when decoding) without writing a pixel: a file
// of many large frames costs what its compressed data costs, not what its frames would fill.

#include "gifimage.h"

#include <algorithm>
#include <cstring>
#include <new>

namespace kivra::media {

namespace {

constexpr int kMaxCodes = 4096;
// Slack behind the stream buffer: short strings are copied in whole 16-byte steps.
constexpr std::size_t kSlack = 16;
// The one-pixel strings, in front of the stream buffer.
constexpr std::size_t kRoots = 256;

class ByteReader {
public:
    ByteReader(const std::uint8_t* data, std::size_t size) : m_p(data), m_end(data + size) {}
    bool AtEnd() const { return m_p >= m_end; }
    bool Byte(std::uint8_t& b) {
        if (m_p >= m_end)
            return false;
        b = *m_p++;
        return true;
    }
    bool Word(int& w) {
        if (m_end - m_p < 2)
            return false;
        w = m_p[0] | (m_p[1] << 8);
        m_p += 2;
        return true;
    }
    bool Bytes(std::uint8_t* out, std::size_t n) {
        if (std::size_t(m_end - m_p) < n)
            return false;
        std::memcpy(out, m_p, n);
        m_p += n;
        return true;
    }
    // Skips data sub-blocks up to and including the zero-length one (or the end of the data).
    void SkipSubBlocks() {
        while (m_p < m_end) {
            const std::size_t n = *m_p++;
            if (n == 0)
                return;
            m_p += std::min<std::size_t>(n, std::size_t(m_end - m_p));
        }
    }
    // Appends the data of the sub-blocks to `out`, up to the zero-length block or the end of the
    // data, whichever comes first.
    void GatherSubBlocks(std::vector<std::uint8_t>& out) {
        while (m_p < m_end) {
            const std::size_t n = *m_p++;
            if (n == 0)
                return;
            const std::size_t take = std::min<std::size_t>(n, std::size_t(m_end - m_p));
            out.insert(out.end(), m_p, m_p + take);
            m_p += take;
        }
    }

private:
    const std::uint8_t* m_p;
    const std::uint8_t* m_end;
};

inline std::uint64_t Load64(const std::uint8_t* p) {
    std::uint64_t v;
    std::memcpy(&v, p, 8);
    return v; // little-endian hosts only, as every platform this runs on
}

// Decodes the LZW stream `code` (padded by 8 zero bytes) into `out`: kRoots bytes holding the
// values 0 to 255 (so a one-pixel code is a copy like any other), then room for `cap` pixels and
// kSlack. With `cap` 0 nothing is read or written and `out` may be null. Returns the number of
// pixels written, or -1 on a decode error.
std::int64_t DecodeLzw(const std::uint8_t* code, std::size_t codeBytes, int minCodeSize,
                       std::uint8_t* out, std::size_t cap) {
    const int clear = 1 << minCodeSize;
    const int endCode = clear + 1;
    std::uint32_t start[kMaxCodes];
    std::uint16_t length[kMaxCodes];
    for (int c = 0; c < clear; ++c) {
        start[c] = std::uint32_t(c);
        length[c] = 1;
    }
    const std::uint64_t totalBits = std::uint64_t(codeBytes) * 8;
    const std::size_t end = kRoots + cap;
    std::uint64_t bitPos = 0;
    int width = minCodeSize + 1;
    std::uint32_t mask = (1u << width) - 1;
    int next = clear + 2;
    int prev = -1;
    std::size_t prevStart = 0;
    std::size_t prevLen = 0;
    std::size_t pos = kRoots;
    bool full = cap == 0;

    for (;;) {
        if (bitPos + std::uint64_t(width) > totalBits)
            return -1; // the data ended before the end code
        const int c = int((Load64(code + (bitPos >> 3)) >> (bitPos & 7)) & mask);
        bitPos += std::uint64_t(width);

        if (c == clear) {
            width = minCodeSize + 1;
            mask = (1u << width) - 1;
            next = clear + 2;
            prev = -1;
            continue;
        }
        if (c == endCode)
            break;
        if (c > next || (c == next && prev < 0))
            return -1; // beyond the table, or a string that refers to nothing

        // A code below `next` names a run already in the output; `next` itself is the previous
        // run followed by its own first pixel.
        const bool known = c < next;
        const std::size_t from = known ? start[c] : prevStart;
        const std::size_t curLen = known ? length[c] : prevLen + 1;
        if (!full) {
            const std::uint8_t* src = out + from;
            std::uint8_t* dst = out + pos;
            if (pos + curLen > end) {
                // The image is complete; the rest of the stream is read but not shown.
                std::memcpy(dst, src, end - pos);
                full = true;
            } else {
                // The source run ends at or before the destination, so whole 16-byte steps never
                // read what this copy writes; the slack takes the overshoot.
                if (curLen <= 16) {
                    std::uint8_t tmp[16];
                    std::memcpy(tmp, src, 16);
                    std::memcpy(dst, tmp, 16);
                } else {
                    std::memcpy(dst, src, known ? curLen : prevLen);
                }
                if (!known)
                    dst[prevLen] = src[0];
            }
        }

        if (prev >= 0 && next < kMaxCodes) {
            start[next] = std::uint32_t(prevStart);
            length[next] = std::uint16_t(prevLen + 1);
            ++next;
            if (next == (1 << width) && width < 12) {
                ++width;
                mask = (1u << width) - 1;
            }
        }
        prev = c;
        prevStart = pos;
        prevLen = curLen;
        pos = std::min(pos + curLen, end + 1); // nothing is written past the end
    }
    return std::int64_t(std::min(pos, end) - kRoots);
}

// Where stream row `i` of an image of `height` rows goes, in display order.
struct RowOrder {
    bool interlaced;
    int height;
    int pass = 0;
    int row = 0;
    int Next() {
        if (!interlaced)
            return row < height ? row++ : -1;
        static constexpr int kStart[4] = {0, 4, 2, 1};
        static constexpr int kStep[4] = {8, 8, 4, 2};
        while (pass < 4) {
            if (row < height) {
                const int r = row;
                row += kStep[pass];
                return r;
            }
            if (++pass < 4)
                row = kStart[pass];
        }
        return -1;
    }
};

// One image as read: its descriptor and its code stream (padded by 8 zero bytes).
struct ImageData {
    int width = 0;
    int height = 0;
    bool interlaced = false;
    int minCodeSize = 0;
    std::vector<std::uint8_t> code;
    std::size_t codeBytes = 0;
};

// Reads an image descriptor and its data; the data is checked when the image is made or passed.
bool ReadImage(ByteReader& in, DecodedGif& out, ImageData& image) {
    int left = 0, top = 0, w = 0, h = 0;
    std::uint8_t packed = 0;
    if (!in.Word(left) || !in.Word(top) || !in.Word(w) || !in.Word(h) || !in.Byte(packed))
        return false;
    if (packed & 0x80) {
        const int bits = (packed & 7) + 1;
        if (!in.Bytes(out.table.data(), std::size_t(3) << bits))
            return false;
        out.colourBits = bits;
    }
    std::uint8_t minCodeSize = 0;
    if (!in.Byte(minCodeSize))
        return false;
    // Sizes are bounded before anything is allocated.
    if (w <= 0 || h <= 0 || std::int64_t(w) * h > kMaxGifPixels)
        return false;
    if (minCodeSize < 2 || minCodeSize > 8)
        return false;
    image.width = w;
    image.height = h;
    image.interlaced = (packed & 0x40) != 0;
    image.minCodeSize = minCodeSize;
    image.code.clear();
    in.GatherSubBlocks(image.code);
    image.codeBytes = image.code.size();
    image.code.resize(image.codeBytes + 8, 0);
    return true;
}

// An image that another one follows: only its data's soundness matters.
bool CheckImage(const ImageData& image) {
    return DecodeLzw(image.code.data(), image.codeBytes, image.minCodeSize, nullptr, 0) >= 0;
}

// Decodes the image into the bitmap rows of `out`; false on a decode error.
bool MakeBitmap(const ImageData& image, DecodedGif& out) {
    const int w = image.width;
    const int h = image.height;
    const std::size_t cap = std::size_t(w) * std::size_t(h);
    std::vector<std::uint8_t> buffer(kRoots + cap + kSlack);
    for (std::size_t i = 0; i < kRoots; ++i)
        buffer[i] = std::uint8_t(i);
    const std::int64_t n =
        DecodeLzw(image.code.data(), image.codeBytes, image.minCodeSize, buffer.data(), cap);
    if (n < 0)
        return false;
    const std::uint8_t* stream = buffer.data() + kRoots;
    std::memset(buffer.data() + kRoots + n, 0, cap - std::size_t(n));
    out.width = w;
    out.height = h;
    out.stride = (w + 3) & ~3;
    out.bits.assign(std::size_t(out.stride) * std::size_t(h), 0);
    RowOrder order{image.interlaced, h};
    for (int i = 0; i < h; ++i) {
        const int y = order.Next();
        if (y < 0)
            break;
        std::memcpy(out.bits.data() + std::size_t(h - 1 - y) * std::size_t(out.stride),
                    stream + std::size_t(i) * std::size_t(w), std::size_t(w));
    }
    return true;
}

} // namespace

bool DecodeGif(const std::uint8_t* data, std::size_t size, DecodedGif& out) {
    try {
        ByteReader in(data, size);
        std::uint8_t signature[6];
        int screenW = 0, screenH = 0;
        std::uint8_t packed = 0, background = 0, aspect = 0;
        if (!in.Bytes(signature, 6) || !in.Word(screenW) || !in.Word(screenH) || !in.Byte(packed) ||
            !in.Byte(background) || !in.Byte(aspect))
            return false;
        out = DecodedGif{};
        out.width = screenW;
        out.height = screenH;
        out.colourBits = (packed & 7) + 1;
        if ((packed & 0x80) && !in.Bytes(out.table.data(), std::size_t(3) << out.colourBits))
            return false;

        ImageData image;
        bool haveImage = false;
        for (;;) {
            std::uint8_t b = 0;
            if (!in.Byte(b))
                break;
            if (b == 0x21) {
                std::uint8_t label = 0;
                if (!in.Byte(label))
                    break;
                in.SkipSubBlocks();
            } else if (b == 0x2C) {
                // Each image in turn; the last one is the result.
                if (haveImage && !CheckImage(image))
                    return false;
                if (!ReadImage(in, out, image))
                    return false;
                haveImage = true;
            } else if (b != 0x00) {
                break; // the trailer, or anything else, ends the file
            }
        }
        return haveImage && MakeBitmap(image, out);
    } catch (const std::bad_alloc&) {
        return false;
    }
}

} // namespace kivra::media
