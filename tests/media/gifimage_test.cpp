// The GIF decoder on files the tests build: the layout of the bitmap, the parts of the format
// that are read or skipped, and every known bad input ending as a decode error.

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

// Row y of the picture, read from the bottom-up bitmap.
Bytes Row(const DecodedGif& g, int y) {
    const auto* r = g.bits.data() + std::size_t(g.height - 1 - y) * std::size_t(g.stride);
    return Bytes(r, r + g.width);
}

Bytes Rows(const DecodedGif& g) {
    Bytes all;
    for (int y = 0; y < g.height; ++y) {
        const Bytes r = Row(g, y);
        all.insert(all.end(), r.begin(), r.end());
    }
    return all;
}

bool Decode(const Bytes& b, DecodedGif& g) {
    return DecodeGif(b.data(), b.size(), g);
}

} // namespace

// The shapes that stress the row layout and the code table: a width that needs padding, the
// interlace passes with a height that ends mid-pass, the smallest code size, and a table that
// fills to 4096 entries and goes on without a clear.
TEST(GifDecode, PixelsComeBackRowForRow) {
    struct Case {
        const char* what;
        int w, h, colours;
        giftest::ImageOptions options;
    };
    const Case cases[] = {
        {"13 wide, stride 16", 13, 7, 256, {}},
        {"interlaced", 5, 11, 16, {.interlaced = true}},
        {"code size 2", 9, 4, 4, {.minCodeSize = 2}},
        {"full table kept", 200, 150, 256, {.deferClear = true}},
        {"full table cleared", 200, 150, 256, {}},
    };
    for (const Case& c : cases) {
        Bytes pixels = Pattern(c.w, c.h, c.colours);
        if (c.w == 200) // noise, so that the table fills many times over
            for (std::size_t i = 0; i < pixels.size(); ++i)
                pixels[i] = std::uint8_t((i * 2654435761u) >> 13);
        const Bytes file = GifBuilder(c.w, c.h).Image(c.w, c.h, pixels, c.options).Finish();
        DecodedGif g;
        ASSERT_TRUE(Decode(file, g)) << c.what;
        EXPECT_EQ(g.stride, (c.w + 3) / 4 * 4) << c.what;
        EXPECT_EQ(g.bits.size(), std::size_t(g.stride) * std::size_t(c.h)) << c.what;
        EXPECT_EQ(Rows(g), pixels) << c.what;
    }
}

TEST_F(GifFiles, LoadsIntoAnEightBitBitmapWithItsPalette) {
    Bytes table = giftest::GreyTable(2);
    table[3] = 0xFF, table[4] = 0x10, table[5] = 0x20; // entry 1: red-ish
    const Bytes pixels = Pattern(13, 3, 4);
    const std::string name =
        Write("Upper.GIF", GifBuilder(13, 3, table).Image(13, 3, pixels).Finish());
    CGifImage image(name);
    ASSERT_TRUE(image.IsValid()) << image.ErrorText();
    const DibSection* dib = image.Bitmap();
    ASSERT_NE(dib, nullptr);
    EXPECT_EQ(image.Width(), 13);
    EXPECT_EQ(image.ImageHeight(), 3);
    EXPECT_EQ(image.BitsPerPixel(), 8);
    EXPECT_EQ(dib->header.height, 3); // positive: bottom-up
    EXPECT_EQ(dib->header.sizeImage, 16u * 3u);
    EXPECT_EQ(dib->colours[1].red, 0xFF);
    EXPECT_EQ(dib->colours[1].blue, 0x20);
    // The top row is the last in the bitmap.
    EXPECT_TRUE(std::equal(pixels.begin(), pixels.begin() + 13, dib->bits.begin() + 32));
    ASSERT_NE(image.Palette(), nullptr);
    EXPECT_EQ(image.Palette()->version, 0x300);
    EXPECT_EQ(image.Palette()->entries[1].red, 0xFF);
    EXPECT_EQ(image.Palette()->entries[1].flags, PC_NOCOLLAPSE);
    EXPECT_TRUE(image.OwnsPalette());
    EXPECT_NE(image.TakePalette(), nullptr);
    EXPECT_FALSE(image.OwnsPalette());
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
    ASSERT_TRUE(Decode(file, g));
    EXPECT_EQ(g.width, 3);
    EXPECT_EQ(g.height, 2);
    EXPECT_EQ(Rows(g), (Bytes{0, 1, 2, 3, 2, 1}));
    EXPECT_EQ(g.table[9], 10);
    EXPECT_EQ(g.colourBits, 2);
}

// Data that ends early leaves the rest of the picture at index 0; more data than pixels is
// dropped. Neither is an error as long as the end code comes.
TEST(GifDecode, ShortAndLongDataFitTheImage) {
    DecodedGif g;
    ASSERT_TRUE(Decode(GifBuilder(4, 2).Image(4, 2, {5, 6, 7}).Finish(), g));
    EXPECT_EQ(Rows(g), (Bytes{5, 6, 7, 0, 0, 0, 0, 0}));
    const Bytes more = Pattern(5, 5, 9);
    ASSERT_TRUE(Decode(GifBuilder(2, 2).Image(2, 2, more).Finish(), g));
    EXPECT_EQ(Rows(g), Bytes(more.begin(), more.begin() + 4));
}

namespace {

// A descriptor for a 4x4 image with code size 2 and the given codes (3 bits wide unless said).
Bytes WithCodes(std::initializer_list<std::pair<int, int>> codes) {
    giftest::CodeWriter w;
    for (auto [code, width] : codes)
        w.Put(code, width);
    Bytes data = {2};
    const Bytes blocks = giftest::SubBlocks(w.Finish());
    data.insert(data.end(), blocks.begin(), blocks.end());
    return GifBuilder(4, 4, giftest::GreyTable(2)).Descriptor(4, 4).Raw(data).Finish();
}

Bytes WithSize(int w, int h) {
    return GifBuilder(4, 4).Image(w, h, Bytes(16, 1)).Finish();
}

Bytes WithCodeSize(int size) {
    Bytes file = GifBuilder(4, 4).Descriptor(4, 4).Unfinished();
    file.push_back(std::uint8_t(size));
    const Bytes blocks = giftest::SubBlocks(giftest::LzwEncode(Bytes(16, 1), 2));
    file.insert(file.end(), blocks.begin(), blocks.end());
    file.push_back(0x3B);
    return file;
}

} // namespace

TEST(GifDecode, BadInputIsAnErrorNeverACrash) {
    const Bytes good = GifBuilder(4, 4).Image(4, 4, Bytes(16, 1)).Finish();
    const Bytes header = GifBuilder(4, 4, {}).Unfinished();
    struct Case {
        const char* what;
        Bytes bytes;
    };
    const Case cases[] = {
        {"width 0", WithSize(0, 4)},
        {"height 0", WithSize(4, 0)},
        {"65535 x 65535", WithSize(65535, 65535)},
        {"code size 0", WithCodeSize(0)},
        {"code size 1", WithCodeSize(1)},
        {"code size 9", WithCodeSize(9)},
        {"code size 12", WithCodeSize(12)},
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
        EXPECT_FALSE(Decode(c.bytes, g)) << c.what;
    }
    DecodedGif g;
    EXPECT_TRUE(Decode(good, g)) << "the cases above differ from a good file only where named";
}

TEST_F(GifFiles, ErrorTextsSayWhatWentWrong) {
    const Bytes gif = GifBuilder(2, 2).Image(2, 2, {1, 2, 3, 4}).Finish();
    // A GIF under another name is not opened at all.
    EXPECT_EQ(CGifImage(Write("picture.png", gif)).ErrorText(),
              "Unknown or unsupported image format.");
    EXPECT_EQ(CGifImage((dir / "a.gifx").string()).ErrorText(),
              "Unknown or unsupported image format.");
    const std::string missing = (dir / "missing.gif").string();
    EXPECT_EQ(CGifImage(missing).ErrorText(), "Could not locate file '" + missing + "'");
    const std::string text = Write("page.gif", Bytes{'<', 'h', 't', 'm', 'l', '>'});
    CGifImage notGif(text);
    EXPECT_FALSE(notGif.IsValid());
    EXPECT_EQ(notGif.ErrorText(), "Error reading image file '" + text + "'");
    EXPECT_EQ(notGif.Width(), 300); // the sizes of no image
    EXPECT_EQ(notGif.Height(), 200);
    EXPECT_EQ(notGif.Bitmap(), nullptr);

    // A huge file is refused by its size without being read: a sparse gigabyte costs no disk.
    const std::string name = Write("huge.gif", gif);
    std::filesystem::resize_file(name, 1ull << 30);
    const auto start = std::chrono::steady_clock::now();
    CGifImage image(name);
    EXPECT_EQ(image.ErrorText(), "Error reading image file '" + name + "'");
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(5));
}

TEST_F(GifFiles, LowColourDisplayIsWarnedAndStillGetsTheImage) {
    const std::string name = Write("a.gif", GifBuilder(2, 2).Image(2, 2, {1, 2, 3, 4}).Finish());
    std::vector<std::string> warnings;
    ImageDisplay display{4, [&](const std::string& text, const std::string& title) {
                             warnings.push_back(title + ": " + text);
                         }};
    CGifImage low(name, &display);
    EXPECT_TRUE(low.IsValid());
    ASSERT_EQ(warnings.size(), 1u);
    EXPECT_EQ(warnings[0],
              "Image / Display Mismatch: Image requires a 256 color display to display correctly");
    display.depth = 8;
    CGifImage enough(name, &display);
    EXPECT_EQ(warnings.size(), 1u);
}
