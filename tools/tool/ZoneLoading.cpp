#include "tool/ZoneLoading.h"

#include "terrain/DrawSwitches.h"

namespace orvtool {

void AddZoneArguments(CLI::App& command, TZoneArguments& arguments)
{
    command.add_option("GAMEDIR", arguments.GameDir, "the game's installation directory")->required();
    AddZone(command, arguments.Zone);
}

CLI::Option* AddDetailOption(CLI::App& command, std::optional<int32_t>& detail)
{
    return AddInteger(command, "--detail", detail, "the \"Level of Detail\" slider position, 1 to 255",
                      orv::CLODDetailMin, orv::CLODDetailMax)
        ->type_name("POS");
}

std::unique_ptr<orv::TViewer> LoadViewer(const TZoneArguments& arguments)
{
    LogToStandardError();
    auto viewer = std::make_unique<orv::TViewer>();
    viewer->GameDir = orv::GameDirFromArgument(arguments.GameDir);
    viewer->TexturesEnabled = false;
    viewer->LeavesSectorFile = false;
    viewer->ResetCamera();
    viewer->LoadZone(arguments.Zone);
    return viewer;
}

void RefineAt(orv::TViewer& viewer, const std::optional<std::string>& loc, std::optional<int> detail)
{
    // The camera goes where "Go to loc..." would put it; that alone does not refine.
    if (loc)
        viewer.ApplyLocationReply(*loc);
    if (detail)
        viewer.SetCLODDetail(*detail);
    else
        viewer.UpdateCLOD();
}

}  // namespace orvtool
