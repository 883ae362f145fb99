// Benchmarks of the zone map and the glTF export, each beside the work it is measured
// against in the same run:
// - the 2048-pixel map against zlib's default compression of its own pixels (the map
//   should take at most 1.5 times that);
// - the textured .glb against the PNG encoding of its 64 tiles and water texture (at most
//   twice that);
// - the 8192-pixel map with the process's peak resident memory (run it alone for that
//   figure: --benchmark_filter=Map8192);
// - the 2048-pixel map's drawing and PNG encoding alone, to see what bounds it.
// CPU times count every thread of the process.
//
//   bench_export --game=DIR [benchmark options]     (or $ORVANDEL_GAME_DIR)
//
// DIR holds a game with textures, for instance one made by `orvandel-mkgame DIR`. Each
// benchmark repeats five times and reports the median. Runs in a temporary working
// directory, where loading writes "sector.dat" and the outputs go.
#include <benchmark/benchmark.h>
#include <sys/resource.h>
#include <unistd.h>
#include <zlib.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "base/Log.h"
#include "export/GLTFExport.h"
#include "export/ZoneMap.h"
#include "shell/Viewer.h"
#include "writers/PNG.h"
#include "zone/TextureImages.h"
#include "zone/ZonePaths.h"

namespace {

using namespace orv;

constexpr int BenchZone = 111;
constexpr int Repetitions = 5;

std::string g_GameDir;

// The zone, loaded once for all benchmarks.
const TViewer& Zone()
{
    static const std::unique_ptr<TViewer> viewer = [] {
        auto v = std::make_unique<TViewer>();
        v->GameDir = g_GameDir;
        v->TexturesEnabled = false;
        v->ResetCamera();
        v->LoadZone(BenchZone);
        return v;
    }();
    return *viewer;
}

// One run a repetition, five repetitions; wall and process CPU time.
void Measured(benchmark::internal::Benchmark* b)
{
    b->Unit(benchmark::kMillisecond)->Iterations(1)->Repetitions(Repetitions)->MeasureProcessCPUTime()->UseRealTime();
}

double PeakResidentMB()
{
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return static_cast<double>(usage.ru_maxrss) / 1024.0;   // kilobytes on Linux
}

void SaveMap(benchmark::State& state, int size)
{
    TMapOptions options;
    options.Size = size;
    for (auto _ : state)
        SaveZoneMap(Zone().ZoneSource(), options, "map.png");
    state.counters["file_MB"] = static_cast<double>(std::filesystem::file_size("map.png")) / 1e6;
    state.counters["peak_MB"] = PeakResidentMB();
}

void BM_Map2048(benchmark::State& state) { SaveMap(state, DefaultMapSize); }
BENCHMARK(BM_Map2048)->Apply(Measured);

// zlib's default compression of the 2048-pixel map's 12 MB of RGB pixels.
void BM_DeflateMapPixels(benchmark::State& state)
{
    const TZoneSource zone = Zone().ZoneSource();
    const TTileImages tiles = LoadZoneTileImages(zone.GameDir, zone.ZoneID);
    const TImage water = LoadWaterTextureImage(zone.GameDir);
    const TImage map = DrawZoneMap(zone, tiles, &water, TMapOptions{});
    std::vector<Bytef> packed(compressBound(static_cast<uLong>(map.Pixels.size())));
    uLongf packedSize = 0;
    for (auto _ : state) {
        packedSize = static_cast<uLongf>(packed.size());
        if (compress2(packed.data(), &packedSize, map.Pixels.data(), static_cast<uLong>(map.Pixels.size()),
                      Z_DEFAULT_COMPRESSION) != Z_OK)
            state.SkipWithError("compress2 failed");
    }
    state.counters["pixels_MB"] = static_cast<double>(map.Pixels.size()) / 1e6;
    state.counters["packed_MB"] = static_cast<double>(packedSize) / 1e6;
}
BENCHMARK(BM_DeflateMapPixels)->Apply(Measured);

void BM_DrawMap2048(benchmark::State& state)
{
    const TZoneSource zone = Zone().ZoneSource();
    const TTileImages tiles = LoadZoneTileImages(zone.GameDir, zone.ZoneID);
    const TImage water = LoadWaterTextureImage(zone.GameDir);
    for (auto _ : state)
        benchmark::DoNotOptimize(DrawZoneMap(zone, tiles, &water, TMapOptions{}));
}
BENCHMARK(BM_DrawMap2048)->Apply(Measured);

void BM_EncodeMap2048(benchmark::State& state)
{
    const TZoneSource zone = Zone().ZoneSource();
    const TTileImages tiles = LoadZoneTileImages(zone.GameDir, zone.ZoneID);
    const TImage water = LoadWaterTextureImage(zone.GameDir);
    const TImage map = DrawZoneMap(zone, tiles, &water, TMapOptions{});
    for (auto _ : state)
        benchmark::DoNotOptimize(EncodePNG(map.Width, map.Height, map.Channels, 8, map.Pixels));
}
BENCHMARK(BM_EncodeMap2048)->Apply(Measured);

void BM_Map8192(benchmark::State& state) { SaveMap(state, MaxMapSize); }
BENCHMARK(BM_Map8192)->Apply(Measured);

void Export(benchmark::State& state, bool textures)
{
    TExportOptions options;
    options.Textures = textures;
    for (auto _ : state)
        ExportZone(Zone().ZoneSource(), options, "zone.glb");
    state.counters["file_MB"] = static_cast<double>(std::filesystem::file_size("zone.glb")) / 1e6;
}

void BM_ExportGLB(benchmark::State& state) { Export(state, true); }
BENCHMARK(BM_ExportGLB)->Apply(Measured);

void BM_ExportGLBNoTextures(benchmark::State& state) { Export(state, false); }
BENCHMARK(BM_ExportGLBNoTextures)->Apply(Measured);

// Reading and decoding the 64 tiles, which the textured .glb and the map start with.
void BM_LoadTiles(benchmark::State& state)
{
    for (auto _ : state)
        benchmark::DoNotOptimize(LoadZoneTileImages(Zone().GameDir, BenchZone));
}
BENCHMARK(BM_LoadTiles)->Apply(Measured);

// The images of the textured .glb, encoded one after the other.
void BM_EncodeExportImages(benchmark::State& state)
{
    const TZoneSource zone = Zone().ZoneSource();
    std::vector<TImage> images;
    for (TImage& tile : LoadZoneTileImages(zone.GameDir, zone.ZoneID))
        images.push_back(std::move(tile));
    images.push_back(LoadWaterTextureImage(zone.GameDir));
    size_t bytes = 0;
    for (auto _ : state) {
        bytes = 0;
        for (const TImage& image : images)
            bytes += EncodePNG(image.Width, image.Height, image.Channels, 8, image.Pixels).size();
    }
    state.counters["png_MB"] = static_cast<double>(bytes) / 1e6;
}
BENCHMARK(BM_EncodeExportImages)->Apply(Measured);

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
    if (g_GameDir.empty()) {
        std::fprintf(stderr, "bench_export: give a game with textures: --game=DIR (orvandel-mkgame DIR makes one)\n");
        return 2;
    }
    g_GameDir = std::filesystem::absolute(IncludeTrailingPathDelimiter(g_GameDir)).string();

    std::string scratch = (std::filesystem::temp_directory_path() / "orvandel-bench-XXXXXX").string();
    if (!::mkdtemp(scratch.data())) {
        std::perror("mkdtemp");
        return 1;
    }
    std::filesystem::current_path(scratch);
    SetLogSink([](std::string_view) {});

    int count = static_cast<int>(rest.size());
    benchmark::Initialize(&count, rest.data());
    int status = 0;
    try {
        benchmark::RunSpecifiedBenchmarks();
    } catch (const std::exception& e) {
        std::fprintf(stderr, "bench_export: %s\n", e.what());
        status = 1;
    }
    benchmark::Shutdown();
    std::filesystem::current_path(std::filesystem::temp_directory_path());
    std::filesystem::remove_all(scratch);
    return status;
}
