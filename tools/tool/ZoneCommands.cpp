// orvandel-tool dump-h, dump-d2, water, lod, heightmap: one zone as the viewer loads it.
//
//   orvandel-tool dump-h GAMEDIR 111 > heights.txt
//   orvandel-tool lod GAMEDIR 111 --loc 32768,65279,256,0,80 --detail 255
//   orvandel-tool heightmap GAMEDIR 111 zone111.png
//
// The zone is loaded without textures (the texture archive is not read); the loading log
// goes to standard error. Like the viewer, loading writes "sector.dat" into the working
// directory.
#include <algorithm>
#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "shell/Viewer.h"
#include "terrain/CLOD.h"
#include "tool/Command.h"
#include "tool/ZoneLoading.h"
#include "writers/PNG.h"

namespace orvtool {
namespace {

std::vector<std::string> Positional(const TArgs& args, size_t count)
{
    TParsedArgs parsed = ParseArgs(args, {});
    if (parsed.Positional.size() != count)
        throw TUsageError{"expected " + std::to_string(count) + " arguments"};
    return parsed.Positional;
}

void Flush()
{
    if (std::fflush(stdout) != 0)
        throw std::runtime_error("cannot write to standard output");
}

int DumpH(const TArgs& args)
{
    const auto p = Positional(args, 2);
    LoadViewer(p[0], p[1])->atnDumpHExecute(stdout);
    return 0;
}

int DumpD2(const TArgs& args)
{
    const auto p = Positional(args, 2);
    LoadViewer(p[0], p[1])->atnDumpD2Execute(stdout);
    return 0;
}

int Water(const TArgs& args)
{
    const auto p = Positional(args, 2);
    const auto viewer = LoadViewer(p[0], p[1]);
    for (const auto& region : viewer->WaterRegions) {
        const orv::TRect& b = region->Bounds;
        std::printf("%d %d %d %d %d %u\n", b.Left, b.Top, b.Right, b.Bottom, region->Height, region->Color);
    }
    Flush();
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

int Lod(const TArgs& args)
{
    const TParsedArgs parsed = ParseArgs(args, {"--loc", "--detail"});
    if (parsed.Positional.size() != 2)
        throw TUsageError{"expected GAMEDIR and ZONE"};
    const std::optional<int> detail =
        parsed.Values.contains("--detail") ? std::optional(DetailPosition(parsed.Values.at("--detail"))) : std::nullopt;
    const auto viewer = LoadViewer(parsed.Positional[0], parsed.Positional[1]);
    RefineAt(*viewer, parsed.Values.contains("--loc") ? std::optional(parsed.Values.at("--loc")) : std::nullopt,
             detail);
    TCountingSink sink;
    const int triangles = orv::DrawCLODFanWalk(viewer->Terrain, viewer->TerrainNormals, false, false, sink);
    std::printf("{\"triangles\": %d, \"fans\": %d, \"max_fan_vertices\": %d}\n", triangles, sink.Fans,
                sink.MaxVertices);
    Flush();
    return 0;
}

int Heightmap(const TArgs& args)
{
    const auto p = Positional(args, 3);
    const auto viewer = LoadViewer(p[0], p[1]);
    constexpr int Side = orv::GridVertices;
    std::vector<uint16_t> samples(static_cast<size_t>(Side * Side));
    for (int row = 0; row < Side; ++row)          // the top row is the largest y
        for (int x = 0; x < Side; ++x)
            samples[static_cast<size_t>(row * Side + x)] = viewer->Terrain[x][Side - 1 - row].Height;
    orv::WritePNG(p[2], Side, Side, 1, 16,
                  std::span(reinterpret_cast<const uint8_t*>(samples.data()), samples.size() * sizeof(uint16_t)));
    return 0;
}

const std::string LoadNote =
    "The zone is loaded as the viewer loads it, without textures; the loading log goes to\n"
    "standard error, and \"sector.dat\" is written into the working directory.";

TCommandRegistration dumpH{"dump-h", "GAMEDIR ZONE", "Print the zone's vertex heights as the H map dump", DumpH,
                           "257 lines, line k holding the heights of the vertices with y index k in\n"
                           "increasing x, each as four hexadecimal digits and a blank.\n\n" + LoadNote};
TCommandRegistration dumpD2{"dump-d2", "GAMEDIR ZONE", "Print the zone's level-of-detail values as the D2 map dump",
                            DumpD2,
                            "257 lines, line k holding the D2 values of the vertices with y index k in\n"
                            "increasing x, each as at least four hexadecimal digits and a blank.\n\n" + LoadNote};
TCommandRegistration water{"water", "GAMEDIR ZONE", "List the zone's water regions", Water,
                           "One line per region: Left Top Right Bottom Height Color, decimal.\n\n" + LoadNote};
TCommandRegistration lod{"lod", "GAMEDIR ZONE [--loc X,Y,Z,h,p] [--detail POS]",
                         "Refine the level of detail at a camera and count the fans", Lod,
                         "Places the camera as \"Go to loc...\" would (from the start camera), refines with\n"
                         "the factor POS / 255 (POS 1..255; without --detail the start-up factor 0.2)\n"
                         "and walks the fans. Prints one JSON line:\n"
                         "  {\"triangles\": T, \"fans\": F, \"max_fan_vertices\": M}\n\n" + LoadNote};
TCommandRegistration heightmap{"heightmap", "GAMEDIR ZONE OUT.png", "Write the zone's heights as a 16-bit grey PNG",
                               Heightmap,
                               "257 x 257 pixels, the largest y at the top, one height per pixel.\n\n" + LoadNote};

}  // namespace
}  // namespace orvtool
