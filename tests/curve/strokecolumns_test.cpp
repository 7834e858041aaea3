// What a freehand silhouette stroke means when it is not a plain function of x.
#include <algorithm>
#include <vector>

#include <gtest/gtest.h>

#include "curve/strokecolumns.h"

namespace {

using Points = std::vector<gmVector2>;

} // namespace

TEST(StrokeColumns, ClicksAndTurnsAreRecognised) {
    EXPECT_TRUE(strokeTooShort({}, 3.0));
    EXPECT_TRUE(strokeTooShort({{5, 5}, {5, 5}}, 3.0));
    EXPECT_TRUE(strokeTooShort({{5, 5}, {7, 7}, {5, 6}}, 3.0));
    EXPECT_FALSE(strokeTooShort({{5, 5}, {5, 8}, {5, 5}}, 3.0)); // a flick up and back
    EXPECT_FALSE(strokeDoublesBack({{1, 0}, {1, 5}, {4, 2}, {9, 9}}));
    EXPECT_FALSE(strokeDoublesBack({{9, 0}, {4, 5}, {4, 2}, {1, 9}}));
    EXPECT_TRUE(strokeDoublesBack({{1, 0}, {4, 5}, {3, 2}}));
    EXPECT_TRUE(strokeOnWholeColumns({{1, 0.5}, {-4, 5}}));
    EXPECT_FALSE(strokeOnWholeColumns({{1, 0}, {4.5, 5}}));
}

// The highest segment over each column wins, and the drawing order does not matter.
TEST(StrokeColumns, UpperEnvelopeIsTheSkylineInAnyOrder) {
    // Out along y = x, back below it, then a vertical flick at x = 3 that reaches highest.
    const Points stroke = {{0, 0}, {6, 6}, {1, 2}, {3, 2}, {3, 9}, {3, 1}};
    Points forwards = stroke;
    Points backwards(stroke.rbegin(), stroke.rend());
    upperEnvelopeColumns(forwards);
    upperEnvelopeColumns(backwards);
    const Points expected = {{0, 0}, {1, 2}, {2, 2.8}, {3, 9}, {4, 4.4}, {5, 5.2}, {6, 6}};
    ASSERT_EQ(forwards.size(), expected.size());
    for (std::size_t i = 0; i < expected.size(); ++i) {
        EXPECT_EQ(forwards[i][0], expected[i][0]);
        EXPECT_NEAR(forwards[i][1], expected[i][1], 1e-12) << "at x = " << expected[i][0];
        EXPECT_EQ(backwards[i][0], forwards[i][0]);
        EXPECT_NEAR(backwards[i][1], forwards[i][1], 1e-12);
    }
}
