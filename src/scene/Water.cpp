// Water: one textured, blended quad per region.
#include "scene/Water.h"

#include "gl/GLCalls.h"
#include "scene/FrameMath.h"
#include "terrain/Renderers.h"

namespace orv {
namespace {

constexpr float TexGenUnit = 256.0f;
constexpr int PlaneComponents = 4;

}  // namespace

void SetTexGenPlanes(uint8_t sAxis, uint8_t tAxis, float scale)
{
    const float f = 1.0f / (TexGenUnit * scale);
    std::array<float, PlaneComponents> p{};
    if (sAxis < PlaneComponents)
        p[sAxis] = f;
    gl::glTexGeni(GL_S, GL_TEXTURE_GEN_MODE, GL_OBJECT_LINEAR);
    gl::glTexGenfv(GL_S, GL_OBJECT_PLANE, p.data());
    gl::glEnable(GL_TEXTURE_GEN_S);
    std::array<float, PlaneComponents> q{};
    if (tAxis < PlaneComponents)
        q[tAxis] = f;
    gl::glTexGeni(GL_T, GL_TEXTURE_GEN_MODE, GL_OBJECT_LINEAR);
    gl::glTexGenfv(GL_T, GL_OBJECT_PLANE, q.data());
    gl::glEnable(GL_TEXTURE_GEN_T);
}

void SetGLColor(uint32_t color, float alpha)
{
    const std::array<float, 3> rgb = PackedColorRGB(color);
    gl::glColor4f(rgb[0], rgb[1], rgb[2], alpha);
}

void DrawWater(const TWaterRegionList& regions, uint32_t waterTexture)
{
    gl::glFrontFace(GL_CCW);
    gl::glEnable(GL_TEXTURE_2D);
    gl::glBindTexture(GL_TEXTURE_2D, waterTexture);
    SetTexGenPlanes(0, 1, 1.0f);
    gl::glEnable(GL_BLEND);
    gl::glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
    gl::glNormal3f(0.0f, 0.0f, 1.0f);
    gl::glBegin(GL_QUADS);
    for (const auto& region : regions) {
        SetGLColor(region->Color, WaterAlpha);
        for (const TVec3f& c : WaterCorners(*region))
            gl::glVertex3f(c.x, c.y, c.z);
    }
    gl::glEnd();
    DisableTexGen();
}

}  // namespace orv
