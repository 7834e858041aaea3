// Speed of the curve operations, each beside a memcpy of the same number of bytes in the same
// run: the subdivision operations are meant to stay within a small factor of that copy.
#include <benchmark/benchmark.h>

#include <chrono>
#include <cmath>
#include <cstring>
#include <vector>

#include "curve/detailrandomizer.h"
#include "curve/random15.h"
#include "curve/stroke.h"
#include "curve/subdivision.h"

namespace {

using Points = std::vector<gmVector2>;
using Clock = std::chrono::steady_clock;

Points wigglyCurve(std::size_t n) {
    Random15 rng(1);
    Points points;
    points.reserve(n);
    for (std::size_t i = 0; i < n; ++i)
        points.emplace_back(static_cast<double>(i),
                            200.0 * std::sin(0.01 * static_cast<double>(i)) + rng.next() / 327.68);
    return points;
}

double secondsOf(Clock::time_point start) {
    return std::chrono::duration<double>(Clock::now() - start).count();
}

// Times one memcpy of `bytes` between two warm buffers.
class CopyBaseline {
public:
    explicit CopyBaseline(std::size_t bytes) : from_(bytes, 1), to_(bytes, 2) {}

    double seconds() {
        const auto start = Clock::now();
        std::memcpy(to_.data(), from_.data(), from_.size());
        benchmark::DoNotOptimize(to_.data());
        benchmark::ClobberMemory();
        return secondsOf(start);
    }

private:
    std::vector<char> from_, to_;
};

// Reports the operation's time per point and, as "copy_ratio", its time over that of
// copying `points` points.
void reportPerPoint(benchmark::State& state, std::size_t points, double opSeconds,
                    double copySeconds) {
    const double perIteration = 1e9 / static_cast<double>(state.iterations());
    const auto count = static_cast<double>(points);
    state.counters["ns_per_point"] = opSeconds * perIteration / count;
    state.counters["memcpy_ns_per_point"] = copySeconds * perIteration / count;
    state.counters["copy_ratio"] = opSeconds / copySeconds;
}

// Runs `operation` on a fresh copy of `input` each iteration, timing only the operation.
template <typename Operation>
void timeInPlace(benchmark::State& state, const Points& input, std::size_t pointsCounted,
                 Operation operation) {
    CopyBaseline copy(pointsCounted * sizeof(gmVector2));
    double opSeconds = 0.0, copySeconds = 0.0;
    Points work;
    for (auto _ : state) {
        work = input;
        const auto start = Clock::now();
        operation(work);
        benchmark::DoNotOptimize(work.data());
        const double elapsed = secondsOf(start);
        state.SetIterationTime(elapsed);
        opSeconds += elapsed;
        copySeconds += copy.seconds();
    }
    reportPerPoint(state, pointsCounted, opSeconds, copySeconds);
}

// Each subdivision benchmark is counted per fine point: the points coarsenCurve and
// curveDetails read, and the points refineCurve writes.
void BM_CoarsenCurve(benchmark::State& state) {
    const Points fine = wigglyCurve(static_cast<std::size_t>(state.range(0)));
    timeInPlace(state, fine, fine.size(), [](Points& p) { coarsenCurve(p); });
}

void BM_CurveDetails(benchmark::State& state) {
    const Points fine = wigglyCurve(static_cast<std::size_t>(state.range(0)));
    timeInPlace(state, fine, fine.size(), [](Points& p) { curveDetails(p); });
}

void BM_RefineCurve(benchmark::State& state) {
    const Points fine = wigglyCurve(static_cast<std::size_t>(state.range(0)));
    Points coarse = fine, details = fine;
    coarsenCurve(coarse);
    curveDetails(details);
    timeInPlace(state, coarse, fine.size(), [&details](Points& p) { refineCurve(p, details); });
}

// A hand-drawn profile stroke in the unit square: mostly left to right, with jitter and a few
// back-steps, as the mouse gives it.
Points profileStroke(std::size_t n) {
    Random15 rng(5);
    Points stroke;
    for (std::size_t i = 0; i < n; ++i) {
        const double t = static_cast<double>(i) / static_cast<double>(n);
        const double jitter = (rng.next() - 16384) / 16384.0 * 0.002;
        stroke.emplace_back(0.05 + 0.9 * t + jitter, 0.8 - 0.6 * t * t + 4 * jitter);
    }
    return stroke;
}

// What the profile view does when a stroke ends, for a 400-pixel-wide view.
void BM_ProfileStrokePipeline(benchmark::State& state) {
    const Points stroke = profileStroke(500);
    timeInPlace(state, stroke, stroke.size(), [](Points& p) {
        cleanupLine(p, 400);
        resampleLine(p, 394);
        for (int i = 0; i < 3; ++i)
            coarsenCurve(p);
    });
}

// The row-refinement stage's shuffles for a 3840-column curve: 50 rows, three detail levels
// (239, 479 and 959 entries), amount 0.99; counted per shuffled entry.
void BM_StageThreeShuffles(benchmark::State& state) {
    const std::vector<Points> levels = {wigglyCurve(239), wigglyCurve(479), wigglyCurve(959)};
    std::size_t entries = 0;
    for (const Points& level : levels)
        entries += 50 * level.size();
    Random15 rng(1);
    CopyBaseline copy(entries * sizeof(gmVector2));
    double opSeconds = 0.0, copySeconds = 0.0;
    Points details;
    for (auto _ : state) {
        const auto start = Clock::now();
        rng.reseed(1);
        for (const Points& level : levels)
            for (int row = 1; row <= 50; ++row) {
                details = level;
                randomizeDetails(details, 0.99f, rng, false);
                benchmark::DoNotOptimize(details.data());
            }
        const double elapsed = secondsOf(start);
        state.SetIterationTime(elapsed);
        opSeconds += elapsed;
        copySeconds += copy.seconds();
    }
    reportPerPoint(state, entries, opSeconds, copySeconds);
}

} // namespace

BENCHMARK(BM_CoarsenCurve)->RangeMultiplier(10)->Range(1000, 1000000)->UseManualTime();
BENCHMARK(BM_CurveDetails)->RangeMultiplier(10)->Range(1000, 1000000)->UseManualTime();
BENCHMARK(BM_RefineCurve)->RangeMultiplier(10)->Range(1000, 1000000)->UseManualTime();
BENCHMARK(BM_ProfileStrokePipeline)->UseManualTime();
BENCHMARK(BM_StageThreeShuffles)->UseManualTime()->Unit(benchmark::kMillisecond);

BENCHMARK_MAIN();
