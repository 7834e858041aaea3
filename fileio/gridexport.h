#pragma once

#include <cstdio>
#include <string>
#include <vector>

#include "libgm/gmvec2.h"

// The terrain grid ".grd" ("Grid Float Format"), an ASCII raster with a keyword header.
// Only heights are written, row 0 (the silhouette) first, each value as "%1.2f " in the C
// locale; the cell sizes are the constant 1/10800 whatever the spacing of the points:
//
//     ncols	40
//     nrows	51
//     xllcorner	0
//     yllcorner	0
//     xdim	0.000092592592592593
//     ydim	0.000092592592592593
//     NODATA_value	-9999
//     12.35 11.90 ... (40 values, each followed by a space)
//     ... (51 rows in all)
//     (an empty line)
//
// The column count is the length of row 0; every row is expected to have that length.

// Whether every height can be written as the grid's text: a finite number within a float's
// range, as readers of the grid take it. Otherwise false with the first offending row, e.g.
// "terrain row 3 holds a point that is not a number".
bool checkGridHeights(const std::vector<std::vector<gmVector2>>& grid, std::string& error);

// Writes the grid to an open stream. False when a write failed.
bool writeGrid(std::FILE* out, const std::vector<std::vector<gmVector2>>& grid);

enum class GridWriteResult {
    ok,
    cannotCreate, // no file could be created beside the target
    writeFailed,  // a write, the close or the final rename failed; the target is untouched
};

// Writes the grid to the file name atomically. On failure systemError (if given) receives the
// system's error number (0 when it gave none).
GridWriteResult writeGridFile(const std::string& name,
                              const std::vector<std::vector<gmVector2>>& grid,
                              int* systemError = nullptr);
