#include "natural/capexcess.h"

#include <algorithm>

namespace {

struct Offset {
    int dr, dc;
    double bump;
};

// The cells within `reach` of a cell, each with a weight falling smoothly to 0 at the rim.
std::vector<Offset> discOf(double reach) {
    const int span = static_cast<int>(reach);
    std::vector<Offset> disc;
    for (int dr = -span; dr <= span; ++dr)
        for (int dc = -span; dc <= span; ++dc) {
            const double q = (dr * dr + dc * dc) / (reach * reach);
            if (q <= 1.0)
                disc.push_back({dr, dc, (1.0 - q) * (1.0 - q)});
        }
    return disc;
}

// Each cell's maximum, or bump-weighted mean, of `from` over the disc; beyond the raster's
// edge nothing counts.
std::vector<float> overDisc(const std::vector<float>& from, int w, int h,
                            const std::vector<Offset>& disc, bool maximum) {
    std::vector<float> to(from.size());
    for (int r = 0; r < h; ++r)
        for (int c = 0; c < w; ++c) {
            double value = 0.0, total = 0.0;
            for (const Offset& o : disc) {
                const int nr = r + o.dr, nc = c + o.dc;
                if (nr < 0 || nr >= h || nc < 0 || nc >= w)
                    continue;
                const double v = from[static_cast<std::size_t>(nr) * w + nc];
                if (maximum) {
                    value = std::max(value, v);
                } else {
                    value += o.bump * v;
                    total += o.bump;
                }
            }
            to[static_cast<std::size_t>(r) * w + c] =
                static_cast<float>(maximum ? value : value / total);
        }
    return to;
}

} // namespace

void lowerAboveCaps(HeightField& field, const std::vector<double>& cap,
                    const std::vector<float>& share, double reach) {
    std::vector<float> excess(field.size(), 0.0f);
    bool any = false;
    for (std::size_t i = 0; i < field.size(); ++i)
        if (field.heights[i] > cap[i]) {
            excess[i] = static_cast<float>(field.heights[i] - cap[i]);
            any = true;
        }
    if (!any)
        return;
    const std::vector<Offset> disc = discOf(std::max(1.0, reach));
    const std::vector<float> lowering =
        overDisc(overDisc(excess, field.width, field.height, disc, true), field.width, field.height,
                 disc, false);
    for (std::size_t i = 0; i < field.size(); ++i)
        field.heights[i] -= lowering[i] * share[i];
}
