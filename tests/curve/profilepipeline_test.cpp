#include <gtest/gtest.h>

#include "curve/profilepipeline.h"

namespace {

TEST(ProfilePipeline, StrokesBecomeProfilesOfOnePointPerRow) {
    // A diagonal stroke across the unit square, as a 300-pixel-wide view records it.
    std::vector<gmVector2> stroke;
    for (int i = 0; i <= 200; ++i)
        stroke.emplace_back(i / 200.0, 1.0 - i / 200.0);
    profileFromStroke(stroke, 300);
    ASSERT_EQ(stroke.size(), static_cast<std::size_t>(profilePoints));
    EXPECT_DOUBLE_EQ(stroke.front()[1], 1.0);
    for (const gmVector2& p : stroke) {
        EXPECT_GE(p[0], 0.0);
        EXPECT_LE(p[0], 1.0);
    }

    std::vector<gmVector2> leftOfTheBox{{-0.5, 0.5}, {-0.2, 0.3}};
    profileFromStroke(leftOfTheBox, 300);
    EXPECT_TRUE(leftOfTheBox.empty());
}

TEST(ProfilePipeline, GivenProfilesAreResampledForEditing) {
    std::vector<gmVector2> profile;
    for (int i = 0; i <= 100; ++i)
        profile.emplace_back(i / 100.0, 1.0 - i / 100.0);
    profileForEditing(profile);
    ASSERT_EQ(profile.size(), static_cast<std::size_t>(profilePoints));
    EXPECT_DOUBLE_EQ(profile.front()[1], 1.0);
    EXPECT_DOUBLE_EQ(profile.back()[1], 0.0);
    EXPECT_NEAR(profile[25][1], 0.5, 0.01);

    std::vector<gmVector2> single{{0.3, 0.7}};
    profileForEditing(single);
    EXPECT_EQ(single.size(), 1u);
}

} // namespace
