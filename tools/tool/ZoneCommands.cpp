// orvandel-tool dump-h, dump-d2, water, lod, heightmap: one zone as the viewer loads it.
//
//   orvandel-tool dump-h GAMEDIR 111 > heights.txt
//   orvandel-tool lod GAMEDIR 111 --loc 32768,65279,256,0,80 --detail 255
//   orvandel-tool heightmap GAMEDIR 111 zone111.png
//
// The zone is loaded without textures (the texture archive is not read) and without
// writing "sector.dat" into the working directory as the viewer does; the loading log
// goes to standard error.
#include <algorithm>
#include <cstdio>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "shell/Viewer.h"
#include "terrain/CLOD.h"
#include "tool/Command.h"
#include "tool/ZoneLoading.h"
#include "writers/PNG.h"

namespace orvtool {
namespace {

int DumpH(const TZoneArguments& arguments)
{
    LoadViewer(arguments)->DumpHeightMap(stdout);
    return 0;
}

int DumpD2(const TZoneArguments& arguments)
{
    LoadViewer(arguments)->DumpD2Map(stdout);
    return 0;
}

int Water(const TZoneArguments& arguments)
{
    const auto viewer = LoadViewer(arguments);
    for (const auto& region : viewer->WaterRegions) {
        const orv::TRect& b = region->Bounds;
        std::printf("%d %d %d %d %d %u\n", b.Left, b.Top, b.Right, b.Bottom, region->Height, region->Color);
    }
    return 0;
}

// Counts the fans of one walk.
class TCountingSink : public orv::IFanSink {
public:
    void BindTile(int) override {}
    void DrawFan(const orv::TFanBuffers&, int count) override
    {
        ++Fans;
        MaxVertices = std::max(MaxVertices, count);
    }
    int Fans = 0;
    int MaxVertices = 0;
};

struct TLodOptions {
    TZoneArguments Zone;
    std::string Location;           // empty: the start camera
    std::optional<int32_t> Detail;  // none: the start-up factor
};

int Lod(const TLodOptions& options)
{
    const auto viewer = LoadViewer(options.Zone);
    RefineAt(*viewer, options.Location.empty() ? std::nullopt : std::optional(options.Location), options.Detail);
    TCountingSink sink;
    const int triangles = orv::DrawCLODFanWalk(viewer->Terrain, viewer->TerrainNormals, false, false, sink);
    std::printf("{\"triangles\": %d, \"fans\": %d, \"max_fan_vertices\": %d}\n", triangles, sink.Fans,
                sink.MaxVertices);
    return 0;
}

int Heightmap(const TZoneArguments& arguments, const std::string& output)
{
    const auto viewer = LoadViewer(arguments);
    constexpr int Side = orv::GridVertices;
    std::vector<uint16_t> samples(static_cast<size_t>(Side * Side));
    for (int row = 0; row < Side; ++row)          // the top row is the largest y
        for (int x = 0; x < Side; ++x)
            samples[static_cast<size_t>(row * Side + x)] = viewer->Terrain[x][Side - 1 - row].Height;
    orv::WritePNG(output, Side, Side, 1, 16,
                  std::span(reinterpret_cast<const uint8_t*>(samples.data()), samples.size() * sizeof(uint16_t)));
    return 0;
}

const std::string LoadNote =
    "The zone is loaded as the viewer loads it, without textures and without writing\n"
    "\"sector.dat\" into the working directory; the loading log goes to standard error.";

// A command that takes GAMEDIR and ZONE only.
TRun ZoneCommand(CLI::App& command, const std::string& help, int (*run)(const TZoneArguments&))
{
    auto arguments = std::make_shared<TZoneArguments>();
    AddZoneArguments(command, *arguments);
    command.footer(help + "\n\n" + LoadNote);
    return [arguments, run] { return run(*arguments); };
}

const TCommandRegistration DumpHRegistration{
    "dump-h", "Print the zone's vertex heights as the H map dump", [](CLI::App& command) {
        return ZoneCommand(command,
                           "257 lines, line k holding the heights of the vertices with y index k in\n"
                           "increasing x, each as four hexadecimal digits and a blank.\n\n"
                           "Example:\n  orvandel-tool dump-h game 111 > heights.txt",
                           DumpH);
    }};

const TCommandRegistration DumpD2Registration{
    "dump-d2", "Print the zone's level-of-detail values as the D2 map dump", [](CLI::App& command) {
        return ZoneCommand(command,
                           "257 lines, line k holding the D2 values of the vertices with y index k in\n"
                           "increasing x, each as at least four hexadecimal digits and a blank.\n\n"
                           "Example:\n  orvandel-tool dump-d2 game 111 > d2.txt",
                           DumpD2);
    }};

const TCommandRegistration WaterRegistration{
    "water", "List the zone's water regions", [](CLI::App& command) {
        return ZoneCommand(command,
                           "One line per region: Left Top Right Bottom Height Color, decimal.\n\n"
                           "Example:\n  orvandel-tool water game 111",
                           Water);
    }};

const TCommandRegistration LodRegistration{
    "lod", "Refine the level of detail at a camera and count the fans", [](CLI::App& command) -> TRun {
        auto options = std::make_shared<TLodOptions>();
        AddZoneArguments(command, options->Zone);
        command.add_option("--loc", options->Location, "place the camera as \"Go to loc...\" does")
            ->type_name("X,Y,Z,h,p");
        AddDetailOption(command, options->Detail);
        command.footer("Places the camera as \"Go to loc...\" would (from the start camera), refines with\n"
                       "the factor POS / 255 (POS 1..255; without --detail the start-up factor 0.2)\n"
                       "and walks the fans. Prints one JSON line:\n"
                       "  {\"triangles\": T, \"fans\": F, \"max_fan_vertices\": M}\n\n"
                       "Example:\n  orvandel-tool lod game 111 --loc 32768,65279,256,0,80 --detail 255\n\n" +
                       LoadNote);
        return [options] { return Lod(*options); };
    }};

const TCommandRegistration HeightmapRegistration{
    "heightmap", "Write the zone's heights as a 16-bit grey PNG", [](CLI::App& command) -> TRun {
        auto arguments = std::make_shared<TZoneArguments>();
        auto output = std::make_shared<std::string>();
        AddZoneArguments(command, *arguments);
        command.add_option("OUT.png", *output, "the PNG file to write")->required()->check(OutputExtension({".png"}));
        command.footer("257 x 257 pixels, the largest y at the top, one height per pixel.\n\n"
                       "Example:\n  orvandel-tool heightmap game 111 zone111.png\n\n" +
                       LoadNote);
        return [arguments, output] { return Heightmap(*arguments, *output); };
    }};

}  // namespace
}  // namespace orvtool
