#pragma once

#include <optional>
#include <set>
#include <string>
#include <vector>

#include "heightmap/georeference.h"
#include "heightmap/heightmapexport.h"
#include "heightmap/heightmapformat.h"
#include "heightmap/heightraster.h"
#include "heightmap/rasterwriters.h"
#include "natural/naturalterrain.h"
#include "sketch/sketchmodel.h"

// What mondrel-build is asked to do: the command line, checked and parsed.
struct BuildOptions {
    struct ColumnProfile {
        int column = 0;
        std::string file;
    };

    std::string inputFile;  // a curve file or a project
    std::string outputFile; // "-" for standard output
    // --format, or else the one OUTPUT's suffix stands for (grd for ".grd", none, or "-").
    HeightmapFormat format = HeightmapFormat::grd;
    RasterOptions raster;                   // --size (native when not given) and --scale
    std::optional<HeightRange> heightRange; // --height-range
    Georeference place;                     // --origin and --crs
    bool exrCompressed = true;              // --exr-compression zip (default) or none
    std::string normalMapFile;              // --normal-map
    std::string splatMapFile;               // --splat-map
    int tilesAcross = 0;                    // --tiles NxM
    int tilesDown = 0;
    int stage = 3;             // a project's own stage unless given
    int profileRandomness = 0; // slider value, 0 to 99, applied in stage 2
    int dropOffSteps = 0;      // "Up" presses when positive, "Down" presses when negative
    int detailRandomness = RandomnessSlider::defaultDetailValue; // slider value, 0 to 99, stage 3
    std::string globalProfileFile;
    std::vector<ColumnProfile> columnProfiles; // in the order given
    // --natural: the natural terrain instead of the resampled grid, with its settings
    // (--slope, --front-profile, --detail, --erosion, --erosion-steps, --seed).
    bool natural = false;
    NaturalSettings naturalSettings;
    bool quiet = false;   // -q, --quiet: no progress on a terminal either
    bool verbose = false; // -v, --verbose: the window's progress lines on standard output
    bool help = false;
    bool version = false;
    // The long names of the options given on the command line ("--stage", ...), so that
    // settings read from elsewhere know which ones the command line overrides.
    std::set<std::string> given;

    bool toStandardOutput() const { return outputFile == "-"; }
    bool tiled() const { return tilesAcross > 0 && tilesDown > 0; }
    bool wasGiven(const std::string& option) const { return given.count(option) > 0; }
};

// The export settings the options ask for (format, size, range, place, maps, tiles): what
// exportHeightmap is given, without the source, progress and waiting.
HeightmapExport exportSettings(const BuildOptions& options);

// The text of --help.
std::string buildUsage();
// Its first line, printed after a usage error.
std::string buildUsageLine();
// The text of --version.
std::string buildVersion();

// Parses the arguments after the program name. False with a one-line reason on a bad option,
// a bad value, a missing file argument, an export option the format has no use for, a
// format that cannot go to standard output, a --size that does not split into the --tiles, or
// two files of the export set that are one file (all usage errors); with --help or --version the
// file arguments may be missing.
bool parseBuildOptions(const std::vector<std::string>& arguments, BuildOptions& options,
                       std::string& error);
