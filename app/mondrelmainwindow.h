#pragma once

#include <QMainWindow>
#include <QString>
#include <functional>
#include <memory>
#include <vector>

#include "heightmap/heightmapexport.h"
#include "libgm/gmvec2.h"
#include "project/projectimage.h"
#include "sketch/sketchsession.h"
#include "sketch/sketchstate.h"

class BackgroundTask;
class FittingLabel;
class GLSketch;
class LayerPanel;
class NaturalPanel;
class NaturalPreviewBuilder;
class ProfileEditor;
class QAction;
class QCloseEvent;
class QGridLayout;
class QHBoxLayout;
class QMenu;
class QMenuBar;
class QPushButton;
class QSlider;
class QUndoStack;
class SketchHistory;
class UserPrompts;

// Mondrel's one window: the sketch view above two rows of controls and the "&File" and
// "&Edit" menus. It owns the sketch session (sketch/sketchsession.h), turns clicks, the
// view's strokes and picks and the file dialogs into the session's actions, and shows the
// buttons of the session's stage. Every change of the mountain is a step of the undo history
// ("&Edit"), and the whole work can be kept in a project file.
class MondrelMainWindow : public QMainWindow {
    Q_OBJECT

public:
    explicit MondrelMainWindow(QWidget* parent = nullptr, const char* name = nullptr,
                               Qt::WindowFlags fl = Qt::Window);
    ~MondrelMainWindow() override;

    GLSketch* sketchView;
    QPushButton* resetButton;
    QPushButton* nextButton;
    QPushButton* firstOptionButton;
    QPushButton* secondOptionButton;
    QSlider* randomSlider;
    QMenuBar* mainMenuBar;
    QMenu* fileMenu;
    QAction* fileOpen_CurveAction;
    QAction* fileSave_CurveAction;
    QAction* fileClose_CurveAction;
    QAction* fileOpen_ImageAction;
    QAction* fileSave_TerrainAction;
    QAction* fileOpen_ProjectAction;
    QAction* fileSave_ProjectAction;
    QAction* fileSave_ProjectAsAction;
    QMenu* editMenu;
    QAction* editUndoAction;
    QAction* editRedoAction;
    QAction* fileExport_HeightmapAction;
    QMenu* viewMenu;
    // Checkable, enabled in the last stage: the view shows the natural terrain in place of the
    // grid, and Export Heightmap offers it first. The session's switch, so an undo step and
    // part of projects.
    QAction* viewNatural_TerrainAction;
    // Shows the natural terrain's settings panel.
    QAction* viewNatural_SettingsAction;
    // Checkable, with the natural view: the natural terrain from above, the front range's
    // divide drawn and edited on it (GLSketch::setTopView). A way of looking, not part of the
    // project.
    QAction* viewTop_ViewAction;
    // Lets the front range's divide wander again: an undo step; enabled while it has a course.
    QAction* viewReset_Divide_CourseAction;
    // Checkable, off at start: each stroke drawn over the photograph is snapped to the
    // horizon edge near it, shown before Process Line, which then takes the snapped line.
    QAction* viewSnap_StrokesAction;
    // How far from the stroke a horizon is looked for: one checked entry of the View menu's
    // "Snap Within" (12, 24 or 48 pixels of the drawing; 12 at start).
    QMenu* viewSnap_WithinMenu;
    NaturalPanel* naturalPanel;
    // "&Layer": a new layer behind the others, the current one removed or moved one place
    // nearer or farther; "View > Layers" shows the layer list beside the view.
    QMenu* layerMenu;
    QAction* layerNewAction;
    QAction* layerRemoveAction;
    QAction* layerNearerAction;
    QAction* layerFartherAction;
    QAction* viewLayersAction;
    LayerPanel* layerPanel;

    // Replaces the boxes and file dialogs the window shows (the default asks the user).
    void setPrompts(std::unique_ptr<UserPrompts> prompts);
    // Shows the start-up picture in the sketch view; false (after printing why) when there is
    // none: Mondrel does not start without it.
    bool showStartupImage();

    const SketchSession& session() const { return session_; }
    int currentStage() const { return static_cast<int>(session_.stage()); }
    const QString& currentFileName() const { return lastFileName; }
    bool hasSelectedProfile() const { return session_.hasSelectedColumn(); }
    ProfileEditor* profileDialog() const { return profileEditor_; }
    QUndoStack* undoStack() const;
    // Whether the work has changed since it was last saved in or opened from a project.
    bool hasUnsavedChanges() const;
    // The status bar's whole text: what to do in this stage, then the terrain's values.
    QString statusText() const;
    // The export running off the window's thread, and the natural terrain's view builds.
    BackgroundTask* backgroundTask() const { return work_; }
    NaturalPreviewBuilder* naturalPreviews() const { return previews_; }
    // The coarse preview's side, shown at once while a setting moves.
    static constexpr int coarsePreviewSide = 65;

public slots:
    void loadCurveFile();
    void saveCurveFile();
    void openImage();
    void saveTerrain();
    // "File > Export Heightmap...": the terrain for other tools, in the format its suffix
    // names, with the size, scale and height range asked through the prompts.
    void exportHeightmap();
    void nextPressed();
    void firstOptionClicked();
    void secondOptionClicked();
    void resetButtonClicked();
    void sliderMoved(int value);
    // "File > Open Project...", "File > Save Project" (to the project's own file once it has
    // one) and "File > Save Project As..." (always asks for the name).
    void openProject();
    void saveProject();
    void saveProjectAs();
    // "&Close Curve": back to curve drawing with no curve, from any stage, as one undo step.
    void closeCurve();
    // The project's file, empty before the work was saved in or opened from one.
    const QString& projectFile() const { return projectFile_; }

protected:
    // Asks whether to save unsaved changes before the window closes.
    void closeEvent(QCloseEvent* event) override;

private slots:
    // A whole drag of the slider is one undo step.
    void sliderDragStarted();
    void sliderDragFinished();
    // An edit reported by the profile editor, for the profile it was opened on.
    void profileEdited(std::vector<gmVector2> profile);
    // A right press or drag over the terrain in stage 1.
    void columnPointedAt(double modelX, bool press);

private:
    void buildWidgets();
    void buildMenu();
    void setTexts();
    void makeConnections();
    void runCommand(SketchCommand command);
    // "Process Line": a click is said to be no line in the status bar.
    void processLine();
    // Opens the profile editor on the global profile or the selected column's.
    void openProfileEditor(bool global);
    void addExportHeightmapEntry();
    void buildViewMenu();
    void buildNaturalPanel();
    void editNaturalSettings();
    // The natural view as the session has it: the menu entry, the panel, and a new preview
    // when the grid or the settings changed since the last one (coarseOnly while a setting is
    // being dragged).
    void showNaturalState(bool coarseOnly = false);
    void naturalViewToggled(bool on);
    void topViewToggled(bool on);
    // A finished drag on the divide in the top view: one undo step.
    void divideCourseEdited(std::vector<gmVector2> course);
    void resetDivideCourse();
    void naturalSettingsChanging(const NaturalSettings& settings);
    void naturalSettingsSettled(const NaturalSettings& settings);
    void naturalPreviewBuilt(std::vector<SketchModel::PointList> grid, double rowSpacing,
                             double firstNorthing, int side);
    // Runs the export on a worker with a progress box; the result box when it is over.
    void runExport(const QString& chosen, const HeightmapExport& settings);
    // ---- Skyline layers
    void buildLayerPanel();
    // The panel and the Layer menu as the session has the layers.
    void showLayerState();
    // Runs change on the current layer as one undo step named text.
    void runLayerStep(const QString& text, const std::function<void(int layer)>& change);
    void chooseLayer(int layer);
    void addLayer();
    void removeLayer();
    void moveLayer(bool nearer);
    void renameLayer(const QString& name);
    void setLayerDistance(double distance);
    void setCamera(bool perspective, double fieldOfView, double eyeHeight, double horizon);
    void cameraFromPhotograph();
    // A press in stage 0: the stroke begins, or the status bar says the layer is locked.
    void beginStroke(double x, double y);
    // Says in the status bar that the current layer is locked and takes no change.
    void noteLockedLayer();
    void buildStatusLine();
    // The title: the project's name (or Mondrel alone) and the unsaved mark.
    void showTitle();
    // The name Save Project As offers: the project's, else the curve file's, else a name
    // beside the last file, never the photo's.
    QString suggestedProjectName() const;
    // "Next" from a click: the second click of a double-click is not a second "Next".
    bool eventFilter(QObject* watched, QEvent* event) override;
    void buildViewReset();
    // ---- Snapping strokes to the photograph's horizon
    void buildSnapping();
    // The finished stroke snapped to the background's horizon and shown, while snapping is on.
    void snapStroke();
    void forgetSnappedStroke();
    void fitFirstSizeToScreen();

    // ---- Project files and the undo history
    void buildProjectAndEditMenus();
    void connectProjectAndEditMenus();
    // Runs change on the session and records it as one undo step named text.
    void runModelStep(const QString& text, const std::function<void()>& change);
    // Records the change from before to the session's present state as one undo step.
    void recordModelStep(const QString& text, const SketchState& before);
    // Shows a state from the history, keeping the present selection where the grid has it.
    void showHistoryState(const SketchState& state);
    // Puts state into the session and gives the controls what its stage has.
    void showSketchState(const SketchState& state);
    // The captions, enabling and slider of the session's stage; withSliderValue also moves
    // the slider to the randomness the stage stands for.
    void showStageControls(bool withSliderValue);
    // The status line and the view after a change of the session.
    void showSessionChange();
    // Writes the project to its file, asking for a name when it has none or askName.
    bool writeProject(bool askName = false);
    // With unsaved changes asks whether to save them before beforeWhat ("closing"); true
    // when the work may be replaced: nothing unsaved, Discard, or Save and it was saved.
    bool settleUnsavedChanges(const QString& beforeWhat);
    void showProjectImage(const QString& projectFile, const std::string& stored);
    void noteBackgroundImage(const QString& image);
    // "Locate..." in the box about a project's missing image: the user picks the image where
    // it is now; shown, it becomes the project's image.
    void locateProjectImage();
    // Puts the current stage's guidance and the model's values into the status bar.
    void showStatusLine();
    // Says in the status bar that the background image was shown reduced.
    void noteReducedImage(const QString& file, int fileWidth, int fileHeight, int shownWidth,
                          int shownHeight);

    SketchSession session_;
    QGridLayout* mainLayout_ = nullptr;
    QHBoxLayout* stageButtonRow_ = nullptr;
    QHBoxLayout* optionRow_ = nullptr;
    QString lastFileName;
    ProfileEditor* profileEditor_ = nullptr;
    std::unique_ptr<UserPrompts> prompts_;

    std::unique_ptr<SketchHistory> history_;
    bool sliderDragging_ = false;
    SketchState sliderDragStart_;
    // The background image the next saved project points at: the one shown, or a project's
    // image that could not be shown.
    ProjectImageLink imageLink_;
    bool backgroundChanged_ = false;
    // The last heightmap export's name and answers, offered again by the next one.
    QString lastExportName_;
    HeightmapExport exportSettings_;
    FittingLabel* statusLine_ = nullptr;
    QAction* viewResetAction_ = nullptr;
    QString projectFile_;
    // The window system's time of the last press on "Next", and whether the click it began is
    // the second of a double-click (ignored).
    bool nextPressedBefore_ = false;
    quint64 lastNextPress_ = 0;
    bool ignoringNextClick_ = false;
    // The view angles as last saved in or opened from a project: turning away from them is
    // a change to save.
    float savedRotX_ = 0.0f;
    float savedRotY_ = 0.0f;
    // The stroke waiting for Process Line, snapped; empty when snapping is off or nothing is
    // drawn.
    std::vector<gmVector2> snappedStroke_;
    int snapBand_ = 12;

    // ---- The natural view
    BackgroundTask* work_ = nullptr;
    NaturalPreviewBuilder* previews_ = nullptr;
    // What the natural preview shown and the one being built were made from; full when at
    // the view's full side.
    struct PreviewKey {
        std::vector<SketchModel::PointList> grid;
        // Every range's skyline, depth and divide course: the ranges behind the front one
        // shape it too.
        std::vector<NaturalRange> ranges;
        NaturalSettings settings;
        // In perspective the camera and the front layer's distance place the skyline.
        SketchCamera camera;
        double frontDistance = 0.0;
        bool full = false;
        bool valid = false;
    };
    PreviewKey shownPreview_, pendingPreview_;
    // Home once the natural terrain arrives after the view was switched on.
    bool frameNaturalOnArrival_ = false;
    // A drag in the panel: the state before it, for its one undo step.
    bool naturalDragging_ = false;
    SketchState naturalDragStart_;
};
