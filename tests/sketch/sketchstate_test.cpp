// A series of model states shares what did not change, so an undo step costs what it changed.
#include <gtest/gtest.h>

#include "modeltesting.h"

using modeltesting::drawCurve;
using modeltesting::quietModel;

namespace {

SketchModel::PointList steepProfile() {
    SketchModel::PointList profile;
    for (int i = 0; i < 51; ++i)
        profile.emplace_back(i / 51.0, (1.0 - i / 51.0) * (1.0 - i / 51.0));
    return profile;
}

SketchModel mountain(int columns) {
    SketchModel model = quietModel();
    drawCurve(model, 20, 20 + columns - 1, [](int x) { return 150.0 + 60.0 * ((x / 9) % 5); });
    return model;
}

} // namespace

TEST(SketchState, ASeriesOfStatesHoldsOneCopyOfWhatDidNotChange) {
    SketchModel model = mountain(3840);
    model.next();
    model.next();
    const SketchState before = model.state();
    EXPECT_EQ(before.silhouette->size(), 3840u);

    model.randomnessChanged(40);
    SketchState slider = model.state();
    EXPECT_FALSE(slider.sameTerrainInputs(before));
    slider.shareUnchanged(before);
    EXPECT_EQ(slider.curve, before.curve);
    EXPECT_EQ(slider.silhouette, before.silhouette);
    EXPECT_EQ(slider.bytesBeyond(before), 0u);

    model.restore(before);
    model.selectProfile(100);
    model.setSelectedProfile(steepProfile());
    SketchState edit = model.state();
    edit.shareUnchanged(before);
    // Only the profile set is new: three profiles of 51 points and their columns.
    EXPECT_LT(edit.bytesBeyond(before), 4000u);
    EXPECT_GT(edit.bytesBeyond(before), 3 * 51 * sizeof(gmVector2));

    // In stage 0 the silhouette is the curve, and stays one list when shared.
    SketchModel drawing = mountain(100);
    SketchState first = drawing.state();
    SketchState second = drawing.state();
    second.shareUnchanged(first);
    EXPECT_EQ(second.silhouette, second.curve);
    EXPECT_EQ(second.curve, first.curve);
}

// The natural terrain's switch and settings are part of the state: a change is an undo step,
// and restoring the state before it brings the settings back without touching the grid.
TEST(SketchState, NaturalSettingsAreUndoneWithTheState) {
    SketchModel model = mountain(300);
    model.next();
    const SketchState before = model.state();
    const std::vector<SketchModel::PointList> grid = model.grid();

    NaturalSettings natural;
    natural.slope = 1.25;
    natural.erosionSteps = 40;
    natural.seed = 77;
    std::string error;
    ASSERT_TRUE(model.setNaturalSettings(natural, error)) << error;
    model.setNaturalTerrain(true);
    const SketchState after = model.state();
    EXPECT_FALSE(after.sameTerrainInputs(before));
    EXPECT_TRUE(after.naturalTerrain);
    EXPECT_EQ(after.natural, natural);

    // A setting out of range is refused and changes nothing.
    NaturalSettings steep = natural;
    steep.slope = 9.0;
    EXPECT_FALSE(model.setNaturalSettings(steep, error));
    EXPECT_FALSE(error.empty());
    EXPECT_TRUE(model.state().sameTerrainInputs(after));

    model.restore(before);
    EXPECT_FALSE(model.naturalTerrain());
    EXPECT_EQ(model.naturalSettings(), NaturalSettings());
    EXPECT_TRUE(model.grid() == grid);
    model.restore(after);
    EXPECT_EQ(model.naturalSettings(), natural);
    EXPECT_TRUE(model.naturalTerrain());
}

// A divide course is part of its layer's state: restoring the state before a course brings the
// wandering divide back. A locked layer and a course that is no function of x are refused;
// "Clear Curve" starts the layer over, course and all, while a new stroke keeps it.
TEST(SketchState, ADivideCourseIsUndoneWithTheStateAndGoesWithClearCurve) {
    SketchModel model = mountain(300);
    model.next();
    const SketchState before = model.state();
    std::string reason;
    const SketchModel::PointList course = {{0.0, 10.0}, {300.0, -40.0}};
    ASSERT_TRUE(model.setDivideCourse(0, course, reason)) << reason;
    const SketchState after = model.state();
    EXPECT_FALSE(after.sameTerrainInputs(before));
    model.restore(before);
    EXPECT_TRUE(model.layerProperties(0).divideCourse.empty());
    model.restore(after);
    EXPECT_EQ(model.layerProperties(0).divideCourse, course);

    EXPECT_FALSE(model.setDivideCourse(0, {{5.0, 1.0}, {5.0, 2.0}}, reason));
    EXPECT_NE(reason.find("x rising"), std::string::npos) << reason;
    model.setLayerLocked(0, true);
    EXPECT_FALSE(model.setDivideCourse(0, {}, reason));
    EXPECT_EQ(model.layerProperties(0).divideCourse, course);
    EXPECT_EQ(model.naturalRanges().front().divideCourse, course);
    model.setLayerLocked(0, false);
    ASSERT_TRUE(model.clearCurve());
    EXPECT_TRUE(model.layerProperties(0).divideCourse.empty());
}
