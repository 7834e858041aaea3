#pragma once

#include <vector>

#include "libgm/gmvec2.h"

// A photograph of a mountain range with a known horizon, made up: a bright sky with a slight
// gradient over darker land with texture, strata and pixel noise, RGB, top row first. The
// horizon is a jagged but continuous line of summits and saddles; each pixel straddling it is
// mixed by how much of it lies above.
struct SyntheticPhoto {
    int width = 0;
    int height = 0;
    std::vector<unsigned char> rgb;
    // The horizon per column, in rows from the top, where a pixel's centre is at its row
    // number: row 2.5 is the boundary between rows 2 and 3.
    std::vector<double> horizon;
};

SyntheticPhoto makeSyntheticPhoto(int width, int height);

// A line traced by hand along the horizon: straight pieces between points every 60 columns
// that lie up to 7 pixels off it, never more than maxDistance pixels from the horizon; one
// point per column, y up as strokes are kept (y = height - row).
std::vector<gmVector2> tracedLine(const SyntheticPhoto& photo, double maxDistance);
