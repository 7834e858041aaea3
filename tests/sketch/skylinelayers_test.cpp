// Skyline layers: strokes go to the current layer, the stages build from the front one, and
// whatever changes which layer is in front hands its skyline to the stages.
#include <gtest/gtest.h>

#include "modeltesting.h"

using modeltesting::drawCurve;
using modeltesting::drawStroke;
using modeltesting::quietModel;

namespace {

double nearRidge(int x) {
    return 150.0 + 60.0 * ((x / 9) % 5);
}
double farRange(int x) {
    return 300.0 + (x % 23);
}

// A front ridge of 300 columns and, on a second layer, a far range of 200.
SketchModel twoLayers() {
    SketchModel model = quietModel();
    drawCurve(model, 20, 319, nearRidge);
    EXPECT_EQ(model.addLayer(), 1);
    drawCurve(model, 100, 299, farRange);
    return model;
}

} // namespace

TEST(SkylineLayers, StrokesGoToTheCurrentLayerAndTheStagesBuildFromTheFrontOne) {
    SketchModel single = quietModel();
    drawCurve(single, 20, 319, nearRidge);
    SketchModel layered = twoLayers();

    ASSERT_EQ(layered.layerCount(), 2);
    EXPECT_EQ(layered.layerProperties(1).name, "Layer 2");
    EXPECT_EQ(layered.layerProperties(1).distance, 2000.0);
    EXPECT_EQ(layered.curve(), single.curve());
    ASSERT_EQ(layered.layerSkyline(1).size(), 200u);
    EXPECT_EQ(layered.layerSkyline(1).front(), gmVector2(100, farRange(100)));

    // "Clear Curve" clears the current layer only.
    SketchModel cleared = layered;
    cleared.clearCurve();
    EXPECT_TRUE(cleared.layerSkyline(1).empty());
    EXPECT_EQ(cleared.curve(), single.curve());

    for (int stage = 1; stage <= 3; ++stage) {
        single.next();
        layered.next();
        EXPECT_TRUE(layered.grid() == single.grid()) << "stage " << stage;
    }
    // Every layer's skyline for the natural terrain, front first, a hidden one too.
    layered.setLayerVisible(1, false);
    const std::vector<DistantSkyline> skylines = layered.distantSkylines();
    ASSERT_EQ(skylines.size(), 2u);
    EXPECT_EQ(skylines[0].skyline, layered.silhouette());
    EXPECT_EQ(skylines[0].distance, 1000.0);
    EXPECT_EQ(skylines[1].skyline, layered.layerSkyline(1));
    EXPECT_EQ(skylines[1].distance, 2000.0);
}

TEST(SkylineLayers, ALockedLayerTakesNoStroke) {
    SketchModel model = twoLayers();
    const SketchModel::PointList far = model.layerSkyline(1);
    model.setLayerLocked(1, true);
    EXPECT_FALSE(model.beginStroke(150, 100));
    model.extendStroke(250, 120);
    EXPECT_TRUE(model.stroke().empty());
    EXPECT_EQ(model.processLine(), SketchModel::StrokeResult::nothingDrawn);
    EXPECT_FALSE(model.clearCurve());
    std::string message;
    SketchModel::FileOutcome outcome;
    EXPECT_FALSE(model.loadCurve(MONDREL_TEST_DATA_DIR "/long_ridge.c2d", message, &outcome));
    EXPECT_NE(outcome.failure.find("the layer \"Layer 2\" is locked"), std::string::npos);
    EXPECT_EQ(model.layerSkyline(1), far);

    // The front layer is not locked: the next press there draws again.
    model.selectLayer(0);
    drawStroke(model, {{10, 100}, {60, 120}});
    EXPECT_EQ(model.processLine(), SketchModel::StrokeResult::processed);
    EXPECT_EQ(model.curve().front()[0], 10.0);

    // A stroke begun before its layer was locked is refused too.
    model.selectLayer(1);
    model.setLayerLocked(1, false);
    drawStroke(model, {{150, 100}, {250, 120}});
    model.setLayerLocked(1, true);
    EXPECT_EQ(model.processLine(), SketchModel::StrokeResult::locked);
    EXPECT_EQ(model.layerSkyline(1), far);
}

TEST(SkylineLayers, TheNearestLayerIsInFrontWhateverMovesIt) {
    SketchModel model = twoLayers();
    const SketchModel::PointList near = model.curve();
    const SketchModel::PointList far = model.layerSkyline(1);

    // A distance nearer than the front's moves the layer in front, the current one with it.
    EXPECT_EQ(model.setLayerDistance(1, 500.0), 0);
    EXPECT_EQ(model.currentLayer(), 0);
    EXPECT_EQ(model.curve(), far);
    EXPECT_EQ(model.layerSkyline(1), near);
    EXPECT_EQ(model.setLayerDistance(0, 0.0), -1);
    EXPECT_EQ(model.setLayerDistance(0, 1e10), -1);

    // Moving swaps places and distances: the order stays front to back.
    EXPECT_EQ(model.moveLayer(0, false), 1);
    EXPECT_EQ(model.curve(), near);
    EXPECT_EQ(model.layerProperties(0).distance, 500.0);
    EXPECT_EQ(model.layerProperties(1).distance, 1000.0);
    EXPECT_EQ(model.moveLayer(0, true), 0);

    // From stage 1 on a new front rebuilds the terrain from it, as a loaded curve would.
    SketchModel farOnly = quietModel();
    drawCurve(farOnly, 100, 299, farRange);
    farOnly.next();
    model.next();
    model.selectProfile(3);
    model.setSelectedProfile(model.selectedProfile());
    ASSERT_FALSE(model.profileIndices().empty());
    EXPECT_TRUE(model.removeLayer(0));
    EXPECT_TRUE(model.grid() == farOnly.grid());
    EXPECT_TRUE(model.profileIndices().empty());
    EXPECT_FALSE(model.removeLayer(0)); // the only layer stays
    EXPECT_EQ(model.layerCount(), 1);
}

TEST(SkylineLayers, TheStateCarriesTheLayersAndUndoStepsNoticeThem) {
    SketchModel model = twoLayers();
    model.renameLayer(1, "Far range");
    model.setLayerColour(1, {1, 2, 3});
    const SketchState layered = model.state();

    SketchModel restored = quietModel();
    restored.restore(layered);
    EXPECT_TRUE(restored.state().sameTerrainInputs(layered));
    EXPECT_EQ(restored.currentLayer(), 1);
    EXPECT_EQ(restored.layerSkyline(1), model.layerSkyline(1));
    EXPECT_EQ(restored.layerProperties(1).name, "Far range");

    // Each property is a change of its own; choosing the current layer is none.
    const auto changed = [&](const std::function<void(SketchModel&)>& change) {
        SketchModel copy = restored;
        change(copy);
        return !copy.state().sameTerrainInputs(layered);
    };
    EXPECT_TRUE(changed([](SketchModel& m) { m.renameLayer(1, "Other"); }));
    EXPECT_FALSE(changed([](SketchModel& m) { m.renameLayer(1, ""); }));
    EXPECT_TRUE(changed([](SketchModel& m) { m.setLayerColour(1, {3, 2, 1}); }));
    EXPECT_TRUE(changed([](SketchModel& m) { m.setLayerVisible(1, false); }));
    EXPECT_TRUE(changed([](SketchModel& m) { m.setLayerLocked(1, true); }));
    EXPECT_TRUE(changed([](SketchModel& m) { m.setLayerDistance(1, 2500.0); }));
    EXPECT_TRUE(changed([](SketchModel& m) { m.addLayer(); }));
    EXPECT_FALSE(changed([](SketchModel& m) { m.selectLayer(0); }));

    // An unchanged skyline is shared with the state before.
    SketchState renamed = layered;
    renamed.layers[1].properties.name = "Renamed";
    SketchState copy = renamed;
    copy.layers[1].skyline = std::make_shared<const SketchModel::PointList>(model.layerSkyline(1));
    copy.shareUnchanged(layered);
    EXPECT_EQ(copy.layers[1].skyline, layered.layers[1].skyline);
}
