#include "tracing/horizonsnap.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <limits>

namespace {

// The photograph blurred by the 3 x 3 binomial filter (1 2 1 / 2 4 2 / 1 2 1, over 16).
float blurred(const PhotoView& photo, int column, int row) {
    float sum = 0.0f;
    static const float weight[3] = {1.0f, 2.0f, 1.0f};
    for (int dr = -1; dr <= 1; ++dr)
        for (int dc = -1; dc <= 1; ++dc)
            sum += weight[dr + 1] * weight[dc + 1] * photo.luma(column + dc, row + dr);
    return sum / 16.0f;
}

// One stretch of neighbouring columns inside the photograph: line indices first to last.
struct Stretch {
    std::size_t first;
    std::size_t last;
};

std::vector<Stretch> stretchesInside(const PhotoView& photo, const std::vector<gmVector2>& line) {
    std::vector<Stretch> stretches;
    const auto inside = [&](const gmVector2& p) {
        return p[0] >= 0.0 && p[0] < photo.width && std::isfinite(p[1]) &&
               photo.height - p[1] > -0.5 && photo.height - p[1] < photo.height - 0.5;
    };
    for (std::size_t i = 0; i < line.size(); ++i) {
        if (!inside(line[i]))
            continue;
        const bool continues = !stretches.empty() && stretches.back().last + 1 == i &&
                               line[i][0] - line[i - 1][0] == 1.0;
        if (continues)
            stretches.back().last = i;
        else
            stretches.push_back({i, i});
    }
    return stretches;
}

// Snaps one stretch in place.
void snapStretch(const PhotoView& photo, std::vector<gmVector2>& line, Stretch stretch,
                 const HorizonSnapSettings& settings) {
    const int band = settings.band;
    const int offsets = 2 * band + 1;
    const std::size_t n = stretch.last - stretch.first + 1;
    // The rows the band is centred on, and the edge strength at every offset from them.
    std::vector<int> centre(n);
    std::vector<float> strength(n * static_cast<std::size_t>(offsets));
    float strongest = 0.0f;
    for (std::size_t i = 0; i < n; ++i) {
        const gmVector2& p = line[stretch.first + i];
        const int column = static_cast<int>(p[0]);
        centre[i] = static_cast<int>(std::lround(photo.height - p[1]));
        for (int d = -band; d <= band; ++d) {
            const int row = centre[i] + d;
            const float g = row < 0 || row >= photo.height
                                ? 0.0f
                                : static_cast<float>(horizonEdgeStrength(photo, column, row));
            strength[i * static_cast<std::size_t>(offsets) + static_cast<std::size_t>(d + band)] =
                g;
            strongest = std::max(strongest, g);
        }
    }
    // A sharp step of s levels shows as 3s / 8 beside it.
    if (strongest < 3.0 * settings.minimumContrast / 8.0)
        return;

    // Cheapest path: cost[d] is the least cost of a path from the stretch's left end to the
    // current column ending at offset d; from[] remembers where each came from.
    std::vector<double> cost(static_cast<std::size_t>(offsets)), next(cost.size());
    std::vector<std::int8_t> from(n * static_cast<std::size_t>(offsets), 0);
    const auto pixelCost = [&](std::size_t i, int d) {
        const double edge =
            strength[i * static_cast<std::size_t>(offsets) + static_cast<std::size_t>(d + band)] /
            strongest;
        const double away = static_cast<double>(d) / band;
        return 1.0 - edge + settings.strokePull * away * away;
    };
    for (int d = -band; d <= band; ++d)
        cost[static_cast<std::size_t>(d + band)] = pixelCost(0, d);
    for (std::size_t i = 1; i < n; ++i) {
        for (int d = -band; d <= band; ++d) {
            double best = std::numeric_limits<double>::infinity();
            int bestStep = 0;
            // The distance from the drawn line is what is limited, not the row.
            for (int s = -settings.maxStep; s <= settings.maxStep; ++s) {
                const int before = d - s;
                if (before < -band || before > band)
                    continue;
                const double c =
                    cost[static_cast<std::size_t>(before + band)] + settings.stepCost * std::abs(s);
                if (c < best) {
                    best = c;
                    bestStep = s;
                }
            }
            next[static_cast<std::size_t>(d + band)] = best + pixelCost(i, d);
            from[i * static_cast<std::size_t>(offsets) + static_cast<std::size_t>(d + band)] =
                static_cast<std::int8_t>(bestStep);
        }
        std::swap(cost, next);
    }
    int d = static_cast<int>(std::min_element(cost.begin(), cost.end()) - cost.begin()) - band;
    for (std::size_t k = n; k-- > 0;) {
        // The edge lies where the strength peaks: a parabola through the three rows.
        const float* g = &strength[k * static_cast<std::size_t>(offsets)];
        double fraction = 0.0;
        if (d > -band && d < band) {
            const double above = g[d + band - 1], here = g[d + band], below = g[d + band + 1];
            const double curvature = above - 2.0 * here + below;
            if (curvature < 0.0)
                fraction = std::clamp(0.5 * (above - below) / curvature, -0.5, 0.5);
        }
        line[stretch.first + k][1] = photo.height - (centre[k] + d + fraction);
        d -= from[k * static_cast<std::size_t>(offsets) + static_cast<std::size_t>(d + band)];
    }
}

} // namespace

double horizonEdgeStrength(const PhotoView& photo, int column, int row) {
    float b[3][3];
    for (int dr = -1; dr <= 1; ++dr)
        for (int dc = -1; dc <= 1; ++dc)
            b[dr + 1][dc + 1] = blurred(photo, column + dc, row + dr);
    const double gx = (b[0][2] + 2.0 * b[1][2] + b[2][2] - b[0][0] - 2.0 * b[1][0] - b[2][0]) / 8.0;
    const double gy = (b[2][0] + 2.0 * b[2][1] + b[2][2] - b[0][0] - 2.0 * b[0][1] - b[0][2]) / 8.0;
    return std::sqrt(gy * gy + 0.25 * gx * gx);
}

std::vector<gmVector2> snapToHorizon(const PhotoView& photo, const std::vector<gmVector2>& line,
                                     const HorizonSnapSettings& settings) {
    std::vector<gmVector2> snapped = line;
    if (!photo.valid() || settings.band < 1 || settings.maxStep < 0 || settings.maxStep > 100)
        return snapped;
    for (const Stretch& stretch : stretchesInside(photo, line))
        snapStretch(photo, snapped, stretch, settings);
    return snapped;
}
