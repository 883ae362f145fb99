// Fuzz target: the software DXT decoder on its own. The first byte picks the format (DXT1,
// DXT3, DXT5 or an unknown one), the next four give the width and height (16 bits each);
// the rest is block data. A decoded image holds exactly width x height RGBA pixels, and
// the decoder refuses exactly the block data shorter than the image needs.
#include <cstddef>
#include <cstdint>
#include <span>

#include "formats/DDSImage.h"
#include "formats/DXT.h"

namespace {

// Keeps the reads of the result from being optimised away.
volatile unsigned Sink = 0;

constexpr size_t HeaderBytes = 5;
constexpr size_t RGBA = 4;
constexpr uint32_t UnknownFormat = 0x1908;   // GL_RGBA: not a compressed format

uint32_t FormatOf(uint8_t selector)
{
    switch (selector % 4) {
    case 0: return orv::GL_COMPRESSED_RGBA_S3TC_DXT1;
    case 1: return orv::GL_COMPRESSED_RGBA_S3TC_DXT3;
    case 2: return orv::GL_COMPRESSED_RGBA_S3TC_DXT5;
    default: return UnknownFormat;
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size < HeaderBytes)
        return 0;
    const uint32_t format = FormatOf(data[0]);
    const uint32_t width = data[1] | uint32_t{data[2]} << 8;
    const uint32_t height = data[3] | uint32_t{data[4]} << 8;
    const std::span<const uint8_t> blocks(data + HeaderBytes, size - HeaderBytes);
    const uint64_t needed = orv::DXTDataSize(format, width, height);
    try {
        const auto rgba = orv::DecodeDXT(format, width, height, blocks);
        if (format == UnknownFormat || needed > blocks.size() || rgba.size() != uint64_t{width} * height * RGBA)
            __builtin_trap();
        unsigned sum = 0;
        for (const uint8_t byte : rgba)
            sum += byte;
        Sink = sum;
    } catch (const orv::EDXTError&) {
        if (format != UnknownFormat && needed <= blocks.size())
            __builtin_trap();
    }
    return 0;
}
