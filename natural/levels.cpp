#include "natural/levels.h"

#include <algorithm>

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

double sampleCoarser(const Level& coarser, const std::vector<float>& heights, double x, double y) {
    const double u =
        std::clamp((x - coarser.west) / coarser.cell, 0.0, static_cast<double>(coarser.width - 1));
    const double v =
        std::clamp((coarser.y(0) - y) / coarser.cell, 0.0, static_cast<double>(coarser.height - 1));
    const int u0 = std::min(static_cast<int>(u), coarser.width - 2);
    const int v0 = std::min(static_cast<int>(v), coarser.height - 2);
    const double fu = u - u0, fv = v - v0;
    const float* p = heights.data() + static_cast<std::size_t>(v0) * coarser.width + u0;
    const double top = p[0] + fu * (p[1] - p[0]);
    const double bottom = p[coarser.width] + fu * (p[coarser.width + 1] - p[coarser.width]);
    return top + fv * (bottom - top);
}
