// Helpers of the export tests: the sample game's zones loaded as the viewer loads them,
// the source the export and the map take, and the Khronos validator run on an asset.
#pragma once

#include <memory>
#include <string>

#include "export/ZoneSource.h"
#include "shell/Viewer.h"
#include "tools/ToolTestSupport.h"

namespace orv::exporttest {

using namespace orv::tooltest;

// The sample game's directory, ending in "/".
inline std::string GameDir() { return SampleGame().string() + "/"; }

// A zone of the sample game, loaded without OpenGL (the camera at its start values).
inline std::unique_ptr<TViewer> LoadSampleZone(int zone)
{
    auto viewer = std::make_unique<TViewer>();
    viewer->GameDir = GameDir();
    viewer->TexturesEnabled = false;
    viewer->ResetCamera();
    viewer->LoadZone(zone);
    return viewer;
}

inline const std::string ValidatorScript = ORVANDEL_SOURCE_DIR "/tests/export/validator/validate.js";
inline const std::string ValidatorModule =
    ORVANDEL_SOURCE_DIR "/tests/export/validator/node_modules/gltf-validator/package.json";

}  // namespace orv::exporttest
