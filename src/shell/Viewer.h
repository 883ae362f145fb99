// Viewer: the whole state of the viewer and the operations that are not about widgets
// or OpenGL.
//
// The window owns one TGLViewer (GLViewer.h), which adds drawing to this class; the
// tools and the tests own one too. Every control of the window is a plain call here:
//
//   TViewer viewer;                  // the defaults of start-up
//   viewer.GameDir = "/games/isles/";
//   viewer.TexturesEnabled = false;  // no OpenGL: the texture archive is not read
//   viewer.LoadZone(111);
//   viewer.SetLocation(29963, 55175, 30683, 359, 7);
//   viewer.UpdateCLOD();
#pragma once

#include <array>
#include <cstdint>
#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "export/ZoneSource.h"
#include "terrain/DrawSwitches.h"
#include "zone/Zone.h"

namespace orv {

class TMPKFile;

// Held keys, polled once per frame.
struct TKeyState {
    bool Up = false, Down = false, Left = false, Right = false, Shift = false, Alt = false;
};

// The colours of light 0 at start-up.
inline constexpr std::array<float, 4> DefaultAmbientColor{0.2f, 0.2f, 0.2f, 1.0f};
inline constexpr std::array<float, 4> DefaultDiffuseColor{0.6f, 0.6f, 0.6f, 1.0f};

class TViewer : public TDrawSwitches {
public:
    // GameDir starts as DefaultGameDir(); the camera is all zero until ResetCamera.
    TViewer();
    virtual ~TViewer();
    TViewer(const TViewer&) = delete;
    TViewer& operator=(const TViewer&) = delete;

    // --- Zone -----------------------------------------------------------------------
    // Replaces the current zone; raises on failure, leaving what was replaced replaced.
    void LoadZone(int zoneId);
    void LoadTerrainVertices(TMPKFile& archive);
    void CreateTerrainNormals();
    void LoadWaterRegions(TMPKFile& archive);
    // The texture step, run only when TexturesEnabled; the OpenGL viewer fills it (and
    // ends it with its OpenGL error check). Here it does nothing.
    virtual void LoadTerrainTextures(TMPKFile& archive);

    // --- Level of detail ------------------------------------------------------------
    void ComputeD2Values();
    void UpdateCLOD();
    void SetCLODDetail(int position);   // position CLODDetailMin..CLODDetailMax

    // --- Camera and navigation ----------------------------------------------------
    void ResetCamera();   // (32768, 256, 256), pitch 80, heading 0
    // Loc terms: x := X, y := 65535 - Y, z := Z, heading := -h wrapped once, pitch := p.
    void SetLocation(int X, int Y, int Z, int h, int p);
    // "%d,%d,%d,%d,%d" of the current camera in Loc terms.
    std::string LocationText() const;
    // The reply of "Go to loc...": "above" or the items X,Y[,Z[,h[,p]]]. The whole reply
    // is converted first: a conversion error leaves the camera where it was.
    void ApplyLocationReply(const std::string& reply);
    // One frame of the loop: measures nothing itself; t is the frame's milliseconds.
    // Moves the camera by the held keys (and refines when it moved); returns whether
    // the camera moved.
    bool MoveCamera(float t, const TKeyState& keys);
    // Mouse look with the left button held; always remembers the position.
    void MouseMove(int x, int y, bool leftButton);
    // "d": level view.
    void LevelView() { Camera.Pitch = 90.0f; }
    // The mouse wheel: each notch (forward positive) moves along the view as far as a
    // press of Up (back: Down) of WheelNotchMs would, at the speed Shift and Alt give.
    static constexpr float WheelNotchMs = 100.0f;
    bool WheelMove(float notches, bool shift, bool alt);

    // --- Map dumps ------------------------------------------------------------------
    void DumpD2Map(std::FILE* out = stdout);
    void DumpHeightMap(std::FILE* out = stdout);

    // --- Taking the zone out --------------------------------------------------------
    // The current zone as the glTF export and the zone map take it (export/).
    TZoneSource ZoneSource() const { return {Terrain, TerrainNormals, WaterRegions, GameDir, ZoneID}; }

    // --- State (the names of the window's members) ---------------------------------
    TTerrain Terrain{};
    TTerrainNormals TerrainNormals{};
    TWaterRegionList WaterRegions;
    TCamera Camera;

    std::string GameDir;
    int ZoneID = 0;
    // Whether loading a zone leaves its "sector.dat" in the working directory, as the
    // viewer does; the tools read the water without writing anything.
    bool LeavesSectorFile = true;

    // The drawing switches (RenderVersion, Lighting, ...) are those of TDrawSwitches.
    float CLODDetail = CLODDetailStart;

    // OpenGL texture names (0 until generated).
    uint32_t DetailTexture = 0, CheckerTexture = 0, SkyTexture = 0, WaterTexture = 0, CompassTexture = 0;
    std::array<uint32_t, 256> TileTextures{};
    bool TilesAreDDS = false;

    std::array<float, 4> AmbientColor = DefaultAmbientColor;
    std::array<float, 4> DiffuseColor = DefaultDiffuseColor;

    // Frame statistics.
    struct TPoint { int X = 0, Y = 0; } LastMouse;
    float FPSSum = 0.0f;
    int FrameCount = 0;
    float FrameTime = 0.0f;
    int TriCount = 0;

private:
    // The zone's sector.dat, written to the working directory once the zone has loaded.
    std::vector<uint8_t> m_SectorBytes;
};

// The default game directory: $WINEPREFIX/drive_c/games/isles/ (WINEPREFIX defaults to ~/.wine).
std::string DefaultGameDir();
// The game directory from the first command-line argument (a delimiter appended when
// missing, so an empty argument gives "/").
std::string GameDirFromArgument(const std::string& argument);

// Why a folder is not a game folder; empty when it is one: when it has a zones folder
// (letter case ignored).
std::string GameFolderProblem(const std::string& dir);
// The zones of a game folder: the numbers N of its folders zones/zoneNNN (letter case
// ignored, at least three digits) that hold their data archive, in increasing order.
std::vector<int> GameZones(const std::string& gameDir);
// What to add to the error of a zone that did not load: which zones the folder has, or
// why it is no game folder. Empty when the folder has the zone (it is damaged, then).
std::string MissingZoneNote(const std::string& gameDir, int zoneId);

}  // namespace orv
