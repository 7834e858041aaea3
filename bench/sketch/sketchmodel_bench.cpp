// The whole terrain construction for curves of the default window's width (833 columns), a
// 4K-wide canvas (3840) and a long loaded curve (15360), against the time to copy the bytes
// of the grid it makes.
#include <cmath>
#include <cstring>
#include <vector>

#include <benchmark/benchmark.h>

#include "sketch/sketchmodel.h"

namespace {

// A processed silhouette of the given number of pixel columns: a few peaks with jagged
// detail, drawn as one left-to-right stroke.
SketchModel modelWithCurve(int columns) {
    SketchModel model;
    model.setPrinting(false);
    model.setViewSize(columns, 1000);
    std::uint32_t state = 1;
    double height = 400;
    model.beginStroke(0, 600);
    for (int x = 1; x < columns; ++x) {
        state = state * 1103515245u + 12345u;
        height += static_cast<double>((state >> 16) % 21) - 10.0;
        height += (400.0 - height) * 0.01;
        const double peaks = 150.0 * std::sin(x * 6.0 / columns) * std::sin(x * 17.0 / columns);
        model.extendStroke(x, 1000 - static_cast<int>(height + peaks));
    }
    model.processLine();
    return model;
}

SketchModel modelAtStage(int columns, int stage, int detailRandomness) {
    SketchModel model = modelWithCurve(columns);
    model.next();
    model.next();
    model.randomnessChanged(40);
    model.changeBottomDropOff(true);
    if (stage == 3) {
        model.next();
        model.randomnessChanged(detailRandomness);
    }
    return model;
}

void BM_FirstNext(benchmark::State& state) {
    const SketchModel drawn = modelWithCurve(static_cast<int>(state.range(0)));
    for (auto _ : state) {
        state.PauseTiming();
        SketchModel model = drawn;
        state.ResumeTiming();
        model.next();
        benchmark::DoNotOptimize(model.grid().data());
    }
}

void BM_MakeMountainStage2(benchmark::State& state) {
    SketchModel model = modelAtStage(static_cast<int>(state.range(0)), 2, 0);
    for (auto _ : state) {
        model.makeMountain();
        benchmark::DoNotOptimize(model.grid().data());
    }
    state.counters["grid_points"] =
        static_cast<double>(model.grid().size() * model.grid()[0].size());
}

void BM_MakeMountainStage3(benchmark::State& state) {
    SketchModel model =
        modelAtStage(static_cast<int>(state.range(0)), 3, static_cast<int>(state.range(1)));
    for (auto _ : state) {
        model.makeMountain();
        benchmark::DoNotOptimize(model.grid().data());
    }
    state.counters["grid_points"] =
        static_cast<double>(model.grid().size() * model.grid()[0].size());
}

// Copies every row's points into one buffer of the grid's size: the floor any construction
// that writes the grid has to pay.
void copyGridBytes(benchmark::State& state, int stage) {
    const SketchModel model = modelAtStage(static_cast<int>(state.range(0)), stage, 20);
    std::size_t bytes = 0;
    for (const SketchModel::PointList& row : model.grid())
        bytes += row.size() * sizeof(gmVector2);
    std::vector<unsigned char> copy(bytes);
    for (auto _ : state) {
        unsigned char* to = copy.data();
        for (const SketchModel::PointList& row : model.grid()) {
            std::memcpy(to, row.data(), row.size() * sizeof(gmVector2));
            to += row.size() * sizeof(gmVector2);
        }
        benchmark::DoNotOptimize(copy.data());
        benchmark::ClobberMemory();
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * bytes));
}

void BM_CopyGridBytesStage2(benchmark::State& state) {
    copyGridBytes(state, 2);
}
void BM_CopyGridBytesStage3(benchmark::State& state) {
    copyGridBytes(state, 3);
}

} // namespace

BENCHMARK(BM_FirstNext)->Arg(833)->Arg(3840)->Arg(15360)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_MakeMountainStage2)->Arg(833)->Arg(3840)->Arg(15360)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_CopyGridBytesStage2)->Arg(833)->Arg(3840)->Arg(15360)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_MakeMountainStage3)
    ->ArgsProduct({{833, 3840, 15360}, {20, 99}})
    ->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_CopyGridBytesStage3)->Arg(833)->Arg(3840)->Arg(15360)->Unit(benchmark::kMicrosecond);

BENCHMARK_MAIN();
