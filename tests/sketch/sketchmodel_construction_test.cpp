// The stage machine, the decomposition of the first next() and the terrain construction.
#include <cmath>
#include <cstring>

#include <gtest/gtest.h>

#include "curve/subdivision.h"
#include "heightmap/heightraster.h"
#include "modeltesting.h"
#include "printing/printedlines.h"

using modeltesting::drawCurve;
using modeltesting::drawCurveOfLength;
using modeltesting::quietModel;
using modeltesting::temporaryPath;

namespace {

const std::string noCurve = "You must create a curve and process it before moving to next step.";
const std::string tooShort = "The curve is too short to build a terrain: it has 30 points, a "
                             "terrain needs at least 50. Draw a longer curve before moving to "
                             "next step.";
const std::string finished = "Unknown stage - you might be finished, save your mountain.";

double silhouette(int x) {
    return 150.0 + 80.0 * std::sin(x / 40.0) + (x % 7);
}

SketchModel modelAtStage(int stage, int columns = 300) {
    SketchModel model = quietModel();
    drawCurve(model, 50, 50 + columns - 1, silhouette);
    for (int s = 0; s < stage; ++s)
        model.next();
    return model;
}

void expectAllFinite(const std::vector<SketchModel::PointList>& grid) {
    for (std::size_t i = 0; i < grid.size(); ++i)
        for (std::size_t j = 0; j < grid[i].size(); ++j)
            ASSERT_TRUE(std::isfinite(grid[i][j][1])) << "row " << i << ", column " << j;
}

void expectSameGrid(const std::vector<SketchModel::PointList>& a,
                    const std::vector<SketchModel::PointList>& b) {
    ASSERT_EQ(a.size(), b.size());
    for (std::size_t i = 0; i < a.size(); ++i) {
        ASSERT_EQ(a[i].size(), b[i].size()) << "row " << i;
        for (std::size_t j = 0; j < a[i].size(); ++j) {
            ASSERT_EQ(a[i][j][0], b[i][j][0]) << "row " << i << ", column " << j;
            ASSERT_EQ(a[i][j][1], b[i][j][1]) << "row " << i << ", column " << j;
        }
    }
}

} // namespace

TEST(Stages, FreshModelHoldsTheInitialValues) {
    const SketchModel model;
    EXPECT_EQ(model.stage(), 0);
    EXPECT_EQ(model.numRows(), 50);
    EXPECT_EQ(model.currentProfile(), -1);
    EXPECT_EQ(model.profileRandomness(), 0.0f);
    EXPECT_EQ(model.detailRandomness(), 0.2f);
    EXPECT_EQ(model.bottomDropOff(), 0.3f);
    EXPECT_TRUE(model.stroke().empty() && model.curve().empty() && model.grid().empty());
    EXPECT_TRUE(model.detailLevels().empty() && model.globalProfile().empty());
    EXPECT_TRUE(model.profiles().empty() && model.profileIndices().empty());
}

TEST(Stages, CheckStageRefusesNoCurveAndTooShortCurvesAndTheLastStage) {
    SketchModel model = quietModel();
    std::string message = "untouched";
    EXPECT_FALSE(model.checkStage(message));
    EXPECT_EQ(message, noCurve);

    // Regression: a curve that leaves fewer than 5 terrain columns used to pass and end the
    // program at the next repaint.
    drawCurveOfLength(model, 30);
    ASSERT_LT(SketchModel::coarsenedColumns(30), 5);
    EXPECT_FALSE(model.checkStage(message));
    EXPECT_EQ(message, tooShort);
    EXPECT_EQ(model.curve().size(), 30u);
    EXPECT_EQ(model.stage(), 0);

    model.clearCurve();
    drawCurveOfLength(model, 50);
    ASSERT_GE(SketchModel::coarsenedColumns(50), 5);
    message = "untouched";
    EXPECT_TRUE(model.checkStage(message));
    EXPECT_EQ(message, "untouched");

    for (int stage = 1; stage <= 2; ++stage) {
        model.next();
        EXPECT_TRUE(model.checkStage(message));
        EXPECT_EQ(message, "untouched");
    }
    model.next();
    EXPECT_FALSE(model.checkStage(message));
    EXPECT_EQ(message, finished);
}

TEST(Stages, EveryCurveNextAcceptsBuildsARefinedTerrainWhoseRowsRunLeftToRight) {
    // Regression: curves of 10-13, 18-25 and 34-49 points passed and built a stage-3 grid
    // whose rows were scrambled by detail levels that were really points.
    for (int n = 6; n <= 70; ++n) {
        SketchModel model = quietModel();
        drawCurve(model, 50, 50 + n - 1, [](int x) { return 50.0 + 40.0 * std::sin(x / 12.0); });
        ASSERT_EQ(model.curve().size(), static_cast<std::size_t>(n));
        std::string message;
        if (!model.checkStage(message)) {
            EXPECT_LT(n, 50);
            EXPECT_NE(message.find("at least 50"), std::string::npos) << message;
            continue;
        }
        EXPECT_GE(n, 50);
        for (int s = 0; s < 3; ++s)
            model.next();
        std::string reason;
        EXPECT_TRUE(checkTerrainGrid(model.grid(), model.rowSpacing(), reason))
            << n << ": " << reason;
    }
    EXPECT_EQ(SketchModel::curveLengthProblem(50), "");
    EXPECT_EQ(SketchModel::curveLengthProblem(1),
              "the curve is too short to build a terrain: it has 1 point, a terrain needs at "
              "least 50");
}

TEST(Stages, AShortCurveLoadedInStageThreeBuildsASoundTerrain) {
    // A curve file read in a later stage is not checked by next(): a level too short to split
    // holds no details, so no list of points is added to the rows as details.
    SketchModel model = modelAtStage(3);
    const std::string file = temporaryPath("short.c2d");
    std::string text = "40 //size\n";
    for (int i = 0; i < 40; ++i)
        text += std::to_string(50 + 2 * i) + " " + std::to_string(50.0 + 40.0 * std::sin(i / 6.0)) +
                "\n";
    modeltesting::writeFile(file, text);
    std::string message;
    ASSERT_TRUE(model.loadCurve(file, message));
    ASSERT_EQ(model.detailLevels().size(), 4u);
    EXPECT_TRUE(model.detailLevels()[3].empty());
    std::string reason;
    EXPECT_TRUE(checkTerrainGrid(model.grid(), model.rowSpacing(), reason)) << reason;
}

TEST(Stages, CoarsenedColumnsFollowsFourCoarsenings) {
    for (std::size_t n : {0u, 1u, 7u, 8u, 25u, 30u, 290u, 291u, 833u, 3840u}) {
        SketchModel::PointList curve(n);
        for (int level = 0; level < 4; ++level)
            coarsenCurve(curve);
        EXPECT_EQ(SketchModel::coarsenedColumns(n), static_cast<int>(curve.size())) << n;
    }
    EXPECT_EQ(SketchModel::coarsenedColumns(290), 20);
}

TEST(Stages, NextPrintsItsLinesAndTheFirstOneDecomposes) {
    SketchModel model = modelAtStage(0);
    model.setPrinting(true);
    testing::internal::CaptureStdout();
    model.next();
    const std::string printed = testing::internal::GetCapturedStdout();
    EXPECT_EQ(printed, "In next\nmaking new mountain\n\nfinished next\n");

    EXPECT_EQ(model.stage(), 1);
    EXPECT_EQ(model.detailLevels().size(), 4u);
    EXPECT_EQ(model.globalProfile().size(), 52u);
    EXPECT_EQ(static_cast<int>(model.curve().size()), SketchModel::coarsenedColumns(300));
    ASSERT_EQ(model.grid().size(), 51u);
    for (const SketchModel::PointList& row : model.grid())
        EXPECT_EQ(row.size(), model.curve().size());
}

TEST(Stages, SecondNextChangesOnlyTheStage) {
    SketchModel model = modelAtStage(1);
    const auto grid = model.grid();
    const auto curve = model.curve();
    model.next();
    EXPECT_EQ(model.stage(), 2);
    expectSameGrid(model.grid(), grid);
    EXPECT_EQ(model.curve().size(), curve.size());
}

TEST(Construction, DefaultProfileFallsStraightFromOneToZero) {
    SketchModel::PointList profile = {{9, 9}};
    SketchModel().buildDefaultProfile(profile);
    ASSERT_EQ(profile.size(), 52u);
    EXPECT_EQ(profile.front()[0], 0.0);
    EXPECT_EQ(profile.front()[1], 1.0);
    for (std::size_t i = 0; i < profile.size(); ++i) {
        EXPECT_NEAR(profile[i][1], 1.0 - static_cast<double>(i) / 51.0, 1e-6) << i;
        EXPECT_NEAR(profile[i][0] + profile[i][1], 1.0, 1e-7) << i;
    }
    EXPECT_GT(profile.back()[1], 0.0); // a rounding remainder, not quite 0
}

// Worked out by hand rather than taken from the program: with the straight default profile
// and no randomness every row is the silhouette scaled by the profile, and the back row is 0.
TEST(Construction, StageOneRowsAreTheSilhouetteScaledByTheDefaultProfile) {
    const SketchModel model = modelAtStage(1);
    const auto& grid = model.grid();
    const auto& curve = model.curve();
    for (std::size_t j = 0; j < curve.size(); ++j) {
        ASSERT_EQ(grid[0][j][0], curve[j][0]);
        ASSERT_EQ(grid[0][j][1], curve[j][1]);
    }
    for (int i = 1; i < 50; ++i) {
        const double scale = 1.0 - i / 51.0;
        for (std::size_t j = 0; j < curve.size(); ++j) {
            ASSERT_EQ(grid[i][j][0], curve[j][0]);
            ASSERT_NEAR(grid[i][j][1], scale * curve[j][1], 2e-6 * curve[j][1])
                << "row " << i << ", column " << j;
        }
    }
    for (const gmVector2& point : grid[50])
        ASSERT_EQ(point[1], 0.0);
}

TEST(Construction, EqualInputsGiveIdenticalGridsAndSlidersRestoreEarlierTerrains) {
    SketchModel a = modelAtStage(2);
    SketchModel b = modelAtStage(2);
    a.randomnessChanged(60);
    b.randomnessChanged(60);
    a.changeBottomDropOff(true);
    b.changeBottomDropOff(true);
    a.next();
    b.next();
    expectSameGrid(a.grid(), b.grid());

    const auto atTwenty = a.grid();
    a.randomnessChanged(99);
    a.randomnessChanged(20);
    expectSameGrid(a.grid(), atTwenty);
    expectAllFinite(a.grid());
}

TEST(Construction, RandomnessIsStoredOnlyInItsStageButAlwaysRebuilds) {
    SketchModel model = modelAtStage(1);
    model.setPrinting(true);
    testing::internal::CaptureStdout();
    model.randomnessChanged(40);
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "making new mountain\n\n");
    EXPECT_EQ(model.profileRandomness(), 0.0f);
    EXPECT_EQ(model.detailRandomness(), 0.2f);

    const auto stageOne = model.grid();
    model.next();
    model.randomnessChanged(40);
    EXPECT_EQ(model.profileRandomness(), 0.4f);
    EXPECT_EQ(model.detailRandomness(), 0.2f);
    ASSERT_EQ(model.grid().size(), stageOne.size());
    EXPECT_NE(model.grid()[25][10][1], stageOne[25][10][1]);

    model.next();
    model.randomnessChanged(75);
    EXPECT_EQ(model.profileRandomness(), 0.4f);
    EXPECT_EQ(model.detailRandomness(), 0.75f);
}

TEST(Construction, BottomDropOffStopsAtItsLimits) {
    SketchModel model = modelAtStage(2);
    model.setPrinting(true);
    testing::internal::CaptureStdout();
    model.changeBottomDropOff(true);
    const std::string printed = testing::internal::GetCapturedStdout();
    EXPECT_EQ(printed.substr(0, 24), "Bottom drop-off is 0.350");

    model.setPrinting(false);
    for (int press = 1; press < 13; ++press)
        model.changeBottomDropOff(true);
    EXPECT_NEAR(model.bottomDropOff(), 0.9500002, 1e-7);
    model.changeBottomDropOff(true);
    EXPECT_NEAR(model.bottomDropOff(), 0.9500002, 1e-7);

    SketchModel lower = modelAtStage(2);
    for (int press = 0; press < 6; ++press)
        lower.changeBottomDropOff(false);
    EXPECT_NEAR(lower.bottomDropOff(), 0.0, 1e-8);
    EXPECT_GT(lower.bottomDropOff(), 0.0f);
    const float last = lower.bottomDropOff();
    lower.setPrinting(true);
    testing::internal::CaptureStdout();
    lower.changeBottomDropOff(false);
    EXPECT_EQ(testing::internal::GetCapturedStdout().substr(0, 24), "Bottom drop-off is 0.000");
    EXPECT_EQ(lower.bottomDropOff(), last);
}

TEST(Construction, StageThreeRefinesEveryRowThreeTimes) {
    // 290 -> 146 -> 74 -> 38 -> 20: no level drops an odd last point, so refining the
    // coarsest rows three times reaches the once-coarsened length exactly.
    SketchModel model = modelAtStage(0, 290);
    SketchModel::PointList onceCoarsened = model.curve();
    coarsenCurve(onceCoarsened);
    model.next();
    model.next();
    model.setPrinting(true);
    testing::internal::CaptureStdout();
    model.next();
    const std::string printed = testing::internal::GetCapturedStdout();

    ASSERT_EQ(model.grid().size(), 51u);
    for (const SketchModel::PointList& row : model.grid())
        ASSERT_EQ(row.size(), onceCoarsened.size());
    for (std::size_t j = 0; j < onceCoarsened.size(); ++j) {
        EXPECT_NEAR(model.grid()[0][j][0], onceCoarsened[j][0], 1e-9);
        EXPECT_NEAR(model.grid()[0][j][1], onceCoarsened[j][1], 1e-9);
    }
    // Every row but the silhouette has its details shuffled on each level whose list is long
    // enough (more than 30 details): 36 and 72 details here, while the coarsest 18 stay.
    std::size_t shuffles = 0;
    for (std::size_t at = printed.find("moving "); at != std::string::npos;
         at = printed.find("moving ", at + 1))
        ++shuffles;
    EXPECT_EQ(shuffles, 2u * 50u);
    expectAllFinite(model.grid());
}

// Refining put the rows a refined column spacing (2 pixels) apart, and the terrain the user
// shaped in stage 2 came out an eighth as deep.
TEST(Construction, RowSpacingIsTheSilhouettesFirstBuildsThroughRefinementRestoreAndLoad) {
    SketchModel model = modelAtStage(0, 290);
    EXPECT_EQ(model.rowSpacing(), 0.0);
    model.next();
    const double stageOne = model.grid()[0][1][0] - model.grid()[0][0][0];
    EXPECT_EQ(model.rowSpacing(), stageOne);
    model.next();
    model.randomnessChanged(30);
    model.next();
    EXPECT_LT(model.grid()[0][1][0] - model.grid()[0][0][0], stageOne / 2);
    EXPECT_EQ(model.rowSpacing(), stageOne) << "refining leaves the rows where they were";

    // A restored state (an undo step, a project) brings the spacing back with the silhouette.
    SketchModel restored = quietModel();
    restored.restore(model.state());
    EXPECT_EQ(restored.rowSpacing(), stageOne);

    // A curve loaded now replaces the silhouette: the terrain is as deep as that curve's first
    // build would be, not as its dense columns.
    const std::string file = temporaryPath("other.c2d");
    std::string message;
    SketchModel other = modelAtStage(0, 121);
    ASSERT_TRUE(other.saveCurve(file, message)) << message;
    other.next();
    ASSERT_TRUE(model.loadCurve(file, message)) << message;
    EXPECT_EQ(model.rowSpacing(), other.rowSpacing());
    EXPECT_GT(model.rowSpacing(), 4 * (model.grid()[0][1][0] - model.grid()[0][0][0]));
}

TEST(Construction, CoarsenAndRefineUndoEachOther) {
    SketchModel model = modelAtStage(0);
    const SketchModel::PointList original = model.curve();
    model.coarsen();
    EXPECT_EQ(model.detailLevels().size(), 1u);
    EXPECT_EQ(model.curve().size(), original.size() / 2 + 1);
    model.refine();
    EXPECT_TRUE(model.detailLevels().empty());
    ASSERT_EQ(model.curve().size(), original.size());
    for (std::size_t i = 0; i < original.size(); ++i)
        EXPECT_NEAR(model.curve()[i][1], original[i][1], 1e-9) << i;

    model.refine(); // nothing left to refine with
    EXPECT_EQ(model.curve().size(), original.size());
}

// A profile edited in the editor can reach height 0 before its last point; the rows behind
// it used to be divided by that 0.
TEST(Construction, ZeroProfileHeightsKeepTheGridFinite) {
    SketchModel model = modelAtStage(1);
    SketchModel::PointList profile;
    for (int i = 0; i < 51; ++i)
        profile.emplace_back(i / 50.0, i < 20 ? 1.0 - i / 20.0 : 0.0);
    model.setGlobalProfile(profile);
    // Where the profile is 0 a row is the bottom row (0 here).
    for (int i = 20; i < 51; ++i)
        for (const gmVector2& point : model.grid()[static_cast<std::size_t>(i)])
            ASSERT_EQ(point[1], 0.0) << "row " << i;

    model.next();
    model.randomnessChanged(99);
    expectAllFinite(model.grid());
    model.next();
    expectAllFinite(model.grid());
}

// Profile heights are single precision: an edited global profile whose heights are not exact
// in float must be rounded before it weights the rows. An optimised build once carried the
// unrounded doubles on, so grids differed between build types.
TEST(Construction, EditedGlobalProfileHeightsAreRoundedToSinglePrecision) {
    SketchModel model = modelAtStage(1);
    SketchModel::PointList profile;
    for (int i = 0; i < 51; ++i)
        profile.emplace_back(i / 51.0, 1.0 - i / 51.0);
    model.setGlobalProfile(profile);

    const auto& grid = model.grid();
    for (int i = 1; i < 4; ++i) {
        const float w = static_cast<float>(profile[static_cast<std::size_t>(i)][1]);
        const float w2 = static_cast<float>(profile[static_cast<std::size_t>(i) - 1][1]);
        ASSERT_NE(static_cast<double>(w), profile[static_cast<std::size_t>(i)][1]);
        for (std::size_t j = 0; j < grid[0].size(); ++j) {
            const double top = grid[0][j][1], bottom = grid[50][j][1];
            const double prev = grid[static_cast<std::size_t>(i) - 1][j][1];
            double y = w * top + (1.0f - w) * bottom;
            y = (y + (prev / w2) * w + (1.0f - w) * bottom) / 2;
            ASSERT_EQ(grid[static_cast<std::size_t>(i)][j][1], y)
                << "row " << i << ", column " << j;
        }
    }
}

// A profile that touches 0 and rises again: the row after the 0 cannot rescale the row before
// it and takes the blend of silhouette and bottom alone, not half of it.
TEST(Construction, ARowAfterAZeroProfileHeightTakesTheBlendAlone) {
    SketchModel model = modelAtStage(1);
    SketchModel::PointList profile;
    for (int i = 0; i < 51; ++i)
        profile.emplace_back(i / 50.0, i == 10 ? 0.0 : 0.5);
    model.setGlobalProfile(profile);
    const auto& grid = model.grid();
    for (std::size_t j = 0; j < grid[0].size(); ++j) {
        const double top = grid[0][j][1], bottom = grid[50][j][1];
        ASSERT_EQ(grid[11][j][1], 0.5 * top + 0.5 * bottom) << "column " << j;
    }
}

TEST(Construction, CompletesOnAnEmptiedOrShortenedCurveAndShortProfiles) {
    SketchModel model = modelAtStage(1);
    model.clearCurve();
    model.randomnessChanged(10);
    ASSERT_EQ(model.grid().size(), 51u);
    for (const SketchModel::PointList& row : model.grid())
        EXPECT_TRUE(row.empty());

    drawCurveOfLength(model, 12);
    model.setGlobalProfile({{0, 1}, {0.5, 0.5}}); // far fewer points than rows
    model.next();
    model.next();
    ASSERT_EQ(model.grid().size(), 51u);
    expectAllFinite(model.grid());
}

TEST(Construction, BuildingBeforeTheFirstNextDoesNotCrash) {
    SketchModel model = modelAtStage(0);
    model.randomnessChanged(30); // no profile exists yet
    ASSERT_EQ(model.grid().size(), 51u);
    expectAllFinite(model.grid());
    std::string message;
    EXPECT_FALSE(model.exportGRD(modeltesting::temporaryPath("early.grd"), message));
}

// Every line of a run arrives at the one sink in the order it was printed, the detail
// shuffle's lines among the model's own.
TEST(Construction, OneSinkCarriesAWholeRunInOrder) {
    SketchModel model = modeltesting::quietModel();
    modeltesting::drawCurveOfLength(model, 290);
    model.setPrinting(true);
    std::string printed;
    {
        const PrintCapture capture;
        model.next();
        model.next();
        model.next();
        printed = capture.text();
    }
    const std::string stageTwo = "In next\nfinished next\n";
    const std::string build = "In next\nmaking new mountain\n\n";
    ASSERT_EQ(printed.substr(0, build.size()), build);
    EXPECT_NE(printed.find(stageTwo), std::string::npos);
    const std::size_t shuffle = printed.find("moving ");
    EXPECT_GT(shuffle, printed.find(stageTwo));
    EXPECT_EQ(printed.substr(printed.size() - 14), "finished next\n");
}

// The builder reaches stage 3 with one construction; the grid must be the one the window
// gets by entering stage 3 and then moving the slider.
TEST(Construction, DetailRandomnessSetBeforeRefiningGivesTheSliderGrid) {
    SketchModel slider = modelAtStage(2);
    SketchModel preset = slider;
    slider.next();
    slider.randomnessChanged(63);
    const std::vector<SketchModel::PointList> unrefined = preset.grid();
    preset.setDetailRandomness(63);
    EXPECT_TRUE(preset.grid() == unrefined) << "nothing to rebuild before the rows are refined";
    preset.next();
    EXPECT_EQ(preset.detailRandomness(), slider.detailRandomness());
    ASSERT_EQ(preset.grid().size(), slider.grid().size());
    for (std::size_t r = 0; r < slider.grid().size(); ++r) {
        const SketchModel::PointList& a = preset.grid()[r];
        const SketchModel::PointList& b = slider.grid()[r];
        ASSERT_EQ(a.size(), b.size());
        ASSERT_EQ(std::memcmp(a.data(), b.data(), a.size() * sizeof(gmVector2)), 0) << "row " << r;
    }
}
