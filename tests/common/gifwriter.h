#pragma once
// A small GIF writer for tests, benchmarks and fuzz seeds: real variable-length-code LZW, so the
// files it makes read the same in any decoder, plus the raw pieces (code streams, sub-blocks) that
// the bad-input cases are built from.

#include <algorithm>
#include <cstdint>
#include <string>
#include <vector>

namespace giftest {

using Bytes = std::vector<std::uint8_t>;

// Codes of a given width, least significant bit first, as GIF packs them.
class CodeWriter {
public:
    void Put(int code, int width) {
        m_acc |= std::uint64_t(code) << m_bits;
        m_bits += width;
        while (m_bits >= 8) {
            m_out.push_back(std::uint8_t(m_acc & 0xFF));
            m_acc >>= 8;
            m_bits -= 8;
        }
    }
    Bytes Finish() {
        if (m_bits > 0)
            m_out.push_back(std::uint8_t(m_acc & 0xFF));
        m_acc = 0;
        m_bits = 0;
        return std::move(m_out);
    }

private:
    Bytes m_out;
    std::uint64_t m_acc = 0;
    int m_bits = 0;
};

// LZW-codes `pixels` with a clear code first and the end code last. When the table is full the
// encoder sends a clear, or with `deferClear` goes on with the full table.
inline Bytes LzwEncode(const Bytes& pixels, int minCodeSize, bool deferClear = false) {
    const int clear = 1 << minCodeSize;
    int width = minCodeSize + 1;
    int next = clear + 2;
    // Entries are stamped with a generation, so a clear forgets them without a sweep.
    std::vector<std::uint32_t> dict(4096 * 256, 0);
    std::uint32_t generation = 1;
    CodeWriter w;
    w.Put(clear, width);
    if (!pixels.empty()) {
        int cur = pixels[0];
        for (std::size_t i = 1; i < pixels.size(); ++i) {
            const int k = pixels[i];
            std::uint32_t& slot = dict[std::size_t(cur) * 256 + std::size_t(k)];
            if ((slot >> 16) == generation) {
                cur = int(slot & 0xFFFF);
                continue;
            }
            w.Put(cur, width);
            if (next < 4096) {
                slot = (generation << 16) | std::uint32_t(next++);
                if (next > (1 << width) && width < 12)
                    ++width;
            }
            if (next == 4096 && !deferClear) {
                w.Put(clear, width);
                width = minCodeSize + 1;
                next = clear + 2;
                ++generation;
            }
            cur = k;
        }
        w.Put(cur, width);
        // The reader adds an entry for that last code before it reads the end code.
        if (next < 4096 && ++next > (1 << width) && width < 12)
            ++width;
    }
    w.Put(clear + 1, width);
    return w.Finish();
}

// Data sub-blocks of at most 255 bytes, then the zero-length terminator.
inline Bytes SubBlocks(const Bytes& data) {
    Bytes out;
    for (std::size_t i = 0; i < data.size(); i += 255) {
        const std::size_t n = std::min<std::size_t>(255, data.size() - i);
        out.push_back(std::uint8_t(n));
        out.insert(out.end(), data.begin() + long(i), data.begin() + long(i + n));
    }
    out.push_back(0);
    return out;
}

// A grey ramp of 2^bits entries, or any table given as RGB triples.
inline Bytes GreyTable(int bits) {
    Bytes t;
    const int n = 1 << bits;
    for (int i = 0; i < n; ++i)
        for (int c = 0; c < 3; ++c)
            t.push_back(std::uint8_t(i * 255 / (n > 1 ? n - 1 : 1)));
    return t;
}

struct ImageOptions {
    bool interlaced = false;
    Bytes localTable; // RGB triples, a power of two of them, or empty
    int minCodeSize = 8;
    bool deferClear = false;
};

// Builds a file piece by piece; every piece is appended as given.
class GifBuilder {
public:
    // Header and logical screen; `table` (RGB triples, a power of two of them) is the global
    // colour table, left out when empty.
    GifBuilder(int width, int height, const Bytes& table = GreyTable(8)) {
        m_out = {'G', 'I', 'F', '8', '9', 'a'};
        Word(width);
        Word(height);
        m_out.push_back(table.empty() ? 0 : std::uint8_t(0x80 | (TableBits(table) - 1)));
        m_out.push_back(0);
        m_out.push_back(0);
        Append(table);
    }
    GifBuilder& Extension(std::uint8_t label, const Bytes& data) {
        m_out.push_back(0x21);
        m_out.push_back(label);
        Append(SubBlocks(data));
        return *this;
    }
    // An image descriptor with `pixels` (rows top-down, in display order) coded by LzwEncode.
    GifBuilder& Image(int width, int height, const Bytes& pixels, const ImageOptions& o = {}) {
        Bytes stream = pixels;
        if (o.interlaced) {
            stream.clear();
            static constexpr int kStart[4] = {0, 4, 2, 1};
            static constexpr int kStep[4] = {8, 8, 4, 2};
            for (int pass = 0; pass < 4; ++pass)
                for (int y = kStart[pass]; y < height; y += kStep[pass])
                    stream.insert(stream.end(), pixels.begin() + long(y) * width,
                                  pixels.begin() + long(y + 1) * width);
        }
        Descriptor(width, height, o.interlaced, o.localTable);
        m_out.push_back(std::uint8_t(o.minCodeSize));
        Append(SubBlocks(LzwEncode(stream, o.minCodeSize, o.deferClear)));
        return *this;
    }
    // A descriptor without its data: the caller appends the code size and blocks with Raw.
    GifBuilder& Descriptor(int width, int height, bool interlaced = false,
                           const Bytes& localTable = {}) {
        m_out.push_back(0x2C);
        Word(0);
        Word(0);
        Word(width);
        Word(height);
        std::uint8_t packed = interlaced ? 0x40 : 0;
        if (!localTable.empty())
            packed |= std::uint8_t(0x80 | (TableBits(localTable) - 1));
        m_out.push_back(packed);
        Append(localTable);
        return *this;
    }
    GifBuilder& Raw(const Bytes& bytes) {
        Append(bytes);
        return *this;
    }
    Bytes Finish() {
        m_out.push_back(0x3B);
        return m_out;
    }
    const Bytes& Unfinished() const { return m_out; }

private:
    static int TableBits(const Bytes& table) {
        int bits = 1;
        while ((3u << bits) < table.size())
            ++bits;
        return bits;
    }
    void Word(int v) {
        m_out.push_back(std::uint8_t(v & 0xFF));
        m_out.push_back(std::uint8_t((v >> 8) & 0xFF));
    }
    void Append(const Bytes& b) { m_out.insert(m_out.end(), b.begin(), b.end()); }
    Bytes m_out;
};

} // namespace giftest
