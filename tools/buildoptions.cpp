#include "tools/buildoptions.h"

#include <CLI/CLI.hpp>
#include <algorithm>
#include <charconv>
#include <cmath>

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

// The export options the format has no use for, and formats that need a file name.
std::string checkFitsFormat(const BuildOptions& options) {
    const std::string name = heightmapFormatName(options.format);
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

} // namespace

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
           "Heightmaps are resampled onto square cells, the back of the terrain in the first\n"
           "row. Beside a 16-bit file, OUTPUT.json says what its samples stand for.\n"
           "OUTPUT \"-\" writes a grd, asc or obj file to standard output; progress lines are\n"
           "then silenced.\n"
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
           "  --format NAME              grd, asc, png16, r16, exr or obj, whatever OUTPUT's\n"
           "                             suffix\n"
           "  --size N, --size WxH       the raster's size in cells, 2 to 16385 a side (engine\n"
           "                             sizes: 513, 1025, 2049, 4097, 1009, 2017, 4033); the\n"
           "                             terrain keeps its proportions, centred, on base height\n"
           "                             0 (default: native, cells of the median column spacing)\n"
           "  --scale M                  world units per sketch pixel, across and up (default 1)\n"
           "  --height-range MIN:MAX     the heights 0 and 65535 stand for in png16 and r16\n"
           "                             (default: the raster's lowest and highest); heights\n"
           "                             outside are clamped, and a line on standard error\n"
           "                             says how many\n"
           "  --natural                  write the natural terrain: the silhouette as a crest\n"
           "                             held exactly, flanks falling to the base in front and\n"
           "                             behind (the back as the terrain's profiles), detail\n"
           "                             at the raster's resolution and eroded drainage; for\n"
           "                             asc, png16, r16, exr and obj (a mesh of the raster)\n"
           "  --slope S                  the flanks' mean fall, height over distance, 0.05 to\n"
           "                             5: a crest H high reaches the base H/S in front and\n"
           "                             behind (default 0.5)\n"
           "  --front-profile P          the front flank's shape (1-t)^P: 1 straight, above 1\n"
           "                             steep under the crest, gentle at the foot; 0.5 to 4\n"
           "                             (default 1.6)\n"
           "  --detail D                 how much detail covers the flanks, 0 to 1 (default\n"
           "                             0.5)\n"
           "  --erosion E                how deeply the drainage carves, 0 to 1 (default 0.5)\n"
           "  --erosion-steps N          erosion time steps, 1 to 500 (default 24): more\n"
           "                             follow the drainage more closely, and take longer\n"
           "  --seed N                   the random seed of the detail and the drainage, 0 to\n"
           "                             4294967295 (default 1)\n"
           "  --quiet                    no progress lines\n"
           "  -h, --help                 this text\n"
           "  --version                  the program's version\n"
           "\n"
           "Progress lines go to standard output. On failure one line on standard error says\n"
           "what is wrong and no output file is written. Exit status: 0 on success, 1 when the\n"
           "build or the write failed, 2 for a usage error.\n";
}

bool parseBuildOptions(const std::vector<std::string>& arguments, BuildOptions& options,
                       std::string& error) {
    CLI::App app("mondrel-build", "mondrel-build");
    // Our own --help text, so that the options read as the manual page does.
    app.set_help_flag();
    bool help = false;
    app.add_flag("-h,--help", help);
    app.add_flag("--version", options.version);
    app.add_flag("--quiet", options.quiet);
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
    std::string formatText, sizeText, scaleText, rangeText;
    app.add_option("--format", formatText);
    app.add_option("--size", sizeText);
    app.add_option("--scale", scaleText);
    app.add_option("--height-range", rangeText);
    app.add_flag("--natural", options.natural);
    NaturalSettings& natural = options.naturalSettings;
    app.add_option("--slope", natural.slope)->check(CLI::Range(0.05, 5.0));
    app.add_option("--front-profile", natural.frontProfile)->check(CLI::Range(0.5, 4.0));
    app.add_option("--detail", natural.detail)->check(CLI::Range(0.0, 1.0));
    app.add_option("--erosion", natural.erosion)->check(CLI::Range(0.0, 1.0));
    app.add_option("--erosion-steps", natural.erosionSteps)->check(CLI::Range(1, 500));
    app.add_option("--seed", natural.seed);
    std::vector<std::string> files;
    app.add_option("files", files);

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
        error = badValue("--format", formatText, "grd, asc, png16, r16, exr or obj");
        return false;
    }
    if (options.wasGiven("--size"))
        error = parseSize(sizeText, options.raster);
    if (error.empty() && options.wasGiven("--scale"))
        error = parseScale(scaleText, options.raster.scale);
    if (error.empty() && options.wasGiven("--height-range"))
        error = parseHeightRange(rangeText, options.heightRange);
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
    if (!options.wasGiven("--format"))
        options.format = heightmapFormatForFile(options.outputFile);
    error = checkFitsFormat(options);
    if (error.empty())
        error = checkNatural(options);
    return error.empty();
}
