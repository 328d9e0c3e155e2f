#pragma once
// CGifImage: a GIF file (87a or 89a) made into an 8-bit bitmap with its colour table and a
// logical palette. No extension is interpreted (no transparency, no animation timing); of
// several images the last one is the result, at its own size. The decoder is standard library
// only and bounds every size before it allocates.

#include "imagefile.h"

#include <array>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace kivra::media {

// One decoded GIF: the last image's size and pixels as bitmap rows (bottom-up, stride rounded up
// to 4) and the colour table as the file left it (3 bytes an entry).
struct DecodedGif {
    int width = 0;
    int height = 0;
    int stride = 0;
    int colourBits = 0;
    std::vector<std::uint8_t> bits;
    std::array<std::uint8_t, 768> table{};
};

// Largest image accepted, in pixels; anything larger is a decode error, never an allocation.
constexpr std::int64_t kMaxGifPixels = 16LL * 1024 * 1024;
// Largest file read; a GIF of this size would be far beyond any picture a chat shows.
constexpr std::int64_t kMaxGifFileBytes = 64LL * 1024 * 1024;

// Decodes GIF bytes. False on any decode error (then `out` is unspecified).
bool DecodeGif(const std::uint8_t* data, std::size_t size, DecodedGif& out);

class CGifImage : public CImageFile {
public:
    // Loads the file at once; afterwards IsValid() and ErrorText() tell how it went. `display`
    // may be null (no depth check).
    explicit CGifImage(const std::string& fileName, const ImageDisplay* display = nullptr);
    ~CGifImage() override = default;

    const DibSection* Bitmap() const override { return m_pBitmap.get(); }
    // Hands the bitmap over to the caller, which then owns it.
    std::unique_ptr<DibSection> TakeBitmap() { return std::move(m_pBitmap); }
    const LogPalette* Palette() const { return m_pPalette.get(); }
    // Hands the palette over; this object no longer frees it.
    std::unique_ptr<LogPalette> TakePalette();
    bool UsesPalette() const { return m_bUsesPalette; }
    bool OwnsPalette() const { return m_bOwnsPalette; }
    int ImageWidth() const { return m_nImageWidth; }
    int ImageHeight() const { return m_nImageHeight; }

private:
    void Load(const ImageDisplay* display);

    std::unique_ptr<DibSection> m_pBitmap;
    bool m_bUsesPalette = false;
    bool m_bOwnsPalette = false;
    int m_nImageWidth = 0;
    int m_nImageHeight = 0;
    std::unique_ptr<LogPalette> m_pPalette;
};

} // namespace kivra::media
