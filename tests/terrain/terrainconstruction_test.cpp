#include <algorithm>
#include <cmath>
#include <cstring>

#include <gtest/gtest.h>

#include "terrain/terrainconstruction.h"

namespace {

// The packed kernel must be an exact copy of the scalar arithmetic: any reordering would
// change the golden grids in their last digits.
TEST(TerrainConstruction, PackedAndScalarRowsAreBitIdentical) {
    PointList front;
    for (int x = 0; x < 257; ++x) // odd: the last column goes through the scalar tail
        front.emplace_back(x * 2.0, 300.0 + 120.0 * std::sin(x * 0.37) + x % 7);
    PointList profile;
    for (int i = 0; i <= 50; ++i) // reaches 0 before the last row: a row that cannot rescale
        profile.emplace_back(i / 51.0, std::max(0.0, 1.0 - i / 40.0));
    const std::vector<unsigned> noColumns;
    const std::vector<PointList> noProfiles, noLevels;
    TerrainInputs inputs{front, profile, noColumns, noProfiles, 0.63f,
                         0.45f, 0.2f,    noLevels,  false,      50};

    TerrainGrid packed, scalar;
    Random15 rng;
    inputs.kernel = RowKernel::packed;
    constructTerrain(inputs, rng, packed);
    rng.reseed(1);
    inputs.kernel = RowKernel::scalar;
    constructTerrain(inputs, rng, scalar);

    ASSERT_EQ(packed.size(), 51u);
    for (std::size_t r = 0; r < packed.size(); ++r) {
        ASSERT_EQ(packed[r].size(), front.size());
        for (std::size_t c = 0; c < front.size(); ++c) {
            ASSERT_EQ(std::memcmp(&packed[r][c], &scalar[r][c], sizeof(gmVector2)), 0)
                << "row " << r << " column " << c;
            ASSERT_EQ(packed[r][c][0], front[c][0]); // x never moves
        }
    }
}

} // namespace
