#include "natural/naturalterrain.h"

#include <algorithm>
#include <atomic>
#include <cfloat>
#include <charconv>
#include <cmath>
#include <new>

#include "natural/detailnoise.h"
#include "natural/erosion.h"
#include "natural/foreland.h"
#include "natural/hillslope.h"
#include "natural/levels.h"
#include "natural/rowthreads.h"
#include "natural/shaping.h"
#include "natural/skyline.h"
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
// How far the divide wanders in plan either way, and the wavelength of its bends, as shares of
// the flank depth.
const double divideWander = 0.45;
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
const double bladeAfterCarving = 1.1;

std::string number(double value) {
    char text[32];
    return std::string(text, std::to_chars(text, text + sizeof text, value).ptr);
}

// The raster's outer cell centres and its cell.
struct Edges {
    double west = 0, east = 0, south = 0, north = 0, cell = 1;
};

struct Shape {
    double relief = 0.0; // the skyline's highest point above the base
    double depth = 0.0;  // how far the flanks of the highest point reach
    double slope = 0.5;
    double detail = 0.5;
    Massif massif;
    Octaves octaves;
    std::uint32_t seed = 1;
    Edges edges;
};

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

struct SkylineView;

// A level's crest cells and the highest each of its columns may be: where the skyline covers
// a column, its top over the column's width; beyond, the skyline's fall from its ends, but no
// lower than the foreland.
struct Crest {
    std::vector<CrestCell> cells;
    std::vector<double> ceiling;
    // The crest's tops smoothed along it: what the detail fades towards, so that its amplitude
    // does not jump where the skyline does.
    std::vector<double> smoothTop;
    // In perspective each cell's ceiling depends on its distance: holdSkyline asks the view.
    const SkylineView* view = nullptr;
};

// Gaussian smoothing of a sampled line, sigma in samples; the ends are repeated.
std::vector<double> smoothAlong(const std::vector<double>& values, double sigma) {
    const int n = static_cast<int>(values.size());
    const int reach = std::max(1, static_cast<int>(std::ceil(3.0 * sigma)));
    std::vector<double> weights(static_cast<std::size_t>(reach) + 1);
    double total = 0.0;
    for (int k = 0; k <= reach; ++k) {
        weights[static_cast<std::size_t>(k)] = std::exp(-0.5 * k * k / (sigma * sigma));
        total += (k == 0 ? 1.0 : 2.0) * weights[static_cast<std::size_t>(k)];
    }
    std::vector<double> out(values.size());
    for (int i = 0; i < n; ++i) {
        double sum = weights[0] * values[static_cast<std::size_t>(i)];
        for (int k = 1; k <= reach; ++k)
            sum += weights[static_cast<std::size_t>(k)] *
                   (values[static_cast<std::size_t>(std::max(i - k, 0))] +
                    values[static_cast<std::size_t>(std::min(i + k, n - 1))]);
        out[static_cast<std::size_t>(i)] = sum / total;
    }
    return out;
}

// How a cell sees the skyline: where its ray from the viewer crosses the range's line, and how
// far it stands from the viewer against the line (1 straight on).
struct Sight {
    double along = 1.0;
    double eyeX = 0.0;

    // The point on the range's line seen in the same direction as x at the cell.
    double onLine(double x) const { return eyeX + (x - eyeX) / along; }
};

// What the drawing allows a cell of a level at column x, `northing` from the range's line:
// whether the skyline covers its direction, the top it holds there (above base) and the
// highest the ground may stand. Straight on that is the skyline above the column; in
// perspective the skyline seen in the cell's direction, its height above the eye scaled by
// the cell's distance over the line's, so that the cell shows the drawn elevation angle.
struct SkylineView {
    const Skyline* skyline = nullptr;
    NaturalViewer viewer;
    double base = 0.0;
    double lowestCeiling = 0.0;

    Sight sight(double northing) const {
        Sight s;
        if (viewer.perspective) {
            // Nothing is seen from behind the eye: a cell that close keeps a tenth of the
            // line's distance.
            s.along = std::max(0.1, (viewer.distance + northing) / viewer.distance);
            s.eyeX = viewer.x;
        }
        return s;
    }
    // The same elevation angle at the cell's distance, never below the base.
    double keptAngle(const Sight& s, double drawn) const {
        if (!viewer.perspective)
            return drawn;
        return std::max(0.0, viewer.height - base + (drawn + base - viewer.height) * s.along);
    }
    void at(const Level& level, double x, double northing, bool& held, double& top,
            double& ceiling) const {
        const Sight s = sight(northing);
        const double a = x - 0.5 * level.cell, b = x + 0.5 * level.cell;
        held = skyline->covers(s.onLine(a), s.onLine(b));
        // The finest level's columns peak at the curve's top over their width. A coarser
        // level's columns stand for several of the finest and are read between each other:
        // they take the curve's lowest over their neighbours' reach, so that nothing they pass
        // on stands above a finest column's top; the finest level sharpens the crest up to it.
        const double drawn = !held               ? skyline->beyond(s.onLine(x), 0.5)
                             : level.factor == 1 ? skyline->topOver(s.onLine(a), s.onLine(b))
                                                 : skyline->bottomOver(s.onLine(x - level.cell),
                                                                       s.onLine(x + level.cell));
        top = keptAngle(s, drawn);
        // Beyond the skyline's ends the summits' drops make the ground fall on from its end
        // heights, but nothing cuts it off there below the end height: spurs that run on
        // further than the drops foresaw would stand cut off flat along the columns.
        ceiling =
            held ? top : std::max(keptAngle(s, skyline->beyond(s.onLine(x), 0.0)), lowestCeiling);
    }
};

Crest crestOf(const Shape& shape, const SkylineView& view, const Level& level) {
    Crest crest;
    crest.cells.resize(static_cast<std::size_t>(level.width));
    crest.ceiling.resize(static_cast<std::size_t>(level.width));
    for (int c = 0; c < level.width; ++c) {
        const double x = level.x(c);
        CrestCell& cell = crest.cells[static_cast<std::size_t>(c)];
        const double northing = divideNorthing(x, divideWander * shape.depth,
                                               divideWavelength * shape.depth, shape.seed);
        cell.row =
            std::clamp(level.middleRow - static_cast<int>(std::lround(northing / level.cell)), 3,
                       level.height - 4);
        view.at(level, x, (level.middleRow - cell.row) * level.cell, cell.held, cell.top,
                crest.ceiling[static_cast<std::size_t>(c)]);
    }
    if (view.viewer.perspective)
        crest.view = &view;
    steepenCrest(shape.massif, level.grid(), crest.cells);
    crest.smoothTop.resize(crest.ceiling.size());
    for (std::size_t c = 0; c < crest.ceiling.size(); ++c)
        crest.smoothTop[c] = std::min(crest.cells[c].top, shape.relief);
    crest.smoothTop = smoothAlong(crest.smoothTop, 0.05 * shape.depth / level.cell);
    return crest;
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

// Holds a level's crest cells at their tops and every other cell at or below its column's
// ceiling, by a smooth minimum so that no column shows where the cap takes over; the raster's
// edge and ground at the base are outlets. With `roles` false only the heights change.
void holdSkyline(const Shape& shape, const Crest& crest, const Level& level, bool roles,
                 HeightField& field) {
    const double softness = capSoftness * shape.relief;
    const double lowland = std::max(1e-9, naturalForelandHeight * shape.relief);
    const bool erodesForeland = std::max(level.width, level.height) <= forelandErodedSide;
    for (int r = 0; r < level.height; ++r)
        for (int c = 0; c < level.width; ++c) {
            const std::size_t i = static_cast<std::size_t>(r) * level.width + c;
            const CrestCell& cell = crest.cells[static_cast<std::size_t>(c)];
            float& h = field.heights[i];
            const bool edge = r == 0 || c == 0 || r == level.height - 1 || c == level.width - 1;
            if (cell.held && r == cell.row) {
                h = static_cast<float>(cell.top);
                if (roles)
                    field.roles[i] = CellRole::held;
                continue;
            }
            double ceiling = crest.ceiling[static_cast<std::size_t>(c)];
            if (crest.view) {
                // Seen in perspective, ground nearer than the crest shows higher for its height
                // and farther ground lower: each cell stays below the line of sight to the
                // skyline in its own direction.
                bool held = false;
                double top = 0.0;
                crest.view->at(level, level.x(c), (level.middleRow - r) * level.cell, held, top,
                               ceiling);
            }
            h = static_cast<float>(std::max(0.0, smoothMin(h, ceiling, softness)));
            if (edge)
                h = 0.0f;
            if (!roles)
                continue;
            if (edge || h <= 0)
                field.roles[i] = CellRole::outlet;
            else if (!erodesForeland && h <= lowland)
                // Below the mountain's foot the foreland keeps the valleys the coarser levels
                // carved.
                field.roles[i] = CellRole::outlet;
        }
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
// of detail and, on finer levels, the crest sharpened to this level's cells.
void levelHeights(const Shape& shape, const Crest& crest, const Level& level, const Level* coarser,
                  const std::vector<float>* coarserHeights, int firstOctave, int threads,
                  HeightField& field) {
    field.width = level.width;
    field.height = level.height;
    field.cell = level.cell;
    field.heights.assign(field.size(), 0.0f);
    field.roles.assign(field.size(), CellRole::free);
    if (!coarser) {
        raiseMassif(shape.massif, level.grid(), crest.cells, threads, field.heights);
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
        const Foreland foreland(forelandShape(shape, level), field.heights);
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
    forRowBands(level.height, 16, threadsFor(field.size(), threads), [&](int first, int end) {
        for (int r = first; r < end; ++r)
            for (int c = 0; c < level.width; ++c) {
                const double x = level.x(c), y = level.y(r);
                float& h = field.heights[static_cast<std::size_t>(r) * level.width + c];
                if (coarser)
                    h = static_cast<float>(sampleCoarser(*coarser, *coarserHeights, x, y));
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
    sharpenCrest(shape.massif, level.grid(), crest.cells, sharpenRadius, capSoftness * shape.relief,
                 field.heights);
    holdSkyline(shape, crest, level, true, field);
    {
        std::vector<float> steepest(field.size());
        rockAngles(shape, level, threads, steepest);
        raiseBlade(field, steepest, crest.ceiling, steepestStep, capSoftness * shape.relief);
    }
}

// Carves a level (carveLevel) and brings its crest back to the skyline.
void erodeLevel(const Shape& shape, const Crest& crest, const Level& level, const Carving& carving,
                int threads, HeightField& field) {
    carveLevel(carving, threads, field);
    // On the finest level the carving's one-cell grooves open into valleys a few cells wide,
    // and the detail falls off towards the finest scales as real ground's does rather than
    // ending in a texture of single cells.
    if (level.factor == 1)
        diffuseHillslopes(field, hillslopeRate, hillslopeSweeps, threads);
    // The held crest cells gave nothing to the carving and the talus round them: the ground
    // beside them comes back up to their cones, or each would stand as a one-cell wire.
    sharpenCrest(shape.massif, level.grid(), crest.cells, sharpenRadius, capSoftness * shape.relief,
                 field.heights);
    std::vector<float> steepest(field.size());
    rockAngles(shape, level, threads, steepest);
    // Beyond the eroded levels the faces were cut back already and only the finest detail
    // is new: two pairs of passes over the eight neighbours settle it.
    const bool eroded = std::max(level.width, level.height) <= erodedSide;
    limitSlope(field, steepest, eroded ? 8 : 2, eroded ? 2 : 1);
    // Where the drawing is steeper than the rock, the faces cut back leave each column's held
    // cell standing alone above them: the crest stands as a blade instead.
    raiseBlade(field, steepest, crest.ceiling, steepestStep, capSoftness * shape.relief,
               bladeAfterCarving);
    holdSkyline(shape, crest, level, false, field);
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

// What a natural terrain is built from: the skyline above the base, the mountain's shape and
// the landscape's extent (the skyline, the falls beyond its ends, both flanks with the
// divide's wander, the margin), in sketch pixels.
struct Plan {
    double base = 0.0;
    std::vector<gmVector2> curve;
    Shape shape;
    double west = 0, east = 0, south = 0, north = 0;
};

bool planLandscape(const Grid& grid, double rowSpacing, const std::vector<gmVector2>& drawn,
                   const NaturalSettings& settings, double scale, Plan& plan, std::string& error) {
    if (!checkTerrainGrid(grid, rowSpacing, error) || !checkNaturalSettings(settings, error))
        return false;
    plan.curve = usableCurve(drawn) ? drawn : grid[0];
    // In single precision, as projects keep the drawn curve: the window's export and the
    // builder's from the saved project see the same skyline.
    for (gmVector2& p : plan.curve)
        p = gmVector2(static_cast<float>(p[0]), static_cast<float>(p[1]));
    if (!usableCurve(plan.curve))
        plan.curve = grid[0];
    const std::vector<gmVector2>& curve = plan.curve;
    double base = 0.0, top = -DBL_MAX;
    for (const gmVector2& p : curve) {
        base = std::min(base, p[1]);
        top = std::max(top, p[1]);
    }
    plan.base = base;
    const double span = curve.back()[0] - curve.front()[0];
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
    if (!std::isfinite(shape.depth) || !std::isfinite(span) ||
        !(shape.relief * scale <= FLT_MAX / 4)) {
        error = "the terrain is too large for a natural terrain";
        return false;
    }
    // The landscape reaches as far as each skyline point's ground, which falls from its top
    // over depth (top / relief)^(1 / profile) round the divide's wander there, and a margin
    // beyond. Where noise lets a spur run further, the taper at the edge takes it down.
    const double pad = margin * shape.depth;
    plan.west = curve.front()[0];
    plan.east = curve.back()[0];
    plan.north = 0.0;
    // The tilt's cheaper flank and the cost's cheap ground run out further than the even
    // reach, in every direction.
    const double stretch = std::exp(0.5 * flankTilt);
    for (const gmVector2& p : curve) {
        const double reach = reachShare * shape.depth *
                             std::pow((p[1] - base) / shape.relief, 1.0 / settings.frontProfile);
        const double northing = divideNorthing(p[0], divideWander * shape.depth,
                                               divideWavelength * shape.depth, settings.seed);
        plan.west = std::min(plan.west, p[0] - reach * stretch);
        plan.east = std::max(plan.east, p[0] + reach * stretch);
        plan.north = std::max(plan.north, std::abs(northing) + reach * stretch);
    }
    plan.west -= pad;
    plan.east += pad;
    plan.north += pad;
    plan.south = -plan.north;
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
    return naturalNativeSize(grid, rowSpacing, {}, settings, width, height, error);
}

bool naturalNativeSize(const Grid& grid, double rowSpacing, const std::vector<gmVector2>& skyline,
                       const NaturalSettings& settings, int& width, int& height,
                       std::string& error) {
    Plan plan;
    Layout layout;
    if (!planLandscape(grid, rowSpacing, skyline, settings, 1.0, plan, error) ||
        !nativeLayout(grid[0], plan, layout, error))
        return false;
    width = layout.width;
    height = layout.height;
    return true;
}

const char* const naturalBuildCancelled = "the natural terrain's construction was cancelled";

namespace {

// The construction on one skyline as the viewer sees it.
bool buildOnSkyline(const Grid& grid, double rowSpacing, const std::vector<gmVector2>& skyline,
                    const NaturalViewer& viewer, const NaturalSettings& settings,
                    const RasterOptions& options, HeightRaster& raster, std::string& error,
                    int threads, const std::function<bool()>& cancelled,
                    const std::function<void(double)>& progress);

} // namespace

bool buildNaturalTerrain(const Grid& grid, double rowSpacing, const NaturalSettings& settings,
                         const RasterOptions& options, HeightRaster& raster, std::string& error,
                         int threads, const std::function<bool()>& cancelled) {
    return buildNaturalTerrain(grid, rowSpacing, std::vector<gmVector2>{}, settings, options,
                               raster, error, threads, cancelled);
}

bool buildNaturalTerrain(const Grid& grid, double rowSpacing,
                         const std::vector<NaturalRange>& ranges, const NaturalSettings& settings,
                         const RasterOptions& options, HeightRaster& raster, std::string& error,
                         int threads, const std::function<bool()>& cancelled,
                         const std::function<void(double)>& progress) {
    if (ranges.empty()) {
        error = "the natural terrain needs at least one range";
        return false;
    }
    for (const NaturalRange& range : ranges)
        if (range.viewer.perspective &&
            !(std::isfinite(range.viewer.x) && std::isfinite(range.viewer.height) &&
              range.viewer.distance > 0 && std::isfinite(range.viewer.distance))) {
            error = "the viewer must stand at a finite place south of every range";
            return false;
        }
    return buildOnSkyline(grid, rowSpacing, ranges.front().skyline, ranges.front().viewer, settings,
                          options, raster, error, threads, cancelled, progress);
}

bool buildNaturalTerrain(const Grid& grid, double rowSpacing, const std::vector<gmVector2>& skyline,
                         const NaturalSettings& settings, const RasterOptions& options,
                         HeightRaster& raster, std::string& error, int threads,
                         const std::function<bool()>& cancelled,
                         const std::function<void(double)>& progress) {
    return buildOnSkyline(grid, rowSpacing, skyline, NaturalViewer{}, settings, options, raster,
                          error, threads, cancelled, progress);
}

namespace {

bool buildOnSkyline(const Grid& grid, double rowSpacing, const std::vector<gmVector2>& skyline,
                    const NaturalViewer& viewer, const NaturalSettings& settings,
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
        !planLandscape(grid, rowSpacing, skyline, settings, options.scale, plan, error))
        return false;
    const double base = plan.base;
    Shape& shape = plan.shape;
    const Skyline sky(plan.curve, base, settings.slope);
    SkylineView view;
    view.skyline = &sky;
    view.viewer = viewer;
    view.base = base;
    view.lowestCeiling = 1.5 * naturalForelandHeight * shape.relief;
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
    layout.middleRow = static_cast<int>(std::lround(0.5 * (layout.height - 1)));
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
            const Crest crest = crestOf(shape, view, level);
            const int firstOctave = first ? 0 : octavesAbove(shape.octaves, 2.0 * previous.cell);
            {
                // Only the level's heights may stop within the level: each
                // cell is its own, so bands left out leave nothing that
                // later steps could trip over, and the check below ends
                // the construction before anything reads them. The flow
                // routing after it must run whole.
                const RowBandStop bands(cancelled ? &poll : nullptr);
                levelHeights(shape, crest, level, first ? nullptr : &previous,
                             first ? nullptr : &coarserHeights, firstOctave, threads, field);
            }
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
            carving.seed = (shape.seed * 7919u + static_cast<std::uint32_t>(level.factor)) | 1u;
            erodeLevel(shape, crest, level, carving, threads, field);
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

} // namespace
