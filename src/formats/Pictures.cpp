// Pictures: each format's reader, then its pixels turned into top-first R,G,B[,A] rows.
#include "formats/Pictures.h"

#include <algorithm>
#include <string>

#include "formats/Bitmap.h"
#include "formats/DDSImage.h"
#include "formats/DXT.h"
#include "formats/TGA.h"

namespace orv {

namespace {

constexpr int RGB = 3;
constexpr int RGBA = 4;
constexpr uint8_t Opaque = 255;

constexpr uint32_t FiveBitMask = 0x1F;
constexpr uint32_t HighColorAlphaBit = 0x8000;

TImage Blank(int width, int height, int channels)
{
    TImage image{width, height, channels, {}};
    image.Pixels.assign(static_cast<size_t>(width) * static_cast<size_t>(height) * static_cast<size_t>(channels), 0);
    return image;
}

// A five-bit channel widened as OpenGL widens it: to c / 31 of full scale, rounded.
uint8_t Widen5(uint32_t c) { return static_cast<uint8_t>((c * Opaque + FiveBitMask / 2) / FiveBitMask); }

}  // namespace

TImage DecodeBitmapPicture(TStream& source, const TImageLimits& limits)
{
    TBitmap bitmap;
    bitmap.LoadFromStream(source, limits);
    const size_t rowBytes = static_cast<size_t>(bitmap.RowBytes());
    if (bitmap.PixelBytes().size() < rowBytes * static_cast<size_t>(bitmap.Height()))
        throw EPictureError("Bitmap holds fewer pixel bytes than its size needs");
    TImage image = Blank(bitmap.Width(), bitmap.Height(), RGB);
    for (int y = 0; y < image.Height; ++y) {
        // The bitmap keeps its bottom row first.
        const uint8_t* row = bitmap.Pixels() + static_cast<size_t>(image.Height - 1 - y) * rowBytes;
        uint8_t* out = image.Pixels.data() + static_cast<size_t>(y) * static_cast<size_t>(image.Width) * RGB;
        for (int x = 0; x < image.Width; ++x, row += RGB, out += RGB) {
            out[0] = row[2];
            out[1] = row[1];
            out[2] = row[0];
        }
    }
    return image;
}

TImage DecodeTGAPicture(TStream& source, const TImageLimits& limits)
{
    TTGAImage tga;
    tga.LoadFromStream(source, limits);
    const size_t pixels = static_cast<size_t>(tga.Width()) * tga.Height();
    const int depth = tga.PixelDepth();
    auto require = [&](size_t bytesPerPixel) {
        if (tga.DataSize() < pixels * bytesPerPixel)
            throw EPictureError("TGA image holds fewer pixel bytes than its size needs");
    };
    const uint8_t* in = tga.Data();
    const int entryDepth = tga.ColorMapEntrySize();
    if (tga.ImageType() == TGAColorMapped && depth == TGAIndexDepth &&
        (entryDepth == TGATrueColorDepth || entryDepth == TGATrueColorAlphaDepth)) {
        require(1);
        const size_t entryBytes = static_cast<size_t>(entryDepth) / 8;
        const std::vector<uint8_t>& map = tga.ColorMap();
        TImage image = Blank(tga.Width(), tga.Height(), static_cast<int>(entryBytes));
        for (size_t i = 0; i < pixels; ++i) {
            const size_t entry = static_cast<size_t>(in[i]) * entryBytes;
            if (entry + entryBytes > map.size())
                continue;   // black (and transparent with a 32-bit map)
            uint8_t* out = image.Pixels.data() + i * entryBytes;
            out[0] = map[entry + 2];
            out[1] = map[entry + 1];
            out[2] = map[entry];
            if (entryBytes == RGBA)
                out[3] = map[entry + 3];
        }
        return image;
    }
    switch (depth) {
    case TGATrueColorAlphaDepth:
    case TGATrueColorDepth: {
        const size_t bytes = static_cast<size_t>(depth) / 8;
        require(bytes);
        TImage image = Blank(tga.Width(), tga.Height(), static_cast<int>(bytes));
        for (size_t i = 0; i < pixels; ++i, in += bytes) {
            uint8_t* out = image.Pixels.data() + i * bytes;
            out[0] = in[2];
            out[1] = in[1];
            out[2] = in[0];
            if (bytes == RGBA)
                out[3] = in[3];
        }
        return image;
    }
    case TGAHighColorDepth: {
        require(2);
        TImage image = Blank(tga.Width(), tga.Height(), RGBA);
        for (size_t i = 0; i < pixels; ++i, in += 2) {
            const uint32_t v = static_cast<uint32_t>(in[0] | in[1] << 8);
            uint8_t* out = image.Pixels.data() + i * RGBA;
            out[0] = Widen5((v >> 10) & FiveBitMask);
            out[1] = Widen5((v >> 5) & FiveBitMask);
            out[2] = Widen5(v & FiveBitMask);
            out[3] = (v & HighColorAlphaBit) ? Opaque : 0;
        }
        return image;
    }
    case TGAIndexDepth: {
        // Grey images, and colour maps of other entry sizes, show their bytes as grey.
        require(1);
        TImage image = Blank(tga.Width(), tga.Height(), RGB);
        for (size_t i = 0; i < pixels; ++i)
            std::fill_n(image.Pixels.data() + i * RGB, RGB, in[i]);
        return image;
    }
    default:
        throw EPictureError("Unsupported TGA pixel depth " + std::to_string(depth));
    }
}

TImage DecodeDDSPicture(TStream& source, const TImageLimits& limits)
{
    // The limits hold for the RGBA pixels, checked on the header before the blocks are read.
    TDDSImage dds;
    TImageLimits decoded = limits;
    decoded.DecodedPixelBytes = RGBA;
    dds.LoadFromStream(source, decoded);
    TImage image{static_cast<int>(dds.Width()), static_cast<int>(dds.Height()), RGBA, {}};
    image.Pixels = DecodeDXT(dds.GLFormat(), dds.Width(), dds.Height(),
                             {dds.Data(), static_cast<size_t>(dds.DataSize())});
    return image;
}

TImage WithoutAlpha(TImage image)
{
    if (image.Channels != RGBA)
        return image;
    const size_t pixels = static_cast<size_t>(image.Width) * static_cast<size_t>(image.Height);
    for (size_t i = 0; i < pixels; ++i)
        std::copy_n(image.Pixels.data() + i * RGBA, RGB, image.Pixels.data() + i * RGB);
    image.Pixels.resize(pixels * RGB);
    image.Channels = RGB;
    return image;
}

}  // namespace orv
