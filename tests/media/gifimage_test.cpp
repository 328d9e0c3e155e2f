// The GIF decoder on files the tests build: the bitmap, the format read or skipped, bad input.

#include "gifimage.h"
#include "gifwriter.h"
#include "tempdir.h"

#include <gtest/gtest.h>

#include <chrono>

using namespace kivra::media;
using giftest::Bytes;
using giftest::GifBuilder;

namespace {

class GifFiles : public testing::Test {
protected:
    std::string Write(const std::string& name, const Bytes& bytes) {
        WriteAll(dir / name, std::string(bytes.begin(), bytes.end()));
        return (dir / name).string();
    }
    TempDir dir;
};

Bytes Pattern(int w, int h, int colours) {
    Bytes p(std::size_t(w) * std::size_t(h));
    for (std::size_t i = 0; i < p.size(); ++i)
        p[i] = std::uint8_t((i * 7 + i / 5) % std::size_t(colours));
    return p;
}

// The picture's rows top to bottom, read from the bottom-up bitmap.
Bytes Rows(const DecodedGif& g) {
    Bytes all;
    for (int y = g.height - 1; y >= 0; --y) {
        const auto* r = g.bits.data() + std::size_t(y) * std::size_t(g.stride);
        all.insert(all.end(), r, r + g.width);
    }
    return all;
}

Bytes Noise(std::size_t n) {
    Bytes p(n);
    for (std::size_t i = 0; i < n; ++i)
        p[i] = std::uint8_t((i * 2654435761u) >> 13);
    return p;
}

// A 4x4 image with code size `size` and `codes` as its data.
Bytes WithData(int size, const Bytes& codes, const Bytes& table = giftest::GreyTable(8)) {
    Bytes data = giftest::SubBlocks(codes);
    data.insert(data.begin(), std::uint8_t(size));
    return GifBuilder(4, 4, table).Descriptor(4, 4).Raw(data).Finish();
}

// Codes of code size 2, 3 bits wide unless said.
Bytes WithCodes(std::initializer_list<std::pair<int, int>> codes) {
    giftest::CodeWriter w;
    for (auto [code, width] : codes)
        w.Put(code, width);
    return WithData(2, w.Finish(), giftest::GreyTable(2));
}

} // namespace

// Padded rows, interlace passes ending mid-pass, the smallest code size, a full code table kept or
// cleared; data that ends early leaves index 0, data past the last pixel is dropped.
TEST(GifDecode, PixelsComeBackRowForRow) {
    struct Case {
        const char* what;
        int w, h;
        Bytes pixels;
        giftest::ImageOptions options;
    };
    const Case cases[] = {
        {"13 wide, stride 16", 13, 7, Pattern(13, 7, 256), {}},
        {"interlaced", 5, 11, Pattern(5, 11, 16), {.interlaced = true}},
        {"code size 2", 9, 4, Pattern(9, 4, 4), {.minCodeSize = 2}},
        {"full table kept", 200, 150, Noise(200 * 150), {.deferClear = true}},
        {"full table cleared", 200, 150, Noise(200 * 150), {}},
        {"data ends early", 4, 2, {5, 6, 7}, {}},
        {"more data than pixels", 2, 2, Pattern(5, 5, 9), {}},
    };
    for (const Case& c : cases) {
        const Bytes file = GifBuilder(c.w, c.h).Image(c.w, c.h, c.pixels, c.options).Finish();
        DecodedGif g;
        ASSERT_TRUE(DecodeGif(file.data(), file.size(), g)) << c.what;
        EXPECT_EQ(g.stride, (c.w + 3) / 4 * 4) << c.what;
        EXPECT_EQ(g.bits.size(), std::size_t(g.stride) * std::size_t(c.h)) << c.what;
        Bytes want = c.pixels;
        want.resize(std::size_t(c.w) * std::size_t(c.h), 0);
        EXPECT_EQ(Rows(g), want) << c.what;
    }
}

// A display of 8 bits is enough; one of fewer is warned and still gets the image.
TEST_F(GifFiles, LoadsIntoAnEightBitBitmapWithItsPalette) {
    Bytes table = giftest::GreyTable(2);
    table[3] = 0xFF, table[4] = 0x10, table[5] = 0x20; // entry 1: red-ish
    const Bytes pixels = Pattern(13, 3, 4);
    const std::string name =
        Write("Upper.GIF", GifBuilder(13, 3, table).Image(13, 3, pixels).Finish());
    std::vector<std::string> warnings;
    ImageDisplay display{8, [&](const std::string& text, const std::string& title) {
                             warnings.push_back(title + ": " + text);
                         }};
    CGifImage image(name, &display);
    ASSERT_TRUE(image.IsValid()) << image.ErrorText();
    const DibSection* dib = image.Bitmap();
    ASSERT_NE(dib, nullptr);
    EXPECT_EQ(std::tie(dib->header.width, dib->header.height), std::make_tuple(13, 3));
    EXPECT_EQ(dib->colours[1].red, 0xFF);
    // The top row is the last in the bitmap.
    EXPECT_TRUE(std::equal(pixels.begin(), pixels.begin() + 13, dib->bits.begin() + 32));
    EXPECT_TRUE(warnings.empty());
    display.depth = 4;
    EXPECT_TRUE(CGifImage(name, &display).IsValid());
    EXPECT_EQ(warnings, std::vector<std::string>{"Image / Display Mismatch: Image requires a 256 "
                                                 "color display to display correctly"});
}

// Extensions are skipped, a local table replaces the global one, the last of several images is
// the result at its own size.
TEST(GifDecode, ExtensionsLocalTablesAndFrames) {
    const Bytes local = {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12};
    const Bytes file = GifBuilder(20, 20)
                           .Extension(0xF9, {0x01, 0, 0, 3}) // transparent index 3: ignored
                           .Extension(0xFE, Bytes(300, 'c'))
                           .Image(20, 20, Pattern(20, 20, 256))
                           .Raw({0x00}) // a stray zero between blocks
                           .Image(3, 2, {0, 1, 2, 3, 2, 1}, {.localTable = local, .minCodeSize = 2})
                           .Finish();
    DecodedGif g;
    ASSERT_TRUE(DecodeGif(file.data(), file.size(), g));
    EXPECT_EQ(std::tie(g.width, g.height), std::make_tuple(3, 2));
    EXPECT_EQ(Rows(g), (Bytes{0, 1, 2, 3, 2, 1}));
    EXPECT_EQ(g.table[9], 10);
    EXPECT_EQ(g.colourBits, 2);
}

TEST(GifDecode, BadInputIsAnErrorNeverACrash) {
    const Bytes good = GifBuilder(4, 4).Image(4, 4, Bytes(16, 1)).Finish();
    const Bytes header = GifBuilder(4, 4, {}).Unfinished();
    const Bytes lzw = giftest::LzwEncode(Bytes(16, 1), 2);
    struct Case {
        const char* what;
        Bytes bytes;
    };
    const Case cases[] = {
        {"width 0", GifBuilder(4, 4).Image(0, 4, Bytes(16, 1)).Finish()},
        {"height 0", GifBuilder(4, 4).Image(4, 0, Bytes(16, 1)).Finish()},
        {"65535 x 65535", GifBuilder(4, 4).Image(65535, 65535, Bytes(16, 1)).Finish()},
        {"code size 0", WithData(0, lzw)},
        {"code size 1", WithData(1, lzw)},
        {"code size 9", WithData(9, lzw)},
        {"code size 12", WithData(12, lzw)},
        {"first code refers to nothing", WithCodes({{4, 3}, {6, 3}, {5, 3}})},
        {"code beyond the table", WithCodes({{4, 3}, {1, 3}, {7, 3}, {5, 3}})},
        {"no end code", WithCodes({{4, 3}, {1, 3}, {1, 3}})},
        {"sub-blocks cut by the file's end", Bytes(good.begin(), good.end() - 4)},
        {"only a header", header},
        {"no image at all", GifBuilder(4, 4).Finish()},
        {"global table cut", Bytes(good.begin(), good.begin() + 100)},
        {"local table cut",
         [] {
             Bytes b =
                 GifBuilder(4, 4, {}).Descriptor(1, 1, false, giftest::GreyTable(4)).Unfinished();
             b.resize(b.size() - 5);
             return b;
         }()},
        {"no code size", GifBuilder(4, 4).Descriptor(4, 4).Unfinished()},
        {"not a GIF at all", Bytes{'<', 'h', 't', 'm', 'l', '>', 'n', 'o', 'p', 'e', 0, 0, 0}},
        {"nothing", {}},
    };
    for (const Case& c : cases) {
        DecodedGif g;
        EXPECT_FALSE(DecodeGif(c.bytes.data(), c.bytes.size(), g)) << c.what;
    }
    DecodedGif g;
    EXPECT_TRUE(DecodeGif(good.data(), good.size(), g))
        << "the cases above differ from a good file only where named";
}

// Only a ".gif" name is opened; a file that is missing, not a GIF, or too big to be one (refused
// by its size unread: a sparse gigabyte costs no disk) gives no bitmap.
TEST_F(GifFiles, OnlyGifFilesOfASaneSizeOpen) {
    const Bytes gif = GifBuilder(2, 2).Image(2, 2, {1, 2, 3, 4}).Finish();
    const std::string huge = Write("huge.gif", gif);
    std::filesystem::resize_file(huge, 1ull << 30);
    const auto start = std::chrono::steady_clock::now();
    for (const std::string& name :
         {Write("picture.png", gif), Write("a.gifx", gif), (dir / "missing.gif").string(),
          Write("page.gif", Bytes{'<', 'h', 't', 'm', 'l', '>'}), huge}) {
        const CGifImage image(name);
        EXPECT_TRUE(!image.IsValid() && image.Bitmap() == nullptr) << name;
    }
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(5));
    EXPECT_TRUE(CGifImage(Write("good.gif", gif)).IsValid()) << "the files above differ only so";
}
