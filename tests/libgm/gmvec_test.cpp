#include <gtest/gtest.h>

#include "libgm/gmvec2.h"
#include "libgm/gmvec3.h"

namespace {

TEST(GmIsZero, ToleranceIsStrict) {
    EXPECT_FALSE(gmIsZero(1e-10));
    EXPECT_FALSE(gmIsZero(-1e-10));
    EXPECT_TRUE(gmIsZero(9.9e-11));
    EXPECT_TRUE(gmIsZero(-9.9e-11));
    EXPECT_TRUE(gmIsZero(0.0));
    EXPECT_TRUE(gmIsZero(-0.0));
}

TEST(GmVector2, DefaultsAndArithmetic) {
    const gmVector2 zero;
    EXPECT_EQ(zero[0], 0.0);
    EXPECT_EQ(zero[1], 0.0);

    const gmVector2 a(1.0, 2.0), b(0.5, -4.0);
    const gmVector2 sum = a + b, diff = a - b, scaled = 3.0 * a;
    EXPECT_EQ(sum[0], 1.5);
    EXPECT_EQ(sum[1], -2.0);
    EXPECT_EQ(diff[0], 0.5);
    EXPECT_EQ(diff[1], 6.0);
    EXPECT_EQ(scaled[0], 3.0);
    EXPECT_EQ(scaled[1], 6.0);

    gmVector2 c = a;
    c *= -2.0;
    EXPECT_EQ(c[0], -2.0);
    EXPECT_EQ(c[1], -4.0);
    c[1] = 7.0;
    EXPECT_EQ(c[1], 7.0);
    EXPECT_EQ(a[1], 2.0) << "copies are independent";
}

TEST(GmVector2, DivisionMultipliesByTheRoundedReciprocal) {
    const gmVector2 half = gmVector2(3.0, 4.0) / 2.0;
    EXPECT_EQ(half[0], 1.5);
    EXPECT_EQ(half[1], 2.0);

    // The tolerance is strict, so 1e-10 is a valid divisor.
    const gmVector2 big = gmVector2(1.0, 1.0) / 1e-10;
    EXPECT_EQ(big[0], 1.0 / 1e-10);
    EXPECT_EQ(big[1], 1.0 / 1e-10);

    // 49 is a divisor for which x * (1/49) differs from x / 49 in the last bit.
    const double r = 1.0 / 49.0;
    const gmVector2 q = gmVector2(49.0, 98.0) / 49.0;
    EXPECT_EQ(q[0], r * 49.0);
    EXPECT_NE(q[0], 49.0 / 49.0);
    gmVector2 inPlace(49.0, 98.0);
    inPlace /= 49.0;
    EXPECT_EQ(inPlace[0], q[0]);
    EXPECT_EQ(inPlace[1], q[1]);
}

TEST(GmVector2, OrderingComparesXOnly) {
    EXPECT_TRUE(gmVector2(1, 5) < gmVector2(2, 0));
    EXPECT_FALSE(gmVector2(2, 0) < gmVector2(2, 9));
    EXPECT_FALSE(gmVector2(2, 9) < gmVector2(2, 0));
}

TEST(GmVector3, DefaultsDifferenceAndCross) {
    const gmVector3 zero;
    EXPECT_EQ(zero[0], 0.0);
    EXPECT_EQ(zero[1], 0.0);
    EXPECT_EQ(zero[2], 0.0);

    const gmVector3 x(1, 0, 0), y(0, 1, 0);
    const gmVector3 z = cross(x, y), minusZ = cross(y, x);
    EXPECT_EQ(z[0], 0.0);
    EXPECT_EQ(z[1], 0.0);
    EXPECT_EQ(z[2], 1.0);
    EXPECT_EQ(minusZ[2], -1.0);

    // Not normalised: the length is whatever the operands give.
    const gmVector3 n = cross(gmVector3(2, 0, 0), gmVector3(0, 3, 0) - gmVector3(0, 0, 0));
    EXPECT_EQ(n[2], 6.0);
}

#ifndef NDEBUG
TEST(GmVectorDeathTest, PreconditionsNameTheExpression) {
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    gmVector2 a;
    gmVector3 b;
    int bad = 2;
    EXPECT_DEATH(a[bad] = 1.0, "gmvec2\\.h.*i == 0 \\|\\| i == 1");
    bad = 3;
    EXPECT_DEATH(b[bad] = 1.0, "gmvec3\\.h.*i == 0 \\|\\| i == 1 \\|\\| i == 2");
    EXPECT_DEATH(a / 0.0, "gmvec2\\.h.*!gmIsZero\\(c\\)");
    EXPECT_DEATH(a /= 1e-11, "gmvec2\\.h.*!gmIsZero\\(c\\)");
}
#endif

} // namespace
