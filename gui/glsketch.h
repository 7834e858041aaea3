#pragma once

#include <QOpenGLWidget>
#include <QString>
#include <string>
#include <vector>

#include "gui/pngload.h"
#include "libgm/gmvec2.h"
#include "sketch/sketchmodel.h"
#include "view/viewgeometry.h"
#include "view/viewnavigation.h"

class QMouseEvent;
class QWheelEvent;

// The main view: the user draws the silhouette here in stage 0 and looks at (and picks
// columns of) the terrain in the later stages. It owns the whole mountain model and forwards
// the main window's calls to it; it adds only what needs a window: mouse handling, the GL
// set-up, drawing and the background texture.
class GLSketch : public QOpenGLWidget {
    Q_OBJECT

public:
    explicit GLSketch(QWidget* parent = nullptr, const char* name = nullptr);
    ~GLSketch() override;

    // Whether the current stage may be left; when not, message says why.
    bool checkStage(QString& message);
    const SketchModel& model() const { return model_; }
    // The curve file last read or written (empty when none), named in exported heightmaps.
    const std::string& curveFile() const { return curveFile_; }
    // The repaint request of every model change.
    void updateGL();

    // The view angles in degrees; left drags in stages 1 to 3 turn them.
    float rotX() const { return rotX_; }
    float rotY() const { return rotY_; }
    // The zoom and translation the wheel and middle drags set in stages 1 to 3.
    ZoomPan zoomPan() const { return {zoom_, transX_, transY_}; }
    // Size of the current background image in pixels (0 x 0 before the first load).
    int textureWidth() const { return textureWidth_; }
    int textureHeight() const { return textureHeight_; }

    // Keeps line smoothing, blending and the alpha test on for the whole terrain pass, the
    // opaque surface included, as the view once drew it: the same frames, only slower. For
    // measuring and checking the drawing that confines them to the lines and the box.
    void setLineStateOnWholeTerrain(bool on) { lineStateOnWholeTerrain_ = on; }
    // ---- Restoring a saved or earlier state
    // Hands the model state back to the model (which rebuilds the terrain) and repaints.
    void restoreSketch(const SketchState& state);
    // Turns the view to the given angles in degrees.
    void setViewAngles(float rotX, float rotY);
    // Shows the start-up picture again; false when it cannot be loaded (the picture stays).
    bool showStartupImage();

    // The matrices the terrain pass draws with and picking unprojects with.
    Matrix4 projectionMatrix() const;
    Matrix4 terrainModelViewMatrix() const;

public slots:
    void processLine();
    void loadCurve(QString name);
    void saveCurve(QString name);
    void loadPNG(QString name, bool& ok, QString& message);
    void clearCurve();
    void coarsen();
    void refine();
    void exportGRD(QString name, bool& ok, QString& message);
    void next();
    void receiveProfileChange(const std::vector<gmVector2>& profile);
    void getGlobalProfile(std::vector<gmVector2>& profile);
    void getProfile(std::vector<gmVector2>& profile);
    void deleteCurrentProfile();
    void randomnessChanged(int value);
    void changeBottomDropOff(bool up);
    // Back to the first view of the terrain: no turn, no zoom, no pan.
    void resetView();

signals:
    void terrainExists(bool exists);
    void timeToEnableProfileButtons(bool enable);
    // A curve file could not be read or written; message is the reason to show the user.
    void curveFileFailed(QString message);
    // A curve file was loaded but held fewer points than it declared; message says how many.
    void curveFilePartlyRead(QString message);
    // Something the terrain is built from changed: the curve, the stage, the profiles, the
    // randomness, the drop-off or the selected column (not the stroke being drawn, nor the
    // view's angle, zoom or pan).
    void modelChanged();

protected:
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void wheelEvent(QWheelEvent* event) override;
    void initializeGL() override;
    void resizeGL(int width, int height) override;
    void paintGL() override;

private:
    void say(const char* format, ...) const
#if defined(__GNUC__)
        __attribute__((format(printf, 2, 3)))
#endif
        ;
    void pickProfile(int x, int y, bool announce);
    void turnView(int x, int y);
    void panView(int x, int y);
    // Tells the window the model changed and repaints.
    void modelUpdated();
    // The view transform of the current stage.
    Matrix4 viewMatrix() const;
    // What the terrain stages show before any zoom or pan.
    ViewBox terrainBox() const;
    bool replaceTexture(const std::string& name, pngInfo& info, ImageFailure* failure = nullptr);
    void setViewTransform();
    void setupLights();
    void drawSketch();
    void drawTerrain();
    void drawTerrainSurface();
    void drawWireGrid();
    void drawSelection();
    void refreshTerrainMesh();

    SketchModel model_;
    std::string curveFile_;
    float rotX_ = 0.0f;
    float rotY_ = 0.0f;
    float rotZ_ = 0.0f;
    float zoom_ = 2.0f;
    float transX_ = 0.0f;
    float transY_ = 0.0f;
    float transZ_ = 0.0f;
    bool mousePressed_ = false;
    int lastX_ = 0;
    int lastY_ = 0;
    int mouseButton_ = 0;
    unsigned int texture_ = 0;
    int textureWidth_ = 0;
    int textureHeight_ = 0;
    // An image loaded before the view was first shown, waiting for the GL context.
    PngImage pendingImage_;
    bool hasPendingImage_ = false;

    // The terrain as drawn, rebuilt only when the model's grid differs from meshGrid_.
    std::vector<SketchModel::PointList> meshGrid_;
    TerrainMesh mesh_;
    bool meshValid_ = false;
    bool gridTooSmallReported_ = false;
    bool lineStateOnWholeTerrain_ = false;
};
