#pragma once

#include <cstddef>
#include <functional>

// Runs work(firstRow, endRow) over rows 0 .. rows - 1 in fixed bands of `band` rows, spread
// over `threads` threads (0: as many as the machine has). The bands do not depend on the
// number of threads, so work whose result depends only on its band gives the same bytes with
// any number of threads.
void forRowBands(int rows, int band, int threads, const std::function<void(int, int)>& work);

// The threads worth starting for a pass over `cells` cells: 1 below 32768 (a 181-cell square)
// (starting and joining threads would cost more than they save), `threads` otherwise.
int threadsFor(std::size_t cells, int threads);

// The number of threads forRowBands uses for `threads` (0 meaning the machine's cores).
int threadCount(int threads);

// While a RowBandStop lives on a thread, forRowBands called from that thread asks stop (which
// must be safe to call from any thread) before each band and skips the bands not yet begun
// once it says so. The work is then incomplete: the construction that set the stop drops it.
// This lets a cancelled construction end within a band rather than at the end of a level.
class RowBandStop {
    friend bool rowBandsStopped();

public:
    explicit RowBandStop(const std::function<bool()>* stop);
    ~RowBandStop();
    RowBandStop(const RowBandStop&) = delete;
    RowBandStop& operator=(const RowBandStop&) = delete;

private:
    const std::function<bool()>* previous_;
};

// Whether the RowBandStop living on this thread says to stop (false without one). Steps that
// run several sweeps or passes ask it between them, and after each forRowBands drop what a
// stopped pass left half done, so that a cancel lands within a pass rather than at the end
// of a level; a step that stops leaves its field unfinished, for the construction to drop.
bool rowBandsStopped();
