#include "heightmap/terrainmaps.h"

#include <algorithm>
#include <cmath>

#include "heightmap/rasterwriters.h"

namespace {

// The height at (r, c), clamped into the raster; a cell without a height takes `fallback`.
float heightAt(const HeightRaster& raster, int r, int c, float fallback) {
    r = std::clamp(r, 0, raster.height - 1);
    c = std::clamp(c, 0, raster.width - 1);
    const float h = raster.row(r)[c];
    return std::isnan(h) ? fallback : h;
}

// The slope eastwards and northwards at a cell, in height per world unit.
void gradientAt(const HeightRaster& raster, int r, int c, double& east, double& north) {
    const float centre = heightAt(raster, r, c, 0.0f);
    const int w = std::max(c - 1, 0), e = std::min(c + 1, raster.width - 1);
    const int n = std::max(r - 1, 0), s = std::min(r + 1, raster.height - 1);
    const double cell = raster.cellSize;
    east =
        e > w ? (heightAt(raster, r, e, centre) - heightAt(raster, r, w, centre)) / ((e - w) * cell)
              : 0.0;
    // Row r - 1 lies north of row r.
    north =
        s > n ? (heightAt(raster, n, c, centre) - heightAt(raster, s, c, centre)) / ((s - n) * cell)
              : 0.0;
}

unsigned char packed(double component) {
    return static_cast<unsigned char>(std::lround((component + 1.0) * 0.5 * 255.0));
}

double smoothstep(double from, double to, double x) {
    const double t = std::clamp((x - from) / (to - from), 0.0, 1.0);
    return t * t * (3.0 - 2.0 * t);
}

// Tells progress the rows done at the end of each band; false when it says stop.
bool bandDone(const RowProgress& progress, int r, int rows) {
    return !progress || !(r % rowBand == rowBand - 1 || r + 1 == rows) || progress(r + 1);
}

} // namespace

std::vector<unsigned char> normalMapPixels(const HeightRaster& raster,
                                           const RowProgress& progress) {
    std::vector<unsigned char> pixels(static_cast<std::size_t>(raster.width) * raster.height * 3);
    std::size_t at = 0;
    for (int r = 0; r < raster.height; ++r) {
        for (int c = 0; c < raster.width; ++c) {
            double east = 0.0, north = 0.0;
            gradientAt(raster, r, c, east, north);
            const double length = std::sqrt(east * east + north * north + 1.0);
            pixels[at++] = packed(-east / length);
            pixels[at++] = packed(-north / length);
            pixels[at++] = packed(1.0 / length);
        }
        if (!bandDone(progress, r, raster.height))
            return {};
    }
    return pixels;
}

std::vector<unsigned char> splatMapPixels(const HeightRaster& raster,
                                          const SplatThresholds& thresholds,
                                          const RowProgress& progress) {
    const HeightRange range = heightRangeOf(raster);
    const double pi = std::acos(-1.0);
    std::vector<unsigned char> pixels(static_cast<std::size_t>(raster.width) * raster.height * 4);
    std::size_t at = 0;
    for (int r = 0; r < raster.height; ++r) {
        for (int c = 0; c < raster.width; ++c) {
            double east = 0.0, north = 0.0;
            gradientAt(raster, r, c, east, north);
            const double slope = std::atan(std::sqrt(east * east + north * north)) * 180.0 / pi;
            const float h = raster.row(r)[c];
            const double fraction = std::isnan(h) ? 0.0 : (h - range.min) / (range.max - range.min);
            const double rock = smoothstep(thresholds.rockFrom, thresholds.rockTo, slope);
            const double snow =
                (1.0 - rock) * smoothstep(thresholds.snowFrom, thresholds.snowTo, fraction);
            const double low =
                (1.0 - rock) * (1.0 - smoothstep(thresholds.lowFrom, thresholds.lowTo, fraction));
            const double grass = std::max(0.0, 1.0 - rock - snow - low);
            // Rounded so that the four weights always sum to 255: the largest remainders get
            // the units that rounding down leaves over.
            const double weights[4] = {grass * 255.0, rock * 255.0, snow * 255.0, low * 255.0};
            int whole[4];
            int sum = 0;
            for (int k = 0; k < 4; ++k) {
                whole[k] = static_cast<int>(std::floor(weights[k]));
                sum += whole[k];
            }
            while (sum < 255) {
                int best = 0;
                for (int k = 1; k < 4; ++k)
                    if (weights[k] - whole[k] > weights[best] - whole[best])
                        best = k;
                ++whole[best];
                ++sum;
            }
            for (int k = 0; k < 4; ++k)
                pixels[at++] = static_cast<unsigned char>(std::min(whole[k], 255));
        }
        if (!bandDone(progress, r, raster.height))
            return {};
    }
    return pixels;
}
