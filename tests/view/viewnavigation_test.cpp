// How the terrain stages frame the terrain: turns about the terrain's centre, and Home.
#include <algorithm>
#include <cmath>
#include <cstring>
#include <gtest/gtest.h>

#include "view/viewnavigation.h"

namespace {

using Grid = std::vector<std::vector<gmVector2>>;

// A terrain as the first next() builds it from a silhouette drawn across an 840-pixel view:
// 36 columns 16 pixels apart from x = 20, 51 rows 16 apart, a peak of 270 pixels falling
// towards the last row.
Grid drawnTerrain() {
    Grid grid(51);
    for (int r = 0; r < 51; ++r)
        for (int c = 0; c < 36; ++c) {
            const double peak = 270.0 - 5.0 * std::abs(c - 17.5);
            grid[static_cast<size_t>(r)].emplace_back(20.0 + 16.0 * c, peak * (1.0 - r / 60.0));
        }
    return grid;
}
constexpr double drawnSpacing = 16.0;

struct Screen {
    double left, right, bottom, top;
    double centreX() const { return (left + right) / 2; }
    double centreY() const { return (bottom + top) / 2; }
};

// The window rectangle the eight corners of bounds project to.
Screen projectedBox(const TerrainBounds& b, const Matrix4& modelView, const Matrix4& projection,
                    const int viewport[4]) {
    Screen s{1e300, -1e300, 1e300, -1e300};
    for (double x : {b.minX, b.maxX})
        for (double y : {b.minY, b.maxY})
            for (double z : {b.minZ, b.maxZ}) {
                double wx = 0, wy = 0;
                projectPoint(modelView, projection, viewport, x, y, z, wx, wy);
                s = {std::min(s.left, wx), std::max(s.right, wx), std::min(s.bottom, wy),
                     std::max(s.top, wy)};
            }
    return s;
}

double centreOf(double low, double high) {
    return (low + high) / 2;
}

TEST(ViewNavigation, TerrainBoundsSpanEveryPointAndTheWholeDepth) {
    Grid grid = drawnTerrain();
    grid[3][4] = gmVector2(std::nan(""), 1e9); // left out, not spread through the box
    const TerrainBounds b = terrainBounds(grid, drawnSpacing);
    ASSERT_FALSE(b.empty);
    EXPECT_EQ(b.minX, 20.0);
    EXPECT_EQ(b.maxX, 20.0 + 16.0 * 35);
    EXPECT_NEAR(b.maxY, 270.0 - 2.5, 1e-9);
    EXPECT_EQ(b.minZ, 0.0);
    EXPECT_EQ(b.maxZ, 50 * drawnSpacing);
    EXPECT_TRUE(terrainBounds(Grid(), 16.0).empty);
    EXPECT_TRUE(terrainBounds(Grid(3), 16.0).empty);
}

// The stage-1 picture the user first sees must not move: unturned, the centre pivot adds
// nothing, to the last bit, at the first window's view and at others.
TEST(ViewNavigation, UnturnedViewIsExactlyTheFirstOne) {
    const TerrainBounds b = terrainBounds(drawnTerrain(), drawnSpacing);
    for (const ZoomPan zp : {ZoomPan(), ZoomPan{3.5f, 0.25f, -0.75f}}) {
        const Matrix4 before = sketchViewTransform(zp.transX, zp.transY, 0.0f, zp.zoom, 0, 0, 0) *
                               terrainModelTransform();
        const Matrix4 now = terrainModelView(zp, 0.0f, 0.0f, 0.0f, b);
        for (int k = 0; k < 16; ++k)
            EXPECT_EQ(now.m[k], before.m[k]) << k;
    }
    const ViewBox first = terrainViewBox(referenceViewWidth, referenceViewHeight, 580, 270);
    EXPECT_EQ(std::memcmp(boxProjection(first).m, sketchProjection().m, sizeof(Matrix4)), 0);
}

// Regression: turns swung the terrain about its silhouette row, so turned right it left the
// view to the right, and seen from above off the bottom.
TEST(ViewNavigation, TurnsLeaveTheTerrainsCentreWhereItWas) {
    const TerrainBounds b = terrainBounds(drawnTerrain(), drawnSpacing);
    const int viewport[4] = {0, 0, referenceViewWidth, referenceViewHeight};
    const ViewBox box = terrainViewBox(viewport[2], viewport[3], b.maxX, b.maxY);
    for (const ZoomPan zp : {ZoomPan(), homeFraming(b, box)}) {
        const Screen front =
            projectedBox(b, terrainModelView(zp, 0, 0, 0, b), boxProjection(box), viewport);
        struct Turn {
            float x, y;
        };
        for (const Turn t :
             {Turn{0, 90}, Turn{90, 0}, Turn{-90, 0}, Turn{35, -50}, Turn{-20, 170}}) {
            const Matrix4 turned = terrainModelView(zp, t.x, t.y, 0, b);
            const Screen s = projectedBox(b, turned, boxProjection(box), viewport);
            EXPECT_NEAR(s.centreX(), front.centreX(), 1e-6) << t.x << " " << t.y;
            EXPECT_NEAR(s.centreY(), front.centreY(), 1e-6) << t.x << " " << t.y;
            // The middle of the terrain is on screen.
            double wx = 0, wy = 0;
            projectPoint(turned, boxProjection(box), viewport, centreOf(b.minX, b.maxX),
                         centreOf(b.minY, b.maxY), centreOf(b.minZ, b.maxZ), wx, wy);
            EXPECT_GT(wx, 0.25 * viewport[2]);
            EXPECT_LT(wx, 0.75 * viewport[2]);
        }
    }
}

// Home shows the whole terrain centred and as large as the view allows, whatever the window's
// size; in device pixels (scale factor 2) the same.
TEST(ViewNavigation, HomeCentresAndFillsTheViewAtAnySize) {
    struct Case {
        int width, height, ratio;
    };
    const TerrainBounds b = terrainBounds(drawnTerrain(), drawnSpacing);
    for (const Case c : {Case{800, 600, 1}, Case{1900, 1150, 1}, Case{950, 575, 2},
                         Case{300, 500, 1}, Case{2500, 400, 1}}) {
        const ViewBox box = terrainViewBox(c.width, c.height, b.maxX, b.maxY);
        const ZoomPan home = homeFraming(b, box);
        const int viewport[4] = {0, 0, c.width * c.ratio, c.height * c.ratio};
        const Screen s =
            projectedBox(b, terrainModelView(home, 0, 0, 0, b), boxProjection(box), viewport);
        const double w = viewport[2], h = viewport[3];
        const std::string at = std::to_string(c.width) + "x" + std::to_string(c.height);
        EXPECT_NEAR(s.centreX(), w / 2, 1.0) << at;
        EXPECT_NEAR(s.centreY(), h / 2, 1.0) << at;
        EXPECT_TRUE(s.left >= 0 && s.right <= w && s.bottom >= 0 && s.top <= h) << at;
        const double filled = std::max((s.right - s.left) / w, (s.top - s.bottom) / h);
        EXPECT_NEAR(filled, homeFill, 1e-4) << at;
    }
}

TEST(ViewNavigation, HomeKeepsZoomLimitsAndFramesFlatOrMissingTerrains) {
    const ViewBox box = terrainViewBox(800, 600, 0, 0);
    EXPECT_EQ(homeFraming(TerrainBounds(), box).zoom, ZoomPan().zoom);
    // A one-pixel-wide sliver would need an enormous zoom.
    const Grid sliver(5, std::vector<gmVector2>{gmVector2(400, 100), gmVector2(400.5, 100.2)});
    EXPECT_EQ(homeFraming(terrainBounds(sliver, 1.0), box).zoom, maximumZoom);
    // A flat terrain is framed by its width alone, and centred all the same.
    const Grid flat(5, std::vector<gmVector2>{gmVector2(100, 50), gmVector2(500, 50)});
    const TerrainBounds b = terrainBounds(flat, 1.0);
    const ZoomPan home = homeFraming(b, box);
    const int viewport[4] = {0, 0, 800, 600};
    const Screen s =
        projectedBox(b, terrainModelView(home, 0, 0, 0, b), boxProjection(box), viewport);
    EXPECT_NEAR(s.right - s.left, homeFill * 800, 1e-3);
    EXPECT_NEAR(s.centreY(), 300, 1e-3);
}

} // namespace
