// The model's state as a value: restoring it rebuilds the same terrain, and a series of
// states shares what did not change.
#include <gtest/gtest.h>

#include "modeltesting.h"

using modeltesting::drawCurve;
using modeltesting::quietModel;

namespace {

using Grid = std::vector<SketchModel::PointList>;

bool sameGrid(const Grid& a, const Grid& b) {
    if (a.size() != b.size())
        return false;
    for (std::size_t i = 0; i < a.size(); ++i) {
        if (a[i].size() != b[i].size())
            return false;
        for (std::size_t j = 0; j < a[i].size(); ++j)
            if (a[i][j][0] != b[i][j][0] || a[i][j][1] != b[i][j][1])
                return false;
    }
    return true;
}

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

TEST(SketchState, RestoringAStateRebuildsTheSameTerrainInEveryStage) {
    SketchModel model = mountain(600);
    std::vector<std::pair<SketchState, Grid>> taken;
    taken.emplace_back(model.state(), model.grid());
    model.next();
    model.selectProfile(12);
    SketchModel::PointList handedOut;
    model.getProfile(handedOut);
    model.receiveProfileChange(steepProfile());
    taken.emplace_back(model.state(), model.grid());
    model.next();
    model.randomnessChanged(37);
    model.changeBottomDropOff(false);
    taken.emplace_back(model.state(), model.grid());
    model.next();
    model.randomnessChanged(63);
    taken.emplace_back(model.state(), model.grid());

    for (const auto& [state, grid] : taken) {
        SketchModel restored = quietModel();
        restored.restore(state);
        EXPECT_EQ(restored.stage(), state.stage);
        EXPECT_TRUE(sameGrid(restored.grid(), grid)) << "stage " << state.stage;
        EXPECT_TRUE(restored.state().sameTerrainInputs(state)) << "stage " << state.stage;
        EXPECT_EQ(restored.currentProfile(), state.stage == 0 ? -1 : 12);
    }

    // Going back to stage 0 gives back the curve as drawn, without a terrain.
    model.restore(taken.front().first);
    EXPECT_EQ(model.stage(), 0);
    EXPECT_EQ(model.curve().size(), 600u);
    EXPECT_TRUE(model.grid().empty());
    EXPECT_TRUE(model.detailLevels().empty());
}

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
    SketchModel::PointList handedOut;
    model.getProfile(handedOut);
    model.receiveProfileChange(steepProfile());
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
