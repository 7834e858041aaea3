#pragma once

#include <string>

// The files the terrain can be saved as. grd is the terrain's own grid file (written by
// writeGridFile, not by the heightmap export); the others are written by exportHeightmap.
enum class HeightmapFormat {
    grd,   // ".grd": the ASCII grid of the raw terrain heights, one value per grid point
    asc,   // ".asc": ESRI ASCII grid for GIS tools, heights in world units
    png16, // ".png": 16-bit grayscale PNG for game engines and 3D tools
    r16,   // ".r16" or ".raw": headerless 16-bit little-endian samples
    exr,   // ".exr": OpenEXR, one 32-bit float channel, heights in world units
    obj,   // ".obj": the terrain grid itself as a triangle mesh
};

// The format a file name asks for by its suffix (letter case ignored); grd for a name with
// any other suffix or none, as the terrain has always been saved.
HeightmapFormat heightmapFormatForFile(const std::string& name);

// The format a file name's suffix names: grd for ".grd" or no suffix at all, the heightmap
// formats for the suffixes above (letter case ignored). False, format untouched, for any
// other suffix ("peak.tif"): no format would be what the user meant.
bool heightmapFormatForSuffix(const std::string& name, HeightmapFormat& format);

// The format called `name` ("grd", "asc", "png16", "r16", "exr", "obj", and the suffix names
// "png" and "raw"), in any letter case, as the command line names them. False for any other
// name.
bool heightmapFormatNamed(const std::string& name, HeightmapFormat& format);

// The name heightmapFormatNamed takes for the format.
const char* heightmapFormatName(HeightmapFormat format);

// Whether the format stores heights as 16-bit steps of a height range (and so is written with
// a metadata file beside it).
bool isSixteenBit(HeightmapFormat format);
