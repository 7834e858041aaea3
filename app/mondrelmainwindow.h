#pragma once

#include <QMainWindow>
#include <QString>
#include <memory>
#include <vector>

#include "libgm/gmvec2.h"

class GLSketch;
class QAction;
class QGridLayout;
class QHBoxLayout;
class QMenu;
class QMenuBar;
class QPushButton;
class QSlider;
class UserPrompts;
class profileEditor;

// Mondrel's one window: the sketch view above two rows of controls and the "&File" menu. It
// leads the user through the four stages (0 curve drawing, 1 profile selection, 2 randomness,
// 3 row refinement), giving the two option buttons and the reset button their meaning per
// stage, and runs the file dialogs. The sketch view holds the mountain; the window only keeps
// the stage counter, the selection flag and the last file name.
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

    // Replaces the boxes and file dialogs the window shows (the default asks the user).
    void setPrompts(std::unique_ptr<UserPrompts> prompts);

    int currentStage() const { return stage; }
    const QString& currentFileName() const { return lastFileName; }
    bool hasSelectedProfile() const { return profileIsSelected; }
    profileEditor* profileDialog() const { return profiler; }

public slots:
    virtual void loadCurveFile();
    virtual void saveCurveFile();
    virtual void openImage();
    virtual void saveTerrain();
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

signals:
    void saveSignal(QString name);
    void loadSignal(QString name);
    void loadPNGSignal(QString name, bool& ok, QString& message);
    void saveTerrainSignal(QString name, bool& ok, QString& message);
    void updateTerrainProfile(const std::vector<gmVector2>& profile);

protected:
    QGridLayout* MondrelMainWindowLayout;
    QHBoxLayout* layout21;
    QHBoxLayout* layout22;

protected slots:
    virtual void languageChange();

private slots:
    // A curve file that could not be read or written is shown, not only printed.
    void reportCurveFileFailure(const QString& message);

private:
    void buildWidgets();
    void buildMenu();
    void makeConnections();
    void init();
    void openProfileEditor(const std::vector<gmVector2>& profile);

    bool profileIsSelected = false;
    int stage = 0;
    QString lastFileName;
    profileEditor* profiler = nullptr;
    std::unique_ptr<UserPrompts> prompts_;
};
