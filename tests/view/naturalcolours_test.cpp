// The natural view's colours: height tints, rock where steep, snow high and not too steep, the
// seabed below the water, one colour per strip vertex.
#include <gtest/gtest.h>

#include "view/naturalcolours.h"

namespace {

double brightness(Rgb c) {
    return (c.r + c.g + c.b) / 3.0;
}
bool greenish(Rgb c) {
    return c.g > c.r && c.g > c.b;
}

} // namespace

TEST(NaturalColours, TintsRockSnowAndSeabed) {
    const NaturalLook look;
    const Rgb low = naturalGroundColour(0.05, 1.0, look);
    EXPECT_TRUE(greenish(low));
    EXPECT_FALSE(greenish(naturalGroundColour(0.7, 1.0, look))) << "high ground is bare";
    const Rgb snow = naturalGroundColour(look.snowLine + 0.1, 1.0, look);
    EXPECT_GT(brightness(snow), 0.9);
    const Rgb belowSnow = naturalGroundColour(look.snowLine - 0.05, 1.0, look);
    EXPECT_LT(brightness(belowSnow), 0.7);
    // A cliff above the snow line holds no snow, and a low cliff is rock, not meadow.
    const Rgb cliff = naturalGroundColour(look.snowLine + 0.1, 0.2, look);
    EXPECT_LT(brightness(cliff), 0.6);
    const Rgb lowCliff = naturalGroundColour(0.05, 0.2, look);
    EXPECT_FALSE(greenish(lowCliff));
    EXPECT_NEAR(lowCliff.r, lowCliff.g, 0.05);

    NaturalLook sea = look;
    sea.water = true;
    sea.waterLevel = 0.2;
    const Rgb seabed = naturalGroundColour(0.05, 1.0, sea);
    EXPECT_FALSE(seabed.r == low.r && seabed.g == low.g && seabed.b == low.b);
    const Rgb above = naturalGroundColour(0.3, 1.0, sea);
    const Rgb dry = naturalGroundColour(0.3, 1.0, look);
    EXPECT_EQ(above.g, dry.g) << "the water changes nothing above its level";
}

TEST(NaturalColours, OneColourPerStripVertexFromTheMeshsOwnRange) {
    std::vector<std::vector<gmVector2>> grid(6);
    for (int r = 0; r < 6; ++r)
        for (int c = 0; c < 6; ++c)
            grid[r].emplace_back(10.0 * c, c == 3 ? 100.0 : 0.0);
    const TerrainMesh mesh = buildTerrainMesh(grid, 10.0);
    const auto colours = naturalStripColours(mesh, NaturalLook());
    ASSERT_EQ(colours.size(), mesh.stripVertices.size());
    for (std::size_t s = 0; s < colours.size(); ++s)
        EXPECT_EQ(colours[s].size(), mesh.stripVertices[s].size());
    double lowest = 0.0, highest = 0.0;
    meshHeightRange(mesh, lowest, highest);
    EXPECT_EQ(lowest, 0.0);
    EXPECT_EQ(highest, 100.0);
    NaturalLook sea;
    sea.waterLevel = 0.25;
    EXPECT_EQ(waterHeight(mesh, sea), 25.0);
}
