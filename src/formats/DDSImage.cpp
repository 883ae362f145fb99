// DDSImage: header validation and the copy of the top-level S3TC blocks.
#include "formats/DDSImage.h"

#include <algorithm>
#include <array>
#include <cstring>
#include <limits>
#include <string>

#include "base/ByteOrder.h"

namespace orv {

namespace {

constexpr uint32_t DDSHeaderSize = 124;
constexpr uint32_t DDSD_CAPS = 0x1;
constexpr uint32_t DDSD_PIXELFORMAT = 0x1000;

constexpr uint32_t S3TCBlockDimension = 4;
// Pieces in which the blocks are copied, so that a header claiming a huge image in a
// short file fails with a read error before much memory is taken.
constexpr int64_t CopyPieceSize = int64_t{1} << 20;

constexpr uint32_t FourCC(const char (&code)[5])
{
    return static_cast<uint32_t>(static_cast<uint8_t>(code[0])) |
           static_cast<uint32_t>(static_cast<uint8_t>(code[1])) << 8 |
           static_cast<uint32_t>(static_cast<uint8_t>(code[2])) << 16 |
           static_cast<uint32_t>(static_cast<uint8_t>(code[3])) << 24;
}

struct TS3TCFormat {
    uint32_t FourCC;
    uint32_t BlockBytes;
    uint32_t GLFormat;
};

constexpr std::array<TS3TCFormat, 3> S3TCFormats{{
    {FourCC("DXT1"), 8, GL_COMPRESSED_RGBA_S3TC_DXT1},
    {FourCC("DXT3"), 16, GL_COMPRESSED_RGBA_S3TC_DXT3},
    {FourCC("DXT5"), 16, GL_COMPRESSED_RGBA_S3TC_DXT5},
}};

}  // namespace

void TDDSImage::LoadFromStream(TStream& source, const TImageLimits& limits, TDDSBlockCount count)
{
    m_Data.Clear();
    m_Compressed = false;
    m_BlockDimension = m_BlockBytes = m_GLFormat = m_Height = m_Width = 0;

    std::array<uint8_t, DDSFileHeaderSize> header{};
    if (source.Read(header.data(), DDSFileHeaderSize) != static_cast<int64_t>(DDSFileHeaderSize))
        throw EDDSError("DDS header magic not found");
    const TByteReader fields(header);
    if (fields.U32(DDSHeader::Magic) != DDSMagic)
        throw EDDSError("DDS header magic not found");
    if (fields.U32(DDSHeader::HeaderSize) != DDSHeaderSize)
        throw EDDSError("DDS header size mismatch");
    const uint32_t flags = fields.U32(DDSHeader::Flags);
    if ((flags & DDSD_PIXELFORMAT) == 0)
        throw EDDSError("File does not contain DDSD_PIXELFORMAT");
    if ((flags & DDSD_CAPS) == 0)
        throw EDDSError("File does not contain DDSD_CAPS");

    m_Height = fields.U32(DDSHeader::Height);
    m_Width = fields.U32(DDSHeader::Width);

    const bool hasFourCC = (fields.U32(DDSHeader::PixelFormatFlags) & DDSPixelFormatFourCC) != 0;
    const uint32_t fourCC = fields.U32(DDSHeader::FourCC);
    const auto format = std::find_if(S3TCFormats.begin(), S3TCFormats.end(),
                                     [&](const TS3TCFormat& f) { return hasFourCC && f.FourCC == fourCC; });
    if (format == S3TCFormats.end())
        throw EDDSError("Currently unsupported DDS pixel format");
    m_Compressed = true;
    m_BlockDimension = S3TCBlockDimension;
    m_BlockBytes = format->BlockBytes;
    m_GLFormat = format->GLFormat;

    // Blocks of the top level (at most 2^60 of them, 2^64 bytes saturated).
    auto blocks = [&](uint32_t side) -> uint64_t {
        if (count == TDDSBlockCount::WholeBlocks)
            return std::max(S3TCBlockDimension, side) / S3TCBlockDimension;
        return std::max<uint64_t>(1, (uint64_t{side} + S3TCBlockDimension - 1) / S3TCBlockDimension);
    };
    const uint64_t blockCount = blocks(m_Width) * blocks(m_Height);
    const uint64_t topLevelBytes = blockCount > std::numeric_limits<uint64_t>::max() / m_BlockBytes
                                       ? std::numeric_limits<uint64_t>::max()
                                       : blockCount * m_BlockBytes;
    // As the format's writers compute it, in unsigned 32-bit arithmetic.
    const uint64_t topLevelSize =
        count == TDDSBlockCount::WholeBlocks ? static_cast<uint32_t>(topLevelBytes) : topLevelBytes;

    // The pixels decoded, when the caller decodes them (no wrap: at most 2^64 - 1 bytes).
    const uint64_t pixels = uint64_t{m_Width} * m_Height;
    const uint64_t bytesPerPixel = limits.DecodedPixelBytes;
    const uint64_t held = bytesPerPixel == 0 ? topLevelSize
                          : pixels > std::numeric_limits<uint64_t>::max() / bytesPerPixel
                              ? std::numeric_limits<uint64_t>::max()
                              : pixels * bytesPerPixel;
    CheckImageLimits("DDS", m_Width, m_Height, held, limits);
    // A top level the format's 32-bit sizes cannot hold is no image of any file.
    if (count == TDDSBlockCount::Covering && topLevelSize > std::numeric_limits<uint32_t>::max())
        throw EDDSError("DDS image of " + std::to_string(m_Width) + " x " + std::to_string(m_Height) +
                        " pixels is too large: its top level needs " + std::to_string(topLevelSize) + " bytes");

    // Exact copy of the blocks; the buffer grows only as far as the source delivers.
    const auto total = static_cast<int64_t>(topLevelSize);
    int64_t copied = 0;
    while (copied < total) {
        const int64_t piece = std::min(total - copied, CopyPieceSize);
        m_Data.SetSize(copied + piece);
        if (source.Read(m_Data.Memory() + copied, piece) != piece)
            throw EReadError("Stream read error");
        copied += piece;
    }
    m_Data.SetPosition(0);
}

}  // namespace orv
