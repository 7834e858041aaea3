#include "natural/shaping.h"

#include <algorithm>
#include <cmath>

#include "natural/detailnoise.h"
#include "natural/dividecourse.h"
#include "natural/rowthreads.h"
#include "natural/skyline.h"

namespace {

const double warpScale = 0.5;
// The share of the distance beyond a summit's column over which its drop towards the other
// side fades out.
const double dropWedge = 1.0;

Octaves shapeOctaves(const Massif& massif) {
    Octaves octaves;
    octaves.wavelength = massif.costWavelength;
    octaves.maxOctaves = 3;
    return octaves;
}

// The crest cells' positions in the warped plane and their cost.
struct Summit {
    double x = 0, y = 0; // in the plane
    double u = 0, v = 0; // in the warped plane
    double top = 0;      // top^(1/p)
    double fall = 0;     // per unit of warped, cost-weighted distance
    const std::vector<double>* drops[2] = {nullptr, nullptr}; // west, east
    double dropCell = 1.0;
    double limit = 0; // the column's top^(1/p), held or not
};

std::vector<Summit> summitsOf(const Massif& massif, const LevelGrid& grid,
                              const std::vector<CrestCell>& crest) {
    std::vector<Summit> summits(crest.size());
    for (std::size_t c = 0; c < crest.size(); ++c) {
        const CrestCell& cell = crest[c];
        Summit& s = summits[c];
        s.x = grid.x(static_cast<int>(c));
        s.y = grid.y(cell.row);
        s.limit = std::pow(std::max(0.0, cell.top), 1.0 / massif.profile);
        if (!cell.held || !(cell.top > 0))
            continue;
        massif.warped(s.x, s.y, s.u, s.v);
        s.top = s.limit;
        s.fall = massif.fall();
        for (int side = 0; side < 2; ++side)
            s.drops[side] = cell.drops[side].empty() ? nullptr : &cell.drops[side];
        s.dropCell = cell.dropCell;
    }
    return summits;
}

// The summit's drop towards one side at a plain distance: a monotone cubic through its knots
// dropCell 2^j apart (Fritsch and Butland's slopes), level beyond the last. Drawn straight
// between the knots, the drop would bend at every knot's distance and leave a ring round the
// summit there.
double dropAt(const Summit& s, int side, double plain) {
    if (!s.drops[side] || !(plain > 0))
        return 0.0;
    const std::vector<double>& drops = *s.drops[side];
    const double t = plain / s.dropCell;
    // Knot 0 is the summit itself, knot k > 0 lies 2^(k - 1) cells away with drops[k - 1].
    const int knots = static_cast<int>(drops.size()) + 1;
    const auto x = [](int k) { return k == 0 ? 0.0 : static_cast<double>(1ull << (k - 1)); };
    const auto y = [&](int k) { return k == 0 ? 0.0 : drops[static_cast<std::size_t>(k - 1)]; };
    int k = 0;
    if (t >= 1.0) {
        int exponent = 0;
        std::frexp(t, &exponent); // t lies in [2^(exponent - 1), 2^exponent)
        k = exponent;
    }
    if (k + 1 >= knots)
        return drops.back();
    const auto secant = [&](int j) { return (y(j + 1) - y(j)) / (x(j + 1) - x(j)); };
    const auto tangent = [&](int j) {
        if (j == 0)
            return secant(0);
        if (j == knots - 1)
            return 0.0;
        const double d0 = secant(j - 1), d1 = secant(j);
        if (!(d0 * d1 > 0))
            return 0.0;
        const double h0 = x(j) - x(j - 1), h1 = x(j + 1) - x(j);
        return 3.0 * (h0 + h1) / ((2.0 * h1 + h0) / d0 + (h1 + 2.0 * h0) / d1);
    };
    const double h = x(k + 1) - x(k), u = (t - x(k)) / h;
    const double u2 = u * u, u3 = u2 * u;
    return (2 * u3 - 3 * u2 + 1) * y(k) + (u3 - 2 * u2 + u) * h * tangent(k) +
           (-2 * u3 + 3 * u2) * y(k + 1) + (u3 - u2) * h * tangent(k + 1);
}

// h^(1/p) of a summit's cone at a point of the warped plane whose cost is `cost`, dx east
// and plain() away from the summit, or anything no more than `best` where it is no more (the
// distance is then never worked out: most summits lose to a nearer one). The
// drawing only asks the ground to fall towards the lower columns: the drop towards the west holds
// all over the summit's west and north and south and fades out over a narrow wedge east of its
// column, the east's the same mirrored, so a summit beside a steep face falls steeply towards it
// and along the divide but gently away from it, with no seam where one side's drop hands over to
// the other's.
template <typename Plain>
double coneAt(const Summit& s, double u, double v, double cost, double dx, Plain plainOf,
              double best) {
    const double rise =
        s.top - s.fall * cost * std::sqrt((u - s.u) * (u - s.u) + (v - s.v) * (v - s.v));
    // The drops only take away: a cone that does not beat `best` without them never will.
    if (rise <= best)
        return rise;
    const double plain = plainOf();
    if (!(plain > 0))
        return rise;
    const auto weight = [&](double beyond) {
        const double t = std::clamp(1.0 - beyond / (dropWedge * plain), 0.0, 1.0);
        return t * t * (3 - 2 * t);
    };
    double drop = 0.0;
    if (dx < dropWedge * plain)
        drop = weight(dx) * dropAt(s, 0, plain);
    if (-dx < dropWedge * plain)
        drop = std::max(drop, weight(-dx) * dropAt(s, 1, plain));
    return rise - drop;
}

} // namespace

double Massif::cost(double x, double y) const {
    // The tilt: along the range, now the north flank and now the south one runs out further,
    // as a range's divide stands off its middle where one side rises faster than the other.
    // A field of the plane, not of the divide, so no seam runs along it.
    // It grows with the distance off the divide (not off the landscape's middle, which would
    // lean both flanks alike where the divide wanders off it) and saturates a quarter of a
    // flank depth away, so that low summits' short flanks lean as much as high ones'.
    const double off = y - divideAt(divideCourse, x, divideWander, divideWavelength, seed);
    const double lean = tilt *
                        gradientNoise(x / (tiltWavelength * depth), 0.5, seed ^ 0x510e527fu) *
                        std::tanh(off / (0.25 * depth));
    return std::max(0.4, (1.0 + costVariation * 1.6 *
                                    fractalNoise(x, y, shapeOctaves(*this), seed ^ 0x6a09e667u)) *
                             std::exp(lean));
}

void Massif::warped(double x, double y, double& u, double& v) const {
    // Half the cost's wavelength and more octaves: the creases where neighbouring summits'
    // cones meet bend over the length of a spur rather than running straight.
    Octaves octaves = shapeOctaves(*this);
    octaves.wavelength *= warpScale;
    octaves.maxOctaves = 4;
    const double amount = warp * octaves.wavelength * 1.6;
    u = x + amount * fractalNoise(x, y, octaves, seed ^ 0x3c6ef372u);
    v = y + amount * fractalNoise(x, y, octaves, seed ^ 0xa54ff53au);
}

double Massif::shortening() const {
    // The cost's floor, times what the warp's largest gradient (about its amplitude times
    // 2 pi over its wavelength, halved for the noise's typical slope) takes off a distance.
    return std::max(0.2, (1.0 - 1.6 * costVariation) * (1.0 - 1.6 * warp * 3.14159 * 0.75));
}

double Massif::fall() const {
    return std::pow(relief, 1.0 / profile) / depth;
}

double smoothMin(double a, double b, double k) {
    const double h = std::max(k - std::abs(a - b), 0.0) / k;
    return std::min(a, b) - 0.25 * h * h * k;
}

double smoothMax(double a, double b, double k) {
    const double h = std::max(k - std::abs(a - b), 0.0) / k;
    return std::max(a, b) + 0.25 * h * h * k;
}

void steepenCrest(const Massif& massif, const LevelGrid& grid, std::vector<CrestCell>& crest) {
    const int w = static_cast<int>(crest.size());
    const double fall = massif.fall();
    const std::vector<Summit> summits = summitsOf(massif, grid, crest);
    const double costFloor =
        std::max(0.4, (1.0 - 1.6 * massif.costVariation) * std::exp(-massif.tilt));
    for (int c = 0; c < w; ++c) {
        CrestCell& cell = crest[static_cast<std::size_t>(c)];
        cell.drops[0].clear();
        cell.drops[1].clear();
        cell.dropCell = grid.cell;
        const Summit& s = summits[static_cast<std::size_t>(c)];
        if (!(s.top > 0))
            continue;
        // The largest excess at each knot's distance band: band j holds the distances up to
        // dropCell 2^(j + 1).
        std::vector<double> sides[2];
        // Only columns within the cone's reach, as far as the warp and the cost may stretch
        // it, can ask for more.
        const int reach =
            static_cast<int>(std::ceil(s.top / (massif.shortening() * fall * grid.cell))) + 1;
        for (int k = std::max(0, c - reach); k <= std::min(w - 1, c + reach); ++k) {
            // Beyond the skyline's ends the columns' tops fall on from its end heights: the
            // cones keep below them there too, so that no column of the ends stands cut off
            // above its neighbour beyond.
            const Summit& other = summits[static_cast<std::size_t>(k)];
            if (k == c || other.limit >= s.top)
                continue;
            // What the setting's fall over the nearest the other column comes, at the cost's
            // floor, leaves above its top: to be dropped beforehand. The divide wanders, so
            // the other column's cells nearest this crest cell may lie well off its own crest
            // cell. (What the warp takes off that distance the smooth minimum under the skyline
            // takes up.)
            const double nearest = grid.cell * std::abs(k - c);
            const double excess = s.top - other.limit - fall * costFloor * nearest;
            if (excess > 0) {
                const double t = nearest / grid.cell;
                const auto band =
                    static_cast<std::size_t>(std::max(0.0, std::ceil(std::log2(t) - 1e-9) - 1.0));
                std::vector<double>& bands = sides[k < c ? 0 : 1];
                if (bands.size() <= band)
                    bands.resize(band + 1, 0.0);
                bands[band] = std::max(bands[band], excess);
            }
        }
        for (int side = 0; side < 2; ++side) {
            std::vector<double>& bands = sides[side];
            // Each knot drops what every distance up to the next knot asks: between two knots
            // the drop is then never less than asked.
            for (std::size_t j = 1; j < bands.size(); ++j)
                bands[j] = std::max(bands[j], bands[j - 1]);
            // But never steeper than a face stands: a drop that would make the summit's ground
            // fall faster than massif.steepest between two knots is held back, and the smooth
            // minimum under the skyline takes what is left off the neighbouring columns' tops.
            double before = std::pow(s.top, massif.profile), from = 0.0;
            for (std::size_t j = 0; j < bands.size(); ++j) {
                const double at = grid.cell * std::ldexp(1.0, static_cast<int>(j));
                const double lowest = std::max(0.0, before - massif.steepest * (at - from));
                const double plain = s.top - fall * at;
                if (plain > 0)
                    bands[j] = std::min(
                        bands[j], std::max(0.0, plain - std::pow(lowest, 1.0 / massif.profile)));
                before = std::pow(std::max(0.0, plain - bands[j]), massif.profile);
                from = at;
            }
            cell.drops[side] = std::move(bands);
        }
    }
}

void raiseMassif(const Massif& massif, const LevelGrid& grid, const std::vector<CrestCell>& crest,
                 int threads, std::vector<float>& heights) {
    raiseMassif(massif, grid, std::vector<std::vector<CrestCell>>{crest}, threads, heights);
}

void raiseMassif(const Massif& massif, const LevelGrid& grid,
                 const std::vector<std::vector<CrestCell>>& ranges, int threads,
                 std::vector<float>& heights) {
    const int w = grid.width, h = grid.height;
    // Every range's summits in one envelope: where two ranges' cones meet, the ground runs
    // from one to the other without a seam.
    std::vector<Summit> summits;
    for (const std::vector<CrestCell>& crest : ranges) {
        const std::vector<Summit> range = summitsOf(massif, grid, crest);
        summits.insert(summits.end(), range.begin(), range.end());
    }
    // The held summits in order of their warped easting. A cone falls at least at the
    // gentlest fall times the cost's floor, so at a cell only the summits within an easting
    // span about it can still beat the highest cone found so far: taken from the nearest
    // outwards, each side ends at the first that cannot. The envelope is the largest cone
    // whatever the order (drops only take away), so this changes no height.
    std::vector<std::size_t> held;
    double highest = 0.0, gentlest = INFINITY;
    for (std::size_t k = 0; k < summits.size(); ++k)
        if (summits[k].top > 0) {
            held.push_back(k);
            highest = std::max(highest, summits[k].top);
            gentlest = std::min(gentlest, summits[k].fall);
        }
    std::stable_sort(held.begin(), held.end(),
                     [&](std::size_t a, std::size_t b) { return summits[a].u < summits[b].u; });
    std::vector<double> eastings;
    for (const std::size_t k : held)
        eastings.push_back(summits[k].u);
    const auto count = static_cast<std::ptrdiff_t>(held.size());
    heights.assign(static_cast<std::size_t>(w) * h, 0.0f);
    forRowBands(
        h, 8, threadsFor(heights.size() * held.size() / 16, threads), [&](int first, int end) {
            for (int r = first; r < end; ++r)
                for (int c = 0; c < w; ++c) {
                    const double x = grid.x(c), y = grid.y(r);
                    double u, v;
                    massif.warped(x, y, u, v);
                    const double cost = massif.cost(x, y);
                    // A little less than the least fall, for the rounding.
                    const double least = 0.999999 * gentlest * cost;
                    double best = 0.0;
                    std::ptrdiff_t east =
                        std::lower_bound(eastings.begin(), eastings.end(), u) - eastings.begin();
                    std::ptrdiff_t west = east - 1;
                    while (west >= 0 || east < count) {
                        const bool fromWest =
                            east >= count ||
                            (west >= 0 && u - eastings[static_cast<std::size_t>(west)] <=
                                              eastings[static_cast<std::size_t>(east)] - u);
                        const std::size_t at = static_cast<std::size_t>(fromWest ? west-- : east++);
                        if (highest - least * std::abs(u - eastings[at]) <= best) {
                            (fromWest ? west : east) = fromWest ? -1 : count;
                            continue;
                        }
                        const Summit& s = summits[held[at]];
                        const double dx = x - s.x, dy = y - s.y;
                        best =
                            std::max(best, coneAt(
                                               s, u, v, cost, dx,
                                               [&] { return std::sqrt(dx * dx + dy * dy); }, best));
                    }
                    heights[static_cast<std::size_t>(r) * w + c] =
                        static_cast<float>(std::pow(best, massif.profile));
                }
        });
}

void sharpenCrest(const Massif& massif, const LevelGrid& grid, const std::vector<CrestCell>& crest,
                  int radius, double softness, std::vector<float>& heights) {
    const int w = grid.width, h = grid.height;
    const std::vector<Summit> summits = summitsOf(massif, grid, crest);
    // A summit's cone takes the ground up to it whole within half the radius of it, less and
    // less beyond, none at the radius: cut off there, the sharpened ground ended in a step
    // along the edge of the cells reached, which a crest stepping rows from column to column
    // turned into a ladder down its flanks.
    const double reach = radius * grid.cell;
    // Each column's band of rows that some crest cell's cone reaches: the cones' upper
    // envelope is gathered there first and laid onto the body once, so the order in which the
    // crest cells are taken does not matter.
    std::vector<int> lo(static_cast<std::size_t>(w), h), hi(static_cast<std::size_t>(w), -1);
    for (int c = 0; c < w; ++c) {
        const CrestCell& cell = crest[static_cast<std::size_t>(c)];
        if (!cell.held)
            continue;
        for (int k = std::max(0, c - radius); k <= std::min(w - 1, c + radius); ++k) {
            lo[static_cast<std::size_t>(k)] =
                std::min(lo[static_cast<std::size_t>(k)], std::max(0, cell.row - radius));
            hi[static_cast<std::size_t>(k)] =
                std::max(hi[static_cast<std::size_t>(k)], std::min(h - 1, cell.row + radius));
        }
    }
    for (int c = 0; c < w; ++c) {
        if (c % 64 == 0 && rowBandsStopped())
            return;
        for (int r = lo[static_cast<std::size_t>(c)]; r <= hi[static_cast<std::size_t>(c)]; ++r) {
            double u, v;
            massif.warped(grid.x(c), grid.y(r), u, v);
            const double cost = massif.cost(grid.x(c), grid.y(r));
            float& at = heights[static_cast<std::size_t>(r) * w + c];
            double raised = at;
            for (int k = std::max(0, c - radius); k <= std::min(w - 1, c + radius); ++k) {
                const Summit& s = summits[static_cast<std::size_t>(k)];
                if (s.top <= 0)
                    continue;
                const double d = std::hypot(grid.x(c) - s.x, grid.y(r) - s.y);
                const double t = std::clamp((reach - d) / (0.5 * reach), 0.0, 1.0);
                if (t <= 0)
                    continue;
                const double cone = coneAt(
                    s, u, v, cost, grid.x(c) - s.x, [d] { return d; }, 0.0);
                if (cone <= 0)
                    continue;
                const double top = std::pow(cone, massif.profile);
                if (top > at)
                    raised = std::max(raised, at + t * t * (3 - 2 * t) * (top - at));
            }
            if (raised > at)
                at = static_cast<float>(smoothMax(at, raised, softness));
        }
    }
}
