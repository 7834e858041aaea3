#pragma once

#include <vector>

#include "natural/flowrouting.h"

// The ground the drawing asks lower than it stands. Every cell has a cap (`cap`, heights as
// the field's; no cap: DBL_MAX) that the skyline's columns set; cut off at it, a body standing
// well above runs flat along the columns. Instead the excess is taken off by a smooth field
// nowhere less than it: the excess's maximum over a disc of `reach` cells round each cell,
// then its mean over the same disc weighted by a smooth bump (every cell of that disc has a
// maximum at least the centre's excess, so the mean is too). The ground keeps its own shape,
// lowered round where the drawing asks it lower, and ends at or below every cap wherever
// `share` is 1; each cell takes `share` (0 to 1) of the lowering.
void lowerAboveCaps(HeightField& field, const std::vector<double>& cap,
                    const std::vector<float>& share, double reach);
