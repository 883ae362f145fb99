// Benchmarks of the zone data and the level of detail, without OpenGL.
//
//   bench_zone [--game=DIR] [benchmark options]
//
// Uses zone 111 of the game directory given by --game or $ORVANDEL_GAME_DIR (for
// instance the sample game of orvandel-mkgame); without one, writes a zone of its own
// (fractal hills, a few rivers) into a temporary directory. Runs in a temporary working
// directory, since loading writes "sector.dat" there.
#include <benchmark/benchmark.h>
#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include "base/Format.h"
#include "base/Log.h"
#include "formats/MPKFile.h"
#include "shell/Viewer.h"
#include "terrain/CLOD.h"
#include "writers/ImageWriters.h"
#include "writers/MPKWriter.h"
#include "zone/Heightfield.h"
#include "zone/Normals.h"
#include "zone/ZonePaths.h"

namespace {

using namespace orv;

constexpr int BenchZone = 111;
constexpr int FinestDetail = 255;

std::string g_GameDir;

// Value noise: a lattice of random values, smoothly interpolated, summed over octaves.
class TNoise {
public:
    explicit TNoise(uint32_t seed)
    {
        std::mt19937 random(seed);
        for (float& v : m_Lattice)
            v = static_cast<float>(random() % 10000) / 10000.0f;
    }
    float At(float x, float y) const
    {
        const int x0 = static_cast<int>(std::floor(x)), y0 = static_cast<int>(std::floor(y));
        const float fx = x - x0, fy = y - y0;
        auto s = [](float t) { return t * t * (3 - 2 * t); };
        auto l = [&](int i, int j) { return m_Lattice[static_cast<size_t>((i & 255) * 256 + (j & 255))]; };
        const float a = l(x0, y0) + (l(x0 + 1, y0) - l(x0, y0)) * s(fx);
        const float b = l(x0, y0 + 1) + (l(x0 + 1, y0 + 1) - l(x0, y0 + 1)) * s(fx);
        return a + (b - a) * s(fy);
    }
    float Fractal(float x, float y, int octaves) const
    {
        float sum = 0, amplitude = 0.5f, frequency = 1;
        for (int i = 0; i < octaves; ++i, amplitude *= 0.5f, frequency *= 2)
            sum += amplitude * At(x * frequency, y * frequency);
        return sum;
    }

private:
    std::vector<float> m_Lattice = std::vector<float>(256 * 256);
};

// A zone of hills and valleys: the offset map carries the large forms, the terrain map
// the ground's roughness.
void WriteOwnZone(const std::string& gameDir)
{
    const TNoise large(1), fine(2);
    std::vector<uint8_t> offset(256 * 256), terrain(256 * 256);
    for (int r = 0; r < 256; ++r)
        for (int c = 0; c < 256; ++c) {
            const float h = large.Fractal(c / 48.0f, r / 48.0f, 4);
            offset[static_cast<size_t>(r * 256 + c)] = static_cast<uint8_t>(std::clamp(h * h * 400.0f, 0.0f, 255.0f));
            terrain[static_cast<size_t>(r * 256 + c)] =
                static_cast<uint8_t>(std::clamp(fine.Fractal(c / 6.0f, r / 6.0f, 5) * 255.0f, 0.0f, 255.0f));
        }
    std::string sector = "[waterdefs]\r\nnum=6\r\n";
    for (int river = 0; river < 6; ++river) {
        sector += Format("[river%2.2d]\r\nbankpoints=12\r\nheight=%d\r\ncolor=$%x\r\n", {river, 600 + 100 * river, 0x806040 + river});
        for (int i = 0; i < 12; ++i)
            sector += Format("left%2.2d=%d,%d\r\nright%2.2d=%d,%d\r\n",
                             {i, 20 + 30 * river + i, 10 + 18 * i, i, 26 + 30 * river + i, 12 + 18 * i});
    }
    const std::string folder = Format("%szones/zone%3.3d/", {gameDir, BenchZone});
    std::filesystem::create_directories(folder);
    WriteMPK(Format("%sdat%3.3d.mpk", {folder, BenchZone}), "dat111",
             {{"terrain.pcx", EncodePCX8(256, 256, terrain, {}), 0},
              {"offset.pcx", EncodePCX8(256, 256, offset, {}), 0},
              {"sector.dat", std::vector<uint8_t>(sector.begin(), sector.end()), 0}});
}

std::unique_ptr<TViewer> LoadedViewer()
{
    auto viewer = std::make_unique<TViewer>();
    viewer->GameDir = g_GameDir;
    viewer->TexturesEnabled = false;
    viewer->ResetCamera();
    viewer->LoadZone(BenchZone);
    return viewer;
}

class TCountingSink : public IFanSink {
public:
    void BindTile(int) override { ++Tiles; }
    void DrawFan(const TFanBuffers& fan, int count) override
    {
        ++Fans;
        Vertices += count;
        benchmark::DoNotOptimize(fan.Vertices[0]);
    }
    int Tiles = 0, Fans = 0, Vertices = 0;
};

void BM_LoadZoneDataSteps(benchmark::State& state)
{
    auto viewer = LoadedViewer();
    for (auto _ : state)
        viewer->LoadZone(BenchZone);
}
BENCHMARK(BM_LoadZoneDataSteps)->Unit(benchmark::kMillisecond);

// The parts of the data steps, to see what bounds them.
void BM_ReadTerrainHeights(benchmark::State& state)
{
    auto viewer = LoadedViewer();
    TMPKFile archive(ZoneArchivePath(g_GameDir, BenchZone, TZoneArchive::Data));
    for (auto _ : state)
        benchmark::DoNotOptimize(ReadTerrainHeights(archive, viewer->Terrain));
}
BENCHMARK(BM_ReadTerrainHeights)->Unit(benchmark::kMillisecond);

void BM_CreateTerrainNormals(benchmark::State& state)
{
    auto viewer = LoadedViewer();
    for (auto _ : state) {
        CreateTerrainNormals(viewer->Terrain, viewer->TerrainNormals);
        benchmark::ClobberMemory();
    }
}
BENCHMARK(BM_CreateTerrainNormals)->Unit(benchmark::kMillisecond);

void BM_ComputeD2Values(benchmark::State& state)
{
    auto viewer = LoadedViewer();
    for (auto _ : state) {
        viewer->ComputeD2Values();
        benchmark::ClobberMemory();
    }
}
BENCHMARK(BM_ComputeD2Values)->Unit(benchmark::kMillisecond);

void BM_UpdateCLOD(benchmark::State& state)
{
    auto viewer = LoadedViewer();
    if (state.range(0) != 0)
        viewer->CLODDetail = static_cast<float>(state.range(0) / 255.0);
    for (auto _ : state) {
        viewer->UpdateCLOD();
        benchmark::ClobberMemory();
    }
}
// 0: the start-up factor 0.2; 255: the finest slider position.
BENCHMARK(BM_UpdateCLOD)->Arg(0)->Arg(FinestDetail)->Unit(benchmark::kMicrosecond);

void BM_FanWalk(benchmark::State& state)
{
    auto viewer = LoadedViewer();
    if (state.range(0) != 0)
        viewer->SetCLODDetail(static_cast<int>(state.range(0)));
    TCountingSink sink;
    int triangles = 0;
    for (auto _ : state)
        triangles = DrawCLODFanWalk(viewer->Terrain, viewer->TerrainNormals, true, true, sink);
    state.counters["triangles"] = triangles;
    state.counters["fans"] = static_cast<double>(sink.Fans) / static_cast<double>(state.iterations());
}
BENCHMARK(BM_FanWalk)->Arg(0)->Arg(FinestDetail)->Unit(benchmark::kMicrosecond);

}  // namespace

int main(int argc, char** argv)
{
    std::vector<char*> rest;
    for (int i = 0; i < argc; ++i) {
        if (std::strncmp(argv[i], "--game=", 7) == 0)
            g_GameDir = argv[i] + 7;
        else
            rest.push_back(argv[i]);
    }
    if (g_GameDir.empty())
        if (const char* env = std::getenv("ORVANDEL_GAME_DIR"))
            g_GameDir = env;

    std::string scratch = (std::filesystem::temp_directory_path() / "orvandel-bench-XXXXXX").string();
    if (!::mkdtemp(scratch.data())) {
        std::perror("mkdtemp");
        return 1;
    }
    if (!g_GameDir.empty()) {
        g_GameDir = std::filesystem::absolute(IncludeTrailingPathDelimiter(g_GameDir)).string();
        std::fprintf(stderr, "zone %d of %s\n", BenchZone, g_GameDir.c_str());
    } else {
        g_GameDir = scratch + "/game/";
        WriteOwnZone(g_GameDir);
        std::fprintf(stderr, "zone %d written by the benchmark into %s\n", BenchZone, g_GameDir.c_str());
    }
    std::filesystem::current_path(scratch);
    SetLogSink([](std::string_view) {});

    int count = static_cast<int>(rest.size());
    benchmark::Initialize(&count, rest.data());
    int status = 0;
    try {
        benchmark::RunSpecifiedBenchmarks();
    } catch (const std::exception& e) {
        std::fprintf(stderr, "bench_zone: %s\n", e.what());
        status = 1;
    }
    benchmark::Shutdown();
    std::filesystem::current_path(std::filesystem::temp_directory_path());
    std::filesystem::remove_all(scratch);
    return status;
}
