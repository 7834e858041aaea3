#include "curve/strokejoin.h"

#include <algorithm>
#include <cmath>

namespace {

// Columns further apart than this are separate strokes with a gap, not a join.
const double joinedColumns = 2.0;
const std::size_t narrowestJoin = 2;
const std::size_t widestJoin = 48;

// 0 at t = 0 rising smoothly to 1 at t = 1, flat at both ends.
double smoothstep(double t) {
    return t * t * (3.0 - 2.0 * t);
}

} // namespace

std::size_t strokeJoinWidth(double step) {
    const double size = std::fabs(step);
    if (!(size > 1.0))
        return 0;
    const double columns = std::min(std::ceil(size), static_cast<double>(widestJoin));
    return std::max(narrowestJoin, static_cast<std::size_t>(columns));
}

void easeStrokeJoin(std::vector<gmVector2>& curve, std::size_t join, OlderSide older) {
    if (join == 0 || join >= curve.size())
        return;
    const gmVector2 left = curve[join - 1];
    const gmVector2 right = curve[join];
    if (!(right[0] - left[0] <= joinedColumns))
        return;
    const bool olderBefore = older == OlderSide::before;
    // The older point's offset from the newer one; the eased points lose it gradually.
    const double step = olderBefore ? left[1] - right[1] : right[1] - left[1];
    const std::size_t olderCount = olderBefore ? join : curve.size() - join;
    const std::size_t width = std::min(strokeJoinWidth(step), olderCount);
    for (std::size_t k = 0; k < width; ++k) {
        // k = 0 is the older point next to the join; the shift fades out over the width.
        const double t = static_cast<double>(k + 1) / static_cast<double>(width + 1);
        const double shift = step * (1.0 - smoothstep(t));
        gmVector2& point = olderBefore ? curve[join - 1 - k] : curve[join + k];
        point[1] -= shift;
    }
}
