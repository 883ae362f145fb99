// TGA: header, colour map, raw or run-length pixel data, then the descriptor's reorderings.
#include "formats/TGA.h"

#include <algorithm>
#include <string>

namespace orv {

namespace {

constexpr uint8_t ColorMapPresent = 1;
constexpr uint8_t PacketIsRun = 0x80;
constexpr uint8_t PacketCountMask = 0x7F;

}  // namespace

void TTGAImage::LoadFromStream(TStream& source, const TImageLimits& limits)
{
    m_Header.fill(0);
    m_Pixels.clear();
    m_ColorMap.clear();
    m_CutShort = false;

    source.Read(m_Header.data(), TGAHeaderSize);
    source.Seek(IDLength(), TSeekOrigin::Current);
    if (ColorMapType() == ColorMapPresent) {
        m_ColorMap.assign(static_cast<size_t>(ColorMapLength()) * ColorMapEntrySize() / 8, 0);
        source.Read(m_ColorMap.data(), static_cast<int64_t>(m_ColorMap.size()));
    }

    const uint64_t bytesPerPixel = BytesPerPixel();
    const uint64_t total = uint64_t{Width()} * Height() * bytesPerPixel;
    const auto remaining = static_cast<uint64_t>(std::max<int64_t>(source.Size() - source.Position(), 0));
    const bool runLength = ImageType() >= TGAFirstRunLengthType;
    CheckDecodedSize("TGA", Width(), Height(), total, remaining,
                     runLength ? MostDecodedBytes(remaining) : remaining + ShortTGAAllowance);
    CheckImageLimits("TGA", Width(), Height(), total, limits);

    if (!runLength) {
        m_Pixels.assign(total, 0);
        m_CutShort = source.Read(m_Pixels.data(), static_cast<int64_t>(total)) != static_cast<int64_t>(total);
    } else {
        ReadRunLengthData(source, total);
        m_Header[TGAHeader::ImageType] = static_cast<uint8_t>(ImageType() - TGARunLengthTypeOffset);
    }

    if ((Descriptor() & TGARightToLeft) != 0)
        ReversePixelsInRows();
    if ((Descriptor() & TGATopToBottom) == 0)
        ReverseRows();
}

void TTGAImage::ReadRunLengthData(TStream& source, size_t total)
{
    const size_t bytesPerPixel = BytesPerPixel();
    m_Pixels.assign(total, 0);
    std::vector<uint8_t> scratch(bytesPerPixel, 0);
    uint8_t packet = 0;
    size_t produced = 0;
    // Reads go one byte at a time; a failed read leaves the packet byte or the scratch
    // byte as it was, so a cut-off stream repeats its last pixel to the end.
    auto readPixel = [&] {
        for (uint8_t& b : scratch)
            m_CutShort = source.Read(&b, 1) != 1 || m_CutShort;
    };
    auto emit = [&] {
        // A packet running past the last pixel is cut off there.
        if (produced < total) {
            std::copy(scratch.begin(), scratch.end(), m_Pixels.begin() + static_cast<std::ptrdiff_t>(produced));
            produced += bytesPerPixel;
        }
    };
    while (produced < total) {
        if (source.Read(&packet, 1) != 1) {
            m_CutShort = true;
            // The source is exhausted: every later read fails too, so whatever packet
            // is repeated, it emits the scratch pixel as it stands. Fill at once, copying
            // what is filled already onto the rest.
            uint8_t* const rest = m_Pixels.data() + produced;
            const size_t restBytes = total - produced;
            std::copy(scratch.begin(), scratch.end(), rest);
            for (size_t filled = bytesPerPixel; filled < restBytes;) {
                const size_t piece = std::min(filled, restBytes - filled);
                std::copy_n(rest, piece, rest + filled);
                filled += piece;
            }
            break;
        }
        const int count = (packet & PacketCountMask) + 1;
        if ((packet & PacketIsRun) != 0) {
            readPixel();
            for (int i = 0; i < count; ++i)
                emit();
        } else {
            for (int i = 0; i < count && produced < total; ++i) {
                readPixel();
                emit();
            }
        }
    }
}

void TTGAImage::ReversePixelsInRows()
{
    const size_t bytesPerPixel = BytesPerPixel();
    const size_t rowBytes = size_t{Width()} * bytesPerPixel;
    if (rowBytes == 0)
        return;
    for (size_t row = 0; row < Height(); ++row) {
        uint8_t* first = m_Pixels.data() + row * rowBytes;
        uint8_t* last = first + rowBytes - bytesPerPixel;
        for (; first < last; first += bytesPerPixel, last -= bytesPerPixel)
            std::swap_ranges(first, first + bytesPerPixel, last);
    }
}

void TTGAImage::ReverseRows()
{
    const size_t rowBytes = size_t{Width()} * BytesPerPixel();
    if (rowBytes == 0)
        return;
    for (size_t k = 0; k < Height() / 2u; ++k)
        std::swap_ranges(m_Pixels.begin() + static_cast<std::ptrdiff_t>(k * rowBytes),
                         m_Pixels.begin() + static_cast<std::ptrdiff_t>((k + 1) * rowBytes),
                         m_Pixels.begin() + static_cast<std::ptrdiff_t>((Height() - 1 - k) * rowBytes));
}

}  // namespace orv
