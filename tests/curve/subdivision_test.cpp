#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <vector>

#include "curve/random15.h"
#include "curve/subdivision.h"

namespace {

using Points = std::vector<gmVector2>;

Points onLine(int count, double slope) {
    Points points;
    for (int i = 0; i < count; ++i)
        points.emplace_back(i, slope * i);
    return points;
}

// A wiggly curve with heights of mixed magnitude, so that rounding has something to act on.
Points wiggly(int count, Random15& rng) {
    Points points;
    double x = 0.0;
    for (int i = 0; i < count; ++i) {
        x += 0.5 + rng.next() / 32768.0;
        points.emplace_back(x, 300.0 * std::sin(0.37 * i) + rng.next() / 97.0);
    }
    return points;
}

// Equal up to `ulps` units of the last place of the curve's largest coordinate: the formulas
// cancel, so a small height can carry the rounding error of a large neighbour.
::testing::AssertionResult nearlyEqual(const Points& actual, const Points& expected, int ulps) {
    if (actual.size() != expected.size())
        return ::testing::AssertionFailure()
               << "size " << actual.size() << " instead of " << expected.size();
    double scale = 1.0;
    for (const gmVector2& p : expected)
        scale = std::max({scale, std::fabs(p[0]), std::fabs(p[1])});
    const double tolerance = ulps * scale * 2.220446049250313e-16;
    for (std::size_t i = 0; i < expected.size(); ++i)
        for (int k = 0; k < 2; ++k)
            if (!(std::fabs(actual[i][k] - expected[i][k]) <= tolerance))
                return ::testing::AssertionFailure() << "point " << i << " component " << k << ": "
                                                     << actual[i][k] << " vs " << expected[i][k];
    return ::testing::AssertionSuccess();
}

TEST(Subdivision, CoarseningAStraightLineStaysOnIt) {
    Points curve = onLine(12, 2.0);
    coarsenCurve(curve);
    const double expectedX[] = {0, 1.75, 3.5, 5.5, 7.5, 9.25, 11};
    ASSERT_EQ(curve.size(), 7u);
    for (std::size_t i = 0; i < curve.size(); ++i) {
        EXPECT_EQ(curve[i][0], expectedX[i]) << i;
        EXPECT_EQ(curve[i][1], 2.0 * expectedX[i]) << i;
    }
}

TEST(Subdivision, RefiningWithZeroDetailsIsChaikinWithMidpointEnds) {
    Points curve = onLine(5, 0.0);
    refineCurve(curve, Points(3));
    const double expectedX[] = {0, 0.5, 1.25, 1.75, 2.25, 2.75, 3.5, 4};
    ASSERT_EQ(curve.size(), 8u);
    for (std::size_t i = 0; i < curve.size(); ++i) {
        EXPECT_EQ(curve[i][0], expectedX[i]) << i;
        EXPECT_EQ(curve[i][1], 0.0) << i;
    }
}

TEST(Subdivision, SizesThroughRepeatedCoarsening) {
    Points curve = onLine(394, 1.0);
    const std::size_t coarseSizes[] = {198, 100, 51, 26, 14};
    const std::size_t detailSizes[] = {196, 98, 49, 24, 12};
    for (int level = 0; level < 5; ++level) {
        Points details = curve;
        curveDetails(details);
        coarsenCurve(curve);
        EXPECT_EQ(curve.size(), coarseSizes[level]) << level;
        EXPECT_EQ(details.size(), detailSizes[level]) << level;
    }
}

TEST(Subdivision, RefineRestoresTheFineCurve) {
    Random15 rng(7);
    for (int n = 8; n <= 401; ++n) {
        const Points fine = wiggly(n, rng);
        Points coarse = fine, details = fine;
        coarsenCurve(coarse);
        curveDetails(details);
        ASSERT_EQ(details.size(), coarse.size() - 2) << n;
        refineCurve(coarse, details);
        const Points expected(fine.begin(), fine.begin() + (n / 2) * 2); // odd: less the last
        ASSERT_TRUE(nearlyEqual(coarse, expected, 4)) << "n = " << n;
    }
}

TEST(Subdivision, ShortListsAreOnlyEvened) {
    for (int n : {0, 1, 6, 7}) {
        Points coarse = onLine(n, 1.0), details = coarse;
        coarsenCurve(coarse);
        curveDetails(details);
        const Points expected = onLine(n / 2 * 2, 1.0);
        EXPECT_TRUE(nearlyEqual(coarse, expected, 0)) << n;
        EXPECT_TRUE(nearlyEqual(details, expected, 0)) << n;
    }
}

TEST(Subdivision, RefineNeedsFiveCoarsePointsAndEnoughDetails) {
    Points four = onLine(4, 1.0);
    refineCurve(four, Points(10));
    EXPECT_TRUE(nearlyEqual(four, onLine(4, 1.0), 0));

    Points six = onLine(6, 1.0);
    refineCurve(six, Points(3));
    EXPECT_TRUE(nearlyEqual(six, onLine(6, 1.0), 0)) << "6 coarse points need 4 details";

    // Details past d(m - 3) are ignored.
    Points withExtra = onLine(6, 1.0), exact = withExtra;
    Points details(4, gmVector2(0.25, -1.0));
    refineCurve(exact, details);
    details.resize(9, gmVector2(1e6, 1e6));
    refineCurve(withExtra, details);
    EXPECT_TRUE(nearlyEqual(withExtra, exact, 0));
}

} // namespace
