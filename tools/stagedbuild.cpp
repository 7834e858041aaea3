#include "tools/stagedbuild.h"

#include <charconv>
#include <cstdio>
#include <cstdlib>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

#include "curve/profilepipeline.h"
#include "printing/printedlines.h"
#include "project/projectfile.h"
#include "sketch/curvefile.h"
#include "sketch/sketchmodel.h"
#include "sketch/terrainsave.h"

namespace {

bool insideUnitSquare(const gmVector2& point) {
    return point[0] >= 0.0 && point[0] <= 1.0 && point[1] >= 0.0 && point[1] <= 1.0;
}

// Reads a profile file as the profile view would take it: unit-square points in their
// editing form.
bool readProfile(const std::string& name, SketchModel::PointList& profile, std::string& error) {
    int declared = 0;
    switch (readCurveFile(name, profile, declared)) {
    case CurveReadResult::ok:
        break;
    case CurveReadResult::cannotOpen:
        error = "cannot open profile file " + name;
        return false;
    case CurveReadResult::notCurveFile:
        error = "profile file " + name + " is not a curve file";
        return false;
    case CurveReadResult::tooLarge:
        error = "profile file " + name + " is larger than 256 MiB";
        return false;
    }
    if (profile.size() < 2) {
        error = "profile file " + name + " needs at least 2 points";
        return false;
    }
    for (const gmVector2& point : profile) {
        if (!insideUnitSquare(point)) {
            error = "profile file " + name + " has points outside the unit square";
            return false;
        }
    }
    profileForEditing(profile);
    return true;
}

struct ProfileEdits {
    bool hasGlobal = false;
    SketchModel::PointList global;
    std::vector<SketchModel::PointList> columns; // parallel to options.columnProfiles
};

bool readProfiles(const BuildOptions& options, ProfileEdits& edits, std::string& error) {
    if (!options.globalProfileFile.empty()) {
        edits.hasGlobal = true;
        if (!readProfile(options.globalProfileFile, edits.global, error))
            return false;
    }
    for (const BuildOptions::ColumnProfile& column : options.columnProfiles) {
        edits.columns.emplace_back();
        if (!readProfile(column.file, edits.columns.back(), error))
            return false;
    }
    return true;
}

// The stage-1 edits: first the global profile, then each column in the order given.
bool applyProfiles(const BuildOptions& options, const ProfileEdits& edits, SketchModel& model,
                   std::string& error) {
    SketchModel::PointList handedOut;
    if (edits.hasGlobal) {
        model.getGlobalProfile(handedOut);
        model.receiveProfileChange(edits.global);
    }
    for (std::size_t k = 0; k < edits.columns.size(); ++k) {
        const int column = options.columnProfiles[k].column;
        if (model.selectProfile(column) < 0) {
            error = "column " + std::to_string(column) + " is outside the grid (columns 0 to " +
                    std::to_string(model.gridColumns() - 1) + ")";
            return false;
        }
        model.getProfile(handedOut);
        model.receiveProfileChange(edits.columns[k]);
    }
    return true;
}

bool advance(SketchModel& model, std::string& error) {
    if (!model.checkStage(error))
        return false;
    model.next();
    return true;
}

// The metadata's account of the build: the model's settings and the profile files used.
nlohmann::ordered_json buildSource(const BuildOptions& options, const SketchModel& model) {
    nlohmann::ordered_json source = terrainSource(model, "mondrel-build", options.inputFile);
    nlohmann::ordered_json& settings = source["settings"];
    if (!options.globalProfileFile.empty())
        settings["globalProfile"] = options.globalProfileFile;
    if (!options.columnProfiles.empty()) {
        nlohmann::ordered_json& profiles = settings["profiles"];
        for (const BuildOptions::ColumnProfile& profile : options.columnProfiles)
            profiles.push_back({{"column", profile.column}, {"file", profile.file}});
    }
    return source;
}

std::string number(double value) {
    char text[32];
    return std::string(text, std::to_chars(text, text + sizeof text, value).ptr);
}

bool writeOutput(const BuildOptions& options, const SketchModel& model, std::string& error,
                 std::vector<std::string>* notices) {
    HeightmapExport settings;
    settings.format = options.format;
    settings.raster = options.raster;
    settings.heightRange = options.heightRange;
    if (options.toStandardOutput())
        return options.natural
                   ? writeNaturalTerrainTo(stdout, model, settings, options.naturalSettings, error)
                   : writeTerrainTo(stdout, model, settings, error);
    settings.source = buildSource(options, model);
    ExportReport report;
    const bool saved = options.natural
                           ? saveNaturalTerrainAs(model, options.outputFile, settings,
                                                  options.naturalSettings, error, &report)
                           : saveTerrainAs(model, options.outputFile, settings, error, &report);
    if (!saved)
        return false;
    if (notices && report.clampedCells > 0)
        notices->push_back(std::to_string(report.clampedCells) + " of " +
                           std::to_string(report.width) + "x" + std::to_string(report.height) +
                           " cells lay outside the height range " + number(report.heightRange.min) +
                           ":" + number(report.heightRange.max) + " and were clamped to it");
    return true;
}

// Whether the output can be written at all, found out before any work is done: its folder
// must exist, and either the folder or an existing file must be writable. The reason is the
// one the failed save would give.
bool outputLooksWritable(const std::string& name, std::string& error) {
    if (name == "-")
        return true;
    const std::size_t slash = name.find_last_of('/');
    const std::string folder =
        slash == std::string::npos ? "." : (slash == 0 ? "/" : name.substr(0, slash));
    struct stat info {};
    const bool folderThere = ::stat(folder.c_str(), &info) == 0 && S_ISDIR(info.st_mode);
    const bool targetIsFolder = ::stat(name.c_str(), &info) == 0 && S_ISDIR(info.st_mode);
    const bool writable = ::access(folder.c_str(), W_OK) == 0 || ::access(name.c_str(), W_OK) == 0;
    if (folderThere && !targetIsFolder && writable)
        return true;
    error = "*** Error *** fopen returned NULL when writing to file: " + name + ".";
    return false;
}

// From a curve in stage 0 on, as the window is driven from a freshly drawn or loaded curve.
bool walkFromCurve(const BuildOptions& options, const ProfileEdits& edits, SketchModel& model,
                   std::string& error) {
    if (!advance(model, error) || !applyProfiles(options, edits, model, error))
        return false;
    if (options.stage >= 2) {
        if (!advance(model, error))
            return false;
        model.randomnessChanged(options.profileRandomness);
        for (int press = 0; press < std::abs(options.dropOffSteps); ++press)
            model.changeBottomDropOff(options.dropOffSteps > 0);
    }
    if (options.stage >= 3) {
        // The refined terrain is built once, at the requested randomness: the same grid as
        // entering stage 3 and then moving the slider.
        model.presetDetailRandomness(options.detailRandomness);
        if (!advance(model, error))
            return false;
    }
    return true;
}

SketchState atStage(SketchState state, int stage) {
    state.stage = stage;
    return state;
}

// From a project's state on. The terrain is a function of the state, so the settings the
// command line gives are put into the state, the profile edits and the drop-off presses made
// where the window makes them (stages 1 and 2), and the terrain is built at the end.
bool walkFromProject(const BuildOptions& options, const ProfileEdits& edits, SketchModel& model,
                     std::string& error) {
    Project project;
    if (!readProjectFile(options.inputFile, project, error))
        return false;
    SketchState state = project.sketch;
    const int stage = options.wasGiven("--stage") ? options.stage : state.stage;
    if (state.stage == 0) {
        if (!options.wasGiven("--stage")) {
            error = "the project " + options.inputFile +
                    " is at stage 0 and holds no terrain yet (give --stage)";
            return false;
        }
        model.restore(state);
        if (model.curve().empty()) {
            error = "the project " + options.inputFile + " holds no curve points";
            return false;
        }
        return walkFromCurve(options, edits, model, error);
    }
    if (stage < state.stage) {
        error = "the project " + options.inputFile + " is at stage " + std::to_string(state.stage) +
                "; --stage " + std::to_string(stage) + " cannot go back";
        return false;
    }
    if (edits.hasGlobal || !edits.columns.empty()) {
        model.restore(atStage(state, 1));
        if (!applyProfiles(options, edits, model, error))
            return false;
        state = atStage(model.state(), state.stage);
    }
    if (stage >= 2 && (options.wasGiven("--profile-randomness") || options.dropOffSteps != 0)) {
        model.restore(atStage(state, 2));
        if (options.wasGiven("--profile-randomness"))
            model.randomnessChanged(options.profileRandomness);
        for (int press = 0; press < std::abs(options.dropOffSteps); ++press)
            model.changeBottomDropOff(options.dropOffSteps > 0);
        state = atStage(model.state(), state.stage);
    }
    if (stage == 3 && options.wasGiven("--detail-randomness"))
        state.detailRandomness = SketchModel::sliderRandomness(options.detailRandomness);
    model.restore(atStage(state, stage));
    return true;
}

} // namespace

bool runStagedBuild(const BuildOptions& options, std::string& error,
                    std::vector<std::string>* notices) {
    SketchModel model;
    // With the grid on standard output nothing else may go there.
    model.setPrinting(!(options.quiet || options.toStandardOutput()));

    if (!outputLooksWritable(options.outputFile, error))
        return false;
    ProfileEdits edits;
    if (!readProfiles(options, edits, error))
        return false;
    if (looksLikeProjectFile(options.inputFile)) {
        if (!walkFromProject(options, edits, model, error))
            return false;
        return writeOutput(options, model, error, notices);
    }
    SketchModel::FileOutcome loaded;
    if (!model.loadCurve(options.inputFile, error, &loaded))
        return false;
    // Said even when quiet: a damaged file would otherwise build a different terrain silently.
    if (notices && loaded.pointsRead < loaded.declaredPoints)
        notices->push_back("only " + std::to_string(loaded.pointsRead) + " of the " +
                           std::to_string(loaded.declaredPoints) + " points declared in " +
                           options.inputFile + " could be read");
    if (model.curve().empty()) {
        error = options.inputFile + " holds no curve points";
        return false;
    }
    if (!walkFromCurve(options, edits, model, error))
        return false;
    return writeOutput(options, model, error, notices);
}
