#include "syntheticphoto.h"

#include <algorithm>
#include <cmath>
#include <cstdint>

namespace {

// A fixed hash of two integers to 0 .. 1: the same picture everywhere.
double hash01(int a, int b) {
    std::uint32_t h = static_cast<std::uint32_t>(a) * 0x8da6b343u ^
                      static_cast<std::uint32_t>(b) * 0xd8163841u ^ 0x9e3779b9u;
    h ^= h >> 13;
    h *= 0x5bd1e995u;
    h ^= h >> 15;
    return (h & 0xffffffu) / 16777215.0;
}

// Smooth value noise at cell size 1.
double valueNoise(double x, double y) {
    const int x0 = static_cast<int>(std::floor(x)), y0 = static_cast<int>(std::floor(y));
    const double fx = x - x0, fy = y - y0;
    const double sx = fx * fx * (3 - 2 * fx), sy = fy * fy * (3 - 2 * fy);
    const double top = hash01(x0, y0) + sx * (hash01(x0 + 1, y0) - hash01(x0, y0));
    const double bottom = hash01(x0, y0 + 1) + sx * (hash01(x0 + 1, y0 + 1) - hash01(x0, y0 + 1));
    return top + sy * (bottom - top);
}

double horizonRow(int x, int height) {
    const double t = x;
    // Summits and saddles at several scales, and a few sharp peaks with straight flanks.
    double rise = 0.1 * height * std::sin(t / 600.0) + 120.0 * std::sin(t / 170.0 + 1.0) +
                  35.0 * std::sin(t / 45.0) + 60.0 * (valueNoise(t / 90.0, 7.5) - 0.5);
    const double peak = std::fmod(t, 700.0) - 350.0;
    rise += std::max(0.0, 150.0 - 2.2 * std::abs(peak));
    return 0.5 * height - rise;
}

} // namespace

SyntheticPhoto makeSyntheticPhoto(int width, int height) {
    SyntheticPhoto photo;
    photo.width = width;
    photo.height = height;
    photo.horizon.resize(static_cast<std::size_t>(width));
    for (int x = 0; x < width; ++x)
        photo.horizon[static_cast<std::size_t>(x)] = horizonRow(x, height);
    photo.rgb.resize(static_cast<std::size_t>(width) * static_cast<std::size_t>(height) * 3);
    unsigned char* p = photo.rgb.data();
    for (int r = 0; r < height; ++r) {
        for (int c = 0; c < width; ++c, p += 3) {
            const double sky = 175.0 + 45.0 * r / height + 8.0 * (hash01(c, r + 7919) - 0.5);
            const double land = 60.0 + 50.0 * valueNoise(c / 23.0, r / 17.0) +
                                12.0 * std::sin(r * 0.35 + c * 0.02) + 40.0 * (hash01(c, r) - 0.5);
            const double above =
                std::clamp(photo.horizon[static_cast<std::size_t>(c)] - (r - 0.5), 0.0, 1.0);
            const double v = above * sky + (1.0 - above) * land;
            // Blue sky, brown-green land.
            p[0] =
                static_cast<unsigned char>(std::clamp(v * (above > 0.5 ? 0.85 : 1.1), 0.0, 255.0));
            p[1] = static_cast<unsigned char>(std::clamp(v, 0.0, 255.0));
            p[2] =
                static_cast<unsigned char>(std::clamp(v * (above > 0.5 ? 1.15 : 0.8), 0.0, 255.0));
        }
    }
    return photo;
}

std::vector<gmVector2> tracedLine(const SyntheticPhoto& photo, double maxDistance) {
    std::vector<gmVector2> line;
    const int step = 60;
    const auto vertexRow = [&](int x) {
        x = std::min(x, photo.width - 1);
        return photo.horizon[static_cast<std::size_t>(x)] + 5.0 * std::sin(x * 0.013) +
               2.0 * (2.0 * hash01(x, 31) - 1.0);
    };
    for (int x = 0; x < photo.width; ++x) {
        const int x0 = x / step * step;
        const double t = static_cast<double>(x - x0) / step;
        const double row = (1 - t) * vertexRow(x0) + t * vertexRow(x0 + step);
        const double h = photo.horizon[static_cast<std::size_t>(x)];
        line.emplace_back(x, photo.height - std::clamp(row, h - maxDistance, h + maxDistance));
    }
    return line;
}
