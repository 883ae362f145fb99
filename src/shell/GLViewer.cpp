// GLViewer: start-up, drawing and the OpenGL handlers of the viewer.
#include "shell/GLViewer.h"

#include <GL/gl.h>

#include "base/Log.h"
#include "gl/GLError.h"
#include "scene/Frame.h"
#include "zone/Textures.h"

namespace orv {
namespace {

constexpr std::array<float, 4> MaterialColor{0.5f, 0.5f, 0.5f, 1.0f};
constexpr std::array<float, 4> FixedSunPosition{-1.0f, 0.0f, 1.0f, 0.0f};
constexpr float TrackbarScale = 255.0f;
constexpr GLsizei TileNameCount = 256;
constexpr int ColorComponents = 4;

}  // namespace

TGLViewer::TGLViewer() = default;
TGLViewer::~TGLViewer() = default;

std::string TGLViewer::LoadExtensions(const glext::TProcLookup& lookup)
{
    GL13Supported = glext::LoadGL13(lookup);
    MultitextureSupported = glext::LoadARBMultitexture(lookup);
    const auto* extensions = reinterpret_cast<const char*>(glGetString(GL_EXTENSIONS));
    Log(extensions ? extensions : "");
    return GL13Supported ? std::string() : std::string(NoGL13Message);
}

void TGLViewer::InitBaseState()
{
    glClearColor(0.0f, 0.0f, 0.0f, 0.0f);
    glEnable(GL_CULL_FACE);
    glFrontFace(GL_CCW);
    glCullFace(GL_BACK);
    glShadeModel(GL_SMOOTH);
    glEdgeFlag(GL_TRUE);
    glEnable(GL_DEPTH_TEST);
    glEnable(GL_LIGHTING);
    glEnable(GL_LIGHT0);
    glEnable(GL_COLOR_MATERIAL);
    glEnable(GL_NORMALIZE);
    glDisable(GL_BLEND);
    glDisable(GL_TEXTURE_2D);
    glColorMaterial(GL_FRONT, GL_AMBIENT_AND_DIFFUSE);
    glLightfv(GL_LIGHT0, GL_DIFFUSE, DiffuseColor.data());
    glLightfv(GL_LIGHT0, GL_AMBIENT, AmbientColor.data());
    glMaterialfv(GL_FRONT, GL_AMBIENT, MaterialColor.data());
    glMaterialfv(GL_FRONT, GL_DIFFUSE, MaterialColor.data());
    glTexEnvi(GL_TEXTURE_ENV, GL_TEXTURE_ENV_MODE, GL_MODULATE);
    if (!m_NamesGenerated) {
        for (uint32_t* name : {&DetailTexture, &SkyTexture, &WaterTexture, &CompassTexture, &CheckerTexture})
            glGenTextures(1, name);
        if (TexturesEnabled)
            glGenTextures(TileNameCount, TileTextures.data());
        m_NamesGenerated = true;
    }
    CheckGLError("");
}

void TGLViewer::glMapInit(int zoneId)
{
    InitBaseState();
    LoadZone(zoneId);
    LoadSharedTextures();
    CheckGLError("");
}

void TGLViewer::glMapResize(int viewWidth, int viewHeight, bool resetCamera)
{
    glViewport(0, 0, viewWidth, viewHeight);
    if (resetCamera)
        ResetCamera();
    CheckGLError("");
}

int TGLViewer::glMapDraw(const TFrameGeometry& frame)
{
    TSceneState scene;
    scene.Camera = &Camera;
    scene.WaterRegions = &WaterRegions;
    scene.BoundingSkybox = BoundingSkybox;
    scene.TrackSun = TrackSun;
    scene.Gravity = Gravity;
    scene.FrameTime = FrameTime;
    scene.SkyTexture = SkyTexture;
    scene.WaterTexture = WaterTexture;
    scene.CompassTexture = CompassTexture;
    TTerrainDrawState& draw = scene.TerrainDraw;
    draw.Terrain = &Terrain;
    draw.Normals = &TerrainNormals;
    draw.RenderVersion = RenderVersion;
    draw.Lighting = Lighting;
    draw.TexturesEnabled = TexturesEnabled;
    draw.DetailTexEnabled = DetailTexEnabled;
    draw.DetailTexScale = DetailTexScale;
    draw.Checkerboard = Checkerboard;
    draw.TilesAreDDS = TilesAreDDS;
    draw.Multitexture = MultitextureSupported;
    draw.DetailTexture = DetailTexture;
    draw.CheckerTexture = CheckerTexture;
    draw.SkyTexture = SkyTexture;
    for (int tile = 0; tile < TileCount; ++tile)
        draw.TileTextures[tile] = TileWithoutImage[tile] ? CheckerTexture : TileTextures[tile];
    const int triangles = ComposeFrame(scene, frame);
    if (frame.Visible) {
        TriCount += triangles;
        LastFrameTriangles = triangles;
    }
    return triangles;
}

void TGLViewer::FormDestroy()
{
    WaterRegions.clear();
    if (!m_NamesGenerated)
        return;
    for (uint32_t* name : {&DetailTexture, &SkyTexture, &WaterTexture, &CompassTexture, &CheckerTexture}) {
        glDeleteTextures(1, name);
        *name = 0;
    }
    if (TexturesEnabled) {
        glDeleteTextures(TileNameCount, TileTextures.data());
        TileTextures.fill(0);
    }
    m_NamesGenerated = false;
}

void TGLViewer::CheckGLError(std::string_view context) { orv::CheckGLError(context); }

void TGLViewer::LoadTerrainTextures(TMPKFile& archive)
{
    TTerrainTextureTargets targets;
    targets.TileTextures = std::span<const uint32_t>(TileTextures.data(), TileCount);
    targets.DDSUploads = GL13Supported && glext::glCompressedTexImage2D != nullptr;
    targets.TilesAreDDS = &TilesAreDDS;
    targets.TileWithoutImage = TileWithoutImage;
    orv::LoadTerrainTextures(archive, targets);
    CheckGLError("");
}

void TGLViewer::LoadSharedTextures()
{
    orv::LoadSharedTextures(GameDir, {.DetailTexture = DetailTexture,
                                      .SkyTexture = SkyTexture,
                                      .WaterTexture = WaterTexture,
                                      .CompassTexture = CompassTexture,
                                      .CheckerTexture = CheckerTexture},
                        CheckerTexturePath);
}

void TGLViewer::rbnRenderVersionClick(int tag)
{
    RenderVersion = static_cast<uint8_t>(tag & 0xFF);
    if (RenderVersion == RenderPointer)
        glDisable(GL_CULL_FACE);
    else
        glEnable(GL_CULL_FACE);
}

void TGLViewer::chkFogClick(bool checked) { ApplyFog(checked); }

void TGLViewer::chkWireframeClick()
{
    atnWireframeChecked = !atnWireframeChecked;
    glPolygonMode(GL_FRONT_AND_BACK, atnWireframeChecked ? GL_LINE : GL_FILL);
}

void TGLViewer::chkSunClick(bool checked)
{
    TrackSun = checked;
    if (!checked)
        glLightfv(GL_LIGHT0, GL_POSITION, FixedSunPosition.data());
}

void TGLViewer::chkLightingClick()
{
    atnLightingChecked = !atnLightingChecked;
    Lighting = atnLightingChecked;
}

void TGLViewer::trackAmbRChange(int tag, int position)
{
    if (tag < 0 || tag >= ColorComponents)
        return;
    AmbientColor[tag] = static_cast<float>(position) / TrackbarScale;
    glLightfv(GL_LIGHT0, GL_AMBIENT, AmbientColor.data());
}

void TGLViewer::trackDiffRChange(int tag, int position)
{
    if (tag < 0 || tag >= ColorComponents)
        return;
    DiffuseColor[tag] = static_cast<float>(position) / TrackbarScale;
    glLightfv(GL_LIGHT0, GL_DIFFUSE, DiffuseColor.data());
}

}  // namespace orv
