// Fuzz target: the TGA loader; every pixel byte is read back.
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <numeric>

#include "FuzzInput.h"
#include "formats/TGA.h"

namespace {
// Keeps the reads of the result from being optimised away.
volatile unsigned Sink = 0;
}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    orv::TMemoryStream source;
    FillStream(source, data, size);
    orv::TTGAImage image;
    try {
        image.LoadFromStream(source);
    } catch (const orv::Exception&) {
        return 0;
    }
    if (image.DataSize() != size_t{image.Width()} * image.Height() * image.BytesPerPixel())
        __builtin_trap();
    const unsigned sum = std::accumulate(image.Data(), image.Data() + image.DataSize(), 0u);
    Sink = sum;
    return 0;
}
