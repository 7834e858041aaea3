// How the terrain stages frame the terrain: turns about the terrain's centre, and Home.
#include <algorithm>
#include <cmath>
#include <gtest/gtest.h>
#include <utility>

#include "view/viewnavigation.h"

namespace {

// A terrain as the first next() builds it from a silhouette drawn across the first view: 36
// columns 16 pixels apart, 51 rows 16 apart, a 270-pixel peak falling towards the last row.
TerrainBounds drawnTerrain() {
    std::vector<std::vector<gmVector2>> grid(51);
    for (int r = 0; r < 51; ++r)
        for (int c = 0; c < 36; ++c)
            grid[static_cast<size_t>(r)].emplace_back(
                20.0 + 16.0 * c, (270.0 - 5.0 * std::abs(c - 17.5)) * (1.0 - r / 60.0));
    return terrainBounds(grid, 16.0);
}

// The centre and size, in window pixels, of the rectangle the box's corners project to.
struct Screen {
    double x, y, width, height;
};
Screen projected(const TerrainBounds& b, const Matrix4& modelView, const ViewBox& box,
                 const int viewport[4]) {
    double left = 1e300, right = -1e300, bottom = 1e300, top = -1e300;
    for (double x : {b.minX, b.maxX})
        for (double y : {b.minY, b.maxY})
            for (double z : {b.minZ, b.maxZ}) {
                double wx = 0, wy = 0;
                projectPoint(modelView, boxProjection(box), viewport, x, y, z, wx, wy);
                left = std::min(left, wx), right = std::max(right, wx);
                bottom = std::min(bottom, wy), top = std::max(top, wy);
            }
    return {(left + right) / 2, (bottom + top) / 2, right - left, top - bottom};
}

// The stage-1 picture the user first sees must not move: unturned, the pivot adds nothing.
TEST(ViewNavigation, UnturnedViewIsExactlyTheFirstOne) {
    for (const ZoomPan zp : {ZoomPan(), ZoomPan{3.5f, 0.25f, -0.75f}}) {
        const Matrix4 before = sketchViewTransform(zp.transX, zp.transY, 0.0f, zp.zoom, 0, 0, 0) *
                               terrainModelTransform();
        const Matrix4 now = terrainModelView(zp, 0.0f, 0.0f, 0.0f, drawnTerrain());
        for (int k = 0; k < 16; ++k)
            EXPECT_EQ(now.m[k], before.m[k]) << k;
    }
}

// Regression: turns swung the terrain about its silhouette row, so turned it left the view to
// the right, and seen from above off the bottom.
TEST(ViewNavigation, TurnsLeaveTheTerrainsCentreWhereItWas) {
    const TerrainBounds b = drawnTerrain();
    const int viewport[4] = {0, 0, referenceViewWidth, referenceViewHeight};
    const ViewBox box = terrainViewBox(viewport[2], viewport[3], b.maxX, b.maxY);
    for (const ZoomPan zp : {ZoomPan(), homeFraming(b, box)}) {
        const Screen front = projected(b, terrainModelView(zp, 0, 0, 0, b), box, viewport);
        for (const auto& [x, y] :
             {std::pair{0.f, 90.f}, {90.f, 0.f}, {35.f, -50.f}, {-20.f, 170.f}}) {
            const Screen s = projected(b, terrainModelView(zp, x, y, 0, b), box, viewport);
            EXPECT_NEAR(s.x, front.x, 1e-6) << x << " " << y;
            EXPECT_NEAR(s.y, front.y, 1e-6) << x << " " << y;
        }
    }
}

// The natural terrain, seen from the south (its depth mirrored), is framed and turned as the
// plain terrain is: the same picture unturned, its centre kept in place by turns.
TEST(ViewNavigation, TheNaturalTerrainIsFramedAndTurnedAsThePlainOne) {
    const TerrainBounds b = drawnTerrain();
    const int viewport[4] = {0, 0, referenceViewWidth, referenceViewHeight};
    const ViewBox box = terrainViewBox(viewport[2], viewport[3], b.maxX, b.maxY);
    const ZoomPan zp = homeFraming(b, box);
    const Screen plain = projected(b, terrainModelView(zp, 0, 0, 0, b), box, viewport);
    for (const auto& [x, y] : {std::pair{0.f, 0.f}, {35.f, -50.f}}) {
        const Screen s = projected(b, naturalTerrainModelView(zp, x, y, 0, b), box, viewport);
        EXPECT_NEAR(s.x, plain.x, 1e-6) << x;
        EXPECT_NEAR(s.y, plain.y, 1e-6) << x;
    }
}

// Regression: Home left the terrain in the bottom-left corner of a large view, and off-centre
// at scale factor 2. Now it is centred and fills the width or the height.
TEST(ViewNavigation, HomeCentresAndFillsTheViewAtAnySizeAndScale) {
    const TerrainBounds b = drawnTerrain();
    struct Case {
        int width, height, ratio;
    };
    for (const Case c :
         {Case{800, 600, 1}, Case{1900, 1150, 1}, Case{950, 575, 2}, Case{300, 500, 1}}) {
        const ViewBox box = terrainViewBox(c.width, c.height, b.maxX, b.maxY);
        const int viewport[4] = {0, 0, c.width * c.ratio, c.height * c.ratio};
        const Screen s =
            projected(b, terrainModelView(homeFraming(b, box), 0, 0, 0, b), box, viewport);
        const double w = viewport[2], h = viewport[3];
        EXPECT_NEAR(s.x, w / 2, 1.0) << c.width;
        EXPECT_NEAR(s.y, h / 2, 1.0) << c.width;
        EXPECT_NEAR(std::max(s.width / w, s.height / h), homeFill, 1e-4) << c.width;
    }
    // Nothing to frame: the first view. A sliver is held at the largest zoom.
    const ViewBox box = terrainViewBox(800, 600, 0, 0);
    EXPECT_EQ(homeFraming(TerrainBounds(), box).zoom, ZoomPan().zoom);
    const std::vector<std::vector<gmVector2>> sliver(5,
                                                     {gmVector2(400, 100), gmVector2(400.5, 100)});
    EXPECT_EQ(homeFraming(terrainBounds(sliver, 0.0), box).zoom, maximumZoom);
}

} // namespace

// Picking in a turned view once snapped the view back to the front and picked there.
TEST(ViewNavigation, TurnedViewsPickTheColumnUnderThePointer) {
    std::vector<std::vector<gmVector2>> grid(51);
    for (int r = 0; r < 51; ++r)
        for (int c = 0; c < 36; ++c)
            grid[static_cast<size_t>(r)].emplace_back(
                20.0 + 16.0 * c, (270.0 - 5.0 * std::abs(c - 17.5)) * (1.0 - r / 60.0));
    const int viewport[4] = {0, 0, 840, 640};
    const ViewBox box = terrainViewBox(840, 640, 580.0, 270.0);
    const Matrix4 projection = boxProjection(box);
    for (const auto& [rotX, rotY] : {std::pair{20.0f, 35.0f}, std::pair{35.0f, -50.0f}}) {
        const Matrix4 modelView =
            terrainModelView(ZoomPan(), rotX, rotY, 0.0f, terrainBounds(grid, 16.0));
        // The front row's points, which face the viewer, and the sky above them.
        for (int c : {3, 12, 17, 30}) {
            const TerrainPoint p = terrainPoint(grid, 0, c, 16.0);
            double wx = 0, wy = 0, x = 0;
            projectPoint(modelView, projection, viewport, p.x, p.y - 0.5, p.z, wx, wy);
            ASSERT_TRUE(
                terrainXUnderPointer(grid, 16.0, modelView, projection, viewport, wx, wy, x));
            EXPECT_NEAR(x, p.x, 4.0) << rotX << " " << rotY << " column " << c;
        }
    }
}

// A stroke drawn at 4x zoom is kept at the drawing pixels it was drawn over, and the picture
// is shown through the same mapping.
TEST(ViewNavigation, DrawingZoomKeepsThePixelUnderThePointer) {
    DrawingView view;
    double x = 0, y = 0;
    windowToDrawing(view, 123, 45, x, y);
    EXPECT_EQ(x, 123.0);
    EXPECT_EQ(y, 45.0);
    view = zoomDrawingAbout(view, 4.0, 400, 300);
    view = panDrawingBy(view, -37, 12);
    EXPECT_EQ(view.zoom, 4.0);
    windowToDrawing(view, 363, 312, x, y);
    EXPECT_NEAR(x, 400.0, 1e-12);
    EXPECT_NEAR(y, 300.0, 1e-12);
    // Drawing pixel (100, 50) (y down) of a 800 x 600 view, through the matrix.
    const Matrix4 m = drawingViewMatrix(view, 800, 600);
    const int viewport[4] = {0, 0, 800, 600};
    double wx = 0, wy = 0;
    projectPoint(Matrix4::identity(), m, viewport, 2.0 * 100 / 800 - 1, 1 - 2.0 * 50 / 600, 0, wx,
                 wy);
    EXPECT_NEAR(wx, 4.0 * 100 + view.panX, 1e-9);
    EXPECT_NEAR(600 - wy, 4.0 * 50 + view.panY, 1e-9);
    EXPECT_EQ(zoomDrawingAbout(view, 100.0, 0, 0).zoom, maximumDrawingZoom);
}
