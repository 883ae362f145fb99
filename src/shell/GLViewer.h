// GLViewer: the OpenGL half of the viewer window, without any toolkit.
//
// TGLViewer adds to the viewer state of TViewer everything that talks to OpenGL: the
// entry points, the base state and the texture names, the texture loading, the frame
// composition and the handlers of the controls that set OpenGL state directly. The Qt
// window owns one, the headless tool and the tests own one too. Every call needs the
// view's OpenGL context current.
//
//   TGLViewer viewer;
//   viewer.GameDir = GameDirFromArgument(dir);
//   std::string warning = viewer.LoadExtensions();   // show it when not empty
//   viewer.ResizeView(640, 480);                    // viewport and start camera
//   viewer.InitView();                              // base state, zone 111, shared textures
//   viewer.DrawFrame({.ViewWidth = 640, .ViewHeight = 480});
//   ...
//   viewer.ReleaseTextures();
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "gl/GLext.h"
#include "gl/TextureNames.h"
#include "scene/Frame.h"
#include "shell/Viewer.h"

namespace orv {

class TGLViewer : public TViewer {
public:
    // Shown when OpenGL 1.3 is missing (the carriage return separates two lines).
    static constexpr std::string_view NoGL13Message =
        "No OpenGL 1.3 support!\rZones with DDS tile textures will be drawn without their tile textures";
    static constexpr int StartZone = 111;

    TGLViewer();
    ~TGLViewer() override;

    // The OpenGL steps of creation: loads the OpenGL 1.3 and GL_ARB_multitexture entry
    // points through the lookup (empty: glext::ContextProcLookup) and logs the extension
    // string as one line. Returns the warning to show in a message box, empty when
    // OpenGL 1.3 is there.
    std::string LoadExtensions(const glext::TProcLookup& lookup = {});
    // The view's own initialisation once its context is current: black clear colour,
    // nicest perspective correction, depth test and face culling on.
    static void DefaultViewInit();

    // The base state, the texture names, LoadZone(111) and the shared textures, each
    // step checked for OpenGL errors. Raises what the zone or a shared texture raises;
    // the steps before the failure stay done. (The tool starts on another zone.)
    void InitView(int zoneId = StartZone);
    // The base state and the texture names alone (steps 1 to 11 of InitView).
    void InitBaseState();

    // The view's resize: viewport (0, 0, width, height) and, when resetCamera, the
    // camera's start values; then the error check.
    void ResizeView(int viewWidth, int viewHeight, bool resetCamera = true);
    // Composes one frame into the current framebuffer; adds the terrain triangles to
    // TriCount and returns them.
    int DrawFrame(const TFrameGeometry& frame);
    // Deletes the texture names (the water regions go with the viewer).
    void ReleaseTextures();

    // The pending OpenGL error as one line "<error text>: <context>"; nothing without.
    void CheckGLError(std::string_view context);

    // A zone change: LoadZone into new tile texture names, keeping the current zone
    // (heights, normals, water, tiles, ZoneID) until everything has loaded; on failure
    // the current zone is whole again and the failure is raised.
    void ReplaceZone(int zoneId);

    // Texture loading: the 64 tiles of the open texture archive, and the five shared
    // textures from the game directory and the working directory.
    void LoadTerrainTextures(TMPKFile& archive) override;
    void LoadSharedTextures();

    // --- Handlers of the controls that set OpenGL state ------------------------------
    void SetRenderer(int tag);                 // a tag of RendererTable (low byte)
    void SetFog(bool checked);
    void ToggleWireframe();                  // toggles atnWireframeChecked
    void SetTrackSun(bool checked);
    void ToggleLighting();                   // toggles atnLightingChecked, Lighting follows
    void SetAmbientColor(int tag, int position);    // component tag 0..3 := position / 255
    void SetDiffuseColor(int tag, int position);

    // The checked state of the two actions (the bound check boxes follow them).
    bool atnWireframeChecked = false;
    bool atnLightingChecked = true;

    // Per tile: the last load could not give the tile an image (a DDS member without
    // OpenGL 1.3 and no BMP alternative); the renderers draw the checker texture there.
    std::array<bool, TileCount> TileWithoutImage{};

    // Whether the extension entry points are there (set by LoadExtensions; a test may
    // clear them to draw as a driver without them would).
    bool GL13Supported = false;
    bool MultitextureSupported = false;

    // The checker terrain texture's file, looked for first (relative to the working
    // directory); then the game directory's checker.bmp, then a checker made in memory.
    std::string CheckerTexturePath = "checker.bmp";
    // The places looked in for the checker texture, in their order.
    std::vector<std::string> CheckerTexturePaths() const;

    // Terrain triangles of the last frame.
    int LastFrameTriangles = 0;

private:
    // The names behind DetailTexture, SkyTexture, WaterTexture, CompassTexture and
    // CheckerTexture, one glGenTextures call each, and the 256 tile names.
    static constexpr size_t SharedTextureCount = 5;
    std::array<TTextureNames, SharedTextureCount> m_SharedNames;
    TTextureNames m_TileNames;
};

}  // namespace orv
