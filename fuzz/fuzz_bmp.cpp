// Fuzz target: the BMP decoder; every output byte is read back.
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <numeric>

#include "FuzzInput.h"
#include "formats/Bitmap.h"

namespace {
// Keeps the reads of the result from being optimised away.
volatile unsigned Sink = 0;
}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    orv::TMemoryStream source;
    FillStream(source, data, size);
    orv::TBitmap bitmap;
    try {
        bitmap.LoadFromStream(source);
    } catch (const orv::Exception&) {
        return 0;
    }
    if (bitmap.PixelBytes().size() != size_t(bitmap.RowBytes()) * size_t(bitmap.Height()))
        __builtin_trap();
    const auto& pixels = bitmap.PixelBytes();
    const unsigned sum = std::accumulate(pixels.begin(), pixels.end(), 0u);
    Sink = sum;
    return 0;
}
