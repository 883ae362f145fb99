// The image encoders: ImageMagick decodes what they write to the picture given, and our
// own readers read it back the same way; argument checks and determinism.
#include <gtest/gtest.h>

#include <stdexcept>

#include "formats/ImageTestSupport.h"
#include "formats/Bitmap.h"
#include "formats/DDSImage.h"
#include "formats/DXT.h"
#include "formats/PCXStream.h"
#include "formats/TGA.h"
#include "writers/ImageWriters.h"

namespace {

// A 256-colour palette (8 reds x 8 greens x 4 blues) and the picture mapped onto it.
struct TIndexed {
    int Width = 0, Height = 0;
    std::vector<uint8_t> Indices, Palette, RGB;
};

TIndexed IndexedPicture(int width, int height)
{
    TIndexed out{width, height, {}, {}, {}};
    for (int i = 0; i < 256; ++i)
        out.Palette.insert(out.Palette.end(), {uint8_t((i >> 5) * 255 / 7), uint8_t(((i >> 2) & 7) * 255 / 7),
                                               uint8_t((i & 3) * 85)});
    const orv::TImage picture = orvtest::TestPicture(width, height, 3);
    for (size_t p = 0; p < picture.Pixels.size(); p += 3) {
        const int index = (picture.Pixels[p] >> 5) << 5 | (picture.Pixels[p + 1] >> 5) << 2 | picture.Pixels[p + 2] >> 6;
        out.Indices.push_back(uint8_t(index));
        out.RGB.insert(out.RGB.end(), out.Palette.begin() + index * 3, out.Palette.begin() + index * 3 + 3);
    }
    return out;
}

std::vector<uint8_t> WithoutAlpha(const orv::TImage& image)
{
    if (image.Channels == 3)
        return image.Pixels;
    std::vector<uint8_t> rgb;
    for (size_t i = 0; i < image.Pixels.size(); i += 4)
        rgb.insert(rgb.end(), image.Pixels.begin() + ptrdiff_t(i), image.Pixels.begin() + ptrdiff_t(i) + 3);
    return rgb;
}

TEST(ImageWriters, BMP24ReadsBackExactly)
{
    for (const int width : {1, 2, 3, 37, 64}) {
        for (const int channels : {3, 4}) {
            const orv::TImage picture = orvtest::TestPicture(width, 9, channels);
            const auto file = orv::EncodeBMP24(picture);
            orv::TBitmap bitmap;
            auto stream = orvtest::MemoryStream(file);
            bitmap.LoadFromStream(*stream);
            EXPECT_EQ(bitmap.HeaderSize(), 40);
            EXPECT_EQ(bitmap.BitsPerPixel(), 24);
            EXPECT_FALSE(bitmap.TopDown());
            EXPECT_EQ(orvtest::TopFirstRGB(bitmap.Pixels(), width, 9, bitmap.RowBytes()), WithoutAlpha(picture))
                << width << " " << channels;
            // Bottom-up BI_RGB with each row padded: the file is exactly headers + rows.
            EXPECT_EQ(file.size(), 54 + size_t((width * 3 + 3) & ~3) * 9);
        }
    }
}

TEST(ImageWriters, BMP8ReadsBackExactly)
{
    const TIndexed picture = IndexedPicture(37, 11);
    const auto file = orv::EncodeBMP8(picture.Width, picture.Height, picture.Indices, picture.Palette);
    orv::TBitmap bitmap;
    auto stream = orvtest::MemoryStream(file);
    bitmap.LoadFromStream(*stream);
    EXPECT_EQ(bitmap.BitsPerPixel(), 8);
    EXPECT_EQ(orvtest::TopFirstRGB(bitmap.Pixels(), 37, 11, bitmap.RowBytes()), picture.RGB);
    // A short palette is written as given.
    const std::vector<uint8_t> two{255, 0, 0, 0, 0, 255};
    const auto small = orv::EncodeBMP8(2, 1, std::vector<uint8_t>{1, 0}, two);
    EXPECT_EQ(orvtest::GetU32(small, 46), 2u);
    EXPECT_EQ(small.size(), 54 + 2 * 4 + 4u);
}

TEST(ImageWriters, TGAReadsBackInEveryForm)
{
    for (const int channels : {3, 4}) {
        const orv::TImage picture = orvtest::TestPicture(37, 23, channels);
        for (const bool rle : {false, true}) {
            for (const bool top : {false, true}) {
                SCOPED_TRACE(std::to_string(channels) + (rle ? " rle" : " raw") + (top ? " top" : " bottom"));
                const auto file = orv::EncodeTGA(picture, rle, top);
                EXPECT_EQ(file[2], rle ? 10 : 2);
                EXPECT_EQ(file[16], channels * 8);
                EXPECT_EQ(file[17], (channels == 4 ? 8 : 0) | (top ? 0x20 : 0));
                orv::TTGAImage image;
                auto stream = orvtest::MemoryStream(file);
                image.LoadFromStream(*stream);
                ASSERT_EQ(image.DataSize(), picture.Pixels.size());
                for (size_t i = 0; i < picture.Pixels.size(); i += size_t(channels)) {
                    ASSERT_EQ(image.Data()[i], picture.Pixels[i + 2]) << i;
                    ASSERT_EQ(image.Data()[i + 2], picture.Pixels[i]) << i;
                    ASSERT_EQ(image.Data()[i + 1], picture.Pixels[i + 1]) << i;
                    if (channels == 4) {
                        ASSERT_EQ(image.Data()[i + 3], picture.Pixels[i + 3]) << i;
                    }
                }
                // Nothing left over after the last packet.
                EXPECT_EQ(stream->Position(), stream->Size());
            }
        }
    }
}

TEST(ImageWriters, TGARunLengthPacketsStayWithinLimits)
{
    // A flat 300-pixel row needs three run packets (128 + 128 + 44); a row of distinct
    // pixels raw packets of at most 128.
    orv::TImage flat{300, 1, 3, std::vector<uint8_t>(900, 7)};
    const auto flatFile = orv::EncodeTGA(flat, true, true);
    EXPECT_EQ(flatFile.size(), 18u + 3 * 4);
    EXPECT_EQ(flatFile[18], 0xFF);
    EXPECT_EQ(flatFile[22], 0xFF);
    EXPECT_EQ(flatFile[26], 0x80 | 43);
    orv::TImage distinct{200, 1, 3, {}};
    for (int i = 0; i < 600; ++i)
        distinct.Pixels.push_back(uint8_t(i));
    const auto distinctFile = orv::EncodeTGA(distinct, true, true);
    EXPECT_EQ(distinctFile.size(), 18u + 2 + 600);
    EXPECT_EQ(distinctFile[18], 0x7F);
}

TEST(ImageWriters, PCX8HeaderAndData)
{
    const TIndexed picture = IndexedPicture(37, 5);
    const auto file = orv::EncodePCX8(picture.Width, picture.Height, picture.Indices, picture.Palette);
    EXPECT_EQ(file[0], 10);
    EXPECT_EQ(file[1], 5);
    EXPECT_EQ(file[2], 1);
    EXPECT_EQ(file[3], 8);
    EXPECT_EQ(orvtest::GetU16(file, 8), 36u);
    EXPECT_EQ(orvtest::GetU16(file, 10), 4u);
    EXPECT_EQ(file[65], 1);
    EXPECT_EQ(orvtest::GetU16(file, 66), 38u);   // even bytes per line
    ASSERT_GT(file.size(), 128u + 769);
    EXPECT_EQ(file[file.size() - 769], 0x0C);
    EXPECT_TRUE(std::equal(picture.Palette.begin(), picture.Palette.end(), file.end() - 768));
    // No palette: the file ends with the image data.
    const auto bare = orv::EncodePCX8(picture.Width, picture.Height, picture.Indices, {});
    EXPECT_EQ(bare.size(), file.size() - 769);
    // Lines decode independently: the byte stream gives each line's indices and a pad.
    orv::TPCXByteStream stream(orvtest::MemoryStream(bare));
    for (int y = 0; y < picture.Height; ++y)
        for (int x = 0; x < 38; ++x)
            ASSERT_EQ(stream.ReadByte(), x < 37 ? picture.Indices[size_t(y) * 37 + x] : 0) << x << "," << y;
}

TEST(ImageWriters, DDSTopLevelNearTheSource)
{
    const orv::TImage picture = orvtest::TestPicture(64, 32, 4);
    for (const auto& [fourCC, glFormat, alpha] : {std::tuple{orv::FourCCDXT1, 0x83F1u, false},
                                                  std::tuple{orv::FourCCDXT3, 0x83F2u, true},
                                                  std::tuple{orv::FourCCDXT5, 0x83F3u, true}}) {
        SCOPED_TRACE(glFormat);
        const auto file = orv::EncodeDDS(picture, fourCC);
        orv::TDDSImage image;
        auto stream = orvtest::MemoryStream(file);
        image.LoadFromStream(*stream);
        EXPECT_EQ(image.GLFormat(), glFormat);
        EXPECT_EQ(stream->Position(), stream->Size()) << "top level only";
        const auto rgba = orv::DecodeDXT(image.GLFormat(), 64, 32, {image.Data(), size_t(image.DataSize())});
        // Block compression is lossy (the stripes cost most); a wrong channel or block
        // order would give errors several times larger.
        double error = 0;
        for (size_t i = 0; i < rgba.size(); ++i)
            if (i % 4 != 3 || alpha)
                error += std::abs(int(rgba[i]) - int(picture.Pixels[i]));
        EXPECT_LT(error / double(rgba.size()), 10.0);
        if (!alpha) {
            for (size_t i = 3; i < rgba.size(); i += 4)
                ASSERT_EQ(rgba[i], 255);
        }
    }
}

TEST(ImageWriters, DDSPartialBlocksAndFourCCForms)
{
    // 6 x 5: 2 x 2 blocks; edge pixels repeat into the unused block area.
    orv::TImage picture = orvtest::TestPicture(6, 5, 3);
    const auto file = orv::EncodeDDS(picture, orv::FourCCDXT1);
    EXPECT_EQ(file.size(), 128u + 4 * 8);
    EXPECT_EQ(orvtest::GetU32(file, 84), orv::FourCCDXT1);
    // The multi-character constant form ('DXT5' read as a big-endian word) is accepted.
    const uint32_t swapped = uint32_t('D') << 24 | uint32_t('X') << 16 | uint32_t('T') << 8 | '5';
    EXPECT_EQ(orv::EncodeDDS(picture, swapped), orv::EncodeDDS(picture, orv::FourCCDXT5));
    EXPECT_THROW(orv::EncodeDDS(picture, orv::MakeFourCC('D', 'X', 'T', '2')), std::invalid_argument);
}

TEST(ImageWriters, DeterministicOutput)
{
    const orv::TImage picture = orvtest::TestPicture(20, 12, 4);
    EXPECT_EQ(orv::EncodeDDS(picture, orv::FourCCDXT5), orv::EncodeDDS(picture, orv::FourCCDXT5));
    EXPECT_EQ(orv::EncodeTGA(picture, true, false), orv::EncodeTGA(picture, true, false));
}

TEST(ImageWriters, RejectsInconsistentPictures)
{
    EXPECT_THROW(orv::EncodeBMP24({2, 2, 3, std::vector<uint8_t>(11)}), std::invalid_argument);
    EXPECT_THROW(orv::EncodeBMP24({0, 2, 3, {}}), std::invalid_argument);
    EXPECT_THROW(orv::EncodeTGA({1, 1, 2, std::vector<uint8_t>(2)}, false, false), std::invalid_argument);
    EXPECT_THROW(orv::EncodeTGA({70000, 1, 3, std::vector<uint8_t>(210000)}, false, false), std::invalid_argument);
    EXPECT_THROW(orv::EncodeBMP8(2, 2, std::vector<uint8_t>(3), {}), std::invalid_argument);
    EXPECT_THROW(orv::EncodePCX8(1, 1, std::vector<uint8_t>(1), std::vector<uint8_t>(4)), std::invalid_argument);
    EXPECT_THROW(orv::EncodePCX8(1, 1, std::vector<uint8_t>(1), std::vector<uint8_t>(257 * 3)), std::invalid_argument);
}

// --- What ImageMagick makes of our files ----------------------------------------------

TEST(ImageWritersVsImageMagick, ImageMagickDecodesWhatWeWrite)
{
    SKIP_WITHOUT_IMAGEMAGICK();
    orvtest::TScratchDir dir;
    const orv::TImage rgb = orvtest::TestPicture(37, 23, 3);
    const orv::TImage rgba = orvtest::TestPicture(37, 23, 4);
    const TIndexed indexed = IndexedPicture(37, 23);
    auto decoded = [&](const std::string& name, const std::vector<uint8_t>& file, int channels,
                       const std::vector<std::string>& extra = {}) {
        orvtest::WriteBytes(dir.File(name), file);
        return orvtest::DecodeWithImageMagick(dir.File(name), channels, extra);
    };
    EXPECT_EQ(decoded("rgb.bmp", orv::EncodeBMP24(rgb), 3), rgb.Pixels);
    EXPECT_EQ(decoded("indexed.bmp", orv::EncodeBMP8(37, 23, indexed.Indices, indexed.Palette), 3), indexed.RGB);
    EXPECT_EQ(decoded("indexed.pcx", orv::EncodePCX8(37, 23, indexed.Indices, indexed.Palette), 3), indexed.RGB);
    for (const bool rle : {false, true}) {
        for (const bool top : {false, true}) {
            SCOPED_TRACE(std::string(rle ? "rle" : "raw") + (top ? " top" : " bottom"));
            // ImageMagick keeps a TGA's origin as metadata; -auto-orient applies it.
            EXPECT_EQ(decoded("rgb.tga", orv::EncodeTGA(rgb, rle, top), 3, {"-auto-orient"}), rgb.Pixels);
            EXPECT_EQ(decoded("rgba.tga", orv::EncodeTGA(rgba, rle, top), 4, {"-auto-orient"}), rgba.Pixels);
        }
    }
}

TEST(ImageWritersVsImageMagick, ImageMagickDecodesOurDDSLikeWeDo)
{
    SKIP_WITHOUT_IMAGEMAGICK();
    orvtest::TScratchDir dir;
    const orv::TImage picture = orvtest::TestPicture(32, 16, 4);
    for (const uint32_t fourCC : {orv::FourCCDXT1, orv::FourCCDXT3, orv::FourCCDXT5}) {
        SCOPED_TRACE(fourCC);
        const auto file = orv::EncodeDDS(picture, fourCC);
        const std::string path = dir.File("ours.dds");
        orvtest::WriteBytes(path, file);
        orv::TDDSImage image;
        auto stream = orvtest::MemoryStream(file);
        image.LoadFromStream(*stream);
        const auto ours = orv::DecodeDXT(image.GLFormat(), 32, 16, {image.Data(), size_t(image.DataSize())});
        EXPECT_LE(orvtest::MaxDifference(ours, orvtest::DecodeWithImageMagick(path, 4)), 3);
    }
}

}  // namespace
