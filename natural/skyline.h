#pragma once

#include <cstdint>
#include <vector>

#include "libgm/gmvec2.h"

// The skyline constraints: what the viewer to the south sees is the drawn curve, at its own
// resolution, as each column's highest point. Where along the column that point lies is the
// divide's plan, which wanders freely so that summits stand at different distances.
class Skyline {
public:
    // The curve's points as (x, height) in sketch pixels, x increasing; heights are taken
    // above `base`. Beyond the curve's ends the skyline falls from its end heights at `slope`.
    Skyline(const std::vector<gmVector2>& curve, double base, double slope);

    double west() const { return xs_.front(); }
    double east() const { return xs_.back(); }
    // The height above the base at x, linear between the points.
    double at(double x) const;
    // The same, but beyond the ends the end heights fall at `share` of the slope.
    double beyond(double x, double share) const;
    // Whether a column spanning [a, b] sees some of the drawn curve.
    bool covers(double a, double b) const { return b >= xs_.front() && a <= xs_.back(); }
    // The highest the curve reaches over [a, b] (as far as it covers it): the top a column
    // that wide must have so that the view sees the drawing.
    double topOver(double a, double b) const;
    // The lowest the curve reaches over [a, b] (as far as it covers it).
    double bottomOver(double a, double b) const;

private:
    // The highest (or lowest, as pick chooses) height over [a, b].
    template <class Pick> double extremeOver(double a, double b, Pick pick) const;
    std::vector<double> xs_, hs_;
    double slope_ = 1.0;
};

// The divide's northing at x: a smooth random walk in plan of about `wander` either way at
// wavelengths of about `wavelength`, so that the main divide bends as a real range's does and
// neighbouring summits stand in front of or behind each other.
double divideNorthing(double x, double wander, double wavelength, std::uint32_t seed);
