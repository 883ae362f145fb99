// SkyBox: the bounding box and the camera-attached panels.
#include "scene/SkyBox.h"

#include <array>
#include <span>

#include "gl/GLCalls.h"
#include "scene/Water.h"
#include "terrain/Renderers.h"

namespace orv {
namespace {

constexpr uint8_t AxisX = 0, AxisY = 1, AxisZ = 2;

struct TCorner {
    float x, y, z;
};

struct TFace {
    TCorner Normal;
    std::array<TCorner, 4> Corners;
};

// Bounding form: the normals point into the box; every face is counter-clockwise seen
// from inside.
constexpr float E = SkyBoxExtent;
constexpr float H = SkyBoxHeight;
constexpr TFace FaceA{{0, -1, 0}, {{{0, E, 0}, {E, E, 0}, {E, E, H}, {0, E, H}}}};   // wall at y = E
constexpr TFace FaceB{{0, 0, -1}, {{{0, 0, H}, {0, E, H}, {E, E, H}, {E, 0, H}}}};   // ceiling
constexpr TFace FaceC{{1, 0, 0}, {{{0, 0, 0}, {0, E, 0}, {0, E, H}, {0, 0, H}}}};    // wall at x = 0
constexpr TFace FaceD{{-1, 0, 0}, {{{E, E, 0}, {E, 0, 0}, {E, 0, H}, {E, E, H}}}};   // wall at x = E

// Camera-attached form, in eye space (the eye looks along -z), before the translation.
constexpr float W = SkyPanelHalfWidth;
constexpr float P = SkyPanelHalfHeight;
struct TPanel {
    TCorner Translation;
    TFace Face;
};
constexpr TPanel PanelF{{0, 0, -SkyPanelDistance}, {{0, -1, 0}, {{{-W, -P, 0}, {W, -P, 0}, {W, P, 0}, {-W, P, 0}}}}};
constexpr TPanel PanelL{{-SkyPanelDistance, 0, 0}, {{1, 0, 0}, {{{0, -W, -P}, {0, W, -P}, {0, W, P}, {0, -W, P}}}}};
constexpr TPanel PanelR{{SkyPanelDistance, 0, 0}, {{-1, 0, 0}, {{{0, W, -P}, {0, -W, -P}, {0, -W, P}, {0, W, P}}}}};

void FaceVertices(const TFace& face)
{
    gl::glNormal3f(face.Normal.x, face.Normal.y, face.Normal.z);
    for (const TCorner& c : face.Corners)
        gl::glVertex3f(c.x, c.y, c.z);
}

void DrawFaces(std::initializer_list<const TFace*> faces)
{
    gl::glBegin(GL_QUADS);
    for (const TFace* face : faces)
        FaceVertices(*face);
    gl::glEnd();
}

void DrawPanel(const TPanel& panel)
{
    gl::glPushMatrix();
    gl::glTranslatef(panel.Translation.x, panel.Translation.y, panel.Translation.z);
    DrawFaces({&panel.Face});
    gl::glPopMatrix();
}

void DrawBoundingPass(bool clouds)
{
    if (clouds)
        SetTexGenPlanes(AxisX, AxisZ, SkyTextureScale);
    DrawFaces({&FaceA});
    if (clouds)
        SetTexGenPlanes(AxisX, AxisY, SkyTextureScale);
    DrawFaces({&FaceB});
    if (clouds)
        SetTexGenPlanes(AxisY, AxisZ, SkyTextureScale);
    DrawFaces({&FaceC, &FaceD});
}

void DrawCameraPass(bool clouds)
{
    if (clouds)
        SetTexGenPlanes(AxisX, AxisY, SkyTextureScale);
    DrawPanel(PanelF);
    if (clouds)
        SetTexGenPlanes(AxisY, AxisZ, SkyTextureScale);
    DrawPanel(PanelL);
    DrawPanel(PanelR);
}

}  // namespace

void DrawSkyBox(bool bounding, uint32_t skyTexture)
{
    gl::glEnable(GL_DEPTH_TEST);
    gl::glDisable(GL_LIGHTING);
    gl::glDisable(GL_BLEND);
    gl::glDisable(GL_TEXTURE_2D);
    gl::glFrontFace(GL_CCW);
    gl::glColor3f(SkyColorR, SkyColorG, SkyColorB);
    if (bounding)
        DrawBoundingPass(false);
    else
        DrawCameraPass(false);
    // The clouds: texel x sky colour added over the sky, on the depth just written.
    gl::glDepthFunc(GL_LEQUAL);
    gl::glEnable(GL_BLEND);
    gl::glBlendFunc(GL_ONE, GL_SRC_ALPHA);
    gl::glEnable(GL_TEXTURE_2D);
    gl::glBindTexture(GL_TEXTURE_2D, skyTexture);
    if (bounding)
        DrawBoundingPass(true);
    else
        DrawCameraPass(true);
    gl::glDepthFunc(GL_LESS);
    gl::glDisable(GL_BLEND);
    gl::glEnable(GL_DEPTH_TEST);
    DisableTexGen();
}

}  // namespace orv
