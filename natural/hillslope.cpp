#include "natural/hillslope.h"

#include "natural/rowthreads.h"

void diffuseHillslopes(HeightField& field, double rate, int sweeps, int threads) {
    if (rowBandsStopped())
        return;
    const int w = field.width, h = field.height;
    std::vector<float> next(field.size());
    for (int sweep = 0; sweep < sweeps && !rowBandsStopped(); ++sweep) {
        const std::vector<float>& z = field.heights;
        forRowBands(h, 32, threadsFor(field.size(), threads), [&](int first, int end) {
            for (int r = first; r < end; ++r)
                for (int c = 0; c < w; ++c) {
                    const std::size_t i = static_cast<std::size_t>(r) * w + c;
                    if (field.roles[i] != CellRole::free) {
                        next[i] = z[i];
                        continue;
                    }
                    double sum = 0.0, weights = 0.0;
                    field.forNeighbours(z, r, c, [&](double neighbour, bool diagonal) {
                        const double weight = diagonal ? 1.0 : 2.0;
                        sum += weight * neighbour;
                        weights += weight;
                    });
                    next[i] = static_cast<float>(z[i] + rate * (sum / weights - z[i]));
                }
        });
        if (rowBandsStopped())
            return;
        field.heights.swap(next);
    }
}
