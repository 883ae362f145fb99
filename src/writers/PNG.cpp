// PNG: signature, IHDR, one IDAT of filtered rows deflated by zlib, IEND.
#include "writers/PNG.h"

#include <zlib.h>

#include <array>
#include <cstdlib>
#include <cstring>
#include <stdexcept>

#include "formats/Stream.h"

namespace orv {

namespace {

constexpr std::array<uint8_t, 8> PNGSignature{0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
constexpr std::array<uint8_t, 5> ColorTypeByChannels{0, 0, 4, 2, 6};   // grey, grey+alpha, RGB, RGBA
constexpr uint8_t CompressionDeflate = 0;
constexpr uint8_t FilterMethodAdaptive = 0;
constexpr uint8_t InterlaceNone = 0;

enum TRowFilter : uint8_t { FilterNone = 0, FilterSub = 1, FilterUp = 2, FilterAverage = 3, FilterPaeth = 4 };
constexpr int FilterCount = 5;

void PutBig32(std::vector<uint8_t>& out, uint32_t v)
{
    out.push_back(static_cast<uint8_t>(v >> 24));
    out.push_back(static_cast<uint8_t>(v >> 16));
    out.push_back(static_cast<uint8_t>(v >> 8));
    out.push_back(static_cast<uint8_t>(v));
}

void PutChunk(std::vector<uint8_t>& out, const char (&type)[5], std::span<const uint8_t> body)
{
    PutBig32(out, static_cast<uint32_t>(body.size()));
    const size_t typeAt = out.size();
    out.insert(out.end(), type, type + 4);
    out.insert(out.end(), body.begin(), body.end());
    // The CRC covers the chunk type and the body.
    uLong crc = crc32(0L, Z_NULL, 0);
    crc = crc32_z(crc, out.data() + typeAt, out.size() - typeAt);
    PutBig32(out, static_cast<uint32_t>(crc));
}

uint8_t Paeth(int a, int b, int c)
{
    const int p = a + b - c;
    const int pa = std::abs(p - a), pb = std::abs(p - b), pc = std::abs(p - c);
    if (pa <= pb && pa <= pc)
        return static_cast<uint8_t>(a);
    return static_cast<uint8_t>(pb <= pc ? b : c);
}

// Filters one row by the given type; bpp: bytes per complete pixel.
void FilterRow(TRowFilter filter, const uint8_t* row, const uint8_t* prior, size_t length, size_t bpp, uint8_t* out)
{
    for (size_t i = 0; i < length; ++i) {
        const int a = i >= bpp ? row[i - bpp] : 0;
        const int b = prior ? prior[i] : 0;
        const int c = (prior && i >= bpp) ? prior[i - bpp] : 0;
        int predicted = 0;
        switch (filter) {
        case FilterNone: predicted = 0; break;
        case FilterSub: predicted = a; break;
        case FilterUp: predicted = b; break;
        case FilterAverage: predicted = (a + b) / 2; break;
        case FilterPaeth: predicted = Paeth(a, b, c); break;
        }
        out[i] = static_cast<uint8_t>(row[i] - predicted);
    }
}

// The usual heuristic: the filter whose output, read as signed bytes, sums smallest.
uint64_t FilteredCost(const uint8_t* filtered, size_t length)
{
    uint64_t sum = 0;
    for (size_t i = 0; i < length; ++i)
        sum += static_cast<uint64_t>(std::abs(static_cast<int>(static_cast<int8_t>(filtered[i]))));
    return sum;
}

std::vector<uint8_t> Deflate(const std::vector<uint8_t>& raw)
{
    uLongf size = compressBound(static_cast<uLong>(raw.size()));
    std::vector<uint8_t> packed(size);
    if (compress2(packed.data(), &size, raw.data(), static_cast<uLong>(raw.size()), Z_DEFAULT_COMPRESSION) != Z_OK)
        throw std::runtime_error("zlib could not compress the PNG data");
    packed.resize(size);
    return packed;
}

}  // namespace

std::vector<uint8_t> EncodePNG(int width, int height, int channels, int bitDepth, std::span<const uint8_t> pixels)
{
    if (width <= 0 || height <= 0)
        throw std::invalid_argument("PNG size must be positive");
    if (channels < 1 || channels > 4)
        throw std::invalid_argument("PNG images have 1 to 4 channels");
    if (bitDepth != 8 && bitDepth != 16)
        throw std::invalid_argument("PNG output supports 8 and 16 bits per sample");
    const size_t sampleBytes = size_t(bitDepth) / 8;
    const size_t bpp = size_t(channels) * sampleBytes;
    const size_t rowBytes = size_t(width) * bpp;
    if (pixels.size() != rowBytes * size_t(height))
        throw std::invalid_argument("PNG pixel buffer does not match the image size");

    // Rows in PNG byte order (16-bit samples big-endian), each with its filter byte.
    std::vector<uint8_t> row(rowBytes), prior(rowBytes);
    std::array<std::vector<uint8_t>, FilterCount> candidates;
    for (auto& c : candidates)
        c.resize(rowBytes);
    std::vector<uint8_t> raw;
    raw.reserve((rowBytes + 1) * size_t(height));
    for (int y = 0; y < height; ++y) {
        const uint8_t* src = pixels.data() + size_t(y) * rowBytes;
        if (sampleBytes == 2) {
            for (size_t i = 0; i < rowBytes; i += 2) {
                uint16_t sample;
                std::memcpy(&sample, src + i, sizeof sample);
                row[i] = static_cast<uint8_t>(sample >> 8);
                row[i + 1] = static_cast<uint8_t>(sample);
            }
        } else {
            std::memcpy(row.data(), src, rowBytes);
        }
        int best = 0;
        uint64_t bestCost = UINT64_MAX;
        for (int f = 0; f < FilterCount; ++f) {
            FilterRow(static_cast<TRowFilter>(f), row.data(), y > 0 ? prior.data() : nullptr, rowBytes, bpp,
                      candidates[f].data());
            const uint64_t cost = FilteredCost(candidates[f].data(), rowBytes);
            if (cost < bestCost) {
                bestCost = cost;
                best = f;
            }
        }
        raw.push_back(static_cast<uint8_t>(best));
        raw.insert(raw.end(), candidates[best].begin(), candidates[best].end());
        std::swap(row, prior);
    }

    std::vector<uint8_t> header;
    PutBig32(header, static_cast<uint32_t>(width));
    PutBig32(header, static_cast<uint32_t>(height));
    header.push_back(static_cast<uint8_t>(bitDepth));
    header.push_back(ColorTypeByChannels[channels]);
    header.push_back(CompressionDeflate);
    header.push_back(FilterMethodAdaptive);
    header.push_back(InterlaceNone);

    std::vector<uint8_t> out(PNGSignature.begin(), PNGSignature.end());
    PutChunk(out, "IHDR", header);
    PutChunk(out, "IDAT", Deflate(raw));
    PutChunk(out, "IEND", {});
    return out;
}

void WritePNG(const std::string& path, int width, int height, int channels, int bitDepth,
              std::span<const uint8_t> pixels)
{
    const std::vector<uint8_t> png = EncodePNG(width, height, channels, bitDepth, pixels);
    TFileStream file(path, TFileMode::Create);   // "Cannot create file %s"
    file.WriteBuffer(png.data(), static_cast<int64_t>(png.size()));
}

}  // namespace orv
