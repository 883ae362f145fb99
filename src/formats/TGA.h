// TGA: Truevision TGA images, decoded into one block of pixels, top row first.
//
//   TTGAImage image;
//   image.LoadFromStream(stream);   // Data(): Width() x Height() pixels of PixelDepth() / 8 bytes
//
// Run-length data is expanded; the row and pixel order of the image descriptor is
// normalised; the pixel bytes stay in file order (blue, green, red, alpha). Colour maps
// are kept but not applied. Short files load without complaint (missing raw bytes are
// zero, a broken run-length stream repeats its last pixel); only a header claiming more
// pixel data than the rest of the source could produce by any encoding is refused.
#pragma once

#include <array>
#include <cstdint>
#include <vector>

#include "formats/Stream.h"

namespace orv {

class ETGAError : public EFormatError { using EFormatError::EFormatError; };

constexpr size_t TGAHeaderSize = 18;

class TTGAImage {
public:
    void LoadFromStream(TStream& source);

    const uint8_t* Data() const { return m_Pixels.data(); }
    size_t DataSize() const { return m_Pixels.size(); }
    uint16_t Width() const { return HeaderWord(12); }
    uint16_t Height() const { return HeaderWord(14); }
    uint8_t PixelDepth() const { return m_Header[16]; }
    uint8_t BytesPerPixel() const { return m_Header[16] / 8; }
    // After loading a run-length image this is the uncompressed type (10 -> 2, ...).
    uint8_t ImageType() const { return m_Header[2]; }
    uint8_t ColorMapType() const { return m_Header[1]; }
    uint8_t Descriptor() const { return m_Header[17]; }
    uint8_t IDLength() const { return m_Header[0]; }
    uint16_t ColorMapLength() const { return HeaderWord(5); }
    uint8_t ColorMapEntrySize() const { return m_Header[7]; }
    const std::vector<uint8_t>& ColorMap() const { return m_ColorMap; }

private:
    uint16_t HeaderWord(size_t offset) const
    {
        return static_cast<uint16_t>(m_Header[offset] | m_Header[offset + 1] << 8);
    }
    void ReadRunLengthData(TStream& source, size_t total);
    void ReversePixelsInRows();
    void ReverseRows();

    std::array<uint8_t, TGAHeaderSize> m_Header{};
    std::vector<uint8_t> m_Pixels;
    std::vector<uint8_t> m_ColorMap;
};

}  // namespace orv
