#include "natural/foreland.h"

#include <algorithm>
#include <cmath>
#include <functional>
#include <queue>

#include "natural/detailnoise.h"

Foreland::Foreland(const ForelandShape& shape)
    : width_(
          std::max(2, static_cast<int>(std::lround((shape.east - shape.west) / shape.cell)) + 1)),
      height_(
          std::max(2, static_cast<int>(std::lround((shape.north - shape.south) / shape.cell)) + 1)),
      west_(shape.west), north_(shape.north), cell_(shape.cell) {
    const std::size_t cells = static_cast<std::size_t>(width_) * height_;
    // The cost of crossing a cell: low along the valleys-to-be, never below a fifth.
    Octaves octaves;
    octaves.wavelength = shape.wavelength;
    octaves.maxOctaves = 3;
    std::vector<double> cost(cells);
    for (int r = 0; r < height_; ++r)
        for (int c = 0; c < width_; ++c)
            cost[static_cast<std::size_t>(r) * width_ + c] =
                std::max(0.2, 1.0 + 0.8 * fractalNoise(west_ + c * cell_, north_ - r * cell_,
                                                       octaves, shape.seed ^ 0x3c6ef372u));
    // Dijkstra from the edge; ties broken by the cell's number, so the result is one.
    std::vector<double> distance(cells, INFINITY);
    using Entry = std::pair<double, std::int32_t>;
    std::priority_queue<Entry, std::vector<Entry>, std::greater<Entry>> open;
    for (int r = 0; r < height_; ++r)
        for (int c = 0; c < width_; ++c)
            if (r == 0 || c == 0 || r == height_ - 1 || c == width_ - 1) {
                const std::int32_t i = r * width_ + c;
                distance[static_cast<std::size_t>(i)] = 0.0;
                open.emplace(0.0, i);
            }
    while (!open.empty()) {
        const auto [d, i] = open.top();
        open.pop();
        if (d > distance[static_cast<std::size_t>(i)])
            continue;
        const int r = i / width_, c = i % width_;
        for (int dr = -1; dr <= 1; ++dr)
            for (int dc = -1; dc <= 1; ++dc) {
                const int nr = r + dr, nc = c + dc;
                if ((dr == 0 && dc == 0) || nr < 0 || nr >= height_ || nc < 0 || nc >= width_)
                    continue;
                const std::int32_t n = nr * width_ + nc;
                const double step =
                    (dr != 0 && dc != 0 ? std::sqrt(2.0) : 1.0) * cell_ * 0.5 *
                    (cost[static_cast<std::size_t>(i)] + cost[static_cast<std::size_t>(n)]);
                if (d + step < distance[static_cast<std::size_t>(n)]) {
                    distance[static_cast<std::size_t>(n)] = d + step;
                    open.emplace(d + step, n);
                }
            }
    }
    heights_.resize(cells);
    for (std::size_t i = 0; i < cells; ++i)
        heights_[i] =
            static_cast<float>(shape.height * (1.0 - std::exp(-distance[i] / shape.rise)));
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
