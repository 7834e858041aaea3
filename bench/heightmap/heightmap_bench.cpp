// Heightmap exports of a stage-3-sized terrain (51 rows of 417 points, 2 pixels apart with
// uneven ends, rows 16 pixels apart) at 1025 x 1025 and 4097 x 4097 cells: resampling alone,
// then each format's whole export (resampling, writing, the atomic save), each beside a plain
// fwrite of as many bytes as the export wrote. The target is a 4097 x 4097 export of any
// format in under 2 s, growing linearly with the cells.
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <unistd.h>
#include <vector>

#include <benchmark/benchmark.h>

#include "heightmap/heightmapexport.h"

namespace {

const double rowSpacing = 16.0;

std::vector<std::vector<gmVector2>> terrain() {
    const int rows = 51, columns = 417;
    std::vector<double> xs(columns);
    for (int c = 0; c < columns; ++c)
        xs[c] = 100.0 + 2.0 * c;
    xs[1] = 100.5; // the refined curve's uneven ends
    xs[columns - 2] = xs[columns - 1] - 0.5;
    std::uint32_t state = 1;
    std::vector<std::vector<gmVector2>> grid(rows);
    for (int r = 0; r < rows; ++r) {
        for (int c = 0; c < columns; ++c) {
            state = state * 1103515245u + 12345u;
            const double noise = static_cast<double>((state >> 16) % 21) - 10.0;
            const double silhouette = 300.0 + 150.0 * std::sin(c * 0.05) * std::sin(c * 0.013);
            grid[r].emplace_back(xs[c], (1.0 - r / 51.0) * silhouette + noise);
        }
    }
    return grid;
}

const std::vector<std::vector<gmVector2>>& sharedTerrain() {
    static const std::vector<std::vector<gmVector2>> grid = terrain();
    return grid;
}

std::string scratch(const std::string& name) {
    static const std::string folder = [] {
        char pattern[] = "/tmp/mondrel-heightmap-bench-XXXXXX";
        const char* made = mkdtemp(pattern);
        return std::string(made ? made : "/tmp");
    }();
    return folder + "/" + name;
}

HeightmapExport settings(HeightmapFormat format, int side) {
    HeightmapExport s;
    s.format = format;
    s.raster.width = side;
    s.raster.height = side;
    s.raster.scale = 2.5;
    return s;
}

void BM_Resample(benchmark::State& state) {
    RasterOptions options;
    options.width = options.height = static_cast<int>(state.range(0));
    for (auto _ : state) {
        HeightRaster raster;
        std::string error;
        if (!resampleTerrain(sharedTerrain(), rowSpacing, options, raster, error))
            state.SkipWithError(error.c_str());
        benchmark::DoNotOptimize(raster.heights.data());
    }
    state.counters["cells"] = static_cast<double>(options.width) * options.height;
}

void exportFormat(benchmark::State& state, HeightmapFormat format, int side) {
    const std::string name = scratch(std::string("terrain.") + heightmapFormatName(format));
    ExportReport report;
    for (auto _ : state) {
        std::string error;
        if (!exportHeightmap(sharedTerrain(), rowSpacing, settings(format, side), name, error,
                             &report))
            state.SkipWithError(error.c_str());
    }
    state.counters["bytes"] = static_cast<double>(report.bytesWritten);
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * report.bytesWritten));
    std::remove(name.c_str());
    std::remove((name + ".json").c_str());
}

// As many bytes as the export wrote, in one fwrite, closed; with `sync` also fsync'ed, as the
// atomic save does before its rename.
void plainWrite(benchmark::State& state, std::uint64_t bytes, bool sync) {
    const std::vector<char> data(bytes, 'x');
    const std::string name = scratch("plain.bin");
    for (auto _ : state) {
        std::FILE* out = std::fopen(name.c_str(), "wb");
        if (!out || std::fwrite(data.data(), 1, data.size(), out) != data.size() ||
            std::fflush(out) != 0 || (sync && fsync(fileno(out)) != 0))
            state.SkipWithError("plain write failed");
        if (out)
            std::fclose(out);
    }
    state.counters["bytes"] = static_cast<double>(bytes);
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * bytes));
    std::remove(name.c_str());
}

} // namespace

int main(int argc, char** argv) {
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv))
        return 1;
    benchmark::RegisterBenchmark("Resample", BM_Resample)
        ->Arg(1025)
        ->Arg(4097)
        ->Unit(benchmark::kMillisecond);
    const HeightmapFormat formats[] = {HeightmapFormat::asc, HeightmapFormat::png16,
                                       HeightmapFormat::r16, HeightmapFormat::exr,
                                       HeightmapFormat::obj};
    for (const int side : {1025, 4097}) {
        for (const HeightmapFormat format : formats) {
            if (format == HeightmapFormat::obj && side != 1025)
                continue; // the mesh is the grid itself, whatever the raster size
            // One export first, to learn how many bytes the plain write is to match.
            const std::string probe = scratch("probe");
            ExportReport report;
            std::string error;
            exportHeightmap(sharedTerrain(), rowSpacing, settings(format, side), probe, error,
                            &report);
            std::remove(probe.c_str());
            std::remove((probe + ".json").c_str());
            const std::string label =
                std::string(heightmapFormatName(format)) + "/" +
                (format == HeightmapFormat::obj ? "grid" : std::to_string(side));
            benchmark::RegisterBenchmark(("Export/" + label).c_str(), exportFormat, format, side)
                ->Unit(benchmark::kMillisecond)
                ->UseRealTime();
            benchmark::RegisterBenchmark(("PlainWrite/" + label).c_str(), plainWrite,
                                         report.bytesWritten, false)
                ->Unit(benchmark::kMillisecond)
                ->UseRealTime();
            benchmark::RegisterBenchmark(("PlainWriteSynced/" + label).c_str(), plainWrite,
                                         report.bytesWritten, true)
                ->Unit(benchmark::kMillisecond)
                ->UseRealTime();
        }
    }
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    rmdir(scratch("").c_str());
    return 0;
}
