#pragma once

#include <cstdint>

#include "natural/flowrouting.h"

// The erosion solver of a level: stream power (the implicit Braun-Willett step on the
// drainage network) with talus sweeps between its steps, so that the hillslopes follow the
// channels down and the channels open into valleys rather than grooves, then a few sweeps
// more to settle what the detail and the carving left too steep. Held cells keep their
// heights; outlets take what leaves.
struct Carving {
    double time = 0.0; // the erosion time, in units where the flank depth is 1
    int steps = 0;
    int talusBetween = 1; // talus sweeps after each step
    int talusAfter = 2;   // and after the last
    double talus = 1.0;   // the steepest slope that stands, height over distance
    double depth = 1.0;   // the flank depth, the unit of length
    std::uint32_t seed = 1;
    // Above 0, the water the stream power counts spreads over every lower neighbour with this
    // exponent on the slope (spreadArea) from the cells above `spreadAbove`; 0, it follows the
    // receivers alone.
    double spread = 0.0;
    double spreadAbove = 0.0;
};

// Same bytes with any number of threads.
void carveLevel(const Carving& carving, int threads, HeightField& field);
