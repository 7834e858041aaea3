#include "natural/skyline.h"

#include <algorithm>

#include "natural/detailnoise.h"

Skyline::Skyline(const std::vector<gmVector2>& curve, double base, double slope) : slope_(slope) {
    for (const gmVector2& p : curve) {
        xs_.push_back(p[0]);
        hs_.push_back(p[1] - base);
    }
}

double Skyline::at(double x) const {
    if (x <= xs_.front())
        return std::max(0.0, hs_.front() - slope_ * (xs_.front() - x));
    if (x >= xs_.back())
        return std::max(0.0, hs_.back() - slope_ * (x - xs_.back()));
    const std::size_t k =
        static_cast<std::size_t>(std::upper_bound(xs_.begin(), xs_.end(), x) - xs_.begin() - 1);
    const std::size_t k1 = std::min(k + 1, xs_.size() - 1);
    if (k1 == k || !(xs_[k1] > xs_[k]))
        return hs_[k];
    const double f = (x - xs_[k]) / (xs_[k1] - xs_[k]);
    return hs_[k] + f * (hs_[k1] - hs_[k]);
}

double Skyline::beyond(double x, double share) const {
    if (x <= xs_.front())
        return std::max(0.0, hs_.front() - share * slope_ * (xs_.front() - x));
    if (x >= xs_.back())
        return std::max(0.0, hs_.back() - share * slope_ * (x - xs_.back()));
    return at(x);
}

double Skyline::topOver(double a, double b) const {
    return extremeOver(a, b, [](double x, double y) { return std::max(x, y); });
}

double Skyline::bottomOver(double a, double b) const {
    return extremeOver(a, b, [](double x, double y) { return std::min(x, y); });
}

template <class Pick> double Skyline::extremeOver(double a, double b, Pick pick) const {
    a = std::max(a, xs_.front());
    b = std::min(b, xs_.back());
    if (!(a <= b))
        return at(0.5 * (a + b));
    double extreme = pick(at(a), at(b));
    // Every point strictly inside the span: linear between points, the extreme lies on one.
    auto k = std::upper_bound(xs_.begin(), xs_.end(), a);
    for (; k != xs_.end() && *k < b; ++k)
        extreme = pick(extreme, hs_[static_cast<std::size_t>(k - xs_.begin())]);
    return extreme;
}

double divideNorthing(double x, double wander, double wavelength, std::uint32_t seed) {
    const double u = x / wavelength;
    // Three octaves of noise along the divide, each walking at its own offset so that the
    // sum has no lattice rhythm.
    return wander *
           (0.65 * gradientNoise(u, 0.37, seed ^ 0x27d4eb2fu) +
            0.3 * gradientNoise(2.13 * u, 1.71, seed ^ 0x165667b1u) +
            0.15 * gradientNoise(4.7 * u, 2.9, seed ^ 0x9e3779b9u)) /
           0.45;
}
