#include "natural/naturalterrain.h"

#include <algorithm>
#include <atomic>
#include <cfloat>
#include <charconv>
#include <cmath>
#include <new>

#include "natural/detailnoise.h"
#include "natural/flowrouting.h"
#include "natural/foreland.h"
#include "natural/rowthreads.h"
#include "natural/streampower.h"
#include "natural/thermal.h"

namespace {

using Grid = std::vector<std::vector<gmVector2>>;

// The coarsest erosion level has at most this many cells a side; stream-power erosion runs on
// levels up to erodedSide a side, the finer ones carry its valleys and add their own detail
// and talus.
const int coarsestSide = 257;
const int erodedSide = 1025;
// The foreland erodes on levels up to this many cells a side; finer levels carry its valleys
// on, their erosion spent on the mountain (the foreland's share of the cells costs as much to
// erode as the mountain and adds nothing the coarser levels have not carved).
const int forelandErodedSide = 513;
// The total erosion time at full strength on the coarsest level, and the share each finer
// level adds (in units where the flank depth is 1).
const double erosionTime = 1.5;
const double finerLevelShare = 0.15;
// The near-crest fall, in units of the slope: the silhouette's own bumps fall this steeply
// before the smooth body of the mountain takes over.
const double crestFall = 3.0;
// How far the foot of the flanks wanders in and out, as a share of their reach.
const double footWander = 0.15;
// The steepest the ground under the crest may be carved, in units of the slope.
const double wallFall = 6.0;
// The width below which a bump of the crest counts as small, as a share of the flank depth:
// seen from further away than that, the crest is smoothed over that width.
const double bumpWidth = 0.03;
// How fast the crest's shape softens away from it: seen from a distance d, it is smoothed over
// a width of fanSpread * d, so that a bump or a step in the silhouette (a stroke's join) fans
// out into the flank rather than running down it as a rib or a seam.
const double fanSpread = 0.7;
// How steeply the body dips towards a col (a notch in the crest), in units of the slope: the
// body never rises above the crest, so that no column is cut off flat at its col's height.
const double colFall = 2.0;
// The margin of foreland round the mountain's foot, as a share of the flank depth.
const double margin = 0.06;
// How far the crest wanders in plan either side of the silhouette's line, and the wavelength
// of its bends, as shares of the flank depth: a real crest is no ruler-straight line seen from
// above. Gentle enough that neighbouring columns' crest cells stay neighbours.
const double crestWander = 0.1;
const double crestBend = 1.2;
// The width over which the crest's fall rounds off, as a share of the flank depth.
const double crestRounding = 0.01;
// The foreland gets within 1/e of its height over this share of the flank depth from the
// raster's edge, its valleys this share of the flank depth apart.
const double forelandRise = 0.35;
const double forelandWavelength = 0.4;

std::string number(double value) {
    char text[32];
    return std::string(text, std::to_chars(text, text + sizeof text, value).ptr);
}

// The back flank's shape: the grid's heights row by row, summed over the columns, as shares
// of row 0's, turned so that the last row reaches the base.
std::vector<double> backProfile(const Grid& grid, double base) {
    const std::size_t rows = grid.size();
    std::vector<double> sums(rows, 0.0);
    for (std::size_t r = 0; r < rows; ++r)
        for (const gmVector2& p : grid[r])
            sums[r] += std::max(0.0, p[1] - base);
    std::vector<double> profile(rows);
    if (!(sums[0] > 0)) {
        for (std::size_t r = 0; r < rows; ++r)
            profile[r] = 1.0 - static_cast<double>(r) / static_cast<double>(rows - 1);
        return profile;
    }
    const double last = sums[rows - 1] / sums[0];
    for (std::size_t r = 0; r < rows; ++r) {
        const double t = static_cast<double>(r) / static_cast<double>(rows - 1);
        profile[r] = std::clamp(sums[r] / sums[0] - last * t, 0.0, 1.0);
    }
    profile[0] = 1.0;
    profile[rows - 1] = 0.0;
    return profile;
}

double profileAt(const std::vector<double>& profile, double t) {
    const double at = std::clamp(t, 0.0, 1.0) * static_cast<double>(profile.size() - 1);
    const std::size_t k = std::min(static_cast<std::size_t>(at), profile.size() - 2);
    const double f = at - static_cast<double>(k);
    return profile[k] + f * (profile[k + 1] - profile[k]);
}

// Row 0's height above the base at x, linear between its points; beyond its ends the end
// height falls at `slope` down to 0.
struct Silhouette {
    std::vector<double> xs, hs; // heights above the base
    double slope = 1.0;

    bool covers(double x) const { return x >= xs.front() && x <= xs.back(); }
    double at(double x) const {
        if (x <= xs.front())
            return std::max(0.0, hs.front() - slope * (xs.front() - x));
        if (x >= xs.back())
            return std::max(0.0, hs.back() - slope * (x - xs.back()));
        const std::size_t k =
            static_cast<std::size_t>(std::upper_bound(xs.begin(), xs.end(), x) - xs.begin() - 1);
        const std::size_t k1 = std::min(k + 1, xs.size() - 1);
        if (k1 == k)
            return hs[k];
        const double f = (x - xs[k]) / (xs[k1] - xs[k]);
        return hs[k] + f * (hs[k1] - hs[k]);
    }
};

// Gaussian smoothing of a sampled line, sigma in samples; the ends are repeated.
std::vector<double> smooth(const std::vector<double>& values, double sigma) {
    const int n = static_cast<int>(values.size());
    const int reach = std::max(1, static_cast<int>(std::ceil(3.0 * sigma)));
    std::vector<double> weights(static_cast<std::size_t>(reach) + 1);
    double total = 0.0;
    for (int k = 0; k <= reach; ++k) {
        weights[k] = std::exp(-0.5 * k * k / (sigma * sigma));
        total += k == 0 ? weights[k] : 2 * weights[k];
    }
    std::vector<double> out(values.size());
    for (int i = 0; i < n; ++i) {
        double sum = weights[0] * values[i];
        for (int k = 1; k <= reach; ++k)
            sum += weights[k] * (values[std::max(i - k, 0)] + values[std::min(i + k, n - 1)]);
        out[i] = sum / total;
    }
    return out;
}

// What shapes every column of the finest level: the crest's height, the height of the smooth
// body of the mountain and the amplitude of its detail. Coarser levels take every 2^k-th
// column, so that all levels agree.
struct Columns {
    std::vector<double> crest; // the crest's height above the base
    std::vector<char> held;    // whether the crest lies within the silhouette there
    // The crest smoothed over widths doubling from a cell: fan[0] is the crest itself, fan[k]
    // smoothed over fanWidth(k) cells, never above the crest's valleys.
    std::vector<std::vector<double>> fan;
    double cell = 1.0;
    std::vector<double> body;     // the smooth body's height at the crest
    std::vector<double> reach;    // how far the flanks reach either side of the crest
    std::vector<double> detail;   // the detail noise's amplitude
    std::vector<double> northing; // where the crest lies in plan, behind (+) or in front

    static double fanWidth(std::size_t k) { return k == 0 ? 0.0 : std::ldexp(1.0, int(k) - 1); }
    // The crest of a column seen from `distance` in front of or behind it.
    double crestSeenFrom(std::size_t column, double distance) const {
        const double width = fanSpread * std::abs(distance) / cell;
        // Linear between the widths, which double from level to level: width = m 2^e with m
        // in [0.5, 1) lies between fan[e] and fan[e + 1].
        std::size_t k = 0;
        double at = width;
        if (width > 1.0) {
            int exponent = 0;
            at = 2.0 * std::frexp(width, &exponent) - 1.0;
            k = static_cast<std::size_t>(exponent);
        }
        if (k + 1 >= fan.size())
            return fan.back()[column];
        return fan[k][column] + at * (fan[k + 1][column] - fan[k][column]);
    }
};

// Where the landscape lies and how the levels sample it. Positions are sketch pixels: x
// eastwards, y the depth behind the crest (northwards), heights above the base.
struct Layout {
    int width = 0, height = 0; // the finest level's size in cells
    int crestRow = 0;          // the finest level's row on the crest
    double cell = 0.0;
    double west = 0.0; // the x of column 0's centre
};

struct Level {
    int factor = 1; // finest cells per cell of this level
    int width = 0, height = 0, crestRow = 0;
    double cell = 0.0;
    double x(int column) const { return west + column * cell; }
    double y(int row) const { return (crestRow - row) * cell; }
    // The row nearest to the crest of a column whose crest lies at `northing`.
    int crestRowAt(double northing) const {
        return crestRow - static_cast<int>(std::lround(northing / cell));
    }
    double west = 0.0;
};

// Beyond the silhouette's ends the flanks draw in along a quarter ellipse, from their reach at
// the end to nothing where the fall beyond the end meets the base, so that seen from above the
// mountain ends in a rounded spur rather than a straight edge as long as its flanks are deep.
void roundEnds(const Silhouette& silhouette, const Layout& layout, std::vector<double>& reach) {
    const double west = silhouette.xs.front(), east = silhouette.xs.back();
    const double westFall = std::max(silhouette.hs.front(), 1e-9) / silhouette.slope;
    const double eastFall = std::max(silhouette.hs.back(), 1e-9) / silhouette.slope;
    auto columnAt = [&](double x) {
        return std::clamp(static_cast<std::ptrdiff_t>(std::lround((x - layout.west) / layout.cell)),
                          std::ptrdiff_t(0), static_cast<std::ptrdiff_t>(reach.size()) - 1);
    };
    const double westReach = reach[static_cast<std::size_t>(columnAt(west))];
    const double eastReach = reach[static_cast<std::size_t>(columnAt(east))];
    for (std::size_t c = 0; c < reach.size(); ++c) {
        const double x = layout.west + static_cast<double>(c) * layout.cell;
        const double beyond = x < west   ? (west - x) / westFall
                              : x > east ? (x - east) / eastFall
                                         : 0;
        if (beyond > 0)
            reach[c] = std::min(reach[c], std::max(x < west ? westReach : eastReach, 1e-9) *
                                                  std::sqrt(std::max(0.0, 1.0 - beyond * beyond)) +
                                              1e-9);
    }
}

Level levelOf(const Layout& layout, int factor) {
    Level level;
    level.factor = factor;
    level.cell = layout.cell * factor;
    level.west = layout.west;
    level.width = (layout.width - 1 + factor - 1) / factor + 1;
    level.crestRow = (layout.crestRow + factor - 1) / factor;
    level.height = level.crestRow + (layout.height - 1 - layout.crestRow + factor - 1) / factor + 1;
    return level;
}

// The raster's outer cell centres and its cell.
struct Edges {
    double west = 0, east = 0, south = 0, north = 0, cell = 1;
};

struct Shape {
    double relief = 0.0; // the silhouette's highest point above the base
    double depth = 0.0;  // how far the flanks of the highest point reach
    double slope = 0.5;
    double frontProfile = 1.6;
    std::vector<double> back;
    Octaves octaves;
    std::uint32_t seed = 1;
    Edges edges;
    Foreland foreland;
};

// The foreland on the coarsest level's points: up to naturalForelandHeight of the relief, getting
// there over forelandRise of the flank depth, its valleys forelandWavelength apart.
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
double forelandHeight(const Shape& shape, double x, double y) {
    const Edges& e = shape.edges;
    auto rise = [&](double fromEdge) {
        const double t = std::clamp((fromEdge - 2.0 * e.cell) / (4.0 * e.cell), 0.0, 1.0);
        return t * t * (3 - 2 * t);
    };
    const double edge = rise(x - e.west) * rise(e.east - x) * rise(e.north - y) * rise(y - e.south);
    return edge > 0 ? edge * shape.foreland.at(x, y) : 0.0;
}

// How far below the crest the fall from it has gone at depth y from it, in units of its slope:
// |y| far from it, but level at the crest itself, so that the crest is rounded over the top
// rather than a knife edge (or a one-cell spike once the cells beside it are carved).
double roundedDistance(const Shape& shape, double y) {
    const double round = crestRounding * shape.depth;
    return std::sqrt(y * y + round * round) - round;
}

// The uneroded mountain at (x, y) for a column: the smooth body falling along the flank
// profiles, the crest's own shape close to it, never above the crest.
double bodyHeight(const Shape& shape, const Columns& columns, std::size_t column, double x,
                  double y) {
    const double crest = columns.crest[column], body = columns.body[column];
    const double reach = columns.reach[column];
    double h = 0.0;
    if (body > 0) {
        // The foot wanders in and out, so that the mountain's outline is not the straight
        // edge of its cone.
        const double wander =
            1.0 + footWander * gradientNoise(x / (0.4 * shape.depth), y / (0.4 * shape.depth),
                                             shape.seed ^ 0x5bd1e995u);
        const double t = std::abs(y) / (reach * wander);
        if (t < 1)
            h = body * (y >= 0 ? profileAt(shape.back, t) : std::pow(1.0 - t, shape.frontProfile));
    }
    // Close to the crest the ground falls from the crest's own shape, softening with the
    // distance, rounded over the top rather than a knife edge.
    h = std::max(h, columns.crestSeenFrom(column, y) -
                        crestFall * shape.slope * roundedDistance(shape, y));
    return std::clamp(h, 0.0, crest);
}

// The highest a column's cells may lie: its crest where the silhouette holds it, beyond the
// silhouette's ends no lower than the foreland.
double ceilingOf(const Shape& shape, const Columns& columns, std::size_t column) {
    return columns.held[column]
               ? columns.crest[column]
               : std::max(columns.crest[column], naturalForelandHeight * shape.relief);
}

// The uneroded land: the mountain on the foreland, which fades out up the flanks so that
// the crest keeps its height and its rounded top.
double landHeight(const Shape& shape, const Columns& columns, std::size_t column, double x,
                  double y, double body) {
    const double ceiling = ceilingOf(shape, columns, column);
    if (!(ceiling > 0))
        return 0.0;
    const double fade = std::max(0.0, 1.0 - body / ceiling);
    return std::min(ceiling, body + fade * forelandHeight(shape, x, y));
}

// How strongly detail shows at a point of height h above the base, at depth y from the crest:
// none at the base, none on the crest itself.
double detailEnvelope(const Shape& shape, double h, double y) {
    if (h <= 0)
        return 0.0;
    return std::sqrt(h / shape.relief) * (1.0 - std::exp(-std::abs(y) / (0.015 * shape.depth)));
}

// The uneroded heights of a level with the noise octaves from `firstOctave` on, added onto
// `carried` (the coarser level's result less its own uneroded shape, sampled bilinearly), or
// onto nothing for the coarsest level. Clamped to 0 .. the column's crest, the crest held.
void levelHeights(const Shape& shape, const Columns& columns, const Level& level,
                  const Level* coarser, const std::vector<float>* carried, int firstOctave,
                  int threads, HeightField& field) {
    field.width = level.width;
    field.height = level.height;
    field.cell = level.cell;
    field.heights.assign(field.size(), 0.0f);
    field.roles.assign(field.size(), CellRole::free);
    Octaves octaves = shape.octaves;
    octaves.finest = 2.0 * level.cell;
    octaves.firstOctave = firstOctave;
    const bool erodesForeland = std::max(level.width, level.height) <= forelandErodedSide;
    forRowBands(level.height, 16, threadsFor(field.size(), threads), [&](int first, int end) {
        for (int r = first; r < end; ++r) {
            for (int c = 0; c < level.width; ++c) {
                const std::size_t column = static_cast<std::size_t>(c) * level.factor;
                const double crest = columns.crest[column];
                const double x = level.x(c), y = level.y(r);
                const double fromCrest = y - columns.northing[column];
                const double body = bodyHeight(shape, columns, column, x, fromCrest);
                double h = landHeight(shape, columns, column, x, y, body);
                const double envelope = detailEnvelope(shape, body, fromCrest);
                if (envelope > 0 && columns.detail[column] > 0)
                    h +=
                        columns.detail[column] * envelope * fractalNoise(x, y, octaves, shape.seed);
                if (coarser) {
                    // Bilinear in the coarser level's cells.
                    const double u = std::clamp((x - coarser->west) / coarser->cell, 0.0,
                                                static_cast<double>(coarser->width - 1));
                    const double v = std::clamp((coarser->y(0) - y) / coarser->cell, 0.0,
                                                static_cast<double>(coarser->height - 1));
                    const int u0 = std::min(static_cast<int>(u), coarser->width - 2);
                    const int v0 = std::min(static_cast<int>(v), coarser->height - 2);
                    const double fu = u - u0, fv = v - v0;
                    const float* p =
                        carried->data() + static_cast<std::size_t>(v0) * coarser->width + u0;
                    const double top = p[0] + fu * (p[1] - p[0]);
                    const double bottom =
                        p[coarser->width] + fu * (p[coarser->width + 1] - p[coarser->width]);
                    h += top + fv * (bottom - top);
                }
                const std::size_t i = static_cast<std::size_t>(r) * level.width + c;
                const bool edge = r == 0 || c == 0 || r == level.height - 1 || c == level.width - 1;
                if (columns.held[column] && r == level.crestRowAt(columns.northing[column])) {
                    h = crest;
                    field.roles[i] = CellRole::held;
                } else {
                    h = std::clamp(h, 0.0, ceilingOf(shape, columns, column));
                    if (edge || h <= 0) {
                        h = 0.0;
                        field.roles[i] = CellRole::outlet;
                    } else if (body <= 0 && !erodesForeland) {
                        // Below the mountain's foot the foreland keeps the valleys the
                        // coarser levels carved.
                        field.roles[i] = CellRole::outlet;
                    }
                }
                field.heights[i] = static_cast<float>(h);
            }
        }
    });
}

// Holds every cell at or below its column's crest (erosion only lowers, but the fill may
// raise a cell by its epsilon), and keeps the ground under the crest from being carved into a
// wall: no steeper than wallFall times the slope away from it.
void clampToCrest(const Shape& shape, const Columns& columns, const Level& level,
                  HeightField& field) {
    for (int r = 0; r < level.height; ++r) {
        float* row = field.heights.data() + static_cast<std::size_t>(r) * level.width;
        for (int c = 0; c < level.width; ++c) {
            const std::size_t column = static_cast<std::size_t>(c) * level.factor;
            const double crest = columns.crest[column];
            const double fromCrest = level.y(r) - columns.northing[column];
            // The floor softens away from the crest as the body does, or it would draw each of
            // the crest's bumps down the flank as a rib.
            const double top = columns.crestSeenFrom(column, fromCrest);
            const auto floor = static_cast<float>(
                std::max(0.0, std::min(crest, top) -
                                  wallFall * shape.slope * roundedDistance(shape, fromCrest)));
            row[c] =
                std::clamp(row[c], floor, static_cast<float>(ceilingOf(shape, columns, column)));
        }
    }
}

void erodeLevel(const Shape& shape, const Columns& columns, const Level& level, double time,
                int steps, int sweeps, int threads, HeightField& field) {
    const float epsilon = static_cast<float>(1e-4 * level.cell);
    if (time > 0 && steps > 0) {
        StreamPower law;
        law.rate = time / steps;
        law.areaExponent = 0.5;
        law.lengthUnit = shape.depth;
        law.areaUnit = level.cell * level.cell / (shape.depth * shape.depth);
        FlowNetwork network;
        if (hasDepression(field, threads))
            fillDepressions(field, epsilon);
        for (int step = 0; step < steps; ++step) {
            routeFlow(field, threads, network,
                      (shape.seed * 7919u + static_cast<std::uint32_t>(step * 131 + level.factor)) |
                          1u);
            streamPowerStep(field, network, law);
        }
    }
    // The talus sweeps settle what the noise and the carving left too steep.
    thermalErosion(field, 2.5 * shape.slope, sweeps, threads);
    clampToCrest(shape, columns, level, field);
}

// Softens a level's field with `passes` of the 1-2-1 filter both ways, so that the coarser
// level's one-cell channels reach the finer one as valleys rather than blocky lines. Each pass
// reads only the last, row bands on threads.
void soften(std::vector<float>& values, int width, int height, int passes, int threads) {
    std::vector<float> next(values.size());
    for (int pass = 0; pass < passes; ++pass) {
        forRowBands(height, 32, threadsFor(values.size(), threads), [&](int first, int end) {
            for (int r = first; r < end; ++r) {
                const float* row = values.data() + static_cast<std::size_t>(r) * width;
                float* out = next.data() + static_cast<std::size_t>(r) * width;
                for (int c = 0; c < width; ++c)
                    out[c] = 0.25f * row[std::max(c - 1, 0)] + 0.5f * row[c] +
                             0.25f * row[std::min(c + 1, width - 1)];
            }
        });
        forRowBands(height, 32, threadsFor(values.size(), threads), [&](int first, int end) {
            for (int r = first; r < end; ++r) {
                const float* above =
                    next.data() + static_cast<std::size_t>(std::max(r - 1, 0)) * width;
                const float* row = next.data() + static_cast<std::size_t>(r) * width;
                const float* below =
                    next.data() + static_cast<std::size_t>(std::min(r + 1, height - 1)) * width;
                float* out = values.data() + static_cast<std::size_t>(r) * width;
                for (int c = 0; c < width; ++c)
                    out[c] = 0.25f * above[c] + 0.5f * row[c] + 0.25f * below[c];
            }
        });
    }
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

// What a natural terrain is built from: the silhouette above the base, the mountain's shape
// and the landscape's extent (the silhouette, the falls beyond its ends, both flanks, the
// margin), in sketch pixels.
struct Plan {
    double base = 0.0;
    Silhouette silhouette;
    Shape shape;
    double west = 0, east = 0, south = 0, north = 0;
};

bool planLandscape(const Grid& grid, double rowSpacing, const NaturalSettings& settings,
                   double scale, Plan& plan, std::string& error) {
    if (!checkTerrainGrid(grid, rowSpacing, error) || !checkNaturalSettings(settings, error))
        return false;
    const std::vector<gmVector2>& front = grid[0];
    double base = 0.0, top = -DBL_MAX;
    for (const gmVector2& p : front) {
        base = std::min(base, p[1]);
        top = std::max(top, p[1]);
    }
    plan.base = base;
    Silhouette& silhouette = plan.silhouette;
    silhouette.slope = settings.slope;
    for (const gmVector2& p : front) {
        silhouette.xs.push_back(p[0]);
        silhouette.hs.push_back(p[1] - base);
    }
    const double span = silhouette.xs.back() - silhouette.xs.front();
    Shape& shape = plan.shape;
    shape.slope = settings.slope;
    shape.frontProfile = settings.frontProfile;
    // A flat silhouette still gets a landscape of some size round it.
    shape.relief = std::max(top - base, 1e-3 * span);
    shape.depth = shape.relief / settings.slope;
    shape.back = backProfile(grid, base);
    shape.octaves.wavelength = 0.5 * shape.depth;
    shape.seed = settings.seed;
    if (!std::isfinite(shape.depth) || !std::isfinite(span) ||
        !(shape.relief * scale <= FLT_MAX / 4)) {
        error = "the terrain is too large for a natural terrain";
        return false;
    }
    const double pad = margin * shape.depth;
    plan.west = silhouette.xs.front() - silhouette.hs.front() / settings.slope - pad;
    plan.east = silhouette.xs.back() + silhouette.hs.back() / settings.slope + pad;
    plan.north = shape.depth * (1 + footWander + crestWander) + pad;
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
    Plan plan;
    Layout layout;
    if (!planLandscape(grid, rowSpacing, settings, 1.0, plan, error) ||
        !nativeLayout(grid[0], plan, layout, error))
        return false;
    width = layout.width;
    height = layout.height;
    return true;
}

const char* const naturalBuildCancelled = "the natural terrain's construction was cancelled";

bool buildNaturalTerrain(const Grid& grid, double rowSpacing, const NaturalSettings& settings,
                         const RasterOptions& options, HeightRaster& raster, std::string& error,
                         int threads, const std::function<bool()>& cancelled) {
    // Once asked to stop, stopped for good: the row bands of the levels' heights ask too.
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
        !planLandscape(grid, rowSpacing, settings, options.scale, plan, error))
        return false;
    const double base = plan.base;
    const Silhouette& silhouette = plan.silhouette;
    Shape& shape = plan.shape;
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
    layout.crestRow = static_cast<int>(std::lround(0.5 * (layout.height - 1)));
    try {
        // The levels, coarsest first: halving until a side fits coarsestSide.
        int coarsest = 1;
        while ((std::max(layout.width, layout.height) - 1) / coarsest + 1 > coarsestSide)
            coarsest *= 2;
        const Level coarsestLevel = levelOf(layout, coarsest);
        shape.edges = Edges{layout.west, layout.west + (layout.width - 1) * layout.cell,
                            (layout.crestRow - layout.height + 1) * layout.cell,
                            layout.crestRow * layout.cell, layout.cell};
        shape.foreland = Foreland(forelandShape(shape, coarsestLevel));

        // Every column the levels sample, at the finest spacing.
        Columns columns;
        const std::size_t count = static_cast<std::size_t>(coarsestLevel.width - 1) * coarsest + 1;
        columns.crest.resize(count);
        columns.held.resize(count);
        for (std::size_t c = 0; c < count; ++c) {
            const double x = layout.west + static_cast<double>(c) * layout.cell;
            columns.crest[c] = silhouette.at(x);
            columns.held[c] = silhouette.covers(x);
        }
        // The body: the crest smoothed, never above its cone (the highest the crest reaches
        // at the slope from anywhere), so that it ends where the falls beyond the ends do.
        std::vector<double> cone = columns.crest;
        const double fall = settings.slope * layout.cell;
        for (std::size_t c = 1; c < count; ++c)
            cone[c] = std::max(cone[c], cone[c - 1] - fall);
        for (std::size_t c = count - 1; c-- > 0;)
            cone[c] = std::max(cone[c], cone[c + 1] - fall);
        // ... and never above the crest's valleys: the lowest the crest reaches rising at
        // colFall times the slope from anywhere.
        std::vector<double> valleys = columns.crest;
        const double rise = colFall * settings.slope * layout.cell;
        for (std::size_t c = 1; c < count; ++c)
            valleys[c] = std::min(valleys[c], valleys[c - 1] + rise);
        for (std::size_t c = count - 1; c-- > 0;)
            valleys[c] = std::min(valleys[c], valleys[c + 1] + rise);
        const double sigma = 0.12 * shape.depth / layout.cell;
        const std::vector<double> smoothed = smooth(columns.crest, sigma);
        std::vector<double> rough(count);
        columns.body.resize(count);
        // The crest without its small bumps, never above the crest's valleys either, so that
        // no column is cut off at its crest's height.
        columns.cell = layout.cell;
        columns.fan.push_back(columns.crest);
        for (std::size_t k = 1; Columns::fanWidth(k - 1) < bumpWidth * shape.depth / layout.cell;
             ++k) {
            columns.fan.push_back(smooth(columns.crest, Columns::fanWidth(k)));
        }
        for (std::size_t c = 0; c < count; ++c)
            columns.body[c] = std::min({smoothed[c], cone[c], valleys[c]});
        // The flanks reach as far as the crest's cone, softened, at the slope: a crest H high
        // reaches the base H / slope away, and a lower stretch beside a high one reaches
        // almost as far, so that the foot of the mountain does not follow every dip.
        columns.reach = smooth(cone, bumpWidth * shape.depth / layout.cell);
        for (double& reach : columns.reach)
            reach = std::max(reach, 1e-9) / settings.slope;
        roundEnds(silhouette, layout, columns.reach);
        // Softened once more, so that where one bound takes over from another the flanks show
        // no kink running straight down them.
        columns.body = smooth(columns.body, 0.25 * sigma);
        // Where the ends draw the flanks in, the body comes down with them: no flank falls
        // more steeply on average than the slope.
        for (std::size_t c = 0; c < count; ++c)
            columns.body[c] = std::min(columns.body[c], settings.slope * columns.reach[c]);
        for (std::size_t c = 0; c < count; ++c) {
            const double d = columns.crest[c] - smoothed[c];
            rough[c] = d * d;
        }
        rough = smooth(rough, sigma);
        // The crest's bends in plan: two octaves of noise along it.
        columns.northing.resize(count);
        for (std::size_t c = 0; c < count; ++c) {
            const double u =
                (layout.west + static_cast<double>(c) * layout.cell) / (crestBend * shape.depth);
            columns.northing[c] = crestWander * shape.depth *
                                  (0.75 * gradientNoise(u, 0.5, shape.seed ^ 0x27d4eb2fu) +
                                   0.25 * gradientNoise(3.1 * u, 1.5, shape.seed ^ 0x165667b1u));
        }
        columns.detail.resize(count);
        for (std::size_t c = 0; c < count; ++c)
            columns.detail[c] = settings.detail * (0.3 * shape.relief + 1.5 * std::sqrt(rough[c]));

        HeightField field;
        std::vector<float> carried;
        Level previous;
        bool first = true;
        for (int factor = coarsest; factor >= 1; factor /= 2) {
            if (stop())
                return false;
            const Level level = levelOf(layout, factor);
            const int firstOctave = first ? 0 : octavesAbove(shape.octaves, 2.0 * previous.cell);
            {
                // Only the level's heights may stop within the level: each cell is its own, so
                // bands left out leave nothing that later steps could trip over, and the check
                // below ends the construction before anything reads them. The flow routing
                // after it must run whole.
                const RowBandStop bands(cancelled ? &poll : nullptr);
                levelHeights(shape, columns, level, first ? nullptr : &previous,
                             first ? nullptr : &carried, firstOctave, threads, field);
            }
            const double time = settings.erosion * erosionTime * (first ? 1.0 : finerLevelShare);
            const bool eroded = std::max(level.width, level.height) <= erodedSide;
            const int steps = !eroded ? 0
                              : first ? settings.erosionSteps
                                      : std::max(2, settings.erosionSteps / 8);
            if (stop())
                return false;
            erodeLevel(shape, columns, level, time, steps, factor == 1 ? 2 : 4, threads, field);
            if (factor > 1) {
                // What this level added to its uneroded shape, for the next level to carry on.
                carried.resize(field.size());
                forRowBands(level.height, 16, threadsFor(field.size(), threads),
                            [&](int firstRow, int end) {
                                for (int r = firstRow; r < end; ++r) {
                                    for (int c = 0; c < level.width; ++c) {
                                        const std::size_t column =
                                            static_cast<std::size_t>(c) * level.factor;
                                        const std::size_t i =
                                            static_cast<std::size_t>(r) * level.width + c;
                                        carried[i] =
                                            field.heights[i] -
                                            static_cast<float>(landHeight(
                                                shape, columns, column, level.x(c), level.y(r),
                                                bodyHeight(shape, columns, column, level.x(c),
                                                           level.y(r) - columns.northing[column])));
                                    }
                                }
                            });
                soften(carried, level.width, level.height, 2, threads);
            }
            previous = level;
            first = false;
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
        raster.southEdge = (layout.crestRow - layout.height + 0.5) * layout.cell * options.scale;
        raster.heights = std::move(heights);
    } catch (const std::bad_alloc&) {
        error = "not enough memory for a natural terrain of " + std::to_string(layout.width) + "x" +
                std::to_string(layout.height) + " cells";
        return false;
    }
    return true;
}
