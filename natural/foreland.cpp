#include "natural/foreland.h"

#include <algorithm>
#include <cmath>
#include <functional>
#include <numeric>
#include <queue>

#include "natural/detailnoise.h"
#include "natural/rowthreads.h"

namespace {

// Cheapest paths from the grid's edge over a cost per cell (a step costs its length times the
// mean of its two cells' costs): every cell's cost of getting there, the cell its path comes
// from (edge cells their own), and the cells in the order they were settled. Ties are broken
// by the cell's number, so the result is one.
struct Paths {
    std::vector<double> distance;
    std::vector<std::int32_t> from;
    std::vector<std::int32_t> order;
};

Paths cheapestPaths(int width, int height, double cell, const std::vector<double>& cost) {
    const std::size_t cells = static_cast<std::size_t>(width) * height;
    Paths paths;
    paths.distance.assign(cells, INFINITY);
    paths.from.assign(cells, -1);
    paths.order.reserve(cells);
    std::vector<char> settled(cells, 0);
    using Entry = std::pair<double, std::int32_t>;
    std::priority_queue<Entry, std::vector<Entry>, std::greater<Entry>> open;
    for (int r = 0; r < height; ++r)
        for (int c = 0; c < width; ++c)
            if (r == 0 || c == 0 || r == height - 1 || c == width - 1) {
                const std::int32_t i = r * width + c;
                paths.distance[static_cast<std::size_t>(i)] = 0.0;
                paths.from[static_cast<std::size_t>(i)] = i;
                open.emplace(0.0, i);
            }
    while (!open.empty()) {
        const auto [d, i] = open.top();
        open.pop();
        if (settled[static_cast<std::size_t>(i)])
            continue;
        settled[static_cast<std::size_t>(i)] = 1;
        paths.order.push_back(i);
        const int r = i / width, c = i % width;
        for (int dr = -1; dr <= 1; ++dr)
            for (int dc = -1; dc <= 1; ++dc) {
                const int nr = r + dr, nc = c + dc;
                if ((dr == 0 && dc == 0) || nr < 0 || nr >= height || nc < 0 || nc >= width)
                    continue;
                const std::int32_t n = nr * width + nc;
                const double step =
                    (dr != 0 && dc != 0 ? std::sqrt(2.0) : 1.0) * cell * 0.5 *
                    (cost[static_cast<std::size_t>(i)] + cost[static_cast<std::size_t>(n)]);
                if (d + step < paths.distance[static_cast<std::size_t>(n)]) {
                    paths.distance[static_cast<std::size_t>(n)] = d + step;
                    paths.from[static_cast<std::size_t>(n)] = i;
                    open.emplace(d + step, n);
                }
            }
    }
    return paths;
}

// Three passes of a box mean over 2 radius + 1 cells along rows and then columns (near a
// Gaussian of sigma 2 radius cells), the edges repeated.
void smooth(std::vector<double>& values, int width, int height, int radius) {
    std::vector<double> line;
    // `count` lines of `length` values, line k starting at k * stride, its values `along` apart.
    const auto pass = [&](int count, int length, std::size_t stride, std::size_t along) {
        for (int k = 0; k < count; ++k) {
            double* first = values.data() + static_cast<std::size_t>(k) * stride;
            line.resize(static_cast<std::size_t>(length));
            for (int j = 0; j < length; ++j)
                line[static_cast<std::size_t>(j)] = first[static_cast<std::size_t>(j) * along];
            for (int j = 0; j < length; ++j) {
                double sum = 0;
                for (int d = -radius; d <= radius; ++d)
                    sum += line[static_cast<std::size_t>(std::clamp(j + d, 0, length - 1))];
                first[static_cast<std::size_t>(j) * along] = sum / (2 * radius + 1);
            }
        }
    };
    for (int repeat = 0; repeat < 3; ++repeat) {
        pass(height, width, static_cast<std::size_t>(width), 1);
        pass(width, height, 1, static_cast<std::size_t>(width));
    }
}

// How much more the mountain's ground costs the network's paths than the plain's, growing
// with the square of its height in units of the foreland's: the paths go round the mountain
// (whose water runs down its own slopes) without a line round its foot where they change.
double mountainCost(double mountain, double height) {
    if (!(height > 0))
        return mountain > 0 ? INFINITY : 1.0;
    const double t = std::max(0.0, mountain) / height;
    return 1.0 + 4.0 * t * t;
}

} // namespace

Foreland::Foreland(const ForelandShape& shape, const std::vector<float>& mountain)
    : width_(
          std::max(2, static_cast<int>(std::lround((shape.east - shape.west) / shape.cell)) + 1)),
      height_(
          std::max(2, static_cast<int>(std::lround((shape.north - shape.south) / shape.cell)) + 1)),
      west_(shape.west), north_(shape.north), cell_(shape.cell) {
    const std::size_t cells = static_cast<std::size_t>(width_) * height_;
    const bool hasMountain = mountain.size() == cells;
    const auto onMountain = [&](std::size_t i) {
        return hasMountain && mountain[i] > shape.height;
    };
    // The network's cost: log-normal over noise of several octaves, so that cheap ground is
    // much cheaper than dear ground and the paths crowd into it.
    Octaves octaves;
    octaves.wavelength = shape.wavelength;
    octaves.finest = 2.0 * shape.cell;
    octaves.maxOctaves = 5;
    std::vector<double> noise(cells), cost(cells);
    forRowBands(height_, 16, threadsFor(cells, shape.threads), [&](int first, int end) {
        for (int r = first; r < end; ++r)
            for (int c = 0; c < width_; ++c) {
                const std::size_t i = static_cast<std::size_t>(r) * width_ + c;
                noise[i] = std::exp(1.2 * fractalNoise(west_ + c * cell_, north_ - r * cell_,
                                                       octaves, shape.seed ^ 0x3c6ef372u));
                cost[i] = noise[i] * (hasMountain ? mountainCost(mountain[i], shape.height) : 1.0);
            }
    });
    const Paths network = cheapestPaths(width_, height_, cell_, cost);

    // The area draining through each cell, in cells: the mountain's first, each of its cells
    // handing its area on to its lowest lower neighbour, highest cells first; then the
    // foreland's down the network, from the last settled cell back to the edge.
    std::vector<double> area(cells, 1.0);
    if (hasMountain) {
        std::vector<std::int32_t> high;
        for (std::size_t i = 0; i < cells; ++i)
            if (onMountain(i))
                high.push_back(static_cast<std::int32_t>(i));
        std::sort(high.begin(), high.end(), [&](std::int32_t a, std::int32_t b) {
            const float ha = mountain[static_cast<std::size_t>(a)],
                        hb = mountain[static_cast<std::size_t>(b)];
            return ha != hb ? ha > hb : a < b;
        });
        for (const std::int32_t i : high) {
            const int r = i / width_, c = i % width_;
            std::int32_t lowest = -1;
            float below = mountain[static_cast<std::size_t>(i)];
            for (int dr = -1; dr <= 1; ++dr)
                for (int dc = -1; dc <= 1; ++dc) {
                    const int nr = r + dr, nc = c + dc;
                    if (nr < 0 || nr >= height_ || nc < 0 || nc >= width_)
                        continue;
                    const std::int32_t n = nr * width_ + nc;
                    if (mountain[static_cast<std::size_t>(n)] < below) {
                        below = mountain[static_cast<std::size_t>(n)];
                        lowest = n;
                    }
                }
            if (lowest >= 0)
                area[static_cast<std::size_t>(lowest)] += area[static_cast<std::size_t>(i)];
        }
    }
    for (auto k = network.order.rbegin(); k != network.order.rend(); ++k) {
        const std::size_t i = static_cast<std::size_t>(*k);
        const std::size_t to = static_cast<std::size_t>(network.from[i]);
        if (to != i && !onMountain(i))
            area[to] += area[i];
    }

    // The heights' cost: the noise softened, times a channel's steady-state fall, which never
    // quite vanishes, so that even the largest river falls towards the edge rather than lying
    // on a flat that water would cross in straight lines. The fall goes with A^-1/2, spread
    // over a few cells either side: a river as large as the mountain's makes a valley floor of
    // its own several cells wide, while a rill of a few cells is lost in its hillslope. The
    // mountain's own ground costs no more here: the foreland runs on under it, fading as the
    // mountain rises, its valleys starting where the mountain's streams leave the body.
    std::vector<double> flow(cells);
    for (std::size_t i = 0; i < cells; ++i)
        flow[i] = std::sqrt(area[i]);
    smooth(flow, width_, height_, 1);
    for (std::size_t i = 0; i < cells; ++i)
        cost[i] = std::sqrt(noise[i]) * (0.1 + 0.9 / std::max(1.0, flow[i]));
    Paths fall = cheapestPaths(width_, height_, cell_, cost);
    // Smoothing rounds the divides and opens the channels into valleys; the distance's facets
    // along the grid's eight directions go with it. Where the foreland has all but reached
    // its height the distance stops counting, so that the smoothing carries no far greater
    // distance (nor the infinite one of a cell no path reaches) out over the valleys beside.
    for (double& d : fall.distance)
        d = std::min(d, 4.0 * shape.rise);
    smooth(fall.distance, width_, height_, 2);
    // The smoothing may close a hollow or lift the edge: the edge goes back to the base, and
    // every cell stands a little above the cell its path comes from, so that water still finds
    // its way out along the paths rather than across a flat.
    for (const std::int32_t k : fall.order) {
        const std::size_t i = static_cast<std::size_t>(k);
        const std::size_t to = static_cast<std::size_t>(fall.from[i]);
        fall.distance[i] =
            to == i ? 0.0 : std::max(fall.distance[i], fall.distance[to] + 0.01 * cell_);
    }
    heights_.resize(cells);
    for (std::size_t i = 0; i < cells; ++i)
        heights_[i] =
            static_cast<float>(shape.height * (1.0 - std::exp(-fall.distance[i] / shape.rise)));
}

double Foreland::at(double x, double y) const {
    if (heights_.empty())
        return 0.0;
    const double u = (x - west_) / cell_, v = (north_ - y) / cell_;
    if (!(u >= 0 && v >= 0 && u <= width_ - 1 && v <= height_ - 1))
        return 0.0;
    const int u0 = std::min(static_cast<int>(u), width_ - 2);
    const int v0 = std::min(static_cast<int>(v), height_ - 2);
    const double fu = u - u0, fv = v - v0;
    const float* p = heights_.data() + static_cast<std::size_t>(v0) * width_ + u0;
    const double top = p[0] + fu * (p[1] - p[0]);
    const double bottom = p[width_] + fu * (p[width_ + 1] - p[width_]);
    return top + fv * (bottom - top);
}
