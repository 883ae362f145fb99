// Wrapping: 32-bit integer arithmetic that wraps as the processor's does, computed in
// unsigned arithmetic so that it never overflows.
//
//   WrappingMul(8388608, 256)   // -2147483648
//   WrappingSub(0, INT32_MIN)   // INT32_MIN
#pragma once

#include <cstdint>

namespace orv {

constexpr int32_t WrappingMul(int32_t a, int32_t b)
{
    return static_cast<int32_t>(static_cast<uint32_t>(a) * static_cast<uint32_t>(b));
}

constexpr int32_t WrappingSub(int32_t a, int32_t b)
{
    return static_cast<int32_t>(static_cast<uint32_t>(a) - static_cast<uint32_t>(b));
}

}  // namespace orv
