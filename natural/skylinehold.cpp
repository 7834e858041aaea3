#include "natural/skylinehold.h"

#include <algorithm>
#include <cfloat>
#include <cmath>

#include "natural/capexcess.h"
#include "natural/naturalterrain.h"
#include "natural/rowthreads.h"
#include "natural/thermal.h"

namespace {

// What the ranges allow in column x, each range k seen from northingOf(k): whether it holds
// its crest there and at what top (into cells, when given, one per range), and the column's
// visible top, the highest of the tops of the ranges that cover it; where none does, the
// highest of their falls beyond their ends, but no lower than `lowest`.
template <typename NorthingOf>
double seeColumn(const std::vector<SkylineView>& views, const Level& level, double x, double lowest,
                 const NorthingOf& northingOf, CrestCell* cells) {
    const double a = x - 0.5 * level.cell, b = x + 0.5 * level.cell;
    constexpr std::size_t few = 8;
    Sight fewSights[few];
    std::vector<Sight> moreSights(views.size() > few ? views.size() : 0);
    Sight* sights = views.size() > few ? moreSights.data() : fewSights;
    int covering = 0;
    for (std::size_t k = 0; k < views.size(); ++k) {
        sights[k] = views[k].sight(northingOf(k));
        covering += views[k].covers(sights[k], a, b);
    }
    bool covered = false;
    double ceiling = 0.0;
    for (std::size_t k = 0; k < views.size(); ++k) {
        const SkylineView& view = views[k];
        // Where a range ends over another's skyline, the outline steps from one to the other
        // at the end: the column holds the range only if it reaches the column's middle, so
        // that the step falls between the cells on either side of it.
        const bool held =
            view.covers(sights[k], a, b) && (covering == 1 || view.covers(sights[k], x, x));
        if (cells) {
            cells[k].held = held;
            cells[k].top = view.top(sights[k], level, x, held);
        }
        if (held) {
            const double top = cells ? cells[k].top : view.top(sights[k], level, x, true);
            ceiling = covered ? std::max(ceiling, top) : top;
            covered = true;
        } else if (!covered) {
            const double fall = view.beyond(sights[k], x, lowest);
            ceiling = k == 0 ? fall : std::max(ceiling, fall);
        }
    }
    return ceiling;
}

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

} // namespace

Crest crestOf(const SkylineHold& hold, const std::vector<SkylineView>& views, const Level& level) {
    Crest crest;
    const std::size_t width = static_cast<std::size_t>(level.width);
    crest.ranges.assign(views.size(), std::vector<CrestCell>(width));
    crest.seen.assign(views.size(), std::vector<char>(width, 0));
    crest.ceiling.resize(width);
    bool perspective = false;
    for (const SkylineView& view : views)
        perspective = perspective || view.viewer.perspective;
    crest.lowestCeiling = 1.5 * naturalForelandHeight * hold.relief;
    std::vector<CrestCell> column(views.size());
    for (int c = 0; c < level.width; ++c) {
        const double x = level.x(c);
        const std::size_t i = static_cast<std::size_t>(c);
        for (std::size_t k = 0; k < views.size(); ++k)
            column[k].row = std::clamp(
                level.middleRow - static_cast<int>(std::lround(hold.divide(k, x) / level.cell)), 3,
                level.height - 4);
        const double ceiling = seeColumn(
            views, level, x, crest.lowestCeiling,
            [&](std::size_t k) { return (level.middleRow - column[k].row) * level.cell; },
            column.data());
        crest.ceiling[i] = ceiling;
        // A range that ends where another's skyline goes on falls beyond its end no higher
        // than that skyline: its ends would show above the drawing there. A range hidden
        // behind a nearer one keeps its own skyline, which lies below the nearer one's.
        for (std::size_t k = 0; k < views.size(); ++k) {
            CrestCell& cell = crest.ranges[k][i];
            cell.row = column[k].row;
            cell.held = column[k].held;
            // In perspective the ceiling that counts is the one at this crest cell's own
            // distance: every range's skyline seen in its direction from there.
            double own = ceiling;
            if (perspective) {
                const double northing = (level.middleRow - cell.row) * level.cell;
                own = seeColumn(
                    views, level, x, crest.lowestCeiling,
                    [northing](std::size_t) { return northing; }, nullptr);
            }
            cell.top = cell.held ? column[k].top : std::min(column[k].top, own);
            crest.seen[k][i] = cell.held && cell.top >= own;
        }
    }
    if (perspective)
        crest.views = &views;
    for (std::vector<CrestCell>& cells : crest.ranges)
        steepenCrest(*hold.massif, level.grid(), cells);
    crest.smoothTop.resize(width);
    for (std::size_t c = 0; c < width; ++c) {
        double top = crest.ranges[0][c].top;
        for (const std::vector<CrestCell>& cells : crest.ranges)
            top = std::max(top, cells[c].top);
        crest.smoothTop[c] = std::min(top, hold.relief);
    }
    crest.smoothTop = smoothAlong(crest.smoothTop, 0.05 * hold.depth / level.cell);
    return crest;
}

void holdSkyline(const SkylineHold& hold, const Crest& crest, const Level& level, bool roles,
                 HeightField& field) {
    const double softness = hold.softness;
    const double lowland = std::max(1e-9, naturalForelandHeight * hold.relief);
    const bool erodesForeland = std::max(level.width, level.height) <= hold.forelandErodedSide;
    const int fin = level.factor == 1 ? hold.finRows : 0;
    std::vector<double> flankCap(crest.ceiling);
    const double step = hold.flankCapStep * level.cell;
    for (std::size_t c = 1; c < flankCap.size(); ++c)
        flankCap[c] = std::min(flankCap[c], flankCap[c - 1] + step);
    for (std::size_t c = flankCap.size() - 1; c-- > 0;)
        flankCap[c] = std::min(flankCap[c], flankCap[c + 1] + step);
    // The crest cell of the range seen over the column stands at the column's top. A range
    // hidden behind a nearer one there is free: its summit raised the ground, but holding it
    // at its own lower top would sink a pit into whatever nearer flank or neighbouring summit
    // stands higher there.
    const auto heldTop = [&](int r, int c, double& top) {
        bool held = false;
        for (std::size_t k = 0; k < crest.ranges.size(); ++k) {
            const CrestCell& cell = crest.ranges[k][static_cast<std::size_t>(c)];
            if (crest.seen[k][static_cast<std::size_t>(c)] && r == cell.row) {
                top = held ? std::max(top, cell.top) : cell.top;
                held = true;
            }
        }
        return held;
    };
    // How high a free cell may stand. The finest level's fins (finsOf): a few rows either side
    // of the seen range's crest cell may rise to the column's top, the fin's edges in part;
    // elsewhere the neighbours' ceilings cap the flanks.
    std::vector<std::vector<Fin>> fins;
    if (fin > 0)
        for (std::size_t k = 0; k < crest.ranges.size(); ++k) {
            std::vector<int> rows(crest.ranges[k].size(), -1);
            for (std::size_t c = 0; c < rows.size(); ++c)
                if (crest.seen[k][c])
                    rows[c] = crest.ranges[k][c].row;
            fins.push_back(finsOf(rows, fin));
        }
    const auto capAt = [&](int r, int c) {
        double share = 0.0;
        for (const std::vector<Fin>& range : fins)
            share = std::max(share, finShare(range[static_cast<std::size_t>(c)], r, fin));
        double onFin = crest.ceiling[static_cast<std::size_t>(c)];
        double off = flankCap[static_cast<std::size_t>(c)];
        if (crest.views) {
            // Seen in perspective, ground nearer than the crest shows higher for its height
            // and farther ground lower: each cell stays below the line of sight to the
            // skylines in its own direction.
            const double northing = (level.middleRow - r) * level.cell;
            onFin = seeColumn(
                *crest.views, level, level.x(c), crest.lowestCeiling,
                [northing](std::size_t) { return northing; }, nullptr);
            off = std::min(off, onFin);
        }
        return share >= 1.0 ? onFin : off + share * (onFin - off);
    };
    // On every level but the raster's own the ground above the caps is taken down smoothly
    // first; the crest keeps to the caps alone and the lowering comes in gradually away from
    // it, or the crest would stand up out of a moat. (On the raster's own level the fins need
    // the caps' own cut: lowered round them, the ground beside a notch would step down into it
    // as a wall. What the coarser levels lowered it inherits.)
    // Where the lowering needs every cell's cap, the smooth minimum below reads it from there
    // rather than asking the views again.
    std::vector<double> caps;
    if (level.factor > 1) {
        std::vector<char> crestCells(field.size(), 0);
        std::vector<float> share(field.size());
        caps.assign(field.size(), DBL_MAX);
        for (int r = 0; r < level.height; ++r)
            for (int c = 0; c < level.width; ++c) {
                double top = 0.0;
                const std::size_t i = static_cast<std::size_t>(r) * level.width + c;
                crestCells[i] = heldTop(r, c, top);
                if (!crestCells[i])
                    caps[i] = capAt(r, c);
            }
        const std::vector<float> fromCrest = distanceToCells(crestCells, level.width, level.height);
        for (std::size_t i = 0; i < field.size(); ++i) {
            const double t =
                std::clamp((fromCrest[i] - hold.excessCrestGap) / hold.excessCrestRamp, 0.0, 1.0);
            share[i] = static_cast<float>(t * t * (3 - 2 * t));
        }
        lowerAboveCaps(field, caps, share,
                       std::min(hold.excessReachCells, hold.excessReach * hold.depth / level.cell));
    }
    for (int r = 0; r < level.height; ++r) {
        if (r % 64 == 0 && rowBandsStopped())
            return;
        for (int c = 0; c < level.width; ++c) {
            const std::size_t i = static_cast<std::size_t>(r) * level.width + c;
            float& h = field.heights[i];
            const bool edge = r == 0 || c == 0 || r == level.height - 1 || c == level.width - 1;
            double top = 0.0;
            if (heldTop(r, c, top)) {
                h = static_cast<float>(top);
                if (roles)
                    field.roles[i] = CellRole::held;
                continue;
            }
            const double cap = caps.empty() ? capAt(r, c) : caps[i];
            h = static_cast<float>(std::max(0.0, smoothMin(h, cap, softness)));
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
}
