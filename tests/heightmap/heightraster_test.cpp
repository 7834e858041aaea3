// Resampling the terrain onto square cells: where every cell lies and what it holds.
#include <algorithm>
#include <cmath>

#include <gtest/gtest.h>

#include "heightmap/heightraster.h"

namespace {

using Grid = std::vector<std::vector<gmVector2>>;

// A plane: the height rises 3 per pixel eastwards and falls 2 per pixel of depth.
double plane(double x, double depth) {
    return 40.0 + 3.0 * x - 2.0 * depth;
}

// Rows of the given x positions, rowSpacing apart, heights from the function.
template <typename Height>
Grid gridOf(const std::vector<double>& xs, int rows, double rowSpacing, Height height) {
    Grid grid(rows);
    for (int r = 0; r < rows; ++r)
        for (double x : xs)
            grid[r].emplace_back(x, height(x, r * rowSpacing));
    return grid;
}

HeightRaster resampled(const Grid& grid, double rowSpacing, const RasterOptions& options) {
    HeightRaster raster;
    std::string error;
    EXPECT_TRUE(resampleTerrain(grid, rowSpacing, options, raster, error)) << error;
    return raster;
}

} // namespace

TEST(HeightRaster, EvenGridAtNativeSizeGivesBackItsHeightsBackRowFirst) {
    const std::vector<double> xs = {10, 14, 18, 22, 26, 30, 34};
    auto bumpy = [](double x, double depth) { return std::sin(x) * 50 + depth * depth; };
    const Grid grid = gridOf(xs, 5, 4.0, bumpy);
    RasterOptions options;
    options.scale = 2.5;
    const HeightRaster raster = resampled(grid, 4.0, options);
    ASSERT_EQ(raster.width, 7);
    ASSERT_EQ(raster.height, 5);
    EXPECT_DOUBLE_EQ(raster.cellSize, 10.0);
    EXPECT_DOUBLE_EQ(raster.westEdge, 20.0);  // (10 - 2) * 2.5: half a cell west of x = 10
    EXPECT_DOUBLE_EQ(raster.southEdge, -5.0); // half a cell in front of the silhouette
    for (int i = 0; i < 5; ++i)               // raster row 0 is the back row, grid row 4
        for (int c = 0; c < 7; ++c)
            EXPECT_NEAR(raster.row(i)[c], 2.5 * grid[4 - i][c][1], 1e-3) << i << " " << c;
}

// The spline follows the grid's real x positions (uneven at the ends) and row depths: a plane
// comes out exactly at every cell centre, and the terrain sits centred in a larger raster
// with the base height 0 around it.
TEST(HeightRaster, CellsHoldThePlaneAtTheirCentresAndZeroAroundTheTerrain) {
    const std::vector<double> xs = {100, 100.5, 102, 104, 106, 108, 110, 111.5, 112};
    const double spacing = 6.0;
    const Grid grid = gridOf(xs, 4, spacing, plane);
    // Native: the median gap of 2 pixels over 12 wide and 18 deep. Sized: the terrain keeps its
    // proportions and fills one side.
    const struct {
        int width, height, columns, rows;
        double cell;
    } sizes[] = {{0, 0, 7, 10, 2.0}, {33, 9, 33, 9, 18.0 / 8}, {8, 25, 8, 25, 12.0 / 7}};
    for (const auto& size : sizes) {
        RasterOptions options;
        options.width = size.width;
        options.height = size.height;
        const HeightRaster raster = resampled(grid, spacing, options);
        const int width = size.width, height = size.height;
        EXPECT_EQ(raster.width, size.columns);
        EXPECT_EQ(raster.height, size.rows);
        EXPECT_DOUBLE_EQ(raster.cellSize, size.cell);
        const double cell = raster.cellSize;
        int inside = 0;
        for (int i = 0; i < raster.height; ++i) {
            for (int c = 0; c < raster.width; ++c) {
                const double x = raster.westEdge + (c + 0.5) * cell;
                const double depth = raster.southEdge + (raster.height - i - 0.5) * cell;
                const bool within = x > 100 - cell / 2 && x < 112 + cell / 2 && depth > -cell / 2 &&
                                    depth < 18 + cell / 2;
                inside += within;
                const double expected =
                    within ? plane(std::clamp(x, 100.0, 112.0), std::clamp(depth, 0.0, 18.0)) : 0.0;
                EXPECT_NEAR(raster.row(i)[c], expected, 1e-3)
                    << width << "x" << height << " cell " << c << ", row " << i;
            }
        }
        EXPECT_GT(inside, 0);
    }
}

TEST(HeightRaster, RefusesWhatCannotMakeARaster) {
    const Grid grid = gridOf({0, 2, 4, 6}, 3, 2.0, plane);
    Grid ragged = grid;
    ragged[2].pop_back();
    Grid backwards = grid;
    std::swap(backwards[1][1], backwards[1][2]);
    const Grid tooWide = gridOf({0, 1, 2, 20000}, 2, 1.0, plane);
    auto options = [](int w, int h, double scale) {
        RasterOptions o;
        o.width = w;
        o.height = h;
        o.scale = scale;
        return o;
    };
    const struct {
        Grid grid;
        double spacing;
        RasterOptions options;
        const char* reason;
    } cases[] = {
        {grid, 2.0, options(16386, 16385, 1),
         "the raster size must be 2 to 16385 cells a side, "
         "not 16386x16385"},
        {grid, 2.0, options(1, 5, 1), "the raster size must be 2 to 16385 cells a side, not 1x5"},
        {grid, 2.0, options(0, 0, 0),
         "the scale must be a positive number of world units per "
         "sketch pixel, not 0"},
        {grid, 2.0, options(0, 0, -2),
         "the scale must be a positive number of world units per "
         "sketch pixel, not -2"},
        {grid, 2.0, options(0, 0, NAN),
         "the scale must be a positive number of world units per "
         "sketch pixel, not nan"},
        {grid, 0.0, options(0, 0, 1),
         "the terrain's row spacing must be a positive number of "
         "pixels"},
        {ragged, 2.0, options(0, 0, 1), "terrain row 2 has 3 points, row 0 has 4"},
        {backwards, 2.0, options(0, 0, 1),
         "the points of terrain row 1 do not run from left to "
         "right"},
        {Grid(1, grid[0]), 2.0, options(0, 0, 1), "the terrain needs at least 2 rows of 2 points"},
        {tooWide, 1.0, options(0, 0, 1),
         "the terrain's native raster would be 20001x2 cells, "
         "more than 16385 a side - choose a size"},
        {gridOf({-1e308, 1e308}, 2, 1.0, [](double, double) { return 1.0; }), 1.0, options(0, 0, 1),
         "the terrain is too large for a heightmap"},
        {grid, 2.0, options(0, 0, 1e38),
         "the terrain's heights times the scale are too large "
         "for a heightmap"},
    };
    for (const auto& c : cases) {
        HeightRaster raster;
        std::string error;
        EXPECT_FALSE(resampleTerrain(c.grid, c.spacing, c.options, raster, error));
        EXPECT_EQ(error, c.reason);
        EXPECT_TRUE(raster.heights.empty());
    }
}
