#pragma once

#include <vector>

#include "libgm/gmvec2.h"

// The natural terrain stands on one range per skyline layer, front (nearest) first. Each range
// holds its skyline as the viewer to the south sees it, wherever no nearer range hides it.
struct NaturalRange {
    // The range's skyline, (x, height) in the grid's units, x rising; empty for the front
    // range: grid row 0.
    std::vector<gmVector2> skyline;
    // How far the range's divide lies behind the front range's, in the grid's units (0 for the
    // front range, rising front to back).
    double depth = 0.0;
    // The divide's course in plan, (x, northing) in the grid's units, x rising, northing
    // measured from the range's depth and growing away from the viewer. Empty: the divide
    // wanders by itself.
    std::vector<gmVector2> divideCourse;
};
