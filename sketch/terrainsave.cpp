#include "sketch/terrainsave.h"

#include <cerrno>
#include <cmath>
#include <cstring>

#include "fileio/gridexport.h"
#include "heightmap/terrainobj.h"
#include "printing/printedlines.h"

namespace {

// Whether everything written to the stream reached it; the system's reason (a full disk, a
// closed pipe) goes into the message when not. errno must have been cleared before writing.
bool streamWritten(std::FILE* out, bool written, std::string& message) {
    int reason = errno;
    if (written && std::fflush(out) == 0 && !std::ferror(out))
        return true;
    if (reason == 0)
        reason = errno;
    message = "could not write the terrain to standard output";
    if (reason != 0)
        message += std::string(": ") + std::strerror(reason);
    return false;
}

} // namespace

const std::vector<std::vector<gmVector2>>& NaturalGround::grid() const {
    return placed ? placedGrid : *modelGrid;
}

NaturalGround naturalGround(const SketchModel& model, double scale) {
    NaturalGround ground;
    const SketchCamera& camera = model.camera();
    ground.modelGrid = &model.grid();
    ground.rowSpacing = model.rowSpacing();
    ground.ranges = model.naturalRanges(scale);
    if (!camera.perspective())
        return ground;
    const double front = model.layerProperties(0).distance;
    ground.placed = true;
    ground.placedGrid.reserve(model.grid().size());
    for (const std::vector<gmVector2>& row : model.grid())
        ground.placedGrid.push_back(skylineInGrid(camera, row, front, scale));
    ground.rowSpacing *= front / (camera.focalLength() * scale);
    for (NaturalRange& range : ground.ranges) {
        const double distance = front + range.depth * scale;
        range.skyline = skylineInGrid(camera, range.skyline, distance, scale);
        range.viewer.perspective = true;
        range.viewer.x = camera.eyeX(scale) / scale;
        range.viewer.height = camera.eyeHeight / scale;
        range.viewer.distance = distance / scale;
        // A course drawn from above lies in the world the top view shows (the natural terrain
        // at a scale of 1): its offsets from the eye shrink with the scale, the eye stays.
        for (gmVector2& p : range.divideCourse)
            p = gmVector2(range.viewer.x + (p[0] - camera.eyeX(1.0)) / scale, p[1] / scale);
    }
    return ground;
}

nlohmann::ordered_json terrainSource(const SketchModel& model, const std::string& program,
                                     const std::string& input) {
    nlohmann::ordered_json columns = nlohmann::ordered_json::array();
    for (unsigned column : model.profileIndices())
        columns.push_back(column);
    const double dropOff = std::round(static_cast<double>(model.bottomDropOff()) * 100.0) / 100.0;
    return {
        {"program", program},
        {"input", input.empty() ? nlohmann::ordered_json() : nlohmann::ordered_json(input)},
        {"stage", model.stage()},
        {"settings",
         {{"profileRandomness", RandomnessSlider::toValue(model.profileRandomness())},
          {"bottomDropOff", dropOff},
          {"detailRandomness", RandomnessSlider::toValue(model.detailRandomness())},
          {"profileColumns", columns}}},
    };
}

bool streamableFormat(HeightmapFormat format) {
    return format == HeightmapFormat::grd || format == HeightmapFormat::asc ||
           format == HeightmapFormat::obj;
}

bool saveTerrainAs(const SketchModel& model, const std::string& name,
                   const HeightmapExport& settings, std::string& message, ExportReport* report) {
    if (settings.format == HeightmapFormat::grd)
        return model.exportGRD(name, message);
    if (!model.hasTerrainToSave(message))
        return false;
    if (!exportHeightmap(model.grid(), model.rowSpacing(), settings, name, message, report))
        return false;
    if (model.printing())
        printLine("Heightmap %s has been written successfully\n", name.c_str());
    return true;
}

bool writeTerrainTo(std::FILE* out, const SketchModel& model, const HeightmapExport& settings,
                    std::string& message) {
    if (!streamableFormat(settings.format)) {
        message = std::string("the ") + heightmapFormatName(settings.format) +
                  " format cannot be written to a stream";
        return false;
    }
    if (!model.hasTerrainToSave(message))
        return false;
    bool written = false;
    errno = 0;
    if (settings.format == HeightmapFormat::grd) {
        if (!checkGridHeights(model.grid(), message))
            return false;
        written = writeGrid(out, model.grid());
    } else if (settings.format == HeightmapFormat::obj) {
        if (!checkRasterOptions(settings.raster, message) ||
            !checkTerrainGrid(model.grid(), model.rowSpacing(), message) ||
            !checkScaleFits(model.grid(), model.rowSpacing(), settings.raster.scale, message))
            return false;
        written = writeTerrainObj(out, model.grid(), model.rowSpacing(), settings.raster.scale);
    } else {
        HeightRaster raster;
        RasterOptions options = settings.raster;
        options.padding = Padding::noData; // as exportHeightmap writes the grid to a file
        if (!resampleTerrain(model.grid(), model.rowSpacing(), options, raster, message))
            return false;
        written = writeAsciiGrid(out, raster);
    }
    return streamWritten(out, written, message);
}

bool nativeHeightmapSize(const SketchModel& model, int& width, int& height) {
    std::string reason;
    HeightRaster raster;
    if (!model.hasTerrainToSave(reason) ||
        !resampleTerrain(model.grid(), model.rowSpacing(), RasterOptions{}, raster, reason))
        return false;
    width = raster.width;
    height = raster.height;
    return true;
}

bool nativeNaturalSize(const SketchModel& model, int& width, int& height, double scale) {
    std::string reason;
    if (!model.hasTerrainToSave(reason))
        return false;
    const NaturalGround ground = naturalGround(model, scale);
    return naturalNativeSize(ground.grid(), ground.rowSpacing, ground.ranges,
                             model.naturalSettings(), width, height, reason);
}

nlohmann::ordered_json naturalSettingsJson(const NaturalSettings& natural) {
    return {{"slope", natural.slope},
            {"frontProfile", natural.frontProfile},
            {"detail", natural.detail},
            {"erosion", natural.erosion},
            {"erosionSteps", natural.erosionSteps},
            {"seed", natural.seed}};
}

bool buildNaturalRaster(const SketchModel& model, const HeightmapExport& settings,
                        const NaturalSettings& natural, HeightRaster& raster, std::string& message,
                        int threads, const std::function<void(double)>& progress) {
    if (settings.format == HeightmapFormat::grd) {
        message = "the grid format has no natural terrain: it is the model's own grid";
        return false;
    }
    if (!model.hasTerrainToSave(message))
        return false;
    const NaturalGround ground = naturalGround(model, settings.raster.scale);
    return buildNaturalTerrain(ground.grid(), ground.rowSpacing, ground.ranges, natural,
                               settings.raster, raster, message, threads, settings.cancelled,
                               progress);
}

bool saveNaturalTerrainAs(const SketchModel& model, const std::string& name,
                          const HeightmapExport& settings, const NaturalSettings& natural,
                          std::string& message, ExportReport* report) {
    // Tiles without a size take the smallest tile set holding the native raster, as the
    // resampled terrain's do: the terrain is built at that size.
    HeightmapExport built = settings;
    if (settings.tiled() && settings.raster.native()) {
        int width = 0, height = 0, side = 0;
        if (!model.hasTerrainToSave(message))
            return false;
        const NaturalGround ground = naturalGround(model, settings.raster.scale);
        if (!naturalNativeSize(ground.grid(), ground.rowSpacing, ground.ranges, natural, width,
                               height, message) ||
            !planTiles(settings.tilesAcross, settings.tilesDown, width, height, built.raster, side,
                       message))
            return false;
    }
    // The construction takes most of an export's time; the files are written in the rest.
    const double builtShare = 0.7;
    std::function<void(double)> building, writing;
    if (settings.progress) {
        building = [&settings, builtShare](double share) { settings.progress(builtShare * share); };
        writing = [&settings, builtShare](double share) {
            settings.progress(builtShare + (1.0 - builtShare) * share);
        };
    }
    HeightRaster raster;
    if (!buildNaturalRaster(model, built, natural, raster, message, 0, building))
        return false;
    HeightmapExport described = settings;
    described.progress = writing;
    if (described.source.is_object())
        described.source["natural"] = naturalSettingsJson(natural);
    if (!exportHeightRaster(raster, described, name, message, report))
        return false;
    if (model.printing())
        printLine("Heightmap %s has been written successfully\n", name.c_str());
    return true;
}

bool writeNaturalTerrainTo(std::FILE* out, const SketchModel& model,
                           const HeightmapExport& settings, const NaturalSettings& natural,
                           std::string& message) {
    if (settings.format != HeightmapFormat::asc && settings.format != HeightmapFormat::obj) {
        message = std::string("the ") + heightmapFormatName(settings.format) +
                  " format cannot be written to a stream as a natural terrain";
        return false;
    }
    HeightRaster raster;
    if (!buildNaturalRaster(model, settings, natural, raster, message))
        return false;
    errno = 0;
    const bool written = settings.format == HeightmapFormat::asc ? writeAsciiGrid(out, raster)
                                                                 : writeRasterObj(out, raster);
    return streamWritten(out, written, message);
}
