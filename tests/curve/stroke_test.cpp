#include <gtest/gtest.h>

#include <cmath>
#include <vector>

#include "curve/stroke.h"

namespace {

using Points = std::vector<gmVector2>;

// Heights and interpolation fractions pass through single precision.
constexpr double singleTolerance = 1e-6;

void expectAllFinite(const Points& points) {
    for (std::size_t i = 0; i < points.size(); ++i)
        EXPECT_TRUE(std::isfinite(points[i][0]) && std::isfinite(points[i][1]))
            << "point " << i << " = (" << points[i][0] << ", " << points[i][1] << ")";
}

TEST(RegularizeColumns, MergesEqualColumnsAndFillsGaps) {
    // Equal x values merge into one point at their mean height, also for the last run; the
    // filler between them heads for the first point of the next run.
    Points points{{3, 1}, {1, 2}, {3, 5}, {1, 4}};
    regularizeColumns(points);
    ASSERT_EQ(points.size(), 3u);
    EXPECT_EQ(points[0][0], 1.0);
    EXPECT_EQ(points[0][1], 3.0);
    EXPECT_EQ(points[1][0], 2.0);
    EXPECT_EQ(points[1][1], 2.0);
    EXPECT_EQ(points[2][0], 3.0);
    EXPECT_EQ(points[2][1], 3.0);

    Points line{{0, 0}, {4, 8}, {5.5, 2}};
    regularizeColumns(line);
    ASSERT_EQ(line.size(), 6u) << "a gap under two units gets no fillers";
    for (int q = 0; q <= 4; ++q) {
        EXPECT_EQ(line[q][0], q);
        EXPECT_NEAR(line[q][1], 2.0 * q, singleTolerance);
    }
    EXPECT_EQ(line[4][1], 8.0);
    EXPECT_EQ(line[5][0], 5.5);
}

TEST(RegularizeColumns, ShortListsStayAsTheyAre) {
    Points empty;
    regularizeColumns(empty);
    EXPECT_TRUE(empty.empty());
    Points one{{2.5, 7}};
    regularizeColumns(one);
    ASSERT_EQ(one.size(), 1u);
    EXPECT_EQ(one[0][0], 2.5);
    EXPECT_EQ(one[0][1], 7.0);
}

TEST(RegularizeColumns, FarAwayPointsDoNotFloodTheList) {
    // Regression: a stray point far off would have asked for a filler per unit (and the int
    // conversion of the gap overflowed).
    Points points{{0, 0}, {1e12, 1}, {1e300, 2}};
    regularizeColumns(points);
    EXPECT_EQ(points.size(), 3u);

    // Regression: the single-precision mean of huge heights overflowed to infinity.
    Points tall{{1, 3e38}, {1, 3e38}, {1, 1e300}};
    regularizeColumns(tall);
    ASSERT_EQ(tall.size(), 1u);
    expectAllFinite(tall);
}

TEST(CleanupLine, SinglePointGivesRampThenFlatBottom) {
    Points points{{0.5, 0.5}};
    cleanupLine(points, 100);
    ASSERT_EQ(points.size(), 101u);
    for (int i = 0; i <= 100; ++i) {
        EXPECT_NEAR(points[i][0], i / 100.0, 1e-12) << i;
        const double expected = i < 50 ? 1.0 - i / 50.0 : 0.0;
        EXPECT_NEAR(points[i][1], expected, singleTolerance) << i;
    }
    EXPECT_EQ(points.front()[1], 1.0);
    EXPECT_NEAR(points[1][1], 0.98, singleTolerance);
    EXPECT_NEAR(points[49][1], 0.02, singleTolerance);
}

TEST(CleanupLine, TailOvershootsThenEndsAtTheEdge) {
    Points points{{0.995, 0.4}, {0.2, 0.3}};
    cleanupLine(points, 100);
    ASSERT_GE(points.size(), 3u);
    const std::size_t n = points.size();
    EXPECT_NEAR(points[n - 3][0], 0.995, 1e-12);
    EXPECT_NEAR(points[n - 2][0], 1.005, 1e-12);
    EXPECT_EQ(points[n - 1][0], 1.0);
    EXPECT_EQ(points[n - 3][1], points[n - 1][1]);
    EXPECT_EQ(points[n - 2][1], points[n - 1][1]);
    EXPECT_EQ(points.front()[0], 0.0);
    EXPECT_EQ(points.front()[1], 1.0);
}

TEST(CleanupLine, PointsBeyondTheBoxAreClampedAndMerged) {
    // (1.5, 0.6) and (2, 0.8) both land on x = 1 and merge at height 0.7; the lowest point, at
    // 0.2, becomes 0, so 0.7 becomes 0.625. The point above the box counts as height 1.
    Points points{{0.5, 0.2}, {1.5, 0.6}, {2.0, 0.8}, {0.3, 5.0}};
    cleanupLine(points, 10);
    EXPECT_EQ(points.back()[0], 1.0);
    EXPECT_NEAR(points.back()[1], 0.625, singleTolerance);
    EXPECT_LT(points[points.size() - 2][0], 1.0) << "one point at the right edge";
    EXPECT_NEAR(points[3][0], 0.3, 1e-12);
    EXPECT_NEAR(points[3][1], 1.0, singleTolerance);
    for (const gmVector2& p : points) {
        EXPECT_GE(p[1], -singleTolerance);
        EXPECT_LE(p[1], 1.0 + singleTolerance);
    }
}

TEST(CleanupLine, RampStartsFromTheFirstPointInsideTheBox) {
    Points nearEdge{{0.005, 0.5}, {0.5, 0.0}};
    cleanupLine(nearEdge, 100);
    EXPECT_NEAR(nearEdge.front()[0], 0.005, 1e-12) << "no ramp within a unit of the edge";
    EXPECT_NEAR(nearEdge.front()[1], 0.5, singleTolerance);

    // The point left of the box goes first; the ramp then runs from (0, 1) to (0.12, 0.6).
    Points leftOfEdge{{-0.05, 0.3}, {0.12, 0.6}, {0.5, 0.0}};
    cleanupLine(leftOfEdge, 10);
    ASSERT_GE(leftOfEdge.size(), 2u);
    EXPECT_EQ(leftOfEdge[0][0], 0.0);
    EXPECT_EQ(leftOfEdge[0][1], 1.0);
    EXPECT_NEAR(leftOfEdge[1][0], 0.12, 1e-12);
    EXPECT_NEAR(leftOfEdge[1][1], 0.6, singleTolerance);
}

TEST(CleanupLine, DegenerateStrokes) {
    // Regression: with nothing left after dropping the points left of the box, the ramp read
    // a first point that did not exist. Now there is no profile at all.
    Points leftOfBox{{-0.5, 0.5}, {-0.2, 0.1}};
    cleanupLine(leftOfBox, 100);
    EXPECT_TRUE(leftOfBox.empty());

    // Regression: with no height below the top the normalisation divided by zero (NaN), or,
    // where the ramp's rounding left a height a hair below 1, inflated that into heights of 1.5.
    Points atTop{{0.3, 1.0}, {0.6, 1.5}};
    cleanupLine(atTop, 49);
    ASSERT_FALSE(atTop.empty());
    for (const gmVector2& p : atTop)
        EXPECT_EQ(p[1], 1.0);

    Points empty;
    cleanupLine(empty, 100);
    EXPECT_TRUE(empty.empty());
}

TEST(CleanupLine, HugeCoordinatesStayFinite) {
    // Regression: scaling overflowed and the single-precision minimum became -inf, giving NaN.
    Points points{{-1e300, 5}, {0.5, -1e300}, {0.7, 1e300}, {0.9, -1e39}};
    cleanupLine(points, 100);
    ASSERT_FALSE(points.empty());
    EXPECT_LT(points.size(), 200u);
    expectAllFinite(points);
}

TEST(ResampleLine, InterpolatesAlongTheIndex) {
    Points parabola{{0, 0}, {1, 1}, {2, 4}, {3, 9}};
    resampleLine(parabola, 5);
    const double expected[][2] = {{0, 0}, {0.8, 0.8}, {1.6, 2.8}, {2.4, 6.0}, {3, 9}};
    ASSERT_EQ(parabola.size(), 5u);
    for (int i = 0; i < 5; ++i) {
        EXPECT_NEAR(parabola[i][0], expected[i][0], singleTolerance) << i;
        EXPECT_NEAR(parabola[i][1], expected[i][1], 1e-5) << i;
    }

    // The ratio is count / n: the interior samples stop short and the last step is longer.
    Points line;
    for (int i = 0; i < 101; ++i)
        line.emplace_back(i, -i);
    resampleLine(line, 51);
    ASSERT_EQ(line.size(), 51u);
    EXPECT_NEAR(line[1][0], 1.98039, 1e-4);
    EXPECT_NEAR(line[49][0], 97.0392, 1e-3);
    EXPECT_EQ(line[50][0], 100.0);
}

TEST(ResampleLine, SameCountTwoPointsAndTooShort) {
    const Points original{{0, 3}, {0.25, 1}, {0.5, 4}, {0.75, 1}, {1, 5}};
    Points same = original;
    resampleLine(same, 5);
    ASSERT_EQ(same.size(), 5u);
    for (int i = 0; i < 5; ++i) {
        EXPECT_EQ(same[i][0], original[i][0]);
        EXPECT_EQ(same[i][1], original[i][1]);
    }

    Points ends = original;
    resampleLine(ends, 2);
    ASSERT_EQ(ends.size(), 2u);
    EXPECT_EQ(ends[0][1], 3.0);
    EXPECT_EQ(ends[1][1], 5.0);

    Points unchanged = original;
    resampleLine(unchanged, 1);
    EXPECT_EQ(unchanged.size(), 5u);
    Points single{{1, 1}};
    resampleLine(single, 10);
    EXPECT_EQ(single.size(), 1u);
}

TEST(ResampleLine, PositionsPastTheEndUseTheLastPoint) {
    // Regression: asked for more than twice its count, the resampling read past the list.
    Points points;
    for (int i = 0; i < 10; ++i)
        points.emplace_back(i, i * i);
    resampleLine(points, 394);
    ASSERT_EQ(points.size(), 394u);
    expectAllFinite(points);
    const float ratio = 10.0f / 394.0f;
    for (int i = 1; i < 393; ++i) {
        if (static_cast<float>(i) * ratio > 9.0f) {
            EXPECT_EQ(points[i][0], 9.0) << i;
            EXPECT_EQ(points[i][1], 81.0) << i;
        }
        EXPECT_LE(points[i - 1][0], points[i][0]) << i;
    }
}

} // namespace
