// Snapping on a large photograph: the line across its whole width, and the window's step of
// bringing the photograph to the drawing's size first.
#include <benchmark/benchmark.h>

#include "syntheticphoto.h"
#include "tracing/horizonsnap.h"

namespace {

const SyntheticPhoto& photo() {
    static const SyntheticPhoto made = makeSyntheticPhoto(4000, 3000);
    return made;
}

void BM_SnapAcross4000x3000(benchmark::State& state) {
    const PhotoView view{photo().rgb.data(), photo().width, photo().height, 3};
    const std::vector<gmVector2> traced = tracedLine(photo(), 10.0);
    for (auto _ : state)
        benchmark::DoNotOptimize(snapToHorizon(view, traced));
    state.SetItemsProcessed(state.iterations() * static_cast<long>(traced.size()));
}
BENCHMARK(BM_SnapAcross4000x3000)->Unit(benchmark::kMillisecond);

void BM_GreyAtDrawingSize(benchmark::State& state) {
    const PhotoView view{photo().rgb.data(), photo().width, photo().height, 3};
    for (auto _ : state)
        benchmark::DoNotOptimize(greyPhotoAtSize(view, 1280, 960));
}
BENCHMARK(BM_GreyAtDrawingSize)->Unit(benchmark::kMillisecond);

} // namespace

BENCHMARK_MAIN();
