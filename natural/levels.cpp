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

using Taps = CoarserReader::Taps;

// The Catmull-Rom taps at position t (in samples) along an axis of `count` samples, the ends
// repeated.
Taps tapsAt(double t, int count) {
    const int first = std::min(static_cast<int>(t), count - 2);
    const double f = t - first, f2 = f * f, f3 = f2 * f;
    Taps taps;
    taps.weight[0] = 0.5 * (-f3 + 2 * f2 - f);
    taps.weight[1] = 0.5 * (3 * f3 - 5 * f2 + 2);
    taps.weight[2] = 0.5 * (-3 * f3 + 4 * f2 + f);
    taps.weight[3] = 0.5 * (f3 - f2);
    for (int k = 0; k < 4; ++k)
        taps.index[k] = std::clamp(first - 1 + k, 0, count - 1);
    return taps;
}

double columnOf(const Level& coarser, double x) {
    return std::clamp((x - coarser.west) / coarser.cell, 0.0,
                      static_cast<double>(coarser.width - 1));
}

double rowOf(const Level& coarser, double y) {
    return std::clamp((coarser.y(0) - y) / coarser.cell, 0.0,
                      static_cast<double>(coarser.height - 1));
}

double readTaps(const std::vector<float>& heights, int width, const Taps& across,
                const Taps& down) {
    double sum = 0, lo = INFINITY, hi = -INFINITY;
    for (int j = 0; j < 4; ++j) {
        const float* row = heights.data() + static_cast<std::size_t>(down.index[j]) * width;
        double along = 0;
        for (int i = 0; i < 4; ++i) {
            const double z = row[across.index[i]];
            along += across.weight[i] * z;
            if ((i == 1 || i == 2) && (j == 1 || j == 2)) {
                lo = std::min(lo, z);
                hi = std::max(hi, z);
            }
        }
        sum += down.weight[j] * along;
    }
    // No higher or lower than the four nearest samples: the curve's overshoot would raise
    // knobs beside sharp crests and sink pits into channel floors.
    return std::clamp(sum, lo, hi);
}

} // namespace

double sampleCoarser(const Level& coarser, const std::vector<float>& heights, double x, double y) {
    return readTaps(heights, coarser.width, tapsAt(columnOf(coarser, x), coarser.width),
                    tapsAt(rowOf(coarser, y), coarser.height));
}

CoarserReader::CoarserReader(const Level& coarser, const std::vector<float>& heights,
                             const Level& finer, const Bend& bend)
    : coarser_(coarser), heights_(heights), finer_(finer), bend_(bend) {
    if (bend_.amount > 0) {
        wander_.wavelength = bend_.wavelength * coarser.cell;
        wander_.maxOctaves = 2;
        return;
    }
    for (int c = 0; c < finer.width; ++c)
        columns_.push_back(tapsAt(columnOf(coarser, finer.x(c)), coarser.width));
    for (int r = 0; r < finer.height; ++r)
        rows_.push_back(tapsAt(rowOf(coarser, finer.y(r)), coarser.height));
}

double CoarserReader::at(int row, int column) const {
    if (bend_.amount > 0) {
        const double x = finer_.x(column), y = finer_.y(row);
        const double shift = bend_.amount * coarser_.cell;
        return sampleCoarser(
            coarser_, heights_, x + shift * fractalNoise(x, y, wander_, bend_.seed ^ 0x9b05688cu),
            y + bend_.across * shift * fractalNoise(x, y, wander_, bend_.seed ^ 0x6d2b79f5u));
    }
    return readTaps(heights_, coarser_.width, columns_[static_cast<std::size_t>(column)],
                    rows_[static_cast<std::size_t>(row)]);
}
