#include "tool/ZoneLoading.h"

#include <cstdio>

#include "base/Log.h"
#include "tool/Command.h"
#include "zone/TextValues.h"

namespace orvtool {
namespace {

constexpr int MinDetail = 1, MaxDetail = 255;

void LogToStandardError()
{
    orv::SetLogSink([](std::string_view line) {
        std::fwrite(line.data(), 1, line.size(), stderr);
        std::fputc('\n', stderr);
    });
}

int ZoneNumber(const std::string& text)
{
    const auto zone = orv::TryStrToInt(text);
    if (!zone)
        throw TUsageError{"'" + text + "' is not a zone number"};
    return *zone;
}

}  // namespace

std::unique_ptr<orv::TViewer> LoadViewer(const std::string& gameDir, const std::string& zone)
{
    LogToStandardError();
    auto viewer = std::make_unique<orv::TViewer>();
    viewer->GameDir = orv::GameDirFromArgument(gameDir);
    viewer->TexturesEnabled = false;
    viewer->ResetCamera();
    viewer->LoadZone(ZoneNumber(zone));
    return viewer;
}

int DetailPosition(const std::string& text)
{
    const auto value = orv::TryStrToInt(text);
    if (!value || *value < MinDetail || *value > MaxDetail)
        throw TUsageError{"--detail takes a slider position from 1 to 255"};
    return *value;
}

void RefineAt(orv::TViewer& viewer, const std::optional<std::string>& loc, std::optional<int> detail)
{
    // The camera goes where "Go to loc..." would put it; that alone does not refine.
    if (loc)
        viewer.ApplyLocationReply(*loc);
    if (detail)
        viewer.trackCLODDetailChange(*detail);
    else
        viewer.UpdateCLOD();
}

}  // namespace orvtool
