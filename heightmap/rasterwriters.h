#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <functional>
#include <string>
#include <vector>

#include "heightmap/heightraster.h"

// The raster heightmap files, written to an open stream (exportHeightmap wraps them in an
// atomic save). Every writer writes the raster's first row, the back of the terrain, first.

// Told the number of raster rows written so far, every band of rowBand rows and at the end,
// for a progress display; it returns whether to go on. False stops the write between two bands,
// and the writer returns false (with the reason "the write was stopped" where it gives one):
// the caller's cancel.
using RowProgress = std::function<bool(int rowsWritten)>;
constexpr int rowBand = 32;
extern const char* const writeStopped;

// The world heights that the 16-bit samples 0 and 65535 stand for; heights in between are
// spread evenly over the steps and rounded to the nearest.
struct HeightRange {
    double min = 0.0;
    double max = 0.0;

    bool empty() const { return !(min < max); }
};

// The raster's lowest and highest height, cells without a height (NaN) left out. A flat raster
// gets the range from its height to one unit above it, so that its heights are all step 0
// instead of a division by zero.
HeightRange heightRangeOf(const HeightRaster& raster);

// Turns heights into 16-bit steps of a (non-empty) range; heights outside it are clamped to
// 0 or 65535 and counted.
class SixteenBitSteps {
public:
    explicit SixteenBitSteps(const HeightRange& range);
    // Converts count heights; returns how many lay outside the range.
    std::size_t convert(const float* heights, int count, std::uint16_t* steps) const;

private:
    double min_, max_, stepsPerUnit_;
};

// ESRI ASCII grid, as GIS tools (GDAL, QGIS) read it: a keyword header, then one line per
// raster row from the north, heights in world units in the shortest form that reads back to
// the same 32-bit float, whatever the locale. The corner is the raster's south-western edge
// plus the origin (xOrigin, yOrigin). A cell without a height (NaN, the padding beyond the
// terrain) is written as the NODATA_value: -9999, or the lowest float when a height is that
// low. Three rows of three points (x 100 to 104, rows 2 pixels apart,
// silhouette heights 20 24 22, the middle row half as high, the back row 0) at scale 0.5 on
// 5 x 3 cells, one cell of base height beside the terrain on either side:
//
//     ncols 5
//     nrows 3
//     xllcorner 48.5
//     yllcorner -0.5
//     cellsize 1
//     NODATA_value -9999
//     0 0 0 0 0
//     0 5 6 5.5 0
//     0 10 12 11 0
//
// False when a write failed.
bool writeAsciiGrid(std::FILE* out, const HeightRaster& raster, double xOrigin = 0.0,
                    double yOrigin = 0.0, const RowProgress& progress = {});

// The NODATA_value writeAsciiGrid writes for the raster.
float asciiGridNoData(const HeightRaster& raster);

// 16-bit grayscale PNG, as game engines and 3D tools read heightmaps: one gray sample per
// cell, step 0 for range.min and 65535 for range.max; no alpha channel and no transparency
// chunk (engines would take the lowest step for a hole). A 1025 x 1025 map is the signature,
// an IHDR chunk of width 1025, height 1025, bit depth 16, colour type 0 (gray), no interlace,
// the zlib-compressed rows (each filtered against the row above) and IEND. `clamped` receives
// the number of heights outside the range. False with a one-line reason when libpng or a
// write failed.
bool writePng16(std::FILE* out, const HeightRaster& raster, const HeightRange& range,
                std::size_t& clamped, std::string& error, const RowProgress& progress = {});

// An 8-bit PNG of width x height pixels with 3 (RGB) or 4 (RGBA) channels, pixels row by row
// from the top, for the normal and splat maps. False with a one-line reason when libpng or a
// write failed, or progress stopped it.
bool writePng8(std::FILE* out, int width, int height, int channels,
               const std::vector<unsigned char>& pixels, std::string& error,
               const RowProgress& progress = {});

// Headerless 16-bit samples, little-endian, row after row from the north: width * height * 2
// bytes, as game engines import "RAW" heightmaps (the size and height range are typed into the
// engine, or read from the metadata file beside it). Steps and clamping as for the PNG. Two
// rows of three cells at the range's minimum, a quarter and its maximum, back row first:
//
//     00 00  00 40  ff ff      (0, 16384, 65535)
//     00 00  00 00  00 00
//
// False when a write failed.
bool writeR16(std::FILE* out, const HeightRaster& raster, const HeightRange& range,
              std::size_t& clamped, const RowProgress& progress = {});

// OpenEXR scan-line image with one 32-bit FLOAT channel "Y" holding the heights in world
// units (NaN where a cell has none), ZIP-compressed in blocks of 16 lines (lossless; about 60%
// of the 4 bytes a sample for a smooth terrain), or uncompressed when `compressed` is false.
// The stream must be seekable (OpenEXR goes back to write its line offsets). False with a
// one-line reason when OpenEXR or a write failed.
bool writeExr(std::FILE* out, const std::string& name, const HeightRaster& raster,
              std::string& error, bool compressed = true, const RowProgress& progress = {});
