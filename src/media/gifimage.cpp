#include "gifimage.h"

#include <cstdio>
#include <filesystem>
#include <new>

namespace kivra::media {

namespace fs = std::filesystem;

CImageFile::CImageFile(std::string fileName) : m_strFileName(std::move(fileName)) {
    // The name is kept as the platform's path limit allows.
    if (m_strFileName.size() > 259)
        m_strFileName.resize(259);
}

void CImageFile::SetError(const char* format) {
    char text[256];
    std::snprintf(text, sizeof text, format, m_strFileName.c_str());
    m_strError = text;
}

CGifImage::CGifImage(const std::string& fileName, const ImageDisplay* display)
    : CImageFile(fileName) {
    Load(display);
}

std::unique_ptr<LogPalette> CGifImage::TakePalette() {
    m_bOwnsPalette = false;
    return std::move(m_pPalette);
}

namespace {

bool HasGifExtension(const std::string& name) {
    const auto dot = name.rfind('.');
    if (dot == std::string::npos || name.size() - dot != 4)
        return false;
    const char* want = ".gif";
    for (std::size_t i = 0; i < 4; ++i) {
        char c = name[dot + i];
        if (c >= 'A' && c <= 'Z')
            c = char(c - 'A' + 'a');
        if (c != want[i])
            return false;
    }
    return true;
}

// The whole file, or false when it cannot be read or is larger than any picture can be.
bool ReadFile(std::FILE* f, std::vector<std::uint8_t>& data) {
    std::uint8_t chunk[65536];
    for (;;) {
        const std::size_t n = std::fread(chunk, 1, sizeof chunk, f);
        if (n == 0)
            return !std::ferror(f);
        if (std::int64_t(data.size() + n) > kMaxGifFileBytes)
            return false;
        data.insert(data.end(), chunk, chunk + n);
    }
}

} // namespace

void CGifImage::Load(const ImageDisplay* display) {
    if (!HasGifExtension(m_strFileName))
        return;
    std::error_code ec;
    if (!fs::exists(m_strFileName, ec)) {
        SetError("Could not locate file '%s'");
        return;
    }
    std::FILE* f = std::fopen(m_strFileName.c_str(), "rb");
    if (f == nullptr) {
        SetError("Could not open file '%s'");
        return;
    }
    DecodedGif gif;
    bool ok = false;
    try {
        std::vector<std::uint8_t> data;
        ok = ReadFile(f, data) && DecodeGif(data.data(), data.size(), gif);
    } catch (const std::bad_alloc&) {
        ok = false;
    }
    std::fclose(f);
    if (!ok) {
        SetError("Error reading image file '%s'");
        return;
    }

    std::unique_ptr<DibSection> dib;
    try {
        dib = std::make_unique<DibSection>();
    } catch (const std::bad_alloc&) {
        SetError("Could not allocate space for image. Out of memory");
        return;
    }
    BitmapInfoHeader& h = dib->header;
    h.width = gif.width;
    h.height = gif.height;
    h.sizeImage = std::uint32_t(gif.stride) * std::uint32_t(gif.height);
    for (std::size_t i = 0; i < 256; ++i) {
        dib->colours[i].red = gif.table[3 * i];
        dib->colours[i].green = gif.table[3 * i + 1];
        dib->colours[i].blue = gif.table[3 * i + 2];
    }
    m_nWidth = m_nImageWidth = gif.width;
    m_nHeight = m_nImageHeight = gif.height;
    m_nBitsPerPixel = 8;

    if (display != nullptr && display->depth < 8 && display->warn)
        display->warn("Image requires a 256 color display to display correctly",
                      "Image / Display Mismatch");

    m_pPalette = std::make_unique<LogPalette>();
    for (std::size_t i = 0; i < 256; ++i)
        m_pPalette->entries[i] = {dib->colours[i].red, dib->colours[i].green, dib->colours[i].blue,
                                  PC_NOCOLLAPSE};
    m_bUsesPalette = true;
    m_bOwnsPalette = true;

    // The decoded rows are the bitmap's rows already: they move in, nothing is copied.
    dib->stride = gif.stride;
    dib->bits = std::move(gif.bits);
    m_pBitmap = std::move(dib);
    m_pColourTable = m_pBitmap->colours.data();
    m_bValid = true;
}

} // namespace kivra::media
