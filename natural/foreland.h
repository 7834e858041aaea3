#pragma once

#include <cstdint>
#include <vector>

// The foreland: the low ground round a mountain, rising gently from the raster's edge (the
// base) towards the mountain, drained by a river network that carries the mountain's streams
// on to the edge. A real range seen from above drains this way: a few larger valleys take the
// rivers leaving the mountain out to the plain, their tributaries branch off them, and broad
// interfluves lie between; ground cut off flat at the mountain's foot would let every flank
// valley run out on its own.
//
// It is built in two passes over its grid, both cheapest paths from the edge:
//  - the network: cheapest paths over a strongly varying noisy cost (paths crowd into the
//    cheap ground, so they merge into few larger valleys, as invasion of the weakest ground
//    does in drainage models), each cell draining to the cell its path comes from. The
//    mountain's cells drain down its own slopes instead, so every stream leaving the mountain
//    enters the network where it leaves the body, and brings the mountain's area with it.
//  - the heights: cheapest paths again, each cell now costing its noise less the steady-state
//    fall of a channel, which shrinks with the area draining through it (about A^-1/2): large
//    rivers run low and gently, hillslopes rise at the full cost. Being a distance, the height
//    is continuous and has no pits, and divides lie wherever the paths from two rivers meet,
//    not on a figure of the raster's outline.
// The heights then saturate towards `height` far from the rivers, which leaves the interfluves
// broad.
struct ForelandShape {
    double west = 0, east = 0, south = 0, north = 0; // the grid's outer cell centres
    double cell = 1;                                 // the grid's spacing
    double height = 0;     // the height the foreland approaches far from its rivers
    double rise = 1;       // the path cost over which it gets within 1/e of that height
    double wavelength = 1; // of the network's pattern
    std::uint32_t seed = 1;
    int threads = 0; // for the noise; the result is the same with any number
};

class Foreland {
public:
    Foreland() = default;
    // The mountain, when given, holds the body's heights above the base on the same grid, row
    // 0 the northernmost (any other size is taken as no mountain); its cells higher than the
    // foreland's `height` drain down it into the foreland.
    explicit Foreland(const ForelandShape& shape, const std::vector<float>& mountain = {});
    // The foreland's height at (x, y), bilinear between the grid's points; 0 outside.
    double at(double x, double y) const;

private:
    int width_ = 0, height_ = 0;
    double west_ = 0, north_ = 0, cell_ = 1;
    std::vector<float> heights_; // row 0 the northernmost
};
