// TGA: Truevision TGA images, decoded into one block of pixels, top row first.
//
//   TTGAImage image;
//   image.LoadFromStream(stream);   // Data(): Width() x Height() pixels of PixelDepth() / 8 bytes
//
// Run-length data is expanded; the row and pixel order of the image descriptor is
// normalised; the pixel bytes stay in file order (blue, green, red, alpha). Colour maps
// are kept but not applied. Short files load without complaint (missing raw bytes are
// zero, a broken run-length stream repeats its last pixel) as long as the header's claim
// fits what the file can produce: raw pixel data cannot be longer than the file (a file
// cut short may lack at most ShortTGAAllowance bytes), run-length data is bounded as
// ImageLimits.h says. Larger claims raise EImageTooLarge before anything is allocated.
// CutShort() tells whether the pixel data ended early.
#pragma once

#include <array>
#include <cstdint>
#include <vector>

#include "base/ByteOrder.h"
#include "formats/ImageLimits.h"
#include "formats/Stream.h"

namespace orv {

class ETGAError : public EFormatError { using EFormatError::EFormatError; };

constexpr size_t TGAHeaderSize = 18;

// Byte offsets of the header's fields (16-bit ones little-endian).
namespace TGAHeader {
constexpr size_t IDLength = 0;
constexpr size_t ColorMapType = 1;
constexpr size_t ImageType = 2;
constexpr size_t ColorMapFirst = 3;
constexpr size_t ColorMapLength = 5;
constexpr size_t ColorMapEntrySize = 7;
constexpr size_t XOrigin = 8;
constexpr size_t YOrigin = 10;
constexpr size_t Width = 12;
constexpr size_t Height = 14;
constexpr size_t PixelDepth = 16;
constexpr size_t Descriptor = 17;
}  // namespace TGAHeader

// Image types (the run-length forms are the plain ones plus 8) and descriptor bits.
constexpr uint8_t TGAColorMapped = 1, TGATrueColor = 2, TGAGrey = 3;
constexpr uint8_t TGAFirstRunLengthType = 9;
constexpr uint8_t TGARunLengthTypeOffset = 8;
constexpr uint8_t TGARightToLeft = 0x10, TGATopToBottom = 0x20, TGAAlphaBits = 0x0F;
// Pixel depths: true colour with and without alpha, 5-5-5 with an alpha bit, indices or grey.
constexpr int TGATrueColorAlphaDepth = 32, TGATrueColorDepth = 24, TGAHighColorDepth = 16, TGAIndexDepth = 8;

class TTGAImage {
public:
    void LoadFromStream(TStream& source, const TImageLimits& limits = {});

    const uint8_t* Data() const { return m_Pixels.data(); }
    size_t DataSize() const { return m_Pixels.size(); }
    uint16_t Width() const { return Header().U16(TGAHeader::Width); }
    uint16_t Height() const { return Header().U16(TGAHeader::Height); }
    uint8_t PixelDepth() const { return m_Header[TGAHeader::PixelDepth]; }
    uint8_t BytesPerPixel() const { return PixelDepth() / 8; }
    // After loading a run-length image this is the uncompressed type (10 -> 2, ...).
    uint8_t ImageType() const { return m_Header[TGAHeader::ImageType]; }
    uint8_t ColorMapType() const { return m_Header[TGAHeader::ColorMapType]; }
    uint8_t Descriptor() const { return m_Header[TGAHeader::Descriptor]; }
    uint8_t IDLength() const { return m_Header[TGAHeader::IDLength]; }
    uint16_t ColorMapLength() const { return Header().U16(TGAHeader::ColorMapLength); }
    uint8_t ColorMapEntrySize() const { return m_Header[TGAHeader::ColorMapEntrySize]; }
    const std::vector<uint8_t>& ColorMap() const { return m_ColorMap; }
    bool CutShort() const { return m_CutShort; }

private:
    TByteReader Header() const { return TByteReader(m_Header); }
    void ReadRunLengthData(TStream& source, size_t total);
    void ReversePixelsInRows();
    void ReverseRows();

    std::array<uint8_t, TGAHeaderSize> m_Header{};
    std::vector<uint8_t> m_Pixels;
    std::vector<uint8_t> m_ColorMap;
    bool m_CutShort = false;
};

}  // namespace orv
