#pragma once

#include <vector>

#include "libgm/gmvec2.h"

// Two-scale representation of open curves based on Chaikin corner cutting with fixed end
// points. For a fine list of even length n >= 8, coarsenCurve gives m = n/2 + 1 coarse points
// and curveDetails the n/2 - 1 detail offsets that coarsening loses; refineCurve on the pair
// restores the fine list up to rounding. Every function works in place.

// Drops the last point when the count is odd; then, with at least 8 points, replaces the list
// by its coarse points. Shorter lists are left as the evened list.
void coarsenCurve(std::vector<gmVector2>& curve);

// Drops the last point when the count is odd; then, with at least 8 points, replaces the list
// by its detail offsets. Shorter lists are left as the evened list (still points, not details).
void curveDetails(std::vector<gmVector2>& curve);

// Replaces m >= 5 coarse points by their 2m - 2 Chaikin-refined points plus the contributions
// of the details d0 ... d(m-3) (further details are ignored). With fewer than 5 coarse points
// or fewer than m - 2 details the list is left unchanged.
void refineCurve(std::vector<gmVector2>& curve, const std::vector<gmVector2>& details);
