// The natural terrain on several ranges: seen from the south each column's top is the highest
// skyline over it, each range's summits stand at its own depth, and one range builds as the
// single skyline does.
#include <algorithm>
#include <cmath>
#include <utility>
#include <vector>

#include <gtest/gtest.h>

#include "natural/naturalterrain.h"

namespace {

using Grid = std::vector<std::vector<gmVector2>>;
using Curve = std::vector<gmVector2>;

// A front ridge with a peak of 300 over a base of 60, rows falling linearly behind it.
Grid frontGrid() {
    Grid grid(30);
    for (int r = 0; r < 30; ++r)
        for (int c = 0; c < 200; ++c) {
            const double x = 100.0 + 2.0 * c;
            const double t = (x - 300.0) / 70.0;
            grid[r].emplace_back(x, (60.0 + 240.0 * std::exp(-t * t)) * (1.0 - r / 29.0));
        }
    return grid;
}

// A range behind it that stands above the front's flanks and below its peak.
Curve farRange() {
    Curve curve;
    for (double x = 150.0; x <= 460.0; x += 1.0)
        curve.emplace_back(x, 190.0 + 50.0 * std::cos((x - 150.0) / 35.0));
    return curve;
}

double heightAt(const Curve& curve, double x) {
    for (std::size_t k = 0; k + 1 < curve.size(); ++k)
        if (x <= curve[k + 1][0])
            return curve[k][1] + (x - curve[k][0]) / (curve[k + 1][0] - curve[k][0]) *
                                     (curve[k + 1][1] - curve[k][1]);
    return curve.back()[1];
}

bool spans(const Curve& curve, double x) {
    return x >= curve.front()[0] && x <= curve.back()[0];
}

// The outline both make seen from the south at x: the higher where both span it.
double outlineAt(const Curve& front, const Curve& far, double x) {
    double top = -1e9;
    for (const Curve* curve : {&front, &far})
        if (spans(*curve, x))
            top = std::max(top, heightAt(*curve, x));
    return top;
}

const double rowSpacing = 8.0;

bool build(const std::vector<NaturalRange>& ranges, int side, HeightRaster& raster,
           std::string& error) {
    RasterOptions options;
    options.width = options.height = side;
    return buildNaturalTerrain(frontGrid(), rowSpacing, ranges, NaturalSettings{}, options, raster,
                               error);
}

} // namespace

TEST(NaturalRanges, EachRangeHoldsItsSkylineWhereSeenAndStandsAtItsDepth) {
    const Grid grid = frontGrid();
    const Curve front = grid[0], far = farRange();
    const double depth = 140.0;
    HeightRaster raster;
    std::string error;
    // The far range's divide runs where its course says, 40 behind its depth.
    const Curve course = {gmVector2(0.0, 40.0), gmVector2(600.0, 40.0)};
    ASSERT_TRUE(build({{front, 0.0, {}, {}}, {far, depth, course, {}}}, 257, raster, error))
        << error;
    const double relief = 300.0, cell = raster.cellSize;
    int seenFront = 0, seenFar = 0;
    for (int c = 0; c < raster.width; ++c) {
        const double x = raster.westEdge + (c + 0.5) * cell;
        if (!spans(front, x) && !spans(far, x))
            continue;
        float top = -1e30f;
        int topRow = 0;
        for (int r = 0; r < raster.height; ++r)
            if (raster.row(r)[c] > top) {
                top = raster.row(r)[c];
                topRow = r;
            }
        // The outline's range over the column and a cell either side.
        double lo = 1e9, hi = -1e9;
        for (double at = x - 1.5 * cell; at <= x + 1.5 * cell; at += 0.25) {
            const double h = outlineAt(front, far, at);
            if (h > -1e9) {
                lo = std::min(lo, h);
                hi = std::max(hi, h);
            }
        }
        EXPECT_LE(top, hi + 0.005 * relief) << "x " << x;
        EXPECT_GE(top, lo - 0.005 * relief) << "x " << x;
        // Where both span the column and one clearly stands above the other, the column's top
        // is on its divide. (Beyond the far range's ends its falls are cut off below the
        // front's skyline, so the top may lie anywhere there.)
        if (!spans(front, x) || !spans(far, x))
            continue;
        const double northing = raster.southEdge + (raster.height - topRow - 0.5) * cell;
        const double frontTop = heightAt(front, x), farTop = heightAt(far, x);
        if (frontTop > farTop + 20) {
            EXPECT_LT(northing, 0.5 * depth) << "x " << x;
            ++seenFront;
        } else if (farTop > frontTop + 20) {
            EXPECT_NEAR(northing, depth + 40.0, 1.01 * cell) << "x " << x;
            ++seenFar;
        }
    }
    EXPECT_GT(seenFront, 10);
    EXPECT_GT(seenFar, 10);
    // The range behind takes the raster further north than the landscape reaches south.
    const double northEdge = raster.southEdge + raster.height * cell;
    EXPECT_GT(northEdge + raster.southEdge, 2.0 * cell);
}

TEST(NaturalRanges, OneRangeBuildsAsTheSingleSkylineAndBadDepthsAreRefused) {
    const Grid grid = frontGrid();
    RasterOptions options;
    options.width = 97;
    options.height = 81;
    HeightRaster single, ranged, withEmpty;
    std::string error;
    ASSERT_TRUE(
        buildNaturalTerrain(grid, rowSpacing, grid[0], NaturalSettings{}, options, single, error))
        << error;
    ASSERT_TRUE(buildNaturalTerrain(grid, rowSpacing, {{grid[0], 0.0, {}, {}}}, NaturalSettings{},
                                    options, ranged, error))
        << error;
    // A range behind with nothing drawn adds nothing.
    ASSERT_TRUE(buildNaturalTerrain(grid, rowSpacing, {{grid[0], 0.0, {}, {}}, {{}, 80.0, {}, {}}},
                                    NaturalSettings{}, options, withEmpty, error))
        << error;
    EXPECT_TRUE(ranged.heights == single.heights);
    EXPECT_TRUE(withEmpty.heights == single.heights);
    EXPECT_EQ(ranged.southEdge, single.southEdge);

    HeightRaster untouched;
    EXPECT_FALSE(buildNaturalTerrain(grid, rowSpacing,
                                     {{grid[0], 0.0, {}, {}}, {farRange(), -5.0, {}, {}}},
                                     NaturalSettings{}, options, untouched, error));
    EXPECT_NE(error.find("depth"), std::string::npos) << error;
    EXPECT_TRUE(untouched.heights.empty());
    EXPECT_FALSE(buildNaturalTerrain(grid, rowSpacing, std::vector<NaturalRange>{},
                                     NaturalSettings{}, options, untouched, error));
}

// Seen in perspective a farther range stands higher for the same elevation angle: here the
// range behind is higher than the front ridge everywhere but shows above it only beside its
// peak. Each range holds its own part of the outline, and no cell, near the eye either, rises
// above the lines of sight to the outline in its direction.
TEST(NaturalRanges, InPerspectiveEachRangeHoldsItsPartOfTheOutline) {
    const Grid grid = frontGrid();
    const double eyeX = 300.0, front = 150.0, depth = 600.0, behind = front + depth;
    // Elevation angles (height over distance; the eye at height 0): the front 0.4 on its
    // flanks to 2 at its peak, the range behind 0.5 to 0.7, drawn across the same view.
    Curve far;
    for (double u = -1.4; u <= 1.4; u += 0.002)
        far.emplace_back(eyeX + u * behind, behind * (0.6 + 0.1 * std::cos(u * 12.0)));
    std::vector<NaturalRange> ranges = {{grid[0], 0.0, {}, {}}, {far, depth, {}, {}}};
    for (NaturalRange& range : ranges)
        range.viewer = {true, eyeX, 0.0, front + range.depth};
    HeightRaster raster;
    std::string error;
    ASSERT_TRUE(build(ranges, 257, raster, error)) << error;

    // The outline's angle by direction (u: x offset over distance), sampled finely, and its
    // highest over a span of directions.
    const double step = 0.0005, first = -1.5;
    std::vector<double> sampled;
    for (double u = first; u <= 1.5; u += step) {
        double top = -1e9;
        for (const auto& [curve, distance] : {std::pair{&grid[0], front}, {&far, behind}}) {
            const double x = eyeX + u * distance;
            if (spans(*curve, x))
                top = std::max(top, heightAt(*curve, x) / distance);
        }
        sampled.push_back(top);
    }
    const auto outline = [&](double u0, double u1) {
        const long last = static_cast<long>(sampled.size()) - 1;
        const long a = std::clamp(std::lround((u0 - first) / step), 0L, last);
        const long b = std::clamp(std::lround((u1 - first) / step), 0L, last);
        return *std::max_element(sampled.begin() + a, sampled.begin() + b + 1);
    };
    const double cell = raster.cellSize;
    double peakSeen = 0.0, flankSeen = 0.0;
    for (int r = 0; r < raster.height; ++r)
        for (int c = 0; c < raster.width; ++c) {
            const double x = raster.westEdge + (c + 0.5) * cell;
            const double distance = front + raster.southEdge + (raster.height - r - 0.5) * cell;
            if (distance < 2.0 * cell)
                continue;
            const double u = (x - eyeX) / distance, half = 0.5 * cell / distance;
            const double angle = raster.row(r)[c] / distance;
            const double allowed = outline(u - half, u + half);
            if (allowed > -1e9) {
                EXPECT_LE(angle, allowed + 0.01) << "x " << x << " at " << distance;
            }
            if (std::abs(u) < half)
                peakSeen = std::max(peakSeen, angle);
            if (std::abs(u - 1.0) < half)
                flankSeen = std::max(flankSeen, angle);
        }
    // The front peak (2) and the range behind beside it (0.68 at u 1, where the front's
    // flank shows 0.42) both stand in the view.
    EXPECT_NEAR(peakSeen, 2.0, 0.05);
    EXPECT_NEAR(flankSeen, outline(1.0, 1.0), 0.02);
}
