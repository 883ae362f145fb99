// orvandel-tool export and map: a zone taken out as a glTF 2.0 asset or as a top-down
// picture with a Loc grid.
//
//   orvandel-tool export GAMEDIR 111 -o zone111.glb
//   orvandel-tool export GAMEDIR 111 -o view.gltf --lod view --loc 32768,65279,256,0,80 --detail 255
//   orvandel-tool map GAMEDIR 111 -o zone111.png --size 4096 --grid 4096
//
// The zone is loaded as the other zone commands load it (writing "sector.dat" into the
// working directory); the tiles come from its texture archive, decoded in software.
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <optional>
#include <string>

#include "export/GLTFExport.h"
#include "export/ZoneMap.h"
#include "tool/Command.h"
#include "tool/ZoneLoading.h"
#include "zone/TextValues.h"

namespace orvtool {
namespace {

std::optional<std::string> Value(const TParsedArgs& parsed, const std::string& option)
{
    const auto it = parsed.Values.find(option);
    return it == parsed.Values.end() ? std::nullopt : std::optional(it->second);
}

int IntegerOption(const TParsedArgs& parsed, const std::string& option, int fallback, int low, int high,
                  const std::string& what)
{
    const auto text = Value(parsed, option);
    if (!text)
        return fallback;
    const auto value = orv::TryStrToInt(*text);
    if (!value || *value < low || *value > high)
        throw TUsageError{option + " takes " + what};
    return *value;
}

std::string Extension(const std::string& path)
{
    std::string ext = std::filesystem::path(path).extension().string();
    for (char& c : ext)
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return ext;
}

int Export(const TArgs& args)
{
    const TParsedArgs parsed =
        ParseArgs(args, {"-o", "--lod", "--loc", "--detail", "--scale"}, {"--no-water", "--no-textures"});
    if (parsed.Positional.size() != 2)
        throw TUsageError{"expected GAMEDIR and ZONE"};
    const auto out = Value(parsed, "-o");
    if (!out || (Extension(*out) != ".glb" && Extension(*out) != ".gltf"))
        throw TUsageError{"-o FILE.glb or -o FILE.gltf is needed"};
    orv::TExportOptions options;
    const std::string lod = Value(parsed, "--lod").value_or("full");
    if (lod != "full" && lod != "view")
        throw TUsageError{"--lod takes full or view"};
    options.LOD = lod == "view" ? orv::TExportLOD::View : orv::TExportLOD::Full;
    const auto loc = Value(parsed, "--loc");
    const std::optional<int> detail =
        Value(parsed, "--detail") ? std::optional(DetailPosition(*Value(parsed, "--detail"))) : std::nullopt;
    if ((loc || detail) && options.LOD != orv::TExportLOD::View)
        throw TUsageError{"--loc and --detail place the camera of --lod view"};
    if (const auto scale = Value(parsed, "--scale")) {
        char* end = nullptr;
        const double value = std::strtod(scale->c_str(), &end);
        if (scale->empty() || *end != '\0' || !std::isfinite(value) || value <= 0.0 ||
            !std::isfinite(static_cast<float>(value)) || static_cast<float>(value) == 0.0f)
            throw TUsageError{"--scale takes a positive number"};
        options.Scale = static_cast<float>(value);
    }
    options.Water = !parsed.Flags.contains("--no-water");
    options.Textures = !parsed.Flags.contains("--no-textures");

    const auto viewer = LoadViewer(parsed.Positional[0], parsed.Positional[1]);
    if (options.LOD == orv::TExportLOD::View)
        RefineAt(*viewer, loc, detail);
    const orv::TExportCounts counts = orv::ExportZone(viewer->ZoneSource(), options, *out);
    std::printf("%s: %d terrain vertices, %d terrain triangles in %d tile primitives, %d water primitives\n",
                out->c_str(), counts.TerrainVertices, counts.TerrainTriangles, orv::TileCount, counts.WaterPrimitives);
    return 0;
}

int Map(const TArgs& args)
{
    const TParsedArgs parsed = ParseArgs(args, {"-o", "--size", "--grid"}, {"--no-water", "--no-shade"});
    if (parsed.Positional.size() != 2)
        throw TUsageError{"expected GAMEDIR and ZONE"};
    const auto out = Value(parsed, "-o");
    if (!out)
        throw TUsageError{"-o FILE.png is needed"};
    orv::TMapOptions options;
    options.Size = IntegerOption(parsed, "--size", orv::DefaultMapSize, orv::MinMapSize, orv::MaxMapSize,
                                 "a size from 256 to 8192 pixels");
    options.GridStep =
        IntegerOption(parsed, "--grid", orv::DefaultMapGridStep, 0, 65535, "a step from 1 to 65535 (0: no grid)");
    options.Water = !parsed.Flags.contains("--no-water");
    options.Shade = !parsed.Flags.contains("--no-shade");

    const auto viewer = LoadViewer(parsed.Positional[0], parsed.Positional[1]);
    orv::SaveZoneMap(viewer->ZoneSource(), options, *out);
    std::printf("%s: %d x %d\n", out->c_str(), options.Size, options.Size);
    return 0;
}

const std::string LoadNote =
    "The zone is loaded as the viewer loads it; the loading log goes to standard error,\n"
    "and \"sector.dat\" is written into the working directory. The output appears only\n"
    "when it is complete: a failure (a missing zone, a damaged tile, an unwritable\n"
    "place) leaves nothing behind.";

const TCommandRegistration ExportRegistration{
    "export",
    "GAMEDIR ZONE -o FILE.glb|FILE.gltf [--lod full|view] [--loc X,Y,Z,h,p] [--detail POS] [--scale S] "
    "[--no-water] [--no-textures]",
    "Export a zone as a glTF 2.0 asset", Export,
    "The terrain, one primitive per tile with its own material and image, and the water,\n"
    "one translucent primitive per region. A .glb file holds everything; a .gltf file\n"
    "is written with its buffer (FILE.bin) and images (FILE-tex00-07.png, ...) beside it.\n"
    "\n"
    "  --lod full     the whole grid: 33 x 33 vertices per tile, two triangles per cell\n"
    "                 (the default)\n"
    "  --lod view     the triangles the level-of-detail renderer draws for a camera:\n"
    "                 --loc places it as \"Go to loc...\" does (from the start camera),\n"
    "                 --detail sets the \"Level of Detail\" slider (1..255; without it\n"
    "                 the start-up factor 0.2), as the lod command counts them\n"
    "  --scale S      world units to glTF units (default 0.01: a cell of 256 is 2.56);\n"
    "                 the zone's z up becomes glTF's y up, north is -z\n"
    "  --no-water     leave the water out\n"
    "  --no-textures  one plain material, no images (the texture archive is not read)\n"
    "\n" + LoadNote + "\n\n"
    "Examples:\n"
    "  orvandel-tool export game 111 -o zone111.glb\n"
    "  orvandel-tool export game 111 -o near.gltf --lod view --loc 32768,65279,2000,0,80 --detail 128"};

const TCommandRegistration MapRegistration{
    "map", "GAMEDIR ZONE -o FILE.png [--size N] [--grid STEP] [--no-water] [--no-shade]",
    "Draw a zone from straight above as a PNG with a Loc grid", Map,
    "North (world +y) up: the tiles as the viewer lays them, shaded under a light from\n"
    "the north-west, the water regions in their colours, and a grid of the Loc\n"
    "coordinates X and Y that \"Go to loc...\" takes, labelled along the edges.\n"
    "\n"
    "  --size N       N x N pixels, 256 to 8192 (default 2048: the tiles' own texels)\n"
    "  --grid STEP    a line every STEP Loc units (default 8192; 0: no grid)\n"
    "  --no-water     leave the water out\n"
    "  --no-shade     the tiles' colours without shading\n"
    "\n" + LoadNote + "\n\n"
    "Example:\n"
    "  orvandel-tool map game 111 -o zone111.png --size 4096 --grid 4096"};

}  // namespace
}  // namespace orvtool
