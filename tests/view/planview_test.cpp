// The top view's camera: window pixels and plan positions map both ways, zooming keeps the
// point under the pointer, and the camera looks down with north up and the highest ground
// nearest.
#include <gtest/gtest.h>

#include "view/planview.h"

TEST(PlanView, WindowAndPlanAgreeAndTheCameraLooksDownWithNorthUp) {
    const PlanView framed = framePlan(-100.0, 300.0, -50.0, 150.0, 800, 600);
    EXPECT_DOUBLE_EQ(framed.pixelsPerUnit, 0.9 * 2.0);
    const PlanView zoomed = zoomPlanAbout(panPlanBy(framed, 30, -20), 1.5, 123, 456, 800, 600);
    double x = 0.0, northing = 0.0, px = 0.0, py = 0.0;
    windowToPlan(zoomed, 800, 600, 123, 456, x, northing);
    planToWindow(zoomed, 800, 600, x, northing, px, py);
    EXPECT_NEAR(px, 123, 1e-9);
    EXPECT_NEAR(py, 456, 1e-9);
    double before = 0.0, beforeNorthing = 0.0;
    windowToPlan(panPlanBy(framed, 30, -20), 800, 600, 123, 456, before, beforeNorthing);
    EXPECT_NEAR(x, before, 1e-9);
    EXPECT_NEAR(northing, beforeNorthing, 1e-9);

    // The camera puts model point (x, height, depth) where windowToPlan finds it, row 0 at
    // northing -50; of two heights over one point the higher is nearer.
    const int viewport[4] = {0, 0, 800, 600};
    const Matrix4 modelView = planModelView(-50.0);
    const Matrix4 projection = planProjection(zoomed, 800, 600, 0.0, 400.0);
    projectPoint(modelView, projection, viewport, 40.0, 250.0, 70.0, px, py);
    windowToPlan(zoomed, 800, 600, px, 600 - py, x, northing);
    EXPECT_NEAR(x, 40.0, 1e-6);
    EXPECT_NEAR(northing, 20.0, 1e-6);
    const Matrix4 all = projection * modelView;
    const auto depth = [&](double height) {
        return (all.at(2, 1) * height + all.at(2, 3)) / all.at(3, 3);
    };
    EXPECT_LT(depth(400.0), depth(0.0));
    EXPECT_GE(depth(400.0), -1.0);
    EXPECT_LE(depth(0.0), 1.0);
}
