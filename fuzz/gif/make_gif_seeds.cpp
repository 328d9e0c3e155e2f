// Writes the GIF seed corpus: small files that reach every part of the decoder (extensions, local
// tables, interlace, several frames, each code size, a full code table with and without a clear).
#include "gifwriter.h"

#include <cstdio>
#include <filesystem>
#include <fstream>

using namespace giftest;

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: make_gif_seeds FOLDER\n");
        return 2;
    }
    const std::filesystem::path dir = argv[1];
    std::filesystem::create_directories(dir);
    auto pattern = [](int w, int h, int colours) {
        Bytes p(std::size_t(w) * std::size_t(h));
        for (std::size_t i = 0; i < p.size(); ++i)
            p[i] = std::uint8_t((i * 2654435761u >> 11) % std::size_t(colours));
        return p;
    };
    auto write = [&](const char* name, const Bytes& b) {
        std::ofstream(dir / name, std::ios::binary)
            .write(reinterpret_cast<const char*>(b.data()), std::streamsize(b.size()));
    };
    write("plain.gif", GifBuilder(13, 7).Image(13, 7, pattern(13, 7, 256)).Finish());
    write("interlaced.gif",
          GifBuilder(9, 17).Image(9, 17, pattern(9, 17, 16), {.interlaced = true}).Finish());
    write(
        "codesize2.gif",
        GifBuilder(6, 6, GreyTable(2)).Image(6, 6, pattern(6, 6, 4), {.minCodeSize = 2}).Finish());
    write("frames.gif",
          GifBuilder(8, 8)
              .Extension(0xF9, {1, 0, 0, 2})
              .Extension(0xFE, Bytes(40, 'c'))
              .Image(8, 8, pattern(8, 8, 256))
              .Image(3, 5, pattern(3, 5, 4), {.localTable = GreyTable(2), .minCodeSize = 2})
              .Finish());
    write("fulltable.gif",
          GifBuilder(90, 90).Image(90, 90, pattern(90, 90, 256), {.deferClear = true}).Finish());
    write("cleared.gif", GifBuilder(90, 90).Image(90, 90, pattern(90, 90, 256)).Finish());
    return 0;
}
