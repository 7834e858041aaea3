#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

#include "heightmap/georeference.h"
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
    // Where the raster lies in a map (origin and reference system; the mesh ignores it).
    Georeference place;
    // exr: ZIP compression (lossless), or none.
    bool exrCompressed = true;
    // Texture maps written beside the heightmap from the same raster (for the mesh, from its
    // native raster): empty for none. See terrainmaps.h.
    std::string normalMapFile;
    std::string splatMapFile;
    // Raster formats: the raster split into tilesAcross x tilesDown tiles of 2^n + 1 cells a
    // side that share their edge rows and columns (0 x 0: one file). See planTiles.
    int tilesAcross = 0;
    int tilesDown = 0;
    // Told the share of the work done, 0 to 1, now and then (not at all when empty).
    std::function<void(double)> progress;
    // Told the folder once when another export is writing into one of the set's folders; the
    // export waits for it to finish (see ExportSetLock in exportset.h).
    std::function<void(const std::string& folder)> waiting;
    // Asked now and then, up to the moment the set's files are committed, whether to stop:
    // true abandons the export with the reason exportCancelled, every existing file as it was
    // and no temporary file left behind (not at all when empty).
    std::function<bool()> cancelled;

    bool tiled() const { return tilesAcross > 0 && tilesDown > 0; }
};

// The reason an export gives when it was cancelled.
extern const char* const exportCancelled;

// The smallest and largest tile side accepted: engine terrains run from 33 to 4097 a side.
constexpr int smallestTileSide = 33;
constexpr int largestTileSide = 4097;

// Fits across x down tiles of side 2^n + 1 (smallestTileSide to largestTileSide), sharing
// their edges, onto the raster: with a size given (raster not native) that size must be
// across * (side - 1) + 1 by down * (side - 1) + 1 for one such side; a native raster
// (nativeWidth x nativeHeight cells) gets the smallest side whose tile set holds it, and its
// size is set to that set's. side receives the tile side. False with a one-line reason (which
// names the sizes that would fit) otherwise.
bool planTiles(int across, int down, int nativeWidth, int nativeHeight, RasterOptions& raster,
               int& side, std::string& error);

// The name of the tile in column x and row y of the set (row 0 the northern one): "peak.png"
// gives "peak_x0_y0.png".
std::string tileFileName(const std::string& output, int x, int y);

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
    std::uint64_t bytesWritten = 0; // the size of the heightmap file itself (all tiles)
    std::string metadataFile;       // empty when none was written
    std::vector<std::string> files; // every file written, the heightmap (or tiles) first
};

// Writes the terrain grid (rows of (x, height) points in sketch pixels, row 0 the silhouette,
// row r lying r * rowSpacing pixels behind it) to `output` in settings.format: a raster
// resampled onto square cells as resampleTerrain describes (asc, png16, r16, exr), or the grid
// as a mesh (obj). A sized raster's cells beyond the terrain hold no data in asc and exr (NaN,
// NODATA_value in the grid) and blend down to height 0 in the 16-bit files.
//
// Beside a 16-bit or exr file (or a tile set of any raster format) a metadata file `output` +
// ".json" is written, holding what the samples mean:
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
// (an r16 file adds "byteOrder": "little-endian"; exr has no steps and so no heightPerStep or
// clampedCells, and its heightRange is the raster's; "origin" and "crs" follow "scale" when
// given; a tile set adds "tiles": { "across", "down", "side", "files": [{ "file", "x", "y" }] }).
// An engine's terrain height is heightRange.max - heightRange.min, its horizontal size width
// or height times cellSize.
//
// Sidecars for GIS tools: NAME.aux.xml beside png16 and exr files (geotransform, reference
// system, the 16-bit offset and scale, exr's no-data), a world file beside png16 when the
// terrain is placed (settings.place), and STEM.prj beside an asc file with a reference system
// (WKT; an EPSG code is written as its WKT from PROJ's database, since GDAL reads no code from
// the grid's sidecars). The mesh gets a material
// file (STEM.mtl) whose image is the splat map when one is written, else STEM.png.
//
// Every file of the set is created before any is written and all are written before any
// replaces its previous file, while no other export writes into the set's folders: a file that
// cannot be created or written leaves every previous file as it was (unless its folder forbids new
// files and the file was rewritten in place; the reason then says so). Returns false with a
// one-line reason, the system's words where it has them, for the grd format (the grid is saved by
// writeGridFile), a size outside 2 to maximumRasterSide a side, a scale that is not a positive
// number or fails checkScaleFits, an empty height range (min not below max), an asc file with an
// EPSG code PROJ does not know, two files of the set that are one file (checkExportSetDistinct,
// before anything is created), a grid resampleTerrain refuses, tiles that do not fit (planTiles) or
// a format with no tiles (obj), and a file that cannot be created or written. report, when given,
// receives what was written.
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
