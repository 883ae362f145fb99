// orvandel-mkgame DIR: writes a complete sample game into DIR, laid out as the viewer
// expects an installation to be:
//
//   zones/zone111/dat111.mpk, tex111.mpk   zone 111 (DXT1 DDS tiles)
//   zones/zone005/dat005.mpk, tex005.mpk   zone 5 (DXT1 DDS tiles)
//   zones/zone112/dat112.mpk, tex112.mpk   zone 112 (24-bit BMP tiles)
//   zones/d00.bmp, zones/sky/wisps.tga, zones/textures/watery.tga, data/compass_bar.bmp,
//   checker.bmp (the viewer reads it from its working directory: start it in DIR)
//
// Every run writes the same bytes: the land comes from fixed seeds and the archive
// members carry a fixed date.
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <exception>
#include <string>
#include <vector>

#include "Landscape.h"
#include "Painter.h"
#include "SharedArt.h"
#include "base/platform/Files.h"
#include "formats/Stream.h"
#include "writers/ImageWriters.h"
#include "writers/MPKWriter.h"
#include "zone/Heightfield.h"
#include "zone/WaterRegions.h"
#include "zone/ZonePaths.h"

namespace {

using namespace orvgame;

// 2026-01-15T10:00:00Z, the date of every archive member.
constexpr uint32_t MemberTimestamp = 1768471200;
constexpr int TilesPerSide = 8;

const TZoneRecipe Zones[] = {
    {.Id = 111, .Seed = 1110, .Shore = TShore::West, .ShoreWidth = 34.0, .PeakHeight = 13900.0,
     .MountainCover = 0.6, .HillHeight = 1800.0, .PlainsCover = 0.5, .Rivers = 5, .Lakes = 2, .BmpTiles = false},
    {.Id = 5, .Seed = 50, .Shore = TShore::East, .ShoreWidth = 44.0, .PeakHeight = 8200.0,
     .MountainCover = 0.25, .HillHeight = 2200.0, .PlainsCover = 0.7, .Rivers = 3, .Lakes = 3, .BmpTiles = false},
    {.Id = 112, .Seed = 1120, .Shore = TShore::South, .ShoreWidth = 26.0, .PeakHeight = 14100.0,
     .MountainCover = 0.85, .HillHeight = 1500.0, .PlainsCover = 0.25, .Rivers = 4, .Lakes = 2, .BmpTiles = true},
};

std::vector<uint8_t> GreyPalette()
{
    std::vector<uint8_t> palette;
    for (int i = 0; i < 256; ++i)
        palette.insert(palette.end(), 3, static_cast<uint8_t>(i));
    return palette;
}

std::vector<uint8_t> TextBytes(const std::string& text)
{
    return {text.begin(), text.end()};
}

// path: relative to dir, with "/" between its components.
void WriteFile(const std::string& dir, const std::string& path, const std::vector<uint8_t>& bytes)
{
    std::string full = dir;
    for (size_t start = 0, end; start < path.size(); start = end + 1) {
        end = std::min(path.find('/', start), path.size());
        full = orv::platform::JoinPath(full, path.substr(start, end - start));
    }
    orv::platform::CreateDirectories(orv::platform::DirectoryOf(full));
    orv::WriteWholeFile(full, bytes.data(), bytes.size());
}

std::string ArchiveStem(const std::string& path)
{
    const std::string name = orv::platform::NameOf(path);
    return name.substr(0, name.rfind('.'));
}

// The tile member of patch (px, py): the second number counts from the far y edge.
std::string TileName(int px, int py, bool bmp)
{
    char name[32];
    std::snprintf(name, sizeof name, "tex%02d-%02d.%s", px, TilesPerSide - 1 - py, bmp ? "bmp" : "dds");
    return name;
}

void WriteZone(const std::string& gameDir, const TZoneRecipe& recipe)
{
    const TLandscape land = BuildLandscape(recipe);
    const std::vector<uint8_t> palette = GreyPalette();
    const std::vector<orv::TMPKMember> data = {
        {std::string(orv::TerrainMember), orv::EncodePCX8(MapSize, MapSize, land.TerrainPixels, palette),
         MemberTimestamp},
        {std::string(orv::OffsetMember), orv::EncodePCX8(MapSize, MapSize, land.OffsetPixels, palette),
         MemberTimestamp},
        {std::string(orv::SectorMember), TextBytes(FormatSectorFile(land)), MemberTimestamp},
    };
    const std::string dataPath = orv::ZoneArchiveName(gameDir, recipe.Id, orv::TZoneArchive::Data);
    orv::platform::CreateDirectories(orv::platform::DirectoryOf(dataPath));
    orv::WriteMPK(dataPath, ArchiveStem(dataPath), data);

    const TTilePainter painter(land, recipe.Seed);
    std::vector<orv::TMPKMember> tiles;
    // Stored in name order: first number, then second.
    for (int px = 0; px < TilesPerSide; ++px)
        for (int fromFar = 0; fromFar < TilesPerSide; ++fromFar) {
            const int py = TilesPerSide - 1 - fromFar;
            const orv::TImage tile = painter.Paint(px, py);
            tiles.push_back({TileName(px, py, recipe.BmpTiles),
                             recipe.BmpTiles ? orv::EncodeBMP24(tile) : orv::EncodeDDS(tile, orv::FourCCDXT1),
                             MemberTimestamp});
        }
    const std::string texPath = orv::ZoneArchiveName(gameDir, recipe.Id, orv::TZoneArchive::Texture);
    orv::WriteMPK(texPath, ArchiveStem(texPath), tiles);

    int low = MaxHeight, high = 0;
    for (uint16_t h : land.Heights) {
        low = std::min<int>(low, h);
        high = std::max<int>(high, h);
    }
    std::printf("zone %d: heights %d..%d, %zu water regions, %d %s tiles\n", recipe.Id, low, high, land.Water.size(),
                TilesPerSide * TilesPerSide, recipe.BmpTiles ? "BMP" : "DDS");
}

void WriteSharedFiles(const std::string& dir)
{
    WriteFile(dir, "zones/d00.bmp", orv::EncodeBMP24(DetailTexture()));
    WriteFile(dir, "zones/sky/wisps.tga", orv::EncodeTGA(CloudTexture(), false, false));
    WriteFile(dir, "zones/textures/watery.tga", orv::EncodeTGA(WaterTexture(), true, true));
    WriteFile(dir, "data/compass_bar.bmp", orv::EncodeBMP24(CompassTexture()));
    WriteFile(dir, "checker.bmp", orv::EncodeBMP24(CheckerTexture()));
}

void PrintUsage(std::FILE* out)
{
    std::fprintf(out, "Usage: orvandel-mkgame DIR\n\n"
                      "Writes a sample game into DIR (created when missing): zones 111, 5 and 112\n"
                      "with their data and texture archives, and the shared textures. Start the\n"
                      "viewer in DIR so that it finds checker.bmp there.\n");
}

}  // namespace

int main(int argc, char** argv)
{
    const std::vector<std::string> args = orv::platform::ProgramArguments(argc, argv);
    if (args.size() == 2 && (args[1] == "--help" || args[1] == "-h")) {
        PrintUsage(stdout);
        return 0;
    }
    if (args.size() != 2 || args[1].empty()) {
        PrintUsage(stderr);
        return 2;
    }
    const auto start = std::chrono::steady_clock::now();
    const std::string dir = args[1];
    try {
        orv::platform::CreateDirectories(dir);
        const std::string gameDir = orv::IncludeTrailingPathDelimiter(dir);
        for (const TZoneRecipe& recipe : Zones)
            WriteZone(gameDir, recipe);
        WriteSharedFiles(dir);
    } catch (const std::exception& e) {
        std::fflush(stdout);
        std::fprintf(stderr, "orvandel-mkgame: %s\n", e.what());
        return 1;
    }
    const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    std::printf("Sample game written to %s in %.2f s\n", dir.c_str(), seconds);
    return 0;
}
