// SanitizedBuild: whether the tests run in a build with AddressSanitizer (GCC and clang
// tell it differently).
#pragma once

namespace orv::test {

#if defined(__SANITIZE_ADDRESS__)
inline constexpr bool SanitizedBuild = true;
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
inline constexpr bool SanitizedBuild = true;
#else
inline constexpr bool SanitizedBuild = false;
#endif
#else
inline constexpr bool SanitizedBuild = false;
#endif

}  // namespace orv::test
