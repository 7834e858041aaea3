#pragma once

#include <string>

#include "heightmap/heightmapexport.h"

// The checks an export's settings pass before anything is written, shared by mondrel-build and
// the window's export dialog so that both refuse the same settings with the same words. Each
// message names the field it is about as the caller calls it: the builder by its option
// ("--crs"), the dialog by its label ("the reference system").
struct ExportFieldNames {
    std::string origin = "--origin";
    std::string crs = "--crs";
    std::string normalMap = "--normal-map";
    std::string splatMap = "--splat-map";
    std::string tiles = "--tiles";
};

// Whether the format's raster can be placed in a map (an origin and a reference system): the
// formats GIS tools read, asc, png16 and exr.
bool formatTakesPlacement(HeightmapFormat format);
// Whether the format can be split into engine tiles: the raster formats asc, png16, r16, exr.
bool formatTakesTiles(HeightmapFormat format);

// Empty when `field` (the origin or the reference system) applies to the format, else
// "FIELD applies to the formats GIS tools read (asc, png16 and exr), not to FORMAT".
std::string placementRefusal(HeightmapFormat format, const std::string& field);
// Empty when the format can be tiled, else "FIELD applies to the raster formats ...".
std::string tilesFormatRefusal(HeightmapFormat format, const std::string& field);
// An ASCII grid's reference system is its .prj, which holds WKT: an EPSG code (crs as readCrs
// returns it) must be one PROJ's database turns into WKT. Empty when it is, or for other
// formats; else "FIELD for the asc format: REASON (give a .prj file or WKT text instead)".
std::string ascCrsRefusal(HeightmapFormat format, const std::string& crs, const std::string& field);
// The normal and splat maps are PNG files: a name given (not empty) must end in .png, in any
// letter case. Empty when it does, else "FIELD writes a PNG: its file name must end in .png".
std::string mapFileRefusal(const std::string& file, const std::string& field);
// Tiles must fit the raster (see planTiles): a size given must split into them; a native
// size (nativeWidth x nativeHeight, the terrain's own raster) must fit into a tile set of at
// most maximumRasterSide a side. Empty when they fit or none are asked for, else planTiles's
// reason.
std::string tilesFitRefusal(int across, int down, const RasterOptions& raster, int nativeWidth,
                            int nativeHeight);
// Every file the export writes must be a file of its own (checkExportSetDistinct): empty when
// they are, else "the export would write PATH twice: as ROLE and as ROLE".
std::string exportSetRefusal(const HeightmapExport& settings, const std::string& output);

// The maps named without a folder, placed beside `output` (a map's name as the dialog takes
// it is a name in the export's folder); names with a folder stay as they are.
HeightmapExport mapsBesideOutput(HeightmapExport settings, const std::string& output);

// Every check above that the settings of one export (format, size, placement, maps, tiles)
// must pass, in the builder's order, for an export to `output` of a terrain whose native raster
// is nativeWidth x nativeHeight (0 x 0 when unknown: a native size is then not checked against
// the tiles). Tiles need a count both ways (or none). The maps are checked where they will be
// written (mapsBesideOutput). Empty when the export can go ahead.
std::string exportSettingsRefusal(const HeightmapExport& settings, const std::string& output,
                                  int nativeWidth, int nativeHeight,
                                  const ExportFieldNames& names = ExportFieldNames());
