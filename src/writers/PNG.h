// PNG: pictures for dumps and tool output, written by our own encoder over zlib.
//
//   WritePNG("height.png", 257, 257, 1, 16, bytesOfUint16Samples);
//   EncodePNG(2048, 2048, 3, 8, rgb, {{"Zone", "111"}});    // with tEXt chunks
//
// channels 1..4 (grey, grey+alpha, RGB, RGBA); bitDepth 8 or 16, with 16-bit samples
// given as host-order uint16_t values in the byte buffer (width*height*channels*2 bytes);
// rows top first, at most MaxPNGSide pixels a side. Every row gets the filter whose output
// has the smallest sum of magnitudes (as signed bytes); no time stamp is written and text
// only when given, so the same pixels (and text) always give the same bytes on every
// platform that has the same zlib.
// Wrong arguments raise std::invalid_argument, a side over the limit or a failure of zlib
// std::runtime_error, a file that cannot be created EFCreateError "Cannot create file %s".
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <vector>

namespace orv {

// The largest width or height written: many readers refuse more.
constexpr int MaxPNGSide = 1'000'000;

// A tEXt chunk: a keyword of 1 to 79 printable Latin-1 characters (no leading, trailing
// or double spaces) and a text without NUL bytes.
struct TPNGText {
    std::string Keyword;
    std::string Text;
};

std::vector<uint8_t> EncodePNG(int width, int height, int channels, int bitDepth, std::span<const uint8_t> pixels,
                               std::span<const TPNGText> text = {});
void WritePNG(const std::string& path, int width, int height, int channels, int bitDepth,
              std::span<const uint8_t> pixels);

}  // namespace orv
