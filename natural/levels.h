#pragma once

#include <cstdint>
#include <vector>

#include "natural/detailnoise.h"
#include "natural/shaping.h"

// The levels: the natural terrain is built coarse to fine on a pyramid of grids, each level
// taking every factor-th cell of the finest (the raster), so that all levels agree where they
// meet and a finer level starts from the coarser one's result read between its cells.

// Where the landscape lies and how the levels sample it. Positions are sketch pixels: x
// eastwards, y northwards (the depth behind the viewer's line), heights above the base.
struct Layout {
    int width = 0, height = 0; // the finest level's size in cells
    int middleRow = 0;         // the finest level's row at northing 0
    double cell = 0.0;
    double west = 0.0; // the x of column 0's centre
};

struct Level {
    int factor = 1; // finest cells per cell of this level
    int width = 0, height = 0, middleRow = 0;
    double cell = 0.0;
    double west = 0.0;
    double x(int column) const { return west + column * cell; }
    double y(int row) const { return (middleRow - row) * cell; }
    LevelGrid grid() const { return LevelGrid{width, height, west, y(0), cell}; }
};

// The level of every factor-th finest cell, its middle row on the finest one's.
Level levelOf(const Layout& layout, int factor);

// A coarser level's field read at (x, y), clamped to its edge: a bicubic (Catmull-Rom) curve
// through its samples, kept within the four nearest. Read bilinearly, a channel one coarse
// cell wide came out on the finer levels as a V of two planes meeting in a ruler-straight
// line, and every coarse cell's edges showed in the shading.
double sampleCoarser(const Level& coarser, const std::vector<float>& heights, double x, double y);

// How a finer level bends its reading of the coarser one: each cell reads the coarser level
// at a place shifted by a smooth noise, up to about `amount` coarser cells east or west and
// `across` times that north or south, bending over `wavelength` coarser cells. A coarse
// channel or crease that ran straight along the coarser grid's columns or rows would
// otherwise run on ruler-straight through every finer level; bent at every level, it winds at
// every scale, as a real valley does. Mostly east-west: a range's flanks face north and south,
// and a face bent along its own fall would only trade its aspect for its neighbours'.
struct Bend {
    double amount = 0.0; // 0: read unbent
    double across = 0.5;
    double wavelength = 5.0;
    std::uint32_t seed = 1;
};

// The same read at every cell of a finer level; unbent, the curve's taps are worked out once
// per column and per row rather than at every cell.
class CoarserReader {
public:
    CoarserReader(const Level& coarser, const std::vector<float>& heights, const Level& finer,
                  const Bend& bend = {});
    double at(int row, int column) const;

    // The four samples a position reads along one axis and their weights.
    struct Taps {
        int index[4];
        double weight[4];
    };

private:
    const Level& coarser_;
    const std::vector<float>& heights_;
    Level finer_;
    Bend bend_;
    Octaves wander_; // the bend's noise
    std::vector<Taps> columns_, rows_;
};
