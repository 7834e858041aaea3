#pragma once

#include <string>

#include "heightmap/heightmapexport.h"
#include "sketch/sketchmodel.h"
#include "sketch/sketchstate.h"

struct Project;

// What the buttons below the sketch view do.
enum class SketchCommand {
    none,
    processLine,
    clearCurve,
    editGlobalProfile,
    editSelectedProfile,
    dropOffUp,
    dropOffDown,
    deleteSelectedProfile,
    fitDrawing,         // the view's zoom and pan back to the drawing's own scale
    resetStageSettings, // the stage's settings back to their first values
};

// The two option buttons, the reset button and the slider as a stage shows them: captions,
// what a click does and whether it can be clicked.
struct StageControls {
    struct Button {
        const char* caption;
        SketchCommand command;
        bool enabled;
        const char* statusTip = ""; // what a click does, in the status bar
    };
    Button firstOption;
    Button secondOption;
    Button reset;
    bool sliderEnabled;
    int sliderValue; // the randomness the slider of the stage stands for, 0 to 99
};

// One user's sketch session: the mountain model and every action the user can take on it,
// as plain calls without widgets. The window turns clicks, strokes and file dialogs into these
// calls (and records each as an undo step through state()/restore()); the headless builder
// makes the same calls without a window, so both build the same terrain.
//
//     SketchSession session;
//     session.setViewSize(800, 600);
//     session.beginStroke(20, 400);          // a stroke, in mouse pixels (y down)
//     for (int x = 24; x <= 780; x += 4)
//         session.extendStroke(x, 400 - (x % 200));
//     session.processLine();                 // into the curve
//     std::string why;
//     session.next(why);                     // profile selection: the first terrain
//     session.next(why);                     // randomness
//     session.setSliderValue(30);            // rougher cross-sections
//     session.next(why);                     // row refinement
//     session.saveTerrain("peak.grd", why);  // the .grd grid
class SketchSession {
public:
    using PointList = SketchModel::PointList;

    SketchSession() = default;

    const SketchModel& model() const { return model_; }
    Stage stage() const { return model_.currentStage(); }
    // Whether a grid column is selected (stage 1 edits and deletes its profile).
    bool hasSelectedColumn() const { return model_.currentProfile() >= 0; }

    // Whether progress lines are printed (printing/printedlines.h).
    void setPrinting(bool on) { model_.setPrinting(on); }
    // The sketch view's size in pixels: strokes are flipped with its height.
    void setViewSize(int width, int height) { model_.setViewSize(width, height); }

    // ---- Stage 0: drawing the silhouette, in mouse pixels (y down).
    // False when the current layer is locked: the stroke is not recorded.
    bool beginStroke(double x, double y) { return model_.beginStroke(x, y); }
    void extendStroke(double x, double y) { model_.extendStroke(x, y); }
    // The stroke replaced by points in view pixels, y up (the stroke snapped to the
    // photograph's horizon): Process Line takes them as drawn.
    void replaceStroke(const PointList& points) { model_.replaceStroke(points); }
    // "Process Line": the stroke into the curve; a click is discarded (tooShort).
    SketchModel::StrokeResult processLine(double minimumExtent = SketchModel::minimumStrokeExtent) {
        return model_.processLine(minimumExtent);
    }
    // "Clear Curve": no curve on the current layer; from stage 1 on the terrain follows.
    // False, changing nothing, on a locked layer.
    bool clearCurve() { return model_.clearCurve(); }
    // "Close Curve": back to curve drawing with no curve, from any stage.
    void closeCurve() { model_.closeCurve(); }
    // "Reset" of the randomness and row refinement stages.
    void resetStageSettings() { model_.resetStageSettings(); }

    // One step of the curve's two-scale decomposition and its inverse, without a rebuild:
    // what the stage-3 "Refine" and "Coarsen" would do, shown on the curve in stage 0.
    void coarsen() { model_.coarsen(); }
    void refine() { model_.refine(); }

    // ---- "Next": false with the reason when the stage cannot be left yet.
    bool next(std::string& reason);
    // The buttons and slider of the current stage.
    StageControls controls() const;

    // ---- Stage 1: profiles
    // Selects the column nearest to modelX (the terrain's model x under the pointer), or
    // none; announce prints the selection (a press). Returns the selection.
    int pickColumn(double modelX, bool announce) { return model_.pickProfile(modelX, announce); }
    // Selects a column by its index; none when it lies outside the grid.
    int selectColumn(int column) { return model_.selectProfile(column); }
    // The profile an editor opens with: the global one, or the selected column's.
    const PointList& globalProfile() const { return model_.globalProfile(); }
    PointList selectedProfile() const { return model_.selectedProfile(); }
    void setGlobalProfile(const PointList& profile) { model_.setGlobalProfile(profile); }
    void setSelectedProfile(const PointList& profile) { model_.setSelectedProfile(profile); }
    void deleteSelectedProfile() { model_.deleteCurrentProfile(); }

    // ---- The profile editor's session: opened on the global profile (global) or on the
    // selected column's, every stroke kept at once, and Cancel back to the state it opened on.
    // Opening on a column without a selection changes nothing and returns false.
    bool beginProfileEdit(bool global);
    // The column the editor edits, or -1 for the global profile.
    int editedColumn() const { return editedColumn_; }
    // Gives the edited profile the stroke's profile. A global profile replaces every
    // per-column profile; a column's goes to the column the editor was opened on, even when
    // the selection moved since.
    void editProfile(const PointList& profile);
    // Everything back as it was when the editor opened, per-column profiles included.
    void cancelProfileEdit();
    // How many columns have a profile of their own (one that is not the global profile): the
    // profiles a kept global edit replaces.
    int ownColumnProfiles() const;

    // ---- Stages 2 and 3: the slider (0 to 99) sets the randomness of the stage; "Up" and
    // "Down" change the drop-off.
    void setSliderValue(int value) { model_.randomnessChanged(value); }
    void changeBottomDropOff(bool up) { model_.changeBottomDropOff(up); }
    // The detail randomness row refinement uses (slider value 0 to 99), set in any stage.
    void setDetailRandomness(int value) { model_.setDetailRandomness(value); }

    // ---- The natural terrain's switch and settings, part of the state (so undo covers them).
    void setNaturalTerrain(bool on) { model_.setNaturalTerrain(on); }
    bool setNaturalSettings(const NaturalSettings& settings, std::string& error) {
        return model_.setNaturalSettings(settings, error);
    }

    // ---- The camera the layers were drawn from, part of the state (so undo covers it).
    bool setCamera(const SketchCamera& camera, std::string& error) {
        return model_.setCamera(camera, error);
    }

    // ---- Skyline layers (see SketchModel): the current one takes the strokes, the front one
    // shapes the terrain.
    void selectLayer(int layer) { model_.selectLayer(layer); }
    int addLayer() { return model_.addLayer(); }
    bool removeLayer(int layer) { return model_.removeLayer(layer); }
    bool renameLayer(int layer, const std::string& name) { return model_.renameLayer(layer, name); }
    void setLayerColour(int layer, const LayerColour& colour) {
        model_.setLayerColour(layer, colour);
    }
    void setLayerVisible(int layer, bool visible) { model_.setLayerVisible(layer, visible); }
    void setLayerLocked(int layer, bool locked) { model_.setLayerLocked(layer, locked); }
    int setLayerDistance(int layer, double distance) {
        return model_.setLayerDistance(layer, distance);
    }
    int moveLayer(int layer, bool nearer) { return model_.moveLayer(layer, nearer); }
    bool setDivideCourse(int layer, PointList course, std::string& reason) {
        return model_.setDivideCourse(layer, std::move(course), reason);
    }

    // ---- Files: each returns true on success, false with the message to show the user
    // (failureText: what failed, the file, and the system's reason).
    // openCurve's message is the printed line alone; outcome adds the box's text (for a
    // project, the menu entry that opens it) and how many of the declared points were read.
    bool openCurve(const std::string& name, std::string& message,
                   SketchModel::FileOutcome* outcome = nullptr);
    bool saveCurve(const std::string& name, std::string& message);
    // "Save Terrain": the .grd grid.
    bool saveTerrain(const std::string& name, std::string& message);
    // A heightmap or mesh for other tools, in settings.format; program names the writer in
    // the metadata, and input the file the terrain comes from (a project, as mondrel-build
    // names the project it builds; empty: the curve file last opened or saved). With the
    // natural terrain switched on, the natural terrain with the state's settings.
    bool exportHeightmap(const std::string& name, HeightmapExport settings,
                         const std::string& program, std::string& message,
                         ExportReport* report = nullptr, const std::string& input = {});
    // The curve file last opened or saved (empty when none), named in exported heightmaps.
    const std::string& curveFile() const { return curveFile_; }

    // ---- Projects: the session's half of a .mondrel file (the view adds angles and image).
    Project project() const;
    // Takes over the project's sketch: stage, curve, profiles and settings.
    void applyProject(const Project& project);

    // ---- Undo: the whole state as a value, and back.
    SketchState state() const { return model_.state(); }
    void restore(const SketchState& state) { model_.restore(state); }

private:
    SketchModel model_;
    std::string curveFile_;
    int editedColumn_ = -1;
    SketchState beforeProfileEdit_;
};

// The undo step's name for a command ("Process Line", "Drop-Off Up", ...).
const char* commandStepName(SketchCommand command);
