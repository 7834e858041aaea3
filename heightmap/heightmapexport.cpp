#include "heightmap/heightmapexport.h"

#include <charconv>
#include <cmath>
#include <functional>
#include <sys/types.h>

#include "heightmap/terrainobj.h"
#include "sketch/atomicfile.h"

namespace {

std::string shortest(double value) {
    char text[32];
    return std::string(text, std::to_chars(text, text + sizeof text, value).ptr);
}

std::string fileName(const std::string& path) {
    const std::size_t slash = path.find_last_of('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

bool checkSettings(const HeightmapExport& settings, std::string& error) {
    if (settings.format == HeightmapFormat::grd) {
        error = "the grid format is not a heightmap: it is saved as the terrain's grid";
        return false;
    }
    if (!checkRasterOptions(settings.raster, error))
        return false;
    if (settings.heightRange) {
        const HeightRange& range = *settings.heightRange;
        const std::string text = shortest(range.min) + ":" + shortest(range.max);
        if (!std::isfinite(range.min) || !std::isfinite(range.max)) {
            error = "the height range " + text + " needs two finite heights";
            return false;
        }
        if (range.empty()) {
            error =
                "the height range " + text + " is empty: its minimum must lie below its maximum";
            return false;
        }
    }
    return true;
}

nlohmann::ordered_json metadata(const HeightmapExport& settings, const std::string& output,
                                const ExportReport& written) {
    const HeightRange& range = written.heightRange;
    nlohmann::ordered_json meta = {
        {"file", fileName(output)},
        {"format", heightmapFormatName(settings.format)},
        {"width", written.width},
        {"height", written.height},
        {"cellSize", written.cellSize},
        {"heightRange", {{"min", range.min}, {"max", range.max}}},
        {"heightPerStep", (range.max - range.min) / 65535.0},
        {"clampedCells", written.clampedCells},
        {"units", "sketch pixels × scale"},
        {"scale", settings.raster.scale},
        {"firstRow", "north, the back of the terrain"},
    };
    if (settings.format == HeightmapFormat::r16)
        meta["byteOrder"] = "little-endian";
    meta["source"] = settings.source;
    return meta;
}

std::uint64_t bytesIn(std::FILE* stream) {
    std::fflush(stream);
    const off_t end = ftello(stream);
    return end < 0 ? 0 : static_cast<std::uint64_t>(end);
}

} // namespace

namespace {

// Writes the raster (or, for obj, the mesh writeMesh writes) and the metadata beside a 16-bit
// file, each atomically; `written` holds the size and cell already.
bool writeExport(const HeightmapExport& settings, const std::string& output,
                 const HeightRaster& raster, const std::function<bool(std::FILE*)>& writeMesh,
                 ExportReport written, std::string& error, ExportReport* report) {
    const bool sixteenBit = isSixteenBit(settings.format);
    if (sixteenBit)
        written.heightRange = settings.heightRange ? *settings.heightRange : heightRangeOf(raster);

    AtomicFile file(output);
    if (!file.open()) {
        error = "cannot create " + output;
        return false;
    }
    std::string reason;
    bool ok = false;
    switch (settings.format) {
    case HeightmapFormat::asc:
        ok = writeAsciiGrid(file.stream(), raster);
        break;
    case HeightmapFormat::png16:
        ok = writePng16(file.stream(), raster, written.heightRange, written.clampedCells, reason);
        break;
    case HeightmapFormat::r16:
        ok = writeR16(file.stream(), raster, written.heightRange, written.clampedCells);
        break;
    case HeightmapFormat::exr:
        ok = writeExr(file.stream(), output, raster, reason);
        break;
    case HeightmapFormat::obj:
        ok = writeMesh(file.stream());
        break;
    case HeightmapFormat::grd:
        break;
    }
    if (!ok) {
        error = "could not write " + output + (reason.empty() ? "" : ": " + reason);
        return false;
    }
    written.bytesWritten = bytesIn(file.stream());

    // The metadata is written in full before the heightmap replaces its previous file, so that
    // the two are as good as certain to be saved together.
    AtomicFile sidecar(output + ".json");
    if (sixteenBit) {
        written.metadataFile = sidecar.target();
        if (!sidecar.open()) {
            error = "cannot create " + written.metadataFile;
            return false;
        }
        // File names may hold any bytes; one that is not UTF-8 is shown with replacement
        // characters rather than refused.
        const std::string text =
            metadata(settings, output, written)
                .dump(2, ' ', false, nlohmann::json::error_handler_t::replace) +
            "\n";
        if (std::fputs(text.c_str(), sidecar.stream()) < 0 || std::fflush(sidecar.stream()) != 0) {
            error = "could not write " + written.metadataFile;
            return false;
        }
    }
    if (!file.commit()) {
        error = "could not write " + output;
        return false;
    }
    if (sixteenBit && !sidecar.commit()) {
        // Rare (the text is already flushed), but then the heightmap is new and the metadata
        // beside it is not: say so rather than suggest nothing changed.
        error = output + " was written, but its metadata file " + written.metadataFile +
                " could not be";
        return false;
    }
    if (report)
        *report = written;
    return true;
}

} // namespace

bool exportHeightmap(const std::vector<std::vector<gmVector2>>& grid, double rowSpacing,
                     const HeightmapExport& settings, const std::string& output, std::string& error,
                     ExportReport* report) {
    if (!checkSettings(settings, error))
        return false;

    ExportReport written;
    HeightRaster raster;
    const bool mesh = settings.format == HeightmapFormat::obj;
    if (mesh) {
        if (!checkTerrainGrid(grid, rowSpacing, error))
            return false;
        written.width = static_cast<int>(grid[0].size());
        written.height = static_cast<int>(grid.size());
    } else {
        if (!resampleTerrain(grid, rowSpacing, settings.raster, raster, error))
            return false;
        written.width = raster.width;
        written.height = raster.height;
        written.cellSize = raster.cellSize;
    }
    return writeExport(
        settings, output, raster,
        [&](std::FILE* out) {
            return writeTerrainObj(out, grid, rowSpacing, settings.raster.scale);
        },
        written, error, report);
}

bool exportHeightRaster(const HeightRaster& raster, const HeightmapExport& settings,
                        const std::string& output, std::string& error, ExportReport* report) {
    if (!checkSettings(settings, error))
        return false;
    ExportReport written;
    written.width = raster.width;
    written.height = raster.height;
    written.cellSize = raster.cellSize;
    return writeExport(
        settings, output, raster, [&](std::FILE* out) { return writeRasterObj(out, raster); },
        written, error, report);
}
