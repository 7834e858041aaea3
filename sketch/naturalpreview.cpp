#include "sketch/naturalpreview.h"

#include "heightmap/heightmapexport.h"
#include "sketch/terrainsave.h"

bool naturalPreviewGrid(const SketchModel& model, int side,
                        std::vector<std::vector<gmVector2>>& grid, double& rowSpacing,
                        std::string& message, const std::function<bool()>& cancelled,
                        double* firstNorthing) {
    HeightmapExport settings;
    settings.format = HeightmapFormat::asc;
    settings.raster.width = side;
    settings.raster.height = side;
    settings.raster.scale = 1.0;
    settings.cancelled = cancelled;
    HeightRaster raster;
    if (!buildNaturalRaster(model, settings, model.naturalSettings(), raster, message))
        return false;
    std::vector<std::vector<gmVector2>> rows(static_cast<std::size_t>(raster.height));
    for (int r = 0; r < raster.height; ++r) {
        // The raster runs from the north; the view's rows from the viewer backwards.
        const float* heights = raster.row(raster.height - 1 - r);
        std::vector<gmVector2>& row = rows[static_cast<std::size_t>(r)];
        row.reserve(static_cast<std::size_t>(raster.width));
        for (int c = 0; c < raster.width; ++c)
            row.emplace_back(raster.westEdge + (c + 0.5) * raster.cellSize,
                             static_cast<double>(heights[c]));
    }
    grid = std::move(rows);
    rowSpacing = raster.cellSize;
    // Row 0 is the raster's southernmost row, at one world unit per pixel.
    if (firstNorthing)
        *firstNorthing = raster.southEdge + 0.5 * raster.cellSize;
    return true;
}

bool naturalDivideLine(const SketchModel& model, std::vector<gmVector2>& line,
                       std::string& message) {
    if (!model.hasTerrainToSave(message))
        return false;
    // The top view shows the natural terrain at a scale of 1: in perspective its world.
    const NaturalGround ground = naturalGround(model, 1.0);
    if (!ground.ranges.front().divideCourse.empty()) {
        line = ground.ranges.front().divideCourse;
        return true;
    }
    return naturalDivide(ground.grid(), ground.rowSpacing, ground.ranges, model.naturalSettings(),
                         divideLinePoints, line, message);
}
