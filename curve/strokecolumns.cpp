#include "curve/strokecolumns.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <map>

namespace {

// Spans this wide or wider are no stroke a hand drew across the view.
constexpr double maxEnvelopeSpan = 65536.0;

// The highest height of each of the points' own whole columns.
void pointColumns(std::vector<gmVector2>& stroke) {
    std::map<double, double> highest;
    for (const gmVector2& p : stroke) {
        const double column = std::round(p[0]);
        const auto found = highest.find(column);
        if (found == highest.end())
            highest.emplace(column, p[1]);
        else
            found->second = std::max(found->second, p[1]);
    }
    stroke.clear();
    for (const auto& [column, height] : highest)
        stroke.emplace_back(column, height);
}

} // namespace

bool strokeTooShort(const std::vector<gmVector2>& stroke, double minimumExtent) {
    if (stroke.empty())
        return true;
    const gmVector2& first = stroke.front();
    return std::all_of(stroke.begin(), stroke.end(), [&](const gmVector2& p) {
        return std::hypot(p[0] - first[0], p[1] - first[1]) < minimumExtent;
    });
}

bool strokeDoublesBack(const std::vector<gmVector2>& stroke) {
    bool rises = false, falls = false;
    for (std::size_t i = 1; i < stroke.size(); ++i) {
        rises = rises || stroke[i][0] > stroke[i - 1][0];
        falls = falls || stroke[i][0] < stroke[i - 1][0];
    }
    return rises && falls;
}

bool strokeOnWholeColumns(const std::vector<gmVector2>& stroke) {
    return std::all_of(stroke.begin(), stroke.end(),
                       [](const gmVector2& p) { return std::floor(p[0]) == p[0]; });
}

void upperEnvelopeColumns(std::vector<gmVector2>& stroke) {
    if (stroke.empty())
        return;
    double left = stroke.front()[0], right = left, top = stroke.front()[1];
    for (const gmVector2& p : stroke) {
        left = std::min(left, p[0]);
        right = std::max(right, p[0]);
        top = std::max(top, p[1]);
    }
    const double first = std::ceil(left);
    const double last = std::floor(right);
    if (!(right - left < maxEnvelopeSpan) || !std::isfinite(top)) {
        pointColumns(stroke);
        return;
    }
    if (first > last) {
        // The whole stroke lies between two whole columns.
        stroke.assign(1, gmVector2(std::round((left + right) / 2.0), top));
        return;
    }
    const auto columns = static_cast<std::size_t>(last - first) + 1;
    constexpr double none = -std::numeric_limits<double>::infinity();
    std::vector<double> highest(columns, none);
    const auto raise = [&](double x, double y) {
        double& h = highest[static_cast<std::size_t>(x - first)];
        h = std::max(h, y);
    };
    // A lone point (a stroke of one point) is its own segment.
    const std::size_t segments = std::max<std::size_t>(stroke.size() - 1, 1);
    for (std::size_t i = 0; i < segments; ++i) {
        const gmVector2& a = stroke[i];
        const gmVector2& b = stroke[std::min(i + 1, stroke.size() - 1)];
        const double from = std::ceil(std::min(a[0], b[0]));
        const double to = std::floor(std::max(a[0], b[0]));
        if (a[0] == b[0]) {
            if (from == a[0])
                raise(from, std::max(a[1], b[1]));
            continue;
        }
        for (double x = from; x <= to; x += 1.0) {
            const double t = (x - a[0]) / (b[0] - a[0]);
            raise(x, a[1] + t * (b[1] - a[1]));
        }
    }
    std::vector<gmVector2> envelope;
    envelope.reserve(columns);
    for (std::size_t c = 0; c < columns; ++c)
        envelope.emplace_back(first + static_cast<double>(c), highest[c]);
    stroke.swap(envelope);
}
