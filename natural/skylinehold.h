#pragma once

#include <algorithm>
#include <cstddef>
#include <functional>
#include <vector>

#include "natural/flowrouting.h"
#include "natural/levels.h"
#include "natural/naturalranges.h"
#include "natural/shaping.h"
#include "natural/skyline.h"

// The skyline held on a level: which cell of each column holds each range's crest, how high
// the column may stand as the viewer sees it, and the caps that keep every other cell below
// what the drawing shows.

// How a cell sees a range's skyline: where its ray from the viewer crosses the range's line,
// and how far it stands from the viewer against the line (1 straight on).
struct Sight {
    double along = 1.0;
    double eyeX = 0.0;

    // The point on the range's line seen in the same direction as x at the cell.
    double onLine(double x) const { return eyeX + (x - eyeX) / along; }
};

// A range's skyline as its viewer sees it. Straight on a cell holds the skyline above its
// column; in perspective the skyline seen in the cell's direction, its height above the eye
// scaled by the cell's distance over the line's, so that the cell shows the drawn elevation
// angle.
struct SkylineView {
    const Skyline* skyline = nullptr;
    NaturalViewer viewer;
    double base = 0.0;
    double depth = 0.0; // the range's line, north of the front range's

    // The sight of a cell `northing` north of the front range's line.
    Sight sight(double northing) const {
        Sight s;
        if (viewer.perspective) {
            // Nothing is seen from behind the eye: a cell that close keeps a tenth of the front
            // range's distance. Every range takes the cell as just as far from the eye, or the
            // farther ranges would allow it more than the lines of sight to them do.
            const double front = viewer.distance - depth;
            s.along = std::max(0.1 * front, front + northing) / viewer.distance;
            s.eyeX = viewer.x;
        }
        return s;
    }
    bool covers(const Sight& s, double a, double b) const {
        return skyline->covers(s.onLine(a), s.onLine(b));
    }
    // The same elevation angle at the cell's distance, never below the base.
    double keptAngle(const Sight& s, double drawn) const {
        if (!viewer.perspective)
            return drawn;
        return std::max(0.0, viewer.height - base + (drawn + base - viewer.height) * s.along);
    }
    // The top a cell at column x holds: over its width where the skyline covers it, beyond the
    // ends its fall. The finest level's columns peak at the curve's top over their width. A
    // coarser level's columns stand for several of the finest and are read between each other:
    // they take the curve's lowest over their neighbours' reach, so that nothing they pass on
    // stands above a finest column's top; the finest level sharpens the crest up to it.
    double top(const Sight& s, const Level& level, double x, bool held) const {
        const double a = x - 0.5 * level.cell, b = x + 0.5 * level.cell;
        return keptAngle(s, !held               ? skyline->beyond(s.onLine(x), 0.5)
                            : level.factor == 1 ? skyline->topOver(s.onLine(a), s.onLine(b))
                                                : skyline->bottomOver(s.onLine(x - level.cell),
                                                                      s.onLine(x + level.cell)));
    }
    // The fall beyond the skyline's ends, not cut off there below the end height: spurs that
    // run on further than the drops foresaw would stand cut off flat along the columns. The
    // floor under it is seen like the skyline: in perspective a floor of one height nearer
    // than the line would show above the skylines beside the frame's edges.
    double beyond(const Sight& s, double x, double lowest) const {
        return keptAngle(s, std::max(skyline->beyond(s.onLine(x), 0.0), lowest));
    }
};

// A level's crest cells and the highest each of its columns may be (seeColumn).
struct Crest {
    // Each range's crest cells, one per column, front range first.
    std::vector<std::vector<CrestCell>> ranges;
    // The visible top of each column: the highest of the skylines that cover it.
    std::vector<double> ceiling;
    // The crest's tops smoothed along it: what the detail fades towards, so that its amplitude
    // does not jump where the skyline does.
    std::vector<double> smoothTop;
    // Each range's crest cells that stand at the outline: held, and no lower than what any
    // range shows at the cell's distance. Straight on that is the column's ceiling; in
    // perspective a farther range's crest stands higher for the same elevation angle, so tops at
    // different distances compare only at one distance.
    std::vector<std::vector<char>> seen;
    // In perspective each cell's ceiling depends on its distance: holdSkyline asks the views.
    const std::vector<SkylineView>* views = nullptr;
    double lowestCeiling = 0.0;
};

// What holding the skyline on a level depends on besides the ranges' views: the landscape's
// relief and flank depth, its massif, where each range's divide runs and how the caps take
// over.
struct SkylineHold {
    double relief = 0.0;
    double depth = 0.0;
    const Massif* massif = nullptr; // required
    // Range k's divide at x, northing from the front range's line of sight.
    std::function<double(std::size_t, double)> divide;
    // The width of the smooth minimum by which the caps take over (height).
    double softness = 0.0;
    // The flanks' cap from column to column away from the fins (height over distance).
    double flankCapStep = 0.0;
    // The fins' rows either side of a seen crest cell, on the finest level.
    int finRows = 0;
    // Levels up to this side carve the foreland's valleys themselves; on finer ones the
    // ground at the foreland's height is an outlet.
    int forelandErodedSide = 0;
    // The smooth lowering above the caps on the coarser levels (lowerAboveCaps): its reach as
    // a share of the flank depth and at most in cells, and the gap from the crest and the ramp
    // beyond it (cells) over which it comes in.
    double excessReach = 0.0;
    double excessReachCells = 0.0;
    double excessCrestGap = 0.0;
    double excessCrestRamp = 0.0;
};

// A level's crest: each range's crest cell in each column, on its divide, and each column's
// ceiling as the views see it.
Crest crestOf(const SkylineHold& hold, const std::vector<SkylineView>& views, const Level& level);

// Holds a level's crest cells at their tops and every other cell at or below its column's
// ceiling (away from the finest level's fins, at or below what the neighbouring columns'
// ceilings allow at hold.flankCapStep), by a smooth minimum so that no column shows where the cap
// takes over; the raster's edge and ground at the base are outlets. With `roles` false only
// the heights change.
void holdSkyline(const SkylineHold& hold, const Crest& crest, const Level& level, bool roles,
                 HeightField& field);
