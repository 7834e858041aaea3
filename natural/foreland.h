#pragma once

#include <cstdint>
#include <vector>

// The foreland: the low ground round a mountain, rising gently from the raster's edge (the
// base) towards the mountain, with broad shallow valleys that gather the streams leaving the
// mountain into rivers before they reach the edge. A real range seen from above drains this
// way; ground cut off flat at the mountain's foot would let every flank valley run out on its
// own.
//
// Its height grows with the cost of the cheapest path to the edge over a noisy cost field
// (cheap ground becomes a valley), so every point has a lower neighbour on its way to the
// edge: the foreland has no pits, and its valleys branch as the cheapest paths do.
struct ForelandShape {
    double west = 0, east = 0, south = 0, north = 0; // the grid's outer cell centres
    double cell = 1;                                 // the grid's spacing
    double height = 0;     // the height the foreland approaches far from the edge
    double rise = 1;       // the path cost over which it gets within 1/e of that height
    double wavelength = 1; // of the valleys' pattern
    std::uint32_t seed = 1;
};

class Foreland {
public:
    Foreland() = default;
    explicit Foreland(const ForelandShape& shape);
    // The foreland's height at (x, y), bilinear between the grid's points; 0 outside.
    double at(double x, double y) const;

private:
    int width_ = 0, height_ = 0;
    double west_ = 0, north_ = 0, cell_ = 1;
    std::vector<float> heights_; // row 0 the northernmost
};
