// ImageDecoding: how orvandel-tool tells the game's files apart and decodes its pictures
// (info and convert), without the command line, so that a fuzz target can run it too.
//
//   const TImage image = DecodeImage("tex00-07.dds");      // errors name the file
//   const TImage same = DecodeImage(stream, "tile.dds");   // any stream; the name tells
//                                                           // TGA and PCX and names errors
//
// The kind of a file is told by its first bytes ("MPAK", "BM", "DDS ", a PCX header),
// TGA files, which have no magic, by their extension or a plausible header. Pictures are
// decoded the way the viewer's readers see them and written top row first: BMP rows
// turned from bottom-up, TGA after the row and pixel order of its descriptor, DDS blocks
// decoded in software, 8-bit PCX through its palette (grey without one).
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <span>
#include <string>
#include <vector>

#include "formats/DDSImage.h"
#include "formats/Image.h"
#include "formats/Stream.h"

namespace orvtool {

enum class TFileKind { MPAK, BMP, TGA, DDS, PCX, Unknown };

// ---- little-endian fields (0 past the end) ----

inline uint32_t U16(std::span<const uint8_t> b, size_t at)
{
    return at + 2 <= b.size() ? uint32_t{b[at]} | uint32_t{b[at + 1]} << 8 : 0;
}

inline uint32_t U32(std::span<const uint8_t> b, size_t at)
{
    return at + 4 <= b.size() ? U16(b, at) | U16(b, at + 2) << 16 : 0;
}

// ---- kinds ----

// The first HeadBytes bytes of a file (fewer when it is shorter), read from the start of
// the stream, which is left at its start again.
constexpr size_t HeadBytes = 128;
std::vector<uint8_t> ReadHead(orv::TStream& source);

// The kind of a file by its head and, for TGA and PCX, the extension of its name.
TFileKind DetectKind(const std::string& name, std::span<const uint8_t> head);

// "NAME: not an MPAK archive, BMP, TGA, DDS or PCX file".
[[noreturn]] void ThrowUnknownKind(const std::string& name);

// The whole file from the start of the stream; files bigger than any picture of the game
// are refused.
std::vector<uint8_t> ReadImageBytes(orv::TStream& source, const std::string& name);

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

struct TPCXLayout {
    int Width = 0, Height = 0, Planes = 0, BitsPerPixel = 0, BytesPerLine = 0;
    bool RunLength = false;
};

TPCXLayout ReadPCXLayout(std::span<const uint8_t> b, const std::string& name);

// The decoded scan lines of an 8-bit PCX with one (palette or grey) or three (RGB) planes.
orv::TImage DecodePCX(std::span<const uint8_t> b, const std::string& name);

// ---- TGA and DDS ----

// "true-colour, run-length encoded", ... for a TGA image type.
std::string TGATypeName(uint8_t type);

std::unique_ptr<orv::TDDSImage> LoadDDS(orv::TStream& source);

// ---- any picture ----

// The picture in the stream, read from its start; `name` is the file's, for its kind and
// the messages. MPAK archives, unknown kinds and pictures without a pixel are refused.
orv::TImage DecodeImage(orv::TStream& source, const std::string& name);
orv::TImage DecodeImage(const std::string& path);

}  // namespace orvtool
