#pragma once

#include <vector>

#include "libgm/gmvec2.h"

// How a freehand silhouette stroke becomes one height per pixel column when the hand did not
// draw it as a plain function of x. Points are in view pixels, x to the right, y up.

// Whether the stroke is a click rather than a line: every point lies within minimumExtent of
// the first one (a press and release on the spot, a double-click, a twitch of the hand). An
// empty stroke is too short as well.
bool strokeTooShort(const std::vector<gmVector2>& stroke, double minimumExtent);

// Whether the stroke's x ever turns back: it is neither non-decreasing nor non-increasing
// along the drawing order. A stroke drawn wholly right to left does not double back.
bool strokeDoublesBack(const std::vector<gmVector2>& stroke);

// Whether every x of the stroke is a whole number (mouse pixels at the drawing's own scale).
bool strokeOnWholeColumns(const std::vector<gmVector2>& stroke);

// The upper envelope of the stroke, drawn as a polyline in its drawing order, at every whole
// x from the smallest to the largest it covers: the highest height any of its segments has
// over that column, a vertical segment counting with its upper end. It is what the stroke
// looks like as a skyline, so it never lies above the stroke and does not depend on the order
// in which the hand passed over a column. A stroke that covers no whole x (it lies within one
// column) gives one point at the whole x nearest its middle, at its highest height. An empty
// list stays empty. Strokes spanning 65536 columns or more (only a stray point makes one) are
// spanned by the points' own columns alone, each at its highest height.
void upperEnvelopeColumns(std::vector<gmVector2>& stroke);
