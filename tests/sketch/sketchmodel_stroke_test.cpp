// Stroke capture and the merge of processed strokes into the curve.
#include <algorithm>
#include <climits>
#include <cmath>
#include <cstdlib>

#include <gtest/gtest.h>

#include "curve/strokejoin.h"
#include "modeltesting.h"

using modeltesting::drawCurve;
using modeltesting::drawStroke;
using modeltesting::quietModel;

namespace {

std::function<double(int)> flat(double height) {
    return [height](int) { return height; };
}

// Every column from first to last exactly once, heights from the given function.
void expectColumns(const SketchModel::PointList& curve, int first, int last,
                   const std::function<double(int)>& height) {
    ASSERT_EQ(curve.size(), static_cast<std::size_t>(last - first + 1));
    for (std::size_t i = 0; i < curve.size(); ++i) {
        const int x = first + static_cast<int>(i);
        ASSERT_EQ(curve[i][0], x) << "point " << i;
        ASSERT_EQ(curve[i][1], height(x)) << "at x = " << x;
    }
}

// Every column from first to last exactly once. Columns of the newest stroke hold its
// heights exactly; the old curve's columns hold theirs, except next to a join, where they lie
// between the old and the new height, closer to the new one nearer the join.
void expectMerged(const SketchModel::PointList& curve, int first, int last,
                  const std::function<double(int)>& oldHeight,
                  const std::function<double(int)>& newHeight, int newFirst, int newLast) {
    ASSERT_EQ(curve.size(), static_cast<std::size_t>(last - first + 1));
    for (std::size_t i = 0; i < curve.size(); ++i) {
        const int x = first + static_cast<int>(i);
        ASSERT_EQ(curve[i][0], x) << "point " << i;
        if (x >= newFirst && x <= newLast) {
            ASSERT_EQ(curve[i][1], newHeight(x)) << "at x = " << x;
            continue;
        }
        const int joinX = x < newFirst ? newFirst : newLast;
        const int distance = std::abs(x - joinX);
        const double step = oldHeight(x) - newHeight(joinX);
        if (distance > static_cast<int>(strokeJoinWidth(step))) {
            ASSERT_EQ(curve[i][1], oldHeight(x)) << "at x = " << x;
            continue;
        }
        const double eased = (oldHeight(x) - curve[i][1]) / step; // 1 at the join, towards 0
        EXPECT_GT(eased, 0.0) << "at x = " << x;
        EXPECT_LT(eased, 1.0) << "at x = " << x;
    }
    // No step between neighbours is larger than the eased join allows.
    for (std::size_t i = 1; i < curve.size(); ++i)
        EXPECT_LT(std::fabs(curve[i][1] - curve[i - 1][1]), 4.0) << "at x = " << curve[i][0];
}

} // namespace

TEST(StrokeCapture, MouseYIsFlippedByTheViewHeight) {
    SketchModel model = quietModel();
    model.beginStroke(30, 100);
    model.extendStroke(-5, 650); // dragged out of the view: kept as it is
    ASSERT_EQ(model.stroke().size(), 2u);
    EXPECT_EQ(model.stroke()[0][0], 30);
    EXPECT_EQ(model.stroke()[0][1], 500);
    EXPECT_EQ(model.stroke()[1][0], -5);
    EXPECT_EQ(model.stroke()[1][1], -50);
    model.beginStroke(1, 1); // a new press discards the unprocessed stroke
    EXPECT_EQ(model.stroke().size(), 1u);
}

// A stray click or a double-click once made a spike in the skyline.
TEST(StrokeCapture, ClicksAndTwitchesAreNoLineAndLeaveTheCurve) {
    SketchModel model = quietModel();
    drawStroke(model, {{50, 100}});
    EXPECT_EQ(model.stroke().size(), 2u);
    EXPECT_EQ(model.processLine(), SketchModel::StrokeResult::tooShort);
    EXPECT_TRUE(model.curve().empty());
    EXPECT_TRUE(model.stroke().empty());

    drawCurve(model, 0, 200, flat(100));
    for (const auto& click : std::vector<std::vector<std::pair<int, int>>>{
             {{60, 100}}, {{60, 100}, {61, 99}}, {{60, 100}, {62, 101}, {60, 102}}}) {
        drawStroke(model, click);
        EXPECT_EQ(model.processLine(), SketchModel::StrokeResult::tooShort);
        expectColumns(model.curve(), 0, 200, flat(100));
    }
    // Three pixels from the start is a line.
    drawStroke(model, {{60, 100}, {63, 100}});
    EXPECT_EQ(model.processLine(), SketchModel::StrokeResult::processed);
    EXPECT_EQ(model.processLine(), SketchModel::StrokeResult::nothingDrawn);
}

TEST(StrokeCapture, RightToLeftGivesTheSameCurveAsLeftToRight) {
    const std::vector<std::pair<int, int>> path = {{10, 300}, {14, 280}, {20, 320}, {21, 310}};
    SketchModel forwards = quietModel();
    drawStroke(forwards, path);
    forwards.processLine();
    SketchModel backwards = quietModel();
    drawStroke(backwards, {path.rbegin(), path.rend()});
    backwards.processLine();
    ASSERT_EQ(forwards.curve().size(), 12u);
    ASSERT_EQ(backwards.curve().size(), forwards.curve().size());
    for (std::size_t i = 0; i < forwards.curve().size(); ++i) {
        EXPECT_EQ(backwards.curve()[i][0], forwards.curve()[i][0]);
        EXPECT_EQ(backwards.curve()[i][1], forwards.curve()[i][1]);
    }
}

TEST(StrokeCapture, ProcessingNothingKeepsTheCurve) {
    SketchModel model = quietModel();
    drawCurve(model, 0, 10, flat(5));
    model.processLine();
    expectColumns(model.curve(), 0, 10, flat(5));
}

TEST(StrokeCapture, ClearCurveEmptiesStrokeAndCurveOnly) {
    SketchModel model = quietModel();
    modeltesting::drawCurveOfLength(model, 300);
    model.next();
    const std::size_t rows = model.grid().size();
    drawStroke(model, {{1, 1}, {5, 5}});
    model.clearCurve();
    EXPECT_TRUE(model.curve().empty());
    EXPECT_TRUE(model.stroke().empty());
    EXPECT_EQ(model.stage(), 1);
    EXPECT_EQ(model.grid().size(), rows);
    EXPECT_EQ(model.detailLevels().size(), 4u);
}

// A second stroke starting right of the curve's first column redraws from there on.
TEST(CurveMerge, StrokeInsideTheCurveRedrawsItsColumnsOnly) {
    SketchModel model = quietModel();
    drawCurve(model, 0, 400, flat(100));
    drawCurve(model, 100, 300, flat(200));
    expectMerged(model.curve(), 0, 400, flat(100), flat(200), 100, 300);
}

TEST(CurveMerge, StrokeRunningPastTheEndExtendsTheCurve) {
    SketchModel model = quietModel();
    drawCurve(model, 0, 400, flat(100));
    drawCurve(model, 500, 300, flat(200)); // drawn right to left
    expectMerged(model.curve(), 0, 500, flat(100), flat(200), 300, 500);
}

TEST(CurveMerge, StrokeWhollyRightOfTheCurveIsAppendedAfterAGap) {
    SketchModel model = quietModel();
    drawCurve(model, 0, 40, flat(100));
    drawCurve(model, 50, 60, flat(200));
    const SketchModel::PointList& curve = model.curve();
    ASSERT_EQ(curve.size(), 41u + 11u);
    EXPECT_EQ(curve[40][0], 40);
    EXPECT_EQ(curve[41][0], 50);
    EXPECT_EQ(curve[41][1], 200);
    EXPECT_EQ(curve.back()[0], 60);
}

// Strokes starting at or left of the curve's first column replace the curve up to their last
// column; the old curve continues in the very next column.
TEST(CurveMerge, StrokeAcrossTheCurvesStartLeavesNoColumnMissingOrDoubled) {
    SketchModel model = quietModel();
    drawCurve(model, 100, 300, flat(100));
    drawCurve(model, 50, 200, flat(200));
    expectMerged(model.curve(), 50, 300, flat(100), flat(200), 50, 200);
}

TEST(CurveMerge, StrokeFromTheCurvesFirstColumnEndingInsideKeepsTheRest) {
    SketchModel model = quietModel();
    drawCurve(model, 100, 300, flat(100));
    drawCurve(model, 100, 200, flat(200));
    expectMerged(model.curve(), 100, 300, flat(100), flat(200), 100, 200);
}

TEST(CurveMerge, StrokeWhollyBeforeTheCurveIsFollowedByTheWholeCurve) {
    SketchModel model = quietModel();
    drawCurve(model, 100, 150, flat(100));
    drawCurve(model, 10, 40, flat(200));
    const SketchModel::PointList& curve = model.curve();
    ASSERT_EQ(curve.size(), 31u + 51u);
    EXPECT_EQ(curve[30][0], 40);
    EXPECT_EQ(curve[31][0], 100);
    EXPECT_EQ(curve.back()[0], 150);
}

TEST(CurveMerge, StrokeCoveringTheWholeCurveReplacesIt) {
    SketchModel model = quietModel();
    drawCurve(model, -20, 30, flat(100)); // negative x from a drag out of the left edge
    drawCurve(model, -40, 60, flat(300));
    expectColumns(model.curve(), -40, 60, flat(300));
}

TEST(CurveMerge, ColumnKeySaturatesInsteadOfOverflowing) {
    // Curves loaded from files may hold any coordinates.
    SketchModel model = quietModel();
    EXPECT_EQ(model.columnKey(0), 400);
    EXPECT_EQ(model.columnKey(1e300), INT_MAX);
    EXPECT_EQ(model.columnKey(-1e300), INT_MIN);
}

namespace {

// Mouse points every `step` pixels along a straight drag, the last point included.
void dragTo(std::vector<std::pair<int, int>>& mouse, int x1, int y1, int step) {
    const auto [x0, y0] = mouse.back();
    const int n = std::max(1, std::abs(x1 - x0) / step);
    for (int i = 1; i <= n; ++i)
        mouse.emplace_back(x0 + (x1 - x0) * i / n, y0 + (y1 - y0) * i / n);
}

} // namespace

// Averaging the passes of a stroke that turns back once gave a saw-tooth of spikes: the
// skyline is the highest pass over every column, whatever the order of the points.
TEST(StrokeCapture, StrokesThatDoubleBackBecomeTheirSkyline) {
    // Right 390 px rising, back 240 px going down, then out of the view's right edge and
    // back in again lower down.
    std::vector<std::pair<int, int>> mouse = {{100, 400}};
    dragTo(mouse, 490, 205, 6);  // height 200 + (x - 100) / 2, on whole pixels
    dragTo(mouse, 250, 450, 11); // below the first pass
    dragTo(mouse, 830, 300, 9);  // past the right edge (800)...
    dragTo(mouse, 760, 380, 5);  // ...and back, lower
    const auto outbound = [](int x) { return 200.0 + (x - 100) / 2.0; };
    for (const bool reversed : {false, true}) {
        SketchModel model = quietModel();
        drawStroke(model, reversed ? std::vector<std::pair<int, int>>(mouse.rbegin(), mouse.rend())
                                   : mouse);
        ASSERT_EQ(model.processLine(), SketchModel::StrokeResult::processed);
        const auto& curve = model.curve();
        ASSERT_EQ(curve.size(), 731u);
        for (std::size_t i = 0; i < curve.size(); ++i) {
            const int x = 100 + static_cast<int>(i);
            ASSERT_EQ(curve[i][0], x);
            if (x <= 490) // the first pass is the highest there
                EXPECT_NEAR(curve[i][1], outbound(x), 1e-9) << "at x = " << x;
            else // the third pass, from (250, 150) to (830, 300)
                EXPECT_NEAR(curve[i][1], 150.0 + (x - 250) * 150.0 / 580.0, 1.0) << "at x = " << x;
        }
    }
}

TEST(StrokeCapture, CloseCurveGoesBackToDrawingFromAnyStage) {
    SketchModel model = quietModel();
    modeltesting::drawCurveOfLength(model, 300);
    model.next();
    model.next();
    model.changeBottomDropOff(true);
    model.closeCurve();
    EXPECT_EQ(model.currentStage(), Stage::curveDrawing);
    EXPECT_TRUE(model.curve().empty());
    EXPECT_TRUE(model.grid().empty());
    EXPECT_TRUE(model.detailLevels().empty());
    EXPECT_FLOAT_EQ(model.bottomDropOff(), 0.35f); // the user's setting stays
    std::string why;
    EXPECT_FALSE(model.checkStage(why));
    // And it works from there as a fresh start does.
    modeltesting::drawCurveOfLength(model, 300);
    model.next();
    EXPECT_EQ(model.gridColumns(), SketchModel::coarsenedColumns(300));
}

TEST(StrokeCapture, ResetPutsTheStagesSettingsBack) {
    SketchModel model = quietModel();
    modeltesting::drawCurveOfLength(model, 300);
    model.next();
    model.next();
    const auto firstGrid = model.grid();
    model.randomnessChanged(60);
    model.changeBottomDropOff(false);
    model.resetStageSettings();
    EXPECT_EQ(model.profileRandomness(), 0.0f);
    EXPECT_EQ(model.bottomDropOff(), 0.3f);
    EXPECT_EQ(model.grid(), firstGrid);
    model.next();
    model.randomnessChanged(70);
    model.resetStageSettings();
    EXPECT_EQ(RandomnessSlider::toValue(model.detailRandomness()), 20);
}
