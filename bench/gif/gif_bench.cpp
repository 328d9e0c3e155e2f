// Decode throughput of the GIF decoder beside giflib, on four made-up files that stand for what a
// chat shows: a 512x512 8-bit picture, a photo-like 800x600 one, an interlaced one and a 20-frame
// animation. Throughput is decoded pixels (bytes of 8-bit output) per second, best of several
// rounds; both decoders read from memory and make every frame.
//
//   build/bin/bench_gif
#include "gifimage.h"
#include "gifwriter.h"

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <functional>

#ifdef KIVRA_HAVE_GIFLIB
#include <gif_lib.h>
#endif

using giftest::Bytes;
using giftest::GifBuilder;

namespace {

struct Sample {
    const char* name;
    Bytes file;
    double pixels; // all frames together
};

// A smooth scene with fine noise, like a scaled-down photo put through a 256-colour palette.
Bytes Photo(int w, int h, unsigned seed) {
    Bytes p(std::size_t(w) * std::size_t(h));
    unsigned r = seed;
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
            r = r * 1103515245u + 12345u;
            const double v = 96 + 60 * std::sin(x * 0.013 + y * 0.007) +
                             40 * std::cos(std::hypot(x - w * 0.6, y - h * 0.3) * 0.02) +
                             double((r >> 16) % 9) - 4;
            p[std::size_t(y) * std::size_t(w) + std::size_t(x)] =
                std::uint8_t(std::clamp(v, 0.0, 255.0));
        }
    return p;
}

// Flat areas, rings and bands, like a drawn picture or an interface shot.
Bytes Drawn(int w, int h) {
    Bytes p(std::size_t(w) * std::size_t(h));
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
            const int ring = int(std::hypot(x - w / 2, y - h / 2)) / 9;
            p[std::size_t(y) * std::size_t(w) + std::size_t(x)] =
                std::uint8_t((ring * 37 + (x / 64) * 11 + (y / 32) * 5) & 0xFF);
        }
    return p;
}

std::vector<Sample> Samples() {
    std::vector<Sample> s;
    s.push_back({"512x512 8-bit", GifBuilder(512, 512).Image(512, 512, Drawn(512, 512)).Finish(),
                 512.0 * 512});
    s.push_back({"800x600 photo-like",
                 GifBuilder(800, 600).Image(800, 600, Photo(800, 600, 1)).Finish(), 800.0 * 600});
    s.push_back(
        {"640x480 interlaced",
         GifBuilder(640, 480).Image(640, 480, Photo(640, 480, 2), {.interlaced = true}).Finish(),
         640.0 * 480});
    GifBuilder anim(160, 120);
    for (int f = 0; f < 20; ++f) {
        anim.Extension(0xF9, {0, 10, 0, 0});
        Bytes frame = Drawn(160, 120);
        for (std::size_t i = 0; i < frame.size(); ++i)
            frame[i] = std::uint8_t(frame[i] + f * 3);
        anim.Image(160, 120, frame);
    }
    s.push_back({"20-frame 160x120 animation", anim.Finish(), 20.0 * 160 * 120});
    return s;
}

// Best time of one call, in seconds, over rounds of at least 0.2 s each.
double BestSeconds(const std::function<bool()>& run) {
    double best = 1e9;
    for (int round = 0; round < 5; ++round) {
        int n = 0;
        const auto start = std::chrono::steady_clock::now();
        double elapsed = 0;
        do {
            if (!run())
                return -1;
            ++n;
            elapsed =
                std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
        } while (elapsed < 0.2);
        best = std::min(best, elapsed / n);
    }
    return best;
}

bool OurDecode(const Bytes& file, Bytes* lastFrame = nullptr) {
    kivra::media::DecodedGif g;
    if (!kivra::media::DecodeGif(file.data(), file.size(), g))
        return false;
    if (lastFrame) {
        lastFrame->clear();
        for (int y = 0; y < g.height; ++y) {
            const auto* row = g.bits.data() + std::size_t(g.height - 1 - y) * std::size_t(g.stride);
            lastFrame->insert(lastFrame->end(), row, row + g.width);
        }
    }
    return true;
}

#ifdef KIVRA_HAVE_GIFLIB
struct Memory {
    const Bytes* data;
    std::size_t at = 0;
};

int ReadMemory(GifFileType* gif, GifByteType* out, int n) {
    auto* m = static_cast<Memory*>(gif->UserData);
    const std::size_t take = std::min<std::size_t>(std::size_t(n), m->data->size() - m->at);
    std::memcpy(out, m->data->data() + m->at, take);
    m->at += take;
    return int(take);
}

bool GiflibDecode(const Bytes& file, Bytes* lastFrame = nullptr) {
    Memory m{&file};
    int error = 0;
    GifFileType* gif = DGifOpen(&m, ReadMemory, &error);
    if (gif == nullptr)
        return false;
    const bool ok = DGifSlurp(gif) == GIF_OK && gif->ImageCount > 0;
    if (ok && lastFrame) {
        const SavedImage& last = gif->SavedImages[gif->ImageCount - 1];
        lastFrame->assign(last.RasterBits,
                          last.RasterBits + std::size_t(last.ImageDesc.Width) *
                                                std::size_t(last.ImageDesc.Height));
    }
    DGifCloseFile(gif, &error);
    return ok;
}
#endif

} // namespace

int main() {
    std::printf("%-28s %10s %12s %12s %8s\n", "file", "bytes", "kivra MB/s", "giflib MB/s",
                "ratio");
    for (const Sample& s : Samples()) {
        Bytes ours;
        if (!OurDecode(s.file, &ours)) {
            std::printf("%-28s decode failed\n", s.name);
            return 1;
        }
        const double mine = s.pixels / BestSeconds([&] { return OurDecode(s.file); }) / 1e6;
#ifdef KIVRA_HAVE_GIFLIB
        Bytes theirs;
        if (!GiflibDecode(s.file, &theirs) || theirs != ours) {
            std::printf("%-28s giflib disagrees about the pixels\n", s.name);
            return 1;
        }
        const double lib = s.pixels / BestSeconds([&] { return GiflibDecode(s.file); }) / 1e6;
        std::printf("%-28s %10zu %12.1f %12.1f %8.2f\n", s.name, s.file.size(), mine, lib,
                    mine / lib);
#else
        std::printf("%-28s %10zu %12.1f %12s %8s\n", s.name, s.file.size(), mine, "-", "-");
#endif
    }
    return 0;
}
