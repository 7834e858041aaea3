// The silhouette a camera sees of a raster, on rasters whose silhouette is known, and
// against a drawn skyline.
#include <cmath>

#include <gtest/gtest.h>

#include "tools/analysis/silhouetterender.h"

namespace {

// rows x columns cells of 1, all at height 0, the westernmost column's centre at x 0.5 and
// the southern row's centre at north 0.5.
Grid flat(int rows, int columns) {
    Grid grid;
    grid.rows = rows;
    grid.columns = columns;
    grid.z.assign(static_cast<std::size_t>(rows * columns), 0.0);
    return grid;
}

void setRow(Grid& grid, int row, double height) {
    for (int c = 0; c < grid.columns; ++c)
        grid.z[static_cast<std::size_t>(row * grid.columns + c)] = height;
}

TEST(SilhouetteRender, StraightOnEachColumnShowsItsHighestCellAtTheExportsPlacement) {
    // A summit of 40 on columns 10 and 11 of the back row and a ridge of 25 in the front row;
    // scale 2 and origin -3 put column c's centre at image x (c + 0.5 + 3) / 2 (the summit's
    // middle at x 7) and heights at half.
    Grid grid = flat(5, 30);
    setRow(grid, 4, 25.0);
    grid.z[10] = grid.z[11] = 40.0;
    ViewCamera camera;
    camera.scale = 2.0;
    camera.originX = -3.0;
    const RenderedSilhouette seen = renderSilhouette(grid, camera, 20);
    EXPECT_NEAR(seen.top[7], 20.0, 1e-9);
    EXPECT_NEAR(seen.top[6], 12.5, 1e-9);     // the front ridge
    EXPECT_FALSE(std::isfinite(seen.top[1])); // left of the raster's first centre
    EXPECT_NEAR(seen.reach[7], 0.5, 1e-9);    // two cells to a pixel

    // Against the skyline it was drawn from: a summit between two cells is not held against
    // the raster, a skyline 6 pixels higher is.
    const std::vector<std::pair<double, double>> peak = {
        {2, 12.5}, {6.75, 12.5}, {7.25, 21.0}, {7.75, 12.5}, {16, 12.5}};
    SilhouetteDeviation d = compareSilhouette(seen, peak, 1.0);
    EXPECT_EQ(d.columns, 15);
    EXPECT_EQ(d.missing, 0);
    EXPECT_NEAR(d.worst, 0.0, 1e-9);
    d = compareSilhouette(seen, {{2, 18.5}, {16, 18.5}}, 1.0);
    EXPECT_NEAR(d.worst, 6.0, 1e-9);
    EXPECT_LT(d.within, 0.2);
    EXPECT_LT(d.worstSigned, 0.0);
}

TEST(SilhouetteRender, InPerspectiveFartherRangesShowAboveNearerOnesAsTheirDistanceSays) {
    // A wall of 10 at north 20.5 and one of 30 at north 90.5 (rows counted from the north);
    // the eye at x 50.5, north 0.5, height 5; 90 degrees across 200 pixels: f = 100.
    Grid grid = flat(100, 101);
    setRow(grid, 79, 10.0);
    setRow(grid, 9, 30.0);
    ViewCamera camera;
    camera.kind = ViewCamera::Kind::perspective;
    camera.eyeX = 50.5;
    camera.eyeNorth = 0.5;
    camera.eyeHeight = 5.0;
    camera.fovDegrees = 90.0;
    camera.horizonY = 40.0;
    const RenderedSilhouette seen = renderSilhouette(grid, camera, 200);
    const double nearTop = 40.0 + 100.0 * 5.0 / 20.0; // 65
    const double farTop = 40.0 + 100.0 * 25.0 / 90.0; // 67.8
    EXPECT_NEAR(seen.top[100], farTop, 1e-6);
    // The far wall spans 100 +- 100 * 50 / 90 pixels; beyond it only the near wall shows.
    EXPECT_NEAR(seen.top[50], farTop, 1e-6);
    EXPECT_NEAR(seen.top[20], nearTop, 1e-6);
    EXPECT_NEAR(seen.top[180], nearTop, 1e-6);
}

TEST(SilhouetteRender, InPerspectiveAColumnsReachIsAtLeastACellSeenThere) {
    // A one-cell ridge of 30 along column 60 from north 79.5 to 99.5, seen from x 50.5: the
    // segments along it converge towards the horizon and span a tenth of a pixel each, but
    // the raster cannot say what lies within a cell's width (100 / 90 pixels at north 90).
    Grid grid = flat(100, 101);
    for (int r = 0; r <= 20; ++r)
        grid.z[static_cast<std::size_t>(r * 101 + 60)] = 30.0;
    ViewCamera camera;
    camera.kind = ViewCamera::Kind::perspective;
    camera.eyeX = 50.5;
    camera.eyeNorth = 0.5;
    camera.eyeHeight = 5.0;
    camera.fovDegrees = 90.0;
    camera.horizonY = 40.0;
    const RenderedSilhouette seen = renderSilhouette(grid, camera, 200);
    for (int x = 111; x <= 112; ++x) {
        const double depth = 100.0 * 10.0 / (x - 100.0);
        EXPECT_NEAR(seen.top[static_cast<std::size_t>(x)], 40.0 + 100.0 * 25.0 / depth, 0.2);
        EXPECT_GE(seen.reach[static_cast<std::size_t>(x)], 100.0 / (depth + 1.0)) << x;
    }
}

} // namespace
