#include "curve/subdivision.h"

#include <cstddef>

// The formulas below are evaluated exactly in the grouping written (inner brackets first, left
// to right), one gmVector2 operation at a time, so that coarsening followed by refinement gives
// back the fine points to within a few units of the last place, and every build agrees.

namespace {

constexpr std::size_t minFinePoints = 8;
constexpr std::size_t minCoarsePoints = 5;

// Drops an odd last point; true when enough points remain to split the curve.
bool evenAndLongEnough(std::vector<gmVector2>& curve) {
    if (curve.size() % 2 != 0)
        curve.pop_back();
    return curve.size() >= minFinePoints;
}

} // namespace

void coarsenCurve(std::vector<gmVector2>& curve) {
    if (!evenAndLongEnough(curve))
        return;
    const std::size_t n = curve.size();
    const std::size_t m = n / 2 + 1;
    const gmVector2* const f = curve.data();

    std::vector<gmVector2> coarse;
    coarse.reserve(m);
    coarse.push_back(f[0]);
    coarse.push_back(((-0.5 * f[0] + f[1]) + 0.75 * f[2]) - 0.25 * f[3]);
    // Interior groups of four starting at the even indices 2, 4, ..., n - 6.
    for (std::size_t j = 2; j + 3 <= m; ++j) {
        const gmVector2* g = f + 2 * j - 2;
        coarse.push_back(0.75 * (g[1] + g[2]) - 0.25 * (g[0] + g[3]));
    }
    coarse.push_back(((-0.25 * f[n - 4] + 0.75 * f[n - 3]) + f[n - 2]) - 0.5 * f[n - 1]);
    coarse.push_back(f[n - 1]);
    curve.swap(coarse);
}

void curveDetails(std::vector<gmVector2>& curve) {
    if (!evenAndLongEnough(curve))
        return;
    const std::size_t n = curve.size();
    const std::size_t m = n / 2 + 1;
    const gmVector2* const f = curve.data();

    std::vector<gmVector2> details;
    details.reserve(m - 2);
    details.push_back(((-0.5 * f[0] + f[1]) - 0.75 * f[2]) + 0.25 * f[3]);
    details.push_back(((-0.25 * f[2] + 0.75 * f[3]) - 0.75 * f[4]) + 0.25 * f[5]);
    // Interior groups of four starting at the even indices 4, 6, ..., n - 6.
    for (std::size_t j = 2; j + 4 <= m; ++j) {
        const gmVector2* g = f + 2 * j;
        details.push_back(0.75 * (g[2] - g[1]) + 0.25 * (g[0] - g[3]));
    }
    details.push_back(((0.25 * f[n - 4] - 0.75 * f[n - 3]) + f[n - 2]) - 0.5 * f[n - 1]);
    curve.swap(details);
}

void refineCurve(std::vector<gmVector2>& curve, const std::vector<gmVector2>& details) {
    const std::size_t m = curve.size();
    if (m < minCoarsePoints || details.size() < m - 2)
        return;
    const std::size_t fineCount = 2 * m - 2;
    const gmVector2* const c = curve.data();
    const gmVector2* const d = details.data();

    // The detail contribution e(k) of each fine point is formed right where it is added; the
    // contributions of the first and last point are zero and those points stay fixed.
    std::vector<gmVector2> fine(fineCount);
    gmVector2* g = fine.data();
    *g++ = c[0];
    *g++ = (0.5 * c[0] + 0.5 * c[1]) + 0.5 * d[0];
    *g++ = (0.75 * c[1] + 0.25 * c[2]) + (-0.75 * d[0] + 0.25 * d[1]);
    *g++ = (0.25 * c[1] + 0.75 * c[2]) + (-0.25 * d[0] + 0.75 * d[1]);
    *g++ = (0.75 * c[2] + 0.25 * c[3]) + (-0.75 * d[1] - 0.25 * d[2]);
    *g++ = (0.25 * c[2] + 0.75 * c[3]) + (-0.25 * d[1] - 0.75 * d[2]);
    // Fine points 2i and 2i + 1 for i = 3 ... m - 3 take the details d(i - 1) and d(i).
    for (std::size_t i = 3; i + 3 <= m; ++i) {
        const gmVector2& dj = d[i - 1];
        const gmVector2& dk = d[i];
        *g++ = (0.75 * c[i] + 0.25 * c[i + 1]) + (0.75 * dj - 0.25 * dk);
        *g++ = (0.25 * c[i] + 0.75 * c[i + 1]) + (0.25 * dj - 0.75 * dk);
    }
    *g++ = (c[m - 2] + c[m - 1]) / 2 + 0.5 * d[m - 3];
    *g = c[m - 1];
    curve.swap(fine);
}
