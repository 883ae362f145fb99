// PNG: a small PNG encoder over zlib, for dumps and tool output.
//
//   WritePNG("height.png", 257, 257, 1, 16, bytesOfUint16Samples);
//
// channels 1..4 (grey, grey+alpha, RGB, RGBA); bitDepth 8 or 16, with 16-bit samples
// given as host-order uint16_t values in the byte buffer (width*height*channels*2 bytes);
// rows top first. Each row gets the PNG filter that makes it smallest by the usual
// sum-of-differences rule. Wrong arguments raise std::invalid_argument; a file that
// cannot be created raises EFCreateError "Cannot create file %s".
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <vector>

namespace orv {

std::vector<uint8_t> EncodePNG(int width, int height, int channels, int bitDepth, std::span<const uint8_t> pixels);
void WritePNG(const std::string& path, int width, int height, int channels, int bitDepth,
              std::span<const uint8_t> pixels);

}  // namespace orv
