#pragma once
// CImageFile: the base of the image classes. It holds the file name, the size and depth of the
// picture once made, its colour table and the last error text. The bitmap it makes is a
// device-independent one: 8 bits a pixel, rows bottom-up, each row padded to a multiple of 4.

#include <array>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace kivra::media {

// One colour-table entry of a bitmap header, in its byte order.
struct RgbQuad {
    std::uint8_t blue = 0;
    std::uint8_t green = 0;
    std::uint8_t red = 0;
    std::uint8_t reserved = 0;
};

// One logical-palette entry; the flag 4 (no collapse) keeps each entry its own.
struct PaletteEntry {
    std::uint8_t red = 0;
    std::uint8_t green = 0;
    std::uint8_t blue = 0;
    std::uint8_t flags = 0;
};
struct LogPalette {
    std::uint16_t version = 0x300;
    std::uint16_t count = 256;
    std::array<PaletteEntry, 256> entries{};
};
constexpr std::uint8_t PC_NOCOLLAPSE = 4;

// The bitmap header fields that the views and the cache read.
struct BitmapInfoHeader {
    std::uint32_t size = 40;
    std::int32_t width = 0;
    std::int32_t height = 0; // positive: rows stored bottom-up
    std::uint16_t planes = 1;
    std::uint16_t bitCount = 8;
    std::uint32_t compression = 0;
    std::uint32_t sizeImage = 0;
    std::uint32_t colorsUsed = 256;
};

// A device-independent bitmap section: the header, its 256 colours and the pixel rows.
struct DibSection {
    BitmapInfoHeader header;
    std::array<RgbQuad, 256> colours{};
    int stride = 0;
    std::vector<std::uint8_t> bits;
};

// What the image classes may ask of the display: its colour depth in bits (bits per pixel times
// planes) and a way to warn the user. Without one, no warning is ever given.
struct ImageDisplay {
    int depth = 32;
    std::function<void(const std::string& text, const std::string& title)> warn;
};

class CImageFile {
public:
    explicit CImageFile(std::string fileName);
    virtual ~CImageFile() = default;
    CImageFile(const CImageFile&) = delete;
    CImageFile& operator=(const CImageFile&) = delete;

    // The views draw the pictures themselves; the image classes draw nothing.
    virtual bool Draw(void* /*dc*/, int /*x*/, int /*y*/) { return true; }
    virtual const DibSection* Bitmap() const { return nullptr; }

    int Width() const { return m_nWidth; }
    int Height() const { return m_nHeight; }
    int BitsPerPixel() const { return m_nBitsPerPixel; }
    const RgbQuad* ColourTable() const { return m_pColourTable; }
    bool IsValid() const { return m_bValid; }
    const std::string& ErrorText() const { return m_strError; }
    const std::string& FileName() const { return m_strFileName; }

protected:
    void SetError(const char* format);

    int m_nWidth = 300;
    int m_nHeight = 200;
    int m_nBitsPerPixel = 0;
    const RgbQuad* m_pColourTable = nullptr;
    bool m_bValid = false;
    std::string m_strError = "Unknown or unsupported image format.";
    std::string m_strFileName;
};

} // namespace kivra::media
