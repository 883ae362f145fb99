// PCXPicture: the header's layout and the whole picture, scan line by scan line.
#include "formats/PCXPicture.h"

#include <algorithm>
#include <string>
#include <vector>

#include "base/ByteOrder.h"
#include "formats/Pictures.h"

namespace orv {

namespace {

constexpr size_t RGB = 3;
// Two bytes of run-length data give at most this many pixel bytes.
constexpr uint64_t MostRun = PCXRunCountMask;

}  // namespace

TPCXLayout ReadPCXLayout(std::span<const uint8_t> header)
{
    using namespace PCXHeader;
    if (header.size() < static_cast<size_t>(PCXHeaderSize))
        throw EPictureError("PCX header cut short (" + std::to_string(header.size()) + " bytes)");
    const TByteReader fields(header);
    const int xmin = static_cast<int>(fields.U16(XMin)), xmax = static_cast<int>(fields.U16(XMax));
    const int ymin = static_cast<int>(fields.U16(YMin)), ymax = static_cast<int>(fields.U16(YMax));
    if (xmax < xmin || ymax < ymin)
        throw EPictureError("PCX window " + std::to_string(xmin) + "," + std::to_string(ymin) + " to " +
                            std::to_string(xmax) + "," + std::to_string(ymax) + " is empty");
    return {xmax - xmin + 1, ymax - ymin + 1, header[Planes], header[BitsPerPixel],
            static_cast<int>(fields.U16(BytesPerLine)), header[Encoding] == 1};
}

bool HasPCXPalette(std::span<const uint8_t> file)
{
    using namespace PCXHeader;
    return file.size() >= PCXHeaderSize + PaletteSize + 1 && file[file.size() - PaletteSize - 1] == PaletteMarker;
}

TPictureClaim ClaimPCX(std::span<const uint8_t> head, bool named)
{
    using namespace PCXHeader;
    const bool marked = head.size() >= static_cast<size_t>(PCXHeaderSize) && head[0] == Manufacturer &&
                        head[Encoding] <= 1 &&
                        (head[BitsPerPixel] == 1 || head[BitsPerPixel] == 2 || head[BitsPerPixel] == 4 ||
                         head[BitsPerPixel] == 8);
    return marked ? TPictureClaim::Marked : named && !head.empty() ? TPictureClaim::Named : TPictureClaim::None;
}

TImage DecodePCXPicture(TStream& source, const TImageLimits& limits)
{
    // The palette stands at the end: the file is read whole.
    const int64_t size = source.Size() - source.Position();
    if (size > MaxWholePictureFileBytes)
        throw EPictureError("too large for an image (" + std::to_string(size) + " bytes)");
    std::vector<uint8_t> b(static_cast<size_t>(std::max<int64_t>(size, 0)));
    b.resize(static_cast<size_t>(std::max<int64_t>(source.Read(b.data(), static_cast<int64_t>(b.size())), 0)));

    const TPCXLayout l = ReadPCXLayout(b);
    if (l.BitsPerPixel != 8 || (l.Planes != 1 && l.Planes != 3))
        throw EPictureError("unsupported PCX: " + std::to_string(l.BitsPerPixel) + " bits per pixel in " +
                            std::to_string(l.Planes) + " planes (8 bits in 1 or 3 planes are read)");
    if (l.BytesPerLine < l.Width)
        throw EPictureError("PCX lines of " + std::to_string(l.BytesPerLine) + " bytes cannot hold " +
                            std::to_string(l.Width) + " pixels");
    const size_t lineBytes = static_cast<size_t>(l.BytesPerLine) * static_cast<size_t>(l.Planes);
    const uint64_t total = uint64_t{lineBytes} * static_cast<uint64_t>(l.Height);
    const uint64_t available = b.size() - PCXHeaderSize;
    const uint64_t mostPossible = l.RunLength ? (available / 2 + 1) * MostRun : available;
    if (total > mostPossible)
        throw EPictureError("PCX data cut short: " + std::to_string(available) + " bytes cannot hold " +
                            std::to_string(l.Width) + " x " + std::to_string(l.Height) + " pixels");
    const uint64_t pictureBytes = uint64_t{static_cast<uint32_t>(l.Width)} * static_cast<uint32_t>(l.Height) * RGB;
    CheckDecodedSize("PCX", static_cast<uint64_t>(l.Width), static_cast<uint64_t>(l.Height), pictureBytes, available,
                     MostDecodedBytes(available));
    CheckImageLimits("PCX", static_cast<uint64_t>(l.Width), static_cast<uint64_t>(l.Height), pictureBytes, limits);

    // One scan line at a time; a run may cross a line, not the end of the picture.
    TImage image{l.Width, l.Height, static_cast<int>(RGB), std::vector<uint8_t>(static_cast<size_t>(pictureBytes)), {}};
    std::vector<uint8_t> line(lineBytes);
    size_t in = PCXHeaderSize;
    uint8_t value = 0;
    size_t pending = 0;   // of `value`, from a run that crossed into this line
    for (int y = 0; y < l.Height; ++y) {
        for (size_t out = 0; out < lineBytes;) {
            if (pending == 0) {
                if (in >= b.size())
                    throw EPictureError("PCX data cut short after " + std::to_string(y) + " of " +
                                        std::to_string(l.Height) + " lines");
                value = b[in++];
                pending = 1;
                if (l.RunLength && value > PCXRunMarker) {
                    pending = value & PCXRunCountMask;
                    if (in >= b.size())
                        throw EPictureError("PCX data cut short inside a run");
                    value = b[in++];
                }
            }
            const size_t count = std::min(pending, lineBytes - out);
            std::fill_n(line.begin() + static_cast<std::ptrdiff_t>(out), count, value);
            out += count;
            pending -= count;
        }
        const size_t width = static_cast<size_t>(l.Width);
        if (l.Planes == 3) {
            uint8_t* p = image.Pixels.data() + static_cast<size_t>(y) * width * RGB;
            for (size_t x = 0; x < width; ++x, p += RGB)
                for (size_t c = 0; c < RGB; ++c)
                    p[c] = line[c * static_cast<size_t>(l.BytesPerLine) + x];
        } else {
            // The indices first, packed at the start; turned into colours below.
            std::copy_n(line.begin(), width, image.Pixels.begin() + static_cast<std::ptrdiff_t>(y * width));
        }
    }
    if (l.Planes == 1) {
        // A palette after the data colours the indices; without one they are grey. From
        // the last pixel backwards, so that no index is overwritten before it is read.
        const bool palette = b.size() >= in + PCXHeader::PaletteSize + 1 && HasPCXPalette(b);
        const uint8_t* colors = b.data() + b.size() - PCXHeader::PaletteSize;
        for (size_t i = image.Pixels.size() / RGB; i-- > 0;) {
            const uint8_t index = image.Pixels[i];
            uint8_t* p = image.Pixels.data() + i * RGB;
            if (palette)
                std::copy_n(colors + size_t{RGB} * index, RGB, p);
            else
                std::fill_n(p, RGB, index);
        }
    }
    return image;
}

}  // namespace orv
