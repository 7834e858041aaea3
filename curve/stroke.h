#pragma once

#include <vector>

#include "libgm/gmvec2.h"

// Operations that turn a freehand stroke into a height function. All of them work in place:
// the list passed in is replaced by the result.

// Column regularisation. Sorts the points by x, merges every run of points with exactly the
// same x into its last point at the run's mean height, and fills each gap of two or more
// units with straight-line points one unit apart. The result has one point per run plus the
// fillers. An empty list stays empty; a single point stays as it is. Points with equal x keep
// their drawing order for the mean. A gap of 65536 units or more (only a stray point makes
// one) gets no fillers.
void regularizeColumns(std::vector<gmVector2>& points);

// Turns a raw profile stroke in unit-square coordinates into a profile: scaled by W (the
// profile view's width in pixels, W > 0), clamped from above to the box, regularised into
// columns, points left of x = 0 dropped, a ramp from (0, 1) to the first point, a flat tail to
// x = 1, and heights normalised so that the lowest point is 0 and height 1 stays 1.
// A stroke lying wholly left of the box gives an empty list; a stroke lying wholly at or above
// the top of the box (its lowest point within 1e-5 of the top) gives heights of 1 everywhere.
// An empty list stays empty, and W <= 0 gives an empty list. Finite input gives finite output.
void cleanupLine(std::vector<gmVector2>& points, int W);

// Resamples the list to exactly n points by linear interpolation along the point index, with
// the ratio count / n: the first and the last point are kept, interior sample i lies at input
// position i * ratio. Positions past the last point read the last point. Lists of fewer than
// 2 points, and n < 2, are left unchanged.
void resampleLine(std::vector<gmVector2>& points, const int& n);
