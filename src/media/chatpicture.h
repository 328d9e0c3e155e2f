#pragma once
// A picture as the views take it, and the image cache as the chat stream asks it for pictures.
// Standard library only: the protocol layer names these without knowing how pictures are fetched.

#include <array>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

// A picture as the image cache holds it: 8 bits per pixel, rows top-down, `width` bytes a row,
// with a 256-entry palette of 0x00BBGGRR values. `source` is the address it was fetched from,
// empty for the program's own pictures.
struct ChatPicture {
    int width = 0;
    int height = 0;
    std::vector<std::uint8_t> pixels;
    std::array<std::uint32_t, 256> palette{};
    std::string source;
};

// Told once, on the user-interface thread, how a fetch ended: the picture, or null when none
// came (the download failed or the file was no picture).
class IPictureNotify {
public:
    virtual ~IPictureNotify() = default;
    virtual void PictureArrived(std::shared_ptr<const ChatPicture> picture) = 0;
};

class IImageCache {
public:
    virtual ~IImageCache() = default;
    // The picture kept for `url` (letter case ignored), its last use renewed. When none is kept
    // and `mayFetch` is set, the picture is fetched in the background and `notify` (when given)
    // is told how that ended; the result is then null at once. With `keep` clear a fetched
    // picture goes to `notify` only and is not kept.
    virtual std::shared_ptr<const ChatPicture>
    GetPicture(const std::string& url, bool mayFetch, bool keep,
               std::shared_ptr<IPictureNotify> notify) = 0;
};
