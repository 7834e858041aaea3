#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "heightmap/heightraster.h"
#include "libgm/gmvec2.h"

// The natural terrain: the sketched terrain turned into a landscape that looks like a mountain
// from every side, at the export's own resolution. The silhouette (grid row 0) becomes a crest
// that is held exactly; the ground falls from it to the base in front (the front profile) and
// behind (the grid's own profile, averaged over its columns), as far as the crest's height and
// the slope make it, onto a foreland whose valleys gather its streams; detail noise, shaped by the
// silhouette's own roughness, covers it at every scale down to the cell; then stream-power erosion
// carves drainage into it and a few talus sweeps settle what is too steep.

// The foreland's height at most, as a share of the relief: the low ground round the mountain
// that rises from the base at the raster's edge and gathers its streams into rivers.
const double naturalForelandHeight = 0.03;

struct NaturalSettings {
    // The flanks' mean fall, height over horizontal distance: a crest H high reaches the base
    // H / slope in front of and behind itself. 0.05 to 5.
    double slope = 0.5;
    // The front flank's shape, the exponent of (1 - t)^p over its depth: 1 a straight fall,
    // above 1 steep under the crest and gentle at the foot. 0.5 to 4.
    double frontProfile = 1.6;
    // How much detail noise covers the flanks, 0 to 1.
    double detail = 0.5;
    // How deeply the drainage carves, 0 (no erosion) to 1.
    double erosion = 0.5;
    // The erosion's time steps on the coarsest level (the finer levels take an eighth each, at
    // least two): more steps follow the drainage more closely. 1 to 500.
    int erosionSteps = 24;
    std::uint32_t seed = 1;

    bool operator==(const NaturalSettings& other) const;
    bool operator!=(const NaturalSettings& other) const { return !(*this == other); }
};

// False with a one-line reason when a setting lies outside its range.
bool checkNaturalSettings(const NaturalSettings& settings, std::string& error);

// Builds the natural terrain of the grid (rows of (x, height) points in sketch pixels, row 0
// the silhouette, rows rowSpacing apart behind it) onto a raster laid out as HeightRaster
// describes: the viewer to the south, the crest along the middle row, bending in plan a tenth
// of the flank depth either way at most (one unbroken line of cells). With a given size the
// cell is the smallest that fits the whole landscape (crest, both flanks and a margin all
// round); the native size takes row 0's median point gap as the cell. The mountain stands on
// a foreland that covers the rest of the raster, rising from the base on the raster's
// outermost two cells. The base is height 0, or row 0's lowest height if that lies below 0.
// Every column's highest cell lies on the crest and is row 0's height at the column's x
// (linear between the points); beyond the silhouette's ends the mountain falls away from its end
// heights in rounded spurs.
//
// Deterministic: the same grid and settings give the same heights with any number of
// threads (0: the machine's cores). False with a one-line reason, raster untouched, for a
// grid checkTerrainGrid refuses, raster options checkRasterOptions refuses, bad settings, a
// native size beyond maximumRasterSide, or memory that runs out. cancelled, when given, is
// asked between the levels of the construction: true abandons it (false with the reason
// naturalBuildCancelled), so that a window can drop a build nobody waits for any more.
bool buildNaturalTerrain(const std::vector<std::vector<gmVector2>>& grid, double rowSpacing,
                         const NaturalSettings& settings, const RasterOptions& options,
                         HeightRaster& raster, std::string& error, int threads = 0,
                         const std::function<bool()>& cancelled = {});

// The reason buildNaturalTerrain gives when it was cancelled.
extern const char* const naturalBuildCancelled;

// The size in cells of the natural terrain's native raster (RasterOptions' 0 x 0), as
// buildNaturalTerrain lays it out. False with the reason it would give.
bool naturalNativeSize(const std::vector<std::vector<gmVector2>>& grid, double rowSpacing,
                       const NaturalSettings& settings, int& width, int& height,
                       std::string& error);
