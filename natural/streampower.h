#pragma once

#include "natural/flowrouting.h"

// One time step of stream-power erosion, dh/dt = -K A^m S (n = 1), solved implicitly down the
// network's stack (Braun and Willett 2013): each free cell's new height follows from its
// receiver's new one,
//
//     h_i' = (h_i + F h_r') / (1 + F),   F = K dt A_i^m / d_ir,
//
// which is unconditionally stable and never lets a cell drop below its receiver. A is the
// drainage area in cells times `areaUnit`, d the distance to the receiver in the field's unit
// divided by `lengthUnit` (so that K dt is a dimensionless rate). Held cells and sinks keep
// their height.
struct StreamPower {
    double rate = 1.0; // K dt
    double areaExponent = 0.5;
    double areaUnit = 1.0;
    double lengthUnit = 1.0;
};
void streamPowerStep(HeightField& field, const FlowNetwork& network, const StreamPower& law);
