// The natural view's colours: height tints, rock where steep, snow high and not too steep, the
// seabed below the water, one colour per strip vertex.
#include <cmath>
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

// Regression: per-triangle normals changed from one strip to the next, so every row of the
// natural view was lit and coloured as a faint band of its own. A grid point now carries one
// normal in both strips, facing up as the grid mesh's do.
TEST(NaturalColours, TheNaturalMeshGivesAPointOneNormalInBothItsStrips) {
    std::vector<std::vector<gmVector2>> grid(9);
    for (int r = 0; r < 9; ++r)
        for (int c = 0; c < 9; ++c)
            grid[r].emplace_back(10.0 * c, 30.0 * std::sin(0.7 * c + 0.4 * r) + 5.0 * r);
    const TerrainMesh mesh = naturalTerrainMesh(grid, 10.0);
    const TerrainMesh plain = buildTerrainMesh(grid, 10.0);
    ASSERT_EQ(mesh.stripVertices.size(), 8u);
    for (std::size_t s = 0; s < mesh.stripVertices.size(); ++s) {
        ASSERT_EQ(mesh.stripVertices[s], plain.stripVertices[s]);
        for (std::size_t k = 0; k < mesh.stripNormals[s].size(); k += 3)
            EXPECT_GT(mesh.stripNormals[s][k + 1], 0.0f) << "faces up";
        if (s == 0)
            continue;
        // The strip's first row is the previous strip's second.
        for (std::size_t c = 0; c < 9; ++c)
            for (int axis = 0; axis < 3; ++axis)
                EXPECT_EQ(mesh.stripNormals[s][6 * c + axis],
                          mesh.stripNormals[s - 1][6 * c + 3 + axis]);
    }
    // Moving, the view draws every other point: a 2^n + 1 grid keeps its corners.
    const auto coarse = everyOtherPoint(grid);
    ASSERT_EQ(coarse.size(), 5u);
    ASSERT_EQ(coarse[0].size(), 5u);
    EXPECT_EQ(coarse[4][4], grid[8][8]);
}
