// DrawSwitches: the switches that the window's controls set and the drawing reads, in
// one struct, with their start-up defaults and the ranges of the two sliders. The viewer
// state is one (TViewer derives from it), and the renderers and the frame are handed it
// as it is; the window's panel and orvandel-tool take their defaults from here.
//
//   TDrawSwitches switches;               // the start-up defaults
//   switches.RenderVersion = rvFan;       // the radio button's tag
#pragma once

#include <cstdint>

namespace orv {

// RenderVersion values: the tags of the four radio buttons (RendererTable.h names them).
enum TRenderVersion : uint8_t { rvV1 = 0, rvPointer = 1, rvFan = 2, rvCLOD = 3 };

// The "Detail texture scale" slider: its range and its start position.
inline constexpr int DetailTexScaleMin = 1;
inline constexpr int DetailTexScaleMax = 32;
inline constexpr int DetailTexScaleStart = 16;

// The "Level of Detail" slider: its range (the factor is position / CLODDetailMax) and
// the position it shows at start-up. The factor starts at CLODDetailStart, not at the
// shown position's factor, until the slider is moved.
inline constexpr int CLODDetailMin = 1;
inline constexpr int CLODDetailMax = 255;
inline constexpr int CLODDetailStartPosition = 50;
inline constexpr float CLODDetailStart = 0.2f;

struct TDrawSwitches {
    // Read by the terrain renderers.
    uint8_t RenderVersion = rvCLOD;
    bool Lighting = true;
    bool DetailTexEnabled = true;
    int DetailTexScale = DetailTexScaleStart;
    bool Checkerboard = false;
    bool TexturesEnabled = true;
    // Read by the frame around the terrain.
    bool BoundingSkybox = true;
    bool Gravity = false;
    bool TrackSun = false;
};

}  // namespace orv
