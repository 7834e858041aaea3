#include "natural/rowthreads.h"

#include <algorithm>
#include <thread>
#include <vector>

namespace {

thread_local const std::function<bool()>* currentStop = nullptr;

} // namespace

RowBandStop::RowBandStop(const std::function<bool()>* stop) : previous_(currentStop) {
    currentStop = stop;
}

RowBandStop::~RowBandStop() {
    currentStop = previous_;
}

bool rowBandsStopped() {
    return currentStop && (*currentStop)();
}

int threadCount(int threads) {
    if (threads > 0)
        return threads;
    const unsigned cores = std::thread::hardware_concurrency();
    return cores == 0 ? 1 : static_cast<int>(std::min(cores, 64u));
}

int threadsFor(std::size_t cells, int threads) {
    return cells < (std::size_t(1) << 15) ? 1 : threads;
}

void forRowBands(int rows, int band, int threads, const std::function<void(int, int)>& work) {
    if (rows <= 0)
        return;
    band = std::max(band, 1);
    const int bands = (rows + band - 1) / band;
    const int used = std::min(threadCount(threads), bands);
    const std::function<bool()>* stop = currentStop;
    auto runFrom = [&](int first) {
        for (int b = first; b < bands; b += used) {
            if (stop && (*stop)())
                return;
            work(b * band, std::min(rows, (b + 1) * band));
        }
    };
    if (used <= 1) {
        runFrom(0);
        return;
    }
    std::vector<std::thread> helpers;
    helpers.reserve(static_cast<std::size_t>(used - 1));
    for (int t = 1; t < used; ++t)
        helpers.emplace_back(runFrom, t);
    runFrom(0);
    for (std::thread& helper : helpers)
        helper.join();
}
