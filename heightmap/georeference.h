#pragma once

#include <optional>
#include <string>

#include "heightmap/heightraster.h"
#include "heightmap/rasterwriters.h"

// Where a heightmap lies in a map, for GIS tools. Without an origin or a reference system the
// raster's coordinates are the terrain's own: x east from the sketch's left edge, y north
// behind the silhouette, in world units.
struct Georeference {
    // The map position that the terrain's own (0, 0) goes to: every easting and northing of
    // the raster is shifted by it.
    double originX = 0.0;
    double originY = 0.0;
    // The coordinate reference system: empty for none, "EPSG:<code>", or WKT text.
    std::string crs;

    bool hasOrigin() const { return originX != 0.0 || originY != 0.0; }
    // Whether the user asked for the terrain to be placed in a map.
    bool placed() const { return hasOrigin() || !crs.empty(); }
};

// The longest file read as a reference system: far more than any real WKT needs.
constexpr std::size_t maximumCrsFileSize = 64 * 1024;

// Reads a reference system as the command line gives it: "EPSG:32632" (any letter case, the
// code 1 to 9 digits), WKT text ("PROJCS[...]", "GEOGCRS[...]", ...: a keyword, then brackets
// that balance), or the name of a file holding WKT (a .prj). The result is "EPSG:<code>" or
// the WKT on one line. False with a one-line reason otherwise: the system's reason for a file
// that cannot be opened, the kind of what is not a regular file (a folder, a pipe, a device,
// never read, so a pipe cannot block), a file longer than maximumCrsFileSize or holding a NUL.
// The reasons name the field as the caller calls it (the window: "the reference system").
bool readCrs(const std::string& text, std::string& crs, std::string& error,
             const std::string& field = "--crs");

bool isEpsgCode(const std::string& crs);

// The WKT 1 (GDAL's flavour, on one line, with the EPSG authority) of an "EPSG:<code>" from
// PROJ's database: what an ASCII grid's .prj holds, where GDAL reads no code, and from which
// it identifies the code again. False with a one-line reason for a code the database does not
// know or that has no WKT 1 form.
bool epsgCodeWkt(const std::string& code, std::string& wkt, std::string& error);

// GDAL's sidecar NAME.aux.xml ("PAM"), which GDAL-based tools (QGIS, gdalinfo, gdaldem) read
// beside any raster: the reference system, the geotransform (the raster's north-western corner,
// the cell size, north up) and, per band, the no-data value and the offset and scale that
// turn samples into world heights (16-bit files: height = offset + scale * step):
//
//     <PAMDataset>
//       <SRS>EPSG:32632</SRS>
//       <GeoTransform>500000, 2, 0, 4100000, 0, -2</GeoTransform>
//       <PAMRasterBand band="1">
//         <Offset>0</Offset>
//         <Scale>0.006294346532387274</Scale>
//       </PAMRasterBand>
//     </PAMDataset>
//
// steps: the range of a 16-bit file; noData: whether cells without a height are NaN.
std::string pamDatasetText(const HeightRaster& raster, const Georeference& place,
                           const std::optional<HeightRange>& steps, bool noData);

// An ESRI world file (".pgw" beside a PNG): cell width, two zero rotations, minus the cell
// height, and the centre of the north-western cell, one number a line.
std::string worldFileText(const HeightRaster& raster, const Georeference& place);

// The name of the world file for `image`: its suffix's first and last letter and a "w"
// (peak.png: peak.pgw).
std::string worldFileName(const std::string& image);
