#pragma once

#include "natural/flowrouting.h"

// Hillslope diffusion, dh/dt = kappa (d2h/dx2 + d2h/dy2): soil creep rounds what the channels
// and the talus leave sharp at the scale of a cell, so that a one-cell groove opens into a
// valley a few cells wide and a one-cell spike or crease goes, while the shape at larger
// scales stays (diffusion damps a wavelength L by about exp(-4 pi^2 kappa t / L^2)).
//
// `sweeps` explicit steps, each moving every free cell by `rate` (0 to 1) of the way to the
// weighted mean of its eight neighbours (the orthogonal ones counting twice the diagonal
// ones, which keeps the smoothing the same in every direction to second order). Every step
// reads only the one before, so rows are computed on `threads` threads with the same result
// whatever their number. Held cells and outlets keep their heights.
void diffuseHillslopes(HeightField& field, double rate, int sweeps, int threads);
