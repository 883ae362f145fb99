// Extraction speed of the archive reader: TMPKFile::ExtractToMemory of a 4 MiB
// heightmap-like member against zlib's own one-shot uncompress() of the same
// compressed bytes into a buffer allocated once. After the runs it prints the ratio of
// the two throughputs (medians when repeated); 1.0 would mean no cost over bare zlib.
//
//   bench_extract --benchmark_repetitions=9
#include <benchmark/benchmark.h>
#include <unistd.h>
#include <zlib.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <map>
#include <random>
#include <string>
#include <tuple>
#include <vector>

#include "formats/MPKFile.h"
#include "writers/MPKWriter.h"

namespace {

using namespace orv;

constexpr int MapWidth = 2048;
constexpr int MapHeight = 2048;   // 8-bit samples, as in the game's heightmap images: 4 MiB
constexpr int64_t MemberSize = int64_t{MapWidth} * MapHeight;
const char* const MemberName = "heights.raw";

// Rolling hills from a few sine waves, a coarse random grid interpolated between its
// points, and an occasional step of one: compresses about as well as real terrain.
std::vector<uint8_t> MakeHeightmap()
{
    std::mt19937 random(1234);
    constexpr int Cell = 32;
    std::vector<float> coarse((MapWidth / Cell + 2) * (MapHeight / Cell + 2));
    for (auto& value : coarse)
        value = std::uniform_real_distribution<float>(0.0f, 60.0f)(random);
    const auto coarseAt = [&](int cx, int cy) { return coarse[static_cast<size_t>(cy * (MapWidth / Cell + 2) + cx)]; };

    std::vector<uint8_t> out;
    out.reserve(static_cast<size_t>(MemberSize));
    for (int y = 0; y < MapHeight; ++y)
        for (int x = 0; x < MapWidth; ++x) {
            const float fx = static_cast<float>(x % Cell) / Cell, fy = static_cast<float>(y % Cell) / Cell;
            const int cx = x / Cell, cy = y / Cell;
            const float grid = (coarseAt(cx, cy) * (1 - fx) + coarseAt(cx + 1, cy) * fx) * (1 - fy)
                               + (coarseAt(cx, cy + 1) * (1 - fx) + coarseAt(cx + 1, cy + 1) * fx) * fy;
            const float hills = 120.0f + 60.0f * std::sin(x * 0.004f) * std::cos(y * 0.006f)
                                + 12.0f * std::sin((x + 2 * y) * 0.021f);
            const float step = random() % 16 == 0 ? 1.0f : 0.0f;
            out.push_back(static_cast<uint8_t>(std::clamp(hills + grid + step, 0.0f, 255.0f)));
        }
    return out;
}

// The archive on disk and the member's compressed bytes, made once.
struct TFixture {
    std::string Path = "/tmp/bench_extract_" + std::to_string(::getpid()) + ".mpk";
    std::vector<uint8_t> Packed;

    TFixture()
    {
        const auto bytes = BuildMPK("bench", {{MemberName, MakeHeightmap(), 0}});
        WriteWholeFile(Path, bytes.data(), bytes.size());
        const TMPKFile archive(Path);
        const auto& entry = archive.Directory().Items(0);
        Packed.assign(bytes.begin() + entry.Offset, bytes.begin() + entry.Offset + entry.CompressedSize);
        std::printf("member: %lld bytes, compressed %zu bytes (ratio %d%%)\n", static_cast<long long>(MemberSize),
                    Packed.size(), entry.Ratio);
    }
    ~TFixture() { std::remove(Path.c_str()); }
};

TFixture& Fixture()
{
    static TFixture fixture;
    return fixture;
}

void BM_ExtractToMemory(benchmark::State& state)
{
    TMPKFile archive(Fixture().Path);
    for (auto _ : state) {
        auto memory = archive.ExtractToMemory(MemberName);
        if (memory->Size() != MemberSize)
            state.SkipWithError("wrong size");
        benchmark::DoNotOptimize(memory->Memory());
    }
    state.SetBytesProcessed(state.iterations() * MemberSize);
}
BENCHMARK(BM_ExtractToMemory)->Unit(benchmark::kMillisecond);

void BM_ZlibUncompress(benchmark::State& state)
{
    const auto& packed = Fixture().Packed;
    std::vector<uint8_t> out(static_cast<size_t>(MemberSize));
    for (auto _ : state) {
        uLongf size = static_cast<uLongf>(out.size());
        if (uncompress(out.data(), &size, packed.data(), static_cast<uLong>(packed.size())) != Z_OK
            || size != static_cast<uLongf>(MemberSize))
            state.SkipWithError("uncompress failed");
        benchmark::DoNotOptimize(out.data());
        benchmark::ClobberMemory();
    }
    state.SetBytesProcessed(state.iterations() * MemberSize);
}
BENCHMARK(BM_ZlibUncompress)->Unit(benchmark::kMillisecond);

// Keeps each benchmark's real and CPU time per iteration: the medians when repeated,
// else the single run.
class TRatioReporter : public benchmark::ConsoleReporter {
public:
    void ReportRuns(const std::vector<Run>& runs) override
    {
        ConsoleReporter::ReportRuns(runs);
        for (const Run& run : runs) {
            const std::string& name = run.run_name.function_name;
            const TTimes times{run.GetAdjustedRealTime(), run.GetAdjustedCPUTime()};
            if (run.run_type == Run::RT_Aggregate && run.aggregate_name == "median")
                Medians[name] = times;
            else if (run.run_type == Run::RT_Iteration && !Medians.count(name))
                Singles[name] = times;
        }
    }
    struct TTimes {
        double Real = 0, Cpu = 0;
    };
    TTimes Time(const std::string& name) const
    {
        const auto median = Medians.find(name);
        if (median != Medians.end())
            return median->second;
        const auto single = Singles.find(name);
        return single != Singles.end() ? single->second : TTimes{};
    }

private:
    std::map<std::string, TTimes> Medians, Singles;
};

}  // namespace

int main(int argc, char** argv)
{
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv))
        return 1;
    Fixture();
    TRatioReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    const auto extract = reporter.Time("BM_ExtractToMemory");
    const auto zlib = reporter.Time("BM_ZlibUncompress");
    // Times are in milliseconds per iteration.
    const auto mibPerSecond = [](double ms) { return static_cast<double>(MemberSize) / (1 << 20) / (ms / 1e3); };
    for (const auto& [label, mine, theirs] : {std::tuple{"real", extract.Real, zlib.Real},
                                              std::tuple{"CPU", extract.Cpu, zlib.Cpu}})
        if (mine > 0 && theirs > 0)
            std::printf("%s time: ExtractToMemory %.1f MiB/s, uncompress %.1f MiB/s, ratio %.3f\n", label,
                        mibPerSecond(mine), mibPerSecond(theirs), theirs / mine);
    benchmark::Shutdown();
    return 0;
}
