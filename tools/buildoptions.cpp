#include "tools/buildoptions.h"

#include <CLI/CLI.hpp>
#include <algorithm>
#include <cctype>
#include <charconv>
#include <cmath>
#include <cstdlib>

#include "heightmap/exportchecks.h"

#ifndef MONDREL_VERSION
#define MONDREL_VERSION "unknown"
#endif

namespace {

const int maxDropOffSteps = 100;

// "COLUMN:FILE", the column a whole decimal number of at least 0.
std::string parseColumnProfile(const std::string& text, BuildOptions::ColumnProfile& profile) {
    const std::size_t colon = text.find(':');
    const std::string column = text.substr(0, colon == std::string::npos ? 0 : colon);
    const bool digits =
        !column.empty() && column.size() <= 9 &&
        std::all_of(column.begin(), column.end(), [](char c) { return c >= '0' && c <= '9'; });
    if (colon == std::string::npos || colon + 1 == text.size() || !digits)
        return "bad value \"" + text + "\" for --profile: expected COLUMN:FILE.c2d";
    profile.column = std::stoi(column);
    profile.file = text.substr(colon + 1);
    return {};
}

// The whole text as a finite number, whatever the locale.
bool readNumber(const std::string& text, double& value) {
    const char* end = text.data() + text.size();
    const auto [stop, failure] = std::from_chars(text.data(), end, value);
    return failure == std::errc() && stop == end && std::isfinite(value);
}

// A whole number of cells, 2 to maximumRasterSide.
bool readSide(const std::string& text, int& side) {
    const char* end = text.data() + text.size();
    const auto [stop, failure] = std::from_chars(text.data(), end, side);
    return failure == std::errc() && stop == end && side >= 2 && side <= maximumRasterSide;
}

std::string badValue(const std::string& option, const std::string& text,
                     const std::string& expected) {
    return "bad value \"" + text + "\" for " + option + ": expected " + expected;
}

// "N" (a square) or "WxH".
std::string parseSize(const std::string& text, RasterOptions& raster) {
    const std::size_t x = text.find_first_of("xX");
    const std::string width = text.substr(0, x);
    const std::string height = x == std::string::npos ? width : text.substr(x + 1);
    if (!readSide(width, raster.width) || !readSide(height, raster.height))
        return badValue("--size", text,
                        "N or WxH, 2 to " + std::to_string(maximumRasterSide) + " cells a side");
    return {};
}

std::string parseScale(const std::string& text, double& scale) {
    if (!readNumber(text, scale) || !(scale > 0))
        return badValue("--scale", text, "a positive number of world units per sketch pixel");
    return {};
}

// "MIN:MAX", MIN below MAX.
std::string parseHeightRange(const std::string& text, std::optional<HeightRange>& range) {
    const std::size_t colon = text.find(':');
    HeightRange read;
    if (colon == std::string::npos || !readNumber(text.substr(0, colon), read.min) ||
        !readNumber(text.substr(colon + 1), read.max))
        return badValue("--height-range", text, "MIN:MAX, two numbers");
    if (read.empty())
        return "the height range " + text + " is empty: MIN must lie below MAX";
    range = read;
    return {};
}

// "X,Y": two numbers.
std::string parseOrigin(const std::string& text, Georeference& place) {
    const std::size_t comma = text.find(',');
    if (comma == std::string::npos || !readNumber(text.substr(0, comma), place.originX) ||
        !readNumber(text.substr(comma + 1), place.originY))
        return badValue("--origin", text, "X,Y, two numbers (map units)");
    return {};
}

// "NxM", 1 to 64 each way.
std::string parseTiles(const std::string& text, int& across, int& down) {
    const std::size_t x = text.find_first_of("xX");
    auto whole = [](const std::string& part, int& value) {
        const char* end = part.data() + part.size();
        const auto [stop, failure] = std::from_chars(part.data(), end, value);
        return failure == std::errc() && stop == end && value >= 1 && value <= 64;
    };
    if (x == std::string::npos || !whole(text.substr(0, x), across) ||
        !whole(text.substr(x + 1), down))
        return badValue("--tiles", text, "NxM, 1 to 64 tiles across and down");
    return {};
}

// The export options the format has no use for, and formats that need a file name.
std::string checkFitsFormat(const BuildOptions& options) {
    const std::string name = heightmapFormatName(options.format);
    for (const char* option :
         {"--normal-map", "--splat-map", "--tiles", "--origin", "--crs", "--exr-compression"}) {
        if (options.format == HeightmapFormat::grd && options.wasGiven(option))
            return std::string(option) + " does not apply to the grd format (choose a heightmap " +
                   "format with --format)";
        if (options.toStandardOutput() && options.wasGiven(option))
            return std::string(option) + " needs OUTPUT to be a file, not standard output";
    }
    if (options.wasGiven("--exr-compression") && options.format != HeightmapFormat::exr)
        return "--exr-compression applies only to the exr format, not to " + name;
    // The rules the window's export dialog shares, named by the options.
    const ExportFieldNames names;
    std::string refusal;
    if (options.wasGiven("--tiles"))
        refusal = tilesFormatRefusal(options.format, names.tiles);
    if (refusal.empty() && options.wasGiven("--origin"))
        refusal = placementRefusal(options.format, names.origin);
    if (refusal.empty() && options.wasGiven("--crs"))
        refusal = placementRefusal(options.format, names.crs);
    if (refusal.empty())
        refusal = ascCrsRefusal(options.format, options.place.crs, names.crs);
    if (refusal.empty())
        refusal = mapFileRefusal(options.normalMapFile, names.normalMap);
    if (refusal.empty())
        refusal = mapFileRefusal(options.splatMapFile, names.splatMap);
    if (!refusal.empty())
        return refusal;
    if (options.format == HeightmapFormat::grd) {
        for (const char* option : {"--size", "--scale", "--height-range"})
            if (options.wasGiven(option))
                return std::string(option) + " does not apply to the grd format, whose grid " +
                       "is written as it is (choose a heightmap format with --format)";
    }
    if (options.format == HeightmapFormat::obj && options.wasGiven("--size") && !options.natural)
        return "--size does not apply to the obj format: the mesh is the grid itself";
    if (!isSixteenBit(options.format) && options.wasGiven("--height-range"))
        return "--height-range applies only to the 16-bit formats png16 and r16, not to " + name;
    if (options.toStandardOutput() && isSixteenBit(options.format))
        return "the " + name + " format cannot go to standard output: its metadata file is " +
               "named after OUTPUT";
    if (options.toStandardOutput() && options.format == HeightmapFormat::exr)
        return "the exr format cannot go to standard output: OpenEXR writes to a file";
    return {};
}

// An option that takes one value and was given more than once: which of the values was meant
// cannot be known. --profile may be repeated.
std::string repeatedOption(const std::vector<std::string>& arguments) {
    static const char* const single[] = {"--stage",
                                         "--profile-randomness",
                                         "--drop-off-steps",
                                         "--detail-randomness",
                                         "--global-profile",
                                         "--format",
                                         "--size",
                                         "--scale",
                                         "--height-range",
                                         "--origin",
                                         "--crs",
                                         "--exr-compression",
                                         "--normal-map",
                                         "--splat-map",
                                         "--tiles"};
    for (const char* option : single) {
        const std::string name = option;
        int count = 0;
        for (const std::string& argument : arguments) {
            if (argument == "--")
                break;
            if (argument == name || argument.rfind(name + "=", 0) == 0)
                ++count;
        }
        if (count > 1)
            return name + " was given " + std::to_string(count) + " times: give it once";
    }
    return {};
}

// The option names of every option the command line used.
void noteGiven(const CLI::App& app, BuildOptions& options) {
    for (const CLI::Option* option : app.get_options()) {
        if (option->count() > 0 && !option->get_lnames().empty())
            options.given.insert("--" + option->get_lnames().front());
    }
}

// The natural terrain's options need --natural, and it needs a heightmap format.
std::string checkNatural(const BuildOptions& options) {
    for (const char* option :
         {"--slope", "--front-profile", "--detail", "--erosion", "--erosion-steps", "--seed"})
        if (options.wasGiven(option) && !options.natural)
            return std::string(option) + " applies only to the natural terrain (add --natural)";
    if (options.natural && options.format == HeightmapFormat::grd)
        return "--natural does not apply to the grd format, which is the terrain's own grid "
               "(choose a heightmap format with --format or OUTPUT's suffix)";
    return {};
}

// Every file the export writes must be a file of its own: a sidecar or a map named like another
// file of the set would silently replace it.
std::string checkSetDistinct(const BuildOptions& options) {
    if (options.toStandardOutput() || options.format == HeightmapFormat::grd)
        return {};
    return exportSetRefusal(exportSettings(options), options.outputFile);
}

} // namespace

HeightmapExport exportSettings(const BuildOptions& options) {
    HeightmapExport settings;
    settings.format = options.format;
    settings.raster = options.raster;
    settings.heightRange = options.heightRange;
    settings.place = options.place;
    settings.exrCompressed = options.exrCompressed;
    settings.normalMapFile = options.normalMapFile;
    settings.splatMapFile = options.splatMapFile;
    settings.tilesAcross = options.tilesAcross;
    settings.tilesDown = options.tilesDown;
    return settings;
}

std::string buildUsageLine() {
    return "Usage: mondrel-build [options] INPUT OUTPUT";
}

std::string buildVersion() {
    return std::string("mondrel-build ") + MONDREL_VERSION + "\n";
}

std::string buildUsage() {
    return buildUsageLine() +
           "\n"
           "Builds the terrain of a curve file or a project as Mondrel does and writes it to\n"
           "OUTPUT: a .grd grid, or a heightmap or mesh for other tools. INPUT is a curve file\n"
           "(.c2d) or a Mondrel project (.mondrel), told apart by their content. The format\n"
           "follows OUTPUT's suffix or --format:\n"
           "  .grd          grd    the terrain's own grid (the default)\n"
           "  .asc          asc    ESRI ASCII grid, heights in world units (GDAL, QGIS)\n"
           "  .png          png16  16-bit grayscale PNG (Unreal, Godot, Blender)\n"
           "  .r16, .raw    r16    headerless 16-bit little-endian samples (Unity, Unreal)\n"
           "  .exr          exr    32-bit float OpenEXR, heights in world units\n"
           "  .obj          obj    the terrain as a mesh (any 3D tool)\n"
           "A suffix not listed is an error unless --format names the format.\n"
           "Heightmaps are resampled onto square cells, the back of the terrain (north) in\n"
           "the first row. Beside a 16-bit or exr file, OUTPUT.json says what its samples\n"
           "stand for; beside png16 and exr, OUTPUT.aux.xml gives GDAL the cell size, the\n"
           "position and (png16) the offset and scale that turn samples into heights. With\n"
           "--size, cells beyond the terrain hold no data in asc (NODATA_value) and exr\n"
           "(NaN), and blend smoothly down to height 0 in png16 and r16. An obj mesh comes\n"
           "with texture coordinates and STEM.mtl, whose image (map_Kd) is the splat map\n"
           "when one is written, else STEM.png.\n"
           "OUTPUT \"-\" writes a grd, asc or obj file to standard output.\n"
           "\n"
           "A project is built at its own stage with its own profiles, randomness and drop-off:\n"
           "the same grid as \"Save Terrain\" in the window that saved it. The options given\n"
           "override its settings: --drop-off-steps presses \"Up\" or \"Down\" from its\n"
           "drop-off, --global-profile and --profile edit its profiles as in stage 1, and\n"
           "--stage may go on from its stage but not back.\n"
           "\n"
           "Options:\n"
           "  --stage N                  the stage whose terrain is written: 1, 2 or 3 (default "
           "3,\n"
           "                             for a project its own stage)\n"
           "  --profile-randomness V     profile randomness slider, 0 to 99, applied in stage 2\n"
           "                             (default 0)\n"
           "  --drop-off-steps K         in stage 2, press \"Up\" K times (K > 0) or \"Down\" -K\n"
           "                             times (K < 0); -100 to 100 (default 0)\n"
           "  --detail-randomness V      detail randomness slider, 0 to 99, applied in stage 3\n"
           "                             (default 20)\n"
           "  --global-profile FILE.c2d  a curve file whose points form a profile in the unit\n"
           "                             square, used as the edited global profile in stage 1\n"
           "  --profile COLUMN:FILE.c2d  a profile for that grid column, stored in stage 1 after\n"
           "                             the global profile; may be repeated\n"
           "  --format NAME              grd, asc, png16 (png), r16 (raw), exr or obj, in any\n"
           "                             letter case, whatever OUTPUT's suffix\n"
           "  --size N, --size WxH       the raster's size in cells, 2 to 16385 a side (engine\n"
           "                             sizes: 513, 1025, 2049, 4097, 1009, 2017, 4033); the\n"
           "                             terrain keeps its proportions, centred, on base height\n"
           "                             0 (default: native, cells of the median column spacing)\n"
           "  --scale M                  world units per sketch pixel, across and up (default 1)\n"
           "  --height-range MIN:MAX     the heights 0 and 65535 stand for in png16 and r16\n"
           "                             (default: the raster's lowest and highest); heights\n"
           "                             outside are clamped, and a line on standard error\n"
           "                             says how many\n"
           "  --origin X,Y               the map position of the terrain's own (0, 0): eastings\n"
           "                             and northings are shifted by it (asc, png16, exr)\n"
           "  --crs CRS                  the reference system: EPSG:CODE, WKT text or a .prj\n"
           "                             file (a regular file, at most 64 KiB); written as\n"
           "                             STEM.prj beside asc (a code as its WKT), into\n"
           "                             OUTPUT.aux.xml beside png16 and exr; a placed png16\n"
           "                             also gets a world file (STEM.pgw)\n"
           "  --exr-compression NAME     zip (default, lossless) or none\n"
           "  --normal-map FILE.png      a tangent-space normal map of the heightmap's raster,\n"
           "                             8-bit RGB = (n + 1) / 2 of (east, north, up): +Y up\n"
           "                             (OpenGL) as Unity, Godot and Blender expect; flip the\n"
           "                             green channel for Unreal (DirectX, +Y down)\n"
           "  --splat-map FILE.png       RGBA layer weights summing to 255 a pixel: G rock on\n"
           "                             slopes from 30 to 45 degrees, B snow from 70% to 85%\n"
           "                             of the height range, A low ground below 5% to 15%,\n"
           "                             R grass for the rest (smooth between thresholds)\n"
           "  --tiles NxM                split the raster into N across by M down tiles of\n"
           "                             2^n + 1 cells a side (33 to 4097) sharing their edge\n"
           "                             rows and columns, named STEM_xI_yJ.SUFFIX (y0 the\n"
           "                             northern row); --size must be N(2^n) + 1 by M(2^n) + 1,\n"
           "                             else the smallest such size holding the terrain is\n"
           "                             used; one OUTPUT.json describes the set\n"
           "  -q, --quiet                no progress display\n"
           "  -v, --verbose              the window's progress lines on standard output\n"
           "  --natural                  write the natural terrain: every column peaks at the\n"
           "                             drawn silhouette on a divide that wanders in plan,\n"
           "                             the mountain raised round it in two dimensions on a\n"
           "                             low foreland that rises from the raster's edge,\n"
           "                             detail at the raster's resolution and eroded\n"
           "                             drainage; for asc, png16, r16, exr and obj (a mesh\n"
           "                             of the raster)\n"
           "  --slope S                  the flanks' mean fall, height over distance, 0.05 to\n"
           "                             5: a summit H high reaches the base about H/S away\n"
           "                             (default 0.5)\n"
           "  --front-profile P          the flanks' shape (1-t)^P: 1 straight, above 1\n"
           "                             steep under the summits, gentle at the foot; 0.5 to\n"
           "                             4 (default 1.6)\n"
           "  --detail D                 how much detail covers the flanks, 0 to 1 (default\n"
           "                             0.5)\n"
           "  --erosion E                how deeply the drainage carves, 0 to 1 (default 0.5)\n"
           "  --erosion-steps N          erosion time steps, 1 to 500 (default 24): more\n"
           "                             follow the drainage more closely, and take longer\n"
           "  --seed N                   the random seed of the detail and the drainage, 0 to\n"
           "                             4294967295 (default 1)\n"
           "                             A project's own natural settings are used where\n"
           "                             these are not given, and a project saved with the\n"
           "                             natural terrain on writes it without --natural\n"
           "                             (the grd format stays the grid)\n"
           "  --quiet                    no progress lines\n"
           "  -h, --help                 this text\n"
           "  --version                  the program's version\n"
           "\n"
           "Every file of the export must be a file of its own: two that are one file are a\n"
           "usage error. Exports into one folder take turns: another waiting says \"another\n"
           "export is writing into FOLDER; waiting for it to finish\".\n"
           "\n"
           "On success nothing is printed but notices, and on a terminal a progress display\n"
           "on standard error for exports taking over a second. On failure one line on\n"
           "standard error says what is wrong (with the system's reason) and no file of the\n"
           "export is replaced. Exit status: 0 on success, 1 when the build or the write\n"
           "failed, 2 for a usage error.\n";
}

bool parseBuildOptions(const std::vector<std::string>& arguments, BuildOptions& options,
                       std::string& error) {
    CLI::App app("mondrel-build", "mondrel-build");
    // Our own --help text, so that the options read as the manual page does.
    app.set_help_flag();
    bool help = false;
    app.add_flag("-h,--help", help);
    app.add_flag("--version", options.version);
    app.add_flag("-q,--quiet", options.quiet);
    app.add_flag("-v,--verbose", options.verbose);
    app.add_option("--stage", options.stage)->check(CLI::Range(1, 3));
    app.add_option("--profile-randomness", options.profileRandomness)->check(CLI::Range(0, 99));
    app.add_option("--drop-off-steps", options.dropOffSteps)
        ->check(CLI::Range(-maxDropOffSteps, maxDropOffSteps));
    app.add_option("--detail-randomness", options.detailRandomness)->check(CLI::Range(0, 99));
    app.add_option("--global-profile", options.globalProfileFile)
        ->check([](const std::string& value) {
            return value.empty() ? std::string("a file name is needed") : std::string();
        });
    std::vector<std::string> columnProfiles;
    app.add_option("--profile", columnProfiles)->allow_extra_args(false);
    std::string formatText, sizeText, scaleText, rangeText, originText, crsText, compressionText,
        tilesText;
    app.add_option("--origin", originText);
    app.add_option("--crs", crsText);
    app.add_option("--exr-compression", compressionText);
    app.add_option("--tiles", tilesText);
    app.add_option("--normal-map", options.normalMapFile);
    app.add_option("--splat-map", options.splatMapFile);
    app.add_option("--format", formatText);
    app.add_option("--size", sizeText);
    app.add_option("--scale", scaleText);
    app.add_option("--height-range", rangeText);
    app.add_flag("--natural", options.natural);
    NaturalSettings& natural = options.naturalSettings;
    // A range lets NaN through (no comparison with it fails): it is refused first.
    const CLI::Validator aNumber(
        [](std::string& text) {
            return std::isnan(std::strtod(text.c_str(), nullptr))
                       ? "Value " + text + " is not a number"
                       : std::string();
        },
        "NUMBER");
    app.add_option("--slope", natural.slope)->check(aNumber)->check(CLI::Range(0.05, 5.0));
    app.add_option("--front-profile", natural.frontProfile)
        ->check(aNumber)
        ->check(CLI::Range(0.5, 4.0));
    app.add_option("--detail", natural.detail)->check(aNumber)->check(CLI::Range(0.0, 1.0));
    app.add_option("--erosion", natural.erosion)->check(aNumber)->check(CLI::Range(0.0, 1.0));
    app.add_option("--erosion-steps", natural.erosionSteps)->check(CLI::Range(1, 500));
    app.add_option("--seed", natural.seed);
    std::vector<std::string> files;
    app.add_option("files", files);

    error = repeatedOption(arguments);
    if (!error.empty())
        return false;
    // CLI11 takes the arguments last first.
    std::vector<std::string> reversed(arguments.rbegin(), arguments.rend());
    try {
        app.parse(reversed);
    } catch (const CLI::ParseError& failure) {
        error = failure.what();
        if (error.empty())
            error = "bad command line";
        return false;
    }
    noteGiven(app, options);
    options.help = help;
    for (const std::string& text : columnProfiles) {
        BuildOptions::ColumnProfile profile;
        error = parseColumnProfile(text, profile);
        if (!error.empty())
            return false;
        options.columnProfiles.push_back(profile);
    }
    if (options.wasGiven("--format") && !heightmapFormatNamed(formatText, options.format)) {
        error = badValue("--format", formatText, "grd, asc, png16 (png), r16 (raw), exr or obj");
        return false;
    }
    if (options.wasGiven("--size"))
        error = parseSize(sizeText, options.raster);
    if (error.empty() && options.wasGiven("--scale"))
        error = parseScale(scaleText, options.raster.scale);
    if (error.empty() && options.wasGiven("--height-range"))
        error = parseHeightRange(rangeText, options.heightRange);
    if (error.empty() && options.wasGiven("--origin"))
        error = parseOrigin(originText, options.place);
    if (error.empty() && options.wasGiven("--crs"))
        readCrs(crsText, options.place.crs, error);
    if (error.empty() && options.wasGiven("--tiles"))
        error = parseTiles(tilesText, options.tilesAcross, options.tilesDown);
    if (error.empty() && options.wasGiven("--exr-compression")) {
        if (compressionText == "zip" || compressionText == "none")
            options.exrCompressed = compressionText == "zip";
        else
            error = badValue("--exr-compression", compressionText, "zip or none");
    }
    if (!error.empty())
        return false;
    if (options.help || options.version)
        return true;
    if (files.size() != 2) {
        error = "expected INPUT and OUTPUT (see --help)";
        return false;
    }
    options.inputFile = files[0];
    options.outputFile = files[1];
    if (!options.wasGiven("--format") && !options.toStandardOutput() &&
        !heightmapFormatForSuffix(options.outputFile, options.format)) {
        error = "OUTPUT " + options.outputFile + " has a suffix no format is known by: use " +
                ".grd, .asc, .png, .r16, .raw, .exr or .obj, or name the format with --format";
        return false;
    }
    error = checkFitsFormat(options);
    if (error.empty())
        error = checkNatural(options);
    if (error.empty() && options.tiled() && options.wasGiven("--size"))
        // A size given must split into the tiles; only a native size needs the terrain first.
        error = tilesFitRefusal(options.tilesAcross, options.tilesDown, options.raster, 0, 0);
    if (error.empty())
        error = checkSetDistinct(options);
    return error.empty();
}
