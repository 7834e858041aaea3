#pragma once

#include <QOpenGLWidget>
#include <QString>
#include <string>
#include <vector>

#include "gui/pngload.h"
#include "libgm/gmvec2.h"
#include "sketch/sketchmodel.h"
#include "view/naturalcolours.h"
#include "view/planview.h"
#include "view/viewgeometry.h"
#include "view/viewnavigation.h"

class QKeyEvent;
class QMouseEvent;
class QTimer;
class QWheelEvent;
class SketchSession;

// The main view: it draws the session's sketch (the stroke and the current layer's curve over
// the background image in stage 0, the other visible layers fainter in their colours; the lit
// terrain in the later stages) and reports what the mouse does to it: strokes in stage 0,
// column picks in stage 1. Turning, zooming and panning the terrain
// are the view's own. It never changes the session; the window carries the reports to it.
class GLSketch : public QOpenGLWidget {
    Q_OBJECT

public:
    explicit GLSketch(const SketchSession& session, QWidget* parent = nullptr,
                      const char* name = nullptr);
    ~GLSketch() override;

    // The repaint request of every session change.
    void updateGL();

    // The view angles in degrees; left drags in stages 1 to 3 turn them.
    float rotX() const { return rotX_; }
    float rotY() const { return rotY_; }
    // The zoom and translation the wheel and middle drags set in stages 1 to 3.
    ZoomPan zoomPan() const { return {zoom_, transX_, transY_}; }
    // The zoom and pan the wheel and middle drags set while drawing (stage 0).
    const DrawingView& drawingView() const { return drawingView_; }
    // Size of the current background image in pixels as shown (0 x 0 before the first load):
    // smaller than the file when it was reduced on loading.
    int textureWidth() const { return textureWidth_; }
    int textureHeight() const { return textureHeight_; }
    // The background image's pixels as shown (RGB, top row first; empty before the first
    // load), which tracing reads.
    const PngImage& backgroundImage() const { return background_; }
    // A line drawn over the stroke in its own colour while the stroke waits for Process Line
    // (the stroke snapped to the photograph), in view pixels, y up; empty for none. It shows
    // only while there is a stroke.
    void setSnappedLine(std::vector<gmVector2> line);
    const std::vector<gmVector2>& snappedLine() const { return snappedLine_; }

    // Turns the view to the given angles in degrees.
    void setViewAngles(float rotX, float rotY);
    // Shows the start-up picture, found in the working directory or the data folders
    // (fileio/datafiles.h). False, after printing "Can't load Texture.png", when there is
    // none that can be loaded (the picture shown stays).
    bool showStartupImage();

    // In stage 3, the natural terrain in place of the grid, once setNaturalGrid has given one
    // (built off the window's thread from the session's settings, naturalPreviewSide cells a
    // side when settled); the other stages show their grid whatever this is. The natural
    // terrain is drawn in colour (view/naturalcolours.h) without grid lines.
    void setNaturalView(bool on);
    bool naturalView() const { return naturalView_; }
    static constexpr int naturalPreviewSide = 257;
    // The natural terrain to show, as naturalPreviewGrid builds it; shown at the next paint.
    void setNaturalGrid(std::vector<SketchModel::PointList> grid, double rowSpacing,
                        double firstNorthing);
    // Forgets the natural terrain shown (the grid shows until a new one is given).
    void clearNaturalGrid();
    bool hasNaturalGrid() const { return !naturalGrid_.empty(); }
    // Whether the view draws the natural terrain now: on, in stage 3, with a natural grid.
    bool showingNaturalTerrain() const;
    void setNaturalLook(const NaturalLook& look);
    const NaturalLook& naturalLook() const { return naturalLook_; }

    // The top view: while the natural terrain shows, it is seen from straight above (north
    // up, shaded and tinted as in the natural view) with the front range's divide drawn as a
    // line in the front layer's colour, a handle at each of its points (naturalDivideLine).
    // A left drag on a handle moves that point north or south; a left drag elsewhere draws
    // the course over the x it covers (courseWithStroke). Either is told once, when the
    // button is released (divideCourseEdited); Esc drops a drag. The wheel zooms, a middle
    // drag pans, Home frames the terrain.
    void setTopView(bool on);
    bool topView() const { return topView_; }
    bool showingTopView() const { return topView_ && showingNaturalTerrain(); }
    const PlanView& planView() const { return plan_; }
    // The divide as drawn now (with a drag in progress, as dragged), (x, northing).
    const std::vector<gmVector2>& shownDivide() const {
        refreshDivide();
        return divide_;
    }

    // The matrices the terrain pass draws with and picking unprojects with.
    Matrix4 projectionMatrix() const;
    Matrix4 terrainModelViewMatrix() const;

public slots:
    // Shows the image as the background; false with the message to show when it cannot. An
    // image larger than the screen (or the largest texture) is reduced to fit it, keeping its
    // aspect ratio, and imageReduced says so. The file is decoded on a worker thread while
    // the window keeps repainting (user input waits until the image is in).
    void loadPNG(QString name, bool& ok, QString& message);
    // Home: the terrain unturned, centred and as large as the view allows (homeFraming()).
    void resetView();

signals:
    // The view's size in pixels, before anything is drawn at it.
    void resized(int width, int height);
    // A left-button stroke in stage 0, in drawing pixels with y downwards (the window pixel
    // under the pointer brought back through the drawing's zoom and pan): pressed, then
    // dragged and released.
    void strokeBegun(double x, double y);
    void strokeExtended(double x, double y);
    // The left button was released: the stroke is complete.
    void strokeEnded();
    // The user turned the terrain (the angles a project keeps).
    void viewTurned();
    // A right press (press true) or drag in stage 1 over the terrain's model x.
    void columnPointedAt(double modelX, bool press);
    // A finished edit of the front range's divide course in the top view.
    void divideCourseEdited(std::vector<gmVector2> course);
    // The background image just loaded from file was larger than the screen shows and is
    // shown reduced: its size in the file and as shown, in pixels.
    void imageReduced(const QString& file, int fileWidth, int fileHeight, int shownWidth,
                      int shownHeight);

protected:
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void wheelEvent(QWheelEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void initializeGL() override;
    void resizeGL(int width, int height) override;
    void paintGL() override;

private:
    void say(const char* format, ...) const
#if defined(__GNUC__)
        __attribute__((format(printf, 2, 3)))
#endif
        ;
    // Stage 0: strokes over the background image, in view pixels.
    bool drawing() const;
    // Stage 1: right presses and drags pick columns.
    bool pickingColumns() const;
    void pickColumn(int x, int y, bool press);
    void turnView(int x, int y);
    void panView(int x, int y);
    // The view transform of the current stage.
    Matrix4 viewMatrix() const;
    // What the terrain stages show before any zoom or pan.
    ViewBox terrainBox() const;
    // The extent of the terrain as drawn, which turns and Home centre on.
    TerrainBounds drawnBounds() const;
    // The largest background image worth keeping: the screen's size in device pixels, and no
    // more than the GL holds in a texture.
    PngFit backgroundFit() const;
    // Decodes file on a worker thread; the window goes on repainting until it is done.
    static bool decodeResponsively(const std::string& file, PngFit fit, PngImage& image,
                                   ImageFailure& failure);
    // Makes image the background texture (the GL context current).
    void replaceTexture(const PngImage& image);
    bool loadImage(const std::string& file, PngImage& image, ImageFailure& failure);
    void setViewTransform();
    // Loads the lights with the terrain's model-view current, so that the light turns with the
    // terrain. It comes from the upper left of the unturned picture and from the viewer's
    // side: from larger depths for the plain terrain, whose rows come towards the camera (in
    // the top view that is the north-west, as maps are shaded); with mirroredDepth, from
    // smaller depths, the south, for the natural terrain (naturalTerrainModelView).
    void setupLights(bool mirroredDepth = false);
    void drawSketch();
    void drawOtherLayers(int w, int h);
    void drawTerrain();
    void drawTerrainSurface();
    void drawWireGrid();
    void drawSelection();
    void refreshTerrainMesh();

    void emitStroke(bool begin, const QPoint& p);
    // The top view's divide, its drawing and its mouse.
    void refreshDivide() const;
    void drawDivide();
    void framePlanView();
    void topViewPress(const QPoint& p);
    void topViewMove(const QPoint& p);
    void topViewRelease();
    double firstRowNorthing() const;
    void zoomDrawing(QWheelEvent* event);

    const SketchSession& session_;
    DrawingView drawingView_;
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
    // GL_MAX_TEXTURE_SIZE, once the context exists.
    int maxTextureSide_ = 0;
    // An image loaded before the view was first shown, waiting for the GL context.
    PngImage pendingImage_;
    PngImage background_;
    std::vector<gmVector2> snappedLine_;
    bool hasPendingImage_ = false;

    // The terrain as drawn, rebuilt only when the model's grid differs from meshGrid_ (in the
    // natural view: when a new natural grid came, counted by naturalVersion_).
    bool naturalView_ = false;
    bool meshIsNatural_ = false;
    std::vector<SketchModel::PointList> naturalGrid_;
    double naturalSpacing_ = 0.0;
    // Row 0's northing from the front range's line (naturalPreviewGrid).
    double naturalFirstNorthing_ = 0.0;
    unsigned naturalVersion_ = 0;
    unsigned meshNaturalVersion_ = 0;
    NaturalLook naturalLook_;
    std::vector<std::vector<float>> meshColours_;
    // The natural terrain drawn while the view moves (every other point), and whether it
    // moves; viewRest_ draws the full surface once it rests for viewRestMs.
    static constexpr int viewRestMs = 250;
    void viewMoved();
    TerrainMesh movingMesh_;
    std::vector<std::vector<float>> movingColours_;
    bool viewMoving_ = false;
    QTimer* viewRest_ = nullptr;
    std::vector<SketchModel::PointList> meshGrid_;
    TerrainMesh mesh_;
    bool meshValid_ = false;
    bool gridTooSmallReported_ = false;

    bool topView_ = false;
    PlanView plan_;
    bool planFramed_ = false;
    // The divide shown, and what it was made from: the model's front course and the natural
    // grid shown (its version).
    mutable std::vector<gmVector2> divide_;
    mutable std::vector<gmVector2> divideCourse_;
    mutable unsigned divideVersion_ = ~0u;
    // A drag on the divide: the handle moved (-1 for a course drawn), or the stroke so far.
    bool editingDivide_ = false;
    int dragHandle_ = -1;
    std::vector<gmVector2> divideStroke_;
};
