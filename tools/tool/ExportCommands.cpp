// orvandel-tool export and map: a zone taken out as a glTF 2.0 asset or as a top-down
// picture with a Loc grid.
//
//   orvandel-tool export GAMEDIR 111 -o zone111.glb
//   orvandel-tool export GAMEDIR 111 -o view.gltf --lod view --loc 32768,65279,256,0,80 --detail 255
//   orvandel-tool map GAMEDIR 111 -o zone111.png --size 4096 --grid 4096
//
// The zone is loaded as the other zone commands load it; the tiles come from its texture
// archive, decoded in software.
#include <cmath>
#include <cstdlib>
#include <cstdio>
#include <limits>
#include <memory>
#include <optional>
#include <string>

#include "export/GLTFExport.h"
#include "export/ZoneMap.h"
#include "tool/Command.h"
#include "tool/ZoneLoading.h"

namespace orvtool {
namespace {

struct TExportArguments {
    TZoneArguments Zone;
    std::string Output;
    std::string LOD = "full";
    std::string Location;            // empty: the start camera
    std::optional<int32_t> Detail;   // none: the start-up factor
    std::optional<float> Scale;
    bool NoWater = false;
    bool NoTextures = false;
};

// The farthest any exported vertex can lie from the origin, in world units: a water
// region's corner is any 32-bit cell coordinate, 256 units a cell (the terrain stays
// within 65536).
constexpr double FarthestCoordinate = 2147483648.0 * orv::CellSize;
// A larger scale would make that corner an infinite float in the output.
const double MaxScale = std::numeric_limits<float>::max() / FarthestCoordinate;

std::string MaxScaleText()
{
    char text[32];
    std::snprintf(text, sizeof text, "%g", MaxScale);
    return text;
}

// A scale: a positive number that stays one as a float and keeps every coordinate finite.
std::optional<float> ScaleValue(const std::string& text)
{
    char* end = nullptr;
    const double value = std::strtod(text.c_str(), &end);
    if (text.empty() || *end != '\0' || !(value > 0.0 && value <= MaxScale) || static_cast<float>(value) == 0.0f)
        return std::nullopt;
    return static_cast<float>(value);
}

int Export(const TExportArguments& a)
{
    if ((!a.Location.empty() || a.Detail) && a.LOD != "view")
        throw TUsageError{"--loc and --detail place the camera of --lod view"};
    orv::TExportOptions options;
    options.LOD = a.LOD == "view" ? orv::TExportLOD::View : orv::TExportLOD::Full;
    if (a.Scale)
        options.Scale = *a.Scale;
    options.Water = !a.NoWater;
    options.Textures = !a.NoTextures;

    const auto viewer = LoadViewer(a.Zone);
    if (options.LOD == orv::TExportLOD::View) {
        RefineAt(*viewer, a.Location.empty() ? std::nullopt : std::optional(a.Location), a.Detail);
        options.ViewCamera = viewer->Camera;
    }
    const orv::TExportCounts counts = orv::ExportZone(viewer->ZoneSource(), options, a.Output);
    std::printf("%s: %d terrain vertices, %d terrain triangles in %d tile primitives, %d water primitives\n",
                Printable(a.Output).c_str(), counts.TerrainVertices, counts.TerrainTriangles, orv::TileCount,
                counts.WaterPrimitives);
    return 0;
}

struct TMapArguments {
    TZoneArguments Zone;
    std::string Output;
    int32_t Size = orv::DefaultMapSize;
    int32_t GridStep = orv::DefaultMapGridStep;
    bool NoWater = false;
    bool NoShade = false;
    bool Plain = false;
};

int Map(const TMapArguments& a)
{
    orv::TMapOptions options;
    options.Size = a.Size;
    options.GridStep = a.GridStep;
    options.Water = !a.NoWater;
    options.Shade = !a.NoShade;
    options.Plain = a.Plain;
    const auto viewer = LoadViewer(a.Zone);
    orv::SaveZoneMap(viewer->ZoneSource(), options, a.Output);
    std::printf("%s: %d x %d\n", Printable(a.Output).c_str(), options.Size, options.Size);
    return 0;
}

const std::string LoadNote =
    "The zone is loaded as the viewer loads it (nothing is written into the working\n"
    "directory); the loading log goes to standard error. The output appears only when\n"
    "it is complete: a failure (a missing or damaged zone, a damaged tile, an\n"
    "unwritable place) leaves nothing behind.";

const TCommandRegistration ExportRegistration{
    "export", "Export a zone as a glTF 2.0 asset", [](CLI::App& command) -> TRun {
        auto a = std::make_shared<TExportArguments>();
        AddZoneArguments(command, a->Zone);
        command.add_option("-o", a->Output, "the file to write: .glb, or .gltf with its files beside it")
            ->type_name("FILE")
            ->required()
            ->check(OutputExtension({".glb", ".gltf"}));
        command.add_option("--lod", a->LOD, "the whole grid, or what the level of detail draws (default: full)")
            ->type_name("full|view")
            ->check(CLI::IsMember({"full", "view"}).description(""));
        command.add_option("--loc", a->Location, "the camera of --lod view, as \"Go to loc...\" places it")
            ->type_name("X,Y,Z,h,p");
        AddDetailOption(command, a->Detail);
        command.add_option_function<std::string>(
                   "--scale", [a](const std::string& text) { a->Scale = ScaleValue(text); },
                   "world units to glTF units (default: 0.01)")
            ->type_name("S")
            ->check(ValueCheck([](const std::string& text) { return ScaleValue(text).has_value(); },
                               "is not a positive number of at most " + MaxScaleText() +
                                   " (a larger one makes coordinates infinite)"));
        command.add_flag("--no-water", a->NoWater, "leave the water out");
        command.add_flag("--no-textures", a->NoTextures, "one plain material, no images");
        command.footer(
            "The terrain, one primitive per tile with its own material and image, and the water,\n"
            "one translucent mesh per region, all named after the zone (zone111-terrain,\n"
            "zone111-tex00-07, zone111-river00, ...). A .glb file holds everything; a .gltf file\n"
            "is written with its buffer (FILE.bin) and images (FILE-tex00-07.png, ...) beside it,\n"
            "FILE being its name with characters other than letters, digits, '-' and '.' escaped.\n"
            "\n"
            "  --lod full     the whole grid: 33 x 33 vertices per tile, two triangles per cell\n"
            "                 (the default)\n"
            "  --lod view     the triangles the level-of-detail renderer draws for a camera:\n"
            "                 --loc places it as \"Go to loc...\" does (from the start camera),\n"
            "                 --detail sets the \"Level of Detail\" slider (1..255; without it\n"
            "                 the start-up factor 0.2), as the lod command counts them; the\n"
            "                 asset holds a camera (zone111-view) at that place\n"
            "  --scale S      world units to glTF units (default 0.01: a cell of 256 is 2.56);\n"
            "                 the zone's z up becomes glTF's y up, north is -z: Loc X, Y at\n"
            "                 height H lies at (X S, H S, (Y - 65535) S)\n"
            "  --no-water     leave the water out\n"
            "  --no-textures  one plain material, no images (the texture archive is not read)\n"
            "\n" +
            LoadNote +
            "\n\n"
            "Examples:\n"
            "  orvandel-tool export game 111 -o zone111.glb\n"
            "  orvandel-tool export game 111 -o near.gltf --lod view --loc 32768,65279,5000,0,80 --detail 128");
        return [a] { return Export(*a); };
    }};

const TCommandRegistration MapRegistration{
    "map", "Draw a zone from straight above as a PNG with a Loc grid", [](CLI::App& command) -> TRun {
        auto a = std::make_shared<TMapArguments>();
        AddZoneArguments(command, a->Zone);
        command.add_option("-o", a->Output, "the PNG file to write")
            ->type_name("FILE.png")
            ->required()
            ->check(OutputExtension({".png"}));
        AddInteger(command, "--size", a->Size, "N x N pixels, 256 to 8192 (default: 2048)", orv::MinMapSize,
                   orv::MaxMapSize)
            ->type_name("N");
        AddInteger(command, "--grid", a->GridStep, "a line every STEP Loc units (default: 8192; 0: no grid)", 0,
                   65535)
            ->type_name("STEP");
        command.add_flag("--no-water", a->NoWater, "leave the water out");
        command.add_flag("--no-shade", a->NoShade, "the tiles' colours without shading");
        command.add_flag("--plain", a->Plain, "no title, north arrow, scale bar or water legend");
        command.footer("North (world +y) up: the tiles as the viewer lays them, shaded under a light from\n"
                       "the north-west, the water regions in their colours, and a grid of the Loc\n"
                       "coordinates X and Y that \"Go to loc...\" takes, labelled along the edges. On it,\n"
                       "unless --plain: a title with the zone and the game directory's name, an arrow\n"
                       "pointing north, a scale bar in Loc units and a legend of the water colours with\n"
                       "their sections of \"sector.dat\". The PNG's text chunks tell the zone, the grid\n"
                       "step and the Loc bounds.\n"
                       "\n" +
                       LoadNote +
                       "\n\n"
                       "Example:\n"
                       "  orvandel-tool map game 111 -o zone111.png --size 4096 --grid 4096");
        return [a] { return Map(*a); };
    }};

}  // namespace
}  // namespace orvtool
