#include "terrain/terrainconstruction.h"

#include <algorithm>
#include <cmath>

#include "curve/detailrandomizer.h"
#include "curve/subdivision.h"

namespace {

// Below this magnitude a profile height counts as zero: the previous row can then not be
// rescaled by it.
const float zeroProfileHeight = 1e-6f;

// Height of point i of a profile. Profiles normally hold at least as many points as the grid
// has rows; a shorter one holds its last height, and an empty one is flat at 0.
double profileHeight(const PointList& profile, int i) {
    if (profile.empty())
        return 0.0;
    const std::size_t at = std::min(static_cast<std::size_t>(i), profile.size() - 1);
    return profile[at][1];
}

// randUnit, rand / 32767 - 0.5, for every value the generator returns. The construction
// draws once per grid point, and a division each time would cost more than all the rest.
const double* randUnitTable() {
    static const std::vector<double> table = [] {
        std::vector<double> values(static_cast<std::size_t>(Random15::maxValue) + 1);
        for (std::size_t v = 0; v < values.size(); ++v)
            values[v] = static_cast<double>(v) / 32767.0 - 0.5;
        return values;
    }();
    return table.data();
}

// The factors of one column's profile step from row i - 1 to row i, in the precision the
// construction has always used: the profile heights in single precision, the rest in double.
struct RowWeights {
    // Held as float: the profile heights are single precision by definition, and keeping
    // them in float storage stops the optimiser from carrying their unrounded doubles on.
    float w;          // profile height at row i
    float w2;         // profile height at row i - 1
    double oneMinusW; // 1 - w, the bottom row's share
    bool rescales;    // whether the previous row can be rescaled by w / w2
    double noise;     // the noise amplitude per unit of silhouette height
};

RowWeights rowWeights(const TerrainInputs& in, float w, float w2) {
    const double noise = in.profileRandomness * 0.1;
    const auto oneMinusW = static_cast<double>(1.0f - w);
    return RowWeights{w, w2, oneMinusW, std::fabs(w2) >= zeroProfileHeight,
                      w * noise + oneMinusW * noise * in.bottomDropOff};
}

// The mean of two estimates of the height at row i: the profile's blend of silhouette and
// bottom, and the previous row rescaled by the profile's change, each plus the bottom's
// share; then the noise. Where the profile has reached 0 there is nothing to rescale, and the
// first estimate stands alone.
double rowHeight(const RowWeights& k, double top, double base, double prev, double r) {
    double y = k.w * top + k.oneMinusW * base;
    if (k.rescales) {
        y = y + (prev / k.w2) * k.w + k.oneMinusW * base;
        y = y / 2;
    }
    return y + r * top * k.noise;
}

// The silhouette as row 0 and the noisy bottom row as the last, every row emptied.
void buildFrontAndBottomRows(const TerrainInputs& in, Random15& rng, TerrainGrid& grid) {
    const PointList& curve = in.front;
    const std::size_t n = curve.size();
    // Rows keep their storage from one construction to the next; only their contents go.
    grid.resize(static_cast<std::size_t>(in.rows) + 1);
    for (PointList& row : grid) {
        row.clear();
        row.reserve(n);
    }
    PointList& front = grid.front();
    PointList& bottom = grid.back();
    const double amplitude = n > 0 ? curve[0][1] : 0.0;
    const double* const unit = randUnitTable();
    for (std::size_t j = 0; j < n; ++j) {
        front.push_back(curve[j]);
        const double r = unit[rng.next()];
        const float v = static_cast<float>(r * amplitude * in.profileRandomness * in.bottomDropOff);
        bottom.emplace_back(curve[j][0], static_cast<double>(v));
    }
}

// The profile heights (w at row i, w2 at row i - 1) that column j of the row takes.
void profileWeights(const TerrainInputs& in, int i, std::size_t j, std::size_t& cursor, float& w,
                    float& w2) {
    const std::vector<unsigned>& columns = in.profileColumns;
    // Columns past the last stored profile take the last one.
    while (cursor + 1 < columns.size() && j > columns[cursor])
        ++cursor;
    const PointList& here = in.columnProfiles[cursor];
    if (cursor == 0 || j > columns[cursor]) {
        w = static_cast<float>(profileHeight(here, i));
        w2 = static_cast<float>(profileHeight(here, i - 1));
        return;
    }
    const PointList& before = in.columnProfiles[cursor - 1];
    const float t = static_cast<float>(columns[cursor] - j) /
                    static_cast<float>(columns[cursor] - columns[cursor - 1]);
    w = static_cast<float>(t * profileHeight(before, i) + (1.0f - t) * profileHeight(here, i));
    w2 = static_cast<float>(t * profileHeight(before, i - 1) +
                            (1.0f - t) * profileHeight(here, i - 1));
}

// The rows of one profile that rescale the previous row: rowHeight for every column, with the
// draws in column order. The division is what the construction spends most of its time on.
void blendRescaledRow(const PointList& front, const PointList& bottom, const PointList& previous,
                      const RowWeights& k, Random15& generator, PointList& row) {
    const std::size_t n = front.size();
    const double* const unit = randUnitTable();
    Random15 rng = generator; // a local copy stays in a register
    row.resize(n);
    gmVector2* const out = row.data();
    for (std::size_t j = 0; j < n; ++j) {
        const double r = unit[rng.next()];
        out[j] = gmVector2(front[j][0], rowHeight(k, front[j][1], bottom[j][1], previous[j][1], r));
    }
    generator = rng;
}

void buildRow(const TerrainInputs& in, int i, Random15& rng, TerrainGrid& grid) {
    const PointList& front = grid.front();
    const PointList& bottom = grid.back();
    const PointList& previous = grid[static_cast<std::size_t>(i) - 1];
    PointList& row = grid[static_cast<std::size_t>(i)];
    const std::size_t n = front.size();
    const double* const unit = randUnitTable();

    if (in.columnProfiles.empty()) {
        // One profile for the whole row: its weights are worked out once.
        const RowWeights k = rowWeights(in, static_cast<float>(profileHeight(in.globalProfile, i)),
                                        static_cast<float>(profileHeight(in.globalProfile, i - 1)));
        if (k.rescales) {
            blendRescaledRow(front, bottom, previous, k, rng, row);
            return;
        }
        for (std::size_t j = 0; j < n; ++j) {
            const double r = unit[rng.next()];
            row.emplace_back(front[j][0],
                             rowHeight(k, front[j][1], bottom[j][1], previous[j][1], r));
        }
        return;
    }
    std::size_t cursor = 0;
    for (std::size_t j = 0; j < n; ++j) {
        float w = 0.0f, w2 = 0.0f;
        profileWeights(in, i, j, cursor, w, w2);
        const RowWeights k = rowWeights(in, w, w2);
        const double r = unit[rng.next()];
        row.emplace_back(front[j][0], rowHeight(k, front[j][1], bottom[j][1], previous[j][1], r));
    }
}

void refineRows(const TerrainInputs& in, Random15& rng, TerrainGrid& grid) {
    const std::size_t levels = in.detailLevels.size();
    for (std::size_t level = 1; level < levels; ++level) {
        for (std::size_t i = 0; i < grid.size(); ++i) {
            PointList details = in.detailLevels[levels - level];
            if (i != 0)
                randomizeDetails(details, in.detailRandomness, rng, in.announceShuffles);
            refineCurve(grid[i], details);
        }
    }
}

} // namespace

void constructTerrain(const TerrainInputs& inputs, Random15& rng, TerrainGrid& grid) {
    buildFrontAndBottomRows(inputs, rng, grid);
    for (int i = 1; i < inputs.rows; ++i)
        buildRow(inputs, i, rng, grid);
    if (inputs.refine)
        refineRows(inputs, rng, grid);
}
