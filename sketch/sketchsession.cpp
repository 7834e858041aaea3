#include "sketch/sketchsession.h"

#include <algorithm>

#include "project/projectfile.h"
#include "sketch/failurereasons.h"
#include "sketch/terrainsave.h"

bool SketchSession::next(std::string& reason) {
    if (!model_.checkStage(reason))
        return false;
    model_.next();
    return true;
}

StageControls SketchSession::controls() const {
    using C = SketchCommand;
    const bool selected = hasSelectedColumn();
    StageControls shown{{"Process Line", C::processLine, true},
                        {"Clear Curve", C::clearCurve, true},
                        {"Reset", C::fitDrawing, true,
                         "Reset: shows the whole picture at the drawing's own scale again, as "
                         "Home does (the curve stays)."},
                        false,
                        RandomnessSlider::toValue(model_.profileRandomness())};
    switch (stage()) {
    case Stage::curveDrawing:
        break;
    case Stage::profileSelection:
        shown.firstOption = {"Edit Global Profile", C::editGlobalProfile, true};
        shown.secondOption = {"Edit Selected Profile", C::editSelectedProfile, selected};
        shown.reset = {"Delete Selected Profile", C::deleteSelectedProfile, selected,
                       "Delete Selected Profile: the selected column's own profile goes; the "
                       "column follows the global profile again."};
        break;
    case Stage::randomness:
        shown.firstOption = {"Up", C::dropOffUp, true};
        shown.secondOption = {"Down", C::dropOffDown, true};
        shown.reset = {"Reset", C::resetStageSettings, true,
                       "Reset: the randomness back to 0 and the bottom drop-off back to 0.3."};
        shown.sliderEnabled = true;
        break;
    case Stage::rowRefinement:
        // Refining and coarsening by hand are not offered; the slider shuffles the details.
        shown.firstOption = {"Refine", C::none, false};
        shown.secondOption = {"Coarsen", C::none, false};
        shown.reset = {"Reset", C::resetStageSettings, true,
                       "Reset: the detail randomness back to 20."};
        shown.sliderEnabled = true;
        shown.sliderValue = RandomnessSlider::toValue(model_.detailRandomness());
        break;
    }
    return shown;
}

bool SketchSession::beginProfileEdit(bool global) {
    if (!global && !hasSelectedColumn())
        return false;
    editedColumn_ = global ? -1 : model_.currentProfile();
    beforeProfileEdit_ = model_.state();
    return true;
}

void SketchSession::editProfile(const PointList& profile) {
    if (editedColumn_ < 0) {
        model_.setGlobalProfile(profile);
        return;
    }
    const int selected = model_.currentProfile();
    model_.selectProfile(editedColumn_);
    model_.setSelectedProfile(profile);
    model_.selectProfile(selected);
}

void SketchSession::cancelProfileEdit() {
    model_.restore(beforeProfileEdit_);
}

int SketchSession::ownColumnProfiles() const {
    const auto& profiles = model_.profiles();
    return static_cast<int>(std::count_if(profiles.begin(), profiles.end(), [this](const auto& p) {
        return p != model_.globalProfile();
    }));
}

bool SketchSession::openCurve(const std::string& name, std::string& message,
                              SketchModel::FileOutcome* outcome) {
    if (!model_.loadCurve(name, message, outcome)) {
        // A project opened as a curve is told where it belongs.
        std::string notice;
        if (outcome && !(notice = otherKindNotice(name, FileKind::curve)).empty())
            outcome->failure = notice;
        return false;
    }
    curveFile_ = name;
    return true;
}

bool SketchSession::saveCurve(const std::string& name, std::string& message) {
    SketchModel::FileOutcome outcome;
    std::string printed;
    if (!model_.saveCurve(name, printed, &outcome)) {
        message = outcome.failure;
        return false;
    }
    curveFile_ = name;
    return true;
}

bool SketchSession::saveTerrain(const std::string& name, std::string& message) {
    SketchModel::FileOutcome outcome;
    std::string printed;
    if (!model_.exportGRD(name, printed, &outcome)) {
        message = outcome.failure.empty() ? printed : outcome.failure;
        return false;
    }
    return true;
}

bool SketchSession::exportHeightmap(const std::string& name, HeightmapExport settings,
                                    const std::string& program, std::string& message,
                                    ExportReport* report, const std::string& input) {
    settings.source = terrainSource(model_, program, input.empty() ? curveFile_ : input);
    // With the natural terrain switched on, the same bytes mondrel-build --natural writes.
    if (model_.naturalTerrain())
        return saveNaturalTerrainAs(model_, name, settings, model_.naturalSettings(), message,
                                    report);
    return saveTerrainAs(model_, name, settings, message, report);
}

Project SketchSession::project() const {
    Project project;
    project.sketch = model_.state();
    return project;
}

void SketchSession::applyProject(const Project& project) {
    model_.restore(project.sketch);
}

const char* commandStepName(SketchCommand command) {
    switch (command) {
    case SketchCommand::processLine:
        return "Process Line";
    case SketchCommand::clearCurve:
        return "Clear Curve";
    case SketchCommand::dropOffUp:
        return "Drop-Off Up";
    case SketchCommand::dropOffDown:
        return "Drop-Off Down";
    case SketchCommand::deleteSelectedProfile:
        return "Delete Selected Profile";
    case SketchCommand::resetStageSettings:
        return "Reset";
    case SketchCommand::editGlobalProfile:
    case SketchCommand::editSelectedProfile:
        return "Profile Edit";
    case SketchCommand::fitDrawing:
    case SketchCommand::none:
        break;
    }
    return "";
}
