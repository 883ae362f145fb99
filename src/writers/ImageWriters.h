// ImageWriters: encoders of the image formats the viewer reads (BMP, TGA, PCX, DDS), for
// the tests and the sample-game generator. The output is deterministic.
//
//   TImage picture{64, 64, 3, rgbBytes};                  // top row first, r,g,b[,a]
//   WriteWholeFile("d00.bmp", EncodeBMP24(picture));
//   auto tile = EncodeDDS(picture, FourCCDXT1);
//
// A picture whose pixel count does not match its size raises std::invalid_argument.
#pragma once

#include <cstdint>
#include <span>
#include <vector>

#include "formats/Image.h"

namespace orv {

// The FourCC word as it stands in a DDS file ("DXT1" -> 0x31545844).
constexpr uint32_t MakeFourCC(char a, char b, char c, char d)
{
    return static_cast<uint32_t>(static_cast<uint8_t>(a)) | static_cast<uint32_t>(static_cast<uint8_t>(b)) << 8 |
           static_cast<uint32_t>(static_cast<uint8_t>(c)) << 16 | static_cast<uint32_t>(static_cast<uint8_t>(d)) << 24;
}
constexpr uint32_t FourCCDXT1 = MakeFourCC('D', 'X', 'T', '1');
constexpr uint32_t FourCCDXT3 = MakeFourCC('D', 'X', 'T', '3');
constexpr uint32_t FourCCDXT5 = MakeFourCC('D', 'X', 'T', '5');

// 24-bit BMP: BITMAPINFOHEADER, bottom-up, BI_RGB. Alpha of an RGBA picture is dropped.
std::vector<uint8_t> EncodeBMP24(const TImage& rgb);
// 8-bit palette BMP, BI_RGB, bottom-up; paletteRGB holds up to 256 r,g,b triples.
std::vector<uint8_t> EncodeBMP8(int width, int height, std::span<const uint8_t> indices,
                                std::span<const uint8_t> paletteRGB);
// 24- or 32-bit true-colour TGA (type 2, or 10 with rle), B,G,R[,A] in the file; topOrigin
// stores rows top first (descriptor 0x20), otherwise bottom first.
std::vector<uint8_t> EncodeTGA(const TImage& img, bool rle, bool topOrigin);
// 8-bit PCX, version 5, run-length encoded by scan line (odd widths padded to even);
// when paletteRGB is given it follows the data as 0x0C and 256 r,g,b triples.
std::vector<uint8_t> EncodePCX8(int width, int height, std::span<const uint8_t> indices,
                                std::span<const uint8_t> paletteRGB);
// DDS with the top level only, compressed by stb_dxt in its high-quality mode. fourCC:
// FourCCDXT1, FourCCDXT3 or FourCCDXT5 (the byte-swapped multi-character forms are
// accepted too). Partial edge blocks repeat the edge pixels.
std::vector<uint8_t> EncodeDDS(const TImage& img, uint32_t fourCC);

}  // namespace orv
