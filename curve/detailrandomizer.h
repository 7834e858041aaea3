#pragma once

#include <vector>

#include "curve/random15.h"
#include "libgm/gmvec2.h"

// Exchanges blocks ("chunks") of consecutive detail heights between two places of the list,
// choosing each target where the chunk's first and last heights match those of the source
// best, so that the exchange leaves no seams. amount (0 to 1; values outside are clamped and
// NaN counts as 0) sets how many chunks move: ceil(n / s * amount) chunks of s = ceil(n/15 - 1).
// Only y moves; every x stays in place, and the heights end up a permutation of the input.
// Draws exactly two numbers from rng per chunk. Prints "moving %i chunks\n" (when announce) for
// lists of more than 30 entries; shorter lists are left unchanged silently.
void randomizeDetails(std::vector<gmVector2>& details, float amount, Random15& rng,
                      bool announce = true);
