#include "natural/thermal.h"

#include <algorithm>
#include <cmath>

#include "natural/rowthreads.h"

void thermalErosion(HeightField& field, double talus, int sweeps, int threads) {
    const int w = field.width, h = field.height;
    std::vector<float> next(field.size());
    const double straight = talus * field.cell, diagonal = straight * 1.4142135623730951;
    // A sixteenth of the excess per neighbour pair: eight pairs move at most half a cell's
    // excess, which keeps the sweep from overshooting.
    const double share = 1.0 / 16.0;
    for (int sweep = 0; sweep < sweeps; ++sweep) {
        const std::vector<float>& z = field.heights;
        forRowBands(h, 32, threadsFor(field.size(), threads), [&](int first, int end) {
            for (int r = first; r < end; ++r) {
                for (int c = 0; c < w; ++c) {
                    const std::size_t i = static_cast<std::size_t>(r) * w + c;
                    if (field.roles[i] != CellRole::free) {
                        next[i] = z[i];
                        continue;
                    }
                    const double zi = z[i];
                    double change = 0.0;
                    for (int dr = -1; dr <= 1; ++dr) {
                        const int nr = r + dr;
                        if (nr < 0 || nr >= h)
                            continue;
                        for (int dc = -1; dc <= 1; ++dc) {
                            const int nc = c + dc;
                            if ((dr == 0 && dc == 0) || nc < 0 || nc >= w)
                                continue;
                            const double d = z[static_cast<std::size_t>(nr) * w + nc] - zi;
                            const double limit = (dr != 0 && dc != 0) ? diagonal : straight;
                            if (d > limit)
                                change += share * (d - limit);
                            else if (d < -limit)
                                change += share * (d + limit);
                        }
                    }
                    next[i] = static_cast<float>(zi + change);
                }
            }
        });
        field.heights.swap(next);
    }
}
