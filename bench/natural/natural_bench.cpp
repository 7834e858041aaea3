// The natural terrain of a stage-3-sized terrain (51 rows of 417 points, a ridge with detail)
// at the window's preview size (257 x 257), 1025 x 1025 and 4097 x 4097 cells, beside a plain
// resampling of the same grid onto the same raster. The targets: the preview in 0.3 s, 1025^2
// in 1.5 s and 4097^2 in 20 s on two cores, time growing linearly with cells times erosion
// steps, and at most 32 bytes per cell at the peak.
//
// Threads/N runs on N threads (the bytes are the same); Steps/S varies the erosion steps.
// With --peak-memory SIDE the program builds one natural terrain of SIDE^2 cells and prints
// the process's peak resident size (getrusage) per cell, which a fresh process measures best:
//
//     build/bin/natural_bench --peak-memory 4097
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <sys/resource.h>
#include <vector>

#include <benchmark/benchmark.h>

#include "heightmap/heightraster.h"
#include "natural/naturalterrain.h"

namespace {

const double rowSpacing = 9.5;

std::vector<std::vector<gmVector2>> terrain() {
    const int rows = 51, columns = 417;
    std::vector<std::vector<gmVector2>> grid(rows);
    for (int r = 0; r < rows; ++r) {
        const double fall = 1.0 - r / 50.0;
        for (int c = 0; c < columns; ++c) {
            const double silhouette = 220.0 + 120.0 * std::sin(c * 0.021) * std::sin(c * 0.0071) +
                                      6.0 * std::sin(c * 0.9) + 3.0 * std::sin(c * 2.3);
            grid[r].emplace_back(100.0 + 2.0 * c, fall * silhouette);
        }
    }
    return grid;
}

const std::vector<std::vector<gmVector2>>& sharedTerrain() {
    static const std::vector<std::vector<gmVector2>> grid = terrain();
    return grid;
}

RasterOptions square(int side) {
    RasterOptions options;
    options.width = options.height = side;
    return options;
}

void BM_Natural(benchmark::State& state, int threads, int steps) {
    const int side = static_cast<int>(state.range(0));
    NaturalSettings settings;
    settings.erosionSteps = steps;
    for (auto _ : state) {
        HeightRaster raster;
        std::string error;
        if (!buildNaturalTerrain(sharedTerrain(), rowSpacing, settings, square(side), raster, error,
                                 threads))
            state.SkipWithError(error.c_str());
        benchmark::DoNotOptimize(raster.heights.data());
    }
    const double cells = static_cast<double>(side) * side;
    state.counters["cells"] = cells;
    state.counters["ns/cell"] = benchmark::Counter(
        cells, benchmark::Counter::kIsIterationInvariantRate | benchmark::Counter::kInvert);
}

void BM_Resample(benchmark::State& state) {
    const int side = static_cast<int>(state.range(0));
    for (auto _ : state) {
        HeightRaster raster;
        std::string error;
        if (!resampleTerrain(sharedTerrain(), rowSpacing, square(side), raster, error))
            state.SkipWithError(error.c_str());
        benchmark::DoNotOptimize(raster.heights.data());
    }
}

int peakMemory(int side) {
    HeightRaster raster;
    std::string error;
    if (!buildNaturalTerrain(sharedTerrain(), rowSpacing, NaturalSettings{}, square(side), raster,
                             error)) {
        std::fprintf(stderr, "natural_bench: %s\n", error.c_str());
        return 1;
    }
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    const double bytes = static_cast<double>(usage.ru_maxrss) * 1024.0;
    const double cells = static_cast<double>(side) * side;
    std::printf("natural terrain %dx%d: peak resident %.1f MB, %.1f bytes per cell\n", side, side,
                bytes / 1e6, bytes / cells);
    return 0;
}

} // namespace

int main(int argc, char** argv) {
    if (argc == 3 && std::strcmp(argv[1], "--peak-memory") == 0)
        return peakMemory(std::atoi(argv[2]));
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv))
        return 1;
    const int defaultSteps = NaturalSettings{}.erosionSteps;
    benchmark::RegisterBenchmark("Resample", BM_Resample)
        ->Arg(1025)
        ->Arg(4097)
        ->Unit(benchmark::kMillisecond);
    benchmark::RegisterBenchmark("Natural", BM_Natural, 0, defaultSteps)
        ->Arg(257) // the window's preview
        ->Arg(1025)
        ->Arg(2049)
        ->Arg(4097)
        ->Unit(benchmark::kMillisecond)
        ->UseRealTime();
    for (const int threads : {1, 2})
        benchmark::RegisterBenchmark(("Natural/Threads" + std::to_string(threads)).c_str(),
                                     BM_Natural, threads, defaultSteps)
            ->Arg(1025)
            ->Unit(benchmark::kMillisecond)
            ->UseRealTime();
    for (const int steps : {20, 80})
        benchmark::RegisterBenchmark(("Natural/Steps" + std::to_string(steps)).c_str(), BM_Natural,
                                     0, steps)
            ->Arg(1025)
            ->Unit(benchmark::kMillisecond)
            ->UseRealTime();
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
