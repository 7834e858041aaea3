#pragma once

#include <cstdint>
#include <vector>

#include "libgm/gmvec2.h"

// The shaping: the mountain's body raised in two dimensions round the divide's crest cells.
// Each crest cell is a summit of its own whose ground falls in every direction along the
// profile h = top (1 - d / reach)^p (steep under the top, gentle at the foot); the body is the
// highest of all of them (the upper envelope of the summits' cones), so a lone summit is a
// round massif, a row of them a ridge with spurs where neighbours' cones meet. The distance is
// measured in a plane warped by noise and counted more or less steeply by a noisy cost that
// also leans from the divide, so spurs, hollows and the north and south flanks all differ. A
// summit falls at the slope setting's rate unless the drawn skyline beside it falls more
// steeply: then its top falls towards that side as steeply as the drawing demands (but never
// faster than `steepest`), as far down as the drawing demands, and the setting's slope takes
// over below; the drop holds along the divide too and fades out across the other side.
struct Massif {
    double relief = 1.0; // the highest crest above the base
    double depth = 1.0;  // how far the highest crest's ground reaches: relief / slope
    double profile = 1.6;
    double costWavelength = 1.0; // of the cost's and the warp's noise
    double costVariation = 0.2;  // the cost lies within about 1 -+ this
    double warp = 0.08;          // how far the plane is warped, as a share of its wavelength
    double steepest = 1.5;       // the steepest a summit's ground falls, height over distance
    double tilt = 0.0;           // the cost's lean, e^(+-tilt) a quarter depth off the divide
    double tiltWavelength = 1.0; // of the tilt's change along the range, in depths
    double divideWander = 0.0;   // the divide's plan (divideAt), which the tilt leans from
    double divideWavelength = 1.0;
    // The divide's course drawn from above (natural/dividecourse.h); empty: it wanders.
    std::vector<gmVector2> divideCourse;
    std::uint32_t seed = 1;

    // The cost of crossing ground at (x, y): the distance there counts that many times.
    double cost(double x, double y) const;
    // Where (x, y) lies in the warped plane.
    void warped(double x, double y, double& u, double& v) const;
    // The least share of a plain distance that the warp and the cost leave of it.
    double shortening() const;
    // How fast h^(1/profile) falls per unit of cost-weighted distance.
    double fall() const;
};

// A crest cell of a level: its row (clamped inside the level) and its top above the base;
// columns beyond the skyline have none (held false).
struct CrestCell {
    int row = 0;
    double top = 0.0;
    bool held = false;
    // Where the drawn skyline beside it is steeper than the slope setting, the summit's
    // ground falls faster than the setting's rate by as much as the drawing demands at each
    // distance: towards the west by drops[0][j] more (in h^(1/p)) at dropCell 2^j, linear
    // between, towards the east by drops[1][j], blended round the summit by direction, and
    // the setting's rate below. Empty: no more.
    std::vector<double> drops[2];
    double dropCell = 1.0;
};

// A level's cells: `width` x `height`, x of column c = west + c cell, y of row r =
// north - r cell.
struct LevelGrid {
    int width = 0, height = 0;
    double west = 0.0, north = 0.0, cell = 1.0;
    double x(int c) const { return west + c * cell; }
    double y(int r) const { return north - r * cell; }
};

// Sets every held crest cell's drops to the least that keep its cone below the other columns'
// tops along the divide (beyond the skyline's ends, their fall from its end heights).
void steepenCrest(const Massif& massif, const LevelGrid& grid, std::vector<CrestCell>& crest);

// The body over the whole level, heights above the base, 0 where no summit reaches; rows on
// `threads` threads, the same bytes with any number.
void raiseMassif(const Massif& massif, const LevelGrid& grid, const std::vector<CrestCell>& crest,
                 int threads, std::vector<float>& heights);
// The same over several ranges' crests (each one cell per column): the body is the upper
// envelope of all their summits.
void raiseMassif(const Massif& massif, const LevelGrid& grid,
                 const std::vector<std::vector<CrestCell>>& ranges, int threads,
                 std::vector<float>& heights);

// Sharpens a finer level's body near the crest: within `radius` cells of every crest cell the
// ground rises, by a smooth maximum, towards the summits' cones at this level's resolution
// (all the way within half the radius, fading out towards it), so that every bump of the
// skyline stands as a small summit rather than a one-cell wire.
void sharpenCrest(const Massif& massif, const LevelGrid& grid, const std::vector<CrestCell>& crest,
                  int radius, double softness, std::vector<float>& heights);

// Smooth minimum and maximum of a and b over a width k (quadratic blend): no kink where one
// takes over from the other, and the plain min/max once they differ by k or more.
double smoothMin(double a, double b, double k);
double smoothMax(double a, double b, double k);
