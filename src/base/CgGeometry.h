// CgGeometry: the single-precision vector type and the few operations the viewer needs.
//
//   TVec3f v = VecSet(3, 0, 4);
//   VecNormalize(v);            // (0.6, 0, 0.8)
//   VecRotateZ(v, Pi / 2);      // counter-clockwise about +z
#pragma once

namespace orv {

struct TVec3f {
    float x = 0.0f, y = 0.0f, z = 0.0f;
    friend bool operator==(const TVec3f&, const TVec3f&) = default;
};

TVec3f VecSet(float x, float y, float z);
TVec3f VecAdd(const TVec3f& a, const TVec3f& b);
float VecLength(const TVec3f& v);
// Divides v by its length; leaves v unchanged when the length is exactly 0.
void VecNormalize(TVec3f& v);
// Counter-clockwise rotations (right-handed) by an angle in radians.
void VecRotateX(TVec3f& v, float angle);
void VecRotateZ(TVec3f& v, float angle);
TVec3f VecCross(const TVec3f& a, const TVec3f& b);

}  // namespace orv
