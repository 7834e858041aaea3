// The landscape measures on rasters whose answers are known, where a slip (north for south, a
// column's placement, a median window) would still give plausible numbers.
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <fstream>
#include <functional>

#include <gtest/gtest.h>

#include "tools/analysis/terrainmeasures.h"

namespace {

Grid raster(int side, const std::function<double(int, int)>& height, double xll = 0,
            double cell = 1) {
    Grid grid;
    grid.columns = grid.rows = side;
    grid.xll = xll;
    grid.cell = cell;
    for (int r = 0; r < side; ++r)
        for (int c = 0; c < side; ++c)
            grid.z.push_back(height(r, c));
    return grid;
}

TEST(TerrainMeasures, ASymmetricConeMirrorsItsFlanksAndHasAStraightDivide) {
    const Grid cone = raster(101, [](int r, int c) {
        return std::max(0.0, 100.0 - 2.0 * std::hypot(r - 50.0, c - 50.0));
    });
    const double level = reliefOf(cone).level(bodyShare);
    const ColumnTops tops = columnTops(cone);
    const FlankCorrelation flanks = flankCorrelation(cone, tops, level);
    EXPECT_GT(flanks.columns, 80);
    EXPECT_NEAR(flanks.northSouth, 1.0, 1e-9);
    EXPECT_NEAR(divideSinuosity(tops, level), 1.0, 1e-9);
    const AspectBalance aspect = aspectBalance(cone, level);
    EXPECT_NEAR(aspect.north, 1.0, 0.15);
    EXPECT_NEAR(aspect.south, 1.0, 0.15);
    const SlopeStats slopes = slopeStats(cone, level);
    EXPECT_NEAR(slopes.medianDegrees, std::atan(2.0) * 180.0 / 3.14159265358979, 0.5);
    EXPECT_GT(slopes.over60, 0.9);
}

TEST(TerrainMeasures, AMeanderingDivideBetweenFixedFeetHasOpposedFlanks) {
    // The crest wanders 15 rows either way; the feet stay on rows 10 and 90.
    const auto crest = [](int c) { return 50.0 + 15.0 * std::sin(c * 2.0 * 3.14159265 / 40.0); };
    const Grid ridge = raster(101, [&](int r, int c) {
        const double top = crest(c);
        return r <= top ? std::max(0.0, 100.0 * (r - 10.0) / (top - 10.0))
                        : std::max(0.0, 100.0 * (90.0 - r) / (90.0 - top));
    });
    const double level = reliefOf(ridge).level(bodyShare);
    const ColumnTops tops = columnTops(ridge);
    EXPECT_GT(divideSinuosity(tops, level), 1.1);
    EXPECT_LT(flankCorrelation(ridge, tops, level).northSouth, -0.9);
}

TEST(TerrainMeasures, CreasesAreStraightFoldsAlongTheGridNotWindingOrSlantingOnes) {
    // V valleys with sides rising 2 a cell up to a plateau 40 high: down column 50, winding
    // 5 columns either way over 40 rows, and slanting at 45 degrees.
    const auto valley = [](double off) { return 160.0 + 2.0 * std::min(std::abs(off), 20.0); };
    const Grid straight = raster(101, [&](int, int c) { return valley(c - 50.0); });
    const Grid winding = raster(101, [&](int r, int c) {
        return valley(c - 50.0 - 5.0 * std::sin(r * 2.0 * 3.14159265 / 40.0));
    });
    const Grid slanting =
        raster(101, [&](int r, int c) { return valley((c - r) / std::sqrt(2.0)); });
    const Creases found = gridCreases(straight, 0.0);
    // The floor and both feet of the valley's sides, each down every row.
    EXPECT_EQ(found.alongColumns, 3);
    EXPECT_EQ(found.alongRows, 0);
    EXPECT_NEAR(found.perMille, 1000.0 * 3 * 101 / (101 * 101), 1e-9);
    EXPECT_EQ(gridCreases(winding, 0.0).alongColumns, 0);
    EXPECT_EQ(gridCreases(slanting, 0.0).alongColumns + gridCreases(slanting, 0.0).alongRows, 0);
}

TEST(TerrainMeasures, AspectSectorsFaceTheWayTheGroundFalls) {
    // Row 0 is the north: heights rising southwards fall towards the north.
    const AspectBalance north = aspectBalance(raster(20, [](int r, int) { return 10.0 + r; }), 0);
    EXPECT_NEAR(north.weight[0], 1.0, 1e-9);
    const AspectBalance east = aspectBalance(raster(20, [](int, int c) { return 30.0 - c; }), 0);
    EXPECT_NEAR(east.weight[4], 1.0, 1e-9);
}

TEST(TerrainMeasures, SkylineFitPlacesColumnsInSketchCoordinates) {
    // Columns 2 world units wide from x 130, at an export scale of 2 and an origin of 30: column
    // c's centre lies at sketch x 50.5 + c and its top should be the curve's height there,
    // times 2.
    const auto curveHeight = [](double x) { return 40.0 + 0.5 * x; };
    std::vector<std::pair<double, double>> curve;
    for (int x = 50; x <= 90; ++x)
        curve.emplace_back(x, curveHeight(x));
    Grid grid = raster(
        41, [&](int r, int c) { return r == 20 ? 2.0 * curveHeight(50.5 + c) : 0.0; }, 130, 2);
    const double relief = reliefOf(grid).span();
    SkylineFit fit = skylineFit(grid, columnTops(grid), curve, 2.0, 30.0, relief);
    EXPECT_EQ(fit.columns, 40); // the last column's centre lies beyond the curve's end
    EXPECT_NEAR(fit.worst, 0.0, 1e-12);
    EXPECT_TRUE(fit.covered);
    curve.emplace_back(92, curveHeight(92)); // beyond the raster's eastern edge at sketch x 91
    EXPECT_FALSE(skylineFit(grid, columnTops(grid), curve, 2.0, 30.0, relief).covered);
    curve.pop_back();

    grid.z[20 * 41 + 10] += 0.03 * relief; // 3% above the curve, less its slope over a cell
    fit = skylineFit(grid, columnTops(grid), curve, 2.0, 30.0, relief);
    EXPECT_NEAR(fit.worst, 0.03 - 2.0 * 0.5 * 1.5 / relief, 1e-9);
    EXPECT_DOUBLE_EQ(fit.worstX, 60.5);
    EXPECT_GT(fit.worstAbove, 0);
}

TEST(TerrainMeasures, DetailBandsHoldOnlyTheScalesPresent) {
    // A plane has no detail at any scale; a one-cell checkerboard on it only at the finest.
    const auto plane = [](int r, int c) { return 100.0 + 0.5 * r + 0.25 * c; };
    for (double v : detailBands(raster(80, plane), 0))
        EXPECT_NEAR(v, 0.0, 1e-9);
    const std::vector<double> bands = detailBands(
        raster(80, [&](int r, int c) { return plane(r, c) + ((r + c) % 2 ? 1 : -1); }), 0);
    ASSERT_EQ(bands.size(), 5u);
    EXPECT_GT(bands[0], 0.8);
    for (std::size_t k = 1; k < bands.size(); ++k)
        EXPECT_LT(bands[k], 0.15) << "band " << k;
}

// A field of waves whose radially averaged power falls as k^slope between wavelengths of 2 and
// 256 cells: wavenumbers spread evenly in log k (density 1 / k) over rings of circumference
// ~k, so each wave's squared amplitude goes as k^(slope + 2). `band` adds waves of 6 cells.
Grid powerLawField(int side, double slope, double band) {
    const double pi = 3.14159265358979;
    std::uint32_t state = 12345;
    const auto uniform = [&] {
        state = state * 1664525u + 1013904223u;
        return (state >> 8) / 16777216.0;
    };
    std::vector<double> z(static_cast<std::size_t>(side) * side, 0.0);
    std::vector<double> cx(static_cast<std::size_t>(side)), sx(cx.size()), cy(cx.size()),
        sy(cx.size());
    const auto addWave = [&](double k, double amplitude) {
        const double angle = 2 * pi * uniform(), phase = 2 * pi * uniform();
        for (int i = 0; i < side; ++i) {
            cx[static_cast<std::size_t>(i)] = std::cos(k * std::cos(angle) * i + phase);
            sx[static_cast<std::size_t>(i)] = std::sin(k * std::cos(angle) * i + phase);
            cy[static_cast<std::size_t>(i)] = std::cos(k * std::sin(angle) * i);
            sy[static_cast<std::size_t>(i)] = std::sin(k * std::sin(angle) * i);
        }
        for (int r = 0; r < side; ++r)
            for (int c = 0; c < side; ++c)
                z[static_cast<std::size_t>(r) * side + c] +=
                    amplitude * (cx[static_cast<std::size_t>(c)] * cy[static_cast<std::size_t>(r)] -
                                 sx[static_cast<std::size_t>(c)] * sy[static_cast<std::size_t>(r)]);
    };
    for (int n = 0; n < 1500; ++n) {
        const double k = 2 * pi / 256.0 * std::pow(128.0, uniform());
        addWave(k, std::pow(k, 0.5 * (slope + 2)));
    }
    for (int n = 0; n < 150 && band > 0; ++n)
        addWave(2 * pi / 6.0, band);
    return raster(side, [&](int r, int c) { return z[static_cast<std::size_t>(r) * side + c]; });
}

TEST(TerrainMeasures, SpectrumFindsAPowerLawsSlopeAndAShoulderOfOneTexture) {
    const Spectrum plain = bodySpectrum(powerLawField(256, -3.0, 0.0), -HUGE_VAL);
    EXPECT_EQ(plain.tile, 128);
    EXPECT_EQ(plain.tiles, 9);
    EXPECT_NEAR(plain.slope, -3.0, 0.3);
    EXPECT_NEAR(plain.fineSlope, -3.0, 0.6);
    EXPECT_NEAR(plain.shoulder, 1.0, 0.4);
    // As many 6-cell waves as the power law has at 5-8 cells, three times as high: a texture of its
    // own that the coarser scales do not carry on to.
    const double at6 = std::pow(2 * 3.14159265358979 / 6.0, -0.5);
    const Spectrum band = bodySpectrum(powerLawField(256, -3.0, 3.0 * at6), -HUGE_VAL);
    EXPECT_NEAR(band.slope, -3.0, 0.3);
    EXPECT_GT(band.shoulder, 3.0);
}

TEST(TerrainMeasures, CellsWithoutDataAreTheLowestGround) {
    // A padded export marks the cells beyond the terrain with NODATA_value: they must neither
    // set the relief nor stand in the body.
    const std::string name = testing::TempDir() + "nodata.asc";
    std::ofstream(name) << "ncols 3\nnrows 3\nxllcorner 0\nyllcorner 0\ncellsize 1\n"
                           "NODATA_value -9999\n-9999 5 6\n7 8 9\n10 11 -9999\n";
    Grid grid;
    ASSERT_TRUE(readAsc(name, grid));
    std::remove(name.c_str());
    EXPECT_EQ(grid.at(0, 0), 5.0);
    EXPECT_EQ(grid.at(2, 2), 5.0);
    EXPECT_EQ(reliefOf(grid).span(), 6.0);
}

} // namespace
