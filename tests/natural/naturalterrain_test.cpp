// The natural terrain seen from outside: the skyline is the drawn one on a wandering divide, the
// ground reaches the base at the raster's edge, the depth follows the slope, and the bytes do not
// depend on the number of threads.
#include <algorithm>
#include <cfloat>
#include <cmath>
#include <cstring>
#include <set>

#include <gtest/gtest.h>

#include "natural/capexcess.h"
#include "natural/dividecourse.h"
#include "natural/levels.h"
#include "natural/naturalterrain.h"
#include "natural/shaping.h"

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

// The lowest and highest a curve reaches over [a, b], linear between its points.
std::pair<double, double> curveRange(const std::vector<gmVector2>& curve, double a, double b) {
    auto at = [&](double x) {
        for (std::size_t k = 0; k + 1 < curve.size(); ++k)
            if (x <= curve[k + 1][0])
                return curve[k][1] + (x - curve[k][0]) / (curve[k + 1][0] - curve[k][0]) *
                                         (curve[k + 1][1] - curve[k][1]);
        return curve.back()[1];
    };
    double lo = std::min(at(a), at(b)), hi = std::max(at(a), at(b));
    for (const gmVector2& p : curve)
        if (p[0] > a && p[0] < b) {
            lo = std::min(lo, p[1]);
            hi = std::max(hi, p[1]);
        }
    return {lo, hi};
}

TEST(NaturalTerrain, EveryColumnPeaksAtTheDrawnSkylineOnAWanderingDivide) {
    const Grid grid = mountain();
    // The drawn curve is finer than row 0 and has a sharp step row 0 smooths over.
    std::vector<gmVector2> drawn;
    for (int k = 0; k <= 800; ++k) {
        const double x = 100.0 + 0.5 * k;
        drawn.emplace_back(x, silhouetteAt(grid, x) + (x > 350 && x < 356 ? 30.0 : 0.0));
    }
    NaturalSettings rough;
    rough.detail = 1.0;
    rough.erosion = 1.0;
    NaturalSettings steep;
    steep.slope = 2.0;
    steep.frontProfile = 0.7;
    for (const NaturalSettings& settings : {NaturalSettings{}, rough, steep}) {
        RasterOptions options;
        options.width = options.height = 257;
        options.scale = 2.0;
        HeightRaster raster;
        std::string error;
        ASSERT_TRUE(buildNaturalTerrain(grid, rowSpacing, drawn, settings, options, raster, error))
            << error;
        const double relief = 2.0 * 330.0, cell = raster.cellSize / 2.0;
        int checked = 0, lowestRow = raster.height, highestRow = -1;
        for (int c = 0; c < raster.width; ++c) {
            const double x = columnX(raster, c) / 2.0;
            if (x < drawn.front()[0] || x > drawn.back()[0])
                continue;
            float top = -1e30f;
            int topRow = -1;
            for (int r = 0; r < raster.height; ++r)
                if (raster.row(r)[c] > top) {
                    top = raster.row(r)[c];
                    topRow = r;
                }
            // Within the drawing's range over the column and a cell either side.
            const auto [lo, hi] = curveRange(drawn, x - 1.5 * cell, x + 1.5 * cell);
            EXPECT_GE(top, 2.0 * lo - 0.005 * relief) << "column " << c;
            EXPECT_LE(top, 2.0 * hi + 0.005 * relief) << "column " << c;
            lowestRow = std::min(lowestRow, topRow);
            highestRow = std::max(highestRow, topRow);
            ++checked;
        }
        EXPECT_GT(checked, raster.width / 6);
        // The divide is no straight line along a row.
        EXPECT_GT(highestRow - lowestRow, raster.height / 20);
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
    }
}

TEST(NaturalTerrain, NoWallsWhereTheSkylineIsDrawnGently) {
    // A broad peak, nowhere drawn steeper than the default slope.
    Grid grid = mountain();
    for (auto& row : grid)
        for (gmVector2& p : row) {
            const double t = (p[0] - 300.0) / 250.0;
            p[1] = (p[1] > 0 ? 1.0 : 0.0) * (40.0 + 120.0 * std::exp(-t * t));
        }
    grid.back() = grid[0];
    for (gmVector2& p : grid.back())
        p[1] = 0.0;
    const HeightRaster raster = natural(grid, NaturalSettings{}, 257);
    int body = 0, walls = 0;
    const float low = 0.05f * 160.0f;
    for (int r = 1; r + 1 < raster.height; ++r)
        for (int c = 1; c + 1 < raster.width; ++c) {
            if (raster.row(r)[c] < low)
                continue;
            const double gx = (raster.row(r)[c + 1] - raster.row(r)[c - 1]) / 2.0;
            const double gy = (raster.row(r + 1)[c] - raster.row(r - 1)[c]) / 2.0;
            ++body;
            walls += std::hypot(gx, gy) / raster.cellSize > std::tan(60.0 * M_PI / 180.0);
        }
    EXPECT_GT(body, 1000);
    EXPECT_LE(walls, body / 100);
}

TEST(NaturalTerrain, ASteepNotchOfTheSkylineIsAValleyNotATrench) {
    // A broad gentle peak with a V notch cut 100 deep into it, its sides drawn at 68 degrees:
    // the notch's columns stand that steeply at the crest (each column's highest cell on a
    // fin of a few rows), but down the flanks the ground either side falls into them no
    // steeper than 60 degrees.
    Grid grid = mountain();
    for (auto& row : grid)
        for (gmVector2& p : row) {
            const double t = (p[0] - 300.0) / 250.0;
            p[1] = (p[1] > 0 ? 1.0 : 0.0) * (40.0 + 120.0 * std::exp(-t * t));
        }
    std::vector<gmVector2> skyline = grid[0];
    for (gmVector2& p : skyline)
        p[1] = std::min(p[1], 60.0 + 2.5 * std::abs(p[0] - 300.0));
    RasterOptions options;
    options.width = options.height = 257;
    HeightRaster raster;
    std::string error;
    ASSERT_TRUE(
        buildNaturalTerrain(grid, rowSpacing, skyline, NaturalSettings{}, options, raster, error))
        << error;
    const double steepest = std::tan(60.0 * M_PI / 180.0) * raster.cellSize;
    const auto crestRow = [&](int c) {
        int crest = 0;
        for (int r = 0; r < raster.height; ++r)
            if (raster.row(r)[c] > raster.row(crest)[c])
                crest = r;
        return crest;
    };
    int crossed = 0;
    for (int c = 1; c < raster.width; ++c) {
        if (std::abs(columnX(raster, c) - 300.0) > 40.0)
            continue;
        const int crest = crestRow(c), before = crestRow(c - 1);
        for (int r = 0; r < raster.height; ++r) {
            if (std::abs(r - crest) <= 5 || std::abs(r - before) <= 5 || raster.row(r)[c] < 8.0f)
                continue;
            ++crossed;
            EXPECT_LE(std::abs(raster.row(r)[c] - raster.row(r)[c - 1]), steepest) << r << "," << c;
        }
    }
    EXPECT_GT(crossed, 100);
}

TEST(NaturalTerrain, FewWallsAndUnmirroredFlanksUnderASteepSkyline) {
    // The test mountain's peak is drawn falling at up to three times its height per width,
    // six times the default slope: only the crest itself may stand that steep.
    const HeightRaster raster = natural(mountain(), NaturalSettings{}, 257);
    const float top = *std::max_element(raster.heights.begin(), raster.heights.end());
    int body = 0, walls = 0;
    for (int r = 1; r + 1 < raster.height; ++r)
        for (int c = 1; c + 1 < raster.width; ++c) {
            if (raster.row(r)[c] < 0.05f * top)
                continue;
            const double gx = (raster.row(r)[c + 1] - raster.row(r)[c - 1]) / 2.0;
            const double gy = (raster.row(r + 1)[c] - raster.row(r - 1)[c]) / 2.0;
            ++body;
            walls += std::hypot(gx, gy) / raster.cellSize > std::tan(60.0 * M_PI / 180.0);
        }
    EXPECT_GT(body, 1000);
    EXPECT_LE(walls, body / 50);
    // Each column's flank depths north and south of its highest cell (to 5% of the top) do
    // not mirror each other: the flanks tilt, now one and now the other running out further.
    std::vector<double> north, south;
    for (int c = 0; c < raster.width; ++c) {
        int crest = 0;
        for (int r = 0; r < raster.height; ++r)
            if (raster.row(r)[c] > raster.row(crest)[c])
                crest = r;
        if (raster.row(crest)[c] < 0.2f * top)
            continue;
        int n = crest, s = crest;
        while (n > 0 && raster.row(n)[c] >= 0.05f * top)
            --n;
        while (s + 1 < raster.height && raster.row(s)[c] >= 0.05f * top)
            ++s;
        north.push_back(crest - n);
        south.push_back(s - crest);
    }
    ASSERT_GT(north.size(), 20u);
    const auto mean = [](const std::vector<double>& v) {
        double sum = 0;
        for (double x : v)
            sum += x;
        return sum / static_cast<double>(v.size());
    };
    const double mn = mean(north), ms = mean(south);
    double nn = 0, ss = 0, ns = 0;
    for (std::size_t k = 0; k < north.size(); ++k) {
        nn += (north[k] - mn) * (north[k] - mn);
        ss += (south[k] - ms) * (south[k] - ms);
        ns += (north[k] - mn) * (south[k] - ms);
    }
    EXPECT_LT(ns / std::sqrt(nn * ss), 0.6);
}

TEST(NaturalTerrain, NoFlatsAlongTheColumnsUnderASteepSkyline) {
    // Where the drawing stands lower than the summits' ground beside it, the ground is taken
    // down round it rather than cut off flat at the columns' tops: few cells of the body lie
    // on runs of nine rows down a column within a thousandth of the top of each other.
    const HeightRaster raster = natural(mountain(), NaturalSettings{}, 513);
    const float top = *std::max_element(raster.heights.begin(), raster.heights.end());
    int body = 0, flat = 0;
    for (int r = 0; r + 8 < raster.height; ++r)
        for (int c = 0; c < raster.width; ++c) {
            const float h = raster.row(r)[c];
            if (h < 0.05f * top)
                continue;
            ++body;
            bool run = true;
            for (int k = 1; k <= 8 && run; ++k)
                run = std::abs(raster.row(r + k)[c] - h) < 1e-3f * top;
            flat += run;
        }
    EXPECT_GT(body, 10000);
    EXPECT_LT(flat, body / 100) << flat << " of " << body;
}

TEST(Shaping, SharpeningFadesOutTowardsItsRadiusRatherThanEndingInAStep) {
    // One summit on flat ground: along its row the sharpened ground falls steadily from it and
    // is all but untouched from the radius on.
    const Massif massif;
    LevelGrid grid;
    grid.width = grid.height = 41;
    grid.cell = 0.01;
    std::vector<CrestCell> crest(41);
    crest[20].row = 20;
    crest[20].top = 0.8;
    crest[20].held = true;
    std::vector<float> heights(41 * 41, 0.0f);
    sharpenCrest(massif, grid, crest, 5, 1e-4, heights);
    const auto at = [&](int d) { return heights[20 * 41 + 20 + d]; };
    for (int d = 1; d <= 4; ++d)
        EXPECT_LT(at(d), at(d - 1)) << d;
    EXPECT_LT(at(4), 0.5f * at(2));
    EXPECT_NEAR(at(5), 0.0f, 1e-4f);
    EXPECT_NEAR(at(-5), 0.0f, 1e-4f);
}

TEST(Levels, AFinerLevelReadsACoarseChannelAsACurveWithinItsSamples) {
    // A channel one cell wide down the middle of a 5 x 5 coarse level.
    Layout layout;
    layout.width = layout.height = 9;
    layout.middleRow = 4;
    layout.cell = 1.0;
    const Level coarser = levelOf(layout, 2);
    std::vector<float> heights(25, 4.0f);
    for (int r = 0; r < 5; ++r)
        heights[static_cast<std::size_t>(r) * 5 + 2] = 0.0f;
    const auto at = [&](double u, double v) {
        return sampleCoarser(coarser, heights, coarser.x(0) + u * coarser.cell,
                             coarser.y(0) - v * coarser.cell);
    };
    EXPECT_DOUBLE_EQ(at(2, 2), 0.0);
    EXPECT_DOUBLE_EQ(at(1, 2), 4.0);
    // Between the samples the sides curve (a line would give 1 and 3), and never overshoot.
    EXPECT_LT(at(1.75, 2), 1.0);
    EXPECT_GT(at(1.25, 2), 3.0);
    for (double u = 0; u <= 4; u += 0.125)
        EXPECT_TRUE(at(u, 1.5) >= 0.0 && at(u, 1.5) <= 4.0) << u;

    // A whole finer level read at once reads every cell as the single reads do, edges and all,
    // on a level whose middle row does not fall on a coarse one.
    layout.width = 11;
    layout.height = 8;
    layout.middleRow = 5;
    const Level coarse = levelOf(layout, 2), fine = levelOf(layout, 1);
    std::vector<float> field(static_cast<std::size_t>(coarse.width) * coarse.height);
    for (std::size_t i = 0; i < field.size(); ++i)
        field[i] = static_cast<float>((i * 7919) % 13);
    const CoarserReader reader(coarse, field, fine);
    for (int r = 0; r < fine.height; ++r)
        for (int c = 0; c < fine.width; ++c)
            EXPECT_EQ(reader.at(r, c), sampleCoarser(coarse, field, fine.x(c), fine.y(r)));
}

TEST(Levels, ABentReadingWindsAStraightCoarseChannelKeepingItsFloor) {
    // A channel one cell wide down column 8 of a 17 x 65 coarse level, read by a level of
    // twice its cells.
    Layout layout;
    layout.width = 33;
    layout.height = 129;
    layout.middleRow = 64;
    layout.cell = 1.0;
    const Level coarse = levelOf(layout, 2), fine = levelOf(layout, 1);
    std::vector<float> heights(static_cast<std::size_t>(coarse.width) * coarse.height, 4.0f);
    for (int r = 0; r < coarse.height; ++r)
        heights[static_cast<std::size_t>(r) * coarse.width + 8] = 0.0f;
    Bend bend;
    bend.amount = 1.0;
    const CoarserReader straight(coarse, heights, fine), bent(coarse, heights, fine, bend);
    // Each row's lowest cell: unbent always column 16; bent it wanders, by no more than the
    // bend allows, and the floor keeps its depth (within what a finer cell half a cell off it
    // reads, squeezed where the bend narrows it: well under half the sides' height).
    std::set<int> floors;
    for (int r = 0; r < fine.height; ++r) {
        int lowest = 0;
        for (int c = 0; c < fine.width; ++c) {
            EXPECT_LE(straight.at(r, 16), straight.at(r, c));
            if (bent.at(r, c) < bent.at(r, lowest))
                lowest = c;
        }
        floors.insert(lowest);
        EXPECT_LE(std::abs(lowest - 16), 5) << r;
        EXPECT_LT(bent.at(r, lowest), 1.5) << r;
    }
    EXPECT_GE(floors.size(), 4u);
}

TEST(CapExcess, TakesTheExcessOffSmoothlyAndLeavesTheRestAlone) {
    // A cone whose columns east of the middle are capped at a third of its top.
    HeightField field;
    field.width = field.height = 41;
    field.heights.resize(field.size());
    field.roles.assign(field.size(), CellRole::free);
    std::vector<double> cap(field.size(), DBL_MAX);
    std::vector<float> share(field.size(), 1.0f);
    for (int r = 0; r < 41; ++r)
        for (int c = 0; c < 41; ++c) {
            const std::size_t i = static_cast<std::size_t>(r) * 41 + c;
            field.heights[i] = static_cast<float>(30.0 - std::hypot(r - 20, c - 12));
            if (c > 20)
                cap[i] = 10.0;
        }
    const std::vector<float> before = field.heights;
    lowerAboveCaps(field, cap, share, 4.0);
    int lowered = 0;
    for (int r = 0; r < 41; ++r)
        for (int c = 0; c < 41; ++c) {
            const std::size_t i = static_cast<std::size_t>(r) * 41 + c;
            EXPECT_LE(field.heights[i], cap[i] + 1e-4) << r << "," << c;
            lowered += field.heights[i] < before[i];
            if (c < 12) {
                EXPECT_EQ(field.heights[i], before[i]) << "beyond the reach";
            }
        }
    EXPECT_GT(lowered, 200);
    // Down the capped column the ground still falls from the cone's middle, not flat.
    EXPECT_GT(field.heights[20 * 41 + 22] - field.heights[28 * 41 + 22], 1.0f);
}

TEST(NaturalTerrain, DepthFollowsTheCrestHeightThroughTheSlope) {
    // How far the mountain reaches from north to south, in world units.
    auto reach = [](const Grid& grid, double slope) {
        NaturalSettings settings;
        settings.slope = slope;
        settings.erosion = 0.0;
        const HeightRaster raster = natural(grid, settings, 257);
        // The mountain ends where the ground comes down to the foreland's height.
        const float foreland =
            static_cast<float>(naturalForelandHeight *
                               *std::max_element(raster.heights.begin(), raster.heights.end()));
        double north = -1e30, south = 1e30;
        for (int r = 0; r < raster.height; ++r)
            for (int c = 0; c < raster.width; ++c)
                if (raster.row(r)[c] > foreland) {
                    north = std::max(north, rowNorthing(raster, r));
                    south = std::min(south, rowNorthing(raster, r));
                }
        return north - south;
    };
    // A summit 300 high falls to the base about 600 away at slope 0.5, give or take the
    // divide's wander and the spurs; the flanks' tilt lets one side run out up to e times as
    // far and the other fall short, now north and now south along the range.
    const double depth = reach(mountain(300), 0.5);
    EXPECT_GT(depth, 500.0);
    EXPECT_LT(depth, 2400.0);
    EXPECT_NEAR(reach(mountain(300), 1.0) / depth, 0.5, 0.2);
    // The same skyline half as high, drawn half as steep.
    Grid low = mountain(300);
    for (auto& row : low)
        for (gmVector2& p : row)
            p[1] *= 0.5;
    EXPECT_LT(reach(low, 0.5), 0.8 * depth);
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
    // The median |second difference| both ways on the flanks, away from the crest and off the
    // foreland (whose own valleys are there with or without detail): the creases where the
    // summits' cones meet bend smooth flanks too, detail bends them all over.
    auto roughness = [](const HeightRaster& raster) {
        const float flank = 0.1f * *std::max_element(raster.heights.begin(), raster.heights.end());
        std::vector<double> bends;
        for (int r = 1; r + 1 < raster.height; ++r) {
            if (std::abs(rowNorthing(raster, r)) < 0.05 * raster.height * raster.cellSize)
                continue;
            for (int c = 1; c + 1 < raster.width; ++c) {
                const float* row = raster.row(r);
                if (row[c] >= flank)
                    bends.push_back(
                        std::abs(row[c + 1] - 2 * row[c] + row[c - 1]) +
                        std::abs(raster.row(r + 1)[c] - 2 * row[c] + raster.row(r - 1)[c]));
            }
        }
        std::nth_element(bends.begin(),
                         bends.begin() + static_cast<std::ptrdiff_t>(bends.size() / 2),
                         bends.end());
        return bends.empty() ? 0.0 : bends[bends.size() / 2];
    };
    const HeightRaster smooth = natural(grid, plain, 257);
    EXPECT_LT(volume(natural(grid, eroded, 257)), 0.97 * volume(smooth));
    EXPECT_GT(roughness(natural(grid, detailed, 257)), 1.1 * roughness(smooth));
}

TEST(NaturalTerrain, DetailOnTheForelandEndsAtNoColumn) {
    // Regression: the detail faded towards each column's top, and beyond the skyline's ends the
    // columns' tops fall below the foreland, so the detail stopped along a north-south line
    // there. Every column's low ground must differ between no detail and full detail.
    NaturalSettings plain;
    plain.erosion = 0.0;
    plain.detail = 0.0;
    NaturalSettings detailed = plain;
    detailed.detail = 1.0;
    const Grid grid = mountain();
    const HeightRaster smooth = natural(grid, plain, 257), rough = natural(grid, detailed, 257);
    const float top = *std::max_element(smooth.heights.begin(), smooth.heights.end());
    for (int c = 8; c + 8 < smooth.width; ++c) {
        double change = 0.0;
        for (int r = 8; r + 8 < smooth.height; ++r)
            if (smooth.row(r)[c] < 0.05f * top)
                change = std::max(change, double(std::abs(rough.row(r)[c] - smooth.row(r)[c])));
        EXPECT_GT(change, 1e-5 * top) << "column " << c;
    }
    // Regression: on the lowest ground detail reached below the base and was cut off flat,
    // leaving flats with steps round them; only the raster's outermost cells lie at the base.
    int flat = 0;
    for (int r = 8; r + 8 < rough.height; ++r)
        for (int c = 8; c + 8 < rough.width; ++c)
            flat += rough.row(r)[c] <= 0.0f;
    EXPECT_EQ(flat, 0);
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

// A window's progress bar moves through the levels and ends full.
TEST(NaturalTerrain, TellsProgressThroughItsLevels) {
    HeightRaster raster;
    std::string error;
    std::vector<double> shares;
    ASSERT_TRUE(buildNaturalTerrain(mountain(), 4.0, std::vector<gmVector2>{}, NaturalSettings(),
                                    RasterOptions{513, 513}, raster, error, 1, {},
                                    [&](double share) { shares.push_back(share); }));
    ASSERT_GE(shares.size(), 3u);
    EXPECT_TRUE(std::is_sorted(shares.begin(), shares.end()));
    EXPECT_EQ(shares.front(), 0.0);
    EXPECT_EQ(shares.back(), 1.0);
    // The finest level holds most of the cells, and most of the work.
    EXPECT_LT(shares[shares.size() - 2], 0.4);
}

// A divide course drawn from above: the columns' highest cells follow it in plan (the raster
// growing to hold it), every column still peaks at the drawn skyline, and a course that is no
// function of x is refused with its reason.
TEST(NaturalTerrain, TheSummitsFollowADivideCourseAndTheSkylineHolds) {
    const Grid grid = mountain();
    const std::vector<gmVector2> drawn = grid[0];
    // Straight and tilted, far north of the middle at its eastern end.
    const std::vector<gmVector2> course = {{100.0, -150.0}, {500.0, 450.0}};
    const auto courseAt = [&](double x) {
        return -150.0 + 600.0 * std::clamp((x - 100.0) / 400.0, 0.0, 1.0);
    };
    RasterOptions options;
    options.width = options.height = 193;
    HeightRaster raster, free;
    std::string error;
    ASSERT_TRUE(buildNaturalTerrain(grid, rowSpacing, {NaturalRange{drawn, 0.0, course, {}}},
                                    NaturalSettings(), options, raster, error))
        << error;
    ASSERT_TRUE(buildNaturalTerrain(grid, rowSpacing, {NaturalRange{drawn, 0.0, {}, {}}},
                                    NaturalSettings(), options, free, error))
        << error;
    EXPECT_GT(raster.height * raster.cellSize, free.height * free.cellSize);
    const double relief = 330.0, depth = relief / NaturalSettings().slope;
    int checked = 0;
    for (int c = 0; c < raster.width; ++c) {
        const double x = columnX(raster, c);
        if (x < drawn.front()[0] || x > drawn.back()[0])
            continue;
        int topRow = 0;
        for (int r = 1; r < raster.height; ++r)
            if (raster.row(r)[c] > raster.row(topRow)[c])
                topRow = r;
        // Only the divide's finest bends lie on top of the course.
        EXPECT_NEAR(rowNorthing(raster, topRow), courseAt(x), 0.12 * depth + 2 * raster.cellSize)
            << "column " << c;
        const auto [lo, hi] =
            curveRange(drawn, x - 1.5 * raster.cellSize, x + 1.5 * raster.cellSize);
        EXPECT_GE(raster.row(topRow)[c], lo - 0.005 * relief) << "column " << c;
        EXPECT_LE(raster.row(topRow)[c], hi + 0.005 * relief) << "column " << c;
        ++checked;
    }
    // The deeper raster is wider too: the skyline covers fewer of its columns.
    EXPECT_GT(checked, 25);

    // The top view's line is the construction's own divide.
    std::vector<gmVector2> line;
    ASSERT_TRUE(naturalDivide(grid, rowSpacing, {NaturalRange{drawn, 0.0, course, {}}},
                              NaturalSettings(), 9, line, error));
    ASSERT_EQ(line.size(), 9u);
    EXPECT_NEAR(line[4][1], courseAt(line[4][0]), 0.12 * depth);

    EXPECT_FALSE(buildNaturalTerrain(grid, rowSpacing,
                                     {NaturalRange{drawn, 0.0, {{300.0, 0.0}, {200.0, 5.0}}, {}}},
                                     NaturalSettings(), options, raster, error));
    EXPECT_NE(error.find("x rising"), std::string::npos) << error;
}

// A stroke drawn over a course replaces the points it covers, resampled; a click is no stroke.
TEST(DivideCourse, AStrokeReplacesThePointsItCovers) {
    const std::vector<gmVector2> course = {{0, 0}, {10, 0}, {20, 0}, {30, 0}, {40, 0}};
    // Drawn east to west and turning back once: a function of x all the same.
    const std::vector<gmVector2> stroke = {{26, 5}, {18, 5}, {19, 5}, {12, 5}};
    const std::vector<gmVector2> edited = courseWithStroke(course, stroke, 5.0);
    std::string reason;
    EXPECT_TRUE(checkDivideCourse(edited, reason)) << reason;
    EXPECT_EQ(edited.front(), course[0]);
    EXPECT_EQ(edited[1], gmVector2(12, 5));
    EXPECT_EQ(edited[edited.size() - 3], gmVector2(26, 5));
    // 12, 16.7, 21.3 and 26 replace 10 and 20; 30 lies more than half a spacing beyond.
    EXPECT_EQ(edited.size(), 7u);
    EXPECT_EQ(edited[edited.size() - 2], course[3]);
    EXPECT_EQ(courseWithStroke(course, {{3, 9}, {4, 9}}, 5.0), course);
}
