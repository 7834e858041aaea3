#pragma once

#include <vector>

#include "libgm/gmvec2.h"
#include "tracing/photoview.h"

// Snapping a traced line onto the horizon of the photograph under it: the path of strongest
// edges near the line, one height per column.

struct HorizonSnapSettings {
    // How far the snapped line may move from the drawn one, in pixels either way.
    int band = 12;
    // How many pixels the line's distance from the drawn one may change from one column to
    // the next: the drawn line gives the slope, the photograph only the last few pixels.
    int maxStep = 5;
    // Cost of each pixel the distance changes between neighbouring columns, against an edge
    // cost of 0 (the strongest edge in the band) to 1 (no edge): keeps the path from
    // zigzagging between two edges of about equal strength.
    double stepCost = 0.04;
    // Cost of lying a whole band away from the drawn line (growing with the square of the
    // distance): where the photograph shows no edge the line stays where it was drawn.
    double strokePull = 0.15;
    // The weakest horizon worth snapping to: the brightness step across it (0 to 255) below
    // which a stretch of the line is left as drawn.
    double minimumContrast = 6.0;
};

// The edge strength of the photograph at pixel (column, row): the brightness gradient of the
// photograph lightly blurred (a 3 x 3 binomial filter, then 3 x 3 Sobel), in brightness levels
// per pixel. Horizontal edges count fully and vertical ones half, as a horizon runs across
// the picture: sqrt(gy^2 + (gx / 2)^2), the Sobel sums divided by 8 so that a steady slope of
// one level per pixel gives 1. A sharp horizontal step of s levels gives 3s / 8 at the two
// rows beside it and less further away.
double horizonEdgeStrength(const PhotoView& photo, int column, int row);

// The line snapped to the photograph's horizon. line holds points (x, y) at whole columns
// x, ascending, one per column as a processed stroke has them, y up: a point lies on pixel
// column x and pixel row photo.height - y, the row a mouse event on that pixel reports (the
// photograph as it lies under the drawing, one pixel per drawing pixel). Each stretch of
// neighbouring columns inside the photograph becomes the cheapest path from its left end to
// its right end (dynamic programming over the columns) through the band around the line,
// where a pixel costs less the stronger its edge (horizonEdgeStrength against the band's
// strongest), plus the settings' step and pull costs; each column's row is then refined to a
// fraction of a pixel by a parabola through the edge strengths at it and its two neighbours.
// The result has the line's x values; points outside the photograph, and stretches whose
// strongest edge is weaker than the minimum contrast, keep their heights. Only the band is
// read: the time grows with the line's length times the band, not with the photograph. An
// invalid photograph or an empty line gives the line back unchanged.
std::vector<gmVector2> snapToHorizon(const PhotoView& photo, const std::vector<gmVector2>& line,
                                     const HorizonSnapSettings& settings = {});
