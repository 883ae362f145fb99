// TGA: Truevision TGA images, decoded into one block of pixels, top row first.
//
// Run-length data is expanded; the row and pixel order of the image descriptor is
// normalised; the pixel bytes stay in file order (blue, green, red, alpha).
#pragma once

#include <array>
#include <cstdint>
#include <vector>

#include "formats/Stream.h"

namespace orv {

class TTGAImage {
public:
    void LoadFromStream(TStream& source);

    const uint8_t* Data() const { return m_Pixels.data(); }
    size_t DataSize() const { return m_Pixels.size(); }
    uint16_t Width() const;
    uint16_t Height() const;
    uint8_t PixelDepth() const { return m_Header[16]; }
    uint8_t ImageType() const { return m_Header[2]; }
    uint8_t ColorMapType() const { return m_Header[1]; }
    uint8_t Descriptor() const { return m_Header[17]; }
    uint8_t IDLength() const { return m_Header[0]; }
    uint16_t ColorMapLength() const;
    uint8_t ColorMapEntrySize() const { return m_Header[7]; }
    const std::vector<uint8_t>& ColorMap() const { return m_ColorMap; }

private:
    std::array<uint8_t, 18> m_Header{};
    std::vector<uint8_t> m_Pixels;
    std::vector<uint8_t> m_ColorMap;
};

}  // namespace orv
