// PCXPicture: the layout of a PCX file's header, for decoding the whole picture
// (DecodePCXPicture, Pictures.h) and for showing its facts.
//
//   const TPCXLayout layout = ReadPCXLayout(head);   // EPictureError when cut short or empty
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>

#include "formats/PCXStream.h"

namespace orv {

// Byte offsets of the header's fields (16-bit ones little-endian) and the palette that
// may follow the data: a marker byte and 256 R,G,B entries, at the end of the file.
namespace PCXHeader {
constexpr uint8_t Manufacturer = 0x0A;
constexpr size_t Version = 1, Encoding = 2, BitsPerPixel = 3, XMin = 4, YMin = 6, XMax = 8, YMax = 10;
constexpr size_t Planes = 65, BytesPerLine = 66, PaletteInfo = 68;
constexpr uint8_t PaletteMarker = 0x0C;
constexpr size_t PaletteSize = 768;
}  // namespace PCXHeader

struct TPCXLayout {
    int Width = 0, Height = 0, Planes = 0, BitsPerPixel = 0, BytesPerLine = 0;
    bool RunLength = false;
};

TPCXLayout ReadPCXLayout(std::span<const uint8_t> header);

// Whether the file (all of it) ends in a palette.
bool HasPCXPalette(std::span<const uint8_t> file);

}  // namespace orv
