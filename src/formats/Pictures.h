// Pictures: the game's BMP, TGA and DDS images decoded to plain pixels, top row first,
// for everything that shows them without OpenGL (tools, exports, maps).
//
//   TImage tile = DecodeDDSPicture(stream);       // RGBA, the DXT blocks decoded
//   TImage opaque = WithoutAlpha(tile);            // RGB
//   TImage water = DecodeTGAPicture(stream);      // RGB, or RGBA where the file has alpha
//
// Each reads one image from the stream's position with the format's own reader and
// raises that reader's errors. The limits bound the reader's decoded data as
// ImageLimits.h says (for DDS: the RGBA pixels), before any pixel is decoded. The pixels are those the OpenGL uploads hand over, in
// the order of the picture as it is meant to be seen: BMP rows turned from their
// bottom-first storage, TGA rows and pixels as its descriptor orders them, DDS blocks
// as stored.
#pragma once

#include "formats/Image.h"
#include "formats/ImageLimits.h"
#include "formats/Stream.h"

namespace orv {

class EPictureError : public EFormatError { using EFormatError::EFormatError; };

// RGB.
TImage DecodeBitmapPicture(TStream& source, const TImageLimits& limits = {});
// 24-bit: RGB; 32-bit: RGBA; 16-bit (5-5-5 and an alpha bit): RGBA; 8-bit colour-mapped
// through a 24- or 32-bit map: RGB or RGBA (an index past the map is black and, with a
// 32-bit map, transparent); other 8-bit images as grey RGB. Other depths raise
// EPictureError, and so does pixel data shorter than the image.
TImage DecodeTGAPicture(TStream& source, const TImageLimits& limits = {});
// RGBA: DXT1 (transparent black for the three-colour blocks' fourth index), DXT3, DXT5.
TImage DecodeDDSPicture(TStream& source, const TImageLimits& limits = {});

// The picture with its alpha channel dropped (an RGB picture unchanged).
TImage WithoutAlpha(TImage image);

}  // namespace orv
