#include "heightmap/heightraster.h"

#include <algorithm>
#include <cfloat>
#include <charconv>
#include <cmath>
#include <new>

namespace {

using Grid = std::vector<std::vector<gmVector2>>;

// The four grid points a sample is made of and their weights (missing neighbours at the ends
// carry weight 0 and repeat a valid index).
struct Taps {
    int index[4];
    double weight[4];
};

// The cubic Hermite spline through (pos[i], y[i]) with Catmull-Rom tangents, evaluated at `at`
// in the interval pos[k] .. pos[k + 1], written as weights on the y of points k - 1 .. k + 2.
// A tangent is the slope between a point's two neighbours, or to its one neighbour at an end,
// so uneven spacing is followed and straight slopes come out exactly.
Taps hermiteTaps(const double* pos, int n, int k, double at) {
    const double h = pos[k + 1] - pos[k];
    const double t = std::clamp((at - pos[k]) / h, 0.0, 1.0);
    const double t2 = t * t, t3 = t2 * t;
    const double h00 = 2 * t3 - 3 * t2 + 1, h01 = -2 * t3 + 3 * t2;
    const double a = (t3 - 2 * t2 + t) * h, b = (t3 - t2) * h;

    Taps taps{};
    const int first = k - 1;
    for (int s = 0; s < 4; ++s)
        taps.index[s] = std::clamp(first + s, 0, n - 1);
    auto add = [&](int i, double w) { taps.weight[i - first] += w; };
    add(k, h00);
    add(k + 1, h01);
    const int p0 = std::max(k - 1, 0), p1 = k + 1; // the tangent at k
    add(p1, a / (pos[p1] - pos[p0]));
    add(p0, -a / (pos[p1] - pos[p0]));
    const int q0 = k, q1 = std::min(k + 2, n - 1); // the tangent at k + 1
    add(q1, b / (pos[q1] - pos[q0]));
    add(q0, -b / (pos[q1] - pos[q0]));
    return taps;
}

// One raster line's samples along one axis: taps for every sample inside the terrain, or
// none (the base height 0) for samples more than half a cell beyond it.
struct AxisSamples {
    std::vector<Taps> taps;
    std::vector<char> inside;
    // 1 inside; beyond the terrain, the blend padding's factor.
    std::vector<double> fade;
};

// Samples centred on the terrain's extent lo .. hi, `count` of them, `cell` apart; positions
// rise from the first sample to the last when `rising`, fall otherwise. pos (n points, rising)
// are the grid's positions along this axis.
AxisSamples axisSamples(const double* pos, int n, double lo, double hi, int count, double cell,
                        bool rising) {
    AxisSamples samples;
    samples.taps.resize(count);
    samples.inside.resize(count);
    const double centre = 0.5 * (lo + hi);
    // Half a cell of slack, less a hair so that a centre exactly half a cell out stays out.
    const double reach = 0.5 * (hi - lo) + 0.5 * cell * (1 - 1e-9);
    int k = 0;
    // The outermost cell centre lies this far beyond the terrain on either side.
    const double outermost = 0.5 * (count - 1) * cell - 0.5 * (hi - lo);
    samples.fade.assign(count, 1.0);
    for (int s = 0; s < count; ++s) {
        const double at = centre + (s - 0.5 * (count - 1)) * cell;
        samples.inside[s] = std::abs(at - centre) <= reach;
        if (!samples.inside[s]) {
            const double beyond = std::abs(at - centre) - 0.5 * (hi - lo);
            const double t = outermost > 0 ? std::clamp(beyond / outermost, 0.0, 1.0) : 1.0;
            samples.fade[s] = 1.0 - t * t * (3.0 - 2.0 * t);
        }
        const double clamped = std::clamp(at, pos[0], pos[n - 1]);
        while (k < n - 2 && clamped >= pos[k + 1])
            ++k;
        samples.taps[s] = hermiteTaps(pos, n, k, clamped);
    }
    if (!rising) {
        std::reverse(samples.taps.begin(), samples.taps.end());
        std::reverse(samples.inside.begin(), samples.inside.end());
        std::reverse(samples.fade.begin(), samples.fade.end());
    }
    return samples;
}

double medianGap(const std::vector<gmVector2>& row) {
    std::vector<double> gaps(row.size() - 1);
    for (std::size_t i = 0; i + 1 < row.size(); ++i)
        gaps[i] = row[i + 1][0] - row[i][0];
    auto middle = gaps.begin() + static_cast<std::ptrdiff_t>(gaps.size() / 2);
    std::nth_element(gaps.begin(), middle, gaps.end());
    return *middle;
}

bool sameX(const std::vector<gmVector2>& a, const std::vector<gmVector2>& b) {
    for (std::size_t i = 0; i < a.size(); ++i)
        if (a[i][0] != b[i][0])
            return false;
    return true;
}

std::string number(double value) {
    char text[32];
    return std::string(text, std::to_chars(text, text + sizeof text, value).ptr);
}

std::string sizeText(double width, double height) {
    return number(width) + "x" + number(height);
}

} // namespace

bool checkTerrainGrid(const Grid& grid, double rowSpacing, std::string& error) {
    if (grid.size() < 2 || grid[0].size() < 2) {
        error = "the terrain needs at least 2 rows of 2 points";
        return false;
    }
    if (!std::isfinite(rowSpacing) || rowSpacing <= 0) {
        error = "the terrain's row spacing must be a positive number of pixels";
        return false;
    }
    for (std::size_t r = 0; r < grid.size(); ++r) {
        const std::vector<gmVector2>& row = grid[r];
        if (row.size() != grid[0].size()) {
            error = "terrain row " + std::to_string(r) + " has " + std::to_string(row.size()) +
                    " points, row 0 has " + std::to_string(grid[0].size());
            return false;
        }
        for (std::size_t c = 0; c < row.size(); ++c) {
            if (!std::isfinite(row[c][0]) || !std::isfinite(row[c][1])) {
                error = "terrain row " + std::to_string(r) + " holds a point that is not a number";
                return false;
            }
            if (c > 0 && !(row[c][0] > row[c - 1][0])) {
                error = "the points of terrain row " + std::to_string(r) +
                        " do not run from left to right";
                return false;
            }
        }
    }
    return true;
}

bool checkScaleFits(const Grid& grid, double rowSpacing, double scale, std::string& error) {
    double largest = static_cast<double>(grid.size() - 1) * rowSpacing;
    double finest = rowSpacing;
    for (const std::vector<gmVector2>& row : grid) {
        for (std::size_t c = 0; c < row.size(); ++c) {
            largest = std::max({largest, std::abs(row[c][0]), std::abs(row[c][1])});
            if (c > 0)
                finest = std::min(finest, row[c][0] - row[c - 1][0]);
        }
    }
    if (!(largest * scale <= FLT_MAX)) {
        error = "the scale " + number(scale) + " is too large: the terrain's coordinates times " +
                "the scale would not fit a 32-bit float";
        return false;
    }
    if (finest * scale < FLT_MIN) {
        error = "the scale " + number(scale) + " is too small: the terrain's point spacing " +
                "times the scale would vanish in a 32-bit float";
        return false;
    }
    return true;
}

bool checkRasterOptions(const RasterOptions& options, std::string& error) {
    if (!std::isfinite(options.scale) || options.scale <= 0) {
        error = "the scale must be a positive number of world units per sketch pixel, not " +
                number(options.scale);
        return false;
    }
    if (!options.native() &&
        (options.width < 2 || options.height < 2 || options.width > maximumRasterSide ||
         options.height > maximumRasterSide)) {
        error = "the raster size must be 2 to " + std::to_string(maximumRasterSide) +
                " cells a side, not " + sizeText(options.width, options.height);
        return false;
    }
    return true;
}

bool resampleTerrain(const Grid& grid, double rowSpacing, const RasterOptions& options,
                     HeightRaster& raster, std::string& error) {
    if (!checkRasterOptions(options, error))
        return false;
    const double scale = options.scale;
    if (!checkTerrainGrid(grid, rowSpacing, error))
        return false;

    const int rows = static_cast<int>(grid.size());
    const int columns = static_cast<int>(grid[0].size());
    double west = grid[0].front()[0], east = grid[0].back()[0];
    for (const std::vector<gmVector2>& row : grid) {
        west = std::min(west, row.front()[0]);
        east = std::max(east, row.back()[0]);
    }
    const double depth = (rows - 1) * rowSpacing;
    if (!std::isfinite(east - west) || !std::isfinite(depth)) {
        error = "the terrain is too large for a heightmap";
        return false;
    }

    double cell = 0.0;
    int width = options.width, height = options.height;
    if (options.native()) {
        cell = medianGap(grid[0]);
        const double w = std::round((east - west) / cell) + 1;
        const double h = std::round(depth / cell) + 1;
        if (!(w <= maximumRasterSide && h <= maximumRasterSide)) {
            error = "the terrain's native raster would be " + sizeText(w, h) +
                    " cells, more than " + std::to_string(maximumRasterSide) +
                    " a side - choose a size";
            return false;
        }
        width = static_cast<int>(w);
        height = static_cast<int>(h);
    } else {
        cell = std::max((east - west) / (width - 1), depth / (height - 1));
    }

    const bool blend = options.padding == Padding::blend;
    const bool noData = options.padding == Padding::noData;
    try {
        // Along x, at each grid row's own x positions (rows of equal x share their weights).
        std::vector<double> xs(columns);
        AxisSamples across;
        std::vector<double> atColumns(static_cast<std::size_t>(rows) * width);
        double largest = 0.0;
        for (int r = 0; r < rows; ++r) {
            const std::vector<gmVector2>& row = grid[r];
            if (r == 0 || !sameX(row, grid[r - 1])) {
                for (int c = 0; c < columns; ++c)
                    xs[c] = row[c][0];
                across = axisSamples(xs.data(), columns, west, east, width, cell, true);
            }
            double* out = atColumns.data() + static_cast<std::size_t>(r) * width;
            for (int j = 0; j < width; ++j) {
                if (!across.inside[j] && !blend)
                    continue; // stays 0, the base height (or becomes no data below)
                const Taps& t = across.taps[j];
                double y = 0.0;
                for (int s = 0; s < 4; ++s)
                    y += t.weight[s] * row[t.index[s]][1];
                y *= across.fade[j];
                out[j] = y;
                largest = std::max(largest, std::abs(y));
            }
        }

        // Across the rows, which lie evenly rowSpacing apart; the raster's first row is the
        // northern one, the back of the terrain.
        std::vector<double> depths(rows);
        for (int r = 0; r < rows; ++r)
            depths[r] = r * rowSpacing;
        const AxisSamples along = axisSamples(depths.data(), rows, 0.0, depth, height, cell, false);
        double weightSum = 0.0;
        for (const Taps& t : along.taps) {
            double sum = 0.0;
            for (double w : t.weight)
                sum += std::abs(w);
            weightSum = std::max(weightSum, sum);
        }
        if (!(largest * weightSum * scale <= FLT_MAX)) {
            error = "the terrain's heights times the scale are too large for a heightmap";
            return false;
        }
        if (!checkScaleFits(grid, rowSpacing, scale, error))
            return false;

        std::vector<float> heights(static_cast<std::size_t>(width) * height, noData ? NAN : 0.0f);
        for (int i = 0; i < height; ++i) {
            if (!along.inside[i] && !blend)
                continue;
            const Taps& t = along.taps[i];
            const double* m0 = atColumns.data() + static_cast<std::size_t>(t.index[0]) * width;
            const double* m1 = atColumns.data() + static_cast<std::size_t>(t.index[1]) * width;
            const double* m2 = atColumns.data() + static_cast<std::size_t>(t.index[2]) * width;
            const double* m3 = atColumns.data() + static_cast<std::size_t>(t.index[3]) * width;
            const double f = along.fade[i] * scale;
            const double w0 = t.weight[0] * f, w1 = t.weight[1] * f, w2 = t.weight[2] * f,
                         w3 = t.weight[3] * f;
            float* out = heights.data() + static_cast<std::size_t>(i) * width;
            // Which columns lie inside depends on the extent alone, the same for every row.
            for (int j = 0; j < width; ++j) {
                if (noData && !across.inside[j])
                    continue;
                out[j] = static_cast<float>(w0 * m0[j] + w1 * m1[j] + w2 * m2[j] + w3 * m3[j]);
            }
        }

        const double centreX = 0.5 * (west + east), centreDepth = 0.5 * depth;
        raster.width = width;
        raster.height = height;
        raster.cellSize = cell * scale;
        raster.westEdge = (centreX - 0.5 * width * cell) * scale;
        raster.southEdge = (centreDepth - 0.5 * height * cell) * scale;
        raster.heights = std::move(heights);
    } catch (const std::bad_alloc&) {
        error = "not enough memory for a raster of " + sizeText(width, height) + " cells";
        return false;
    }
    return true;
}
