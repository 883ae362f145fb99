// DDSImage: the top level of an S3TC-compressed DDS file, ready for a compressed upload.
//
//   TDDSImage image;
//   image.LoadFromStream(stream);    // validates the header, copies the top-level blocks
//   upload(image.GLFormat(), image.Width(), image.Height(), image.Data(), image.DataSize());
//
// The blocks are copied only as far as the source delivers them (a header claiming a
// huge image in a short file fails with "Stream read error" before much memory is
// taken), and the caller's limits are checked on the header before any block is read.
// Sides that are not multiples of 4 take their partial blocks whole (rounded up); a
// header whose top level would not fit the format's 32-bit sizes is refused at once.
#pragma once

#include <cstdint>

#include "formats/ImageLimits.h"
#include "formats/Stream.h"

namespace orv {

class EDDSError : public EFormatError { using EFormatError::EFormatError; };

constexpr uint32_t GL_COMPRESSED_RGBA_S3TC_DXT1 = 0x83F1;
constexpr uint32_t GL_COMPRESSED_RGBA_S3TC_DXT3 = 0x83F2;
constexpr uint32_t GL_COMPRESSED_RGBA_S3TC_DXT5 = 0x83F3;

// The magic and the 124-byte header; byte offsets of the fields (little-endian words).
constexpr size_t DDSFileHeaderSize = 128;
namespace DDSHeader {
constexpr size_t Magic = 0, HeaderSize = 4, Flags = 8, Height = 12, Width = 16, PitchOrLinearSize = 20, Depth = 24,
                 MipMapCount = 28, PixelFormatSize = 76, PixelFormatFlags = 80, FourCC = 84, RGBBitCount = 88,
                 Caps = 108;
}  // namespace DDSHeader
constexpr uint32_t DDSMagic = 0x20534444;   // "DDS "
constexpr uint32_t DDSPixelFormatFourCC = 0x4;

class TDDSImage {
public:
    // limits: checked on the header's size and the top level's bytes before the copy.
    void LoadFromStream(TStream& source, const TImageLimits& limits = {});

    const uint8_t* Data() const { return m_Data.Memory(); }
    int64_t DataSize() const { return static_cast<int64_t>(m_Data.Bytes().size()); }
    uint32_t Width() const { return m_Width; }
    uint32_t Height() const { return m_Height; }
    uint32_t GLFormat() const { return m_GLFormat; }
    uint32_t BlockBytes() const { return m_BlockBytes; }
    uint32_t BlockDimension() const { return m_BlockDimension; }
    bool Compressed() const { return m_Compressed; }

private:
    bool m_Compressed = false;
    uint32_t m_BlockDimension = 0;
    uint32_t m_BlockBytes = 0;
    uint32_t m_GLFormat = 0;
    uint32_t m_Height = 0;
    uint32_t m_Width = 0;
    TMemoryStream m_Data;
};

}  // namespace orv
