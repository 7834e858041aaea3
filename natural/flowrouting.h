#pragma once

#include <cstdint>
#include <vector>

// Water routing over a height field for the erosion: depressions filled, steepest-descent
// receivers, the order from the outlets up and the drainage area. Cells are numbered row by
// row; neighbours are the 8 around a cell.

enum class CellRole : std::uint8_t {
    free,   // eroded; drains to a neighbour
    held,   // never changed (the crest); drains like a free cell
    outlet, // where water leaves: the raster's edge and the ground at the base
};

struct HeightField {
    int width = 0;
    int height = 0;
    double cell = 1.0; // the cell's side, in the heights' unit
    std::vector<float> heights;
    std::vector<CellRole> roles;

    std::size_t size() const { return static_cast<std::size_t>(width) * height; }

    // Calls visit(neighbour's height, diagonal) for each of the up to eight neighbours of the
    // cell at row r, column c, row by row: the sweeps that settle slopes share this walk.
    template <typename Visit>
    void forNeighbours(const std::vector<float>& z, int r, int c, Visit visit) const {
        for (int dr = -1; dr <= 1; ++dr) {
            const int nr = r + dr;
            if (nr < 0 || nr >= height)
                continue;
            for (int dc = -1; dc <= 1; ++dc) {
                const int nc = c + dc;
                if ((dr == 0 && dc == 0) || nc < 0 || nc >= width)
                    continue;
                visit(static_cast<double>(z[static_cast<std::size_t>(nr) * width + nc]),
                      dr != 0 && dc != 0);
            }
        }
    }
};

// Raises every free cell that lies in a depression to the level it spills at, plus a small
// rise per cell (epsilon) so that water keeps running over the filled level to the spill
// point (priority flood with epsilon, Barnes et al. 2014, its queue bucketed by height into
// 65536 levels so that it runs in linear time; within a level cells are taken in the order
// they came). Held cells and outlets never change. Afterwards every
// free cell has a strictly lower neighbour on a path to an outlet. Returns the number of
// cells raised.
std::size_t fillDepressions(HeightField& field, float epsilon);

// Whether any free cell has no lower neighbour (a depression that fillDepressions would fill).
bool hasDepression(const HeightField& field, int threads);

struct FlowNetwork {
    std::vector<std::int32_t> receiver; // steepest lower neighbour; the cell itself for sinks
    std::vector<std::int32_t> stack;    // sinks first, every cell after its receiver
    std::vector<float> area;            // drainage area in cells, the cell's own included

    // Room the steps reuse from one to the next: fresh buffers each step cost more in the
    // memory's first touch than the work in them.
    struct Scratch {
        std::vector<std::uint8_t> waiting;
        std::vector<std::uint64_t> keys, sortedKeys;
        std::vector<std::int32_t> order;
        std::vector<float> weights, totals;
    } scratch;

    void clear();
    // How far a cell lies from its receiver, in the field's unit.
    double distance(std::int32_t cell, int width, double side) const {
        const std::int32_t step = cell - receiver[static_cast<std::size_t>(cell)];
        return step == 1 || step == -1 || step == width || step == -width
                   ? side
                   : side * 1.4142135623730951;
    }
};

// Receivers, then the order of the
// cells from the sinks up (Braun and Willett's stack, found by a walk from the sources that
// takes a cell once all its donors are taken) and the
// drainage area accumulated down that order. Outlets and cells with no lower neighbour are
// sinks. With a `scatter` of 0 a cell's receiver is its steepest lower neighbour (by slope, the
// diagonals 1.414 cells away); otherwise one of its lower neighbours is drawn with a chance in
// proportion to the slope to it, from a hash of the cell and `scatter`, so that water on an
// even slope does not run along the grid's eight directions. Receivers are found on `threads`
// threads; the result does not depend on how many.
void routeFlow(const HeightField& field, int threads, FlowNetwork& network,
               std::uint32_t scatter = 0);

// The receivers alone, as routeFlow finds them; the stack and the area stay as they were.
void findReceivers(const HeightField& field, int threads, FlowNetwork& network,
                   std::uint32_t scatter = 0);

// Replaces the network's drainage area by one that every cell shares among all its lower
// neighbours in proportion to slope^exponent times the contour towards each (a side 1, a
// corner 0.707): multiple flow directions (Freeman 1991; Quinn et al. 1991). On an even slope
// the water spreads instead of gathering in lines along the grid's eight directions, and
// valleys gather it where the ground itself converges, so they come out broad rather than
// one cell wide; the larger the exponent, the more the water keeps to the steepest way. Cells
// at or below `above` pass all their water to their receiver. Needs only the receivers
// (findReceivers), which stay for the stream-power step's descent; the stack becomes the cells
// from the lowest up (every receiver lies lower than its donors). With `threads` other than 1
// the cells' order is sorted on a second thread; the result is the same.
void spreadArea(const HeightField& field, double exponent, float above, FlowNetwork& network,
                int threads = 1);
