// GLViewer: start-up, drawing and the OpenGL handlers of the viewer.
#include "shell/GLViewer.h"

#include <algorithm>
#include <memory>

#include "base/Log.h"
#include "gl/GLCalls.h"
#include "gl/GLError.h"
#include "scene/Frame.h"
#include "terrain/RendererTable.h"
#include "zone/Textures.h"
#include "zone/ZonePaths.h"

namespace orv {
namespace {

constexpr std::array<float, 4> MaterialColor{0.5f, 0.5f, 0.5f, 1.0f};
constexpr std::array<float, 4> FixedSunPosition{-1.0f, 0.0f, 1.0f, 0.0f};
constexpr float TrackbarScale = 255.0f;
constexpr int ColorComponents = 4;

}  // namespace

TGLViewer::TGLViewer() = default;
TGLViewer::~TGLViewer() = default;

void TGLViewer::DefaultViewInit()
{
    gl::glClearColor(0.0f, 0.0f, 0.0f, 0.0f);
    glHint(GL_PERSPECTIVE_CORRECTION_HINT, GL_NICEST);
    gl::glEnable(GL_DEPTH_TEST);
    gl::glEnable(GL_CULL_FACE);
}

std::string TGLViewer::LoadExtensions(const glext::TProcLookup& lookup)
{
    GL13Supported = glext::LoadGL13(lookup);
    MultitextureSupported = glext::LoadARBMultitexture(lookup);
    const auto* extensions = reinterpret_cast<const char*>(gl::glGetString(GL_EXTENSIONS));
    Log(extensions ? extensions : "");
    return GL13Supported ? std::string() : std::string(NoGL13Message);
}

void TGLViewer::InitBaseState()
{
    gl::glClearColor(0.0f, 0.0f, 0.0f, 0.0f);
    gl::glEnable(GL_CULL_FACE);
    gl::glFrontFace(GL_CCW);
    gl::glCullFace(GL_BACK);
    gl::glShadeModel(GL_SMOOTH);
    gl::glEdgeFlag(GL_TRUE);
    gl::glEnable(GL_DEPTH_TEST);
    gl::glEnable(GL_LIGHTING);
    gl::glEnable(GL_LIGHT0);
    gl::glEnable(GL_COLOR_MATERIAL);
    gl::glEnable(GL_NORMALIZE);
    gl::glDisable(GL_BLEND);
    gl::glDisable(GL_TEXTURE_2D);
    gl::glColorMaterial(GL_FRONT, GL_AMBIENT_AND_DIFFUSE);
    gl::glLightfv(GL_LIGHT0, GL_DIFFUSE, DiffuseColor.data());
    gl::glLightfv(GL_LIGHT0, GL_AMBIENT, AmbientColor.data());
    gl::glMaterialfv(GL_FRONT, GL_AMBIENT, MaterialColor.data());
    gl::glMaterialfv(GL_FRONT, GL_DIFFUSE, MaterialColor.data());
    gl::glTexEnvi(GL_TEXTURE_ENV, GL_TEXTURE_ENV_MODE, GL_MODULATE);
    if (m_SharedNames[0].Empty()) {
        const std::array<uint32_t*, SharedTextureCount> fields{&DetailTexture, &SkyTexture, &WaterTexture,
                                                               &CompassTexture, &CheckerTexture};
        for (size_t i = 0; i < fields.size(); ++i) {
            m_SharedNames[i] = TTextureNames(1);
            *fields[i] = m_SharedNames[i][0];
        }
        if (TexturesEnabled) {
            m_TileNames = TTextureNames(static_cast<int>(TileTextures.size()));
            std::ranges::copy(m_TileNames.Names(), TileTextures.begin());
        }
    }
    CheckGLError("");
}

void TGLViewer::InitView(int zoneId)
{
    InitBaseState();
    LoadZone(zoneId);
    LoadSharedTextures();
    CheckGLError("");
}

void TGLViewer::ResizeView(int viewWidth, int viewHeight, bool resetCamera)
{
    gl::glViewport(0, 0, viewWidth, viewHeight);
    if (resetCamera)
        ResetCamera();
    CheckGLError("");
}

int TGLViewer::DrawFrame(const TFrameGeometry& frame)
{
    TSceneState scene;
    scene.Camera = &Camera;
    scene.WaterRegions = &WaterRegions;
    scene.FrameTime = FrameTime;
    scene.WaterTexture = WaterTexture;
    scene.CompassTexture = CompassTexture;
    TTerrainDrawState& draw = scene.TerrainDraw;
    draw.Terrain = &Terrain;
    draw.Normals = &TerrainNormals;
    draw.Switches = *this;
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

void TGLViewer::ReleaseTextures()
{
    WaterRegions.clear();
    for (TTextureNames& names : m_SharedNames)
        names.Reset();
    m_TileNames.Reset();
    for (uint32_t* name : {&DetailTexture, &SkyTexture, &WaterTexture, &CompassTexture, &CheckerTexture})
        *name = 0;
    TileTextures.fill(0);
}

void TGLViewer::ReplaceZone(int zoneId)
{
    // The current zone, put back when the new one fails.
    struct TKeptZone {
        TTerrain Terrain;
        TTerrainNormals Normals;
        TWaterRegionList WaterRegions;
        int ZoneID;
        TTextureNames TileNames;
        std::array<uint32_t, 256> TileTextures;
        std::array<bool, TileCount> TileWithoutImage;
        bool TilesAreDDS;
    };
    // On the heap: the two grids are too large for the stack.
    auto kept = std::make_unique<TKeptZone>();
    kept->Terrain = Terrain;
    kept->Normals = TerrainNormals;
    kept->WaterRegions = std::move(WaterRegions);
    kept->ZoneID = ZoneID;
    kept->TileNames = std::move(m_TileNames);
    kept->TileTextures = TileTextures;
    kept->TileWithoutImage = TileWithoutImage;
    kept->TilesAreDDS = TilesAreDDS;
    WaterRegions.clear();
    if (!kept->TileNames.Empty()) {
        m_TileNames = TTextureNames(static_cast<int>(TileTextures.size()));
        std::ranges::copy(m_TileNames.Names(), TileTextures.begin());
    }
    try {
        LoadZone(zoneId);
    } catch (...) {
        Terrain = kept->Terrain;
        TerrainNormals = kept->Normals;
        WaterRegions = std::move(kept->WaterRegions);
        ZoneID = kept->ZoneID;
        m_TileNames = std::move(kept->TileNames);
        TileTextures = kept->TileTextures;
        TileWithoutImage = kept->TileWithoutImage;
        TilesAreDDS = kept->TilesAreDDS;
        throw;
    }
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
                        CheckerTexturePaths());
}

std::vector<std::string> TGLViewer::CheckerTexturePaths() const
{
    std::vector<std::string> paths{CheckerTexturePath};
    const std::string inGame = ResolvePathIgnoringCase(GameDir, CheckerTextureFile);
    if (inGame != CheckerTexturePath)
        paths.push_back(inGame);
    return paths;
}

void TGLViewer::SetRenderer(int tag)
{
    RenderVersion = static_cast<uint8_t>(tag & 0xFF);
    const TRendererEntry* renderer = FindRenderer(RenderVersion);
    if (renderer != nullptr && !renderer->CullFaces)
        gl::glDisable(GL_CULL_FACE);
    else
        gl::glEnable(GL_CULL_FACE);
}

void TGLViewer::SetFog(bool checked) { ApplyFog(checked); }

void TGLViewer::ToggleWireframe()
{
    atnWireframeChecked = !atnWireframeChecked;
    gl::glPolygonMode(GL_FRONT_AND_BACK, atnWireframeChecked ? GL_LINE : GL_FILL);
}

void TGLViewer::SetTrackSun(bool checked)
{
    TrackSun = checked;
    if (!checked)
        gl::glLightfv(GL_LIGHT0, GL_POSITION, FixedSunPosition.data());
}

void TGLViewer::ToggleLighting()
{
    atnLightingChecked = !atnLightingChecked;
    Lighting = atnLightingChecked;
}

void TGLViewer::SetAmbientColor(int tag, int position)
{
    if (tag < 0 || tag >= ColorComponents)
        return;
    AmbientColor[tag] = static_cast<float>(position) / TrackbarScale;
    gl::glLightfv(GL_LIGHT0, GL_AMBIENT, AmbientColor.data());
}

void TGLViewer::SetDiffuseColor(int tag, int position)
{
    if (tag < 0 || tag >= ColorComponents)
        return;
    DiffuseColor[tag] = static_cast<float>(position) / TrackbarScale;
    gl::glLightfv(GL_LIGHT0, GL_DIFFUSE, DiffuseColor.data());
}

}  // namespace orv
