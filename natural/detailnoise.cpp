#include "natural/detailnoise.h"

#include <algorithm>
#include <cmath>

namespace {

std::uint32_t mix(std::uint32_t h) {
    h ^= h >> 16;
    h *= 0x7feb352du;
    h ^= h >> 15;
    h *= 0x846ca68bu;
    h ^= h >> 16;
    return h;
}

// A lattice point's hash is mix(x * 0x9e3779b1 ^ rowHash(y, seed)): the row's and the seed's
// part is shared by the two corners of a cell on that row.
std::uint32_t rowHash(std::int64_t iy, std::uint32_t seedHash) {
    return mix(static_cast<std::uint32_t>(iy & 0xffffffff) + 0x632be5abu) ^ seedHash;
}

std::uint32_t latticeHash(std::int64_t ix, std::uint32_t row) {
    return mix(static_cast<std::uint32_t>(ix & 0xffffffff) * 0x9e3779b1u ^ row);
}

// One of 16 unit gradients, evenly round the circle.
void gradient(std::uint32_t hash, double& gx, double& gy) {
    static const double table[16][2] = {{1.0, 0.0},
                                        {0.92387953, 0.38268343},
                                        {0.70710678, 0.70710678},
                                        {0.38268343, 0.92387953},
                                        {0.0, 1.0},
                                        {-0.38268343, 0.92387953},
                                        {-0.70710678, 0.70710678},
                                        {-0.92387953, 0.38268343},
                                        {-1.0, 0.0},
                                        {-0.92387953, -0.38268343},
                                        {-0.70710678, -0.70710678},
                                        {-0.38268343, -0.92387953},
                                        {0.0, -1.0},
                                        {0.38268343, -0.92387953},
                                        {0.70710678, -0.70710678},
                                        {0.92387953, -0.38268343}};
    const auto& g = table[hash >> 28];
    gx = g[0];
    gy = g[1];
}

double fade(double t) {
    return t * t * t * (t * (t * 6 - 15) + 10);
}

} // namespace

double gradientNoise(double x, double y, std::uint32_t seed) {
    const double fx = std::floor(x), fy = std::floor(y);
    const auto ix = static_cast<std::int64_t>(fx), iy = static_cast<std::int64_t>(fy);
    const double dx = x - fx, dy = y - fy;
    const std::uint32_t seedHash = mix(seed * 0x85ebca77u + 1u);
    const std::uint32_t rows[2] = {rowHash(iy, seedHash), rowHash(iy + 1, seedHash)};
    auto corner = [&](int cx, int cy) {
        double gx, gy;
        gradient(latticeHash(ix + cx, rows[cy]), gx, gy);
        return gx * (dx - cx) + gy * (dy - cy);
    };
    const double u = fade(dx), v = fade(dy);
    const double c00 = corner(0, 0), c10 = corner(1, 0), c01 = corner(0, 1), c11 = corner(1, 1);
    const double bottom = c00 + u * (c10 - c00);
    const double top = c01 + u * (c11 - c01);
    return 1.4142135623730951 * (bottom + v * (top - bottom));
}

int octavesAbove(const Octaves& octaves, double finest) {
    int count = 0;
    double wavelength = octaves.wavelength;
    while (count < octaves.maxOctaves && wavelength >= finest) {
        ++count;
        wavelength *= 0.5;
    }
    return count;
}

double fractalNoise(double x, double y, const Octaves& octaves, std::uint32_t seed) {
    const int count = octavesAbove(octaves, octaves.finest);
    double sum = 0.0;
    double amplitude = std::pow(octaves.gain, octaves.firstOctave);
    double frequency = std::ldexp(1.0 / octaves.wavelength, octaves.firstOctave);
    // A rotation by about 37 degrees from one octave to the next.
    const double c = 0.8, s = 0.6;
    double px = x, py = y;
    for (int k = 0; k < octaves.firstOctave; ++k) {
        const double rx = c * px - s * py;
        py = s * px + c * py;
        px = rx;
    }
    const double place =
        octaves.roughness > 0
            ? octaves.roughness * gradientNoise(0.5 * x / octaves.wavelength + 0.31,
                                                0.5 * y / octaves.wavelength + 0.73,
                                                seed ^ 0x5bd1e995u)
            : 0.0;
    for (int k = octaves.firstOctave; k < count; ++k) {
        const double rough = place == 0.0 ? 1.0 : std::exp(place * std::min(k, 3) / 3.0);
        sum += rough * amplitude *
               gradientNoise(px * frequency, py * frequency,
                             seed + 0x9e3779b9u * static_cast<std::uint32_t>(k + 1));
        amplitude *= octaves.gain;
        frequency *= 2.0;
        const double rx = c * px - s * py;
        py = s * px + c * py;
        px = rx;
    }
    return sum;
}
