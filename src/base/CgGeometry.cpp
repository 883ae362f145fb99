#include "base/CgGeometry.h"

#include <cmath>

namespace orv {

TVec3f VecSet(float x, float y, float z) { return TVec3f{x, y, z}; }

TVec3f VecAdd(const TVec3f& a, const TVec3f& b) { return TVec3f{a.x + b.x, a.y + b.y, a.z + b.z}; }

float VecLength(const TVec3f& v)
{
    const double x = v.x, y = v.y, z = v.z;
    return static_cast<float>(std::sqrt(x * x + y * y + z * z));
}

void VecNormalize(TVec3f& v)
{
    const float length = VecLength(v);
    if (length == 0.0f)
        return;
    v.x /= length;
    v.y /= length;
    v.z /= length;
}

void VecRotateX(TVec3f& v, float angle)
{
    const double c = std::cos(angle), s = std::sin(angle);
    const double y = v.y, z = v.z;
    v.y = static_cast<float>(c * y - s * z);
    v.z = static_cast<float>(s * y + c * z);
}

void VecRotateZ(TVec3f& v, float angle)
{
    const double c = std::cos(angle), s = std::sin(angle);
    const double x = v.x, y = v.y;
    v.x = static_cast<float>(c * x - s * y);
    v.y = static_cast<float>(s * x + c * y);
}

TVec3f VecCross(const TVec3f& a, const TVec3f& b)
{
    return TVec3f{a.y * b.z - b.y * a.z, a.z * b.x - a.x * b.z, a.x * b.y - b.x * a.y};
}

}  // namespace orv
