// Pictures: BMP, TGA and DDS decoded to top-first pixels, each checked against
// ImageMagick's own decoding of the same file, and the TGA forms only the OpenGL upload
// reads (16-bit, colour-mapped) against hand-made files.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>

#include "ImageTestSupport.h"
#include "formats/DDSImage.h"
#include "formats/Pictures.h"
#include "writers/ImageWriters.h"

namespace {

using orv::TImage;
using orvtest::TBytes;

TImage Decode(TImage (*decode)(orv::TStream&, const orv::TImageLimits&), std::span<const uint8_t> file)
{
    auto stream = orvtest::MemoryStream(file);
    return decode(*stream, {});
}

// ImageMagick's reading of the bytes, written to a file with the given extension.
std::vector<uint8_t> Reference(std::span<const uint8_t> file, const std::string& extension, int channels)
{
    orvtest::TScratchDir scratch;
    const std::string path = scratch.File("picture." + extension);
    orvtest::WriteBytes(path, file);
    return orvtest::DecodeWithImageMagick(path, channels, {"-auto-orient"});
}

TEST(PicturesVsImageMagick, BitmapAndTGAGiveTheFilesPixelsTopRowFirst)
{
    SKIP_WITHOUT_IMAGEMAGICK();
    // An odd width pads the bitmap's rows; both TGA row orders and run-length data.
    const TImage rgb = orvtest::TestPicture(37, 21, 3);
    const TImage rgba = orvtest::TestPicture(37, 21, 4);

    const TImage bitmap = Decode(orv::DecodeBitmapPicture, orv::EncodeBMP24(rgb));
    EXPECT_EQ(bitmap.Channels, 3);
    EXPECT_EQ(bitmap.Pixels, rgb.Pixels);
    EXPECT_EQ(bitmap.Pixels, Reference(orv::EncodeBMP24(rgb), "bmp", 3));

    for (const bool rle : {false, true})
        for (const bool topOrigin : {false, true}) {
            SCOPED_TRACE(std::string(rle ? "run-length" : "raw") + (topOrigin ? ", top origin" : ", bottom origin"));
            const std::vector<uint8_t> file24 = orv::EncodeTGA(rgb, rle, topOrigin);
            const TImage tga24 = Decode(orv::DecodeTGAPicture, file24);
            EXPECT_EQ(tga24.Channels, 3);
            EXPECT_EQ(tga24.Pixels, Reference(file24, "tga", 3));
            const std::vector<uint8_t> file32 = orv::EncodeTGA(rgba, rle, topOrigin);
            const TImage tga32 = Decode(orv::DecodeTGAPicture, file32);
            EXPECT_EQ(tga32.Channels, 4);
            EXPECT_EQ(tga32.Pixels, rgba.Pixels);
        }
}

TEST(PicturesVsImageMagick, DDSBlocksDecodeUprightInEveryFormat)
{
    SKIP_WITHOUT_IMAGEMAGICK();
    const TImage rgba = orvtest::TestPicture(64, 32, 4);
    for (const uint32_t fourCC : {orv::FourCCDXT1, orv::FourCCDXT3, orv::FourCCDXT5}) {
        SCOPED_TRACE(fourCC);
        const std::vector<uint8_t> file = orv::EncodeDDS(rgba, fourCC);
        const TImage dds = Decode(orv::DecodeDDSPicture, file);
        ASSERT_EQ(dds.Channels, 4);
        ASSERT_EQ(dds.Width, 64);
        ASSERT_EQ(dds.Height, 32);
        const std::vector<uint8_t> reference = Reference(file, "dds", 4);
        // ImageMagick may round the interpolated colours differently by one.
        EXPECT_LE(orvtest::MaxDifference(dds.Pixels, reference), 1);
        // Without alpha: the colours stay, in three channels.
        const TImage opaque = orv::WithoutAlpha(dds);
        ASSERT_EQ(opaque.Channels, 3);
        ASSERT_EQ(opaque.Pixels.size(), size_t{64} * 32 * 3);
        for (size_t i = 0; i < size_t{64} * 32; ++i)
            ASSERT_TRUE(std::equal(&opaque.Pixels[3 * i], &opaque.Pixels[3 * i + 3], &dds.Pixels[4 * i])) << i;
    }
}

TBytes TGAHeader(uint8_t imageType, uint8_t mapType, uint16_t mapLength, uint8_t mapEntryBits, uint16_t width,
                 uint16_t height, uint8_t depth)
{
    TBytes b;
    b.U8(0).U8(mapType).U8(imageType).U16(0).U16(mapLength).U8(mapEntryBits);
    b.U16(0).U16(0).U16(width).U16(height).U8(depth).U8(0x20);   // rows top first
    return b;
}

TEST(Pictures, TGAFormsOfTheWaterAndSkyUploads)
{
    // 16 bits: A1 R5 G5 B5, each five-bit channel widened to c * 255 / 31, rounded.
    TBytes high = TGAHeader(2, 0, 0, 0, 3, 1, 16);
    high.U16(0xFFFF).U16(0x001F).U16(16u << 10 | 1u << 5 | 0x8000);
    const TImage h = Decode(orv::DecodeTGAPicture, high.Data());
    ASSERT_EQ(h.Channels, 4);
    EXPECT_EQ(h.Pixels, (std::vector<uint8_t>{255, 255, 255, 255, 0, 0, 255, 0, 132, 8, 0, 255}));

    // Colour-mapped through a 24-bit map of two entries; index 5 lies past the map.
    TBytes mapped24 = TGAHeader(1, 1, 2, 24, 3, 1, 8);
    mapped24.Raw({10, 20, 30, 40, 50, 60}).Raw({1, 0, 5});
    EXPECT_EQ(Decode(orv::DecodeTGAPicture, mapped24.Data()).Pixels,
              (std::vector<uint8_t>{60, 50, 40, 30, 20, 10, 0, 0, 0}));
    // Through a 32-bit map the alpha comes along; past the map is transparent black.
    TBytes mapped32 = TGAHeader(1, 1, 1, 32, 2, 1, 8);
    mapped32.Raw({1, 2, 3, 128}).Raw({0, 1});
    const TImage m = Decode(orv::DecodeTGAPicture, mapped32.Data());
    ASSERT_EQ(m.Channels, 4);
    EXPECT_EQ(m.Pixels, (std::vector<uint8_t>{3, 2, 1, 128, 0, 0, 0, 0}));

    // Grey, and indices through a map of another entry size, show their bytes as grey.
    TBytes grey = TGAHeader(3, 0, 0, 0, 2, 1, 8);
    grey.Raw({7, 200});
    EXPECT_EQ(Decode(orv::DecodeTGAPicture, grey.Data()).Pixels, (std::vector<uint8_t>{7, 7, 7, 200, 200, 200}));
    TBytes mapped16 = TGAHeader(1, 1, 1, 16, 1, 1, 8);
    mapped16.Raw({0xFF, 0xFF}).Raw({9});
    EXPECT_EQ(Decode(orv::DecodeTGAPicture, mapped16.Data()).Pixels, (std::vector<uint8_t>{9, 9, 9}));

    // Depths no upload takes are refused by name.
    TBytes odd = TGAHeader(2, 0, 0, 0, 1, 1, 15);
    odd.Raw({0, 0});
    EXPECT_THROW(
        {
            try {
                Decode(orv::DecodeTGAPicture, odd.Data());
            } catch (const orv::EPictureError& e) {
                EXPECT_STREQ(e.what(), "Unsupported TGA pixel depth 15");
                throw;
            }
        },
        orv::EPictureError);
}

// A DDS picture is held to the caller's limits by its decoded RGBA bytes, on the header
// alone; the largest sides the header can give count as the most bytes there are.
TEST(Pictures, DDSLimitsCountTheDecodedPixels)
{
    std::vector<uint8_t> header = orv::EncodeDDS(TImage{4, 4, 4, std::vector<uint8_t>(64, 200)}, orv::FourCCDXT5);
    header.resize(128);
    const orv::TImageLimits limits{.MaxBytes = 1 << 20, .Budget = "left"};
    for (const auto& [side, says] : {std::pair<uint32_t, std::string>{1024, "1024 x 1024 pixels needs 4194304 bytes"},
                                     {0xFFFFFFFF, "4294967295 x 4294967295 pixels needs 18446744073709551615 bytes"}}) {
        SCOPED_TRACE(side);
        orvtest::PutU32(header, 12, side);   // height
        orvtest::PutU32(header, 16, side);   // width
        auto stream = orvtest::MemoryStream(header);
        try {
            orv::DecodeDDSPicture(*stream, limits);
            ADD_FAILURE() << "decoded";
        } catch (const orv::EImageTooLarge& e) {
            EXPECT_EQ(e.Message(), "DDS image of " + says + ", more than the 1048576 bytes left");
        }
    }
}

// What a header claims is held to what the file can give: a PCX like every other picture
// to MostDecodedBytes of its data, a DDS to the 32-bit sizes of its format (at once, not
// after copying what its wrapped size says). Sides that are not multiples of 4 take
// their partial DXT blocks whole.
TEST(Pictures, HeaderClaimsMeetTheFile)
{
    // 4800 x 4800 in runs of 63: 731 KB of data for 69 MB of RGB, past the 64 MiB least bound.
    constexpr int side = 4800;
    TBytes pcx;
    pcx.U8(0x0A).U8(5).U8(1).U8(8).U16(0).U16(0).U16(side - 1).U16(side - 1);
    pcx.Raw(std::vector<uint8_t>(65 - 12, 0)).U8(1).U16(side).Raw(std::vector<uint8_t>(128 - 68, 0));
    const size_t runs = (size_t{side} * side + 62) / 63;
    for (size_t i = 0; i < runs; ++i)
        pcx.U8(0xFF).U8(0x00);
    const uint64_t bytes = uint64_t{side} * side * 3;
    ASSERT_GT(bytes, orv::MostDecodedBytes(runs * 2));
    try {
        Decode(orv::DecodePCXPicture, pcx.Data());
        ADD_FAILURE() << "decoded";
    } catch (const orv::EImageTooLarge& e) {
        EXPECT_EQ(e.Message(), "PCX image of 4800 x 4800 pixels (" + std::to_string(bytes) +
                                   " bytes) cannot come from the " + std::to_string(runs * 2) +
                                   " bytes left in the file");
    }

    // 2^18 x 2^18 in DXT1 is 2^35 bytes of blocks, which 32 bits wrap to 0.
    std::vector<uint8_t> dds = orv::EncodeDDS(TImage{8, 8, 3, std::vector<uint8_t>(8 * 8 * 3, 90)}, orv::FourCCDXT1);
    std::vector<uint8_t> wrapped(dds.begin(), dds.begin() + 128);
    orvtest::PutU32(wrapped, 12, 1u << 18);
    orvtest::PutU32(wrapped, 16, 1u << 18);
    EXPECT_THROW(Decode(orv::DecodeDDSPicture, wrapped), orv::EDDSError);

    // 6 x 6 in the four blocks of 8 x 8: the 8 x 8 picture's upper left corner.
    TImage pattern{8, 8, 3, {}};
    for (int i = 0; i < 8 * 8; ++i)
        pattern.Pixels.insert(pattern.Pixels.end(), {uint8_t(i * 4), uint8_t(255 - i * 4), uint8_t(i % 8 * 32)});
    dds = orv::EncodeDDS(pattern, orv::FourCCDXT1);
    const TImage whole = Decode(orv::DecodeDDSPicture, dds);
    orvtest::PutU32(dds, 12, 6);
    orvtest::PutU32(dds, 16, 6);
    const TImage corner = Decode(orv::DecodeDDSPicture, dds);
    ASSERT_EQ(corner.Width, 6);
    ASSERT_EQ(corner.Height, 6);
    for (int y = 0; y < 6; ++y)
        EXPECT_TRUE(std::equal(corner.Pixels.begin() + y * 6 * 4, corner.Pixels.begin() + (y + 1) * 6 * 4,
                               whole.Pixels.begin() + y * 8 * 4))
            << y;
}

// Above their least values the bounds grow with the source: 8 decoded bytes for each of
// its bytes.
TEST(Pictures, BoundsGrowWithTheSource)
{
    for (const uint64_t times : {2, 5}) {
        EXPECT_EQ(orv::MostDecodedBytes(orv::MinDecodedImageBytes / 8 * times), orv::MinDecodedImageBytes * times);
        EXPECT_EQ(orv::TileTextureBudget(static_cast<int64_t>(orv::MinTileTextureBudget / 8 * times)),
                  orv::MinTileTextureBudget * times);
    }
}

}  // namespace
