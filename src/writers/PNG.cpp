// PNG through libpng's write API into memory. libpng reports errors by longjmp, so the
// one function that sets the jump point holds nothing with a destructor; the messages
// are carried out in a plain buffer and turned into exceptions afterwards.
#include "writers/PNG.h"

#include <png.h>

#include <array>
#include <bit>
#include <cstdio>
#include <cstring>
#include <stdexcept>

#include "formats/Stream.h"

namespace orv {

namespace {

constexpr std::array<int, 5> ColorTypeByChannels{0, PNG_COLOR_TYPE_GRAY, PNG_COLOR_TYPE_GRAY_ALPHA,
                                                 PNG_COLOR_TYPE_RGB, PNG_COLOR_TYPE_RGB_ALPHA};

// What the callbacks reach through libpng's pointers.
struct TPNGOutput {
    std::vector<uint8_t>* Bytes = nullptr;
    char Error[256] = {};
};

void OnError(png_structp png, png_const_charp message)
{
    auto* output = static_cast<TPNGOutput*>(png_get_error_ptr(png));
    std::snprintf(output->Error, sizeof output->Error, "%s", message);
    png_longjmp(png, 1);
}

void OnWarning(png_structp, png_const_charp) {}

void OnWrite(png_structp png, png_bytep data, size_t length)
{
    auto* output = static_cast<TPNGOutput*>(png_get_io_ptr(png));
    try {
        output->Bytes->insert(output->Bytes->end(), data, data + length);
    } catch (const std::bad_alloc&) {
        png_error(png, "out of memory");
    }
}

void OnFlush(png_structp) {}

struct TLayout {
    png_uint_32 Width, Height;
    int BitDepth, ColorType;
    bool SwapSamples;   // 16-bit samples given little-endian
};

// False when libpng failed (the message is in the output's Error).
bool WriteImage(png_structp png, png_infop info, const TLayout& layout, png_bytepp rows)
{
    if (setjmp(png_jmpbuf(png)))
        return false;
    png_set_IHDR(png, info, layout.Width, layout.Height, layout.BitDepth, layout.ColorType, PNG_INTERLACE_NONE,
                 PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
    png_set_filter(png, PNG_FILTER_TYPE_BASE, PNG_ALL_FILTERS);
    png_write_info(png, info);
    if (layout.SwapSamples)
        png_set_swap(png);
    png_write_image(png, rows);
    png_write_end(png, nullptr);
    return true;
}

class TPNGWriter {
public:
    explicit TPNGWriter(TPNGOutput& output)
    {
        m_Png = png_create_write_struct(PNG_LIBPNG_VER_STRING, &output, OnError, OnWarning);
        if (m_Png)
            m_Info = png_create_info_struct(m_Png);
        if (!m_Png || !m_Info) {
            png_destroy_write_struct(&m_Png, &m_Info);
            throw std::runtime_error("libpng could not start a PNG");
        }
        png_set_write_fn(m_Png, &output, OnWrite, OnFlush);
    }
    ~TPNGWriter() { png_destroy_write_struct(&m_Png, &m_Info); }
    TPNGWriter(const TPNGWriter&) = delete;
    TPNGWriter& operator=(const TPNGWriter&) = delete;

    png_structp Png() const { return m_Png; }
    png_infop Info() const { return m_Info; }

private:
    png_structp m_Png = nullptr;
    png_infop m_Info = nullptr;
};

}  // namespace

std::vector<uint8_t> EncodePNG(int width, int height, int channels, int bitDepth, std::span<const uint8_t> pixels)
{
    if (width <= 0 || height <= 0)
        throw std::invalid_argument("PNG size must be positive");
    if (channels < 1 || channels > 4)
        throw std::invalid_argument("PNG images have 1 to 4 channels");
    if (bitDepth != 8 && bitDepth != 16)
        throw std::invalid_argument("PNG output supports 8 and 16 bits per sample");
    const size_t rowBytes = size_t(width) * size_t(channels) * (size_t(bitDepth) / 8);
    if (pixels.size() != rowBytes * size_t(height))
        throw std::invalid_argument("PNG pixel buffer does not match the image size");

    // libpng reads the rows without changing them (its transformations work on a copy).
    std::vector<png_bytep> rows(static_cast<size_t>(height));
    for (size_t y = 0; y < rows.size(); ++y)
        rows[y] = const_cast<png_bytep>(pixels.data() + y * rowBytes);

    std::vector<uint8_t> bytes;
    TPNGOutput output{&bytes};
    TPNGWriter writer(output);
    const TLayout layout{static_cast<png_uint_32>(width), static_cast<png_uint_32>(height), bitDepth,
                         ColorTypeByChannels[static_cast<size_t>(channels)],
                         bitDepth == 16 && std::endian::native == std::endian::little};
    if (!WriteImage(writer.Png(), writer.Info(), layout, rows.data()))
        throw std::runtime_error(std::string("libpng: ").append(output.Error));
    return bytes;
}

void WritePNG(const std::string& path, int width, int height, int channels, int bitDepth,
              std::span<const uint8_t> pixels)
{
    const std::vector<uint8_t> png = EncodePNG(width, height, channels, bitDepth, pixels);
    WriteWholeFile(path, png.data(), png.size());   // "Cannot create file %s"
}

}  // namespace orv
