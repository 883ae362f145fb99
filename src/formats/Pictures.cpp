// Pictures: each format's claim and reader, then its pixels turned into top-first
// R,G,B[,A] rows.
#include "formats/Pictures.h"

#include <algorithm>
#include <string>

#include "base/ByteOrder.h"
#include "base/TextCase.h"
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

TImage Blank(int width, int height, int channels, const std::string& damage)
{
    TImage image{width, height, channels, {}, damage};
    image.Pixels.assign(static_cast<size_t>(width) * static_cast<size_t>(height) * static_cast<size_t>(channels), 0);
    return image;
}

// A five-bit channel widened as OpenGL widens it: to c / 31 of full scale, rounded.
uint8_t Widen5(uint32_t c) { return static_cast<uint8_t>((c * Opaque + FiveBitMask / 2) / FiveBitMask); }

bool StartsWith(std::span<const uint8_t> head, std::string_view mark)
{
    return head.size() >= mark.size() && std::equal(mark.begin(), mark.end(), head.begin());
}

}  // namespace

const TPictureFormat* DetectPicture(std::span<const uint8_t> head, std::string_view fileName)
{
    const std::string extension = FoldedExtension(fileName);
    const TPictureFormat* surest = nullptr;
    TPictureClaim best = TPictureClaim::None;
    for (const TPictureFormat& format : PictureFormats) {
        const TPictureClaim claim = format.Claim(head, extension == format.Extension);
        if (claim > best) {
            best = claim;
            surest = &format;
        }
    }
    return surest;
}

TPictureClaim ClaimBitmap(std::span<const uint8_t> head, bool /*named*/)
{
    return StartsWith(head, "BM") ? TPictureClaim::Marked : TPictureClaim::None;
}

TPictureClaim ClaimDDS(std::span<const uint8_t> head, bool /*named*/)
{
    return StartsWith(head, "DDS ") ? TPictureClaim::Marked : TPictureClaim::None;
}

// TGA files have no mark: a known type and depth and a size make a plausible header.
TPictureClaim ClaimTGA(std::span<const uint8_t> head, bool named)
{
    if (head.size() < TGAHeaderSize)
        return TPictureClaim::None;
    if (named)
        return TPictureClaim::Named;
    const TByteReader fields(head);
    const uint8_t type = head[TGAHeader::ImageType];
    const uint8_t depth = head[TGAHeader::PixelDepth];
    const bool knownType = type == 1 || type == 2 || type == 3 || type == 9 || type == 10 || type == 11;
    const bool knownDepth = depth == 8 || depth == 15 || depth == 16 || depth == 24 || depth == 32;
    return head[TGAHeader::ColorMapType] <= 1 && knownType && knownDepth && fields.U16(TGAHeader::Width) > 0 &&
                   fields.U16(TGAHeader::Height) > 0
               ? TPictureClaim::Plausible
               : TPictureClaim::None;
}

TImage DecodeBitmapPicture(TStream& source, const TImageLimits& limits)
{
    TBitmap bitmap;
    bitmap.LoadFromStream(source, limits);
    const size_t rowBytes = static_cast<size_t>(bitmap.RowBytes());
    const auto height = static_cast<size_t>(bitmap.Height());
    if (bitmap.PixelBytes().size() < rowBytes * height)
        throw EPictureError("Bitmap holds fewer pixel bytes than its size needs");
    TImage image{bitmap.Width(), bitmap.Height(), RGB, bitmap.TakePixels(),
                 bitmap.CutShort() ? "BMP run-length data cut short" : ""};
    // In place: the bitmap's rows bottom first, then each row's B,G,R turned into R,G,B
    // and its padding dropped (a row moves only towards the start).
    uint8_t* const pixels = image.Pixels.data();
    for (size_t k = 0; k < height / 2; ++k)
        std::swap_ranges(pixels + k * rowBytes, pixels + (k + 1) * rowBytes, pixels + (height - 1 - k) * rowBytes);
    const size_t outRowBytes = static_cast<size_t>(image.Width) * RGB;
    for (size_t y = 0; y < height; ++y) {
        const uint8_t* row = pixels + y * rowBytes;
        uint8_t* out = pixels + y * outRowBytes;
        for (size_t x = 0; x < outRowBytes; x += RGB) {
            const uint8_t blue = row[x];
            const uint8_t green = row[x + 1];
            const uint8_t red = row[x + 2];
            out[x] = red;
            out[x + 1] = green;
            out[x + 2] = blue;
        }
    }
    image.Pixels.resize(outRowBytes * height);
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
    const std::string damage = tga.CutShort() ? "TGA pixel data cut short" : "";
    if (tga.ImageType() == TGAColorMapped && depth == TGAIndexDepth &&
        (entryDepth == TGATrueColorDepth || entryDepth == TGATrueColorAlphaDepth)) {
        require(1);
        const size_t entryBytes = static_cast<size_t>(entryDepth) / 8;
        const std::vector<uint8_t>& map = tga.ColorMap();
        TImage image = Blank(tga.Width(), tga.Height(), static_cast<int>(entryBytes), damage);
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
        TImage image = Blank(tga.Width(), tga.Height(), static_cast<int>(bytes), damage);
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
        TImage image = Blank(tga.Width(), tga.Height(), RGBA, damage);
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
        TImage image = Blank(tga.Width(), tga.Height(), RGB, damage);
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
    dds.LoadFromStream(source, decoded, TDDSBlockCount::Covering);
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
