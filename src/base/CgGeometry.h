// CgGeometry: the single-precision vector type and the few operations the viewer needs.
//
//   TVec3f v = VecSet(3, 0, 4);
//   VecNormalize(v);            // (0.6, 0, 0.8)
//   VecRotateZ(v, Pi / 2);      // counter-clockwise about +z
//
// The operations are inline: the normals of a zone take four cross products per vertex.
#pragma once

#include <cmath>
#include <numbers>

namespace orv {

struct TVec3f {
    float x = 0.0f, y = 0.0f, z = 0.0f;
    friend bool operator==(const TVec3f&, const TVec3f&) = default;
};

constexpr float FullTurn = 360.0f;   // degrees

// Degrees to radians, computed in double precision.
inline float Radians(float degrees) { return static_cast<float>(degrees * std::numbers::pi / (FullTurn / 2)); }

inline TVec3f VecSet(float x, float y, float z) { return TVec3f{x, y, z}; }

inline TVec3f VecAdd(const TVec3f& a, const TVec3f& b) { return TVec3f{a.x + b.x, a.y + b.y, a.z + b.z}; }

// The root is taken in double precision, the result rounded to single.
inline float VecLength(const TVec3f& v)
{
    const double x = v.x, y = v.y, z = v.z;
    return static_cast<float>(std::sqrt(x * x + y * y + z * z));
}

// Divides v by its length; leaves v unchanged when the length is exactly 0.
inline void VecNormalize(TVec3f& v)
{
    const float length = VecLength(v);
    if (length == 0.0f)
        return;
    v.x /= length;
    v.y /= length;
    v.z /= length;
}

// Counter-clockwise rotations (right-handed) by an angle in radians; the products are
// formed in double precision.
inline void VecRotateX(TVec3f& v, float angle)
{
    const double c = std::cos(static_cast<double>(angle)), s = std::sin(static_cast<double>(angle));
    const double y = v.y, z = v.z;
    v.y = static_cast<float>(c * y - s * z);
    v.z = static_cast<float>(s * y + c * z);
}

inline void VecRotateZ(TVec3f& v, float angle)
{
    const double c = std::cos(static_cast<double>(angle)), s = std::sin(static_cast<double>(angle));
    const double x = v.x, y = v.y;
    v.x = static_cast<float>(c * x - s * y);
    v.y = static_cast<float>(s * x + c * y);
}

inline TVec3f VecCross(const TVec3f& a, const TVec3f& b)
{
    return TVec3f{a.y * b.z - b.y * a.z, a.z * b.x - a.x * b.z, a.x * b.y - b.x * a.y};
}

}  // namespace orv
