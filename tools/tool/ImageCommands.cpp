// orvandel-tool info and convert: the game's image files (and the facts of its archives).
//
//   orvandel-tool info game/zones/sky/wisps.tga
//   orvandel-tool convert tex00-07.dds tile.png
//
// The kind of a file is told by its first bytes ("MPAK", "BM", "DDS ", a PCX header),
// TGA files, which have no magic, by their extension or a plausible header. Pictures are
// decoded the way the viewer's readers see them and written top row first: BMP rows
// turned from bottom-up, TGA after the row and pixel order of its descriptor, DDS blocks
// decoded in software, 8-bit PCX through its palette (grey without one).
#include <algorithm>
#include <cctype>
#include <cstdio>
#include <filesystem>
#include <memory>
#include <span>
#include <string>
#include <utility>
#include <vector>

#include "formats/DDSImage.h"
#include "formats/DXT.h"
#include "formats/MPKFile.h"
#include "formats/Pictures.h"
#include "formats/Stream.h"
#include "formats/TGA.h"
#include "tool/ArchiveCommands.h"
#include "tool/Command.h"
#include "writers/ImageWriters.h"
#include "writers/PNG.h"

namespace orvtool {

namespace {

using orv::TImage;

// Files bigger than this are not taken for pictures of the game.
constexpr int64_t MaxImageFileBytes = int64_t{512} << 20;

enum class TKind { MPAK, BMP, TGA, DDS, PCX, Unknown };

// ---- little-endian fields ----

uint32_t U16(std::span<const uint8_t> b, size_t at)
{
    return at + 2 <= b.size() ? uint32_t{b[at]} | uint32_t{b[at + 1]} << 8 : 0;
}

uint32_t U32(std::span<const uint8_t> b, size_t at)
{
    return at + 4 <= b.size() ? U16(b, at) | U16(b, at + 2) << 16 : 0;
}

std::string LowerExtension(const std::string& path)
{
    std::string ext = std::filesystem::path(path).extension().string();
    std::transform(ext.begin(), ext.end(), ext.begin(), [](unsigned char c) { return std::tolower(c); });
    return ext;
}

std::vector<uint8_t> ReadImageFile(const std::string& path)
{
    orv::TFileStream file(path, orv::TFileMode::OpenRead);
    const int64_t size = file.Size();
    if (size > MaxImageFileBytes)
        throw FileError(path, "", "too large for an image (" + std::to_string(size) + " bytes)");
    std::vector<uint8_t> bytes(static_cast<size_t>(size));
    file.ReadBuffer(bytes.data(), size);
    return bytes;
}

// ---- PCX ----

namespace PCX {
constexpr uint8_t Manufacturer = 0x0A;
constexpr size_t HeaderSize = 128;
constexpr size_t Version = 1, Encoding = 2, BitsPerPixel = 3, XMin = 4, YMin = 6, XMax = 8, YMax = 10;
constexpr size_t Planes = 65, BytesPerLine = 66, PaletteInfo = 68;
constexpr uint8_t PaletteMarker = 0x0C;
constexpr size_t PaletteSize = 768;
// The viewer's reader takes bytes above 0xC0 for runs; 0xC0 itself is a data byte.
constexpr uint8_t RunMarker = 0xC0;
constexpr uint8_t RunCountMask = 0x3F;
constexpr size_t MaxRun = 63;
}  // namespace PCX

bool LooksLikePCX(std::span<const uint8_t> b)
{
    return b.size() >= PCX::HeaderSize && b[0] == PCX::Manufacturer && b[PCX::Encoding] <= 1 &&
           (b[PCX::BitsPerPixel] == 1 || b[PCX::BitsPerPixel] == 2 || b[PCX::BitsPerPixel] == 4 ||
            b[PCX::BitsPerPixel] == 8);
}

struct TPCXLayout {
    int Width = 0, Height = 0, Planes = 0, BitsPerPixel = 0, BytesPerLine = 0;
    bool RunLength = false;
};

TPCXLayout ReadPCXLayout(std::span<const uint8_t> b, const std::string& path)
{
    if (b.size() < PCX::HeaderSize)
        throw FileError(path, "", "PCX header cut short (" + std::to_string(b.size()) + " bytes)");
    TPCXLayout l;
    const int xmin = static_cast<int>(U16(b, PCX::XMin)), xmax = static_cast<int>(U16(b, PCX::XMax));
    const int ymin = static_cast<int>(U16(b, PCX::YMin)), ymax = static_cast<int>(U16(b, PCX::YMax));
    if (xmax < xmin || ymax < ymin)
        throw FileError(path, "", "PCX window " + std::to_string(xmin) + "," + std::to_string(ymin) + " to " +
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
TImage DecodePCX(std::span<const uint8_t> b, const std::string& path)
{
    const TPCXLayout l = ReadPCXLayout(b, path);
    if (l.BitsPerPixel != 8 || (l.Planes != 1 && l.Planes != 3))
        throw FileError(path, "", "unsupported PCX: " + std::to_string(l.BitsPerPixel) + " bits per pixel in " +
                                      std::to_string(l.Planes) + " planes (8 bits in 1 or 3 planes are read)");
    if (l.BytesPerLine < l.Width)
        throw FileError(path, "", "PCX lines of " + std::to_string(l.BytesPerLine) + " bytes cannot hold " +
                                      std::to_string(l.Width) + " pixels");
    const size_t lineBytes = static_cast<size_t>(l.BytesPerLine) * l.Planes;
    const size_t total = lineBytes * static_cast<size_t>(l.Height);
    const size_t available = b.size() - PCX::HeaderSize;
    // Two bytes of run-length data give at most 63 pixel bytes.
    const size_t mostPossible = l.RunLength ? (available / 2 + 1) * PCX::MaxRun : available;
    if (total > mostPossible)
        throw FileError(path, "", "PCX data cut short: " + std::to_string(available) + " bytes cannot hold " +
                                      std::to_string(l.Width) + " x " + std::to_string(l.Height) + " pixels");

    std::vector<uint8_t> decoded(total);
    size_t in = PCX::HeaderSize;
    size_t out = 0;
    while (out < total) {
        if (in >= b.size())
            throw FileError(path, "", "PCX data cut short after " + std::to_string(out / lineBytes) + " of " +
                                          std::to_string(l.Height) + " lines");
        uint8_t value = b[in++];
        size_t count = 1;
        if (l.RunLength && value > PCX::RunMarker) {
            count = value & PCX::RunCountMask;
            if (in >= b.size())
                throw FileError(path, "", "PCX data cut short inside a run");
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

// ---- TGA ----

namespace TGA {
constexpr size_t IDLength = 0, ColorMapType = 1, ImageType = 2, ColorMapFirst = 3, ColorMapLength = 5,
                 ColorMapEntrySize = 7, XOrigin = 8, YOrigin = 10, Width = 12, Height = 14, PixelDepth = 16,
                 Descriptor = 17;
constexpr uint8_t RightToLeft = 0x10, TopToBottom = 0x20, AlphaBits = 0x0F;
}  // namespace TGA

bool LooksLikeTGA(std::span<const uint8_t> b, const std::string& path)
{
    if (b.size() < orv::TGAHeaderSize)
        return false;
    if (LowerExtension(path) == ".tga")
        return true;
    const uint8_t type = b[TGA::ImageType];
    const uint8_t depth = b[TGA::PixelDepth];
    const bool knownType = type == 1 || type == 2 || type == 3 || type == 9 || type == 10 || type == 11;
    const bool knownDepth = depth == 8 || depth == 15 || depth == 16 || depth == 24 || depth == 32;
    return b[TGA::ColorMapType] <= 1 && knownType && knownDepth && U16(b, TGA::Width) > 0 && U16(b, TGA::Height) > 0;
}

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

TImage DecodeTGA(const std::string& path)
{
    orv::TFileStream file(path, orv::TFileMode::OpenRead);
    orv::TTGAImage tga;
    tga.LoadFromStream(file);
    const int bytes = tga.BytesPerPixel();
    const bool trueColour = tga.ImageType() == 2 && (bytes == 3 || bytes == 4);
    const bool grey = tga.ImageType() == 3 && bytes == 1;
    if (!trueColour && !grey)
        throw FileError(path, "", "unsupported TGA: " + TGATypeName(tga.ImageType()) + " with " +
                                      std::to_string(tga.PixelDepth()) +
                                      " bits per pixel (24- and 32-bit true-colour and 8-bit grey are read)");
    TImage image{tga.Width(), tga.Height(), bytes == 4 ? 4 : 3, {}};
    const size_t pixels = static_cast<size_t>(image.Width) * image.Height;
    if (tga.DataSize() < pixels * bytes)
        throw FileError(path, "", "TGA pixel data smaller than its header says");
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

// ---- BMP ----

std::string BMPCompressionName(uint32_t compression)
{
    switch (compression) {
    case 0: return "none (BI_RGB)";
    case 1: return "RLE8";
    case 2: return "RLE4";
    case 3: return "bit fields";
    case 4: return "JPEG";
    case 5: return "PNG";
    case 6: return "bit fields with alpha";
    default: return "unknown";
    }
}

TImage DecodeBMP(const std::string& path)
{
    orv::TFileStream file(path, orv::TFileMode::OpenRead);
    return orv::DecodeBitmapPicture(file);
}

// ---- DDS ----

namespace DDS {
constexpr size_t HeaderSize = 4, Flags = 8, Height = 12, Width = 16, LinearSize = 20, Depth = 24, MipMaps = 28,
                 FormatFlags = 80, FourCC = 84, BitCount = 88, Caps = 108;
constexpr uint32_t FourCCFlag = 0x4;
}  // namespace DDS

std::string FourCCText(uint32_t code)
{
    std::string text;
    for (int i = 0; i < 4; ++i) {
        const auto c = static_cast<unsigned char>(code >> (8 * i));
        text += std::isprint(c) ? static_cast<char>(c) : '?';
    }
    return text;
}

std::string GLFormatName(uint32_t format)
{
    switch (format) {
    case orv::GL_COMPRESSED_RGBA_S3TC_DXT1: return "DXT1";
    case orv::GL_COMPRESSED_RGBA_S3TC_DXT3: return "DXT3";
    case orv::GL_COMPRESSED_RGBA_S3TC_DXT5: return "DXT5";
    default: return "unknown";
    }
}

std::unique_ptr<orv::TDDSImage> LoadDDS(const std::string& path)
{
    orv::TFileStream file(path, orv::TFileMode::OpenRead);
    auto dds = std::make_unique<orv::TDDSImage>();
    dds->LoadFromStream(file);
    return dds;
}

TImage DecodeDDS(const std::string& path)
{
    const std::unique_ptr<orv::TDDSImage> loaded = LoadDDS(path);
    const orv::TDDSImage& dds = *loaded;
    TImage image{static_cast<int>(dds.Width()), static_cast<int>(dds.Height()), 4, {}};
    image.Pixels = orv::DecodeDXT(dds.GLFormat(), dds.Width(), dds.Height(),
                                  {dds.Data(), static_cast<size_t>(dds.DataSize())});
    // DXT1 tiles without a transparent texel make an RGB picture.
    if (dds.GLFormat() == orv::GL_COMPRESSED_RGBA_S3TC_DXT1) {
        bool opaque = true;
        for (size_t i = 3; i < image.Pixels.size() && opaque; i += 4)
            opaque = image.Pixels[i] == 0xFF;
        if (opaque) {
            std::vector<uint8_t> rgb;
            rgb.reserve(image.Pixels.size() / 4 * 3);
            for (size_t i = 0; i < image.Pixels.size(); i += 4)
                rgb.insert(rgb.end(), image.Pixels.begin() + static_cast<std::ptrdiff_t>(i),
                           image.Pixels.begin() + static_cast<std::ptrdiff_t>(i) + 3);
            image.Pixels = std::move(rgb);
            image.Channels = 3;
        }
    }
    return image;
}

// ---- kinds ----

std::vector<uint8_t> ReadHead(const std::string& path, size_t count)
{
    orv::TFileStream file(path, orv::TFileMode::OpenRead);
    std::vector<uint8_t> head(count);
    head.resize(static_cast<size_t>(file.Read(head.data(), static_cast<int64_t>(count))));
    return head;
}

TKind DetectKind(const std::string& path, std::span<const uint8_t> head)
{
    auto starts = [&](std::string_view magic) {
        return head.size() >= magic.size() && std::equal(magic.begin(), magic.end(), head.begin());
    };
    if (starts(orv::MPKMagic))
        return TKind::MPAK;
    if (starts("DDS "))
        return TKind::DDS;
    if (starts("BM"))
        return TKind::BMP;
    if (LooksLikePCX(head) || (LowerExtension(path) == ".pcx" && !head.empty()))
        return TKind::PCX;
    if (LooksLikeTGA(head, path))
        return TKind::TGA;
    return TKind::Unknown;
}

constexpr size_t HeadBytes = 128;

[[noreturn]] void Unknown(const std::string& path)
{
    throw FileError(path, "", "not an MPAK archive, BMP, TGA, DDS or PCX file");
}

// ---- info ----

void Fact(const char* name, const std::string& value)
{
    std::printf("%-20s %s\n", (std::string(name) + ":").c_str(), value.c_str());
}

void Fact(const char* name, int64_t value)
{
    Fact(name, std::to_string(value));
}

std::string Hex(uint32_t value)
{
    char text[16];
    std::snprintf(text, sizeof text, "0x%X", value);
    return text;
}

void DescribeMPAK(const std::string& path)
{
    const std::unique_ptr<orv::TMPKFile> archive = OpenArchive(path);
    const orv::TMPKDirectoryEntryList& directory = archive->Directory();
    int64_t size = 0, packed = 0;
    for (int i = 0; i < directory.Count(); ++i) {
        size += directory.Items(i).UncompressedSize;
        packed += directory.Items(i).CompressedSize;
    }
    Fact("Format", "MPAK archive");
    Fact("Archive name", archive->ArchiveName());
    Fact("Members", directory.Count());
    Fact("Member bytes", size);
    Fact("Packed bytes", packed);
    Fact("File size", static_cast<int64_t>(std::filesystem::file_size(path)));
    if (auto damage = ArchiveDamage(path, *archive))
        throw FileError(path, "", *damage);
}

void DescribeBMP(const std::string& path, std::span<const uint8_t> b)
{
    constexpr size_t CoreHeaderEnd = 26;
    constexpr uint32_t CoreHeaderSize = 12;
    if (b.size() < CoreHeaderEnd)
        throw FileError(path, "", "BMP header cut short");
    const uint32_t headerSize = U32(b, 14);
    Fact("Format", "BMP");
    Fact("File size field", U32(b, 2));
    Fact("Pixel data offset", U32(b, 10));
    Fact("Header size", headerSize);
    if (headerSize == CoreHeaderSize) {
        Fact("Width", U16(b, 18));
        Fact("Height", U16(b, 20));
        Fact("Bits per pixel", U16(b, 24));
    } else {
        const auto height = static_cast<int32_t>(U32(b, 22));
        Fact("Width", static_cast<int32_t>(U32(b, 18)));
        Fact("Height", height);
        Fact("Row order", height < 0 ? "top row first" : "bottom row first");
        Fact("Bits per pixel", U16(b, 28));
        Fact("Compression", BMPCompressionName(U32(b, 30)));
        Fact("Image size field", U32(b, 34));
        Fact("Colours used", U32(b, 46));
    }
    DecodeBMP(path);   // the reader must take it too
}

void DescribeTGA(const std::string& path, std::span<const uint8_t> b)
{
    if (b.size() < orv::TGAHeaderSize)
        throw FileError(path, "", "TGA header cut short");
    const uint8_t d = b[TGA::Descriptor];
    Fact("Format", "TGA");
    Fact("Image type", std::to_string(b[TGA::ImageType]) + " (" + TGATypeName(b[TGA::ImageType]) + ")");
    Fact("ID length", b[TGA::IDLength]);
    Fact("Colour map", b[TGA::ColorMapType] == 1 ? std::to_string(U16(b, TGA::ColorMapLength)) + " entries of " +
                                                       std::to_string(b[TGA::ColorMapEntrySize]) + " bits from " +
                                                       std::to_string(U16(b, TGA::ColorMapFirst))
                                                 : std::string("none"));
    Fact("Origin", std::to_string(U16(b, TGA::XOrigin)) + "," + std::to_string(U16(b, TGA::YOrigin)));
    Fact("Width", U16(b, TGA::Width));
    Fact("Height", U16(b, TGA::Height));
    Fact("Pixel depth", b[TGA::PixelDepth]);
    Fact("Descriptor", Hex(d) + " (" + std::to_string(d & TGA::AlphaBits) + " alpha bits, rows " +
                           ((d & TGA::TopToBottom) ? "top to bottom" : "bottom to top") + ", pixels " +
                           ((d & TGA::RightToLeft) ? "right to left" : "left to right") + ")");
    orv::TFileStream file(path, orv::TFileMode::OpenRead);
    orv::TTGAImage tga;
    tga.LoadFromStream(file);
}

void DescribeDDS(const std::string& path, std::span<const uint8_t> b)
{
    constexpr size_t FullHeader = 128;
    if (b.size() < FullHeader)
        throw FileError(path, "", "DDS header cut short (" + std::to_string(b.size()) + " bytes)");
    const uint32_t formatFlags = U32(b, DDS::FormatFlags);
    Fact("Format", "DDS");
    Fact("Header size", U32(b, DDS::HeaderSize));
    Fact("Flags", Hex(U32(b, DDS::Flags)));
    Fact("Width", U32(b, DDS::Width));
    Fact("Height", U32(b, DDS::Height));
    Fact("Pitch or size", U32(b, DDS::LinearSize));
    Fact("Depth", U32(b, DDS::Depth));
    Fact("Mipmap count", U32(b, DDS::MipMaps));
    Fact("Pixel format flags", Hex(formatFlags));
    if (formatFlags & DDS::FourCCFlag)
        Fact("FourCC", FourCCText(U32(b, DDS::FourCC)));
    else
        Fact("RGB bit count", U32(b, DDS::BitCount));
    Fact("Caps", Hex(U32(b, DDS::Caps)));
    const std::unique_ptr<orv::TDDSImage> dds = LoadDDS(path);
    Fact("Compression", GLFormatName(dds->GLFormat()));
    Fact("Top level bytes", dds->DataSize());
}

void DescribePCX(const std::string& path, std::span<const uint8_t> b)
{
    const TPCXLayout l = ReadPCXLayout(b, path);
    Fact("Format", "PCX");
    Fact("Version", b[PCX::Version]);
    Fact("Encoding", l.RunLength ? "run-length" : "none");
    Fact("Bits per pixel", l.BitsPerPixel);
    Fact("Planes", l.Planes);
    Fact("Window", std::to_string(U16(b, PCX::XMin)) + "," + std::to_string(U16(b, PCX::YMin)) + " to " +
                       std::to_string(U16(b, PCX::XMax)) + "," + std::to_string(U16(b, PCX::YMax)));
    Fact("Width", l.Width);
    Fact("Height", l.Height);
    Fact("Bytes per line", l.BytesPerLine);
    Fact("Palette info", U16(b, PCX::PaletteInfo));
    DecodePCX(b, path);
    const bool palette = b.size() >= PCX::HeaderSize + PCX::PaletteSize + 1 &&
                         b[b.size() - PCX::PaletteSize - 1] == PCX::PaletteMarker;
    Fact("Palette", palette && l.Planes == 1 ? "256 colours after the data" : "none");
}

int Info(const std::string& path)
{
    orv::NamingFailures(path, "", [&] {
        const std::vector<uint8_t> head = ReadHead(path, HeadBytes);
        const TKind kind = DetectKind(path, head);
        std::printf("%s\n", path.c_str());
        switch (kind) {
        case TKind::MPAK: DescribeMPAK(path); break;
        case TKind::BMP: DescribeBMP(path, head); break;
        case TKind::TGA: DescribeTGA(path, head); break;
        case TKind::DDS: DescribeDDS(path, head); break;
        case TKind::PCX: DescribePCX(path, ReadImageFile(path)); break;
        case TKind::Unknown: Unknown(path);
        }
    });
    return 0;
}

// ---- convert ----

TImage DecodeImage(const std::string& path)
{
    const std::vector<uint8_t> head = ReadHead(path, HeadBytes);
    switch (DetectKind(path, head)) {
    case TKind::BMP: return DecodeBMP(path);
    case TKind::TGA: return DecodeTGA(path);
    case TKind::DDS: return DecodeDDS(path);
    case TKind::PCX: return DecodePCX(ReadImageFile(path), path);
    case TKind::MPAK:
        throw FileError(path, "", "an MPAK archive, not an image (extract its members first)");
    case TKind::Unknown: break;
    }
    Unknown(path);
}

int Convert(const std::string& path, const std::string& out)
{
    constexpr int BitDepth = 8;
    const TImage image = orv::NamingFailures(path, "", [&] { return DecodeImage(path); });
    orv::NamingFailures(out, "", [&] { orv::WritePNG(out, image.Width, image.Height, image.Channels, BitDepth, image.Pixels); });
    std::printf("%s: %d x %d %s\n", out.c_str(), image.Width, image.Height, image.Channels == 4 ? "RGBA" : "RGB");
    return 0;
}

const TCommandRegistration InfoRegistration{
    "info", "Show the header facts of an MPAK, BMP, TGA, DDS or PCX file", [](CLI::App& command) -> TRun {
        auto path = std::make_shared<std::string>();
        command.add_option("FILE", *path, "the file")->required();
        command.footer("Prints the file's kind and the fields of its header, one per line, then reads the\n"
                       "file as the viewer would and fails (exit code 1) when that does not succeed.\n"
                       "\n"
                       "Example:\n"
                       "  orvandel-tool info game/zones/sky/wisps.tga");
        return [path] { return Info(*path); };
    }};

const TCommandRegistration ConvertRegistration{
    "convert", "Convert a BMP, TGA, DDS or PCX image into a PNG file", [](CLI::App& command) -> TRun {
        auto paths = std::make_shared<std::pair<std::string, std::string>>();
        command.add_option("IMAGE", paths->first, "the image to read")->required();
        command.add_option("OUT.png", paths->second, "the PNG file to write")->required();
        command.footer("Decodes the image as the viewer's readers see it and writes it top row first:\n"
                       "  BMP   any depth the viewer reads, as RGB\n"
                       "  TGA   24-bit as RGB, 32-bit as RGBA, 8-bit grey as RGB; rows and pixels in the\n"
                       "        order the image descriptor gives\n"
                       "  DDS   DXT1, DXT3 and DXT5 decoded in software; RGBA, or RGB for DXT1 without\n"
                       "        transparent texels\n"
                       "  PCX   8 bits in one plane through the palette at the end of the file (grey when\n"
                       "        there is none), or in three planes as RGB\n"
                       "\n"
                       "Examples:\n"
                       "  orvandel-tool extract game/zones/zone111/dat111.mpk terrain.pcx -d /tmp\n"
                       "  orvandel-tool convert /tmp/terrain.pcx terrain.png");
        return [paths] { return Convert(paths->first, paths->second); };
    }};

}  // namespace

}  // namespace orvtool
