// The zone commands' common steps: a zone loaded as the viewer loads it (without
// OpenGL textures), and the camera placed for the level of detail.
//
//   auto viewer = LoadViewer("game/", "111");   // the loading log on standard error
//   RefineAt(*viewer, "32768,65279,256,0,80", "255");
#pragma once

#include <memory>
#include <optional>
#include <string>

#include "shell/Viewer.h"

namespace orvtool {

// The viewer with the zone loaded, the camera at its start values as at start-up. A
// zone that is not a number raises TUsageError.
std::unique_ptr<orv::TViewer> LoadViewer(const std::string& gameDir, const std::string& zone);

// The detail slider's position from its text: 1..255, else TUsageError.
int DetailPosition(const std::string& text);

// Places the camera as "Go to loc..." would (from the start camera), then refines with
// the slider at the given position (without one: the start-up factor 0.2).
void RefineAt(orv::TViewer& viewer, const std::optional<std::string>& loc, std::optional<int> detail);

}  // namespace orvtool
