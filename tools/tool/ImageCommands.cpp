// orvandel-tool info and convert: the game's image files (and the facts of its archives).
//
//   orvandel-tool info game/zones/sky/wisps.tga
//   orvandel-tool convert tex00-07.dds tile.png
//
// How a file's kind is told and its picture decoded is ImageDecoding's; here are the
// commands and the header facts info prints.
#include <cctype>
#include <cstdio>
#include <memory>
#include <span>
#include <string>
#include <utility>
#include <vector>

#include "formats/DDSImage.h"
#include "formats/MPKFile.h"
#include "formats/PCXPicture.h"
#include "formats/Pictures.h"
#include "formats/Stream.h"
#include "formats/TGA.h"
#include "tool/ArchiveCommands.h"
#include "tool/Command.h"
#include "tool/ImageDecoding.h"
#include "writers/PNG.h"

namespace orvtool {

namespace {

using orv::TImage;
namespace TGA = orv::TGAHeader;

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

// ---- TGA ----

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

// ---- info ----

void Fact(const char* name, const std::string& value)
{
    std::printf("%-20s %s\n", (std::string(name) + ":").c_str(), Printable(value).c_str());
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
    Fact("File size", orv::TFileStream(path, orv::TFileMode::OpenRead).Size());
    if (auto damage = ArchiveDamage(*archive))
        throw FileError(path, "", *damage);
}

void DescribeBMP(orv::TStream& /*file*/, const std::string& path, std::span<const uint8_t> b)
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
}

void DescribeTGA(orv::TStream& /*file*/, const std::string& path, std::span<const uint8_t> b)
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
    Fact("Descriptor", Hex(d) + " (" + std::to_string(d & orv::TGAAlphaBits) + " alpha bits, rows " +
                           ((d & orv::TGATopToBottom) ? "top to bottom" : "bottom to top") + ", pixels " +
                           ((d & orv::TGARightToLeft) ? "right to left" : "left to right") + ")");
}

void DescribeDDS(orv::TStream& file, const std::string& path, std::span<const uint8_t> b)
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
    // As the viewer reads it for its compressed upload.
    orv::TDDSImage dds;
    dds.LoadFromStream(file, {}, orv::TDDSBlockCount::Covering);
    Fact("Compression", GLFormatName(dds.GLFormat()));
    Fact("Top level bytes", dds.DataSize());
}

void DescribePCX(orv::TStream& file, const std::string& /*path*/, std::span<const uint8_t> b)
{
    using namespace orv::PCXHeader;
    const orv::TPCXLayout l = orv::ReadPCXLayout(b);
    Fact("Format", "PCX");
    Fact("Version", b[Version]);
    Fact("Encoding", l.RunLength ? "run-length" : "none");
    Fact("Bits per pixel", l.BitsPerPixel);
    Fact("Planes", l.Planes);
    Fact("Window", std::to_string(U16(b, XMin)) + "," + std::to_string(U16(b, YMin)) + " to " +
                       std::to_string(U16(b, XMax)) + "," + std::to_string(U16(b, YMax)));
    Fact("Width", l.Width);
    Fact("Height", l.Height);
    Fact("Bytes per line", l.BytesPerLine);
    Fact("Palette info", U16(b, PaletteInfo));
    // The palette's marker byte, where it stands when there is one.
    constexpr int64_t PaletteWithMarker = PaletteSize + 1;
    uint8_t marker = 0;
    if (file.Size() >= orv::PCXHeaderSize + PaletteWithMarker) {
        file.SetPosition(file.Size() - PaletteWithMarker);
        file.Read(&marker, 1);
    }
    const bool palette = marker == PaletteMarker;
    Fact("Palette", palette && l.Planes == 1 ? "256 colours after the data" : "none");
}

using TDescribe = void (*)(orv::TStream& file, const std::string& path, std::span<const uint8_t> head);

// The header facts of the formats that have them, by the format's name.
TDescribe DescriberOf(std::string_view format)
{
    const std::pair<std::string_view, TDescribe> describers[] = {
        {"BMP", DescribeBMP}, {"TGA", DescribeTGA}, {"DDS", DescribeDDS}, {"PCX", DescribePCX}};
    for (const auto& [name, describe] : describers)
        if (name == format)
            return describe;
    return nullptr;
}

int Info(const std::string& path)
{
    orv::NamingFailures(path, "", [&] {
        orv::TFileStream file(path, orv::TFileMode::OpenRead);
        const std::vector<uint8_t> head = ReadHead(file);
        std::printf("%s\n", Printable(path).c_str());
        if (IsArchive(head)) {
            DescribeMPAK(path);
            return;
        }
        const orv::TPictureFormat& format = PictureFormatOf(head, path);
        const TDescribe describe = DescriberOf(format.Name);
        if (describe)
            describe(file, path, head);
        else
            Fact("Format", std::string(format.Name));
        // The file read as the viewer reads it (DDS: its compressed blocks, above).
        if (format.Decode == orv::DecodeDDSPicture)
            return;
        file.SetPosition(0);
        const TImage image = format.Decode(file, {});
        if (!describe)
            Fact("Size", std::to_string(image.Width) + " x " + std::to_string(image.Height) + " pixels");
        if (!image.Damage.empty())
            Fact("Damage", image.Damage + ": the viewer shows the rest as read");
    });
    return 0;
}

// ---- convert ----

int Convert(const std::string& path, const std::string& out)
{
    constexpr int BitDepth = 8;
    const TImage image = orv::NamingFailures(path, "", [&] { return DecodeImage(path); });
    orv::NamingFailures(out, "", [&] { orv::WritePNG(out, image.Width, image.Height, image.Channels, BitDepth, image.Pixels); });
    std::printf("%s: %d x %d %s\n", Printable(out).c_str(), image.Width, image.Height, image.Channels == 4 ? "RGBA" : "RGB");
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
        command.add_option("OUT.png", paths->second, "the PNG file to write")->required()->check(OutputExtension({".png"}));
        command.footer("Decodes the image as the viewer's readers see it and writes it top row first:\n"
                       "  BMP   any depth the viewer reads, as RGB\n"
                       "  TGA   24-bit as RGB, 32- and 16-bit as RGBA, 8-bit grey as RGB, colour-mapped\n"
                       "        through its map; rows and pixels in the order the image descriptor gives\n"
                       "  DDS   DXT1, DXT3 and DXT5 decoded in software; RGBA, or RGB for DXT1 without\n"
                       "        transparent texels\n"
                       "  PCX   8 bits in one plane through the palette at the end of the file (grey when\n"
                       "        there is none), or in three planes as RGB\n"
                       "A file that ends before its pixels do is refused.\n"
                       "\n"
                       "Examples:\n"
                       "  orvandel-tool extract game/zones/zone111/dat111.mpk terrain.pcx -d /tmp\n"
                       "  orvandel-tool convert /tmp/terrain.pcx terrain.png");
        return [paths] { return Convert(paths->first, paths->second); };
    }};

}  // namespace

}  // namespace orvtool
