#include "curve/stroke.h"

#include <algorithm>
#include <cfloat>
#include <cmath>
#include <cstdio>

// Set to 1 to print the progress of every cleanup and resampling.
#ifndef MONDREL_TRACE_CURVES
#define MONDREL_TRACE_CURVES 0
#endif

namespace {

constexpr bool traceCurves = MONDREL_TRACE_CURVES != 0;

// Gaps this wide or wider (in units of the stroke) get no filler points. No real stroke comes
// near it; it keeps a stray far-away point from filling memory with millions of fillers.
constexpr double maxFilledGap = 65536.0;

// A value held in single precision, as the profile arithmetic does. Values beyond the range of
// float keep their double value, so that finite input never turns into an infinity.
double asSingle(double v) {
    return std::fabs(v) <= static_cast<double>(FLT_MAX) ? static_cast<double>(static_cast<float>(v))
                                                        : v;
}

// The mean height of the points [first, last), summed in single precision. A run whose sum
// leaves the range of float is averaged in double instead.
double runMean(const gmVector2* first, const gmVector2* last) {
    const auto count = static_cast<float>(last - first);
    float sum = 0.0f;
    for (const gmVector2* p = first; p != last; ++p)
        sum = static_cast<float>(static_cast<double>(sum) + (*p)[1]);
    if (std::isfinite(sum))
        return static_cast<double>(sum / count);
    double mean = 0.0;
    for (const gmVector2* p = first; p != last; ++p)
        mean += (*p)[1] / static_cast<double>(count);
    return mean;
}

// Number of whole units between two x values, 0 where the gap is too wide (or not finite).
int wholeUnitsBetween(double from, double to) {
    const double gap = to - from;
    return gap < maxFilledGap ? static_cast<int>(gap) : 0;
}

// Appends the representative of the run [first, last) (its last point, at the run's mean
// height when it has several points) to out.
void appendRun(gmVector2* first, gmVector2* last, std::vector<gmVector2>& out) {
    gmVector2& representative = *(last - 1);
    if (last - first >= 2)
        representative[1] = runMean(first, last);
    out.push_back(representative);
}

// Appends the points one unit apart on the straight line from `from` towards `to`, leaving
// out both ends.
void appendGapFillers(const gmVector2& from, const gmVector2& to, std::vector<gmVector2>& out) {
    const int g = wholeUnitsBetween(from[0], to[0]);
    for (int q = 1; q < g; ++q) {
        const float t = static_cast<float>(q) / static_cast<float>(g);
        out.emplace_back(from[0] + q,
                         static_cast<double>(1.0f - t) * from[1] + static_cast<double>(t) * to[1]);
    }
}

// Room for one point per unit of the stroke's span, within reason.
std::size_t expectedColumns(const std::vector<gmVector2>& sorted) {
    constexpr double maxReserve = 1 << 16;
    const double span = sorted.back()[0] - sorted.front()[0] + 1.0;
    if (!(span > 0.0))
        return sorted.size();
    return std::max(sorted.size(), static_cast<std::size_t>(std::min(span, maxReserve)));
}

void scaleAndClamp(std::vector<gmVector2>& points, double W) {
    for (gmVector2& p : points) {
        p = W * p;
        // Keep the scaled stroke finite (a far-off point may overflow) and inside the box.
        for (int i = 0; i < 2; ++i)
            p[i] = std::max(std::min(p[i], W), -DBL_MAX);
    }
}

void dropPointsLeftOfBox(std::vector<gmVector2>& points) {
    const auto firstInside = std::find_if(points.begin(), points.end(),
                                          [](const gmVector2& p) { return !(p[0] < 0.0); });
    points.erase(points.begin(), firstInside);
}

// A straight ramp from (0, W) towards the first point, one point per unit before it.
void prependLeadInRamp(std::vector<gmVector2>& points, double W) {
    const gmVector2 first = points.front();
    if (!(first[0] >= 1.0))
        return; // starts within a unit of the left edge
    const int k = static_cast<int>(first[0]);
    std::vector<gmVector2> ramped;
    ramped.reserve(points.size() + static_cast<std::size_t>(k));
    for (int q = 0; q < k; ++q) {
        const float t = static_cast<float>(q) / static_cast<float>(k);
        ramped.emplace_back(q,
                            static_cast<double>(t) * first[1] + static_cast<double>(1.0f - t) * W);
    }
    ramped.insert(ramped.end(), points.begin(), points.end());
    points.swap(ramped);
}

// A flat tail at the last height up to the right edge x = W.
void appendFlatTail(std::vector<gmVector2>& points, double W) {
    while (!points.empty() && points.back()[0] > W)
        points.pop_back();
    if (points.empty())
        return;
    while (points.back()[0] < W) {
        const gmVector2 last = points.back();
        points.emplace_back(last[0] + 1.0, last[1]);
    }
    if (points.back()[0] != W)
        points.emplace_back(W, points.back()[1]);
}

// Moves the lowest height to 0 while height 1 stays 1. The minimum is held in single
// precision, so the lowest point lands on 0 only up to that rounding.
void normalizeHeights(std::vector<gmVector2>& points) {
    double m = 1.0;
    for (const gmVector2& p : points)
        if (p[1] < m)
            m = asSingle(p[1]);
    // A stroke along the top of the box has nothing to normalise: its heights differ from 1
    // only by the rounding of the ramp and fillers, and dividing by 1 - m would blow that up
    // (or divide by zero). Within a hundredth of a pixel of the top it stays flat at 1.
    constexpr double flatAtTop = 1e-5;
    if (m > 1.0 - flatAtTop) {
        for (gmVector2& p : points)
            p[1] = 1.0;
        return;
    }
    const double range = asSingle(1.0 - m);
    for (gmVector2& p : points)
        p[1] = (p[1] - m) / range;
}

} // namespace

void regularizeColumns(std::vector<gmVector2>& points) {
    if (points.size() < 2)
        return;
    // A stable sort keeps equal-x points in drawing order, so that their single-precision
    // mean comes out the same on every platform.
    std::stable_sort(points.begin(), points.end());

    std::vector<gmVector2> columns;
    columns.reserve(expectedColumns(points));
    gmVector2* const data = points.data();
    const std::size_t count = points.size();
    std::size_t a = 0;
    for (std::size_t b = 1; b < count; ++b) {
        if (data[b][0] == data[a][0])
            continue;
        appendRun(data + a, data + b, columns);
        appendGapFillers(data[b - 1], data[b], columns);
        a = b;
    }
    appendRun(data + a, data + count, columns);
    points.swap(columns);
}

void cleanupLine(std::vector<gmVector2>& points, int W) {
    if constexpr (traceCurves)
        std::printf("Staring line cleanup - there are %i points\n",
                    static_cast<int>(points.size()));
    if (W <= 0) {
        // No box to draw in: there is no profile.
        points.clear();
        return;
    }
    const double width = W;
    scaleAndClamp(points, width);
    regularizeColumns(points);
    dropPointsLeftOfBox(points);
    if (points.empty())
        return; // the whole stroke lay left of the box
    prependLeadInRamp(points, width);
    appendFlatTail(points, width);
    for (gmVector2& p : points)
        p /= width;
    normalizeHeights(points);
    if constexpr (traceCurves)
        std::printf("Finished line cleanup, there are %i points\n",
                    static_cast<int>(points.size()));
}

void resampleLine(std::vector<gmVector2>& points, const int& n) {
    const int count = static_cast<int>(points.size());
    if constexpr (traceCurves)
        std::printf("Resampling %i to %i\n", count, n);
    if (count < 2 || n < 2)
        return;
    const float ratio = static_cast<float>(count) / static_cast<float>(n);
    if constexpr (traceCurves)
        std::printf("Ratio is %i / %i = %1.3f\n", count, n, static_cast<double>(ratio));

    std::vector<gmVector2> resampled;
    resampled.reserve(static_cast<std::size_t>(n));
    resampled.push_back(points.front());
    const int lastIndex = count - 1;
    for (int i = 1; i <= n - 2; ++i) {
        const float pos = static_cast<float>(i) * ratio;
        const float fl = std::floor(pos);
        const float ce = std::ceil(pos);
        const float f = pos - fl;
        if constexpr (traceCurves)
            std::printf("Floor %3i\tCeiling %3i\tfmod %3.3f\tPos %3.3f\n", static_cast<int>(fl),
                        static_cast<int>(ce), static_cast<double>(f), static_cast<double>(pos));
        // Positions past the last point (n more than about twice the count) read the last point.
        const int below = std::min(static_cast<int>(fl), lastIndex);
        const int above = std::min(static_cast<int>(ce), lastIndex);
        resampled.push_back(static_cast<double>(1.0f - f) *
                                points[static_cast<std::size_t>(below)] +
                            static_cast<double>(f) * points[static_cast<std::size_t>(above)]);
    }
    resampled.push_back(points.back());
    points.swap(resampled);
    if constexpr (traceCurves)
        std::printf("Done resampling - there are now %i points\n", static_cast<int>(points.size()));
}
