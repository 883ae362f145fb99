// Fuzz target: a whole zone load from a game folder held in memory (a folder in /dev/shm,
// or the temporary directory where there is none): the data archive's heights, normals,
// level of detail and water regions as the viewer loads them, then the 64 tiles of the
// texture archive and the water texture decoded in software.
//
// The input is the folder's three files, each but the last preceded by its length
// (32 bits, little-endian; a length past the end takes what is left):
//   zones/zone111/dat111.mpk, zones/zone111/tex111.mpk, zones/textures/watery.tga.
#include <unistd.h>

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <memory>
#include <span>
#include <string>

#include "formats/MPKFile.h"
#include "terrain/CLOD.h"
#include "zone/Heightfield.h"
#include "zone/Normals.h"
#include "zone/TextureImages.h"
#include "zone/WaterRegions.h"
#include "zone/ZonePaths.h"

namespace {

namespace fs = std::filesystem;
using namespace orv;

constexpr int ZoneId = 111;
constexpr size_t LengthBytes = 4;
constexpr float Detail = 0.5f;

// Keeps the results from being optimised away.
volatile unsigned Sink = 0;

// The folder, made on first use and removed when the process ends.
struct TScratchGame {
    std::string Dir;
    TScratchGame()
    {
        const fs::path base = fs::is_directory("/dev/shm") ? fs::path("/dev/shm") : fs::temp_directory_path();
        const fs::path game = base / ("orvandel_fuzz_zone_" + std::to_string(::getpid()));
        fs::create_directories(game / "zones/zone111");
        fs::create_directories(game / "zones/textures");
        Dir = game.string() + "/";
    }
    ~TScratchGame()
    {
        std::error_code ignored;
        fs::remove_all(Dir, ignored);
    }
};

const std::string& GameDir()
{
    static const TScratchGame game;
    return game.Dir;
}

// The next file of the input: its length, then its bytes; the last one takes the rest.
std::span<const uint8_t> NextFile(std::span<const uint8_t>& input, bool last)
{
    size_t length = input.size();
    if (!last) {
        if (input.size() < LengthBytes) {
            input = {};
            return {};
        }
        length = input[0] | size_t{input[1]} << 8 | size_t{input[2]} << 16 | size_t{input[3]} << 24;
        input = input.subspan(LengthBytes);
        length = std::min(length, input.size());
    }
    const std::span<const uint8_t> file = input.first(length);
    input = input.subspan(length);
    return file;
}

void WriteFile(const std::string& path, std::span<const uint8_t> bytes)
{
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
}

void LoadData(const std::string& gameDir, std::unique_ptr<TTerrain>& terrain)
{
    TMPKFile data(ZoneArchivePath(gameDir, ZoneId, TZoneArchive::Data));
    const THeightRange range = ReadTerrainHeights(data, *terrain);
    if (range.MinZ < 0 || range.MinZ > range.MaxZ || range.MaxZ > 255 * (OffsetScale + TerrainScale))
        __builtin_trap();
    ComputeD2Values(*terrain);
    UpdateCLOD(*terrain, TVec3f{32768.0f, 256.0f, 256.0f}, Detail);
    auto normals = std::make_unique<TTerrainNormals>();
    CreateTerrainNormals(*terrain, *normals);
    TWaterRegionList regions;
    LoadWaterRegions(data, regions, gameDir);
    Sink = static_cast<unsigned>(regions.size()) + static_cast<unsigned>((*normals)[128][128].z);
}

void LoadTextures(const std::string& gameDir)
{
    const TTileImages tiles = LoadZoneTileImages(gameDir, ZoneId);
    unsigned sum = 0;
    for (const TImage& tile : tiles) {
        if (tile.Pixels.size() != size_t(tile.Width) * size_t(tile.Height) * size_t(tile.Channels))
            __builtin_trap();
        sum += tile.Pixels.empty() ? 0 : tile.Pixels.back();
    }
    const TImage water = LoadWaterTextureImage(gameDir);
    Sink = sum + (water.Pixels.empty() ? 0 : water.Pixels.front());
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const std::string& gameDir = GameDir();
    std::span<const uint8_t> input(data, size);
    WriteFile(ZoneArchiveName(gameDir, ZoneId, TZoneArchive::Data), NextFile(input, false));
    WriteFile(ZoneArchiveName(gameDir, ZoneId, TZoneArchive::Texture), NextFile(input, false));
    WriteFile(gameDir + std::string(WaterTextureFile), NextFile(input, true));
    auto terrain = std::make_unique<TTerrain>();
    try {
        LoadData(gameDir, terrain);
    } catch (const Exception&) {
    }
    try {
        LoadTextures(gameDir);
    } catch (const Exception&) {
    }
    return 0;
}
