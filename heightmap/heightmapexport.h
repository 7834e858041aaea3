#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

#include "heightmap/heightmapformat.h"
#include "heightmap/heightraster.h"
#include "heightmap/rasterwriters.h"
#include "libgm/gmvec2.h"

// How the terrain is to be exported for other tools.
struct HeightmapExport {
    HeightmapFormat format = HeightmapFormat::asc;
    // The raster's size (native unless set) and the world units per sketch pixel. The mesh
    // ignores the size: it is the grid itself.
    RasterOptions raster;
    // The world heights that 0 and 65535 stand for in 16-bit files, so that several exports
    // can share one scale; without it, the raster's own lowest and highest height.
    std::optional<HeightRange> heightRange;
    // Where the terrain came from (input file, stage, settings), copied as it is into the
    // metadata file.
    nlohmann::ordered_json source = nlohmann::ordered_json::object();
};

// What an export wrote.
struct ExportReport {
    // The raster's size and cell in world units; for the mesh, the grid's columns and rows.
    int width = 0;
    int height = 0;
    double cellSize = 0.0;
    // 16-bit files: the heights 0 and 65535 stand for, and how many cells lay outside them
    // and were clamped (the caller should tell the user).
    HeightRange heightRange;
    std::size_t clampedCells = 0;
    std::uint64_t bytesWritten = 0; // the size of the heightmap file itself
    std::string metadataFile;       // empty when none was written
};

// Writes the terrain grid (rows of (x, height) points in sketch pixels, row 0 the silhouette,
// row r lying r * rowSpacing pixels behind it) to `output` in settings.format: a raster
// resampled onto square cells as resampleTerrain describes (asc, png16, r16, exr), or the grid
// as a mesh (obj). Beside a 16-bit file (png16, r16) a metadata file `output` + ".json" is
// written, holding what the samples mean:
//
//     {
//       "file": "peak.png",
//       "format": "png16",
//       "width": 1025,
//       "height": 1025,
//       "cellSize": 0.8,
//       "heightRange": { "min": 0.0, "max": 412.5 },
//       "heightPerStep": 0.006294346532387274,
//       "clampedCells": 0,
//       "units": "sketch pixels × scale",
//       "scale": 1.0,
//       "firstRow": "north, the back of the terrain",
//       "source": { ... settings.source ... }
//     }
//
// (an r16 file adds "byteOrder": "little-endian"). An engine's terrain height is
// heightRange.max - heightRange.min, its horizontal size width or height times cellSize.
//
// Every file is saved atomically: on failure no partial file is left and a previous file of
// the name is as it was. Returns false with a one-line reason for the grd format (the grid is
// saved by writeGridFile), a size outside 2 to maximumRasterSide a side, a scale that is not a
// positive number, an empty height range (min not below max), a grid resampleTerrain refuses,
// and a file that cannot be created or written. report, when given, receives what was written.
bool exportHeightmap(const std::vector<std::vector<gmVector2>>& grid, double rowSpacing,
                     const HeightmapExport& settings, const std::string& output, std::string& error,
                     ExportReport* report = nullptr);

// Writes a raster made elsewhere (the natural terrain) to `output` in settings.format as
// exportHeightmap writes its resampled raster: asc, png16, r16 and exr as they are, obj as
// the raster's mesh (writeRasterObj), the metadata beside a 16-bit file the same. The raster
// options' size and scale are not used (the raster has them already). False with a one-line
// reason as for exportHeightmap.
bool exportHeightRaster(const HeightRaster& raster, const HeightmapExport& settings,
                        const std::string& output, std::string& error,
                        ExportReport* report = nullptr);
