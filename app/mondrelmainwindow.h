#pragma once

#include <QMainWindow>
#include <QString>
#include <functional>
#include <memory>
#include <vector>

#include "heightmap/heightmapexport.h"
#include "libgm/gmvec2.h"
#include "sketch/sketchstate.h"

class FittingLabel;
class GLSketch;
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
class profileEditor;

// Mondrel's one window: the sketch view above two rows of controls and the "&File" menu. It
// leads the user through the four stages (0 curve drawing, 1 profile selection, 2 randomness,
// 3 row refinement), giving the two option buttons and the reset button their meaning per
// stage, and runs the file dialogs. The sketch view holds the mountain; the window only keeps
// the stage counter, the selection flag and the last file name. Every change of the mountain
// is a step of the undo history ("&Edit"), and the whole work can be kept in a project file.
class MondrelMainWindow : public QMainWindow {
    Q_OBJECT

public:
    explicit MondrelMainWindow(QWidget* parent = nullptr, const char* name = nullptr,
                               Qt::WindowFlags fl = Qt::Window);
    ~MondrelMainWindow() override;

    GLSketch* gLSketch1;
    QPushButton* resetButton;
    QPushButton* nextButton;
    QPushButton* option1Button;
    QPushButton* option2Button;
    QSlider* randomSlider;
    QMenuBar* MenuBarEditor;
    QMenu* fileMenu;
    QAction* fileOpen_CurveAction;
    QAction* fileSave_CurveAction;
    QAction* fileClose_CurveAction;
    QAction* fileOpen_ImageAction;
    QAction* fileSave_TerrainAction;
    QAction* fileOpen_ProjectAction;
    QAction* fileSave_ProjectAction;
    QMenu* editMenu;
    QAction* editUndoAction;
    QAction* editRedoAction;
    QAction* fileExport_HeightmapAction;

    // Replaces the boxes and file dialogs the window shows (the default asks the user).
    void setPrompts(std::unique_ptr<UserPrompts> prompts);

    int currentStage() const { return stage; }
    const QString& currentFileName() const { return lastFileName; }
    bool hasSelectedProfile() const { return profileIsSelected; }
    profileEditor* profileDialog() const { return profiler; }
    QUndoStack* undoStack() const;
    // Whether the work has changed since it was last saved in or opened from a project.
    bool hasUnsavedChanges() const;
    // The status bar's whole text: what to do in this stage, then the terrain's values.
    QString statusText() const;

public slots:
    virtual void loadCurveFile();
    virtual void saveCurveFile();
    virtual void openImage();
    virtual void saveTerrain();
    // "File > Export Heightmap...": the terrain for other tools, in the format its suffix
    // names, with the size, scale and height range asked through the prompts.
    virtual void exportHeightmap();
    virtual void resetUI();
    virtual void drawProfileStage();
    virtual void drawCurveStage();
    virtual void changeRandomness();
    virtual void refineRows();
    virtual void nextPressed();
    virtual void optionButton1Clicked();
    virtual void optionButton2Clicked();
    virtual void resetButtonClicked();
    virtual void updateProfile(std::vector<gmVector2> profile);
    virtual void profileSelected(bool selected);
    virtual void sliderMoved(int value);
    // "File > Open Project..." and "File > Save Project...".
    void openProject();
    void saveProject();
    // "&Close Curve": empties the curve as one undo step.
    void closeCurve();

signals:
    void saveSignal(QString name);
    void loadSignal(QString name);
    void loadPNGSignal(QString name, bool& ok, QString& message);
    void saveTerrainSignal(QString name, bool& ok, QString& message);
    void updateTerrainProfile(const std::vector<gmVector2>& profile);

protected:
    // Asks whether to save unsaved changes before the window closes.
    void closeEvent(QCloseEvent* event) override;

    QGridLayout* MondrelMainWindowLayout;
    QHBoxLayout* layout21;
    QHBoxLayout* layout22;

protected slots:
    virtual void languageChange();

private slots:
    // A curve file that could not be read or written is shown, not only printed.
    void reportCurveFileFailure(const QString& message);
    // A whole drag of the slider is one undo step.
    void sliderDragStarted();
    void sliderDragFinished();
    // Puts the current stage's guidance and the model's values into the status bar.
    void showStatusLine();

private:
    void buildWidgets();
    void buildMenu();
    void makeConnections();
    void init();
    void openProfileEditor(const std::vector<gmVector2>& profile);
    void addExportHeightmapEntry();
    void buildStatusLine();
    void buildViewReset();
    void fitFirstSizeToScreen();

    // ---- Project files and the undo history
    void buildProjectAndEditMenus();
    void connectProjectAndEditMenus();
    // Runs change on the mountain and records it as one undo step named text.
    void runModelStep(const QString& text, const std::function<void()>& change);
    // Records the change from before to the model's present state as one undo step.
    void recordModelStep(const QString& text, const SketchState& before);
    // Shows a state from the history, keeping the present selection where the grid has it.
    void showHistoryState(const SketchState& state);
    // Puts state into the model and gives the controls what its stage has.
    void showSketchState(const SketchState& state);
    void showStageControls();
    bool writeProject();
    void showProjectImage(const QString& projectFile, const std::string& stored);
    void noteBackgroundImage(const QString& image);

    bool profileIsSelected = false;
    int stage = 0;
    QString lastFileName;
    profileEditor* profiler = nullptr;
    std::unique_ptr<UserPrompts> prompts_;

    std::unique_ptr<SketchHistory> history_;
    bool sliderDragging_ = false;
    SketchState sliderDragStart_;
    // The background image's absolute path; empty while the start-up picture is shown.
    QString backgroundImage_;
    bool backgroundChanged_ = false;
    // The last heightmap export's name and answers, offered again by the next one.
    QString lastExportName_;
    HeightmapExport exportSettings_;
    FittingLabel* statusLine_ = nullptr;
    QAction* viewResetAction_ = nullptr;
};
