// Image: a picture as plain pixels, the form in which decoders hand images out and the
// writers take them in.
//
//   TImage picture{64, 64, 3, rgbBytes};   // top row first, r,g,b[,a]
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace orv {

struct TImage {
    int Width = 0, Height = 0, Channels = 3;   // 3: RGB, 4: RGBA
    std::vector<uint8_t> Pixels;              // top row first
    // Empty, or how the file ended before its pixels did: the rest is as the format's
    // reader fills it (the viewer shows that; tools that convert refuse it).
    std::string Damage{};
};

}  // namespace orv
