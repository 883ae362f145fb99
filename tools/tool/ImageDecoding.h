// ImageDecoding: how orvandel-tool tells the game's files apart and decodes their
// pictures (info and convert), without the command line, so that a fuzz target can run
// it too. The formats and their decoders are the viewer's (formats/Pictures.h).
//
//   const TImage image = DecodeImage("tex00-07.dds");      // errors name the file
//   const TImage same = DecodeImage(stream, "tile.dds");   // any stream; the name tells
//                                                           // TGA and PCX and names errors
//
// An MPAK archive is told by its mark, pictures as PictureFormats claim them. Pictures
// are written top row first as the decoders give them, except that a DXT1 picture
// without a transparent texel drops its alpha; a picture cut short or without a pixel is
// refused.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "formats/Image.h"
#include "formats/Pictures.h"
#include "formats/Stream.h"

namespace orvtool {

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

// The first orv::PictureHeadBytes bytes of a file (fewer when it is shorter), read from
// the start of the stream, which is left at its start again.
std::vector<uint8_t> ReadHead(orv::TStream& source);

bool IsArchive(std::span<const uint8_t> head);

// The picture format of a file by its head and its name; an MPAK archive ("an MPAK
// archive, not an image") and a file no format claims ("NAME: not an MPAK archive, BMP,
// TGA, DDS or PCX file") are refused.
const orv::TPictureFormat& PictureFormatOf(std::span<const uint8_t> head, const std::string& name);

// ---- any picture ----

// The picture in the stream, read from its start; `name` is the file's, for its kind and
// the messages.
orv::TImage DecodeImage(orv::TStream& source, const std::string& name);
orv::TImage DecodeImage(const std::string& path);

}  // namespace orvtool
