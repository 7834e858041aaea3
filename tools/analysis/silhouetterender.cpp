#include "tools/analysis/silhouetterender.h"

#include <algorithm>
#include <cmath>
#include <limits>

namespace {

const double pi = 3.14159265358979323846;

struct Projected {
    double x = 0, y = 0;
    bool seen = false;
    // In perspective, the image columns a cell's width spans at the point's distance.
    double spacing = 0;
};

// Raises the tops of the image columns a projected segment spans to its height there.
void raise(RenderedSilhouette& view, const Projected& a, const Projected& b) {
    if (!a.seen || !b.seen)
        return;
    const double left = std::min(a.x, b.x), right = std::max(a.x, b.x);
    // A segment along a column converges towards the horizon and spans less than a cell
    // seen there: its reach is still the cell's spacing (at the farther end).
    const double span = std::max(right - left, std::min(a.spacing, b.spacing));
    const int width = static_cast<int>(view.top.size());
    const double first = std::max(0.0, std::ceil(left));
    const double last = std::min(width - 1.0, std::floor(right));
    for (double x = first; x <= last; ++x) {
        const double t = right > left ? (x - a.x) / (b.x - a.x) : 0.0;
        const double y = right > left ? a.y + t * (b.y - a.y) : std::max(a.y, b.y);
        double& top = view.top[static_cast<std::size_t>(x)];
        double& reach = view.reach[static_cast<std::size_t>(x)];
        if (y > top) {
            top = y;
            reach = span;
        } else if (y == top) {
            reach = std::max(reach, span);
        }
    }
}

} // namespace

RenderedSilhouette renderSilhouette(const Grid& grid, const ViewCamera& camera, int width) {
    RenderedSilhouette tops;
    tops.top.assign(static_cast<std::size_t>(std::max(width, 0)),
                    -std::numeric_limits<double>::infinity());
    tops.reach.assign(tops.top.size(), 0.0);
    if (width <= 0 || grid.columns < 1 || grid.rows < 1)
        return tops;
    const double focal = 0.5 * width / std::tan(0.5 * camera.fovDegrees * pi / 180.0);
    const auto project = [&](int r, int c) {
        const double x = grid.xll + (c + 0.5) * grid.cell;
        const double north = grid.yll + (grid.rows - r - 0.5) * grid.cell;
        const double z = grid.at(r, c);
        Projected p;
        if (camera.kind == ViewCamera::Kind::orthographic) {
            p = {(x - camera.originX) / camera.scale, z / camera.scale, true};
        } else {
            const double depth = north - camera.eyeNorth;
            if (depth >= grid.cell)
                p = {0.5 * width + focal * (x - camera.eyeX) / depth,
                     camera.horizonY + focal * (z - camera.eyeHeight) / depth, true,
                     focal * grid.cell / depth};
        }
        return p;
    };
    std::vector<Projected> above(static_cast<std::size_t>(grid.columns)), row(above.size());
    for (int r = 0; r < grid.rows; ++r) {
        for (int c = 0; c < grid.columns; ++c) {
            row[static_cast<std::size_t>(c)] = project(r, c);
            if (c > 0)
                raise(tops, row[static_cast<std::size_t>(c - 1)], row[static_cast<std::size_t>(c)]);
            if (r > 0)
                raise(tops, above[static_cast<std::size_t>(c)], row[static_cast<std::size_t>(c)]);
        }
        std::swap(above, row);
    }
    return tops;
}

namespace {

using Skyline = std::vector<std::pair<double, double>>;

// The skyline's height at x (sorted by x; x within its extent).
double heightAt(const Skyline& skyline, double x) {
    const auto after = std::upper_bound(skyline.begin(), skyline.end(), x,
                                        [](double v, const auto& p) { return v < p.first; });
    if (after == skyline.begin())
        return skyline.front().second;
    if (after == skyline.end())
        return skyline.back().second;
    const auto& a = *(after - 1);
    const auto& b = *after;
    return a.second + (x - a.first) / (b.first - a.first) * (b.second - a.second);
}

// The skyline's lowest and highest height over from..to: its values at both ends and its
// vertices between.
std::pair<double, double> rangeOver(const Skyline& skyline, double from, double to) {
    from = std::max(from, skyline.front().first);
    to = std::min(to, skyline.back().first);
    double lo = std::min(heightAt(skyline, from), heightAt(skyline, to));
    double hi = std::max(heightAt(skyline, from), heightAt(skyline, to));
    auto p = std::upper_bound(skyline.begin(), skyline.end(), from,
                              [](double v, const auto& q) { return v < q.first; });
    for (; p != skyline.end() && p->first < to; ++p) {
        lo = std::min(lo, p->second);
        hi = std::max(hi, p->second);
    }
    return {lo, hi};
}

} // namespace

SilhouetteDeviation compareSilhouette(const RenderedSilhouette& rendered,
                                      std::vector<std::pair<double, double>> skyline,
                                      double tolerance,
                                      const std::function<bool(double)>& counted) {
    SilhouetteDeviation result;
    if (skyline.size() < 2)
        return result;
    std::stable_sort(skyline.begin(), skyline.end(),
                     [](const auto& a, const auto& b) { return a.first < b.first; });
    const double first = std::max(0.0, std::ceil(skyline.front().first));
    const double last =
        std::min(static_cast<double>(rendered.top.size()) - 1.0, std::floor(skyline.back().first));
    double sum = 0, pointSum = 0;
    int within = 0;
    for (double x = first; x <= last; ++x) {
        if (counted && !counted(x))
            continue;
        const double top = rendered.top[static_cast<std::size_t>(x)];
        const double reach = rendered.reach[static_cast<std::size_t>(x)];
        ++result.columns;
        if (!std::isfinite(top)) {
            ++result.missing;
            continue;
        }
        const double drawn = heightAt(skyline, x);
        pointSum += std::abs(top - drawn);
        const auto [lo, hi] = rangeOver(skyline, x - reach, x + reach);
        const double distance = std::max({0.0, top - hi, lo - top});
        sum += distance;
        within += distance <= tolerance;
        if (distance > result.worst || result.columns == 1) {
            result.worst = distance;
            result.worstX = x;
            result.worstSigned = top > hi ? top - hi : top - lo;
        }
    }
    const int measured = result.columns - result.missing;
    result.mean = measured > 0 ? sum / measured : 0.0;
    result.pointMean = measured > 0 ? pointSum / measured : 0.0;
    result.within = result.columns > 0 ? static_cast<double>(within) / result.columns : 0.0;
    return result;
}

std::vector<std::pair<double, double>>
visibleOutline(const std::vector<std::vector<std::pair<double, double>>>& skylines, double step) {
    std::vector<double> xs;
    double west = INFINITY, east = -INFINITY;
    for (const Skyline& skyline : skylines) {
        if (skyline.size() < 2)
            continue;
        for (const auto& p : skyline)
            xs.push_back(p.first);
        west = std::min(west, skyline.front().first);
        east = std::max(east, skyline.back().first);
    }
    if (xs.empty())
        return {};
    for (double x = west; x < east; x += step)
        xs.push_back(x);
    std::sort(xs.begin(), xs.end());
    xs.erase(std::unique(xs.begin(), xs.end()), xs.end());
    // The highest skyline at x, and which; -infinity where none spans it.
    const auto highest = [&](double x, std::size_t& which) {
        double top = -INFINITY;
        for (std::size_t k = 0; k < skylines.size(); ++k) {
            const Skyline& skyline = skylines[k];
            if (skyline.size() < 2 || x < skyline.front().first || x > skyline.back().first)
                continue;
            const double h = heightAt(skyline, x);
            if (h > top) {
                top = h;
                which = k;
            }
        }
        return top;
    };
    std::vector<std::pair<double, double>> outline;
    std::size_t before = 0;
    for (std::size_t i = 0; i < xs.size(); ++i) {
        std::size_t which = 0;
        const double top = highest(xs[i], which);
        if (!std::isfinite(top))
            continue;
        // Where another skyline takes over between two samples, the crossing is a corner.
        if (i > 0 && which != before && !outline.empty()) {
            const double a = xs[i - 1], b = xs[i];
            const Skyline& p = skylines[before];
            const Skyline& q = skylines[which];
            if (a >= q.front().first && b <= p.back().first) {
                const double da = heightAt(q, a) - heightAt(p, a);
                const double db = heightAt(q, b) - heightAt(p, b);
                if (da < 0 && db > 0) {
                    const double x = a + (b - a) * (-da / (db - da));
                    outline.emplace_back(x, heightAt(p, x));
                }
            }
        }
        outline.emplace_back(xs[i], top);
        before = which;
    }
    return outline;
}
