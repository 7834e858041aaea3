#pragma once

#include <vector>

#include "libgm/gmvec2.h"

// Where the viewer of a perspective drawing stands, in the grid's units. Its eye sees each
// range's skyline at the range's line; a crest cell that stands nearer or farther than the line
// (where the divide wanders) keeps the drawn elevation angle: it holds the skyline where its
// ray from the eye crosses the line, and the height above the eye scaled by its distance over
// the line's. Straight on (perspective false) every column holds the skyline above it.
struct NaturalViewer {
    bool perspective = false;
    // The eye's x and height.
    double x = 0.0;
    double height = 0.0;
    // From the eye north to the range's line (positive).
    double distance = 0.0;
};

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
    // The viewer the skyline was drawn for.
    NaturalViewer viewer;
};
