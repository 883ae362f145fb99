// PNG: pictures for dumps and tool output, written through libpng.
//
//   WritePNG("height.png", 257, 257, 1, 16, bytesOfUint16Samples);
//
// channels 1..4 (grey, grey+alpha, RGB, RGBA); bitDepth 8 or 16, with 16-bit samples
// given as host-order uint16_t values in the byte buffer (width*height*channels*2 bytes);
// rows top first. Every row gets the filter that libpng's adaptive choice finds smallest;
// no time stamp or text is written, so the same pixels always give the same bytes.
// Wrong arguments raise std::invalid_argument, a failure inside libpng std::runtime_error,
// a file that cannot be created EFCreateError "Cannot create file %s".
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
