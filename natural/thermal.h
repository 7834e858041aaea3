#pragma once

#include <vector>

#include "natural/flowrouting.h"

// Each cell's distance in cells to the nearest of the `seeds` (a w x h mask) over the eight
// neighbours, a step from column to column counting `across` times one from row to row (and
// a diagonal step the hypotenuse); beyond the raster's span where there is none.
std::vector<float> distanceToCells(const std::vector<char>& seeds, int w, int h,
                                   double across = 1.0);

// Thermal erosion (talus): wherever the slope between two neighbouring cells exceeds `talus`
// (height per unit of distance), part of the excess slides from the higher cell to the lower,
// `sweeps` times. Every pair of neighbours exchanges material symmetrically and each sweep
// reads only the previous one, so rows are computed on `threads` threads with the same result
// whatever their number. Only free cells change; the material held or outlet cells would take
// or give is dropped, as at an edge.
void thermalErosion(HeightField& field, double talus, int sweeps, int threads);

// Threshold hillslopes: ground steeper than it can stand towards any lower neighbour fails and
// is cut back until it stands at that angle, as rock faces above their critical angle shed
// their excess in landslides. `steepest` holds each cell's critical slope (height over
// distance; between two cells their mean counts), lower where the rock is weaker, so that the
// faces cut back show gullies and buttresses. Every free and outlet cell becomes the lowest
// of its own height and its neighbours' heights plus the critical slope times the distance
// to them, taken over all paths (a lower envelope in two raster passes, so the result does
// not depend on any order of sliding; `passes` pairs of them at most, fewer once they
// settle), over steps of up to `reach` cells each way (1: the eight neighbours; 2: sixteen
// directions, faces of any bearing). Held cells keep their heights. Only ever lowers ground,
// so no column's highest cell can rise.
void limitSlope(HeightField& field, const std::vector<float>& steepest, int passes = 8,
                int reach = 2);

// Each column's fin, for a crest held at `heldRows` (-1: none) and `finRows` rows either
// side of it. The fin covers whole the held row's nearest rows and every row from it to the
// rows its neighbouring columns hold, so that a view along the rows sees the crest unbroken
// where it steps. Its other rows stand on it as far as they lie within finRows + 1/2 of its
// middle, the held row eased towards the rows its neighbours hold: where the crest steps a
// row every few columns the fin's edges slant with it rather than stepping a row at a time.
struct Fin {
    int held = -1;
    int whole[2] = {0, -1};
    double middle = 0.0;
};
std::vector<Fin> finsOf(const std::vector<int>& heldRows, int finRows);
// How much of its column's fin a cell in `row` stands on, 0 to 1.
double finShare(const Fin& fin, int row, int finRows);

// The crest's blade: where the faces cut back leave a held cell standing alone above the
// ground round it (the drawing asks more than the rock stands), the ground rises again to the
// upper envelope of the held cells' cones falling at the rock's angle (`steepest`, times
// `steeper`, over the same steps as limitSlope), joined by a smooth maximum of width
// `softness`. The cones are cut off at each column's `ceiling` and, from one column to the
// next, at `steepestFace` (height over distance): only where the drawing itself falls faster
// does a held cell stand above the blade, as a pinnacle. The cells beside a held cell along
// its row stand at their own column's top (or the held cell's, if lower), so the crest runs on
// unbroken where it steps a row. On its column's fin (finsOf, about `finRows` rows either side
// of its held cell along its column) a column's cone is cut off at its ceiling only: where the
// drawing falls steeply the held cell stands on a short fin across the crest rather than as a
// one-cell needle, whose point would show in the ground's finest scales; where the crest
// steps two or three rows from one column to the next, the rows between stand on the fin at
// least on the straight line from the held cell to the cell beside its neighbour's, so that
// the crest does not dip between them. Weak rock notches the faces. Only ever raises free
// ground (outlets stay base and lowland), never above a column's ceiling.
//
// Cut off by each column alone, a cone that overtops a lower column's cap along that column
// would stand flat along it: a face whose edges run straight along the columns. With a `roof`
// (fall > 0) the blade also stays under a roof over the crest: `rows` cells from the crest
// no higher than the ceilings chained from column to column at the roof's `step`, gentler
// than `steepestFace`, and `fall` lower for every cell further (higher nearer, up to the
// cut-off above). The distance to the crest (its held cells) counts a step from column to
// column `across` times a step from row to row: the roof falls mostly across the crest,
// however the crest steps from row to row, and its faces stay near the roof's own slopes.
struct BladeRoof {
    double step = 0.0;
    double fall = 0.0;
    double rows = 0.0;
    double across = 1.0;
};
void raiseBlade(HeightField& field, const std::vector<float>& steepest,
                const std::vector<double>& ceiling, double steepestFace, double softness,
                double steeper = 1.0, int finRows = 0, const BladeRoof& roof = {});
