// DDSImage: the top level of an S3TC-compressed DDS file, ready for a compressed upload.
//
//   TDDSImage image;
//   image.LoadFromStream(stream);    // validates the header, copies the top-level blocks
//   upload(image.GLFormat(), image.Width(), image.Height(), image.Data(), image.DataSize());
//
// The blocks are copied only as far as the source delivers them (a header claiming a
// huge image in a short file fails with "Stream read error" before much memory is
// taken), and the caller's limits are checked on the header before any block is read.
// How many blocks the top level has is the caller's choice (TDDSBlockCount).
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

// The top level's blocks: WholeBlocks as the format's writers count them (whole 4 x 4
// blocks by integer division, at least one a side, in unsigned 32-bit arithmetic, which
// is exact for sides that are multiples of 4); Covering every block the pixels touch,
// partial ones at the edges included, which is what a decoder and the compressed upload
// take; a header whose blocks the format's 32-bit sizes cannot hold is then refused
// before anything is read.
enum class TDDSBlockCount { WholeBlocks, Covering };

class TDDSImage {
public:
    // limits: checked on the header's size and the top level's bytes before the copy.
    void LoadFromStream(TStream& source, const TImageLimits& limits = {},
                        TDDSBlockCount count = TDDSBlockCount::WholeBlocks);

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
