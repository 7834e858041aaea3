#include "natural/hillslope.h"

#include "natural/rowthreads.h"

void diffuseHillslopes(HeightField& field, double rate, int sweeps, int threads) {
    const int w = field.width, h = field.height;
    std::vector<float> next(field.size());
    for (int sweep = 0; sweep < sweeps; ++sweep) {
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
                    for (int dr = -1; dr <= 1; ++dr) {
                        const int nr = r + dr;
                        if (nr < 0 || nr >= h)
                            continue;
                        for (int dc = -1; dc <= 1; ++dc) {
                            const int nc = c + dc;
                            if ((dr == 0 && dc == 0) || nc < 0 || nc >= w)
                                continue;
                            const double weight = dr != 0 && dc != 0 ? 1.0 : 2.0;
                            sum += weight * z[static_cast<std::size_t>(nr) * w + nc];
                            weights += weight;
                        }
                    }
                    next[i] = static_cast<float>(z[i] + rate * (sum / weights - z[i]));
                }
        });
        field.heights.swap(next);
    }
}
