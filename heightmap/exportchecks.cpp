#include "heightmap/exportchecks.h"

#include <cctype>

#include "fileio/atomicfile.h"
#include "heightmap/exportset.h"
#include "heightmap/georeference.h"

bool formatTakesPlacement(HeightmapFormat format) {
    return format == HeightmapFormat::asc || format == HeightmapFormat::png16 ||
           format == HeightmapFormat::exr;
}

bool formatTakesTiles(HeightmapFormat format) {
    return format != HeightmapFormat::obj && format != HeightmapFormat::grd;
}

std::string placementRefusal(HeightmapFormat format, const std::string& field) {
    if (formatTakesPlacement(format))
        return {};
    return field + " applies to the formats GIS tools read (asc, png16 and exr), not to " +
           heightmapFormatName(format);
}

std::string tilesFormatRefusal(HeightmapFormat format, const std::string& field) {
    if (formatTakesTiles(format))
        return {};
    return field + " applies to the raster formats asc, png16, r16 and exr, not to " +
           heightmapFormatName(format);
}

std::string ascCrsRefusal(HeightmapFormat format, const std::string& crs,
                          const std::string& field) {
    std::string wkt, unknown;
    if (format != HeightmapFormat::asc || !isEpsgCode(crs) || epsgCodeWkt(crs, wkt, unknown))
        return {};
    return field + " for the asc format: " + unknown + " (give a .prj file or WKT text instead)";
}

std::string mapFileRefusal(const std::string& file, const std::string& field) {
    if (file.empty())
        return {};
    std::string suffix = file.size() < 4 ? std::string() : file.substr(file.size() - 4);
    for (char& c : suffix)
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    if (suffix == ".png")
        return {};
    return field + " writes a PNG: its file name must end in .png";
}

std::string tilesFitRefusal(int across, int down, const RasterOptions& raster, int nativeWidth,
                            int nativeHeight) {
    if (across <= 0 && down <= 0)
        return {};
    if (raster.native() && (nativeWidth <= 0 || nativeHeight <= 0))
        return {};
    RasterOptions planned = raster;
    int side = 0;
    std::string error;
    planTiles(across, down, nativeWidth, nativeHeight, planned, side, error);
    return error;
}

std::string exportSetRefusal(const HeightmapExport& settings, const std::string& output) {
    std::string error;
    checkExportSetDistinct(exportSetFiles(settings, output), error);
    return error;
}

HeightmapExport mapsBesideOutput(HeightmapExport settings, const std::string& output) {
    const std::string folder = folderOf(output);
    for (std::string* map : {&settings.normalMapFile, &settings.splatMapFile})
        if (!map->empty() && map->find('/') == std::string::npos && folder != ".")
            *map = (folder == "/" ? folder : folder + "/") + *map;
    return settings;
}

std::string exportSettingsRefusal(const HeightmapExport& settings, const std::string& output,
                                  int nativeWidth, int nativeHeight,
                                  const ExportFieldNames& names) {
    const bool tiles = settings.tilesAcross > 0 || settings.tilesDown > 0;
    std::string error;
    if (tiles)
        error = tilesFormatRefusal(settings.format, names.tiles);
    if (error.empty() && settings.place.hasOrigin())
        error = placementRefusal(settings.format, names.origin);
    if (error.empty() && !settings.place.crs.empty())
        error = placementRefusal(settings.format, names.crs);
    if (error.empty())
        error = ascCrsRefusal(settings.format, settings.place.crs, names.crs);
    if (error.empty())
        error = mapFileRefusal(settings.normalMapFile, names.normalMap);
    if (error.empty())
        error = mapFileRefusal(settings.splatMapFile, names.splatMap);
    if (error.empty() && tiles && (settings.tilesAcross <= 0 || settings.tilesDown <= 0))
        error = names.tiles + " needs a count across and down (or none for one file)";
    if (error.empty() && tiles)
        error = tilesFitRefusal(settings.tilesAcross, settings.tilesDown, settings.raster,
                                nativeWidth, nativeHeight);
    if (error.empty())
        error = exportSetRefusal(mapsBesideOutput(settings, output), output);
    return error;
}
