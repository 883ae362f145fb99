// Bitmap: the BMP file header, the DIB header variants, the palette, then one of the
// pixel encodings (indexed, bit fields, 24-bit, RLE8, RLE4) into 24-bit B,G,R rows.
#include "formats/Bitmap.h"

#include "base/ByteOrder.h"

#include <algorithm>
#include <array>
#include <bit>
#include <cstdio>
#include <span>
#include <string>

namespace orv {

namespace {

constexpr uint8_t SignatureB = 'B';
constexpr uint8_t SignatureM = 'M';
using BMPHeader::FileHeaderSize;

constexpr uint32_t CoreHeaderSize = 12;
constexpr uint32_t InfoHeaderSize = 40;
constexpr uint32_t V2InfoHeaderSize = 52;   // info header + RGB masks
constexpr uint32_t V3InfoHeaderSize = 56;   // info header + RGBA masks
constexpr uint32_t V4HeaderSize = 108;
constexpr uint32_t V5HeaderSize = 124;

enum TBMPCompression : uint32_t {
    BI_RGB = 0,
    BI_RLE8 = 1,
    BI_RLE4 = 2,
    BI_BITFIELDS = 3,
    BI_JPEG = 4,
    BI_PNG = 5,
    BI_ALPHABITFIELDS = 6,
};

constexpr int OutputBytesPerPixel = 3;
constexpr int64_t RowAlignment = 4;
constexpr int MaxPaletteBits = 8;
constexpr size_t CoreEntryBytes = 3;     // B, G, R
constexpr size_t InfoEntryBytes = 4;     // B, G, R, reserved
constexpr size_t ThreeMasksBytes = 12;   // bit fields after a 40-byte header
constexpr size_t FourMasksBytes = 16;    // with an alpha mask
// Run-length data needs at most two bytes per pixel (a run of one) and two per line end,
// and two for the end of the bitmap; what follows is never looked at.
constexpr uint64_t RunLengthBytesPerPixel = 2;
constexpr uint64_t RunLengthBytesPerLine = 2;
constexpr uint64_t RunLengthEndBytes = 2;
// The source is read in growing pieces, so a short stream takes a small buffer.
constexpr size_t FirstReadPiece = 65536;

// Run-length escapes (a zero count byte followed by one of these).
constexpr uint8_t RLEEndOfLine = 0;
constexpr uint8_t RLEEndOfBitmap = 1;
constexpr uint8_t RLEDelta = 2;

struct TColor {
    uint8_t B = 0, G = 0, R = 0;
};

// One channel of a bit-field pixel: its mask, where it starts and how many bits it has.
class TChannelMask {
public:
    TChannelMask() = default;
    explicit TChannelMask(uint32_t mask) : m_Mask(mask)
    {
        if (mask != 0) {
            m_Shift = std::countr_zero(mask);
            m_Bits = std::bit_width(mask >> m_Shift);
        }
    }

    // The channel scaled to 8 bits; short channels repeat their bits downwards, so that
    // full scale stays full scale (5 bits 31 -> 255).
    uint8_t Extract(uint32_t pixel) const
    {
        if (m_Bits == 0)
            return 0;
        const uint32_t value = (pixel & m_Mask) >> m_Shift;
        if (m_Bits >= 8)
            return static_cast<uint8_t>(value >> (m_Bits - 8));
        uint32_t result = 0;
        for (int filled = 0; filled < 8; filled += m_Bits)
            result = (result << m_Bits) | value;
        const int excess = ((8 + m_Bits - 1) / m_Bits) * m_Bits - 8;
        return static_cast<uint8_t>(result >> excess);
    }

private:
    uint32_t m_Mask = 0;
    int m_Shift = 0;
    int m_Bits = 0;
};

struct TBitFields {
    TChannelMask Red, Green, Blue;
};

const char* CompressionName(uint32_t compression)
{
    switch (compression) {
    case BI_RGB: return "RGB";
    case BI_RLE8: return "RLE8";
    case BI_RLE4: return "RLE4";
    case BI_BITFIELDS: return "BITFIELDS";
    case BI_JPEG: return "JPEG";
    case BI_PNG: return "PNG";
    case BI_ALPHABITFIELDS: return "ALPHABITFIELDS";
    default: return nullptr;
    }
}

// Reads one BMP file from a stream into the 24-bit output. The file's bytes are pulled
// from the stream as the decoding reaches them (Need), never past what the header says
// the image can use.
class TBMPDecoder {
public:
    TBMPDecoder(TStream& source, const TImageLimits& limits) : m_Source(source), m_Limits(limits) {}

    void Decode();

    int64_t Width = 0;
    int64_t Height = 0;
    uint32_t BitsPerPixel = 0;
    uint32_t Compression = BI_RGB;
    uint32_t HeaderSize = 0;
    bool TopDown = false;
    bool CutShort = false;   // run-length data that ends before the image does
    std::vector<uint8_t> Pixels;

private:
    [[noreturn]] void Fail(const std::string& message) const { throw EBitmapError(message); }
    [[noreturn]] void FailTruncated() const { Fail("BMP file is truncated"); }

    // Whether the file's first `end` bytes are there, reading more of the source when
    // they are not yet.
    bool Need(uint64_t end);
    uint32_t U16(size_t offset)
    {
        if (!Need(uint64_t{offset} + 2))
            FailTruncated();
        return TByteReader(m_File).U16(offset);
    }
    uint32_t U32(size_t offset)
    {
        if (!Need(uint64_t{offset} + 4))
            FailTruncated();
        return TByteReader(m_File).U32(offset);
    }

    void ReadHeader();
    void CheckFormat();
    size_t ReadMasks();
    void ReadPalette(size_t paletteOffset);
    void AllocatePixels();
    void ReadUncompressed(size_t dataOffset);
    void ReadRunLength(size_t dataOffset);

    void Put(int64_t x, int64_t fileRow, TColor color)
    {
        const int64_t row = TopDown ? Height - 1 - fileRow : fileRow;
        uint8_t* p = Pixels.data() + row * m_OutputRowBytes + x * OutputBytesPerPixel;
        p[0] = color.B;
        p[1] = color.G;
        p[2] = color.R;
    }
    TColor PaletteColor(uint32_t index) const { return index < m_Palette.size() ? m_Palette[index] : TColor{}; }

    TStream& m_Source;
    TImageLimits m_Limits;
    std::vector<uint8_t> m_File;   // the file's bytes read so far
    bool m_SourceEnded = false;
    uint32_t m_ColorsUsed = 0;
    uint32_t m_DataOffset = 0;
    std::vector<TColor> m_Palette;
    TBitFields m_Fields;
    int64_t m_OutputRowBytes = 0;
};

bool TBMPDecoder::Need(uint64_t end)
{
    while (m_File.size() < end && !m_SourceEnded) {
        // Growing pieces: a short source takes a small buffer, a long one few reads.
        const uint64_t step = std::max<uint64_t>(FirstReadPiece, m_File.size());
        const uint64_t piece = std::min(step, std::max<uint64_t>(end - m_File.size(), FirstReadPiece));
        const size_t before = m_File.size();
        m_File.resize(before + static_cast<size_t>(piece));
        const int64_t got = m_Source.Read(m_File.data() + before, static_cast<int64_t>(piece));
        m_File.resize(before + static_cast<size_t>(std::max<int64_t>(got, 0)));
        m_SourceEnded = got < static_cast<int64_t>(piece);
    }
    return m_File.size() >= end;
}

void TBMPDecoder::Decode()
{
    ReadHeader();
    CheckFormat();
    const size_t paletteOffset = ReadMasks();
    ReadPalette(paletteOffset);

    size_t dataOffset = m_DataOffset;
    if (dataOffset == 0) {
        // Some writers leave the offset out: the pixels then follow the palette.
        const size_t entryBytes = HeaderSize == CoreHeaderSize ? CoreEntryBytes : InfoEntryBytes;
        dataOffset = paletteOffset + m_Palette.size() * entryBytes;
    }
    if (!Need(dataOffset))
        FailTruncated();

    m_OutputRowBytes = (Width * OutputBytesPerPixel + RowAlignment - 1) & ~(RowAlignment - 1);
    if (Compression == BI_RLE8 || Compression == BI_RLE4)
        ReadRunLength(dataOffset);
    else
        ReadUncompressed(dataOffset);
}

void TBMPDecoder::ReadHeader()
{
    if (!Need(2) || m_File[0] != SignatureB || m_File[1] != SignatureM)
        Fail("Not a BMP file");
    m_DataOffset = U32(BMPHeader::PixelDataOffset);
    HeaderSize = U32(BMPHeader::HeaderSize);
    switch (HeaderSize) {
    case CoreHeaderSize:
        Width = U16(BMPHeader::CoreWidth);
        Height = U16(BMPHeader::CoreHeight);
        BitsPerPixel = U16(BMPHeader::CoreBitsPerPixel);
        Compression = BI_RGB;
        break;
    case InfoHeaderSize:
    case V2InfoHeaderSize:
    case V3InfoHeaderSize:
    case V4HeaderSize:
    case V5HeaderSize: {
        if (!Need(FileHeaderSize + HeaderSize))
            FailTruncated();
        Width = static_cast<int32_t>(U32(BMPHeader::Width));
        const int64_t height = static_cast<int32_t>(U32(BMPHeader::Height));
        TopDown = height < 0;
        Height = TopDown ? -height : height;
        BitsPerPixel = U16(BMPHeader::BitsPerPixel);
        Compression = U32(BMPHeader::Compression);
        m_ColorsUsed = U32(BMPHeader::ColorsUsed);
        break;
    }
    default: {
        Fail("Unsupported BMP header size " + std::to_string(HeaderSize));
    }
    }
}

void TBMPDecoder::CheckFormat()
{
    if (Width <= 0 || Height <= 0)
        Fail("Invalid BMP dimensions " + std::to_string(Width) + "x" + std::to_string(TopDown ? -Height : Height));
    if (Width > MaxBitmapSide || Height > MaxBitmapSide)
        Fail("BMP image too large (" + std::to_string(Width) + "x" + std::to_string(Height) + ")");

    const char* name = CompressionName(Compression);
    const std::string compression =
        "BMP compression " + std::to_string(Compression) + (name ? std::string(" (") + name + ")" : std::string());
    auto needDepth = [&](std::initializer_list<uint32_t> depths) {
        if (std::find(depths.begin(), depths.end(), BitsPerPixel) == depths.end())
            Fail("Unsupported BMP bit depth " + std::to_string(BitsPerPixel) + " for " + compression);
    };
    switch (Compression) {
    case BI_RGB:
        if (HeaderSize == CoreHeaderSize)
            needDepth({1, 4, 8, 24});
        else
            needDepth({1, 4, 8, 16, 24, 32});
        break;
    case BI_RLE8: needDepth({8}); break;
    case BI_RLE4: needDepth({4}); break;
    case BI_BITFIELDS:
    case BI_ALPHABITFIELDS: needDepth({16, 32}); break;
    default: Fail("Unsupported " + compression);
    }
    CheckImageLimits("BMP", static_cast<uint64_t>(Width), static_cast<uint64_t>(Height),
                     static_cast<uint64_t>(Width * Height * OutputBytesPerPixel), m_Limits);
}

// Sets up the bit fields of 16- and 32-bit images; returns where the palette starts.
size_t TBMPDecoder::ReadMasks()
{
    const size_t headerEnd = FileHeaderSize + HeaderSize;
    if (Compression == BI_BITFIELDS || Compression == BI_ALPHABITFIELDS) {
        // The masks follow a 40-byte header; the longer headers hold them at the same place.
        const size_t masks = BMPHeader::Masks;
        m_Fields = {TChannelMask(U32(masks)), TChannelMask(U32(masks + 4)), TChannelMask(U32(masks + 8))};
        if (HeaderSize == InfoHeaderSize)
            return headerEnd + (Compression == BI_ALPHABITFIELDS ? FourMasksBytes : ThreeMasksBytes);
        return headerEnd;
    }
    if (BitsPerPixel == 16)
        m_Fields = {TChannelMask(0x7C00), TChannelMask(0x03E0), TChannelMask(0x001F)};
    else
        m_Fields = {TChannelMask(0xFF0000), TChannelMask(0x00FF00), TChannelMask(0x0000FF)};
    return headerEnd;
}

void TBMPDecoder::ReadPalette(size_t paletteOffset)
{
    if (BitsPerPixel > MaxPaletteBits)
        return;
    const bool core = HeaderSize == CoreHeaderSize;
    const size_t entryBytes = core ? CoreEntryBytes : InfoEntryBytes;
    const uint32_t maxColors = 1u << BitsPerPixel;
    size_t count = (core || m_ColorsUsed == 0 || m_ColorsUsed > maxColors) ? maxColors : m_ColorsUsed;
    // The palette cannot reach into the pixel data (core headers say nothing of its size).
    if (m_DataOffset != 0)
        count = std::min(count, (std::max<size_t>(m_DataOffset, paletteOffset) - paletteOffset) / entryBytes);
    if (!Need(paletteOffset + count * entryBytes))
        FailTruncated();
    m_Palette.resize(count);
    for (size_t i = 0; i < count; ++i) {
        const uint8_t* entry = m_File.data() + paletteOffset + i * entryBytes;
        m_Palette[i] = {entry[0], entry[1], entry[2]};
    }
}

// The output, once the data is known to be there: bounded by what the file (its header,
// palette and data) can stand for.
void TBMPDecoder::AllocatePixels()
{
    const uint64_t bytes = static_cast<uint64_t>(m_OutputRowBytes * Height);
    // A large image needs an eighth of its bytes in the file: read that far (never past
    // the data the image can use) before judging.
    if (bytes > MinDecodedImageBytes)
        Need(bytes / DecodedBytesPerSourceByte);
    CheckDecodedSize("BMP", static_cast<uint64_t>(Width), static_cast<uint64_t>(Height), bytes, m_File.size(),
                     MostDecodedBytes(m_File.size()));
    Pixels.assign(static_cast<size_t>(bytes), 0);
}

void TBMPDecoder::ReadUncompressed(size_t dataOffset)
{
    const int64_t rowBits = Width * BitsPerPixel;
    const int64_t stride = (rowBits + 31) / 32 * 4;
    // The last row's padding may be missing from the file.
    const int64_t needed = stride * (Height - 1) + (rowBits + 7) / 8;
    if (!Need(dataOffset + static_cast<uint64_t>(needed)))
        FailTruncated();

    AllocatePixels();
    for (int64_t y = 0; y < Height; ++y) {
        const uint8_t* row = m_File.data() + dataOffset + y * stride;
        for (int64_t x = 0; x < Width; ++x) {
            switch (BitsPerPixel) {
            case 1:
            case 4:
            case 8: {
                const int64_t bit = x * BitsPerPixel;
                const uint32_t shift = 8 - BitsPerPixel - static_cast<uint32_t>(bit % 8);
                const uint32_t index = (row[bit / 8] >> shift) & ((1u << BitsPerPixel) - 1);
                Put(x, y, PaletteColor(index));
                break;
            }
            case 16: {
                const uint32_t pixel = static_cast<uint32_t>(row[x * 2] | row[x * 2 + 1] << 8);
                Put(x, y, {m_Fields.Blue.Extract(pixel), m_Fields.Green.Extract(pixel), m_Fields.Red.Extract(pixel)});
                break;
            }
            case 24: Put(x, y, {row[x * 3], row[x * 3 + 1], row[x * 3 + 2]}); break;
            case 32: {
                const uint32_t pixel = TByteReader(std::span(row + x * 4, 4)).U32(0);
                Put(x, y, {m_Fields.Blue.Extract(pixel), m_Fields.Green.Extract(pixel), m_Fields.Red.Extract(pixel)});
                break;
            }
            default: break;
            }
        }
    }
}

// RLE8 and RLE4: pairs (count, value) and escapes (0, code). Pixels outside the image are
// dropped; data that ends early leaves the rest black.
void TBMPDecoder::ReadRunLength(size_t dataOffset)
{
    // What any encoding of this image can need; bytes after it are taken for the end.
    const uint64_t mostData = RunLengthBytesPerPixel * static_cast<uint64_t>(Width * Height) +
                              RunLengthBytesPerLine * static_cast<uint64_t>(Height) + RunLengthEndBytes;
    size_t pos = 0;
    // Whether the next n bytes of the data are there; data[i] is valid below pos + n.
    auto has = [&](size_t n) {
        if (pos + n > mostData)
            return false;
        CutShort = !Need(dataOffset + pos + n);
        return !CutShort;
    };
    auto data = [&](size_t at) { return m_File[dataOffset + at]; };
    // The first packet tells how much there is to read: an empty stream reads nothing.
    has(2);
    AllocatePixels();
    const bool fourBit = Compression == BI_RLE4;
    int64_t x = 0;
    int64_t y = 0;
    auto put = [&](uint32_t index) {
        if (x < Width && y < Height)
            Put(x, y, PaletteColor(index));
        ++x;
    };
    while (y < Height && has(2)) {
        const uint8_t count = data(pos);
        const uint8_t value = data(pos + 1);
        pos += 2;
        if (count > 0) {
            // Encoded run; RLE4 alternates the high and the low nibble.
            for (int i = 0; i < count && x < Width; ++i)
                put(fourBit ? ((i % 2 == 0) ? value >> 4 : value & 0x0F) : value);
            continue;
        }
        switch (value) {
        case RLEEndOfLine:
            x = 0;
            ++y;
            break;
        case RLEEndOfBitmap: return;
        case RLEDelta:
            if (!has(2))
                return;
            x += data(pos);
            y += data(pos + 1);
            pos += 2;
            break;
        default: {
            // Absolute run of `value` pixels, padded to a 16-bit boundary.
            const size_t bytes = fourBit ? (value + 1u) / 2 : value;
            for (int i = 0; i < value; ++i) {
                const size_t at = fourBit ? i / 2 : i;
                if (!has(at + 1))
                    return;
                put(fourBit ? ((i % 2 == 0) ? data(pos + at) >> 4 : data(pos + at) & 0x0F) : data(pos + at));
            }
            pos += bytes + (bytes % 2);
            break;
        }
        }
    }
}

}  // namespace

void TBitmap::LoadFromStream(TStream& source, const TImageLimits& limits)
{
    TBMPDecoder decoder(source, limits);
    decoder.Decode();

    m_Width = static_cast<int>(decoder.Width);
    m_Height = static_cast<int>(decoder.Height);
    m_BitsPerPixel = static_cast<int>(decoder.BitsPerPixel);
    m_Compression = static_cast<int>(decoder.Compression);
    m_HeaderSize = static_cast<int>(decoder.HeaderSize);
    m_TopDown = decoder.TopDown;
    m_CutShort = decoder.CutShort;
    m_Pixels = std::move(decoder.Pixels);
}

}  // namespace orv
