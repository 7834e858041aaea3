// The construction of stages 1 and 2 (one shared profile, no refinement) for 833, 3840 and
// 15360 columns.
#include <cmath>
#include <vector>

#include <benchmark/benchmark.h>

#include "terrain/terrainconstruction.h"

namespace {

PointList frontRow(int columns) {
    PointList front;
    for (int x = 0; x < columns; ++x)
        front.emplace_back(x, 400.0 + 150.0 * std::sin(x * 6.0 / columns));
    return front;
}

PointList defaultProfile() {
    PointList profile;
    for (int i = 0; i <= 50; ++i)
        profile.emplace_back(i / 51.0, 1.0 - i / 51.0);
    return profile;
}

void BM_Construct(benchmark::State& state) {
    const PointList front = frontRow(static_cast<int>(state.range(0)));
    const PointList profile = defaultProfile();
    const std::vector<unsigned> noColumns;
    const std::vector<PointList> noProfiles, noLevels;
    const TerrainInputs inputs{front, profile, noColumns, noProfiles, 0.4f,
                               0.35f, 0.2f,    noLevels,  false,      50};
    TerrainGrid grid;
    Random15 rng;
    for (auto _ : state) {
        rng.reseed(1);
        constructTerrain(inputs, rng, grid);
        benchmark::DoNotOptimize(grid.data());
    }
    state.SetItemsProcessed(state.iterations() * state.range(0) * 51);
}

} // namespace

BENCHMARK(BM_Construct)->Arg(833)->Arg(3840)->Arg(15360)->Unit(benchmark::kMicrosecond);
BENCHMARK_MAIN();
