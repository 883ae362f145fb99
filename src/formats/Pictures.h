// Pictures: every picture format of the game told by its first bytes and decoded to
// plain pixels, top row first: the one path from a file to pixels for the viewer's
// uploads, the tools, the exports and the maps.
//
//   const TPictureFormat* format = DetectPicture(head, "tile.dds");   // null: no picture
//   TImage picture = format->Decode(stream, limits);
//   TImage tile = DecodeDDSPicture(stream);       // RGBA, the DXT blocks decoded
//   TImage opaque = WithoutAlpha(tile);            // RGB
//
// Each decoder reads one image from the stream's position with the format's own reader
// and raises that reader's errors. The limits bound the decoded data as ImageLimits.h
// says (for DDS: the RGBA pixels), before any pixel is decoded. The pixels are those the
// OpenGL uploads hand over, in the order of the picture as it is meant to be seen: BMP
// rows turned from their bottom-first storage, TGA rows and pixels as its descriptor
// orders them, DDS blocks as stored, PCX scan lines in file order. A file that ends
// before its pixels do decodes as its reader fills it, and says so in TImage::Damage.
//
// A new format is one source file with its decoder and its claim, two declarations
// and a row of PictureFormats here, and the file's line in CMakeLists.txt.
#pragma once

#include <array>
#include <cstdint>
#include <span>
#include <string_view>

#include "formats/Image.h"
#include "formats/ImageLimits.h"
#include "formats/Stream.h"

namespace orv {

class EPictureError : public EFormatError { using EFormatError::EFormatError; };

// How surely a file's head (its first PictureHeadBytes bytes) and the extension of its
// name say a format: not at all, a plausible header, the extension, the format's mark.
enum class TPictureClaim { None, Plausible, Named, Marked };
constexpr size_t PictureHeadBytes = 128;

struct TPictureFormat {
    std::string_view Name;   // "BMP", as messages name it
    // `named`: the file's name carries the format's extension.
    TPictureClaim (*Claim)(std::span<const uint8_t> head, bool named);
    std::string_view Extension;   // folded, with the dot
    TImage (*Decode)(TStream& source, const TImageLimits& limits);
};

// RGB.
TPictureClaim ClaimBitmap(std::span<const uint8_t> head, bool named);
TImage DecodeBitmapPicture(TStream& source, const TImageLimits& limits = {});
// 24-bit: RGB; 32-bit: RGBA; 16-bit (5-5-5 and an alpha bit): RGBA; 8-bit colour-mapped
// through a 24- or 32-bit map: RGB or RGBA (an index past the map is black and, with a
// 32-bit map, transparent); other 8-bit images as grey RGB. Other depths raise
// EPictureError, and so does pixel data shorter than the image.
TPictureClaim ClaimTGA(std::span<const uint8_t> head, bool named);
TImage DecodeTGAPicture(TStream& source, const TImageLimits& limits = {});
// RGBA: DXT1 (transparent black for the three-colour blocks' fourth index), DXT3, DXT5.
TPictureClaim ClaimDDS(std::span<const uint8_t> head, bool named);
TImage DecodeDDSPicture(TStream& source, const TImageLimits& limits = {});
// RGB: 8 bits in one plane through the palette at the end of the file (grey without
// one), or in three planes. Read whole (at most MaxWholePictureFileBytes); data that
// cannot hold the picture raises EPictureError.
TPictureClaim ClaimPCX(std::span<const uint8_t> head, bool named);
TImage DecodePCXPicture(TStream& source, const TImageLimits& limits = {});

// In the order messages list them; the surest claim wins, the first on a tie.
inline constexpr std::array<TPictureFormat, 4> PictureFormats{{
    {"BMP", ClaimBitmap, ".bmp", DecodeBitmapPicture},
    {"TGA", ClaimTGA, ".tga", DecodeTGAPicture},
    {"DDS", ClaimDDS, ".dds", DecodeDDSPicture},
    {"PCX", ClaimPCX, ".pcx", DecodePCXPicture},
}};

// The format of a file by its head and its name's extension; null when none claims it.
const TPictureFormat* DetectPicture(std::span<const uint8_t> head, std::string_view fileName);

// The picture with its alpha channel dropped (an RGB picture unchanged).
TImage WithoutAlpha(TImage image);

}  // namespace orv
