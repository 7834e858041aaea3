#include "tools/stagedbuild.h"

#include <cerrno>
#include <charconv>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

#include "curve/profilepipeline.h"
#include "fileio/curvefile.h"
#include "heightmap/exportset.h"
#include "printing/printedlines.h"
#include "project/projectfile.h"
#include "sketch/failurereasons.h"
#include "sketch/sketchsession.h"
#include "sketch/terrainsave.h"
#include "tools/terminalprogress.h"

namespace {

bool insideUnitSquare(const gmVector2& point) {
    return point[0] >= 0.0 && point[0] <= 1.0 && point[1] >= 0.0 && point[1] <= 1.0;
}

// Reads a profile file as the profile view would take it: unit-square points in their
// editing form.
bool readProfile(const std::string& name, SketchModel::PointList& profile, std::string& error) {
    int declared = 0;
    int systemError = 0;
    switch (readCurveFile(name, profile, declared, nullptr, &systemError)) {
    case CurveReadResult::ok:
        break;
    case CurveReadResult::cannotOpen:
        error = "profile file " + name + " " + unreadableReason(systemError);
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
bool applyProfiles(const BuildOptions& options, const ProfileEdits& edits, SketchSession& session,
                   std::string& error) {
    if (edits.hasGlobal)
        session.setGlobalProfile(edits.global);
    for (std::size_t k = 0; k < edits.columns.size(); ++k) {
        const int column = options.columnProfiles[k].column;
        if (session.selectColumn(column) < 0) {
            error = "column " + std::to_string(column) + " is outside the grid (columns 0 to " +
                    std::to_string(session.model().gridColumns() - 1) + ")";
            return false;
        }
        session.setSelectedProfile(edits.columns[k]);
    }
    return true;
}

void pressDropOff(const BuildOptions& options, SketchSession& session) {
    for (int press = 0; press < std::abs(options.dropOffSteps); ++press)
        session.changeBottomDropOff(options.dropOffSteps > 0);
}

// Next, except that from a curve the builder says what is wrong with it in its own words
// (the window's wording asks the user to draw).
bool advance(SketchSession& session, std::string& error) {
    const std::size_t points = session.model().curve().size();
    if (session.stage() == Stage::curveDrawing && !SketchModel::curveLongEnough(points)) {
        error = SketchModel::curveLengthProblem(points);
        return false;
    }
    return session.next(error);
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
    HeightmapExport settings = exportSettings(options);
    if (options.toStandardOutput())
        return options.natural
                   ? writeNaturalTerrainTo(stdout, model, settings, options.naturalSettings, error)
                   : writeTerrainTo(stdout, model, settings, error);
    if (options.format == HeightmapFormat::grd) {
        // The grid file's own messages are the window's; the builder gives the system's reason.
        SketchModel::FileOutcome outcome;
        if (model.exportGRD(options.outputFile, error, &outcome))
            return true;
        if (!outcome.reason.empty())
            error = "could not write " + options.outputFile + ": " + outcome.reason;
        return false;
    }
    settings.source = buildSource(options, model);
    // Long exports show how far they are, on a terminal only and unless told to be quiet.
    TerminalProgress progress(stderr, !options.quiet && !options.verbose);
    settings.progress = [&progress](double share) { progress.report(share); };
    // Said even when quiet: otherwise a builder waiting for another looks hung.
    settings.waiting = [](const std::string& folder) {
        std::fprintf(stderr,
                     "mondrel-build: another export is writing into %s; waiting for it to "
                     "finish\n",
                     folder.c_str());
    };
    ExportReport report;
    const bool saved = options.natural
                           ? saveNaturalTerrainAs(model, options.outputFile, settings,
                                                  options.naturalSettings, error, &report)
                           : saveTerrainAs(model, options.outputFile, settings, error, &report);
    progress.finish(saved);
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
// system's, as the failed save would give it.
bool outputLooksWritable(const std::string& name, std::string& error) {
    if (name == "-")
        return true;
    const std::size_t slash = name.find_last_of('/');
    const std::string folder =
        slash == std::string::npos ? "." : (slash == 0 ? "/" : name.substr(0, slash));
    struct stat info {};
    int reason = 0;
    if (::stat(folder.c_str(), &info) != 0)
        reason = errno;
    else if (!S_ISDIR(info.st_mode))
        reason = ENOTDIR;
    else if (::stat(name.c_str(), &info) == 0 && S_ISDIR(info.st_mode))
        reason = EISDIR;
    else if (::access(folder.c_str(), W_OK) != 0 && ::access(name.c_str(), W_OK) != 0)
        reason = errno == ENOENT ? EACCES : errno;
    if (reason == 0)
        return true;
    error = "cannot write " + name + ": " + std::strerror(reason);
    return false;
}

// A pipe or a device given as input would block the build for ever, or feed it without end:
// the input is looked at before anything opens it. Files that are missing or cannot be read
// are named by the readers, in the same words.
bool inputIsAFile(const std::string& name, std::string& error) {
    struct stat info {};
    if (::stat(name.c_str(), &info) != 0 || S_ISREG(info.st_mode))
        return true;
    error = "*** Error *** " + name +
            (S_ISDIR(info.st_mode) ? " is a folder" : " is not a file (a pipe or a device)");
    return false;
}

// Whether two names stand for one file (links followed); false when either does not exist.
bool sameFile(const std::string& a, const std::string& b) {
    struct stat first {
    }, second{};
    return ::stat(a.c_str(), &first) == 0 && ::stat(b.c_str(), &second) == 0 &&
           first.st_dev == second.st_dev && first.st_ino == second.st_ino;
}

// No file of the export may replace a file the build reads: the curve or project, or a
// profile.
bool outputIsNoInput(const BuildOptions& options, std::string& error) {
    if (options.toStandardOutput())
        return true;
    std::vector<std::string> inputs{options.inputFile};
    if (!options.globalProfileFile.empty())
        inputs.push_back(options.globalProfileFile);
    for (const BuildOptions::ColumnProfile& profile : options.columnProfiles)
        inputs.push_back(profile.file);
    for (const std::string& input : inputs) {
        if (sameFile(input, options.outputFile)) {
            error = "OUTPUT " + options.outputFile + " is the input file " + input +
                    ": it would be overwritten";
            return false;
        }
    }
    for (const ExportSetFile& file : exportSetFiles(exportSettings(options), options.outputFile)) {
        for (const std::string& input : inputs) {
            if (sameFile(file.file, input)) {
                error = file.file + " is the input file " + input + ": it would be overwritten";
                return false;
            }
        }
    }
    return true;
}

// From a curve in stage 0 on, as the window is driven from a freshly drawn or loaded curve.
bool walkFromCurve(const BuildOptions& options, const ProfileEdits& edits, SketchSession& session,
                   std::string& error) {
    if (!advance(session, error) || !applyProfiles(options, edits, session, error))
        return false;
    if (options.stage >= 2) {
        if (!advance(session, error))
            return false;
        session.setSliderValue(options.profileRandomness);
        pressDropOff(options, session);
    }
    if (options.stage >= 3) {
        // The refined terrain is built once, at the requested randomness: the same grid as
        // entering stage 3 and then moving the slider.
        session.setDetailRandomness(options.detailRandomness);
        if (!advance(session, error))
            return false;
    }
    return true;
}

// The options with the project's natural terrain: its settings, each one the command line
// gives taking its place, and switched on when the project has it on (or --natural is given).
// The grd format is the terrain's own grid and has no natural form: it stays the grid.
BuildOptions withProjectNatural(const BuildOptions& options, const SketchModel& model) {
    BuildOptions merged = options;
    NaturalSettings& natural = merged.naturalSettings;
    const NaturalSettings& given = options.naturalSettings;
    natural = model.naturalSettings();
    if (options.wasGiven("--slope"))
        natural.slope = given.slope;
    if (options.wasGiven("--front-profile"))
        natural.frontProfile = given.frontProfile;
    if (options.wasGiven("--detail"))
        natural.detail = given.detail;
    if (options.wasGiven("--erosion"))
        natural.erosion = given.erosion;
    if (options.wasGiven("--erosion-steps"))
        natural.erosionSteps = given.erosionSteps;
    if (options.wasGiven("--seed"))
        natural.seed = given.seed;
    if (model.naturalTerrain() && options.format != HeightmapFormat::grd)
        merged.natural = true;
    return merged;
}

SketchState atStage(SketchState state, int stage) {
    state.stage = stage;
    return state;
}

// From a project's state on. The terrain is a function of the state, so the settings the
// command line gives are put into the state, the profile edits and the drop-off presses made
// where the window makes them (stages 1 and 2), and the terrain is built at the end.
bool walkFromProject(const BuildOptions& options, const ProfileEdits& edits, SketchSession& session,
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
        session.applyProject(project);
        if (session.model().curve().empty()) {
            error = "the project " + options.inputFile + " holds no curve points";
            return false;
        }
        return walkFromCurve(options, edits, session, error);
    }
    if (stage < state.stage) {
        error = "the project " + options.inputFile + " is at stage " + std::to_string(state.stage) +
                "; --stage " + std::to_string(stage) + " cannot go back";
        return false;
    }
    if (edits.hasGlobal || !edits.columns.empty()) {
        session.restore(atStage(state, 1));
        if (!applyProfiles(options, edits, session, error))
            return false;
        state = atStage(session.state(), state.stage);
    }
    if (stage >= 2 && (options.wasGiven("--profile-randomness") || options.dropOffSteps != 0)) {
        session.restore(atStage(state, 2));
        if (options.wasGiven("--profile-randomness"))
            session.setSliderValue(options.profileRandomness);
        pressDropOff(options, session);
        state = atStage(session.state(), state.stage);
    }
    if (stage == 3 && options.wasGiven("--detail-randomness"))
        state.detailRandomness = RandomnessSlider::toRandomness(options.detailRandomness);
    project.sketch = atStage(state, stage);
    session.applyProject(project);
    return true;
}

} // namespace

bool runStagedBuild(const BuildOptions& options, std::string& error,
                    std::vector<std::string>* notices) {
    SketchSession session;
    // With the grid on standard output nothing else may go there.
    // The window's lines only when asked for, and never where the grid goes.
    session.setPrinting(options.verbose && !options.quiet && !options.toStandardOutput());

    if (!outputIsNoInput(options, error) || !outputLooksWritable(options.outputFile, error))
        return false;
    if (!inputIsAFile(options.inputFile, error))
        return false;
    ProfileEdits edits;
    if (!readProfiles(options, edits, error))
        return false;
    if (looksLikeProjectFile(options.inputFile)) {
        if (!walkFromProject(options, edits, session, error))
            return false;
        return writeOutput(withProjectNatural(options, session.model()), session.model(), error,
                           notices);
    }
    SketchModel::FileOutcome loaded;
    if (!session.openCurve(options.inputFile, error, &loaded))
        return false;
    // Said even when quiet: a damaged file would otherwise build a different terrain silently.
    if (notices && loaded.pointsRead < loaded.declaredPoints)
        notices->push_back("only " + std::to_string(loaded.pointsRead) + " of the " +
                           std::to_string(loaded.declaredPoints) + " points declared in " +
                           options.inputFile + " could be read");
    if (session.model().curve().empty()) {
        error = options.inputFile + " holds no curve points";
        return false;
    }
    if (!walkFromCurve(options, edits, session, error))
        return false;
    return writeOutput(options, session.model(), error, notices);
}
