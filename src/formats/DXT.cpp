// DXT: S3TC block decoding (colour endpoints in 5:6:5, two-bit indices; DXT3 explicit
// four-bit alpha; DXT5 interpolated alpha with three-bit indices).
#include "formats/DXT.h"

#include <array>
#include <string>

#include "base/ByteOrder.h"
#include "formats/DDSImage.h"

namespace orv {

namespace {

constexpr uint32_t BlockEdge = 4;
constexpr size_t PixelsPerBlock = BlockEdge * BlockEdge;
constexpr size_t AlphaBlockBytes = 8;
constexpr size_t RGBA = 4;
constexpr uint8_t Opaque = 255;

using TBlockPixels = std::array<std::array<uint8_t, RGBA>, PixelsPerBlock>;

uint32_t BlockBytesOf(uint32_t glFormat)
{
    switch (glFormat) {
    case GL_COMPRESSED_RGBA_S3TC_DXT1: return 8;
    case GL_COMPRESSED_RGBA_S3TC_DXT3:
    case GL_COMPRESSED_RGBA_S3TC_DXT5: return 16;
    default: return 0;
    }
}

// Layout of the blocks: a colour block is two 5:6:5 endpoints and 16 two-bit indices;
// an interpolated alpha block two 8-bit endpoints and 16 three-bit indices (48 bits).
constexpr size_t ColorEndpoint0 = 0, ColorEndpoint1 = 2, ColorIndices = 4;
constexpr size_t AlphaEndpoint0 = 0, AlphaEndpoint1 = 1, AlphaIndices = 2;

std::array<uint8_t, RGBA> Expand565(uint32_t c)
{
    const uint32_t r = (c >> 11) & 0x1F, g = (c >> 5) & 0x3F, b = c & 0x1F;
    return {static_cast<uint8_t>(r << 3 | r >> 2), static_cast<uint8_t>(g << 2 | g >> 4),
            static_cast<uint8_t>(b << 3 | b >> 2), Opaque};
}

// The colour half of every block: four colours for DXT3/DXT5 always, for DXT1 when
// c0 > c1; otherwise three colours and transparent black.
void DecodeColorBlock(std::span<const uint8_t> block, bool dxt1, TBlockPixels& out)
{
    const TByteReader fields(block);
    const uint32_t c0 = fields.U16(ColorEndpoint0), c1 = fields.U16(ColorEndpoint1);
    std::array<std::array<uint8_t, RGBA>, 4> palette{Expand565(c0), Expand565(c1), {}, {}};
    const bool fourColors = !dxt1 || c0 > c1;
    for (size_t ch = 0; ch < 3; ++ch) {
        const uint32_t a = palette[0][ch], b = palette[1][ch];
        if (fourColors) {
            palette[2][ch] = static_cast<uint8_t>((2 * a + b) / 3);
            palette[3][ch] = static_cast<uint8_t>((a + 2 * b) / 3);
        } else {
            palette[2][ch] = static_cast<uint8_t>((a + b) / 2);
            palette[3][ch] = 0;
        }
    }
    palette[2][3] = Opaque;
    palette[3][3] = fourColors ? Opaque : 0;
    const uint32_t indices = fields.U32(ColorIndices);
    for (size_t i = 0; i < PixelsPerBlock; ++i)
        out[i] = palette[(indices >> (2 * i)) & 3];
}

void DecodeExplicitAlpha(std::span<const uint8_t> block, TBlockPixels& out)
{
    for (size_t i = 0; i < PixelsPerBlock; ++i) {
        const uint32_t nibble = (block[i / 2] >> (4 * (i % 2))) & 0x0F;
        out[i][3] = static_cast<uint8_t>(nibble * 17);
    }
}

void DecodeInterpolatedAlpha(std::span<const uint8_t> block, TBlockPixels& out)
{
    const TByteReader fields(block);
    const uint32_t a0 = fields.U8(AlphaEndpoint0), a1 = fields.U8(AlphaEndpoint1);
    std::array<uint8_t, 8> alpha{static_cast<uint8_t>(a0), static_cast<uint8_t>(a1)};
    if (a0 > a1) {
        for (uint32_t i = 1; i < 7; ++i)
            alpha[i + 1] = static_cast<uint8_t>(((7 - i) * a0 + i * a1) / 7);
    } else {
        for (uint32_t i = 1; i < 5; ++i)
            alpha[i + 1] = static_cast<uint8_t>(((5 - i) * a0 + i * a1) / 5);
        alpha[6] = 0;
        alpha[7] = Opaque;
    }
    // The whole block as one 64-bit word, shifted past the two endpoints: 48 index bits.
    const uint64_t bits = fields.U64(AlphaEndpoint0) >> (8 * AlphaIndices);
    for (size_t i = 0; i < PixelsPerBlock; ++i)
        out[i][3] = alpha[(bits >> (3 * i)) & 7];
}

}  // namespace

uint64_t DXTDataSize(uint32_t glFormat, uint32_t width, uint32_t height)
{
    const uint64_t blocksAcross = (uint64_t{width} + BlockEdge - 1) / BlockEdge;
    const uint64_t blocksDown = (uint64_t{height} + BlockEdge - 1) / BlockEdge;
    const uint64_t blocks = blocksAcross * blocksDown;   // at most 2^60
    const uint64_t blockBytes = BlockBytesOf(glFormat);
    // 2^60 blocks of 16 bytes do not fit in 64 bits: saturate, no data can be that large.
    if (blockBytes != 0 && blocks > UINT64_MAX / blockBytes)
        return UINT64_MAX;
    return blocks * blockBytes;
}

std::vector<uint8_t> DecodeDXT(uint32_t glFormat, uint32_t width, uint32_t height, std::span<const uint8_t> blocks)
{
    const uint32_t blockBytes = BlockBytesOf(glFormat);
    if (blockBytes == 0)
        throw EDXTError("Unsupported compressed format " + std::to_string(glFormat));
    const uint64_t needed = DXTDataSize(glFormat, width, height);
    if (blocks.size() < needed)
        throw EDXTError("DXT data too short: " + std::to_string(blocks.size()) + " bytes for a " +
                        std::to_string(width) + "x" + std::to_string(height) + " image needing " +
                        std::to_string(needed));

    // width * height <= 16 * needed / blockBytes <= 2 * blocks.size(): bounded by the data.
    std::vector<uint8_t> rgba(size_t{width} * height * RGBA);
    const uint64_t blocksAcross = (uint64_t{width} + BlockEdge - 1) / BlockEdge;
    const uint64_t blocksDown = (uint64_t{height} + BlockEdge - 1) / BlockEdge;
    size_t offset = 0;
    TBlockPixels pixels{};
    for (uint64_t by = 0; by < blocksDown; ++by) {
        for (uint64_t bx = 0; bx < blocksAcross; ++bx, offset += blockBytes) {
            const std::span<const uint8_t> block = blocks.subspan(offset, blockBytes);
            switch (glFormat) {
            case GL_COMPRESSED_RGBA_S3TC_DXT1: DecodeColorBlock(block, true, pixels); break;
            case GL_COMPRESSED_RGBA_S3TC_DXT3:
                DecodeColorBlock(block.subspan(AlphaBlockBytes), false, pixels);
                DecodeExplicitAlpha(block, pixels);
                break;
            default:
                DecodeColorBlock(block.subspan(AlphaBlockBytes), false, pixels);
                DecodeInterpolatedAlpha(block, pixels);
                break;
            }
            for (uint32_t py = 0; py < BlockEdge; ++py) {
                const uint64_t y = by * BlockEdge + py;
                if (y >= height)
                    break;
                for (uint32_t px = 0; px < BlockEdge; ++px) {
                    const uint64_t x = bx * BlockEdge + px;
                    if (x >= width)
                        break;
                    const auto& p = pixels[py * BlockEdge + px];
                    std::copy(p.begin(), p.end(), rgba.begin() + static_cast<std::ptrdiff_t>((y * width + x) * RGBA));
                }
            }
        }
    }
    return rgba;
}

}  // namespace orv
