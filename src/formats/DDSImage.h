// DDSImage: the top level of an S3TC-compressed DDS file, ready for a compressed upload.
//
//   TDDSImage image;
//   image.LoadFromStream(stream);    // validates the header, copies the top-level blocks
//   upload(image.GLFormat(), image.Width(), image.Height(), image.Data(), image.DataSize());
#pragma once

#include <cstdint>

#include "formats/Stream.h"

namespace orv {

class EDDSError : public EFormatError { using EFormatError::EFormatError; };

constexpr uint32_t GL_COMPRESSED_RGBA_S3TC_DXT1 = 0x83F1;
constexpr uint32_t GL_COMPRESSED_RGBA_S3TC_DXT3 = 0x83F2;
constexpr uint32_t GL_COMPRESSED_RGBA_S3TC_DXT5 = 0x83F3;

class TDDSImage {
public:
    void LoadFromStream(TStream& source);

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
