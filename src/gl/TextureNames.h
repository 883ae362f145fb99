// TextureNames: OpenGL texture names that delete themselves.
//
// A TTextureNames holds the names of one glGenTextures call and gives them back with
// one glDeleteTextures call when it is reset or destroyed. It is moved, never copied.
// The context the names belong to must be current at both ends (without one, OpenGL
// ignores the calls).
//
//   TTextureNames sky(1);            // glGenTextures(1, ...)
//   Upload(sky[0]);
//   sky.Reset();                     // glDeleteTextures(1, ...); sky[0] is gone
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

namespace orv {

class TTextureNames {
public:
    TTextureNames() = default;
    // count names from one glGenTextures call (none for a count below 1).
    explicit TTextureNames(int count);
    ~TTextureNames() { Reset(); }
    TTextureNames(TTextureNames&& other) noexcept;
    TTextureNames& operator=(TTextureNames&& other) noexcept;
    TTextureNames(const TTextureNames&) = delete;
    TTextureNames& operator=(const TTextureNames&) = delete;

    uint32_t operator[](size_t i) const { return m_Names[i]; }
    std::span<const uint32_t> Names() const { return m_Names; }
    bool Empty() const { return m_Names.empty(); }
    // Deletes the names (one glDeleteTextures call) and holds none.
    void Reset();

private:
    std::vector<uint32_t> m_Names;
};

}  // namespace orv
