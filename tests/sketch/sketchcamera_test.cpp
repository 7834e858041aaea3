// The camera that places a layer's drawn skyline in the world.
#include <gtest/gtest.h>

#include <cmath>

#include "modeltesting.h"
#include "sketch/sketchcamera.h"
#include "sketch/sketchmodel.h"
#include "sketch/terrainsave.h"

namespace {

SketchCamera perspectiveCamera() {
    SketchCamera camera;
    camera.kind = SketchCamera::Kind::perspective;
    camera.fieldOfView = 50.0;
    camera.eyeHeight = 200.0;
    camera.horizon = 100.0;
    camera.frameWidth = 1600.0;
    camera.frameHeight = 600.0;
    return camera;
}

} // namespace

TEST(SketchCamera, DrawingToWorldAndBackIsTheSamePoint) {
    const SketchCamera cameras[] = {SketchCamera(), perspectiveCamera()};
    for (const SketchCamera& camera : cameras)
        for (double distance : {500.0, 3000.0, 8000.0})
            for (double scale : {0.5, 1.0, 7.0})
                for (const gmVector2& drawn :
                     {gmVector2(0, 0), gmVector2(800, 100), gmVector2(1599.5, 412.25)}) {
                    const gmVector2 back = worldToDrawing(
                        camera, drawingToWorld(camera, drawn, distance, scale), distance, scale);
                    EXPECT_NEAR(back[0], drawn[0], 1e-9);
                    EXPECT_NEAR(back[1], drawn[1], 1e-9);
                }
}

TEST(SketchCamera, StraightOnIsPixelsTimesScaleAndPerspectiveGrowsWithDistance) {
    const SketchCamera straight;
    const gmVector2 world = drawingToWorld(straight, gmVector2(300, 120), 8000.0, 2.5);
    EXPECT_EQ(world[0], 750.0);
    EXPECT_EQ(world[1], 300.0);

    const SketchCamera camera = perspectiveCamera();
    // The frame's middle column lies where it does straight on, the horizon at eye height.
    const gmVector2 centre = drawingToWorld(camera, gmVector2(800, 100), 3000.0, 2.0);
    EXPECT_DOUBLE_EQ(centre[0], 1600.0);
    EXPECT_DOUBLE_EQ(centre[1], 200.0);
    // The frame's half width spans tan(fov / 2) times the distance.
    const gmVector2 edge = drawingToWorld(camera, gmVector2(1600, 100), 3000.0, 2.0);
    EXPECT_NEAR(edge[0] - centre[0], 3000.0 * std::tan(25.0 * M_PI / 180.0), 1e-9);
    // A skyline drawn the same on a layer twice as far is twice as large in the world.
    const gmVector2 nearTop = drawingToWorld(camera, gmVector2(1000, 300), 3000.0, 1.0);
    const gmVector2 farTop = drawingToWorld(camera, gmVector2(1000, 300), 6000.0, 1.0);
    EXPECT_NEAR(farTop[1] - 200.0, 2.0 * (nearTop[1] - 200.0), 1e-9);
    EXPECT_NEAR(farTop[0] - 800.0, 2.0 * (nearTop[0] - 800.0), 1e-9);
}

TEST(SketchCamera, FieldOfViewFromThe35mmEquivalent) {
    // A 3:2 landscape frame spans the film's 36 mm, a portrait one its 24 mm.
    EXPECT_NEAR(fieldOfViewFor35mm(36.0, 6000, 4000), 2.0 * std::atan(0.5) * 180.0 / M_PI, 1e-9);
    EXPECT_NEAR(fieldOfViewFor35mm(24.0, 4000, 6000), 2.0 * std::atan(0.5) * 180.0 / M_PI, 1e-9);
    // Half the width drawn sees half the film.
    EXPECT_NEAR(fieldOfViewFor35mm(18.0, 6000, 4000, 0.5), 2.0 * std::atan(0.5) * 180.0 / M_PI,
                1e-9);
    EXPECT_EQ(fieldOfViewFor35mm(0.0, 6000, 4000), 0.0);
}

TEST(SketchCamera, ValuesOutsideTheirRangesAreRefusedAndTheModelKeepsItsCamera) {
    SketchModel model;
    std::string reason;
    SketchCamera bad = perspectiveCamera();
    bad.fieldOfView = 171.0;
    EXPECT_FALSE(model.setCamera(bad, reason));
    EXPECT_NE(reason.find("field of view"), std::string::npos);
    bad = perspectiveCamera();
    bad.eyeHeight = NAN;
    EXPECT_FALSE(model.setCamera(bad, reason));
    EXPECT_EQ(model.camera(), SketchCamera());
}

// A divide course drawn from above lies in the top view's world (scale 1): at another scale
// its offsets from the eye shrink with the terrain's, so a course straight ahead of the eye
// stays straight ahead of it, where the skyline drawn in the frame's middle lies.
TEST(SketchCamera, APerspectiveDivideCourseKeepsItsPlaceAtEveryScale) {
    SketchModel model = modeltesting::quietModel();
    modeltesting::drawCurve(model, 600, 1000, [](int x) { return 300.0 + 0.1 * x; });
    std::string reason;
    ASSERT_TRUE(model.setCamera(perspectiveCamera(), reason)) << reason;
    const double ahead = perspectiveCamera().eyeX(1.0);
    ASSERT_TRUE(model.setDivideCourse(0, {{ahead - 300.0, 40.0}, {ahead, 40.0}}, reason)) << reason;
    for (const double scale : {1.0, 2.0, 0.5}) {
        const NaturalGround ground = naturalGround(model, scale);
        const NaturalRange& front = ground.ranges.front();
        // The skyline's point drawn in the frame's middle, and the course's end.
        double middle = 0.0;
        for (const gmVector2& p : front.skyline)
            if (std::abs(p[0] - front.viewer.x) < std::abs(middle - front.viewer.x))
                middle = p[0];
        EXPECT_NEAR(front.divideCourse.back()[0], front.viewer.x, 1e-9) << scale;
        EXPECT_NEAR(middle, front.viewer.x, 2.0 / scale) << scale;
        EXPECT_NEAR(front.divideCourse.front()[0] - front.viewer.x, -300.0 / scale, 1e-9) << scale;
        EXPECT_NEAR(front.divideCourse.back()[1], 40.0 / scale, 1e-9) << scale;
    }
}
