// DXT: software decoding of S3TC (DXT1, DXT3, DXT5) blocks to RGBA bytes, for tools
// that turn the compressed tiles into viewable pictures.
//
//   const std::vector<uint8_t> rgba = DecodeDXT(image.GLFormat(), image.Width(), image.Height(),
//                                               {image.Data(), size_t(image.DataSize())});
//
// The result is width x height pixels of r,g,b,a, top row first. Blocks are read in
// storage order (left to right, top block row first); blocks at the right and bottom
// edges may be partial. DXT1 blocks in three-colour mode give transparent black for
// index 3; DXT3 and DXT5 colour blocks always use four colours.
#pragma once

#include <cstdint>
#include <span>
#include <vector>

#include "base/Exception.h"

namespace orv {

class EDXTError : public EFormatError { using EFormatError::EFormatError; };

// Bytes of block data a width x height image needs (whole 4 x 4 blocks, partial ones
// rounded up); 0 for an unknown format.
uint64_t DXTDataSize(uint32_t glFormat, uint32_t width, uint32_t height);

// glFormat: GL_COMPRESSED_RGBA_S3TC_DXT1/3/5 (DDSImage.h). Raises EDXTError for another
// format or when blocks holds fewer bytes than DXTDataSize; extra bytes are ignored.
std::vector<uint8_t> DecodeDXT(uint32_t glFormat, uint32_t width, uint32_t height, std::span<const uint8_t> blocks);

}  // namespace orv
