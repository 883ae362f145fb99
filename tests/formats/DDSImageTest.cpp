// TDDSImage: header checks in their order, the top-level size rule, the exact copy and
// the source position after it; DDS files written by ImageMagick.
#include <gtest/gtest.h>

#include "formats/ImageTestSupport.h"
#include "formats/DDSImage.h"
#include "formats/DXT.h"

namespace {

using orvtest::TBytes;

constexpr uint32_t Magic = 0x20534444;
constexpr uint32_t PixelFormatAndCaps = 0x1000 | 0x1 | 0x2 | 0x4;
constexpr uint32_t FourCCFlag = 0x4;

struct TDDSHeader {
    uint32_t Width = 4, Height = 4;
    const char* FourCC = "DXT1";
    uint32_t Flags = PixelFormatAndCaps;
    uint32_t PixelFormatFlags = FourCCFlag;
    uint32_t HeaderSize = 124;
    uint32_t Magic = ::Magic;
};

std::vector<uint8_t> DDSFile(const TDDSHeader& h, size_t dataBytes)
{
    TBytes b;
    b.U32(h.Magic).U32(h.HeaderSize).U32(h.Flags).U32(h.Height).U32(h.Width);
    b.Fill(4 + 4 + 4 + 44);   // linear size, depth, mipmap count, reserved
    b.U32(32).U32(h.PixelFormatFlags);
    b.Raw({uint8_t(h.FourCC[0]), uint8_t(h.FourCC[1]), uint8_t(h.FourCC[2]), uint8_t(h.FourCC[3])});
    b.Fill(20 + 16 + 4);
    EXPECT_EQ(b.Size(), 128u);
    for (size_t i = 0; i < dataBytes; ++i)
        b.U8(static_cast<uint8_t>(i * 13 + 1));
    return b.Data();
}

std::string LoadError(const std::vector<uint8_t>& file)
{
    orv::TDDSImage image;
    auto stream = orvtest::MemoryStream(file);
    try {
        image.LoadFromStream(*stream);
    } catch (const orv::Exception& e) {
        return e.what();
    }
    return "";
}

TEST(DDSImage, TopLevelSizeByFormat)
{
    struct TCase {
        const char* FourCC;
        uint32_t Width, Height;
        int64_t Size;
        uint32_t GLFormat, BlockBytes;
    };
    for (const TCase& c : {TCase{"DXT1", 256, 256, 32768, 0x83F1, 8}, TCase{"DXT3", 256, 256, 65536, 0x83F2, 16},
                           TCase{"DXT5", 256, 256, 65536, 0x83F3, 16}, TCase{"DXT1", 2, 2, 8, 0x83F1, 8},
                           TCase{"DXT5", 1, 1, 16, 0x83F3, 16}, TCase{"DXT1", 64, 8, 256, 0x83F1, 8},
                           // Whole blocks only: 6 x 6 counts one block.
                           TCase{"DXT1", 6, 6, 8, 0x83F1, 8}}) {
        SCOPED_TRACE(std::string(c.FourCC) + " " + std::to_string(c.Width) + "x" + std::to_string(c.Height));
        const auto file = DDSFile({.Width = c.Width, .Height = c.Height, .FourCC = c.FourCC}, size_t(c.Size));
        orv::TDDSImage image;
        auto stream = orvtest::MemoryStream(file);
        image.LoadFromStream(*stream);
        EXPECT_EQ(image.DataSize(), c.Size);
        EXPECT_EQ(image.GLFormat(), c.GLFormat);
        EXPECT_EQ(image.BlockBytes(), c.BlockBytes);
        EXPECT_EQ(image.BlockDimension(), 4u);
        EXPECT_TRUE(image.Compressed());
        EXPECT_EQ(image.Width(), c.Width);
        EXPECT_EQ(image.Height(), c.Height);
        EXPECT_TRUE(std::equal(image.Data(), image.Data() + image.DataSize(), file.begin() + 128));
    }
}

TEST(DDSImage, StopsAfterTheTopLevel)
{
    // 8 x 8 DXT5: 64 bytes of top level, then 16 + 16 of mipmaps that stay unread.
    const auto file = DDSFile({.Width = 8, .Height = 8, .FourCC = "DXT5"}, 64 + 32);
    auto stream = orvtest::MemoryStream(file);
    orv::TDDSImage image;
    image.LoadFromStream(*stream);
    EXPECT_EQ(image.DataSize(), 64);
    EXPECT_EQ(stream->Position(), 128 + 64);
    EXPECT_TRUE(std::equal(image.Data(), image.Data() + 64, file.begin() + 128));
}

TEST(DDSImage, ReadsFromTheCurrentPosition)
{
    TBytes b;
    b.Fill(10, 0xEE).Raw(DDSFile({.Width = 4, .Height = 4}, 8));
    auto stream = orvtest::MemoryStream(b.Data());
    stream->SetPosition(10);
    orv::TDDSImage image;
    image.LoadFromStream(*stream);
    EXPECT_EQ(image.DataSize(), 8);
    EXPECT_EQ(image.Data()[0], 1);
}

TEST(DDSImage, HeaderChecksInOrder)
{
    EXPECT_EQ(LoadError(DDSFile({.Magic = 0x20534445}, 8)), "DDS header magic not found");
    // A wrong magic wins over every later fault.
    EXPECT_EQ(LoadError(DDSFile({.Flags = 0, .HeaderSize = 100, .Magic = 0}, 8)), "DDS header magic not found");
    EXPECT_EQ(LoadError(DDSFile({.Flags = 0, .HeaderSize = 100}, 8)), "DDS header size mismatch");
    EXPECT_EQ(LoadError(DDSFile({.Flags = 0x1}, 8)), "File does not contain DDSD_PIXELFORMAT");
    // Missing pixel format is reported even when the caps flag is missing too.
    EXPECT_EQ(LoadError(DDSFile({.Flags = 0x6}, 8)), "File does not contain DDSD_PIXELFORMAT");
    EXPECT_EQ(LoadError(DDSFile({.Flags = 0x1000}, 8)), "File does not contain DDSD_CAPS");
    EXPECT_EQ(LoadError(DDSFile({.FourCC = "DXT1"}, 8)), "");
}

TEST(DDSImage, UnsupportedPixelFormats)
{
    for (const char* code : {"DXT2", "DXT4", "ATI2", "dxt1", "\0\0\0\0"})
        EXPECT_EQ(LoadError(DDSFile({.FourCC = code}, 16)), "Currently unsupported DDS pixel format") << code;
    // A known code without the FourCC flag is not taken.
    EXPECT_EQ(LoadError(DDSFile({.FourCC = "DXT5", .PixelFormatFlags = 0x40}, 16)),
              "Currently unsupported DDS pixel format");
}

TEST(DDSImage, ShortSources)
{
    // Shorter than the header, even with a valid beginning.
    auto file = DDSFile({}, 8);
    EXPECT_EQ(LoadError({file.begin(), file.begin() + 127}), "DDS header magic not found");
    EXPECT_EQ(LoadError({}), "DDS header magic not found");
    // Ending inside the top level.
    EXPECT_EQ(LoadError(DDSFile({.Width = 16, .Height = 16}, 127)), "Stream read error");
    // A header claiming 65535 x 65535 (about 2 GB of blocks) in a tiny file fails the
    // same way, without taking the memory first.
    EXPECT_EQ(LoadError(DDSFile({.Width = 65535, .Height = 65535, .FourCC = "DXT5"}, 100)), "Stream read error");
}

TEST(DDSImage, SizeArithmeticIsUnsigned32Bit)
{
    // 131072 x 131072 DXT1: 32768 * 32768 * 8 = 2^33 bytes, which is 0 modulo 2^32.
    const auto file = DDSFile({.Width = 131072, .Height = 131072}, 8);
    auto stream = orvtest::MemoryStream(file);
    orv::TDDSImage image;
    image.LoadFromStream(*stream);
    EXPECT_EQ(image.DataSize(), 0);
    EXPECT_EQ(stream->Position(), 128);
}

TEST(DDSImage, ReloadReplacesThePreviousImage)
{
    orv::TDDSImage image;
    auto first = orvtest::MemoryStream(DDSFile({.Width = 16, .Height = 16, .FourCC = "DXT5"}, 256));
    image.LoadFromStream(*first);
    auto second = orvtest::MemoryStream(DDSFile({.Width = 4, .Height = 4, .FourCC = "DXT1"}, 8));
    image.LoadFromStream(*second);
    EXPECT_EQ(image.DataSize(), 8);
    EXPECT_EQ(image.GLFormat(), 0x83F1u);
    auto bad = orvtest::MemoryStream(DDSFile({.Width = 16, .Height = 16}, 3));
    EXPECT_THROW(image.LoadFromStream(*bad), orv::EReadError);
}

// ImageMagick's DDS encoder with its default mipmap chain: the loader takes the top
// level and stops there; decoding it matches ImageMagick's decoding of the same file.
TEST(DDSImageVsImageMagick, TopLevelMatchesImageMagickDecoding)
{
    SKIP_WITHOUT_IMAGEMAGICK();
    orvtest::TScratchDir dir;
    const int width = 64, height = 32;
    orvtest::WriteNetpbm(dir.File("source.pam"), orvtest::TestPicture(width, height, 4));
    struct TCase {
        const char* Compression;
        uint32_t GLFormat;
        uint32_t BlockBytes;
    };
    // (ImageMagick 6 writes its "dxt3" as DXT5; DXT3 decoding is compared with
    // ImageMagick on our encoder's files in ImageWritersTest.)
    for (const TCase& c : {TCase{"dxt1", 0x83F1, 8}, TCase{"dxt5", 0x83F3, 16}}) {
        SCOPED_TRACE(c.Compression);
        const std::string dds = dir.File(std::string(c.Compression) + ".dds");
        ASSERT_TRUE(orvtest::RunConvert({dir.File("source.pam"), "-define",
                                         std::string("dds:compression=") + c.Compression, "DDS:" + dds}));
        const auto file = orvtest::ReadBytes(dds);
        const size_t topLevel = size_t(width / 4) * (height / 4) * c.BlockBytes;
        ASSERT_GT(file.size(), 128 + topLevel) << "expected mipmaps after the top level";

        auto stream = orvtest::MemoryStream(file);
        orv::TDDSImage image;
        image.LoadFromStream(*stream);
        EXPECT_EQ(image.GLFormat(), c.GLFormat);
        EXPECT_EQ(image.DataSize(), int64_t(topLevel));
        EXPECT_EQ(stream->Position(), int64_t(128 + topLevel));

        const auto ours = orv::DecodeDXT(image.GLFormat(), image.Width(), image.Height(),
                                         {image.Data(), size_t(image.DataSize())});
        const auto theirs = orvtest::DecodeWithImageMagick(dds + "[0]", 4);
        ASSERT_EQ(ours.size(), theirs.size());
        // Decoders differ in how they round the interpolated colours, by a step or two;
        // the colour of fully transparent pixels is not defined.
        int most = 0;
        for (size_t i = 0; i < ours.size(); i += 4) {
            most = std::max(most, std::abs(ours[i + 3] - theirs[i + 3]));
            if (theirs[i + 3] != 0)
                for (size_t ch = 0; ch < 3; ++ch)
                    most = std::max(most, std::abs(ours[i + ch] - theirs[i + ch]));
        }
        EXPECT_LE(most, 3);
    }
}

}  // namespace
