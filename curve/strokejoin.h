#pragma once

#include <cstddef>
#include <vector>

#include "libgm/gmvec2.h"

// Where a newly processed stroke meets what was drawn before, the two usually differ in
// height: drawing over part of a ridge leaves a vertical step at each end of the new stroke.
// easeStrokeJoin smooths such a step away on the older side, so the silhouette stays
// continuous and the new stroke stays exactly as drawn.

// Which side of the join the points drawn earlier lie on.
enum class OlderSide { before, after };

// The width in columns over which a step of that height (pixels) is eased: about one column
// per pixel of step, at least 2 and at most 48. Steps of at most a pixel are left alone (0).
std::size_t strokeJoinWidth(double step);

// The join lies between curve[join - 1] and curve[join]; the points on the older side are
// moved towards the newer side's height, the nearest the most, with a smooth fall-off over
// strokeJoinWidth(step) points (fewer when the older side is shorter). Only joins between
// neighbouring columns (x at most 2 apart) are eased: strokes that leave a gap stay apart. A
// join at either end of the curve, or outside it, changes nothing.
void easeStrokeJoin(std::vector<gmVector2>& curve, std::size_t join, OlderSide older);
