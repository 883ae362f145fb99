// ImageDecoding: telling the game's files apart and decoding their pictures.
#include "tool/ImageDecoding.h"

#include <algorithm>
#include <string_view>
#include <utility>

#include "base/TextCase.h"
#include "formats/DXT.h"
#include "formats/MPKFile.h"
#include "formats/Pictures.h"
#include "formats/TGA.h"
#include "tool/FileError.h"

namespace orvtool {

using orv::TImage;

namespace {

// Files bigger than this are not taken for pictures of the game.
constexpr int64_t MaxImageFileBytes = int64_t{512} << 20;

bool LooksLikePCX(std::span<const uint8_t> b)
{
    return b.size() >= PCX::HeaderSize && b[0] == PCX::Manufacturer && b[PCX::Encoding] <= 1 &&
           (b[PCX::BitsPerPixel] == 1 || b[PCX::BitsPerPixel] == 2 || b[PCX::BitsPerPixel] == 4 ||
            b[PCX::BitsPerPixel] == 8);
}

bool LooksLikeTGA(std::span<const uint8_t> b, const std::string& name)
{
    using namespace orv::TGAHeader;
    if (b.size() < orv::TGAHeaderSize)
        return false;
    if (orv::FoldedExtension(name) == ".tga")
        return true;
    const uint8_t type = b[ImageType];
    const uint8_t depth = b[PixelDepth];
    const bool knownType = type == 1 || type == 2 || type == 3 || type == 9 || type == 10 || type == 11;
    const bool knownDepth = depth == 8 || depth == 15 || depth == 16 || depth == 24 || depth == 32;
    return b[ColorMapType] <= 1 && knownType && knownDepth && U16(b, Width) > 0 && U16(b, Height) > 0;
}

TImage DecodeTGA(orv::TStream& source, const std::string& name)
{
    orv::TTGAImage tga;
    tga.LoadFromStream(source);
    const int bytes = tga.BytesPerPixel();
    const bool trueColour = tga.ImageType() == 2 && (bytes == 3 || bytes == 4);
    const bool grey = tga.ImageType() == 3 && bytes == 1;
    if (!trueColour && !grey)
        throw FileError(name, "", "unsupported TGA: " + TGATypeName(tga.ImageType()) + " with " +
                                      std::to_string(tga.PixelDepth()) +
                                      " bits per pixel (24- and 32-bit true-colour and 8-bit grey are read)");
    TImage image{tga.Width(), tga.Height(), bytes == 4 ? 4 : 3, {}};
    const size_t pixels = static_cast<size_t>(image.Width) * image.Height;
    if (tga.DataSize() < pixels * bytes)
        throw FileError(name, "", "TGA pixel data smaller than its header says");
    image.Pixels.resize(pixels * image.Channels);
    const uint8_t* in = tga.Data();
    for (size_t i = 0; i < pixels; ++i, in += bytes) {
        uint8_t* p = image.Pixels.data() + i * image.Channels;
        if (grey) {
            std::fill_n(p, 3, in[0]);
        } else {
            p[0] = in[2];
            p[1] = in[1];
            p[2] = in[0];
            if (bytes == 4)
                p[3] = in[3];
        }
    }
    return image;
}

TImage DecodeDDS(orv::TStream& source)
{
    const std::unique_ptr<orv::TDDSImage> loaded = LoadDDS(source);
    const orv::TDDSImage& dds = *loaded;
    TImage image{static_cast<int>(dds.Width()), static_cast<int>(dds.Height()), 4, {}};
    image.Pixels = orv::DecodeDXT(dds.GLFormat(), dds.Width(), dds.Height(),
                                  {dds.Data(), static_cast<size_t>(dds.DataSize())});
    // DXT1 tiles without a transparent texel make an RGB picture.
    if (dds.GLFormat() == orv::GL_COMPRESSED_RGBA_S3TC_DXT1) {
        bool opaque = true;
        for (size_t i = 3; i < image.Pixels.size() && opaque; i += 4)
            opaque = image.Pixels[i] == 0xFF;
        if (opaque)
            return orv::WithoutAlpha(std::move(image));
    }
    return image;
}

}  // namespace

// ---- kinds ----

std::vector<uint8_t> ReadHead(orv::TStream& source)
{
    source.SetPosition(0);
    std::vector<uint8_t> head(HeadBytes);
    head.resize(static_cast<size_t>(source.Read(head.data(), static_cast<int64_t>(HeadBytes))));
    source.SetPosition(0);
    return head;
}

TFileKind DetectKind(const std::string& name, std::span<const uint8_t> head)
{
    auto starts = [&](std::string_view magic) {
        return head.size() >= magic.size() && std::equal(magic.begin(), magic.end(), head.begin());
    };
    if (starts(orv::MPKMagic))
        return TFileKind::MPAK;
    if (starts("DDS "))
        return TFileKind::DDS;
    if (starts("BM"))
        return TFileKind::BMP;
    if (LooksLikePCX(head) || (orv::FoldedExtension(name) == ".pcx" && !head.empty()))
        return TFileKind::PCX;
    if (LooksLikeTGA(head, name))
        return TFileKind::TGA;
    return TFileKind::Unknown;
}

void ThrowUnknownKind(const std::string& name)
{
    throw FileError(name, "", "not an MPAK archive, BMP, TGA, DDS or PCX file");
}

std::vector<uint8_t> ReadImageBytes(orv::TStream& source, const std::string& name)
{
    const int64_t size = source.Size();
    if (size > MaxImageFileBytes)
        throw FileError(name, "", "too large for an image (" + std::to_string(size) + " bytes)");
    std::vector<uint8_t> bytes(static_cast<size_t>(size));
    source.SetPosition(0);
    source.ReadBuffer(bytes.data(), size);
    return bytes;
}

// ---- PCX ----

TPCXLayout ReadPCXLayout(std::span<const uint8_t> b, const std::string& name)
{
    if (b.size() < PCX::HeaderSize)
        throw FileError(name, "", "PCX header cut short (" + std::to_string(b.size()) + " bytes)");
    TPCXLayout l;
    const int xmin = static_cast<int>(U16(b, PCX::XMin)), xmax = static_cast<int>(U16(b, PCX::XMax));
    const int ymin = static_cast<int>(U16(b, PCX::YMin)), ymax = static_cast<int>(U16(b, PCX::YMax));
    if (xmax < xmin || ymax < ymin)
        throw FileError(name, "", "PCX window " + std::to_string(xmin) + "," + std::to_string(ymin) + " to " +
                                      std::to_string(xmax) + "," + std::to_string(ymax) + " is empty");
    l.Width = xmax - xmin + 1;
    l.Height = ymax - ymin + 1;
    l.Planes = b[PCX::Planes];
    l.BitsPerPixel = b[PCX::BitsPerPixel];
    l.BytesPerLine = static_cast<int>(U16(b, PCX::BytesPerLine));
    l.RunLength = b[PCX::Encoding] == 1;
    return l;
}

// The decoded scan lines of an 8-bit PCX with one (palette or grey) or three (RGB) planes.
TImage DecodePCX(std::span<const uint8_t> b, const std::string& name)
{
    const TPCXLayout l = ReadPCXLayout(b, name);
    if (l.BitsPerPixel != 8 || (l.Planes != 1 && l.Planes != 3))
        throw FileError(name, "", "unsupported PCX: " + std::to_string(l.BitsPerPixel) + " bits per pixel in " +
                                      std::to_string(l.Planes) + " planes (8 bits in 1 or 3 planes are read)");
    if (l.BytesPerLine < l.Width)
        throw FileError(name, "", "PCX lines of " + std::to_string(l.BytesPerLine) + " bytes cannot hold " +
                                      std::to_string(l.Width) + " pixels");
    const size_t lineBytes = static_cast<size_t>(l.BytesPerLine) * l.Planes;
    const size_t total = lineBytes * static_cast<size_t>(l.Height);
    const size_t available = b.size() - PCX::HeaderSize;
    // Two bytes of run-length data give at most 63 pixel bytes.
    const size_t mostPossible = l.RunLength ? (available / 2 + 1) * PCX::MaxRun : available;
    if (total > mostPossible)
        throw FileError(name, "", "PCX data cut short: " + std::to_string(available) + " bytes cannot hold " +
                                      std::to_string(l.Width) + " x " + std::to_string(l.Height) + " pixels");

    std::vector<uint8_t> decoded(total);
    size_t in = PCX::HeaderSize;
    size_t out = 0;
    while (out < total) {
        if (in >= b.size())
            throw FileError(name, "", "PCX data cut short after " + std::to_string(out / lineBytes) + " of " +
                                          std::to_string(l.Height) + " lines");
        uint8_t value = b[in++];
        size_t count = 1;
        if (l.RunLength && value > PCX::RunMarker) {
            count = value & PCX::RunCountMask;
            if (in >= b.size())
                throw FileError(name, "", "PCX data cut short inside a run");
            value = b[in++];
        }
        // A run may cross a line, but not the end of the picture.
        count = std::min(count, total - out);
        std::fill_n(decoded.begin() + static_cast<std::ptrdiff_t>(out), count, value);
        out += count;
    }

    const bool palette = l.Planes == 1 && b.size() >= in + PCX::PaletteSize + 1 &&
                         b[b.size() - PCX::PaletteSize - 1] == PCX::PaletteMarker;
    const uint8_t* colors = palette ? b.data() + b.size() - PCX::PaletteSize : nullptr;
    TImage image{l.Width, l.Height, 3, {}};
    image.Pixels.resize(static_cast<size_t>(l.Width) * l.Height * 3);
    for (int y = 0; y < l.Height; ++y) {
        const uint8_t* line = decoded.data() + static_cast<size_t>(y) * lineBytes;
        for (int x = 0; x < l.Width; ++x) {
            uint8_t* p = image.Pixels.data() + (static_cast<size_t>(y) * l.Width + x) * 3;
            if (l.Planes == 3) {
                for (int c = 0; c < 3; ++c)
                    p[c] = line[static_cast<size_t>(c) * l.BytesPerLine + x];
            } else if (colors) {
                std::copy_n(colors + 3 * line[x], 3, p);
            } else {
                std::fill_n(p, 3, line[x]);
            }
        }
    }
    return image;
}

// ---- TGA and DDS ----

std::string TGATypeName(uint8_t type)
{
    switch (type) {
    case 0: return "no image data";
    case 1: return "colour-mapped";
    case 2: return "true-colour";
    case 3: return "grey";
    case 9: return "colour-mapped, run-length encoded";
    case 10: return "true-colour, run-length encoded";
    case 11: return "grey, run-length encoded";
    default: return "unknown";
    }
}

std::unique_ptr<orv::TDDSImage> LoadDDS(orv::TStream& source)
{
    auto dds = std::make_unique<orv::TDDSImage>();
    dds->LoadFromStream(source);
    return dds;
}

// ---- any picture ----

namespace {

TImage DecodeByKind(orv::TStream& source, const std::string& name)
{
    const std::vector<uint8_t> head = ReadHead(source);
    switch (DetectKind(name, head)) {
    case TFileKind::BMP: return orv::DecodeBitmapPicture(source);
    case TFileKind::TGA: return DecodeTGA(source, name);
    case TFileKind::DDS: return DecodeDDS(source);
    case TFileKind::PCX: return DecodePCX(ReadImageBytes(source, name), name);
    case TFileKind::MPAK:
        throw FileError(name, "", "an MPAK archive, not an image (extract its members first)");
    case TFileKind::Unknown: break;
    }
    ThrowUnknownKind(name);
}

}  // namespace

TImage DecodeImage(orv::TStream& source, const std::string& name)
{
    TImage image = DecodeByKind(source, name);
    // The readers take a header of no width or no height (the viewer shows nothing); a
    // picture to write needs a pixel.
    if (image.Width <= 0 || image.Height <= 0)
        throw FileError(name, "", "an image of " + std::to_string(image.Width) + " x " +
                                      std::to_string(image.Height) + " pixels, nothing to convert");
    return image;
}

TImage DecodeImage(const std::string& path)
{
    orv::TFileStream file(path, orv::TFileMode::OpenRead);
    return DecodeImage(file, path);
}

}  // namespace orvtool
