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

void limitSlope(HeightField& field, double steepest) {
    const int w = field.width, h = field.height;
    if (w < 2 || h < 2)
        return;
    std::vector<float>& z = field.heights;
    const float straight = static_cast<float>(steepest * field.cell);
    const float diagonal = static_cast<float>(steepest * field.cell * 1.4142135623730951);
    const auto lower = [&](std::size_t i, std::size_t j, float step) {
        if (field.roles[i] != CellRole::held)
            z[i] = std::min(z[i], z[j] + step);
    };
    // Forward: from the west and the row to the north; backward: from the east and the row to
    // the south. Any shortest path of the eight-neighbour steps is a run of one or two step
    // directions, which the two passes take in turn.
    for (int r = 0; r < h; ++r)
        for (int c = 0; c < w; ++c) {
            const std::size_t i = static_cast<std::size_t>(r) * w + c;
            if (c > 0)
                lower(i, i - 1, straight);
            if (r > 0) {
                const std::size_t n = i - static_cast<std::size_t>(w);
                lower(i, n, straight);
                if (c > 0)
                    lower(i, n - 1, diagonal);
                if (c + 1 < w)
                    lower(i, n + 1, diagonal);
            }
        }
    for (int r = h - 1; r >= 0; --r)
        for (int c = w - 1; c >= 0; --c) {
            const std::size_t i = static_cast<std::size_t>(r) * w + c;
            if (c + 1 < w)
                lower(i, i + 1, straight);
            if (r + 1 < h) {
                const std::size_t s = i + static_cast<std::size_t>(w);
                lower(i, s, straight);
                if (c > 0)
                    lower(i, s - 1, diagonal);
                if (c + 1 < w)
                    lower(i, s + 1, diagonal);
            }
        }
}
