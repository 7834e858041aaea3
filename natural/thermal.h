#pragma once

#include "natural/flowrouting.h"

// Thermal erosion (talus): wherever the slope between two neighbouring cells exceeds `talus`
// (height per unit of distance), part of the excess slides from the higher cell to the lower,
// `sweeps` times. Every pair of neighbours exchanges material symmetrically and each sweep
// reads only the previous one, so rows are computed on `threads` threads with the same result
// whatever their number. Only free cells change; the material held or outlet cells would take
// or give is dropped, as at an edge.
void thermalErosion(HeightField& field, double talus, int sweeps, int threads);
