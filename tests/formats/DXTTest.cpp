// DecodeDXT: the colour modes of DXT1, the explicit alpha of DXT3, the two alpha modes
// of DXT5, partial edge blocks and the data-size check.
#include <gtest/gtest.h>

#include <array>

#include "formats/ImageTestSupport.h"
#include "formats/DDSImage.h"
#include "formats/DXT.h"

namespace {

using orvtest::TBytes;
using TRGBA = std::array<int, 4>;

constexpr uint32_t DXT1 = orv::GL_COMPRESSED_RGBA_S3TC_DXT1;
constexpr uint32_t DXT3 = orv::GL_COMPRESSED_RGBA_S3TC_DXT3;
constexpr uint32_t DXT5 = orv::GL_COMPRESSED_RGBA_S3TC_DXT5;

constexpr uint16_t Red565 = 0xF800, Blue565 = 0x001F, White565 = 0xFFFF, Black565 = 0x0000;

// Colour block: endpoints and sixteen 2-bit indices in row order.
void ColorBlock(TBytes& b, uint16_t c0, uint16_t c1, const std::array<int, 16>& indices)
{
    uint32_t bits = 0;
    for (int i = 0; i < 16; ++i)
        bits |= uint32_t(indices[i]) << (2 * i);
    b.U16(c0).U16(c1).U32(bits);
}

TRGBA Pixel(const std::vector<uint8_t>& rgba, int width, int x, int y)
{
    const size_t at = (size_t(y) * width + x) * 4;
    return {rgba[at], rgba[at + 1], rgba[at + 2], rgba[at + 3]};
}

constexpr std::array<int, 16> Ramp{0, 1, 2, 3, 0, 1, 2, 3, 0, 1, 2, 3, 0, 1, 2, 3};

TEST(DecodeDXT, DXT1FourColorMode)
{
    TBytes b;
    ColorBlock(b, Red565, Blue565, Ramp);   // c0 > c1
    const auto rgba = orv::DecodeDXT(DXT1, 4, 4, b.Data());
    EXPECT_EQ(Pixel(rgba, 4, 0, 0), (TRGBA{255, 0, 0, 255}));
    EXPECT_EQ(Pixel(rgba, 4, 1, 0), (TRGBA{0, 0, 255, 255}));
    EXPECT_EQ(Pixel(rgba, 4, 2, 0), (TRGBA{170, 0, 85, 255}));   // two thirds c0
    EXPECT_EQ(Pixel(rgba, 4, 3, 0), (TRGBA{85, 0, 170, 255}));   // two thirds c1
    EXPECT_EQ(Pixel(rgba, 4, 3, 3), (TRGBA{85, 0, 170, 255}));
}

TEST(DecodeDXT, InterpolatedColorsTruncateTheThirds)
{
    // Red 255 and 8 (5 bits 31 and 1), green 4 and 0 (6 bits 1 and 0): (2a + b) / 3 and
    // (a + 2b) / 3 in integers, so 518 / 3 is 172, 271 / 3 is 90 and 8 / 3 is 2, not
    // the nearest levels 173 and 3.
    TBytes b;
    ColorBlock(b, uint16_t(31 << 11 | 1 << 5), uint16_t(1 << 11), Ramp);   // c0 > c1
    const auto rgba = orv::DecodeDXT(DXT1, 4, 4, b.Data());
    EXPECT_EQ(Pixel(rgba, 4, 0, 0), (TRGBA{255, 4, 0, 255}));
    EXPECT_EQ(Pixel(rgba, 4, 1, 0), (TRGBA{8, 0, 0, 255}));
    EXPECT_EQ(Pixel(rgba, 4, 2, 0), (TRGBA{172, 2, 0, 255}));
    EXPECT_EQ(Pixel(rgba, 4, 3, 0), (TRGBA{90, 1, 0, 255}));
    TBytes reversed;   // DXT3 keeps four colours whatever the order of the endpoints
    reversed.Fill(8);
    ColorBlock(reversed, uint16_t(1 << 11), uint16_t(31 << 11 | 1 << 5), Ramp);
    const auto dxt3 = orv::DecodeDXT(DXT3, 4, 4, reversed.Data());
    EXPECT_EQ(Pixel(dxt3, 4, 2, 0), (TRGBA{90, 1, 0, 0}));
    EXPECT_EQ(Pixel(dxt3, 4, 3, 0), (TRGBA{172, 2, 0, 0}));
}

TEST(DecodeDXT, DXT1ThreeColorModeHasTransparentBlack)
{
    TBytes b;
    ColorBlock(b, Blue565, Red565, Ramp);   // c0 <= c1
    const auto rgba = orv::DecodeDXT(DXT1, 4, 4, b.Data());
    EXPECT_EQ(Pixel(rgba, 4, 0, 0), (TRGBA{0, 0, 255, 255}));
    EXPECT_EQ(Pixel(rgba, 4, 2, 0), (TRGBA{127, 0, 127, 255}));   // midpoint
    EXPECT_EQ(Pixel(rgba, 4, 3, 0), (TRGBA{0, 0, 0, 0}));
    // Equal endpoints are three-colour mode too.
    TBytes same;
    ColorBlock(same, White565, White565, Ramp);
    EXPECT_EQ(Pixel(orv::DecodeDXT(DXT1, 4, 4, same.Data()), 4, 3, 0), (TRGBA{0, 0, 0, 0}));
}

TEST(DecodeDXT, EndpointsExpandToFullScale)
{
    // 5- and 6-bit channels repeat their high bits: 0x1F -> 255, 0x10 -> 132, 0x20 (6 bits) -> 130.
    TBytes b;
    ColorBlock(b, uint16_t(0x10 << 11 | 0x20 << 5 | 0x1F), Black565, {});
    EXPECT_EQ(Pixel(orv::DecodeDXT(DXT1, 4, 4, b.Data()), 4, 0, 0), (TRGBA{132, 130, 255, 255}));
}

TEST(DecodeDXT, DXT3ExplicitAlpha)
{
    TBytes b;
    for (int i = 0; i < 16; i += 2)
        b.U8(uint32_t(i) | uint32_t(i + 1) << 4);   // pixel i has alpha nibble i
    // c0 <= c1 would be three-colour mode in DXT1; DXT3 always uses four colours.
    ColorBlock(b, Blue565, Red565, Ramp);
    const auto rgba = orv::DecodeDXT(DXT3, 4, 4, b.Data());
    for (int i = 0; i < 16; ++i)
        EXPECT_EQ(Pixel(rgba, 4, i % 4, i / 4)[3], i * 17) << i;
    EXPECT_EQ(Pixel(rgba, 4, 3, 0), (TRGBA{170, 0, 85, 51}));
}

void AlphaBlock(TBytes& b, uint8_t a0, uint8_t a1, const std::array<int, 16>& indices)
{
    uint64_t bits = 0;
    for (int i = 0; i < 16; ++i)
        bits |= uint64_t(indices[i]) << (3 * i);
    b.U8(a0).U8(a1);
    for (int i = 0; i < 6; ++i)
        b.U8(uint32_t(bits >> (8 * i)));
}

constexpr std::array<int, 16> AlphaIndices{0, 1, 2, 3, 4, 5, 6, 7, 7, 6, 5, 4, 3, 2, 1, 0};

TEST(DecodeDXT, DXT5EightAlphaMode)
{
    TBytes b;
    AlphaBlock(b, 255, 0, AlphaIndices);
    ColorBlock(b, White565, White565, {});
    const auto rgba = orv::DecodeDXT(DXT5, 4, 4, b.Data());
    const std::array<int, 8> expected{255, 0, 218, 182, 145, 109, 72, 36};   // (7-k)/7 steps
    for (int i = 0; i < 16; ++i)
        EXPECT_EQ(Pixel(rgba, 4, i % 4, i / 4)[3], expected[AlphaIndices[i]]) << i;
    EXPECT_EQ(Pixel(rgba, 4, 0, 0)[0], 255);   // equal endpoints: still four-colour mode, index 0
}

TEST(DecodeDXT, DXT5SixAlphaModeWithZeroAndFull)
{
    TBytes b;
    AlphaBlock(b, 0, 255, AlphaIndices);
    ColorBlock(b, Red565, Red565, {});
    const auto rgba = orv::DecodeDXT(DXT5, 4, 4, b.Data());
    const std::array<int, 8> expected{0, 255, 51, 102, 153, 204, 0, 255};
    for (int i = 0; i < 16; ++i)
        EXPECT_EQ(Pixel(rgba, 4, i % 4, i / 4)[3], expected[AlphaIndices[i]]) << i;
}

TEST(DecodeDXT, BlocksInStorageOrderWithPartialEdges)
{
    // 6 x 5 pixels: 2 x 2 blocks, each a solid colour; the edge blocks are cut.
    const std::array<uint16_t, 4> colors{Red565, Blue565, White565, uint16_t(0x07E0)};
    TBytes b;
    for (uint16_t c : colors)
        ColorBlock(b, c, Black565, {});
    const auto rgba = orv::DecodeDXT(DXT1, 6, 5, b.Data());
    ASSERT_EQ(rgba.size(), 6u * 5 * 4);
    EXPECT_EQ(Pixel(rgba, 6, 3, 3), (TRGBA{255, 0, 0, 255}));
    EXPECT_EQ(Pixel(rgba, 6, 4, 0), (TRGBA{0, 0, 255, 255}));
    EXPECT_EQ(Pixel(rgba, 6, 5, 3), (TRGBA{0, 0, 255, 255}));
    EXPECT_EQ(Pixel(rgba, 6, 0, 4), (TRGBA{255, 255, 255, 255}));
    EXPECT_EQ(Pixel(rgba, 6, 5, 4), (TRGBA{0, 255, 0, 255}));
}

TEST(DecodeDXT, ChecksFormatAndDataSize)
{
    TBytes b;
    ColorBlock(b, Red565, Blue565, {});
    EXPECT_EQ(orv::DXTDataSize(DXT1, 5, 4), 16u);
    EXPECT_EQ(orv::DXTDataSize(DXT5, 4, 4), 16u);
    EXPECT_EQ(orv::DXTDataSize(0x1234, 4, 4), 0u);
    EXPECT_THROW(orv::DecodeDXT(DXT1, 5, 4, b.Data()), orv::EDXTError);   // needs two blocks
    EXPECT_THROW(orv::DecodeDXT(DXT5, 4, 4, b.Data()), orv::EDXTError);   // needs 16 bytes
    EXPECT_THROW(orv::DecodeDXT(0x1234, 4, 4, b.Data()), orv::EDXTError);
    // Huge sizes are refused by the size check, not by an allocation.
    EXPECT_THROW(orv::DecodeDXT(DXT5, 0xFFFFFFFF, 0xFFFFFFFF, b.Data()), orv::EDXTError);
    EXPECT_TRUE(orv::DecodeDXT(DXT1, 0, 100, {}).empty());
    // Bytes beyond the image are ignored.
    b.Fill(8, 0xAB);
    EXPECT_EQ(orv::DecodeDXT(DXT1, 4, 4, b.Data()).size(), 64u);
}

}  // namespace
