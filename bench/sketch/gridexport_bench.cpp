// Writing the grid text of a long terrain to /dev/null: Mondrel's writer against the "%1.2f"
// writer it replaced (kept here as the baseline), side by side on the same grid.
//   build/bin/gridexport_bench
#include <benchmark/benchmark.h>
#include <cmath>
#include <cstdio>
#include <vector>

#include "fileio/clocalescope.h"
#include "fileio/gridexport.h"

namespace {

using Grid = std::vector<std::vector<gmVector2>>;

// 51 rows of terrain-like heights with two decimals' worth of detail.
const Grid& terrain(int columns) {
    static Grid grid;
    if (grid.empty() || static_cast<int>(grid[0].size()) != columns) {
        grid.assign(51, std::vector<gmVector2>(static_cast<std::size_t>(columns)));
        for (std::size_t r = 0; r < grid.size(); ++r)
            for (int c = 0; c < columns; ++c)
                grid[r][static_cast<std::size_t>(c)] =
                    gmVector2(c, (400.0 + 150.0 * std::sin(c * 0.001) + 7.31 * std::sin(c * 0.37)) *
                                     (1.0 - static_cast<double>(r) / 60.0));
    }
    return grid;
}

// The writer as it was: the same header, then every height through fprintf.
bool writeGridWithPrintf(std::FILE* out, const Grid& grid) {
    const CLocaleScope cLocale;
    const std::size_t columns = grid.empty() ? 0 : grid[0].size();
    std::fprintf(out, "ncols\t%i\nnrows\t%i\nxllcorner\t0\nyllcorner\t0\n",
                 static_cast<int>(columns), static_cast<int>(grid.size()));
    std::fprintf(out, "xdim\t%1.18f\nydim\t%1.18f\nNODATA_value\t-9999\n", 1.0 / 10800.0,
                 1.0 / 10800.0);
    for (const std::vector<gmVector2>& row : grid) {
        for (std::size_t c = 0; c < columns; ++c)
            std::fprintf(out, "%1.2f ", row[c][1]);
        std::fputc('\n', out);
    }
    std::fputc('\n', out);
    return std::ferror(out) == 0;
}

template <bool (*write)(std::FILE*, const Grid&)> void BM_WriteGrid(benchmark::State& state) {
    const Grid& grid = terrain(static_cast<int>(state.range(0)));
    std::FILE* out = std::fopen("/dev/null", "w");
    for (auto _ : state)
        benchmark::DoNotOptimize(write(out, grid));
    std::fclose(out);
    const auto cells = static_cast<std::int64_t>(grid.size() * grid[0].size());
    state.SetItemsProcessed(state.iterations() * cells);
}

} // namespace

BENCHMARK_TEMPLATE(BM_WriteGrid, writeGridWithPrintf)
    ->Name("write_grid/printf_baseline")
    ->Arg(4096)
    ->Arg(262144)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();
BENCHMARK_TEMPLATE(BM_WriteGrid, writeGrid)
    ->Name("write_grid/mondrel")
    ->Arg(4096)
    ->Arg(262144)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();

BENCHMARK_MAIN();
