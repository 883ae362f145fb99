// TBitmap: every header variant, depth and encoding against ImageMagick's own files and
// decoding, then the hand-made corners (run-length escapes, bit fields, top-down rows,
// palette faults) and the files it must refuse.
#include <gtest/gtest.h>

#include "formats/ImageTestSupport.h"
#include "formats/Bitmap.h"

namespace {

using orvtest::TBytes;

struct TBMPLayout {
    uint32_t HeaderSize = 40;
    int32_t Width = 1;
    int32_t Height = 1;
    uint32_t BitsPerPixel = 24;
    uint32_t Compression = 0;
    std::vector<uint32_t> Palette = {};   // 0x00RRGGBB entries
    std::vector<uint32_t> Masks = {};     // after a 40-byte header, or inside a longer one
    uint32_t ColorsUsed = 0;
    bool ZeroDataOffset = false;
};

std::vector<uint8_t> BMPFile(const TBMPLayout& s, std::span<const uint8_t> data)
{
    const bool core = s.HeaderSize == 12;
    const size_t masksAfterHeader = s.HeaderSize == 40 ? s.Masks.size() * 4 : 0;
    const size_t paletteBytes = s.Palette.size() * (core ? 3 : 4);
    const uint32_t dataOffset = static_cast<uint32_t>(14 + s.HeaderSize + masksAfterHeader + paletteBytes);
    TBytes b;
    b.U8('B').U8('M').U32(uint32_t(dataOffset + data.size())).U32(0).U32(s.ZeroDataOffset ? 0 : dataOffset);
    b.U32(s.HeaderSize);
    if (core) {
        b.U16(uint32_t(s.Width)).U16(uint32_t(s.Height)).U16(1).U16(s.BitsPerPixel);
    } else {
        b.U32(uint32_t(s.Width)).U32(uint32_t(s.Height)).U16(1).U16(s.BitsPerPixel).U32(s.Compression);
        b.U32(uint32_t(data.size())).U32(2835).U32(2835).U32(s.ColorsUsed).U32(0);
        if (s.HeaderSize > 40) {
            for (size_t i = 0; i < 4; ++i)
                b.U32(i < s.Masks.size() ? s.Masks[i] : 0);
            b.Fill(s.HeaderSize - 56);
        }
        if (s.HeaderSize == 40)
            for (uint32_t m : s.Masks)
                b.U32(m);
    }
    for (uint32_t c : s.Palette) {
        b.U8(c).U8(c >> 8).U8(c >> 16);
        if (!core)
            b.U8(0);
    }
    b.Raw(data);
    return b.Data();
}

orv::TBitmap Load(const std::vector<uint8_t>& file)
{
    orv::TBitmap bitmap;
    auto stream = orvtest::MemoryStream(file);
    bitmap.LoadFromStream(*stream);
    return bitmap;
}

std::string LoadError(const std::vector<uint8_t>& file)
{
    try {
        Load(file);
    } catch (const orv::EFormatError& e) {   // EBitmapError, EImageTooLarge
        return e.what();
    }
    return "";
}

// The output pixel (x, y) counted from the top, as 0xRRGGBB.
uint32_t At(const orv::TBitmap& bitmap, int x, int yFromTop)
{
    const uint8_t* p = bitmap.Pixels() + size_t(bitmap.Height() - 1 - yFromTop) * bitmap.RowBytes() + x * 3;
    return uint32_t(p[2]) << 16 | uint32_t(p[1]) << 8 | p[0];
}

// Each row of the 24-bit output padded to a multiple of 4 bytes, bottom row first.
void ExpectLayout(const orv::TBitmap& bitmap)
{
    EXPECT_EQ(bitmap.RowBytes() % 4, 0);
    EXPECT_GE(bitmap.RowBytes(), bitmap.Width() * 3);
    EXPECT_EQ(bitmap.PixelBytes().size(), size_t(bitmap.RowBytes()) * bitmap.Height());
}

// --- ImageMagick ----------------------------------------------------------------------

struct TMagickCase {
    const char* Name;
    std::vector<std::string> Options;
    const char* Format;   // BMP3: info header, BMP2: core header, BMP: V5 header
    uint32_t HeaderSize, BitsPerPixel, Compression;
    int Channels = 3;
};

TEST(BitmapVsImageMagick, EveryVariantMatchesImageMagickDecoding)
{
    SKIP_WITHOUT_IMAGEMAGICK();
    orvtest::TScratchDir dir;
    const int width = 37, height = 23;   // odd: every row needs padding
    orvtest::WriteNetpbm(dir.File("source.ppm"), orvtest::TestPicture(width, height, 3));
    orvtest::WriteNetpbm(dir.File("source.pam"), orvtest::TestPicture(width, height, 4));
    const std::vector<TMagickCase> cases{
        {"1-bit", {"-monochrome"}, "BMP3", 40, 1, 0},
        {"4-bit", {"-type", "palette", "-colors", "16", "-compress", "None"}, "BMP3", 40, 4, 0},
        {"8-bit", {"-type", "palette", "-colors", "200", "-compress", "None"}, "BMP3", 40, 8, 0},
        {"8-bit RLE", {"-type", "palette", "-colors", "200", "-compress", "RLE"}, "BMP3", 40, 8, 1},
        {"24-bit", {}, "BMP3", 40, 24, 0},
        {"24-bit core", {}, "BMP2", 12, 24, 0},
        {"8-bit core", {"-type", "palette", "-colors", "100"}, "BMP2", 12, 8, 0},
        {"24-bit V5", {}, "BMP", 124, 24, 0},
        {"32-bit V5 bit fields", {}, "BMP", 124, 32, 3, 4},
        {"16-bit 5-6-5", {"-define", "bmp:subtype=RGB565"}, "BMP", 124, 16, 3},
        {"16-bit 5-5-5", {"-define", "bmp:subtype=RGB555"}, "BMP", 124, 16, 3},
    };
    for (const TMagickCase& c : cases) {
        SCOPED_TRACE(c.Name);
        const std::string bmp = dir.File(std::string(c.Name) + ".bmp");
        std::vector<std::string> arguments{dir.File(c.Channels == 4 ? "source.pam" : "source.ppm")};
        arguments.insert(arguments.end(), c.Options.begin(), c.Options.end());
        arguments.push_back(std::string(c.Format) + ":" + bmp);
        ASSERT_TRUE(orvtest::RunConvert(arguments));

        const auto file = orvtest::ReadBytes(bmp);
        ASSERT_EQ(orvtest::GetU32(file, 14), c.HeaderSize) << "ImageMagick wrote another header";
        const auto bitmap = Load(file);
        EXPECT_EQ(bitmap.HeaderSize(), int(c.HeaderSize));
        EXPECT_EQ(bitmap.BitsPerPixel(), int(c.BitsPerPixel));
        EXPECT_EQ(bitmap.Compression(), int(c.Compression));
        ASSERT_EQ(bitmap.Width(), width);
        ASSERT_EQ(bitmap.Height(), height);
        ExpectLayout(bitmap);
        const auto ours = orvtest::TopFirstRGB(bitmap.Pixels(), width, height, bitmap.RowBytes());
        std::vector<std::string> flatten;
        if (c.Channels == 4)   // compare colours only: alpha is dropped in the 24-bit output
            flatten = {"-alpha", "off"};
        EXPECT_EQ(orvtest::MaxDifference(ours, orvtest::DecodeWithImageMagick(bmp, 3, flatten)), 0);
    }
}

// A top-down file made from ImageMagick's bottom-up one by negating the height and
// turning the rows over decodes to the same picture; ImageMagick agrees.
TEST(BitmapVsImageMagick, TopDownRowsFromAFlippedHeader)
{
    SKIP_WITHOUT_IMAGEMAGICK();
    orvtest::TScratchDir dir;
    const int width = 37, height = 23;
    orvtest::WriteNetpbm(dir.File("source.ppm"), orvtest::TestPicture(width, height, 3));
    for (const char* depth : {"24", "8"}) {
        SCOPED_TRACE(depth);
        const std::string bmp = dir.File(std::string("bottomup") + depth + ".bmp");
        std::vector<std::string> arguments{dir.File("source.ppm")};
        if (std::string(depth) == "8")
            arguments.insert(arguments.end(), {"-type", "palette", "-colors", "50", "-compress", "None"});
        arguments.push_back("BMP3:" + bmp);
        ASSERT_TRUE(orvtest::RunConvert(arguments));
        const auto bottomUp = orvtest::ReadBytes(bmp);
        const uint32_t offset = orvtest::GetU32(bottomUp, 10);
        const size_t stride = (size_t(width) * std::stoi(depth) + 31) / 32 * 4;
        std::vector<uint8_t> topDown(bottomUp.begin(), bottomUp.begin() + offset);
        orvtest::PutU32(topDown, 22, uint32_t(-height));
        for (int row = height - 1; row >= 0; --row)
            topDown.insert(topDown.end(), bottomUp.begin() + offset + row * stride,
                           bottomUp.begin() + offset + (row + 1) * stride);
        const std::string flipped = dir.File(std::string("topdown") + depth + ".bmp");
        orvtest::WriteBytes(flipped, topDown);

        const auto a = Load(bottomUp);
        const auto b = Load(topDown);
        EXPECT_FALSE(a.TopDown());
        EXPECT_TRUE(b.TopDown());
        EXPECT_EQ(b.Height(), height);
        EXPECT_EQ(a.PixelBytes(), b.PixelBytes());
        EXPECT_EQ(orvtest::TopFirstRGB(b.Pixels(), width, height, b.RowBytes()),
                  orvtest::DecodeWithImageMagick(flipped, 3));
    }
}

// --- Hand-made files ------------------------------------------------------------------

TEST(Bitmap, IndexedDepthsReadBitsFromTheTop)
{
    // 1 bit: 10 pixels, the bit pattern 1011001110 over two bytes.
    const auto one = Load(BMPFile({.Width = 10, .BitsPerPixel = 1, .Palette = {0x000000, 0xFFFFFF}},
                                  std::vector<uint8_t>{0xB3, 0x80, 0, 0}));
    const std::string pattern = "1011001110";
    for (int x = 0; x < 10; ++x)
        EXPECT_EQ(At(one, x, 0), pattern[x] == '1' ? 0xFFFFFFu : 0u) << x;
    // 4 bits: high nibble first.
    const auto four = Load(BMPFile({.Width = 3, .BitsPerPixel = 4, .Palette = {0x111111, 0x222222, 0x333333}},
                                   std::vector<uint8_t>{0x21, 0x00, 0, 0}));
    EXPECT_EQ(At(four, 0, 0), 0x333333u);
    EXPECT_EQ(At(four, 1, 0), 0x222222u);
    EXPECT_EQ(At(four, 2, 0), 0x111111u);
}

TEST(Bitmap, PaletteFaultsGiveBlackNotAnOverrun)
{
    // Two colours given, index 200 used; colours-used larger than the depth allows.
    const auto bitmap = Load(BMPFile({.Width = 2, .BitsPerPixel = 8, .Palette = {0xFF0000, 0x00FF00}, .ColorsUsed = 2},
                                     std::vector<uint8_t>{1, 200, 0, 0}));
    EXPECT_EQ(At(bitmap, 0, 0), 0x00FF00u);
    EXPECT_EQ(At(bitmap, 1, 0), 0u);
    const auto tooMany = Load(BMPFile({.Width = 1, .BitsPerPixel = 1, .Palette = {0x123456, 0x654321}, .ColorsUsed = 9999},
                                      std::vector<uint8_t>{0x80, 0, 0, 0}));
    EXPECT_EQ(At(tooMany, 0, 0), 0x654321u);
}

TEST(Bitmap, CoreHeaderPaletteHasThreeByteEntries)
{
    const auto bitmap = Load(BMPFile({.HeaderSize = 12, .Width = 2, .Height = 2, .BitsPerPixel = 1,
                                      .Palette = {0xABCDEF, 0x102030}},
                                     std::vector<uint8_t>{0x40, 0, 0, 0, 0x80, 0, 0, 0}));
    // Bottom row stored first: bottom = (0, 1), top = (1, 0).
    EXPECT_EQ(At(bitmap, 0, 1), 0xABCDEFu);
    EXPECT_EQ(At(bitmap, 1, 1), 0x102030u);
    EXPECT_EQ(At(bitmap, 0, 0), 0x102030u);
    EXPECT_EQ(At(bitmap, 1, 0), 0xABCDEFu);
}

TEST(Bitmap, MissingDataOffsetMeansAfterThePalette)
{
    const auto bitmap = Load(BMPFile({.Width = 1, .BitsPerPixel = 8, .Palette = {0x0000FF, 0xFF00FF}, .ColorsUsed = 2,
                                      .ZeroDataOffset = true},
                                     std::vector<uint8_t>{1, 0, 0, 0}));
    EXPECT_EQ(At(bitmap, 0, 0), 0xFF00FFu);
}

TEST(Bitmap, SixteenAndThirtyTwoBitFields)
{
    // 16-bit without masks: 5-5-5.
    const auto rgb555 = Load(BMPFile({.Width = 2, .BitsPerPixel = 16}, std::vector<uint8_t>{0x00, 0x7C, 0xE0, 0x03}));
    EXPECT_EQ(At(rgb555, 0, 0), 0xFF0000u);
    EXPECT_EQ(At(rgb555, 1, 0), 0x00FF00u);
    // 5-6-5 masks after a 40-byte header; short channels scale to full range.
    const auto rgb565 = Load(BMPFile({.Width = 2, .BitsPerPixel = 16, .Compression = 3, .Masks = {0xF800, 0x07E0, 0x001F}},
                                     std::vector<uint8_t>{0xE0, 0x07, 0x10, 0x84}));
    EXPECT_EQ(At(rgb565, 0, 0), 0x00FF00u);
    EXPECT_EQ(At(rgb565, 1, 0), 0x848284u);   // 10000 100000 10000
    // 32-bit with unusual masks inside a 56-byte header: red in the low byte.
    const auto swapped = Load(BMPFile({.HeaderSize = 56, .Width = 1, .BitsPerPixel = 32, .Compression = 3,
                                       .Masks = {0x000000FF, 0x0000FF00, 0x00FF0000, 0xFF000000}},
                                      std::vector<uint8_t>{0x11, 0x22, 0x33, 0x44}));
    EXPECT_EQ(At(swapped, 0, 0), 0x112233u);
    // 32-bit without masks: B, G, R and an ignored fourth byte; alpha bit fields (6) too.
    const auto plain = Load(BMPFile({.Width = 1, .BitsPerPixel = 32}, std::vector<uint8_t>{0x11, 0x22, 0x33, 0x44}));
    EXPECT_EQ(At(plain, 0, 0), 0x332211u);
    const auto alpha = Load(BMPFile({.Width = 1, .BitsPerPixel = 32, .Compression = 6,
                                     .Masks = {0xFF000000, 0x00FF0000, 0x0000FF00, 0x000000FF}},
                                    std::vector<uint8_t>{0x44, 0x33, 0x22, 0x11}));
    EXPECT_EQ(At(alpha, 0, 0), 0x112233u);
    // A zero mask gives a zero channel.
    const auto noBlue = Load(BMPFile({.Width = 1, .BitsPerPixel = 16, .Compression = 3, .Masks = {0x7C00, 0x03E0, 0}},
                                     std::vector<uint8_t>{0xFF, 0x7F, 0, 0}));
    EXPECT_EQ(At(noBlue, 0, 0), 0xFFFF00u);
}

TEST(Bitmap, TopDownAndMissingLastPadding)
{
    // Top-down 24-bit 1 x 2; the file ends without the last row's padding byte.
    const auto bitmap = Load(BMPFile({.Width = 1, .Height = -2}, std::vector<uint8_t>{1, 2, 3, 0, 4, 5, 6}));
    EXPECT_TRUE(bitmap.TopDown());
    EXPECT_EQ(bitmap.Height(), 2);
    EXPECT_EQ(At(bitmap, 0, 0), 0x030201u);
    EXPECT_EQ(At(bitmap, 0, 1), 0x060504u);
    ExpectLayout(bitmap);
}

constexpr uint32_t R = 0xFF0000, G = 0x00FF00, B = 0x0000FF, W = 0xFFFFFF;

TEST(Bitmap, RunLength8Escapes)
{
    // 5 x 4: row 0 (bottom) a run of 3 then an absolute run of 3 with its pad byte (the
    // last pixel past the width is dropped); end of line; row 1 delta (2, 1) to (2, 2);
    // a run of 9 cut at the width; end of bitmap before row 3.
    const std::vector<uint8_t> data{3, 1, 0, 3, 2, 3, 1, 0, 0, 0, 0, 2, 2, 1, 9, 3, 0, 1, 4, 4};
    const auto bitmap = Load(BMPFile({.Width = 5, .Height = 4, .BitsPerPixel = 8, .Compression = 1,
                                      .Palette = {0, R, G, B, W}},
                                     data));
    const uint32_t rows[4][5] = {{0, 0, 0, 0, 0},   // top: never written
                                 {0, 0, B, B, B},
                                 {0, 0, 0, 0, 0},
                                 {R, R, R, G, B}};
    for (int y = 0; y < 4; ++y)
        for (int x = 0; x < 5; ++x)
            EXPECT_EQ(At(bitmap, x, y), rows[y][x]) << x << "," << y;
}

TEST(Bitmap, RunLength4Escapes)
{
    // 4 x 2: run of 3 alternating nibbles (1, 2, 1), absolute run of 3 nibbles
    // (3, 4 | 1) cut at the width, padded to a word; end of line; run of 4 of (4, 3).
    const std::vector<uint8_t> data{3, 0x12, 0, 3, 0x34, 0x10, 0, 0, 4, 0x43, 0, 1};
    const auto bitmap = Load(BMPFile({.Width = 4, .Height = 2, .BitsPerPixel = 4, .Compression = 2,
                                      .Palette = {0, R, G, B, W}},
                                     data));
    const uint32_t rows[2][4] = {{W, B, W, B}, {R, G, R, B}};
    for (int y = 0; y < 2; ++y)
        for (int x = 0; x < 4; ++x)
            EXPECT_EQ(At(bitmap, x, y), rows[y][x]) << x << "," << y;
}

TEST(Bitmap, RunLengthNeverWritesOutsideTheImage)
{
    // A delta past the right edge and a long run after it, then a delta past the top
    // edge: nothing outside the 3 x 2 image is touched (ASan would tell).
    const std::vector<uint8_t> data{0, 2, 200, 0, 255, 1, 0, 0, 0, 2, 0, 200, 255, 1, 0, 9, 1};
    const auto bitmap = Load(BMPFile({.Width = 3, .Height = 2, .BitsPerPixel = 8, .Compression = 1, .Palette = {0, R}},
                                     data));
    ExpectLayout(bitmap);
    for (int y = 0; y < 2; ++y)
        for (int x = 0; x < 3; ++x)
            EXPECT_EQ(At(bitmap, x, y), 0u);
    // Data that stops after one run leaves the rest black.
    const auto shortData = Load(BMPFile({.Width = 3, .Height = 2, .BitsPerPixel = 8, .Compression = 1, .Palette = {0, R}},
                                        std::vector<uint8_t>{2, 1, 0}));
    EXPECT_EQ(At(shortData, 0, 1), R);
    EXPECT_EQ(At(shortData, 1, 1), R);
    EXPECT_EQ(At(shortData, 2, 1), 0u);
    EXPECT_EQ(At(shortData, 0, 0), 0u);
    // An absolute run of 9 with one byte of data left.
    const auto cutAbsolute = Load(BMPFile({.Width = 3, .Height = 2, .BitsPerPixel = 8, .Compression = 1, .Palette = {0, R}},
                                          std::vector<uint8_t>{0, 9, 1}));
    EXPECT_EQ(At(cutAbsolute, 0, 1), R);
    EXPECT_EQ(At(cutAbsolute, 1, 1), 0u);
}

TEST(Bitmap, RefusesWhatItCannotRead)
{
    const std::vector<uint8_t> pixel{1, 2, 3, 0};
    EXPECT_EQ(LoadError({}), "Not a BMP file");
    EXPECT_EQ(LoadError({'B', 'A', 0, 0}), "Not a BMP file");
    auto good = BMPFile({}, pixel);
    EXPECT_EQ(LoadError({good.begin(), good.begin() + 20}), "BMP file is truncated");
    EXPECT_EQ(LoadError({good.begin(), good.begin() + 54 + 2}), "BMP file is truncated");
    EXPECT_EQ(LoadError(BMPFile({.Compression = 4}, pixel)), "Unsupported BMP compression 4 (JPEG)");
    EXPECT_EQ(LoadError(BMPFile({.Compression = 5}, pixel)), "Unsupported BMP compression 5 (PNG)");
    EXPECT_EQ(LoadError(BMPFile({.Compression = 9}, pixel)), "Unsupported BMP compression 9");
    EXPECT_EQ(LoadError(BMPFile({.BitsPerPixel = 2, .Palette = {0, 0, 0, 0}}, pixel)),
              "Unsupported BMP bit depth 2 for BMP compression 0 (RGB)");
    EXPECT_EQ(LoadError(BMPFile({.BitsPerPixel = 4, .Compression = 1}, pixel)),
              "Unsupported BMP bit depth 4 for BMP compression 1 (RLE8)");
    EXPECT_EQ(LoadError(BMPFile({.BitsPerPixel = 24, .Compression = 3}, pixel)),
              "Unsupported BMP bit depth 24 for BMP compression 3 (BITFIELDS)");
    EXPECT_EQ(LoadError(BMPFile({.HeaderSize = 12, .BitsPerPixel = 16}, pixel)),
              "Unsupported BMP bit depth 16 for BMP compression 0 (RGB)");
    EXPECT_EQ(LoadError(BMPFile({.HeaderSize = 64}, pixel)), "Unsupported BMP header size 64");
    EXPECT_EQ(LoadError(BMPFile({.Width = 0}, pixel)), "Invalid BMP dimensions 0x1");
    EXPECT_EQ(LoadError(BMPFile({.Height = 0}, pixel)), "Invalid BMP dimensions 1x0");
    EXPECT_EQ(LoadError(BMPFile({.Width = -5}, pixel)), "Invalid BMP dimensions -5x1");
}

TEST(Bitmap, HugeClaimsFailBeforeAllocating)
{
    // 65535 x 65535 in a file of about 100 bytes.
    const std::vector<uint8_t> data(40, 7);
    EXPECT_EQ(LoadError(BMPFile({.Width = 65535, .Height = 65535}, data)), "BMP image too large (65535x65535)");
    EXPECT_EQ(LoadError(BMPFile({.Width = 30000, .Height = -30000}, data)), "BMP file is truncated");
    EXPECT_EQ(LoadError(BMPFile({.Width = 30000, .Height = 30000, .BitsPerPixel = 1, .Palette = {0, W}}, data)),
              "BMP file is truncated");
    // Run-length data can be short (an end marker stands for any size), so its images
    // take at most max(64 MiB, 8 x the file): 4096 x 4096 x 3 bytes from 56 bytes, but not
    // 8192 x 8192.
    const std::vector<uint8_t> end{0, 1};
    EXPECT_EQ(LoadError(BMPFile({.Width = 4096, .Height = 4096, .BitsPerPixel = 8, .Compression = 1}, end)), "");
    EXPECT_EQ(LoadError(BMPFile({.Width = 8192, .Height = 8192, .BitsPerPixel = 8, .Compression = 1}, end)),
              "BMP image of 8192 x 8192 pixels (201326592 bytes) cannot come from the 56 bytes left in the file");
    EXPECT_EQ(LoadError(BMPFile({.Width = 32768, .Height = 32768, .BitsPerPixel = 8, .Compression = 1}, data)),
              "BMP image of 32768 x 32768 pixels (3221225472 bytes) cannot come from the 94 bytes left in the "
              "file");
    // 1-bit pixels take 24 times their data: 8192 x 8192 needs 8 MiB of data, more than
    // an eighth of its 192 MiB.
    std::vector<uint8_t> bits(8192 / 8 * 8192, 0x55);
    EXPECT_EQ(LoadError(BMPFile({.Width = 8192, .Height = 8192, .BitsPerPixel = 1, .Palette = {0, W}}, bits)),
              "BMP image of 8192 x 8192 pixels (201326592 bytes) cannot come from the 8388670 bytes left in the "
              "file");
    bits.resize(4096 / 8 * 4096);
    EXPECT_EQ(LoadError(BMPFile({.Width = 4096, .Height = 4096, .BitsPerPixel = 1, .Palette = {0, W}}, bits)), "");
}

TEST(Bitmap, SidesOf32768AreReadAndLongerOnesRefused)
{
    // A row of 32768 pixels and a column of 32768 rows (bottom-up and top-down).
    const std::vector<uint8_t> row(32768 * 3, 0x5A);
    const orv::TBitmap wide = Load(BMPFile({.Width = 32768}, row));
    EXPECT_EQ(wide.Width(), 32768);
    EXPECT_EQ(At(wide, 32767, 0), 0x5A5A5Au);
    const std::vector<uint8_t> column(32768 * 4, 0xA5);
    for (const int32_t height : {32768, -32768}) {
        const orv::TBitmap tall = Load(BMPFile({.Height = height}, column));
        EXPECT_EQ(tall.Height(), 32768);
        EXPECT_EQ(At(tall, 0, 32767), 0xA5A5A5u);
    }
    EXPECT_EQ(LoadError(BMPFile({.Width = 32769}, std::vector<uint8_t>(32769 * 3 + 1))),
              "BMP image too large (32769x1)");
    EXPECT_EQ(LoadError(BMPFile({.Height = 32769}, std::vector<uint8_t>(32769 * 4))),
              "BMP image too large (1x32769)");
}

// A bitmap is read no further than its header says it can use: what follows in the
// stream stays unread (for run-length data, after two bytes per pixel and per line).
TEST(Bitmap, ReadsNoFurtherThanTheImageCanUse)
{
    const std::vector<uint8_t> pixels{1, 2, 3, 0};
    std::vector<uint8_t> file = BMPFile({}, pixels);
    const size_t size = file.size();
    file.resize(size + (4 << 20), 0xEE);
    auto stream = orvtest::MemoryStream(file);
    orv::TBitmap bitmap;
    bitmap.LoadFromStream(*stream);
    EXPECT_EQ(At(bitmap, 0, 0), 0x030201u);
    EXPECT_LE(stream->Position(), int64_t{1} << 16) << "read a piece at most";

    // 2 x 2 run-length data: runs of one pixel each, then nothing the decoder takes
    // ... a million no-op runs would follow in a damaged file; reading stops after 14
    // bytes (2 per pixel, 2 per line, 2 for the end).
    std::vector<uint8_t> runs{1, 1, 1, 1, 0, 0, 1, 1, 1, 1};
    runs.resize(runs.size() + (2 << 20), 1);
    std::vector<uint8_t> rle = BMPFile({.Width = 2, .Height = 2, .BitsPerPixel = 8, .Compression = 1,
                                        .Palette = {0x000000, 0x00FF00}}, runs);
    auto rleStream = orvtest::MemoryStream(rle);
    bitmap.LoadFromStream(*rleStream);
    EXPECT_EQ(At(bitmap, 1, 1), 0x00FF00u);
    EXPECT_LE(rleStream->Position(), int64_t{1} << 16);
}

TEST(Bitmap, CallerLimitsComeBeforeThePixels)
{
    const std::vector<uint8_t> pixels(16 * 4 * 3, 9);
    const auto file = BMPFile({.Width = 16, .Height = 4}, pixels);
    orv::TBitmap bitmap;
    auto stream = orvtest::MemoryStream(file);
    try {
        bitmap.LoadFromStream(*stream, {.MaxSide = 8, .MaxBytes = 1 << 20, .Budget = "left of the budget"});
        ADD_FAILURE() << "no error";
    } catch (const orv::EImageTooLarge& e) {
        EXPECT_EQ(std::string(e.what()), "BMP image of 16 x 4 pixels is larger than the largest texture (8 pixels a "
                                         "side)");
    }
    stream->SetPosition(0);
    try {
        bitmap.LoadFromStream(*stream, {.MaxBytes = 191, .Budget = "left of the budget"});
        ADD_FAILURE() << "no error";
    } catch (const orv::EImageTooLarge& e) {
        EXPECT_EQ(std::string(e.what()), "BMP image of 16 x 4 pixels needs 192 bytes, more than the 191 bytes left "
                                         "of the budget");
    }
    stream->SetPosition(0);
    bitmap.LoadFromStream(*stream, {.MaxSide = 16, .MaxBytes = 192});
    EXPECT_EQ(bitmap.Width(), 16);
}

}  // namespace
