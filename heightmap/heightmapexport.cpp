#include "heightmap/heightmapexport.h"

#include <cerrno>
#include <charconv>
#include <cmath>
#include <cstring>
#include <memory>
#include <sys/types.h>

#include "fileio/atomicfile.h"
#include "heightmap/exportset.h"
#include "heightmap/terrainmaps.h"
#include "heightmap/terrainobj.h"

const char* const exportCancelled = "the export was cancelled";

namespace {

std::string shortest(double value) {
    char text[32];
    return std::string(text, std::to_chars(text, text + sizeof text, value).ptr);
}

std::string fileName(const std::string& path) {
    const std::size_t slash = path.find_last_of('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

// The name without its suffix ("out/peak.obj": "out/peak").
std::string stem(const std::string& path) {
    const std::size_t dot = path.find_last_of('.');
    if (dot == std::string::npos || path.find('/', dot) != std::string::npos)
        return path;
    return path.substr(0, dot);
}

bool isRasterFormat(HeightmapFormat format) {
    return format == HeightmapFormat::asc || format == HeightmapFormat::png16 ||
           format == HeightmapFormat::r16 || format == HeightmapFormat::exr;
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
    if (settings.tiled() && !isRasterFormat(settings.format)) {
        error = std::string("the ") + heightmapFormatName(settings.format) +
                " format cannot be split into tiles";
        return false;
    }
    if (!std::isfinite(settings.place.originX) || !std::isfinite(settings.place.originY)) {
        error = "the origin must be two finite numbers";
        return false;
    }
    return true;
}

bool isPowerOfTwo(int n) {
    return n > 0 && (n & (n - 1)) == 0;
}

// One file of an export set: created first, written second, committed last.
struct SetFile {
    std::unique_ptr<AtomicFile> file;
    std::function<bool(std::FILE*, std::string&)> write;
    bool main = false; // a heightmap or tile, committed before the sidecars
    double rows = 0.0; // the rows of work its writing tells progress (see WriteWatch)
};

// The progress and cancel of a set's writing, told by the writers between their row bands:
// the share of the rows done, and whether to stop. A file rewritten in place is not stopped:
// its previous content is being lost as it is written.
struct WriteWatch {
    std::function<void(double)> progress;
    std::function<bool()> cancelled;
    double start = 0.0;     // the share done before the writing
    double totalRows = 1.0; // every file's rows
    double rowsBefore = 0.0;
    bool cancellable = true;
    bool stopped = false;

    bool rowsDone(double rows) {
        if (progress)
            progress(start + (1.0 - start) * std::min(1.0, (rowsBefore + rows) / totalRows));
        if (cancellable && cancelled && cancelled())
            stopped = true;
        return !stopped;
    }
    RowProgress rowProgress() {
        return [this](int rows) { return rowsDone(rows); };
    }
};

std::string systemWords(const AtomicFile& file) {
    return file.systemError() != 0 ? std::strerror(file.systemError())
                                   : "the file could not be written completely";
}

// Creates, writes and commits the whole set, as exportHeightmap promises.
bool writeSet(std::vector<SetFile>& set, WriteWatch& watch, std::string& error) {
    // A cancelled set is dropped before anything is committed: the temporary files go with
    // their AtomicFile, and every existing file stays as it was.
    const auto stop = [&] {
        if (!watch.cancelled || !watch.cancelled())
            return false;
        error = exportCancelled;
        return true;
    };
    watch.totalRows = 0.0;
    for (const SetFile& entry : set)
        watch.totalRows += entry.rows;
    watch.totalRows = std::max(watch.totalRows, 1.0);
    for (SetFile& entry : set) {
        if (!entry.file->open()) {
            error = "cannot create " + entry.file->target() + ": " + systemWords(*entry.file);
            return false;
        }
    }
    // A file rewritten in place loses its previous content as it is written: it goes last, when
    // every other file is already written.
    std::vector<SetFile*> order;
    for (const bool inPlace : {false, true})
        for (SetFile& entry : set)
            if (entry.file->writesInPlace() == inPlace)
                order.push_back(&entry);
    bool rewroteInPlace = false;
    for (SetFile* next : order) {
        SetFile& entry = *next;
        // Not before a file rewritten in place: its previous content is being lost already.
        if (!entry.file->writesInPlace() && stop())
            return false;
        rewroteInPlace = rewroteInPlace || entry.file->writesInPlace();
        std::string reason;
        errno = 0;
        watch.cancellable = !entry.file->writesInPlace();
        const bool written = entry.write(entry.file->stream(), reason);
        if (!written && watch.stopped) {
            error = exportCancelled;
            return false;
        }
        watch.rowsBefore += entry.rows;
        if (!written || std::fflush(entry.file->stream()) != 0 ||
            std::ferror(entry.file->stream())) {
            // A failed write of the file itself has the system's reason (a full disk), which
            // says more than the library's own account of it.
            const int system = errno;
            if (system != 0 && (reason.empty() || std::ferror(entry.file->stream())))
                reason = std::strerror(system);
            else if (reason.empty())
                reason = "a write failed";
            error = "could not write " + entry.file->target() + ": " + reason;
            if (entry.file->writesInPlace())
                error += " (its folder allows no new file, so the previous file was being "
                         "rewritten in place and is damaged)";
            return false;
        }
    }
    // Once a file has been rewritten in place, the set is finished whatever the user asks: only
    // the commit cuts off what is left of the previous content.
    if (!rewroteInPlace && stop())
        return false;
    bool committedAny = false;
    for (const bool main : {true, false}) {
        for (SetFile& entry : set) {
            if (entry.main != main)
                continue;
            if (!entry.file->commit()) {
                error = "could not write " + entry.file->target() + ": " + systemWords(*entry.file);
                if (committedAny)
                    error += " (the files before it in the set were written)";
                return false;
            }
            committedAny = true;
        }
    }
    return true;
}

nlohmann::ordered_json metadata(const HeightmapExport& settings, const std::string& output,
                                const ExportReport& written) {
    const HeightRange& range = written.heightRange;
    const bool sixteenBit = isSixteenBit(settings.format);
    nlohmann::ordered_json meta = {
        {"file", fileName(output)},     {"format", heightmapFormatName(settings.format)},
        {"width", written.width},       {"height", written.height},
        {"cellSize", written.cellSize}, {"heightRange", {{"min", range.min}, {"max", range.max}}},
    };
    if (sixteenBit) {
        meta["heightPerStep"] = (range.max - range.min) / 65535.0;
        meta["clampedCells"] = written.clampedCells;
    }
    meta["units"] = "sketch pixels × scale";
    meta["scale"] = settings.raster.scale;
    if (settings.place.hasOrigin())
        meta["origin"] = {settings.place.originX, settings.place.originY};
    if (!settings.place.crs.empty())
        meta["crs"] = settings.place.crs;
    meta["firstRow"] = "north, the back of the terrain";
    if (settings.format == HeightmapFormat::r16)
        meta["byteOrder"] = "little-endian";
    if (!settings.raster.native())
        meta["padding"] = sixteenBit ? "blends down to height 0 beyond the terrain"
                                     : "no data (NaN) beyond the terrain";
    meta["source"] = settings.source;
    return meta;
}

// The part of the raster from column x0 and row y0 on, side x side cells; its corner moves
// with it.
HeightRaster tileOf(const HeightRaster& raster, int x0, int y0, int side) {
    HeightRaster tile;
    tile.width = side;
    tile.height = side;
    tile.cellSize = raster.cellSize;
    tile.westEdge = raster.westEdge + x0 * raster.cellSize;
    tile.southEdge = raster.southEdge + (raster.height - y0 - side) * raster.cellSize;
    tile.heights.resize(static_cast<std::size_t>(side) * side);
    for (int r = 0; r < side; ++r) {
        const float* from = raster.row(y0 + r) + x0;
        std::copy(from, from + side, tile.heights.begin() + static_cast<std::ptrdiff_t>(r) * side);
    }
    return tile;
}

std::uint64_t bytesIn(std::FILE* stream) {
    std::fflush(stream);
    const off_t end = ftello(stream);
    return end < 0 ? 0 : static_cast<std::uint64_t>(end);
}

SetFile textFile(const std::string& name, std::string text) {
    SetFile entry;
    entry.file = std::make_unique<AtomicFile>(name);
    entry.write = [text = std::move(text)](std::FILE* out, std::string&) {
        return std::fputs(text.c_str(), out) >= 0;
    };
    return entry;
}

} // namespace

bool planTiles(int across, int down, int nativeWidth, int nativeHeight, RasterOptions& raster,
               int& side, std::string& error) {
    const std::string set = std::to_string(across) + "x" + std::to_string(down);
    if (across < 1 || down < 1 || across > 64 || down > 64) {
        error = "the tiles " + set + " must be 1 to 64 across and down";
        return false;
    }
    if (raster.native()) {
        for (int s = smallestTileSide; s <= largestTileSide; s = 2 * s - 1) {
            const int width = across * (s - 1) + 1, height = down * (s - 1) + 1;
            if (width > maximumRasterSide || height > maximumRasterSide)
                break;
            if (width >= nativeWidth && height >= nativeHeight) {
                raster.width = width;
                raster.height = height;
                side = s;
                return true;
            }
        }
        error = "no tile side of 33 to 4097 cells holds the terrain's " +
                std::to_string(nativeWidth) + "x" + std::to_string(nativeHeight) + " cells in " +
                set + " tiles of at most " + std::to_string(maximumRasterSide) +
                " cells a side - choose more tiles or a --size";
        return false;
    }
    const int stepX = (raster.width - 1) / across, stepY = (raster.height - 1) / down;
    if (stepX == stepY && across * stepX + 1 == raster.width && down * stepY + 1 == raster.height &&
        isPowerOfTwo(stepX) && stepX + 1 >= smallestTileSide && stepX + 1 <= largestTileSide) {
        side = stepX + 1;
        return true;
    }
    std::string fits;
    for (int s = smallestTileSide; s <= largestTileSide; s = 2 * s - 1) {
        const int width = across * (s - 1) + 1, height = down * (s - 1) + 1;
        if (width > maximumRasterSide || height > maximumRasterSide)
            break;
        fits += (fits.empty() ? "" : ", ") + std::to_string(width) + "x" + std::to_string(height);
    }
    error = "the size " + std::to_string(raster.width) + "x" + std::to_string(raster.height) +
            " does not split into " + set + " tiles of 2^n + 1 cells sharing their edges" +
            (fits.empty() ? std::string() : "; sizes that do: " + fits);
    return false;
}

std::string tileFileName(const std::string& output, int x, int y) {
    const std::string base = stem(output);
    return base + "_x" + std::to_string(x) + "_y" + std::to_string(y) + output.substr(base.size());
}

namespace {

// What an export is made of: the terrain grid, resampled here, or a raster made elsewhere (the
// natural terrain), written as it is.
struct ExportSource {
    const std::vector<std::vector<gmVector2>>* grid = nullptr;
    double rowSpacing = 0.0;
    const HeightRaster* raster = nullptr;
};

bool exportSource(const ExportSource& source, const HeightmapExport& settings,
                  const std::string& output, std::string& error, ExportReport* report) {
    if (!checkSettings(settings, error))
        return false;
    // An ASCII grid's reference system is read from its .prj, which holds WKT: a code is
    // written as its WKT.
    std::string prjText = settings.place.crs;
    if (settings.format == HeightmapFormat::asc && isEpsgCode(settings.place.crs) &&
        !epsgCodeWkt(settings.place.crs, prjText, error))
        return false;
    const std::vector<ExportSetFile> setFiles = exportSetFiles(settings, output);
    if (!checkExportSetDistinct(setFiles, error))
        return false;
    static const std::vector<std::vector<gmVector2>> noGrid;
    const std::vector<std::vector<gmVector2>>& grid = source.grid ? *source.grid : noGrid;
    const double rowSpacing = source.rowSpacing;
    const HeightRaster* given = source.raster;
    auto progress = [&](double share) {
        if (settings.progress)
            settings.progress(share);
    };
    progress(0.0);

    ExportReport written;
    const bool mesh = settings.format == HeightmapFormat::obj;
    const bool sixteenBit = isSixteenBit(settings.format);
    const bool noDataPadding =
        settings.format == HeightmapFormat::asc || settings.format == HeightmapFormat::exr;
    const bool maps = !settings.normalMapFile.empty() || !settings.splatMapFile.empty();

    RasterOptions options = settings.raster;
    int tileSide = 0;
    if (given) {
        // The raster has its size already; tiles must split exactly that size.
        options.width = given->width;
        options.height = given->height;
    }
    if (settings.tiled()) {
        HeightRaster native;
        int nativeWidth = 0, nativeHeight = 0;
        if (options.native()) {
            if (!resampleTerrain(grid, rowSpacing, RasterOptions{0, 0, options.scale}, native,
                                 error))
                return false;
            nativeWidth = native.width;
            nativeHeight = native.height;
        }
        if (!planTiles(settings.tilesAcross, settings.tilesDown, nativeWidth, nativeHeight, options,
                       tileSide, error))
            return false;
    }

    // The heightmap's raster, and the one the maps are made of: the same, unless the heightmap
    // leaves its padding without data (the maps want heights everywhere) or is a mesh.
    HeightRaster raster, shaded;
    if (given) {
        raster = *given;
        written.width = raster.width;
        written.height = raster.height;
        written.cellSize = raster.cellSize;
    } else if (mesh) {
        if (!checkTerrainGrid(grid, rowSpacing, error) ||
            !checkScaleFits(grid, rowSpacing, settings.raster.scale, error))
            return false;
        written.width = static_cast<int>(grid[0].size());
        written.height = static_cast<int>(grid.size());
    } else {
        options.padding = noDataPadding ? Padding::noData : Padding::blend;
        if (!resampleTerrain(grid, rowSpacing, options, raster, error))
            return false;
        written.width = raster.width;
        written.height = raster.height;
        written.cellSize = raster.cellSize;
    }
    if (maps) {
        RasterOptions mapOptions = mesh ? RasterOptions{0, 0, settings.raster.scale} : options;
        mapOptions.padding = Padding::blend;
        if (!given && (mesh || noDataPadding)) {
            if (!resampleTerrain(grid, rowSpacing, mapOptions, shaded, error))
                return false;
        }
    }
    const HeightRaster& mapRaster = (!given && (mesh || noDataPadding)) ? shaded : raster;
    // A raster made elsewhere has all its share in the writing; a resampled one 30% before.
    WriteWatch watch;
    watch.progress = settings.progress;
    watch.cancelled = settings.cancelled;
    watch.start = given ? 0.0 : 0.3;
    progress(watch.start);

    if (sixteenBit) {
        written.heightRange = settings.heightRange ? *settings.heightRange : heightRangeOf(raster);
        // Counted before writing, so that the metadata can be complete before the heightmap is.
        const SixteenBitSteps steps(written.heightRange);
        std::vector<std::uint16_t> row(static_cast<std::size_t>(raster.width));
        for (int r = 0; r < raster.height; ++r)
            written.clampedCells += steps.convert(raster.row(r), raster.width, row.data());
    } else if (!mesh) {
        written.heightRange = heightRangeOf(raster);
    }

    // The rasters to write: the whole one, or its tiles.
    struct Part {
        std::string name;
        HeightRaster tile;
        int x = 0, y = 0;
    };
    std::vector<Part> parts;
    if (settings.tiled()) {
        for (int y = 0; y < settings.tilesDown; ++y)
            for (int x = 0; x < settings.tilesAcross; ++x)
                parts.push_back({tileFileName(output, x, y),
                                 tileOf(raster, x * (tileSide - 1), y * (tileSide - 1), tileSide),
                                 x, y});
    }
    const RowProgress rowProgress = watch.rowProgress();

    std::vector<SetFile> set;
    std::vector<std::uint64_t*> sizes;
    auto addRaster = [&](const std::string& name, const HeightRaster& part) {
        SetFile entry;
        entry.main = true;
        entry.file = std::make_unique<AtomicFile>(name);
        const HeightRaster* data = &part;
        entry.write = [&, data, name](std::FILE* out, std::string& reason) {
            std::size_t clamped = 0;
            bool ok = false;
            switch (settings.format) {
            case HeightmapFormat::asc:
                ok = writeAsciiGrid(out, *data, settings.place.originX, settings.place.originY,
                                    rowProgress);
                break;
            case HeightmapFormat::png16:
                ok = writePng16(out, *data, written.heightRange, clamped, reason, rowProgress);
                break;
            case HeightmapFormat::r16:
                ok = writeR16(out, *data, written.heightRange, clamped, rowProgress);
                break;
            case HeightmapFormat::exr:
                ok = writeExr(out, name, *data, reason, settings.exrCompressed, rowProgress);
                break;
            default:
                break;
            }
            written.bytesWritten += ok ? bytesIn(out) : 0;
            return ok;
        };
        entry.rows = part.height;
        set.push_back(std::move(entry));
        written.files.push_back(name);

        // What GIS tools read beside it.
        const std::optional<HeightRange> steps =
            sixteenBit ? std::optional<HeightRange>(written.heightRange) : std::nullopt;
        const bool padded = noDataPadding && !options.native();
        if (settings.format == HeightmapFormat::asc && !settings.place.crs.empty())
            set.push_back(textFile(stem(name) + ".prj", prjText + "\n"));
        if (settings.format == HeightmapFormat::png16 || settings.format == HeightmapFormat::exr)
            set.push_back(
                textFile(name + ".aux.xml", pamDatasetText(part, settings.place, steps, padded)));
        if (settings.format == HeightmapFormat::png16 && settings.place.placed())
            set.push_back(textFile(worldFileName(name), worldFileText(part, settings.place)));
    };

    if (mesh) {
        const std::string material = stem(output) + ".mtl";
        SetFile entry;
        entry.main = true;
        entry.file = std::make_unique<AtomicFile>(output);
        entry.write = [&, material](std::FILE* out, std::string&) {
            const bool ok = given ? writeRasterObj(out, raster, fileName(material), rowProgress)
                                  : writeTerrainObj(out, grid, rowSpacing, settings.raster.scale,
                                                    fileName(material));
            written.bytesWritten = ok ? bytesIn(out) : 0;
            return ok;
        };
        // The grid's mesh is small: its rows are not told.
        entry.rows = given ? rasterObjPasses(true) * raster.height : 0;
        set.push_back(std::move(entry));
        written.files.push_back(output);
        const std::string image = settings.splatMapFile.empty() ? fileName(stem(output)) + ".png"
                                                                : fileName(settings.splatMapFile);
        set.push_back(textFile(material, terrainMaterialText(image)));
    } else if (settings.tiled()) {
        for (const Part& part : parts)
            addRaster(part.name, part.tile);
    } else {
        addRaster(output, raster);
    }

    if (sixteenBit || settings.format == HeightmapFormat::exr || settings.tiled()) {
        written.metadataFile = output + ".json";
        nlohmann::ordered_json meta = metadata(settings, output, written);
        if (settings.tiled()) {
            nlohmann::ordered_json files = nlohmann::ordered_json::array();
            for (const Part& part : parts)
                files.push_back({{"file", fileName(part.name)}, {"x", part.x}, {"y", part.y}});
            meta["tiles"] = {{"across", settings.tilesAcross},
                             {"down", settings.tilesDown},
                             {"side", tileSide},
                             {"sharedEdges", true},
                             {"files", files}};
        }
        // File names may hold any bytes; one that is not UTF-8 is shown with replacement
        // characters rather than refused.
        set.push_back(
            textFile(written.metadataFile,
                     meta.dump(2, ' ', false, nlohmann::json::error_handler_t::replace) + "\n"));
    }

    // A map's rows are told twice: computed, then written.
    const auto writeMap =
        [&](std::FILE* out, int channels, std::string& reason,
            const std::function<std::vector<unsigned char>(const RowProgress&)>& pixelsOf) {
            const std::vector<unsigned char> pixels = pixelsOf(rowProgress);
            if (pixels.empty())
                return false;
            const double computed = mapRaster.height;
            watch.rowsBefore += computed;
            const bool ok = writePng8(out, mapRaster.width, mapRaster.height, channels, pixels,
                                      reason, rowProgress);
            watch.rowsBefore -= computed;
            return ok;
        };
    if (!settings.normalMapFile.empty()) {
        SetFile entry;
        entry.file = std::make_unique<AtomicFile>(settings.normalMapFile);
        entry.write = [&](std::FILE* out, std::string& reason) {
            return writeMap(out, 3, reason, [&](const RowProgress& rows) {
                return normalMapPixels(mapRaster, rows);
            });
        };
        entry.rows = 2.0 * mapRaster.height;
        set.push_back(std::move(entry));
    }
    if (!settings.splatMapFile.empty()) {
        SetFile entry;
        entry.file = std::make_unique<AtomicFile>(settings.splatMapFile);
        entry.write = [&](std::FILE* out, std::string& reason) {
            return writeMap(out, 4, reason, [&](const RowProgress& rows) {
                return splatMapPixels(mapRaster, SplatThresholds(), rows);
            });
        };
        entry.rows = 2.0 * mapRaster.height;
        set.push_back(std::move(entry));
    }
    for (const SetFile& entry : set)
        if (!entry.main)
            written.files.push_back(entry.file->target());

    // Another export of the same files at the same time would leave a mix of both sets.
    ExportSetLock lock;
    lock.acquire(setFiles, settings.waiting);
    if (!writeSet(set, watch, error))
        return false;
    progress(1.0);
    if (report)
        *report = written;
    return true;
}

} // namespace

bool exportHeightmap(const std::vector<std::vector<gmVector2>>& grid, double rowSpacing,
                     const HeightmapExport& settings, const std::string& output, std::string& error,
                     ExportReport* report) {
    return exportSource(ExportSource{&grid, rowSpacing, nullptr}, settings, output, error, report);
}

bool exportHeightRaster(const HeightRaster& raster, const HeightmapExport& settings,
                        const std::string& output, std::string& error, ExportReport* report) {
    return exportSource(ExportSource{nullptr, 0.0, &raster}, settings, output, error, report);
}
