// Fuzz target: the DDS loader, then the software DXT decoder on what it loaded.
#include <cstddef>
#include <cstdint>
#include <cstring>

#include "FuzzInput.h"
#include "formats/DDSImage.h"
#include "formats/DXT.h"

namespace {
// Keeps the reads of the result from being optimised away.
volatile unsigned Sink = 0;
}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    orv::TMemoryStream source;
    FillStream(source, data, size);
    orv::TDDSImage image;
    try {
        image.LoadFromStream(source);
        const auto rgba = orv::DecodeDXT(image.GLFormat(), image.Width(), image.Height(),
                                         {image.Data(), static_cast<size_t>(image.DataSize())});
        Sink = rgba.empty() ? 0 : rgba.back();
        return 0;
    } catch (const orv::Exception&) {
        return 0;
    }
}
