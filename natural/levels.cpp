#include "natural/levels.h"

#include <algorithm>
#include <cmath>

Level levelOf(const Layout& layout, int factor) {
    Level level;
    level.factor = factor;
    level.cell = layout.cell * factor;
    level.west = layout.west;
    level.width = (layout.width - 1 + factor - 1) / factor + 1;
    level.middleRow = (layout.middleRow + factor - 1) / factor;
    level.height =
        level.middleRow + (layout.height - 1 - layout.middleRow + factor - 1) / factor + 1;
    return level;
}

namespace {

// Catmull-Rom weights at fraction t between the middle two of four samples.
void cubicWeights(double t, double w[4]) {
    const double t2 = t * t, t3 = t2 * t;
    w[0] = 0.5 * (-t3 + 2 * t2 - t);
    w[1] = 0.5 * (3 * t3 - 5 * t2 + 2);
    w[2] = 0.5 * (-3 * t3 + 4 * t2 + t);
    w[3] = 0.5 * (t3 - t2);
}

} // namespace

double sampleCoarser(const Level& coarser, const std::vector<float>& heights, double x, double y) {
    const double u =
        std::clamp((x - coarser.west) / coarser.cell, 0.0, static_cast<double>(coarser.width - 1));
    const double v =
        std::clamp((coarser.y(0) - y) / coarser.cell, 0.0, static_cast<double>(coarser.height - 1));
    const int u0 = std::min(static_cast<int>(u), coarser.width - 2);
    const int v0 = std::min(static_cast<int>(v), coarser.height - 2);
    const double fu = u - u0, fv = v - v0;
    double wu[4], wv[4];
    cubicWeights(fu, wu);
    cubicWeights(fv, wv);
    double sum = 0, lo = INFINITY, hi = -INFINITY;
    for (int j = 0; j < 4; ++j) {
        const int r = std::clamp(v0 - 1 + j, 0, coarser.height - 1);
        double row = 0;
        for (int i = 0; i < 4; ++i) {
            const int c = std::clamp(u0 - 1 + i, 0, coarser.width - 1);
            const double z = heights[static_cast<std::size_t>(r) * coarser.width + c];
            row += wu[i] * z;
            if ((i == 1 || i == 2) && (j == 1 || j == 2)) {
                lo = std::min(lo, z);
                hi = std::max(hi, z);
            }
        }
        sum += wv[j] * row;
    }
    // No higher or lower than the four nearest samples: the curve's overshoot would raise
    // knobs beside sharp crests and sink pits into channel floors.
    return std::clamp(sum, lo, hi);
}
