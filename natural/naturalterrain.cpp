#include "natural/naturalterrain.h"

#include <algorithm>
#include <atomic>
#include <cfloat>
#include <charconv>
#include <cmath>
#include <new>
#include <optional>

#include "natural/detailnoise.h"
#include "natural/dividecourse.h"
#include "natural/erosion.h"
#include "natural/foreland.h"
#include "natural/hillslope.h"
#include "natural/levels.h"
#include "natural/rowthreads.h"
#include "natural/shaping.h"
#include "natural/skyline.h"
#include "natural/skylinehold.h"
#include "natural/thermal.h"

// The levels: the landscape is built coarse to fine. The coarsest level raises the whole
// body round the divide (raiseMassif) on the foreland and carves it by stream power over many
// steps; every finer level takes the coarser one's result, adds the detail of its own scales,
// sharpens the crest to its own resolution, carves a few steps of its own and lets talus
// settle what is too steep. Every level holds its crest cells at the skyline and keeps every
// other cell below its column's skyline by a smooth minimum.

namespace {

using Grid = std::vector<std::vector<gmVector2>>;

// The coarsest level has at most this many cells a side; stream-power erosion runs on levels
// up to erodedSide a side, the finer ones carry its valleys and add their own detail and talus.
const int coarsestSide = 257;
const int erodedSide = 1025;
// The foreland erodes on levels up to this many cells a side; finer levels carry its valleys
// on, their erosion spent on the mountain.
const int forelandErodedSide = 513;
// The total erosion time at full strength on the coarsest level, and the share each finer
// level adds (in units where the flank depth is 1).
const double erosionTime = 1.5;
const double finerLevelShare = 0.12;
// On the coarsest level the water the stream power counts spreads over every lower neighbour
// with this exponent on the slope (spreadArea) above the foreland: the mountain's valleys, the
// ones the finer levels carry on, gather where the ground converges and come out broad, not
// as lines along the grid. The foreland's rivers keep to one course each; spread over its
// gentle ground they would cut no valleys, and its hollows would stand filled flat.
const double coarsestSpread = 1.8;
// How far the divide wanders in plan either way, and the wavelength of its bends, as shares of
// the flank depth.
const double divideWander = 0.45;
// With several ranges, each divide wanders at most this share of the gap to its neighbours'
// either way: divides that crossed would put a farther range in front of a nearer one.
const double rangeGapWander = 0.4;
const double divideWavelength = 1.1;
// The wavelength of the cost's noise that shapes spurs and hollows, as a share of the flank
// depth.
const double costWavelength = 0.7;
// How much costlier the ground of one flank is than the other's half a flank depth off the
// divide (as the exponent's factor), and the wavelength along the range over which the
// longer flank changes sides, in flank depths.
const double flankTilt = 1.0;
const double flankTiltWavelength = 0.7;
// The margin of foreland round the mountain's foot, as a share of the flank depth.
const double margin = 0.2;
// How far the landscape reaches round each skyline point, as a share of its ground's reach
// where the cost is even, and the band inside the raster's edge over which the mountain's
// ground is taken down to the foreland where a spur runs further.
const double reachShare = 0.95;
const double edgeTaper = 0.2;
// The foreland gets within 1/e of its height over this share of the flank depth from the
// raster's edge, its valleys this share of the flank depth apart.
const double forelandRise = 0.35;
const double forelandWavelength = 0.55;
// The width of the smooth minimum under the skyline, as a share of the relief: the ground
// rounds off that much below a column's top rather than being cut off flat.
const double capSoftness = 0.004;
// How far round every crest cell a level sharpens the crest to its own cells, in cells.
const int sharpenRadius = 5;
// The detail noise's amplitude at full detail, as a share of the relief.
const double detailAmplitude = 0.12;
// How far the detail's finer octaves vary from place to place (Octaves::roughness).
const double detailRoughness = 0.9;
// Below this share of the relief the detail's amplitude falls in proportion to the height.
const double lowDetail = 0.1;
// The hillslope diffusion on the finest level: its rate and steps (diffuseHillslopes).
const double hillslopeRate = 0.5;
const int hillslopeSweeps = 2;
// The talus angle, in units of the slope setting: steeper ground slides.
const double talus = 2.0;
// The steepest ground stands, height over distance (about 57 degrees): steeper faces fail.
const double steepestFace = 1.55;
// Where the drawing falls faster than a face stands, the blade along the crest falls from one
// column to the next at no more than this (just under 60 degrees); the held cells stand above
// it as pinnacles by what the drawing asks more.
const double steepestStep = 1.68;
// How much less steeply the weakest rock stands at the default detail (in proportion to the
// detail setting: with no detail the rock is the same everywhere), and the wavelength of the
// rock's pattern as a share of the flank depth.
const double weakRock = 0.35;
const double rockWavelength = 0.12;
// The crest's blade is raised at the rock's angle before a level is carved, so that channels
// and failed faces texture it; after the carving it comes back only where the carving left
// the crest steeper than this many times the rock's angle.
const double bladeAfterCarving = 1.0;
// On the finest level a held cell that stands above the blade stands on a fin this many rows
// either side of it along its column (raiseBlade).
const int finRows = 2;
// How far, in coarser cells, a finer level up to erodedSide bends its reading of the coarser
// one (Bend).
const double coarserBend = 1.0;
// The roof over the blade (BladeRoof): this many cells from the crest the blade stands at the
// ceilings chained at the step (about 39 degrees), and it falls this much per cell further
// from the crest (about 54 degrees), a step from column to column counting this share of
// one from row to row. Under the drop of a steep drawing the cones of the summit above
// would otherwise be cut off flat along each lower column; under the roof the faces there
// fall away from the crest, and whichever way they face stand no steeper than about 59
// degrees.
const BladeRoof bladeRoof{0.8, 1.4, 4.0, 0.3};
// Away from the fins, no cell stands higher than its neighbouring columns' tops allow at this
// fall from one column to the next (height over distance, just under 60 degrees): under a
// narrow notch of the drawing the flanks fall into a valley rather than standing as walls
// either side of a trench cut straight through the body along the notch's column.
const double flankCapStep = 1.7;
// Where the body stands above those caps a level takes it down by a smooth field reaching
// this share of the flank depth round the excess (but no more than so many cells, which keeps
// the fine levels' work in bounds), rather than cutting it off flat along the columns; the
// crest and the cells up to the gap from it (in cells) keep to the caps alone, the lowering
// coming in over the ramp beyond.
const double excessReach = 0.03;
const double excessReachCells = 3.0;
const double excessCrestGap = 1.0;
const double excessCrestRamp = 14.0;

std::string number(double value) {
    char text[32];
    return std::string(text, std::to_chars(text, text + sizeof text, value).ptr);
}

// The raster's outer cell centres and its cell.
struct Edges {
    double west = 0, east = 0, south = 0, north = 0, cell = 1;
};

// A range's divide in plan: its depth behind the front range's divide and either the course
// drawn for it or its own wander.
struct RangePlan {
    double depth = 0.0;
    double wander = 0.0;    // how far its divide wanders either way
    std::uint32_t seed = 1; // of its wander
    std::vector<gmVector2> course;
    NaturalViewer viewer; // whom its skyline was drawn for
};

struct Shape {
    double relief = 0.0; // the skylines' highest point above the base
    double depth = 0.0;  // how far the flanks of the highest point reach
    double slope = 0.5;
    double detail = 0.5;
    Massif massif;
    Octaves octaves;
    std::uint32_t seed = 1;
    Edges edges;
    std::vector<RangePlan> ranges; // front first
};

// Where range k's divide runs at x, northing from the front range's line of sight: along its
// course where it has one, else wandering by itself.
double divideOf(const Shape& shape, std::size_t k, double x) {
    const RangePlan& range = shape.ranges[k];
    const double northing =
        divideAt(range.course, x, range.wander, divideWavelength * shape.depth, range.seed);
    return k == 0 ? northing : range.depth + northing;
}

ForelandShape forelandShape(const Shape& shape, const Level& coarsest) {
    ForelandShape foreland;
    foreland.west = coarsest.x(0);
    foreland.east = coarsest.x(coarsest.width - 1);
    foreland.north = coarsest.y(0);
    foreland.south = coarsest.y(coarsest.height - 1);
    foreland.cell = coarsest.cell;
    foreland.height = naturalForelandHeight * shape.relief;
    foreland.rise = forelandRise * shape.depth;
    foreland.wavelength = forelandWavelength * shape.depth;
    foreland.seed = shape.seed;
    return foreland;
}

// The foreland's height at (x, y): the base on the raster's outermost two cells, rising over
// the next four.
double forelandHeight(const Shape& shape, const Foreland& foreland, double x, double y) {
    const Edges& e = shape.edges;
    auto rise = [&](double fromEdge) {
        const double t = std::clamp((fromEdge - 2.0 * e.cell) / (4.0 * e.cell), 0.0, 1.0);
        return t * t * (3 - 2 * t);
    };
    const double edge = rise(x - e.west) * rise(e.east - x) * rise(e.north - y) * rise(y - e.south);
    return edge > 0 ? edge * foreland.at(x, y) : 0.0;
}

// How the levels hold the skylines of this landscape (holdSkyline).
SkylineHold skylineHoldOf(const Shape& shape) {
    SkylineHold hold;
    hold.relief = shape.relief;
    hold.depth = shape.depth;
    hold.massif = &shape.massif;
    hold.divide = [&shape](std::size_t k, double x) { return divideOf(shape, k, x); };
    hold.softness = capSoftness * shape.relief;
    hold.flankCapStep = flankCapStep;
    hold.finRows = finRows;
    hold.forelandErodedSide = forelandErodedSide;
    hold.excessReach = excessReach;
    hold.excessReachCells = excessReachCells;
    hold.excessCrestGap = excessCrestGap;
    hold.excessCrestRamp = excessCrestRamp;
    return hold;
}

// How strongly detail shows on ground h above the base in a column whose top is `top`: none at
// the base, fading out towards the top so that the skyline keeps the drawing's shape. Beyond
// the skyline's ends the columns' tops fall below the foreland, which may rise above them: the
// fade keeps clear of the foreland's heights there, or the detail would end along a line where
// a column's top meets the foreland.
double detailEnvelope(const Shape& shape, double h, double top) {
    if (h <= 0)
        return 0.0;
    const double fadeTop = std::max(top, (1.5 * naturalForelandHeight + 0.04) * shape.relief);
    const double below = std::clamp((fadeTop - h) / (0.04 * shape.relief), 0.0, 1.0);
    // On low ground the detail shrinks with the height itself: on the foreland's gentle slopes
    // any more would close hollows that the drainage can only fill flat, and near the base it
    // would reach below it and be cut off flat.
    const double share = std::min(1.0, h / shape.relief);
    return (share < lowDetail ? share / std::sqrt(lowDetail) : std::sqrt(share)) * below;
}

// Faces fail at an angle that varies with the rock: narrow weak lines (the noise's zero
// crossings) stand less steeply and become gullies between buttresses.
void rockAngles(const Shape& shape, const Level& level, int threads, std::vector<float>& steepest) {
    Octaves rock;
    rock.wavelength = rockWavelength * shape.depth;
    rock.finest = 2.0 * level.cell;
    rock.maxOctaves = 3;
    forRowBands(level.height, 16, threadsFor(steepest.size(), threads), [&](int first, int end) {
        for (int r = first; r < end; ++r)
            for (int c = 0; c < level.width; ++c) {
                const double n =
                    fractalNoise(level.x(c), level.y(r), rock, shape.seed ^ 0x1f83d9abu);
                const double weak = 1.0 - std::min(1.0, 2.5 * std::abs(n));
                steepest[static_cast<std::size_t>(r) * level.width + c] =
                    static_cast<float>(steepestFace * (1.0 - 2.0 * shape.detail * weakRock * weak));
            }
    });
}

// A level's ground before its own erosion: on the coarsest level the body raised round the
// crest on the foreland, on finer ones the coarser level's result; then this level's octaves
// of detail and, on finer levels, the crest sharpened to this level's cells. `steepest` gets
// the level's rock angles (rockAngles), for its erosion too.
void levelHeights(const Shape& shape, const Crest& crest, const Level& level, const Level* coarser,
                  const std::vector<float>* coarserHeights, int firstOctave, int threads,
                  HeightField& field, std::vector<float>& steepest) {
    field.width = level.width;
    field.height = level.height;
    field.cell = level.cell;
    field.heights.assign(field.size(), 0.0f);
    field.roles.assign(field.size(), CellRole::free);
    if (!coarser) {
        raiseMassif(shape.massif, level.grid(), crest.ranges, threads, field.heights);
        // The body tapers out towards the raster's edge.
        const Edges& e = shape.edges;
        const double band = edgeTaper * shape.depth;
        const auto taper = [&](double fromEdge) {
            const double t = std::clamp((fromEdge - 2.0 * e.cell) / band, 0.0, 1.0);
            return t * t * (3 - 2 * t);
        };
        for (int r = 0; r < level.height; ++r)
            for (int c = 0; c < level.width; ++c) {
                float& h = field.heights[static_cast<std::size_t>(r) * level.width + c];
                const double x = level.x(c), y = level.y(r);
                h = static_cast<float>(h * taper(x - e.west) * taper(e.east - x) *
                                       taper(e.north - y) * taper(y - e.south));
            }
        // The foreland's rivers carry on the streams leaving the body; it fades out up the
        // mountain.
        ForelandShape ground = forelandShape(shape, level);
        ground.threads = threads;
        const Foreland foreland(ground, field.heights);
        for (int r = 0; r < level.height; ++r)
            for (int c = 0; c < level.width; ++c) {
                float& h = field.heights[static_cast<std::size_t>(r) * level.width + c];
                const double fade = std::max(0.0, 1.0 - h / shape.relief);
                h = static_cast<float>(
                    h + fade * forelandHeight(shape, foreland, level.x(c), level.y(r)));
            }
    }
    Octaves octaves = shape.octaves;
    octaves.finest = 2.0 * level.cell;
    octaves.firstOctave = firstOctave;
    const double amplitude = shape.detail * detailAmplitude * shape.relief;
    // Only the eroded levels bend their reading: the finer ones add their own detail to
    // valleys already winding, and bent there they streaked the ground along the rows.
    Bend bend;
    bend.amount = std::max(level.width, level.height) <= erodedSide ? coarserBend : 0.0;
    bend.seed = shape.seed;
    const std::optional<CoarserReader> fromCoarser =
        coarser ? std::make_optional<CoarserReader>(*coarser, *coarserHeights, level, bend)
                : std::nullopt;
    forRowBands(level.height, 16, threadsFor(field.size(), threads), [&](int first, int end) {
        for (int r = first; r < end; ++r)
            for (int c = 0; c < level.width; ++c) {
                const double x = level.x(c), y = level.y(r);
                float& h = field.heights[static_cast<std::size_t>(r) * level.width + c];
                if (fromCoarser)
                    h = static_cast<float>(fromCoarser->at(r, c));
                double envelope =
                    detailEnvelope(shape, h, crest.smoothTop[static_cast<std::size_t>(c)]);
                // The coarsest level's octaves on low ground are the foreland's own valleys' to
                // shape: over its gentle slopes they would close hollows wide enough that
                // water filled flat across them runs in straight lines.
                if (!coarser)
                    envelope *= std::clamp(h / (lowDetail * shape.relief), 0.0, 1.0);
                if (envelope > 0 && amplitude > 0)
                    h += static_cast<float>(amplitude * envelope *
                                            fractalNoise(x, y, octaves, shape.seed));
            }
    });
    // Every step stops within itself once the construction is cancelled (rowBandsStopped);
    // the level is then dropped whole.
    if (rowBandsStopped())
        return;
    for (const std::vector<CrestCell>& cells : crest.ranges)
        sharpenCrest(shape.massif, level.grid(), cells, sharpenRadius, capSoftness * shape.relief,
                     field.heights);
    holdSkyline(skylineHoldOf(shape), crest, level, true, field);
    if (rowBandsStopped())
        return;
    steepest.resize(field.size());
    rockAngles(shape, level, threads, steepest);
    raiseBlade(field, steepest, crest.ceiling, steepestStep, capSoftness * shape.relief, 1.0, 0,
               bladeRoof);
}

// Carves a level (carveLevel) and brings its crest back to the skyline; `steepest` holds the
// level's rock angles.
void erodeLevel(const Shape& shape, const Crest& crest, const Level& level, const Carving& carving,
                int threads, const std::vector<float>& steepest, HeightField& field) {
    // As in levelHeights, a cancel stops every step within itself (and leaves no rock angles).
    if (steepest.size() != field.size())
        return;
    carveLevel(carving, threads, field);
    if (rowBandsStopped())
        return;
    // On the finest level the carving's one-cell grooves open into valleys a few cells wide,
    // and the detail falls off towards the finest scales as real ground's does rather than
    // ending in a texture of single cells.
    if (level.factor == 1)
        diffuseHillslopes(field, hillslopeRate, hillslopeSweeps, threads);
    if (rowBandsStopped())
        return;
    // The held crest cells gave nothing to the carving and the talus round them: the ground
    // beside them comes back up to their cones, or each would stand as a one-cell wire.
    for (const std::vector<CrestCell>& cells : crest.ranges)
        sharpenCrest(shape.massif, level.grid(), cells, sharpenRadius, capSoftness * shape.relief,
                     field.heights);
    if (rowBandsStopped())
        return;
    // Beyond the eroded levels the faces were cut back already and only the finest detail
    // is new: two pairs of passes over the eight neighbours settle it.
    const bool eroded = std::max(level.width, level.height) <= erodedSide;
    limitSlope(field, steepest, eroded ? 8 : 2, eroded ? 2 : 1);
    if (rowBandsStopped())
        return;
    // Where the drawing is steeper than the rock, the faces cut back leave each column's held
    // cell standing alone above them: the crest stands as a blade instead.
    raiseBlade(field, steepest, crest.ceiling, steepestStep, capSoftness * shape.relief,
               bladeAfterCarving, level.factor == 1 ? finRows : 0, bladeRoof);
    holdSkyline(skylineHoldOf(shape), crest, level, false, field);
}

} // namespace

bool NaturalSettings::operator==(const NaturalSettings& other) const {
    return slope == other.slope && frontProfile == other.frontProfile && detail == other.detail &&
           erosion == other.erosion && erosionSteps == other.erosionSteps && seed == other.seed;
}

bool checkNaturalSettings(const NaturalSettings& settings, std::string& error) {
    auto outside = [&](const char* name, double value, double lo, double hi) {
        if (value >= lo && value <= hi)
            return false;
        error = std::string("the natural terrain's ") + name + " must lie between " + number(lo) +
                " and " + number(hi) + ", not " + number(value);
        return true;
    };
    return !(outside("slope", settings.slope, 0.05, 5.0) ||
             outside("front profile", settings.frontProfile, 0.5, 4.0) ||
             outside("detail", settings.detail, 0.0, 1.0) ||
             outside("erosion", settings.erosion, 0.0, 1.0) ||
             outside("erosion steps", settings.erosionSteps, 1, 500));
}

namespace {

// Whether a drawn curve can stand for the skyline: two points or more, finite, x rising.
bool usableCurve(const std::vector<gmVector2>& curve) {
    if (curve.size() < 2)
        return false;
    for (std::size_t i = 0; i < curve.size(); ++i) {
        if (!std::isfinite(curve[i][0]) || !std::isfinite(curve[i][1]))
            return false;
        if (i > 0 && !(curve[i][0] > curve[i - 1][0]))
            return false;
    }
    return true;
}

// What a natural terrain is built from: the skylines above the base (front first), the
// mountains' shape and the landscape's extent (the skylines, the falls beyond their ends, both
// flanks of every range with its divide's wander, the margin), in sketch pixels.
struct Plan {
    double base = 0.0;
    std::vector<std::vector<gmVector2>> curves;
    Shape shape;
    double west = 0, east = 0, south = 0, north = 0;
};

// A drawn curve as projects keep it, in single precision: the window's export and the
// builder's from the saved project see the same skyline. Empty when it cannot stand for one.
std::vector<gmVector2> keptCurve(const std::vector<gmVector2>& drawn) {
    if (!usableCurve(drawn))
        return {};
    std::vector<gmVector2> curve = drawn;
    for (gmVector2& p : curve)
        p = gmVector2(static_cast<float>(p[0]), static_cast<float>(p[1]));
    return usableCurve(curve) ? curve : std::vector<gmVector2>{};
}

// The wander of a range behind the front one: a walk of its own.
std::uint32_t rangeSeed(std::uint32_t seed, std::size_t k) {
    return k == 0 ? seed : seed ^ (0x9e3779b9u * static_cast<std::uint32_t>(k));
}

bool planLandscape(const Grid& grid, double rowSpacing, const std::vector<NaturalRange>& ranges,
                   const NaturalSettings& settings, double scale, Plan& plan, std::string& error) {
    if (!checkTerrainGrid(grid, rowSpacing, error) || !checkNaturalSettings(settings, error))
        return false;
    if (ranges.empty()) {
        error = "the natural terrain needs at least one range";
        return false;
    }
    // The front range stands on grid row 0 where its skyline is missing; a range behind it
    // with no usable skyline adds nothing.
    plan.curves.clear();
    plan.shape.ranges.clear();
    for (std::size_t k = 0; k < ranges.size(); ++k) {
        const NaturalRange& range = ranges[k];
        if (k > 0 && !(std::isfinite(range.depth) && range.depth >= 0)) {
            error = "a range's depth behind the front range must be 0 or more, not " +
                    number(range.depth);
            return false;
        }
        if (!checkDivideCourse(range.divideCourse, error))
            return false;
        const NaturalViewer& viewer = range.viewer;
        // The eye stands south of the range's line (its depth behind the front one).
        if (viewer.perspective &&
            !(std::isfinite(viewer.x) && std::isfinite(viewer.height) &&
              viewer.distance > (k == 0 ? 0.0 : range.depth) && std::isfinite(viewer.distance))) {
            error = "the viewer must stand at a finite place south of every range";
            return false;
        }
        std::vector<gmVector2> curve = keptCurve(range.skyline);
        if (curve.empty() && k > 0)
            continue;
        if (curve.empty())
            curve = keptCurve(grid[0]);
        if (curve.empty())
            curve = grid[0];
        RangePlan kept;
        kept.depth = k == 0 ? 0.0 : range.depth;
        kept.seed = rangeSeed(settings.seed, k);
        kept.course = range.divideCourse;
        kept.viewer = viewer;
        plan.curves.push_back(std::move(curve));
        plan.shape.ranges.push_back(std::move(kept));
    }
    double base = 0.0, top = -DBL_MAX, west = DBL_MAX, east = -DBL_MAX;
    for (const std::vector<gmVector2>& curve : plan.curves) {
        for (const gmVector2& p : curve) {
            base = std::min(base, p[1]);
            top = std::max(top, p[1]);
        }
        west = std::min(west, curve.front()[0]);
        east = std::max(east, curve.back()[0]);
    }
    plan.base = base;
    const double span = east - west;
    Shape& shape = plan.shape;
    shape.slope = settings.slope;
    shape.detail = settings.detail;
    // A flat skyline still gets a landscape of some size round it.
    shape.relief = std::max(top - base, 1e-3 * span);
    shape.depth = shape.relief / settings.slope;
    shape.octaves.wavelength = 0.5 * shape.depth;
    shape.octaves.roughness = detailRoughness;
    shape.seed = settings.seed;
    shape.massif.relief = shape.relief;
    shape.massif.depth = shape.depth;
    shape.massif.profile = settings.frontProfile;
    shape.massif.costWavelength = costWavelength * shape.depth;
    shape.massif.seed = settings.seed;
    shape.massif.tilt = flankTilt;
    shape.massif.tiltWavelength = flankTiltWavelength;
    shape.massif.divideWander = divideWander * shape.depth;
    shape.massif.divideWavelength = divideWavelength * shape.depth;
    double deepest = 0.0;
    for (std::size_t k = 0; k < shape.ranges.size(); ++k) {
        RangePlan& range = shape.ranges[k];
        deepest = std::max(deepest, range.depth);
        range.wander = divideWander * shape.depth;
        for (const RangePlan& other : shape.ranges)
            if (&other != &range)
                range.wander =
                    std::min(range.wander, rangeGapWander * std::abs(other.depth - range.depth));
    }
    // The flanks lean from the front range's divide.
    shape.massif.divideWander = shape.ranges.front().wander;
    shape.massif.divideCourse = shape.ranges.front().course;
    if (!std::isfinite(shape.depth) || !std::isfinite(span) ||
        !(shape.relief * scale <= FLT_MAX / 4) || !(deepest * scale <= FLT_MAX / 4)) {
        error = "the terrain is too large for a natural terrain";
        return false;
    }
    // The landscape reaches as far as each skyline point's ground, which falls from its top
    // over depth (top / relief)^(1 / profile) round its divide's wander there, and a margin
    // beyond. Where noise lets a spur run further, the taper at the edge takes it down.
    const double pad = margin * shape.depth;
    plan.west = west;
    plan.east = east;
    plan.north = 0.0;
    plan.south = 0.0;
    // The tilt's cheaper flank and the cost's cheap ground run out further than the even
    // reach, in every direction.
    const double stretch = std::exp(0.5 * flankTilt);
    for (std::size_t k = 0; k < plan.curves.size(); ++k) {
        const RangePlan& range = shape.ranges[k];
        for (const gmVector2& p : plan.curves[k]) {
            const double reach =
                reachShare * shape.depth *
                std::pow((p[1] - base) / shape.relief, 1.0 / settings.frontProfile);
            // Off the range's own line, either way.
            const double off = std::abs(divideOf(shape, k, p[0]) - range.depth);
            plan.west = std::min(plan.west, p[0] - reach * stretch);
            plan.east = std::max(plan.east, p[0] + reach * stretch);
            plan.north = std::max(plan.north, range.depth + off + reach * stretch);
            plan.south = std::min(plan.south, range.depth - off - reach * stretch);
        }
    }
    plan.west -= pad;
    plan.east += pad;
    plan.north += pad;
    plan.south -= pad;
    return true;
}

// The native raster: row 0's median point gap as the cell, as many cells as the extent takes.
bool nativeLayout(const std::vector<gmVector2>& front, const Plan& plan, Layout& layout,
                  std::string& error) {
    std::vector<double> gaps(front.size() - 1);
    for (std::size_t i = 0; i + 1 < front.size(); ++i)
        gaps[i] = front[i + 1][0] - front[i][0];
    std::nth_element(gaps.begin(), gaps.begin() + static_cast<std::ptrdiff_t>(gaps.size() / 2),
                     gaps.end());
    layout.cell = gaps[gaps.size() / 2];
    const double w = std::ceil((plan.east - plan.west) / layout.cell) + 1;
    const double h = std::ceil((plan.north - plan.south) / layout.cell) + 1;
    if (!(w <= maximumRasterSide && h <= maximumRasterSide)) {
        error = "the natural terrain's native raster would be " + number(w) + "x" + number(h) +
                " cells, more than " + std::to_string(maximumRasterSide) +
                " a side - choose a size";
        return false;
    }
    layout.width = std::max(2, static_cast<int>(w));
    layout.height = std::max(2, static_cast<int>(h));
    return true;
}

} // namespace

bool naturalNativeSize(const Grid& grid, double rowSpacing, const NaturalSettings& settings,
                       int& width, int& height, std::string& error) {
    return naturalNativeSize(grid, rowSpacing, std::vector<gmVector2>{}, settings, width, height,
                             error);
}

bool naturalNativeSize(const Grid& grid, double rowSpacing, const std::vector<gmVector2>& skyline,
                       const NaturalSettings& settings, int& width, int& height,
                       std::string& error) {
    return naturalNativeSize(grid, rowSpacing, std::vector<NaturalRange>{{skyline, 0.0, {}, {}}},
                             settings, width, height, error);
}

bool naturalNativeSize(const Grid& grid, double rowSpacing, const std::vector<NaturalRange>& ranges,
                       const NaturalSettings& settings, int& width, int& height,
                       std::string& error) {
    Plan plan;
    Layout layout;
    if (!planLandscape(grid, rowSpacing, ranges, settings, 1.0, plan, error) ||
        !nativeLayout(grid[0], plan, layout, error))
        return false;
    width = layout.width;
    height = layout.height;
    return true;
}

const char* const naturalBuildCancelled = "the natural terrain's construction was cancelled";

bool naturalDivide(const Grid& grid, double rowSpacing, const std::vector<NaturalRange>& ranges,
                   const NaturalSettings& settings, int samples, std::vector<gmVector2>& divide,
                   std::string& error) {
    Plan plan;
    if (!planLandscape(grid, rowSpacing, ranges, settings, 1.0, plan, error))
        return false;
    const std::vector<gmVector2>& front = plan.curves.front();
    const double west = front.front()[0], east = front.back()[0];
    samples = std::max(samples, 2);
    divide.clear();
    for (int k = 0; k < samples; ++k) {
        const double x = west + (east - west) * k / (samples - 1);
        divide.emplace_back(x, divideOf(plan.shape, 0, x));
    }
    return true;
}

bool buildNaturalTerrain(const Grid& grid, double rowSpacing, const NaturalSettings& settings,
                         const RasterOptions& options, HeightRaster& raster, std::string& error,
                         int threads, const std::function<bool()>& cancelled) {
    return buildNaturalTerrain(grid, rowSpacing, std::vector<gmVector2>{}, settings, options,
                               raster, error, threads, cancelled);
}

bool buildNaturalTerrain(const Grid& grid, double rowSpacing, const std::vector<gmVector2>& skyline,
                         const NaturalSettings& settings, const RasterOptions& options,
                         HeightRaster& raster, std::string& error, int threads,
                         const std::function<bool()>& cancelled,
                         const std::function<void(double)>& progress) {
    return buildNaturalTerrain(grid, rowSpacing, std::vector<NaturalRange>{{skyline, 0.0, {}, {}}},
                               settings, options, raster, error, threads, cancelled, progress);
}

bool buildNaturalTerrain(const Grid& grid, double rowSpacing,
                         const std::vector<NaturalRange>& ranges, const NaturalSettings& settings,
                         const RasterOptions& options, HeightRaster& raster, std::string& error,
                         int threads, const std::function<bool()>& cancelled,
                         const std::function<void(double)>& progress) {
    // Once asked to stop, stopped for good: the row bands of the levels'
    // heights ask too.
    std::atomic<bool> stopped{false};
    const std::function<bool()> poll = [&] {
        if (!stopped.load() && cancelled())
            stopped = true;
        return stopped.load();
    };
    const auto stop = [&] {
        if (!cancelled || !poll())
            return false;
        error = naturalBuildCancelled;
        return true;
    };
    Plan plan;
    if (!checkRasterOptions(options, error) ||
        !planLandscape(grid, rowSpacing, ranges, settings, options.scale, plan, error))
        return false;
    const double base = plan.base;
    Shape& shape = plan.shape;
    std::vector<Skyline> skylines;
    for (const std::vector<gmVector2>& curve : plan.curves)
        skylines.emplace_back(curve, base, settings.slope);
    std::vector<SkylineView> views(skylines.size());
    for (std::size_t k = 0; k < views.size(); ++k) {
        views[k].skyline = &skylines[k];
        views[k].viewer = shape.ranges[k].viewer;
        views[k].base = base;
        views[k].depth = shape.ranges[k].depth;
    }
    const double west = plan.west, east = plan.east, north = plan.north, south = plan.south;
    Layout layout;
    if (options.native()) {
        if (!nativeLayout(grid[0], plan, layout, error))
            return false;
    } else {
        layout.width = options.width;
        layout.height = options.height;
        layout.cell =
            std::max((east - west) / (layout.width - 1), (north - south) / (layout.height - 1));
    }
    layout.west = 0.5 * (west + east) - 0.5 * (layout.width - 1) * layout.cell;
    // Northing 0, the front range's line, on a whole row; the extent in the middle (ranges
    // behind the front one reach further north than it reaches south).
    layout.middleRow = static_cast<int>(
        std::lround(0.5 * (layout.height - 1) + 0.5 * (north + south) / layout.cell));
    try {
        // The levels, coarsest first: halving until a side fits
        // coarsestSide.
        int coarsest = 1;
        while ((std::max(layout.width, layout.height) - 1) / coarsest + 1 > coarsestSide)
            coarsest *= 2;
        shape.edges = Edges{layout.west, layout.west + (layout.width - 1) * layout.cell,
                            (layout.middleRow - layout.height + 1) * layout.cell,
                            layout.middleRow * layout.cell, layout.cell};

        HeightField field;
        std::vector<float> coarserHeights;
        Level previous;
        bool first = true;
        // Each level's work grows with its cells: the share done is the cells of the levels
        // finished against those of all levels.
        double allCells = 0.0, cellsDone = 0.0;
        for (int factor = coarsest; factor >= 1; factor /= 2)
            allCells +=
                static_cast<double>(levelOf(layout, factor).width) * levelOf(layout, factor).height;
        if (progress)
            progress(0.0);
        for (int factor = coarsest; factor >= 1; factor /= 2) {
            if (stop())
                return false;
            const Level level = levelOf(layout, factor);
            const Crest crest = crestOf(skylineHoldOf(shape), views, level);
            const int firstOctave = first ? 0 : octavesAbove(shape.octaves, 2.0 * previous.cell);
            // A level's steps stop within their passes once cancelled, each dropping what its
            // stopped pass left half done; the checks after them end the construction before
            // anything else reads the level.
            const RowBandStop bands(cancelled ? &poll : nullptr);
            std::vector<float> steepest;
            levelHeights(shape, crest, level, first ? nullptr : &previous,
                         first ? nullptr : &coarserHeights, firstOctave, threads, field, steepest);
            const double time = settings.erosion * erosionTime * (first ? 1.0 : finerLevelShare);
            const bool eroded = std::max(level.width, level.height) <= erodedSide;
            const int steps = !eroded ? 0
                              : first ? settings.erosionSteps
                                      : std::max(2, settings.erosionSteps / 8);
            if (stop())
                return false;
            Carving carving;
            carving.time = time;
            carving.steps = steps;
            carving.talusBetween = first ? 2 : 1;
            carving.talusAfter = factor == 1 ? 2 : 4;
            carving.talus = talus * shape.slope;
            carving.depth = shape.depth;
            carving.spread = first ? coarsestSpread : 0.0;
            carving.spreadAbove = naturalForelandHeight * shape.relief;
            carving.seed = (shape.seed * 7919u + static_cast<std::uint32_t>(level.factor)) | 1u;
            erodeLevel(shape, crest, level, carving, threads, steepest, field);
            if (stop())
                return false;
            if (factor > 1) {
                coarserHeights.swap(field.heights);
                field.heights.clear();
                field.heights.shrink_to_fit();
                field.roles.clear();
                field.roles.shrink_to_fit();
            }
            previous = level;
            first = false;
            cellsDone += static_cast<double>(level.width) * level.height;
            if (progress)
                progress(cellsDone / allCells);
        }

        if (stop())
            return false;
        // The finest level is the raster, its columns laid from the west.
        std::vector<float> heights(static_cast<std::size_t>(layout.width) * layout.height);
        for (int r = 0; r < layout.height; ++r) {
            const float* from = field.heights.data() + static_cast<std::size_t>(r) * field.width;
            float* to = heights.data() + static_cast<std::size_t>(r) * layout.width;
            for (int c = 0; c < layout.width; ++c)
                to[c] = static_cast<float>((from[c] + base) * options.scale);
        }
        raster.width = layout.width;
        raster.height = layout.height;
        raster.cellSize = layout.cell * options.scale;
        raster.westEdge = (layout.west - 0.5 * layout.cell) * options.scale;
        raster.southEdge = (layout.middleRow - layout.height + 0.5) * layout.cell * options.scale;
        raster.heights = std::move(heights);
    } catch (const std::bad_alloc&) {
        error = "not enough memory for a natural terrain of " + std::to_string(layout.width) + "x" +
                std::to_string(layout.height) + " cells";
        return false;
    }
    return true;
}
