// Fuzz target: the PCX byte stream over arbitrary bytes. Reads twice as many bytes as the
// input holds (enough to run past its end into the repeat-the-last-byte state), at most
// as many as the heightmap loader reads (256 rows of 256 bytes).
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <memory>

#include "formats/PCXStream.h"

namespace {
// Keeps the reads of the result from being optimised away.
volatile unsigned Sink = 0;
}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    auto source = std::make_unique<orv::TMemoryStream>();
    source->SetSize(static_cast<int64_t>(size));
    if (size > 0)
        std::memcpy(source->Memory(), data, size);
    orv::TPCXByteStream stream(std::move(source));
    constexpr size_t HeightmapBytes = 256 * 256;
    constexpr size_t PastTheEnd = 512;
    const size_t count = std::min(HeightmapBytes, 2 * size + PastTheEnd);
    unsigned sum = 0;
    for (size_t i = 0; i < count; ++i)
        sum += stream.ReadByte();
    Sink = sum;
    return 0;
}
