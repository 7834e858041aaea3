#pragma once

#include <vector>

#include "heightmap/heightraster.h"
#include "heightmap/rasterwriters.h"

// Texture maps computed from a heightmap raster, pixel for cell, the first row the northern
// one like the raster's.

// The tangent-space normal map, 8-bit RGB: the surface normal (east, north, up), from the
// central differences of the neighbouring cells (one-sided at the borders), packed as
// (n + 1) / 2 * 255 per channel. Green grows towards the north, the image's top: the OpenGL
// convention (+Y up) that Unity, Godot and Blender expect; Unreal expects +Y down (DirectX)
// and takes it with "Flip Green Channel". A flat cell is (128, 128, 255). Cells without a
// height (NaN) count as level with their neighbours. progress, when given, is told the rows
// done as a writer tells them; when it says stop, the pixels come back empty.
std::vector<unsigned char> normalMapPixels(const HeightRaster& raster,
                                           const RowProgress& progress = {});

// The slope angles and height fractions at which the splat map's layers take over.
struct SplatThresholds {
    // Rock (G) replaces everything else from the first slope to the second, in degrees.
    double rockFrom = 30.0, rockTo = 45.0;
    // Snow (B) covers what is not rock from the first height fraction to the second (0 at the
    // raster's lowest height, 1 at its highest).
    double snowFrom = 0.70, snowTo = 0.85;
    // Low ground (A) covers what is not rock below these height fractions, fading out from
    // the first to the second.
    double lowFrom = 0.05, lowTo = 0.15;
};

// The splat map, 8-bit RGBA weights for four terrain layers that sum to 255 in every pixel:
// R grass (whatever the others leave), G rock (steep slopes), B snow (high ground), A low
// ground. Each transition is a smoothstep between its two thresholds. progress as for the
// normal map.
std::vector<unsigned char> splatMapPixels(const HeightRaster& raster,
                                          const SplatThresholds& thresholds = {},
                                          const RowProgress& progress = {});
