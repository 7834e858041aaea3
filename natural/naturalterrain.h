#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "heightmap/heightraster.h"
#include "libgm/gmvec2.h"
#include "natural/naturalranges.h"

// The natural terrain: the sketched terrain turned into a landscape that looks like a mountain
// from every side, at the export's own resolution. The drawn skyline is what the viewer to the
// south sees: every column's highest cell stands at the curve's top over that column, on a
// divide that wanders freely in plan. Round the divide the body is raised in two dimensions
// (every crest cell a summit whose ground falls over a noisy cost, the body their upper
// envelope), stands on a foreland whose valleys gather its streams, and is carved by stream
// power with talus from the coarsest level to the finest, each finer level adding the detail
// and the channels of its own scales.

// The foreland's height at most, as a share of the relief: the low ground round the mountain
// that rises from the base at the raster's edge and gathers its streams into rivers.
const double naturalForelandHeight = 0.03;

struct NaturalSettings {
    // The flanks' mean fall, height over horizontal distance: a summit H high reaches the base
    // about H / slope away from itself, further where the ground runs out in a spur and less
    // in a hollow. 0.05 to 5.
    double slope = 0.5;
    // The flanks' shape, the exponent of (1 - t)^p over their depth (the name is the one
    // projects store): 1 a straight fall, above 1 steep under the summits and gentle at the
    // foot. 0.5 to 4.
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
// the silhouette, rows rowSpacing apart behind it) and its skyline (the silhouette as drawn, at
// its own resolution, x rising; empty or unusable: grid row 0) onto a raster laid out as
// HeightRaster describes, the viewer to the south. With a given size the cell is the smallest
// that fits the whole landscape (the skyline, the falls beyond its ends, both flanks with the
// divide's wander and a margin all round); the native size takes row 0's median point gap as
// the cell. The mountain stands on a foreland that covers the rest of the raster, rising from
// the base on the raster's outermost two cells. The base is height 0, or the skyline's lowest
// height if that lies below 0. Every column the skyline covers peaks at the skyline's highest
// point over the column's width; beyond the skyline's ends the mountain falls away from its
// end heights in rounded spurs.
//
// Deterministic: the same grid and settings give the same heights with any number of
// threads (0: the machine's cores). False with a one-line reason, raster untouched, for a
// grid checkTerrainGrid refuses, raster options checkRasterOptions refuses, bad settings, a
// native size beyond maximumRasterSide, or memory that runs out. cancelled, when given, is
// asked between the levels of the construction: true abandons it (false with the reason
// naturalBuildCancelled), so that a window can drop a build nobody waits for any more.
// progress, when given, hears the share of the work done (0 to 1) after each level.
bool buildNaturalTerrain(const std::vector<std::vector<gmVector2>>& grid, double rowSpacing,
                         const std::vector<gmVector2>& skyline, const NaturalSettings& settings,
                         const RasterOptions& options, HeightRaster& raster, std::string& error,
                         int threads = 0, const std::function<bool()>& cancelled = {},
                         const std::function<void(double)>& progress = {});
// The same with grid row 0 as the skyline.
bool buildNaturalTerrain(const std::vector<std::vector<gmVector2>>& grid, double rowSpacing,
                         const NaturalSettings& settings, const RasterOptions& options,
                         HeightRaster& raster, std::string& error, int threads = 0,
                         const std::function<bool()>& cancelled = {});

// The same on the ranges of several skyline layers, front first (at least one; the front
// range's depth counts as 0, and its empty skyline is grid row 0). Every range raises a divide
// of its own at its depth behind the front range's (on its course where one is drawn, else
// wandering by itself; natural/dividecourse.h), one crest cell per column its skyline covers; the
// body is the upper envelope of all their summits, carved as one, so the ranges merge with valleys
// between them and no seam. The landscape covers every range with its flanks and the falls beyond
// its ends. Seen from the south, a column's highest cell stands at the highest of the skylines over
// it: each range holds its skyline where it stands above every nearer one, and where it is hidden
// it stays at its own skyline, below the nearer one. Beyond a range's ends its ground stays
// below any other skyline that covers the column. A range behind the front with no usable
// skyline adds nothing; a negative or non-finite depth is refused, and a course
// checkDivideCourse refuses with its reason. One range builds exactly what the
// single-skyline overload builds (its rows lie symmetrically about the front range's line;
// with ranges behind it the raster reaches further north than south: its southEdge tells).
bool buildNaturalTerrain(const std::vector<std::vector<gmVector2>>& grid, double rowSpacing,
                         const std::vector<NaturalRange>& ranges, const NaturalSettings& settings,
                         const RasterOptions& options, HeightRaster& raster, std::string& error,
                         int threads = 0, const std::function<bool()>& cancelled = {},
                         const std::function<void(double)>& progress = {});

// The reason buildNaturalTerrain gives when it was cancelled.
extern const char* const naturalBuildCancelled;

// The size in cells of the natural terrain's native raster (RasterOptions' 0 x 0), as
// buildNaturalTerrain lays it out. False with the reason it would give.
bool naturalNativeSize(const std::vector<std::vector<gmVector2>>& grid, double rowSpacing,
                       const std::vector<gmVector2>& skyline, const NaturalSettings& settings,
                       int& width, int& height, std::string& error);
bool naturalNativeSize(const std::vector<std::vector<gmVector2>>& grid, double rowSpacing,
                       const NaturalSettings& settings, int& width, int& height,
                       std::string& error);
bool naturalNativeSize(const std::vector<std::vector<gmVector2>>& grid, double rowSpacing,
                       const std::vector<NaturalRange>& ranges, const NaturalSettings& settings,
                       int& width, int& height, std::string& error);

// Where the construction puts the front range's divide: `samples` points (at least 2) of
// (x, northing) in the grid's units, evenly over the skyline's x, along its course where it has
// one. False with the reason buildNaturalTerrain would give for the grid, ranges or settings.
bool naturalDivide(const std::vector<std::vector<gmVector2>>& grid, double rowSpacing,
                   const std::vector<NaturalRange>& ranges, const NaturalSettings& settings,
                   int samples, std::vector<gmVector2>& divide, std::string& error);
