// DrawSwitches: the switches that the window's controls set and the drawing reads, in
// one struct. The viewer state is one (TViewer derives from it), and the renderers and
// the frame are handed it as it is.
//
//   TDrawSwitches switches;               // the start-up defaults
//   switches.RenderVersion = rvFan;       // the radio button's tag
#pragma once

#include <cstdint>

namespace orv {

// RenderVersion values: the tags of the four radio buttons.
enum TRenderVersion : uint8_t { rvV1 = 0, rvPointer = 1, rvFan = 2, rvCLOD = 3 };

struct TDrawSwitches {
    // Read by the terrain renderers.
    uint8_t RenderVersion = rvCLOD;
    bool Lighting = true;
    bool DetailTexEnabled = true;
    int DetailTexScale = 16;
    bool Checkerboard = false;
    bool TexturesEnabled = true;
    // Read by the frame around the terrain.
    bool BoundingSkybox = true;
    bool Gravity = false;
    bool TrackSun = false;
};

}  // namespace orv
