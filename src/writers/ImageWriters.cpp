// ImageWriters: BMP, TGA, PCX and DDS encoders.
#include "writers/ImageWriters.h"

#include <algorithm>
#include <array>
#include <cstring>   // stb_dxt uses memcpy
#include <stdexcept>
#include <string>

#define STB_DXT_IMPLEMENTATION
#include "stb_dxt.h"

namespace orv {

namespace {

// Little-endian output buffer.
class TByteWriter {
public:
    void U8(uint32_t v) { m_Bytes.push_back(static_cast<uint8_t>(v)); }
    void U16(uint32_t v)
    {
        U8(v);
        U8(v >> 8);
    }
    void U32(uint32_t v)
    {
        U16(v);
        U16(v >> 16);
    }
    void Zeros(size_t count) { m_Bytes.insert(m_Bytes.end(), count, 0); }
    void Bytes(std::span<const uint8_t> bytes) { m_Bytes.insert(m_Bytes.end(), bytes.begin(), bytes.end()); }
    size_t Size() const { return m_Bytes.size(); }
    std::vector<uint8_t> Take() { return std::move(m_Bytes); }

private:
    std::vector<uint8_t> m_Bytes;
};

void CheckImage(const TImage& img)
{
    if (img.Width <= 0 || img.Height <= 0)
        throw std::invalid_argument("image size must be positive");
    if (img.Channels != 3 && img.Channels != 4)
        throw std::invalid_argument("image must have 3 or 4 channels");
    if (img.Pixels.size() != size_t(img.Width) * size_t(img.Height) * size_t(img.Channels))
        throw std::invalid_argument("image pixel count does not match its size");
}

void CheckIndexed(int width, int height, std::span<const uint8_t> indices, std::span<const uint8_t> paletteRGB)
{
    if (width <= 0 || height <= 0)
        throw std::invalid_argument("image size must be positive");
    if (indices.size() != size_t(width) * size_t(height))
        throw std::invalid_argument("index count does not match the image size");
    if (paletteRGB.size() % 3 != 0 || paletteRGB.size() > 256 * 3)
        throw std::invalid_argument("palette must hold up to 256 r,g,b triples");
}

// --- BMP ---------------------------------------------------------------------------

constexpr uint32_t BMPFileHeaderSize = 14;
constexpr uint32_t BMPInfoHeaderSize = 40;
constexpr uint32_t BMPPixelsPerMetre = 2835;   // 72 dpi

void WriteBMPHeaders(TByteWriter& out, int width, int height, uint32_t bitsPerPixel, uint32_t paletteEntries,
                     uint32_t imageBytes)
{
    const uint32_t dataOffset = BMPFileHeaderSize + BMPInfoHeaderSize + paletteEntries * 4;
    out.U8('B');
    out.U8('M');
    out.U32(dataOffset + imageBytes);
    out.U32(0);
    out.U32(dataOffset);
    out.U32(BMPInfoHeaderSize);
    out.U32(static_cast<uint32_t>(width));
    out.U32(static_cast<uint32_t>(height));
    out.U16(1);   // planes
    out.U16(bitsPerPixel);
    out.U32(0);   // BI_RGB
    out.U32(imageBytes);
    out.U32(BMPPixelsPerMetre);
    out.U32(BMPPixelsPerMetre);
    out.U32(paletteEntries);
    out.U32(0);
}

size_t BMPStride(int width, int bitsPerPixel) { return (size_t(width) * bitsPerPixel + 31) / 32 * 4; }

// --- TGA -----------------------------------------------------------------------------

constexpr uint8_t TGATypeTrueColor = 2;
constexpr uint8_t TGATypeTrueColorRLE = 10;
constexpr uint8_t TGATopOrigin = 0x20;
constexpr size_t TGAMaxPacketPixels = 128;

// Run-length packets of one row (packets do not cross rows).
void WriteTGARow(TByteWriter& out, const uint8_t* row, size_t width, size_t bpp)
{
    auto same = [&](size_t a, size_t b) { return std::equal(row + a * bpp, row + (a + 1) * bpp, row + b * bpp); };
    size_t x = 0;
    while (x < width) {
        size_t run = 1;
        while (x + run < width && run < TGAMaxPacketPixels && same(x, x + run))
            ++run;
        if (run >= 2) {
            out.U8(0x80 | (run - 1));
            out.Bytes({row + x * bpp, bpp});
            x += run;
            continue;
        }
        size_t raw = 1;
        while (x + raw < width && raw < TGAMaxPacketPixels && !(x + raw + 1 < width && same(x + raw, x + raw + 1)))
            ++raw;
        out.U8(raw - 1);
        out.Bytes({row + x * bpp, raw * bpp});
        x += raw;
    }
}

// --- PCX -----------------------------------------------------------------------------

constexpr uint8_t PCXManufacturer = 10;
constexpr uint8_t PCXVersion = 5;
constexpr uint8_t PCXEncodingRLE = 1;
constexpr size_t PCXHeaderSize = 128;
constexpr uint8_t PCXRunFlag = 0xC0;
constexpr uint32_t PCXMaxRun = 63;
constexpr uint8_t PCXPaletteMarker = 0x0C;
constexpr size_t PCXPaletteBytes = 256 * 3;
constexpr uint32_t PCXDotsPerInch = 72;
constexpr uint32_t PCXPaletteInfoColor = 1;

// --- DDS -----------------------------------------------------------------------------

constexpr uint32_t DDSMagic = 0x20534444;
constexpr uint32_t DDSHeaderSize = 124;
constexpr uint32_t DDSPixelFormatSize = 32;
constexpr uint32_t DDSD_CAPS = 0x1, DDSD_HEIGHT = 0x2, DDSD_WIDTH = 0x4, DDSD_PIXELFORMAT = 0x1000,
                   DDSD_LINEARSIZE = 0x80000;
constexpr uint32_t DDPF_FOURCC = 0x4;
constexpr uint32_t DDSCAPS_TEXTURE = 0x1000;
constexpr int DXTBlockEdge = 4;

uint32_t ByteSwapped(uint32_t v)
{
    return (v >> 24) | ((v >> 8) & 0xFF00) | ((v << 8) & 0xFF0000) | (v << 24);
}

// 4-bit explicit alpha of a DXT3 block, pixels in row order.
void CompressExplicitAlpha(uint8_t* dest, const uint8_t* rgba)
{
    for (int i = 0; i < 16; i += 2) {
        const uint32_t lo = (rgba[i * 4 + 3] * 15u + 127) / 255;
        const uint32_t hi = (rgba[(i + 1) * 4 + 3] * 15u + 127) / 255;
        dest[i / 2] = static_cast<uint8_t>(lo | hi << 4);
    }
}

}  // namespace

std::vector<uint8_t> EncodeBMP24(const TImage& rgb)
{
    CheckImage(rgb);
    const size_t stride = BMPStride(rgb.Width, 24);
    TByteWriter out;
    WriteBMPHeaders(out, rgb.Width, rgb.Height, 24, 0, static_cast<uint32_t>(stride * rgb.Height));
    for (int y = rgb.Height - 1; y >= 0; --y) {
        const uint8_t* row = rgb.Pixels.data() + size_t(y) * rgb.Width * rgb.Channels;
        for (int x = 0; x < rgb.Width; ++x) {
            const uint8_t* p = row + size_t(x) * rgb.Channels;
            out.U8(p[2]);
            out.U8(p[1]);
            out.U8(p[0]);
        }
        out.Zeros(stride - size_t(rgb.Width) * 3);
    }
    return out.Take();
}

std::vector<uint8_t> EncodeBMP8(int width, int height, std::span<const uint8_t> indices,
                                std::span<const uint8_t> paletteRGB)
{
    CheckIndexed(width, height, indices, paletteRGB);
    const uint32_t entries = static_cast<uint32_t>(paletteRGB.size() / 3);
    const size_t stride = BMPStride(width, 8);
    TByteWriter out;
    WriteBMPHeaders(out, width, height, 8, entries, static_cast<uint32_t>(stride * height));
    for (uint32_t i = 0; i < entries; ++i) {
        out.U8(paletteRGB[i * 3 + 2]);
        out.U8(paletteRGB[i * 3 + 1]);
        out.U8(paletteRGB[i * 3]);
        out.U8(0);
    }
    for (int y = height - 1; y >= 0; --y) {
        out.Bytes(indices.subspan(size_t(y) * width, size_t(width)));
        out.Zeros(stride - size_t(width));
    }
    return out.Take();
}

std::vector<uint8_t> EncodeTGA(const TImage& img, bool rle, bool topOrigin)
{
    CheckImage(img);
    if (img.Width > 0xFFFF || img.Height > 0xFFFF)
        throw std::invalid_argument("TGA images are at most 65535 pixels wide and high");
    const size_t bpp = size_t(img.Channels);
    TByteWriter out;
    out.U8(0);   // no image ID
    out.U8(0);   // no colour map
    out.U8(rle ? TGATypeTrueColorRLE : TGATypeTrueColor);
    out.Zeros(5);   // colour map first index, length and entry size
    out.U16(0);     // x origin
    out.U16(0);     // y origin
    out.U16(static_cast<uint32_t>(img.Width));
    out.U16(static_cast<uint32_t>(img.Height));
    out.U8(static_cast<uint32_t>(bpp * 8));
    const uint8_t alphaBits = bpp == 4 ? 8 : 0;
    out.U8(alphaBits | (topOrigin ? TGATopOrigin : 0));

    std::vector<uint8_t> row(size_t(img.Width) * bpp);
    for (int i = 0; i < img.Height; ++i) {
        const int y = topOrigin ? i : img.Height - 1 - i;
        const uint8_t* src = img.Pixels.data() + size_t(y) * row.size();
        for (size_t x = 0; x < size_t(img.Width); ++x) {
            const uint8_t* p = src + x * bpp;
            uint8_t* q = row.data() + x * bpp;
            q[0] = p[2];
            q[1] = p[1];
            q[2] = p[0];
            if (bpp == 4)
                q[3] = p[3];
        }
        if (rle)
            WriteTGARow(out, row.data(), size_t(img.Width), bpp);
        else
            out.Bytes(row);
    }
    return out.Take();
}

std::vector<uint8_t> EncodePCX8(int width, int height, std::span<const uint8_t> indices,
                                std::span<const uint8_t> paletteRGB)
{
    CheckIndexed(width, height, indices, paletteRGB);
    if (width > 0xFFFF || height > 0xFFFF)
        throw std::invalid_argument("PCX images are at most 65535 pixels wide and high");
    const size_t bytesPerLine = (size_t(width) + 1) & ~size_t{1};
    TByteWriter out;
    out.U8(PCXManufacturer);
    out.U8(PCXVersion);
    out.U8(PCXEncodingRLE);
    out.U8(8);   // bits per pixel per plane
    out.U16(0);
    out.U16(0);
    out.U16(static_cast<uint32_t>(width - 1));
    out.U16(static_cast<uint32_t>(height - 1));
    out.U16(PCXDotsPerInch);
    out.U16(PCXDotsPerInch);
    out.Zeros(48);   // 16-colour palette, unused at 8 bits
    out.U8(0);       // reserved
    out.U8(1);       // planes
    out.U16(static_cast<uint32_t>(bytesPerLine));
    out.U16(PCXPaletteInfoColor);
    out.Zeros(PCXHeaderSize - out.Size());

    std::vector<uint8_t> line(bytesPerLine, 0);
    for (int y = 0; y < height; ++y) {
        std::copy_n(indices.begin() + ptrdiff_t(y) * width, width, line.begin());
        size_t x = 0;
        while (x < bytesPerLine) {
            uint32_t run = 1;
            while (x + run < bytesPerLine && run < PCXMaxRun && line[x + run] == line[x])
                ++run;
            // A single byte below the run flag stands for itself; anything else is a run.
            if (run > 1 || line[x] >= PCXRunFlag)
                out.U8(PCXRunFlag | run);
            out.U8(line[x]);
            x += run;
        }
    }
    if (!paletteRGB.empty()) {
        out.U8(PCXPaletteMarker);
        out.Bytes(paletteRGB);
        out.Zeros(PCXPaletteBytes - paletteRGB.size());
    }
    return out.Take();
}

std::vector<uint8_t> EncodeDDS(const TImage& img, uint32_t fourCC)
{
    CheckImage(img);
    if (ByteSwapped(fourCC) == FourCCDXT1 || ByteSwapped(fourCC) == FourCCDXT3 || ByteSwapped(fourCC) == FourCCDXT5)
        fourCC = ByteSwapped(fourCC);
    if (fourCC != FourCCDXT1 && fourCC != FourCCDXT3 && fourCC != FourCCDXT5)
        throw std::invalid_argument("DDS output supports DXT1, DXT3 and DXT5 only");
    const bool dxt1 = fourCC == FourCCDXT1;
    const size_t blockBytes = dxt1 ? 8 : 16;
    const int blocksAcross = (img.Width + DXTBlockEdge - 1) / DXTBlockEdge;
    const int blocksDown = (img.Height + DXTBlockEdge - 1) / DXTBlockEdge;
    const size_t topLevelSize = size_t(blocksAcross) * size_t(blocksDown) * blockBytes;

    TByteWriter out;
    out.U32(DDSMagic);
    out.U32(DDSHeaderSize);
    out.U32(DDSD_CAPS | DDSD_HEIGHT | DDSD_WIDTH | DDSD_PIXELFORMAT | DDSD_LINEARSIZE);
    out.U32(static_cast<uint32_t>(img.Height));
    out.U32(static_cast<uint32_t>(img.Width));
    out.U32(static_cast<uint32_t>(topLevelSize));
    out.U32(0);       // depth
    out.U32(0);       // mipmap count: the top level only
    out.Zeros(44);    // reserved
    out.U32(DDSPixelFormatSize);
    out.U32(DDPF_FOURCC);
    out.U32(fourCC);
    out.Zeros(20);    // bit count and masks
    out.U32(DDSCAPS_TEXTURE);
    out.Zeros(12);    // caps 2..4
    out.U32(0);       // reserved

    std::array<uint8_t, 64> block{};
    std::array<uint8_t, 16> compressed{};
    for (int by = 0; by < blocksDown; ++by) {
        for (int bx = 0; bx < blocksAcross; ++bx) {
            for (int py = 0; py < DXTBlockEdge; ++py) {
                for (int px = 0; px < DXTBlockEdge; ++px) {
                    const int x = std::min(bx * DXTBlockEdge + px, img.Width - 1);
                    const int y = std::min(by * DXTBlockEdge + py, img.Height - 1);
                    const uint8_t* p = img.Pixels.data() + (size_t(y) * img.Width + x) * img.Channels;
                    uint8_t* q = block.data() + (py * DXTBlockEdge + px) * 4;
                    q[0] = p[0];
                    q[1] = p[1];
                    q[2] = p[2];
                    q[3] = img.Channels == 4 ? p[3] : 255;
                }
            }
            if (fourCC == FourCCDXT3) {
                CompressExplicitAlpha(compressed.data(), block.data());
                stb_compress_dxt_block(compressed.data() + 8, block.data(), 0, STB_DXT_HIGHQUAL);
            } else {
                stb_compress_dxt_block(compressed.data(), block.data(), dxt1 ? 0 : 1, STB_DXT_HIGHQUAL);
            }
            out.Bytes({compressed.data(), blockBytes});
        }
    }
    return out.Take();
}

}  // namespace orv
