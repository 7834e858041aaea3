#include "natural/thermal.h"

#include <algorithm>
#include <cmath>

#include "natural/rowthreads.h"
#include "natural/shaping.h"

namespace {

// What slides into a cell at height zi from a neighbour `limit` higher or lower than the talus
// allows over their distance (out of it, negative, when the neighbour is the lower): zero
// within the talus. Written without a branch on the slope, whose sign is all but random.
inline double slideFrom(double zi, double neighbour, double limit) {
    const double d = neighbour - zi;
    return std::max(d - limit, 0.0) + std::min(d + limit, 0.0);
}

} // namespace

void thermalErosion(HeightField& field, double talus, int sweeps, int threads) {
    if (rowBandsStopped())
        return;
    const int w = field.width, h = field.height;
    std::vector<float> next(field.size());
    const double straight = talus * field.cell, diagonal = straight * 1.4142135623730951;
    // A sixteenth of the excess per neighbour pair: eight pairs move at most half a cell's
    // excess, which keeps the sweep from overshooting.
    const double share = 1.0 / 16.0;
    for (int sweep = 0; sweep < sweeps && !rowBandsStopped(); ++sweep) {
        const std::vector<float>& z = field.heights;
        // A cell on the raster's edge, with fewer than eight neighbours.
        const auto edgeCell = [&](int r, int c, std::size_t i) {
            const double zi = z[i];
            double change = 0.0;
            field.forNeighbours(z, r, c, [&](double neighbour, bool across) {
                change += share * slideFrom(zi, neighbour, across ? diagonal : straight);
            });
            return static_cast<float>(zi + change);
        };
        forRowBands(h, 32, threadsFor(field.size(), threads), [&](int first, int end) {
            for (int r = first; r < end; ++r) {
                const bool innerRow = r > 0 && r < h - 1;
                for (int c = 0; c < w; ++c) {
                    const std::size_t i = static_cast<std::size_t>(r) * w + c;
                    if (field.roles[i] != CellRole::free) {
                        next[i] = z[i];
                        continue;
                    }
                    if (!innerRow || c == 0 || c == w - 1) {
                        next[i] = edgeCell(r, c, i);
                        continue;
                    }
                    // The eight neighbours in forNeighbours' order, summed in that order.
                    const float* above = z.data() + i - w;
                    const float* below = z.data() + i + w;
                    const double zi = z[i];
                    double change = share * slideFrom(zi, above[-1], diagonal);
                    change += share * slideFrom(zi, above[0], straight);
                    change += share * slideFrom(zi, above[1], diagonal);
                    change += share * slideFrom(zi, z[i - 1], straight);
                    change += share * slideFrom(zi, z[i + 1], straight);
                    change += share * slideFrom(zi, below[-1], diagonal);
                    change += share * slideFrom(zi, below[0], straight);
                    change += share * slideFrom(zi, below[1], diagonal);
                    next[i] = static_cast<float>(zi + change);
                }
            }
        });
        if (rowBandsStopped())
            return;
        field.heights.swap(next);
    }
}

namespace {

// The steps to the cells a forward pass has already seen (the rows to the north and the cells
// to the west); the backward pass takes them mirrored. With a reach of 2, sixteen directions
// rather than the eight neighbours': a face cut back along eight directions only would turn
// every failed slope into one of an octagon's eight faces. `rise` is half the step's length.
struct Step {
    int dr, dc;
    float rise;
};

std::vector<Step> stepsOf(int reach, double cell) {
    std::vector<Step> steps;
    for (int dr = -reach; dr <= 0; ++dr)
        for (int dc = -reach; dc <= reach; ++dc) {
            if (dr == 0 && dc >= 0)
                continue;
            // Only the shortest step in each direction: a longer one is made of shorter ones.
            const int a = std::abs(dr), b = std::abs(dc);
            int g = a, k = b;
            while (k != 0) {
                const int t = g % k;
                g = k;
                k = t;
            }
            if (g != 1)
                continue;
            steps.push_back({dr, dc, static_cast<float>(0.5 * cell * std::hypot(a, b))});
        }
    return steps;
}

// The steps from each cell of a w x h raster, as offsets into it: away from the edges every
// step lands inside, and the sweeps skip the bounds checks that the cells near them need.
class StepWalk {
public:
    StepWalk(int reach, double cell, int w, int h)
        : steps(stepsOf(reach, cell)), w_(w), h_(h), reach_(reach) {
        for (const Step& s : steps)
            offsets_.push_back(static_cast<std::ptrdiff_t>(s.dr) * w + s.dc);
    }
    // Calls f(j, s) for the cell j each step s from (r, c) reaches, mirrored for sign -1.
    template <class F> void around(int r, int c, int sign, F&& f) const {
        const std::ptrdiff_t i = static_cast<std::ptrdiff_t>(r) * w_ + c;
        if (r >= reach_ && r < h_ - reach_ && c >= reach_ && c < w_ - reach_) {
            for (std::size_t s = 0; s < steps.size(); ++s)
                f(static_cast<std::size_t>(i + sign * offsets_[s]), s);
            return;
        }
        for (std::size_t s = 0; s < steps.size(); ++s) {
            const int nr = r + sign * steps[s].dr, nc = c + sign * steps[s].dc;
            if (nr >= 0 && nr < h_ && nc >= 0 && nc < w_)
                f(static_cast<std::size_t>(nr) * w_ + nc, s);
        }
    }
    const std::vector<Step> steps;

private:
    std::vector<std::ptrdiff_t> offsets_;
    int w_, h_, reach_;
};

// Each column's ceiling, but no higher than any other column's plus `step` (height over
// distance) times the distance between them.
std::vector<double> chainCeilings(const std::vector<double>& ceiling, int w, double step) {
    std::vector<double> chained(ceiling.begin(), ceiling.begin() + w);
    for (std::size_t c = 1; c < chained.size(); ++c)
        chained[c] = std::min(chained[c], chained[c - 1] + step);
    for (std::size_t c = chained.size() - 1; c-- > 0;)
        chained[c] = std::min(chained[c], chained[c + 1] + step);
    return chained;
}

std::vector<char> heldCells(const HeightField& field) {
    std::vector<char> held(field.size(), 0);
    for (std::size_t i = 0; i < field.size(); ++i)
        held[i] = field.roles[i] == CellRole::held;
    return held;
}

} // namespace

std::vector<float> distanceToCells(const std::vector<char>& seeds, int w, int h, double across) {
    const StepWalk walk(1, 1.0, w, h);
    std::vector<float> length;
    for (const Step& s : walk.steps)
        length.push_back(static_cast<float>(std::hypot(s.dr, across * s.dc)));
    std::vector<float> d(seeds.size(), static_cast<float>(w + h));
    for (std::size_t i = 0; i < seeds.size(); ++i)
        if (seeds[i])
            d[i] = 0.0f;
    // Nothing stands in the way and every step costs the same everywhere: one forward and one
    // backward pass find every shortest path.
    for (const int sign : {1, -1})
        for (int k = 0; k < w * h; ++k) {
            const int r = sign > 0 ? k / w : h - 1 - k / w;
            const int c = sign > 0 ? k % w : w - 1 - k % w;
            float& v = d[static_cast<std::size_t>(r) * w + c];
            walk.around(r, c, sign,
                        [&](std::size_t j, std::size_t s) { v = std::min(v, d[j] + length[s]); });
        }
    return d;
}

void limitSlope(HeightField& field, const std::vector<float>& steepest, int passes, int reach) {
    const int w = field.width, h = field.height;
    if (w < 2 || h < 2)
        return;
    std::vector<float>& z = field.heights;
    const StepWalk walk(reach, field.cell, w, h);
    bool changed = false;
    const float settled = static_cast<float>(0.01 * field.cell);
    // The rows each sweep lowered anything in, and those the sweep before it did.
    std::vector<char> lowered(static_cast<std::size_t>(h), 0), loweredBefore(lowered);
    const auto lower = [&](int r, int c, int sign) {
        const std::size_t i = static_cast<std::size_t>(r) * w + c;
        if (field.roles[i] == CellRole::held)
            return;
        float v = z[i];
        walk.around(r, c, sign, [&](std::size_t j, std::size_t s) {
            v = std::min(v, z[j] + walk.steps[s].rise * (steepest[i] + steepest[j]));
        });
        if (v < z[i]) {
            // What is left after a pass is a hundredth of a cell's rise at most: no reason to
            // pass again.
            changed = changed || z[i] - v > settled;
            z[i] = v;
            lowered[static_cast<std::size_t>(r)] = 1;
        }
    };
    // A row settled against the rows its steps read in one sweep stays settled in the next
    // sweep the same way until one of them is lowered: after each direction's first sweep only
    // the rows within reach of those lowered since are swept again.
    const auto sweep = [&](int r, int sign, bool first) {
        bool due = first;
        for (int q = r; !due && q != r - (reach + 1) * sign; q -= sign)
            due = q >= 0 && q < h &&
                  (lowered[static_cast<std::size_t>(q)] ||
                   loweredBefore[static_cast<std::size_t>(q)]);
        if (!due)
            return;
        if (sign > 0)
            for (int c = 0; c < w; ++c)
                lower(r, c, 1);
        else
            for (int c = w - 1; c >= 0; --c)
                lower(r, c, -1);
    };
    const auto nextSweep = [&] {
        loweredBefore.swap(lowered);
        std::fill(lowered.begin(), lowered.end(), 0);
    };
    // With the same angle everywhere any shortest path of these steps is a run of one or two
    // neighbouring step directions, which one forward and one backward pass take in turn;
    // where the angle varies, or held cells stand in the way, a path may have to turn more
    // often, so the pairs of passes repeat until nothing changes, `passes` pairs at most.
    for (int pass = 0; pass < passes; ++pass) {
        changed = false;
        for (int r = 0; r < h; ++r) {
            if (r % 64 == 0 && rowBandsStopped())
                return;
            sweep(r, 1, pass == 0);
        }
        nextSweep();
        for (int r = h - 1; r >= 0; --r) {
            if (r % 64 == 0 && rowBandsStopped())
                return;
            sweep(r, -1, pass == 0);
        }
        nextSweep();
        if (!changed)
            break;
    }
}

std::vector<Fin> finsOf(const std::vector<int>& heldRows, int finRows) {
    // The neighbours' held rows count within `near` rows of this column's: further off lies
    // another range's crest, not the next step of this one.
    const int span = 3, near = 3;
    const double ease = 0.5;
    const int w = static_cast<int>(heldRows.size());
    std::vector<Fin> fins(heldRows.size());
    for (int c = 0; c < w; ++c) {
        Fin& fin = fins[static_cast<std::size_t>(c)];
        fin.held = heldRows[static_cast<std::size_t>(c)];
        if (fin.held < 0 || finRows <= 0)
            continue;
        fin.whole[0] = fin.held - (finRows - 1);
        fin.whole[1] = fin.held + (finRows - 1);
        double sum = 0.0;
        int count = 0;
        bool steady = true;
        for (int k = std::max(0, c - span); k <= std::min(w - 1, c + span); ++k) {
            const int row = heldRows[static_cast<std::size_t>(k)];
            if (row < 0 || std::abs(row - fin.held) > near)
                continue;
            sum += row;
            ++count;
            if (std::abs(k - c) == 1) {
                fin.whole[0] = std::min(fin.whole[0], row);
                fin.whole[1] = std::max(fin.whole[1], row);
                steady = steady && std::abs(row - fin.held) <= 1;
            }
        }
        // Where the crest steps rows at every column the fin steps with it anyway.
        fin.middle = steady ? std::clamp(sum / count, fin.held - ease, fin.held + ease)
                            : static_cast<double>(fin.held);
    }
    return fins;
}

double finShare(const Fin& fin, int row, int finRows) {
    if (fin.held < 0 || finRows <= 0)
        return 0.0;
    if (row >= fin.whole[0] && row <= fin.whole[1])
        return 1.0;
    if (std::abs(row - fin.held) > finRows)
        return 0.0;
    // The share of the cell's rows that the fin's rows about its middle cover.
    const double from = std::max(row - 0.5, fin.middle - finRows - 0.5);
    const double to = std::min(row + 0.5, fin.middle + finRows + 0.5);
    return std::clamp(to - from, 0.0, 1.0);
}

namespace {

// Where the crest steps two or three rows from one column to the next, the rows of a column
// between its held cell and the cell beside its neighbour's stand at least on the straight line
// between the two (both no higher than the column's ceiling): the crest runs on along the step
// rather than dipping between them, which from above reads as a comb across the crest. The
// cones still raise them further where they reach higher.
void fillCrestSteps(const HeightField& field, const std::vector<std::vector<int>>& heldRows,
                    const std::vector<double>& ceiling, std::vector<float>& blade) {
    const int w = field.width;
    for (int c = 0; c < w; ++c)
        for (const int r : heldRows[static_cast<std::size_t>(c)])
            for (const int side : {c - 1, c + 1}) {
                if (side < 0 || side >= w)
                    continue;
                const double roof = ceiling[static_cast<std::size_t>(side)];
                const double beside = std::min(
                    static_cast<double>(field.heights[static_cast<std::size_t>(r) * w + c]), roof);
                for (const int own : heldRows[static_cast<std::size_t>(side)]) {
                    const int gap = std::abs(own - r);
                    if (gap < 2 || gap > 3)
                        continue;
                    const double top =
                        std::min(static_cast<double>(
                                     field.heights[static_cast<std::size_t>(own) * w + side]),
                                 roof);
                    const int toward = r > own ? 1 : -1;
                    for (int k = 1; k < gap; ++k) {
                        const std::size_t q = static_cast<std::size_t>(own + toward * k) * w + side;
                        if (field.roles[q] != CellRole::held)
                            blade[q] = std::max(blade[q],
                                                static_cast<float>(top + (beside - top) * k / gap));
                    }
                }
            }
}

} // namespace

void raiseBlade(HeightField& field, const std::vector<float>& steepest,
                const std::vector<double>& ceiling, double steepestFace, double softness,
                double steeper, int finRows, const BladeRoof& roof) {
    const int w = field.width, h = field.height;
    if (w < 2 || h < 2 || rowBandsStopped())
        return;
    // The highest the blade may stand in each column: its ceiling, but no higher than any
    // other column's ceiling plus the steepest face over the distance between them, so that
    // from one column to the next the blade never falls faster than a face stands. Where the
    // drawing itself falls faster, the held cell stands above it as a pinnacle.
    const std::vector<double> upper = chainCeilings(ceiling, w, steepestFace * field.cell);
    // The roof's eaves: a face under them falls from column to column at the roof's gentler
    // step, which leaves room for it to fall away from the crest as well without standing
    // steeper than 60 degrees.
    const bool roofed = roof.fall > 0;
    const std::vector<double> eaves =
        roofed ? chainCeilings(ceiling, w, roof.step * field.cell) : upper;
    const std::vector<float> fromCrest =
        roofed ? distanceToCells(heldCells(field), w, h, roof.across) : std::vector<float>();
    const auto capOf = [&](std::size_t i, int c) {
        const double cut = upper[static_cast<std::size_t>(c)];
        if (!roofed)
            return cut;
        return std::min(cut, eaves[static_cast<std::size_t>(c)] +
                                 roof.fall * field.cell * (roof.rows - fromCrest[i]));
    };
    // The cones' envelope, from the held cells outwards; below zero where none reaches.
    std::vector<float> blade(field.size(), -1.0f);
    for (std::size_t i = 0; i < field.size(); ++i)
        if (field.roles[i] == CellRole::held)
            blade[i] = field.heights[i];
    // Where the crest steps a row from one column to the next, the cells beside each held cell
    // along its row stand at their own column's top (or the held cell's, if lower), whatever
    // the cap: the crest runs on from cell to cell, and a view along the rows sees no notch
    // between two columns.
    std::vector<char> fixed(field.size(), 0);
    for (int r = 0; r < h; ++r)
        for (int c = 0; c < w; ++c) {
            const std::size_t i = static_cast<std::size_t>(r) * w + c;
            if (field.roles[i] != CellRole::held)
                continue;
            for (const int side : {c - 1, c + 1}) {
                if (side < 0 || side >= w)
                    continue;
                const std::size_t j = static_cast<std::size_t>(r) * w + side;
                if (field.roles[j] == CellRole::held)
                    continue;
                fixed[j] = 1;
                blade[j] =
                    std::max(blade[j],
                             static_cast<float>(std::min(static_cast<double>(field.heights[i]),
                                                         ceiling[static_cast<std::size_t>(side)])));
            }
        }
    // Each column's held rows, north to south; the southernmost carries its fin.
    std::vector<std::vector<int>> heldRows(static_cast<std::size_t>(w));
    std::vector<int> heldRow(static_cast<std::size_t>(w), -1);
    if (finRows > 0) {
        for (int r = 0; r < h; ++r)
            for (int c = 0; c < w; ++c)
                if (field.roles[static_cast<std::size_t>(r) * w + c] == CellRole::held) {
                    heldRows[static_cast<std::size_t>(c)].push_back(r);
                    heldRow[static_cast<std::size_t>(c)] = r;
                }
        fillCrestSteps(field, heldRows, ceiling, blade);
    }
    const std::vector<Fin> fins = finsOf(heldRow, finRows);
    // How high the blade may stand in a cell: its cap, or on its column's fin the ceiling.
    const auto limitAt = [&](std::size_t i, int r, int c) {
        const double share = finShare(fins[static_cast<std::size_t>(c)], r, finRows);
        const double cut = share < 1.0 ? capOf(i, c) : 0.0;
        return static_cast<float>(cut + share * (ceiling[static_cast<std::size_t>(c)] - cut));
    };
    const StepWalk walk(2, field.cell, w, h);
    // The columns where each row's blade stands above zero, lo to hi: a cone reaches a cell
    // only from there, so the sweeps visit only the cells within two columns of them.
    std::vector<int> lo(static_cast<std::size_t>(h), w), hi(static_cast<std::size_t>(h), -1);
    const auto spread = [&](int r, int c) {
        lo[static_cast<std::size_t>(r)] = std::min(lo[static_cast<std::size_t>(r)], c);
        hi[static_cast<std::size_t>(r)] = std::max(hi[static_cast<std::size_t>(r)], c);
    };
    for (int r = 0; r < h; ++r)
        for (int c = 0; c < w; ++c) {
            const std::size_t i = static_cast<std::size_t>(r) * w + c;
            if (field.roles[i] != CellRole::held && !fixed[i])
                blade[i] = std::min(blade[i], limitAt(i, r, c));
            if (blade[i] > 0)
                spread(r, c);
        }
    const auto raise = [&](int r, int c, int sign) {
        const std::size_t i = static_cast<std::size_t>(r) * w + c;
        if (field.roles[i] == CellRole::held || fixed[i])
            return;
        float v = blade[i];
        walk.around(r, c, sign, [&](std::size_t j, std::size_t s) {
            if (blade[j] > 0)
                v = std::max(v, static_cast<float>(blade[j] - steeper * walk.steps[s].rise *
                                                                  (steepest[i] + steepest[j])));
        });
        blade[i] = std::min(v, limitAt(i, r, c));
        if (blade[i] > 0)
            spread(r, c);
    };
    // A row's sweep: the cells within two columns of the blade in the rows its steps read (this
    // one, as it spreads along it, and the two before it in the sweep's direction).
    const auto sweep = [&](int r, int sign) {
        int from = w, to = -1;
        for (int q = r; q != r - 3 * sign; q -= sign)
            if (q >= 0 && q < h) {
                from = std::min(from, lo[static_cast<std::size_t>(q)] - 2);
                to = std::max(to, hi[static_cast<std::size_t>(q)] + 2);
            }
        const int& first = lo[static_cast<std::size_t>(r)];
        const int& last = hi[static_cast<std::size_t>(r)];
        if (sign > 0)
            for (int c = std::max(0, from); c < w && (c <= to || c <= last + 2); ++c)
                raise(r, c, 1);
        else
            for (int c = std::min(w - 1, to); c >= 0 && (c >= from || c >= first - 2); --c)
                raise(r, c, -1);
    };
    // Two pairs of passes: the cones are nearly even, and what a third would add lies below
    // the rounding.
    for (int pass = 0; pass < 2; ++pass) {
        for (int r = 0; r < h; ++r) {
            if (r % 64 == 0 && rowBandsStopped())
                return;
            sweep(r, 1);
        }
        for (int r = h - 1; r >= 0; --r) {
            if (r % 64 == 0 && rowBandsStopped())
                return;
            sweep(r, -1);
        }
    }
    for (std::size_t i = 0; i < field.size(); ++i)
        if (field.roles[i] == CellRole::free && blade[i] > field.heights[i] - softness)
            field.heights[i] = static_cast<float>(smoothMax(field.heights[i], blade[i], softness));
}
