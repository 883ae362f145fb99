// PCXStream: the decoded pixel bytes of an 8-bit PCX image, one byte per call.
//
// Skips the 128-byte header without reading it and undoes the run-length encoding; knows
// nothing of scan lines. After the source ends every call repeats the last byte.
#pragma once

#include <cstdint>
#include <memory>

#include "formats/Stream.h"

namespace orv {

// The fixed header before the first pixel byte, and the run-length code: bytes above
// PCXRunMarker start a run of their low six bits; PCXRunMarker itself is data.
constexpr int64_t PCXHeaderSize = 128;
constexpr uint8_t PCXRunMarker = 0xC0;
constexpr uint8_t PCXRunCountMask = 0x3F;

class TPCXByteStream {
public:
    explicit TPCXByteStream(std::unique_ptr<TStream> source);   // takes ownership
    uint8_t ReadByte();

private:
    std::unique_ptr<TStream> m_Source;
    uint8_t m_Value = 0;
    int32_t m_RepeatCount = 0;
};

}  // namespace orv
