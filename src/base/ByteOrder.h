// ByteOrder: little-endian fields of a span of bytes, read with bounds.
//
//   TByteReader header(bytes);
//   if (!header.Holds(OffsetWidth, 4)) ...        // or let the read raise
//   const uint32_t width = header.U32(OffsetWidth);
//   const uint16_t depth = header.U16Or(OffsetDepth, 0);   // 0 when the span ends first
//
// Every file format of the game stores its integers little-endian. A read that would
// reach past the end of the span raises EReadError "Stream read error", the error of a
// stream that ends first; the ...Or forms give the fallback instead.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>

#include "base/Exception.h"

namespace orv {

class TByteReader {
public:
    explicit TByteReader(std::span<const uint8_t> bytes) : m_Bytes(bytes) {}

    size_t Size() const { return m_Bytes.size(); }
    // Whether count bytes from offset lie within the span (without overflow).
    bool Holds(size_t offset, size_t count) const
    {
        return offset <= m_Bytes.size() && count <= m_Bytes.size() - offset;
    }

    uint8_t U8(size_t offset) const { return Field<uint8_t, 1>(offset); }
    uint16_t U16(size_t offset) const { return Field<uint16_t, 2>(offset); }
    uint32_t U32(size_t offset) const { return Field<uint32_t, 4>(offset); }
    uint64_t U64(size_t offset) const { return Field<uint64_t, 8>(offset); }
    int32_t S32(size_t offset) const { return static_cast<int32_t>(U32(offset)); }

    uint16_t U16Or(size_t offset, uint16_t fallback) const { return Holds(offset, 2) ? U16(offset) : fallback; }
    uint32_t U32Or(size_t offset, uint32_t fallback) const { return Holds(offset, 4) ? U32(offset) : fallback; }

private:
    template <class T, size_t Count>
    T Field(size_t offset) const
    {
        if (!Holds(offset, Count))
            throw EReadError("Stream read error");
        T value = 0;
        for (size_t i = 0; i < Count; ++i)
            value = static_cast<T>(value | static_cast<T>(m_Bytes[offset + i]) << (8 * i));
        return value;
    }

    std::span<const uint8_t> m_Bytes;
};

// Stores value little-endian at offset (the span must hold the four bytes).
inline void PutU32(std::span<uint8_t> bytes, size_t offset, uint32_t value)
{
    for (size_t i = 0; i < 4; ++i)
        bytes[offset + i] = static_cast<uint8_t>(value >> (8 * i));
}

}  // namespace orv
