#pragma once

#include <string>
#include <vector>

#include "libgm/gmvec2.h"

// The terrain seen from above as a raster of square cells, ready for the heightmap files.
//
// Orientation: the viewer stands to the south, so the silhouette (grid row 0) is the southern
// edge and the back of the terrain the northern one. Row 0 of the raster is the northern row,
// column 0 the western one (the silhouette's left end). World coordinates are sketch pixels
// times the export scale: x eastwards, northing = depth behind the silhouette.
struct HeightRaster {
    int width = 0;         // columns
    int height = 0;        // rows
    double cellSize = 0.0; // world units
    // The world position of the raster's south-western corner (the outer edge of its first
    // column and of its last row).
    double westEdge = 0.0;
    double southEdge = 0.0;
    // width * height heights in world units, row by row from the north.
    std::vector<float> heights;

    const float* row(int r) const { return heights.data() + static_cast<std::size_t>(r) * width; }
};

// The largest raster accepted, a side: one more than 2^14, the largest engine size in use.
constexpr int maximumRasterSide = 16385;

// What the cells of a sized raster that lie beyond the terrain hold.
enum class Padding {
    base,   // the base height 0
    blend,  // the terrain's edge height falling smoothly to 0 at the raster's border, so that
            // no one-cell cliff stands at the terrain's edge
    noData, // NaN: no height (GIS tools skip these cells)
};

struct RasterOptions {
    // The raster's size in cells; both 0 for the native size (cells of the median column
    // spacing, the terrain filling the raster).
    int width = 0;
    int height = 0;
    // World units per sketch pixel, horizontally and vertically.
    double scale = 1.0;
    Padding padding = Padding::base;

    bool native() const { return width == 0 && height == 0; }
};

// Checks that the size is native or 2 to maximumRasterSide cells a side and the scale a finite
// positive number. False with a one-line reason otherwise.
bool checkRasterOptions(const RasterOptions& options, std::string& error);

// Checks that grid is a terrain the exports can use: at least 2 rows of at least 2 points,
// every row as long as row 0, finite values, x rising strictly along each row, and a finite
// positive rowSpacing. False with a one-line reason otherwise.
bool checkTerrainGrid(const std::vector<std::vector<gmVector2>>& grid, double rowSpacing,
                      std::string& error);

// Checks that the grid (which passed checkTerrainGrid) times scale stays within a 32-bit
// float, as every terrain file but the grid stores it: no coordinate beyond the largest float
// (a scale of 1e37 would write "inf"), and the finest spacing of the points, along a row or
// between rows, not below the smallest normal float (a scale of 1e-45 would make every
// coordinate 0). False with a one-line reason otherwise.
bool checkScaleFits(const std::vector<std::vector<gmVector2>>& grid, double rowSpacing,
                    double scale, std::string& error);

// Resamples the terrain grid (rows of (x, height) points in sketch pixels; row r lies
// r * rowSpacing pixels behind the silhouette, row 0) onto square cells.
//
// Native size: the cell is the median gap between neighbouring x of row 0; the raster has one
// cell per cell-width of the terrain's extent (plus one), centred on it. With a given size the
// cell is the smallest that fits the whole terrain into width x height cells; the terrain keeps
// its proportions and is centred, and cells more than half a cell beyond it hold what
// options.padding says. With blend, such a cell takes the height of the nearest terrain edge
// times (1 - smoothstep(t)) for each axis it lies beyond the terrain on, t its distance from
// the edge over the distance of the outermost cell centre on that side.
//
// Heights between the grid's points come from a cubic Hermite spline through them with
// Catmull-Rom tangents (the finite difference of the two neighbours, one-sided at the ends),
// first along each grid row at the row's own x positions, then across the rows; it passes
// through every grid point and reproduces straight slopes exactly. Cell centres up to half a
// cell beyond the terrain's edge take the edge's height. Cell size and heights are multiplied
// by options.scale.
//
// False with a one-line reason, raster untouched, when the grid fails checkTerrainGrid, the
// size is not 2 to maximumRasterSide cells a side (also for a native size), the scale is not a
// finite positive number or fails checkScaleFits, the scaled heights overflow a float, or
// memory runs out.
bool resampleTerrain(const std::vector<std::vector<gmVector2>>& grid, double rowSpacing,
                     const RasterOptions& options, HeightRaster& raster, std::string& error);
