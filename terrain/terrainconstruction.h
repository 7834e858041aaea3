#pragma once

#include <vector>

#include "curve/random15.h"
#include "libgm/gmvec2.h"

// How the terrain grid is built behind the silhouette. Every row after the first blends the
// silhouette with a bottom row by the column's profile, averaged with the row before it
// rescaled by the profile's change, plus noise; with refinement every row then receives the
// silhouette's own detail levels, shuffled per row.

using PointList = std::vector<gmVector2>;
using TerrainGrid = std::vector<PointList>;

struct TerrainInputs {
    // Row 0: the silhouette's points in view pixels (x, height), at its coarsest level.
    const PointList& front;
    // The profile of every column that has none of its own. A profile is read by height
    // only: point i is row i's height relative to the silhouette (1 at the front).
    const PointList& globalProfile;
    // Per-column profiles: ascending grid columns, one profile each. Empty: the global
    // profile everywhere. Columns between two entries blend them linearly; columns past the
    // last entry take the last one.
    const std::vector<unsigned>& profileColumns;
    const std::vector<PointList>& columnProfiles;
    // Noise amplitude per unit of silhouette height, 0 to 1 (the stage-2 slider / 100).
    float profileRandomness;
    // How much of the noise reaches the bottom row, 0 to 1.
    float bottomDropOff;
    // How much the details are shuffled per row, 0 to 1 (the stage-3 slider / 100).
    float detailRandomness;
    // The detail levels split off the silhouette, finest first. Used only with refine.
    const std::vector<PointList>& detailLevels;
    // Whether every row is refined (row refinement): one pass per level from the coarsest
    // up to, not including, the finest; row 0 takes the levels as they are, every other row
    // a shuffled copy.
    bool refine;
    // The index of the last row: the grid has rows + 1 rows.
    int rows;
    // Whether the detail shuffle prints its lines.
    bool announceShuffles = true;
};

// Builds the grid of inputs.rows + 1 rows into grid, drawing every random number from rng
// (the caller seeds it; equal inputs and seeds give equal grids). Rows keep their storage
// from one call to the next. Row 0 is the front; the grid holds no depths (the model lays the
// rows its rowSpacing() apart).
// All rows have the front's length; an empty front gives empty rows. Profiles shorter than
// the grid hold their last height; an empty profile is flat at 0.
void constructTerrain(const TerrainInputs& inputs, Random15& rng, TerrainGrid& grid);
