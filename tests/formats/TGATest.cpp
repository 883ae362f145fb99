// TTGAImage: the header, ID and colour map skips, raw and run-length data, the row and
// pixel reorderings, short and malformed files; TGA files written by ImageMagick.
#include <gtest/gtest.h>

#include "formats/ImageTestSupport.h"
#include "formats/TGA.h"

namespace {

using orvtest::TBytes;

struct TTGAHeader {
    uint8_t IDLength = 0;
    uint8_t ColorMapType = 0;
    uint8_t ImageType = 2;
    uint16_t ColorMapLength = 0;
    uint8_t ColorMapEntrySize = 0;
    uint16_t Width = 1, Height = 1;
    uint8_t Depth = 24;
    uint8_t Descriptor = 0;
};

TBytes TGAHeader(const TTGAHeader& h)
{
    TBytes b;
    b.U8(h.IDLength).U8(h.ColorMapType).U8(h.ImageType).U16(0).U16(h.ColorMapLength).U8(h.ColorMapEntrySize);
    b.U16(0).U16(0).U16(h.Width).U16(h.Height).U8(h.Depth).U8(h.Descriptor);
    return b;
}

orv::TTGAImage Load(const std::vector<uint8_t>& file)
{
    orv::TTGAImage image;
    auto stream = orvtest::MemoryStream(file);
    image.LoadFromStream(*stream);
    return image;
}

std::vector<uint8_t> Pixels(const orv::TTGAImage& image) { return {image.Data(), image.Data() + image.DataSize()}; }

TEST(TGAImage, RowOrderFollowsTheDescriptor)
{
    // 2 x 2, 24-bit: stored rows A then B.
    const std::initializer_list<uint8_t> stored{1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12};
    const auto bottomUp = Load(TGAHeader({.Width = 2, .Height = 2}).Raw(stored).Data());
    EXPECT_EQ(Pixels(bottomUp), (std::vector<uint8_t>{7, 8, 9, 10, 11, 12, 1, 2, 3, 4, 5, 6}));
    const auto topDown = Load(TGAHeader({.Width = 2, .Height = 2, .Descriptor = 0x20}).Raw(stored).Data());
    EXPECT_EQ(Pixels(topDown), std::vector<uint8_t>(stored));
    EXPECT_EQ(bottomUp.Width(), 2);
    EXPECT_EQ(bottomUp.Height(), 2);
    EXPECT_EQ(bottomUp.PixelDepth(), 24);
}

TEST(TGAImage, EvenHeightBottomUpMovesEveryRow)
{
    // 1 x 256 at 8 bits: stored row k holds k; after loading row k holds 255 - k.
    TBytes b = TGAHeader({.ImageType = 3, .Width = 1, .Height = 256, .Depth = 8});
    for (int k = 0; k < 256; ++k)
        b.U8(uint32_t(k));
    const auto image = Load(b.Data());
    ASSERT_EQ(image.DataSize(), 256u);
    for (int k = 0; k < 256; ++k)
        ASSERT_EQ(image.Data()[k], 255 - k) << k;
}

TEST(TGAImage, RightToLeftReversesPixelsKeepingTheirBytes)
{
    // Width 3, descriptor 0x30: each row reversed pixel by pixel, the middle one in place.
    const auto image = Load(TGAHeader({.Width = 3, .Height = 2, .Descriptor = 0x30})
                                .Raw({1, 2, 3, 4, 5, 6, 7, 8, 9, 11, 12, 13, 14, 15, 16, 17, 18, 19})
                                .Data());
    EXPECT_EQ(Pixels(image), (std::vector<uint8_t>{7, 8, 9, 4, 5, 6, 1, 2, 3, 17, 18, 19, 14, 15, 16, 11, 12, 13}));
    // 0x10 alone: reversed within rows and rows turned over.
    const auto both = Load(TGAHeader({.Width = 2, .Height = 2, .Depth = 8, .Descriptor = 0x10}).Raw({1, 2, 3, 4}).Data());
    EXPECT_EQ(Pixels(both), (std::vector<uint8_t>{4, 3, 2, 1}));
}

TEST(TGAImage, RunLengthPackets)
{
    // Run packet 0x81: two copies of one pixel.
    const auto run = Load(TGAHeader({.ImageType = 10, .Width = 2, .Descriptor = 0x20}).Raw({0x81, 1, 2, 3}).Data());
    EXPECT_EQ(Pixels(run), (std::vector<uint8_t>{1, 2, 3, 1, 2, 3}));
    // Raw packet 0x01: two 4-byte pixels in order.
    const auto raw = Load(TGAHeader({.ImageType = 10, .Width = 2, .Depth = 32, .Descriptor = 0x20})
                              .Raw({0x01, 1, 2, 3, 4, 5, 6, 7, 8})
                              .Data());
    EXPECT_EQ(Pixels(raw), (std::vector<uint8_t>{1, 2, 3, 4, 5, 6, 7, 8}));
    // Packets cross rows: one run of 3 and a raw pair fill a 5 x 1 ... and a 2 x 3 image.
    const auto crossing = Load(TGAHeader({.ImageType = 11, .Width = 2, .Height = 3, .Depth = 8, .Descriptor = 0x20})
                                   .Raw({0x82, 9, 0x02, 1, 2, 3})
                                   .Data());
    EXPECT_EQ(Pixels(crossing), (std::vector<uint8_t>{9, 9, 9, 1, 2, 3}));
}

TEST(TGAImage, RunLengthTypesBecomeTheirRawTypes)
{
    for (const auto& [stored, loaded] : {std::pair{9, 1}, std::pair{10, 2}, std::pair{11, 3}, std::pair{2, 2},
                                         std::pair{3, 3}, std::pair{1, 1}}) {
        const auto image = Load(TGAHeader({.ImageType = uint8_t(stored), .Depth = 8}).Raw({0x00, 7}).Data());
        EXPECT_EQ(image.ImageType(), loaded) << stored;
        EXPECT_EQ(image.Data()[0], stored >= 9 ? 7 : 0x00);
    }
}

TEST(TGAImage, SkipsIDAndKeepsColorMap)
{
    // ID of 5 bytes, then a colour map of 3 entries x 24 bits, then 2 index bytes.
    TBytes b = TGAHeader({.IDLength = 5, .ColorMapType = 1, .ImageType = 1, .ColorMapLength = 3,
                          .ColorMapEntrySize = 24, .Width = 2, .Depth = 8, .Descriptor = 0x20});
    b.Raw({0xEE, 0xEE, 0xEE, 0xEE, 0xEE}).Raw({1, 2, 3, 4, 5, 6, 7, 8, 9}).Raw({2, 0});
    const auto image = Load(b.Data());
    EXPECT_EQ(image.ColorMap(), (std::vector<uint8_t>{1, 2, 3, 4, 5, 6, 7, 8, 9}));
    EXPECT_EQ(Pixels(image), (std::vector<uint8_t>{2, 0}));   // indices, not colours
    // Without the colour map type a colour map length means nothing.
    TBytes noMap = TGAHeader({.IDLength = 2, .ColorMapLength = 3, .ColorMapEntrySize = 24, .Descriptor = 0x20});
    noMap.Raw({0xEE, 0xEE, 10, 20, 30});
    const auto plain = Load(noMap.Data());
    EXPECT_TRUE(plain.ColorMap().empty());
    EXPECT_EQ(Pixels(plain), (std::vector<uint8_t>{10, 20, 30}));
}

TEST(TGAImage, PacketsPastTheLastPixelAreDropped)
{
    // A run of 128 pixels into a 2 x 2 image, then a raw packet longer than what is left.
    const auto run = Load(TGAHeader({.ImageType = 11, .Width = 2, .Height = 2, .Depth = 8}).Raw({0xFF, 5}).Data());
    EXPECT_EQ(Pixels(run), (std::vector<uint8_t>{5, 5, 5, 5}));
    const auto raw = Load(TGAHeader({.ImageType = 11, .Width = 3, .Depth = 8, .Descriptor = 0x20})
                              .Raw({0x81, 4, 0x7F, 6, 7, 8, 9})
                              .Data());
    EXPECT_EQ(Pixels(raw), (std::vector<uint8_t>{4, 4, 6}));
}

TEST(TGAImage, ShortFilesLoadWithoutComplaint)
{
    // Raw: the missing bytes stay zero.
    const auto raw = Load(TGAHeader({.Width = 2, .Height = 2, .Descriptor = 0x20}).Raw({1, 2, 3, 4, 5}).Data());
    EXPECT_EQ(Pixels(raw), (std::vector<uint8_t>{1, 2, 3, 4, 5, 0, 0, 0, 0, 0, 0, 0}));
    // Run-length: after the data ends the last pixel repeats.
    const auto rle = Load(TGAHeader({.ImageType = 10, .Width = 4, .Descriptor = 0x20}).Raw({0x00, 1, 2, 3, 0x00, 4}).Data());
    EXPECT_EQ(Pixels(rle), (std::vector<uint8_t>{1, 2, 3, 4, 2, 3, 4, 2, 3, 4, 2, 3}));
    // A run-length image with no data at all: zero pixels.
    const auto empty = Load(TGAHeader({.ImageType = 10, .Width = 3, .Height = 3, .Depth = 32}).Data());
    EXPECT_EQ(Pixels(empty), std::vector<uint8_t>(36, 0));
    // Even the header may be cut short.
    const auto header = Load({0, 0, 2, 0, 0, 0});
    EXPECT_EQ(header.DataSize(), 0u);
    // A moderately short 64 x 64 image (16 KB claimed, 10 bytes present) still loads.
    const auto moderate = Load(TGAHeader({.Width = 64, .Height = 64, .Depth = 32}).Fill(10, 1).Data());
    EXPECT_EQ(moderate.DataSize(), 64u * 64 * 4);
}

TEST(TGAImage, ClaimsBeyondWhatTheFileCanProduceAreRefused)
{
    auto error = [](const std::vector<uint8_t>& file) -> std::string {
        try {
            Load(file);
        } catch (const orv::EImageTooLarge& e) {
            return e.what();
        }
        return "";
    };
    // Raw data is as long as the file: 65535 x 2047 x 4 bytes (512 MiB) from a 1 MiB file.
    EXPECT_EQ(error(TGAHeader({.ImageType = 2, .Width = 65535, .Height = 2047, .Depth = 32}).Fill(1 << 20).Data()),
              "TGA image of 65535 x 2047 pixels (536600580 bytes) cannot come from the 1048576 bytes left in the "
              "file");
    // A file cut short may lack up to 1 MiB, which reads as zeros: 1024 x 512 x 4 bytes
    // (2 MiB) need 1 MiB present.
    const TTGAHeader raw{.ImageType = 2, .Width = 1024, .Height = 512, .Depth = 32};
    EXPECT_EQ(Load(TGAHeader(raw).Fill(1 << 20).Data()).DataSize(), 2u << 20);
    EXPECT_NE(error(TGAHeader(raw).Fill((1 << 20) - 1).Data()), "");
    // Run-length data decodes to at most max(64 MiB, 8 x the file): 4096 x 4096 x 4
    // bytes from 100 bytes, not one row more.
    const TTGAHeader rle{.ImageType = 10, .Width = 4096, .Height = 4096, .Depth = 32};
    EXPECT_EQ(Load(TGAHeader(rle).Fill(100).Data()).DataSize(), 64u << 20);
    EXPECT_NE(error(TGAHeader({.ImageType = 10, .Width = 4096, .Height = 4097, .Depth = 32}).Fill(100).Data()),
              "");
    // ... and 8 bytes per byte of a larger file: 4096 x 4097 x 4 from 8.1 MiB.
    EXPECT_EQ(Load(TGAHeader({.ImageType = 10, .Width = 4096, .Height = 4097, .Depth = 32})
                       .Fill(uint64_t{4096} * 4097 * 4 / 8)
                       .Data())
                  .DataSize(),
              uint64_t{4096} * 4097 * 4);
    EXPECT_THROW(Load(TGAHeader({.ImageType = 10, .Width = 65535, .Height = 65535, .Depth = 32}).Fill(100).Data()),
                 orv::EImageTooLarge);
}

TEST(TGAImage, CallerLimitsComeBeforeThePixels)
{
    const auto file = TGAHeader({.ImageType = 2, .Width = 64, .Height = 32, .Depth = 24}).Fill(64 * 32 * 3).Data();
    auto stream = orvtest::MemoryStream(file);
    orv::TTGAImage image;
    try {
        image.LoadFromStream(*stream, {.MaxSide = 63});
        ADD_FAILURE() << "no error";
    } catch (const orv::EImageTooLarge& e) {
        EXPECT_EQ(std::string(e.what()), "TGA image of 64 x 32 pixels is larger than the largest texture (63 pixels a "
                                         "side)");
    }
    stream->SetPosition(0);
    try {
        image.LoadFromStream(*stream, {.MaxBytes = 6143});
        ADD_FAILURE() << "no error";
    } catch (const orv::EImageTooLarge& e) {
        EXPECT_EQ(std::string(e.what()), "TGA image of 64 x 32 pixels needs 6144 bytes, more than the 6143 bytes "
                                         "left for it");
    }
    EXPECT_EQ(image.DataSize(), 0u);
    stream->SetPosition(0);
    image.LoadFromStream(*stream, {.MaxSide = 64, .MaxBytes = 6144});
    EXPECT_EQ(image.DataSize(), 6144u);
}

TEST(TGAImage, OddDepthsDoNotReadBeyondThePixels)
{
    for (const uint8_t depth : {0, 1, 7, 8, 15, 16, 33}) {
        SCOPED_TRACE(int(depth));
        for (const uint8_t type : {2, 10}) {
            const auto image = Load(TGAHeader({.ImageType = type, .Width = 3, .Height = 2, .Depth = depth, .Descriptor = 0x10})
                                        .Raw({0x85, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12})
                                        .Data());
            EXPECT_EQ(image.DataSize(), 6u * (depth / 8));
        }
    }
}

TEST(TGAImage, ThirtyTwoBitKeepsAlphaAndByteOrder)
{
    const auto image = Load(TGAHeader({.Width = 1, .Depth = 32, .Descriptor = 0x28}).Raw({10, 20, 30, 40}).Data());
    EXPECT_EQ(Pixels(image), (std::vector<uint8_t>{10, 20, 30, 40}));
}

// ImageMagick's TGA files, raw and run-length, 24 and 32 bits, in all four origins: the
// loader's top-first B,G,R(,A) pixels equal ImageMagick's decoding with the file's
// orientation applied (ImageMagick keeps the origin as metadata, so -auto-orient).
TEST(TGAImageVsImageMagick, AllOriginsMatchImageMagickDecoding)
{
    SKIP_WITHOUT_IMAGEMAGICK();
    orvtest::TScratchDir dir;
    const int width = 37, height = 23;
    for (const int channels : {3, 4}) {
        const std::string source = dir.File(channels == 3 ? "source.ppm" : "source.pam");
        orvtest::WriteNetpbm(source, orvtest::TestPicture(width, height, channels));
        for (const char* compression : {"None", "RLE"}) {
            for (const char* orientation : {"TopLeft", "BottomLeft", "TopRight", "BottomRight"}) {
                SCOPED_TRACE(std::to_string(channels) + " channels, " + compression + ", " + orientation);
                const std::string tga = dir.File(std::string(compression) + orientation + std::to_string(channels) + ".tga");
                ASSERT_TRUE(orvtest::RunConvert({source, "-orient", orientation, "-compress", compression, "TGA:" + tga}));
                const auto file = orvtest::ReadBytes(tga);
                ASSERT_EQ(file[2], std::string(compression) == "RLE" ? 10 : 2);
                ASSERT_EQ(file[16], channels * 8);

                const auto image = Load(file);
                ASSERT_EQ(image.Width(), width);
                ASSERT_EQ(image.Height(), height);
                EXPECT_EQ(image.ImageType(), 2);
                std::vector<uint8_t> ours(image.DataSize());
                for (size_t i = 0; i < ours.size(); i += size_t(channels)) {
                    ours[i] = image.Data()[i + 2];
                    ours[i + 1] = image.Data()[i + 1];
                    ours[i + 2] = image.Data()[i];
                    if (channels == 4)
                        ours[i + 3] = image.Data()[i + 3];
                }
                EXPECT_EQ(ours, orvtest::DecodeWithImageMagick(tga, channels, {"-auto-orient"}));
            }
        }
    }
}

}  // namespace
