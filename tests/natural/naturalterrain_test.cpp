// The natural terrain seen from outside: the skyline is the drawn one, the ground reaches the
// base at the raster's edge, the depth follows the slope, and the bytes do not depend on
// the number of threads.
#include <algorithm>
#include <cmath>
#include <cstring>

#include <gtest/gtest.h>

#include "natural/naturalterrain.h"

namespace {

using Grid = std::vector<std::vector<gmVector2>>;

// A stage-3-like grid: 40 rows, 2 pixels between points, a peak with a shoulder and some
// small detail on the silhouette, the rows falling linearly to the base.
Grid mountain(double peak = 300.0) {
    Grid grid(40);
    for (int r = 0; r < 40; ++r) {
        for (int c = 0; c < 200; ++c) {
            const double x = 100.0 + 2.0 * c;
            const double t = (x - 300.0) / 90.0;
            const double silhouette = 60.0 + (peak - 60.0) * std::exp(-t * t) +
                                      40.0 * std::exp(-std::pow((x - 430.0) / 30.0, 2)) +
                                      5.0 * std::sin(x * 0.3);
            grid[r].emplace_back(x, silhouette * (1.0 - r / 39.0));
        }
    }
    return grid;
}

const double rowSpacing = 9.5;

HeightRaster natural(const Grid& grid, const NaturalSettings& settings, int side = 193,
                     int threads = 0, double scale = 1.0) {
    RasterOptions options;
    options.width = options.height = side;
    options.scale = scale;
    HeightRaster raster;
    std::string error;
    EXPECT_TRUE(buildNaturalTerrain(grid, rowSpacing, settings, options, raster, error, threads))
        << error;
    return raster;
}

// Row 0's height at x, linear between its points.
double silhouetteAt(const Grid& grid, double x) {
    const std::vector<gmVector2>& row = grid[0];
    for (std::size_t k = 0; k + 1 < row.size(); ++k)
        if (x <= row[k + 1][0])
            return row[k][1] +
                   (x - row[k][0]) / (row[k + 1][0] - row[k][0]) * (row[k + 1][1] - row[k][1]);
    return row.back()[1];
}

double columnX(const HeightRaster& raster, int c) {
    return raster.westEdge + (c + 0.5) * raster.cellSize;
}

// The world northing of a row's centre.
double rowNorthing(const HeightRaster& raster, int r) {
    return raster.southEdge + (raster.height - r - 0.5) * raster.cellSize;
}

} // namespace

TEST(NaturalTerrain, EveryColumnPeaksAtTheDrawnSilhouette) {
    const Grid grid = mountain();
    NaturalSettings rough;
    rough.detail = 1.0;
    rough.erosion = 1.0;
    NaturalSettings steep;
    steep.slope = 2.0;
    steep.frontProfile = 0.7;
    for (const NaturalSettings& settings : {NaturalSettings{}, rough, steep}) {
        const HeightRaster raster = natural(grid, settings, 257, 0, 2.0);
        const double relief = 2.0 * 300.0;
        int checked = 0, lastTopRow = -1;
        for (int c = 0; c < raster.width; ++c) {
            const double x = columnX(raster, c) / 2.0;
            if (x < grid[0].front()[0] || x > grid[0].back()[0])
                continue;
            float top = -1e30f;
            int topRow = -1;
            for (int r = 0; r < raster.height; ++r)
                if (raster.row(r)[c] > top) {
                    top = raster.row(r)[c];
                    topRow = r;
                }
            EXPECT_NEAR(top, 2.0 * silhouetteAt(grid, x), 0.005 * relief) << "column " << c;
            // The crest bends in plan about where the silhouette stands (northing 0), by a
            // tenth of the flank depth at most, as one unbroken line of cells.
            EXPECT_NEAR(rowNorthing(raster, topRow), 0.0,
                        0.1 * 300.0 / settings.slope + raster.cellSize);
            if (lastTopRow >= 0) {
                EXPECT_LE(std::abs(topRow - lastTopRow), 1) << "column " << c;
            }
            lastTopRow = topRow;
            ++checked;
        }
        EXPECT_GT(checked, raster.width / 5);
    }
}

TEST(NaturalTerrain, GroundReachesTheBaseAtTheEdgeAllRound) {
    const Grid grid = mountain();
    NaturalSettings gentle;
    gentle.slope = 0.2;
    for (const NaturalSettings& settings : {NaturalSettings{}, gentle}) {
        const HeightRaster raster = natural(grid, settings);
        const int w = raster.width, h = raster.height;
        // A ring two cells wide all round is base ground, and the terrain is more than a
        // sliver of the raster.
        int raised = 0;
        for (int r = 0; r < h; ++r)
            for (int c = 0; c < w; ++c) {
                const float v = raster.row(r)[c];
                if (r < 2 || c < 2 || r >= h - 2 || c >= w - 2) {
                    ASSERT_EQ(v, 0.0f) << r << "," << c;
                }
                raised += v > 0;
            }
        EXPECT_GT(raised, w * h / 40);
        // No wall anywhere: between neighbours the ground never drops by more than a tall
        // cliff would, well below the relief (the crest's own fall is three times the slope).
        double steepest = 0;
        for (int r = 0; r < h; ++r)
            for (int c = 0; c + 1 < w; ++c)
                steepest =
                    std::max(steepest, double(std::abs(raster.row(r)[c + 1] - raster.row(r)[c])));
        for (int r = 0; r + 1 < h; ++r)
            for (int c = 0; c < w; ++c)
                steepest =
                    std::max(steepest, double(std::abs(raster.row(r + 1)[c] - raster.row(r)[c])));
        EXPECT_LT(steepest / raster.cellSize, 6.0 * std::max(1.0, settings.slope * 4));
        EXPECT_LT(steepest, 0.25 * 300.0);
    }
}

TEST(NaturalTerrain, DepthFollowsTheCrestHeightThroughTheSlope) {
    // How far the ground stays above the base in front of and behind the crest, in world units.
    auto reach = [](const Grid& grid, double slope) {
        NaturalSettings settings;
        settings.slope = slope;
        settings.erosion = 0.0;
        const HeightRaster raster = natural(grid, settings, 257);
        // The mountain ends where the ground comes down to the foreland's height.
        const float foreland =
            static_cast<float>(naturalForelandHeight *
                               *std::max_element(raster.heights.begin(), raster.heights.end()));
        double north = 0, south = 0;
        for (int r = 0; r < raster.height; ++r)
            for (int c = 0; c < raster.width; ++c)
                if (raster.row(r)[c] > foreland) {
                    north = std::max(north, rowNorthing(raster, r));
                    south = std::max(south, -rowNorthing(raster, r));
                }
        return std::make_pair(north, south);
    };
    const auto [north, south] = reach(mountain(300), 0.5);
    // A crest 300 high falls to the base 600 away at slope 0.5, either side, give or take
    // the foot's wandering.
    EXPECT_NEAR(north, 600.0, 100.0);
    EXPECT_NEAR(south, 600.0, 100.0);
    const auto [steepNorth, steepSouth] = reach(mountain(300), 1.0);
    EXPECT_NEAR(steepNorth / north, 0.5, 0.1);
    EXPECT_NEAR(steepSouth / south, 0.5, 0.1);
    const auto [lowNorth, lowSouth] = reach(mountain(150), 0.5);
    EXPECT_LT(lowNorth, 0.7 * north);
    EXPECT_LT(lowSouth, 0.7 * south);
}

TEST(NaturalTerrain, SameBytesWithAnyNumberOfThreadsAndASeedOfItsOwn) {
    const Grid grid = mountain();
    NaturalSettings settings;
    settings.erosionSteps = 12;
    const HeightRaster one = natural(grid, settings, 300, 1);
    for (int threads : {2, 3, 8}) {
        const HeightRaster many = natural(grid, settings, 300, threads);
        ASSERT_EQ(one.heights.size(), many.heights.size());
        EXPECT_EQ(std::memcmp(one.heights.data(), many.heights.data(),
                              one.heights.size() * sizeof(float)),
                  0)
            << threads << " threads";
    }
    settings.seed = 2;
    const HeightRaster other = natural(grid, settings, 300, 1);
    EXPECT_NE(
        std::memcmp(one.heights.data(), other.heights.data(), one.heights.size() * sizeof(float)),
        0);
}

TEST(NaturalTerrain, ErosionCarvesIntoTheFlanksAndDetailRoughensThem) {
    const Grid grid = mountain();
    NaturalSettings plain;
    plain.detail = 0.0;
    plain.erosion = 0.0;
    NaturalSettings eroded = plain;
    eroded.erosion = 1.0;
    NaturalSettings detailed = plain;
    detailed.detail = 1.0;
    auto volume = [](const HeightRaster& raster) {
        double sum = 0;
        for (float v : raster.heights)
            sum += v;
        return sum;
    };
    // Mean |second difference| both ways away from the crest: next to nothing on smooth
    // flanks, a good deal on rough ones.
    auto roughness = [](const HeightRaster& raster) {
        double sum = 0;
        for (int r = 1; r + 1 < raster.height; ++r) {
            if (std::abs(rowNorthing(raster, r)) < 0.05 * raster.height * raster.cellSize)
                continue;
            for (int c = 1; c + 1 < raster.width; ++c) {
                const float* row = raster.row(r);
                sum += std::abs(row[c + 1] - 2 * row[c] + row[c - 1]) +
                       std::abs(raster.row(r + 1)[c] - 2 * row[c] + raster.row(r - 1)[c]);
            }
        }
        return sum;
    };
    const HeightRaster smooth = natural(grid, plain, 257);
    EXPECT_LT(volume(natural(grid, eroded, 257)), 0.97 * volume(smooth));
    EXPECT_GT(roughness(natural(grid, detailed, 257)), 2.0 * roughness(smooth));
}

TEST(NaturalTerrain, NativeSizeIsTheSizeANativeBuildLaysOut) {
    NaturalSettings steep;
    steep.slope = 2.0;
    steep.erosion = 0.0;
    int width = 0, height = 0;
    std::string error;
    ASSERT_TRUE(naturalNativeSize(mountain(), rowSpacing, steep, width, height, error)) << error;
    const HeightRaster raster = natural(mountain(), steep, 0);
    EXPECT_EQ(raster.width, width);
    EXPECT_EQ(raster.height, height);
}

TEST(NaturalTerrain, RefusesBadSettingsAndGrids) {
    HeightRaster raster;
    std::string error;
    NaturalSettings settings;
    settings.slope = 0.0;
    EXPECT_FALSE(
        buildNaturalTerrain(mountain(), rowSpacing, settings, RasterOptions{}, raster, error));
    EXPECT_EQ(error, "the natural terrain's slope must lie between 0.05 and 5, not 0");
    settings = NaturalSettings{};
    settings.erosionSteps = 0;
    EXPECT_FALSE(checkNaturalSettings(settings, error));
    EXPECT_FALSE(buildNaturalTerrain({{gmVector2(0, 1)}}, rowSpacing, NaturalSettings{},
                                     RasterOptions{}, raster, error));
    EXPECT_TRUE(raster.heights.empty());
}

// A superseded build in the window stops between levels and leaves the raster as it was.
TEST(NaturalTerrain, ACancelledBuildStopsAndLeavesTheRaster) {
    HeightRaster raster;
    raster.width = 7;
    std::string error;
    int asked = 0;
    EXPECT_FALSE(buildNaturalTerrain(mountain(), 4.0, NaturalSettings(), RasterOptions{257, 257},
                                     raster, error, 1, [&] { return ++asked == 2; }));
    EXPECT_EQ(error, naturalBuildCancelled);
    EXPECT_EQ(asked, 2);
    EXPECT_EQ(raster.width, 7);
    EXPECT_TRUE(raster.heights.empty());
}
