// The zone commands' common steps: GAMEDIR and ZONE on the command line, a zone loaded as
// the viewer loads it (without OpenGL textures), and the camera placed for the level of
// detail.
//
//   auto zone = std::make_shared<TZoneArguments>();
//   AddZoneArguments(command, *zone);              // in a command's setup
//   auto viewer = LoadViewer(*zone);               // the loading log on standard error
//   RefineAt(*viewer, "32768,65279,256,0,80", 255);
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>

#include "shell/Viewer.h"
#include "tool/Command.h"

namespace orvtool {

struct TZoneArguments {
    std::string GameDir;
    int32_t Zone = 0;
};

// The arguments GAMEDIR and ZONE.
void AddZoneArguments(CLI::App& command, TZoneArguments& arguments);

// --detail POS: the "Level of Detail" slider's position, 1..255.
CLI::Option* AddDetailOption(CLI::App& command, std::optional<int32_t>& detail);

// The viewer with the zone loaded, the camera at its start values as at start-up.
std::unique_ptr<orv::TViewer> LoadViewer(const TZoneArguments& arguments);

// Places the camera as "Go to loc..." would (from the start camera), then refines with
// the slider at the given position (without one: the start-up factor 0.2).
void RefineAt(orv::TViewer& viewer, const std::optional<std::string>& loc, std::optional<int> detail);

}  // namespace orvtool
