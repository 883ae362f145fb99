// The fuzz input as a memory stream, for the readers that work on streams.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>

#include "formats/Stream.h"

inline void FillStream(orv::TMemoryStream& stream, const uint8_t* data, size_t size)
{
    stream.SetSize(static_cast<int64_t>(size));
    if (size > 0)
        std::memcpy(stream.Memory(), data, size);
}
