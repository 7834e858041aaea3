#include "gui/glsketch.h"

#include <GL/gl.h>
#include <QEventLoop>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QScreen>
#include <QTimer>
#include <QWheelEvent>
#include <algorithm>
#include <cstdarg>
#include <cstdio>
#include <system_error>
#include <thread>

#include "fileio/datafiles.h"
#include "gui/naturalrendering.h"
#include "natural/dividecourse.h"
#include "printing/printedlines.h"
#include "sketch/failurereasons.h"
#include "sketch/naturalpreview.h"
#include "sketch/sketchsession.h"

namespace {

const char* const startupImage = "Texture.png";

// The largest image side Mondrel opens; larger ones are reduced on loading to what the screen
// shows.
constexpr unsigned int largestImageSide = 16384;
constexpr unsigned int preContextSide = 4096;

// The background texture's filters. Enlarged images stay sharp; an image larger than the view
// is averaged down from its mipmaps (which the GL builds at every upload into this texture)
// instead of losing whole rows and columns of pixels.
void setBackgroundFilters() {
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_NEAREST);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_LINEAR_MIPMAP_LINEAR);
    glTexParameteri(GL_TEXTURE_2D, GL_GENERATE_MIPMAP, GL_TRUE);
}

// Mouse buttons as the model and the stage table count them.
constexpr int leftButton = 1;
constexpr int rightButton = 2;
constexpr int middleButton = 4;

// Degrees the view turns per pixel of a left drag.
constexpr float degreesPerPixel = 0.12f;

void drawLineStrip(const std::vector<float>& vertices) {
    glVertexPointer(3, GL_FLOAT, 0, vertices.data());
    glDrawArrays(GL_LINE_STRIP, 0, static_cast<GLsizei>(vertices.size() / 3));
}

// Stage-0 overlay: pixel (x, y), origin bottom left, to the view's -1 .. 1 square.
void pixelVertex(const gmVector2& p, int width, int height) {
    const double x = 2.0 * p[0] / width - 1.0;
    const double y = 2.0 * p[1] / height - 1.0;
    glVertex2d(x, y);
}

const SketchModel::PointList noCurve;

QPoint eventPosition(const QMouseEvent* event) {
    return event->position().toPoint();
}

} // namespace

GLSketch::GLSketch(const SketchSession& session, QWidget* parent, const char* name)
    : QOpenGLWidget(parent), session_(session), viewRest_(new QTimer(this)) {
    if (name)
        setObjectName(QString::fromLatin1(name));
    // A click gives the view the keyboard, so that Esc can drop a drag in the top view.
    setFocusPolicy(Qt::ClickFocus);
    viewRest_->setSingleShot(true);
    connect(viewRest_, &QTimer::timeout, this, [this] {
        viewMoving_ = false;
        updateGL();
    });
}

GLSketch::~GLSketch() {
    if (texture_ != 0 && isValid()) {
        makeCurrent();
        glDeleteTextures(1, &texture_);
        doneCurrent();
    }
}

void GLSketch::say(const char* format, ...) const {
    if (!session_.model().printing())
        return;
    std::va_list args;
    va_start(args, format);
    vprintLine(format, args);
    va_end(args);
}

void GLSketch::updateGL() {
    update();
}

bool GLSketch::drawing() const {
    return session_.stage() == Stage::curveDrawing;
}

bool GLSketch::pickingColumns() const {
    return session_.stage() == Stage::profileSelection;
}

Matrix4 GLSketch::projectionMatrix() const {
    // The stage-0 overlay fills the view whatever its size; the terrain keeps its size in
    // pixels, so that it fits small views and does not run out of large ones.
    if (drawing())
        return drawingViewMatrix(drawingView_, session_.model().viewWidth(),
                                 session_.model().viewHeight()) *
               sketchProjection();
    if (showingTopView()) {
        const TerrainBounds bounds = drawnBounds();
        return planProjection(plan_, width(), height(), bounds.minY, bounds.maxY);
    }
    return boxProjection(terrainBox());
}

ViewBox GLSketch::terrainBox() const {
    // The silhouette's reach decides whether the terrain would run out of the view.
    double rightmost = 0.0, highest = 0.0;
    for (const gmVector2& p : session_.model().curve()) {
        rightmost = std::max(rightmost, p[0]);
        highest = std::max(highest, p[1]);
    }
    return terrainViewBox(session_.model().viewWidth(), session_.model().viewHeight(), rightmost,
                          highest);
}

Matrix4 GLSketch::viewMatrix() const {
    // The overlay is zoomed and moved by the projection (drawingView_), never turned.
    if (drawing())
        return sketchViewTransform(0.0f, 0.0f, 0.0f, 2.0f, 0.0f, 0.0f, 0.0f);
    return sketchViewTransform(transX_, transY_, transZ_, zoom_, rotX_, rotY_, rotZ_);
}

TerrainBounds GLSketch::drawnBounds() const {
    // The natural view draws its own grid in stage 3; every other terrain is the model's.
    if (showingNaturalTerrain())
        return terrainBounds(naturalGrid_, naturalSpacing_);
    return terrainBounds(session_.model().grid(), session_.model().rowSpacing());
}

Matrix4 GLSketch::terrainModelViewMatrix() const {
    if (drawing())
        return viewMatrix() * terrainModelTransform();
    if (showingTopView())
        return planModelView(firstRowNorthing());
    // Turns swing the terrain about its own centre, which therefore stays where it is.
    if (showingNaturalTerrain())
        return naturalTerrainModelView(zoomPan(), rotX_, rotY_, rotZ_, drawnBounds());
    return terrainModelView(zoomPan(), rotX_, rotY_, rotZ_, drawnBounds());
}

void GLSketch::resetView() {
    if (drawing()) {
        // The drawing at its own scale; the terrain's angles wait for the terrain stages.
        drawingView_ = DrawingView();
        updateGL();
        return;
    }
    if (showingTopView()) {
        framePlanView();
        updateGL();
        return;
    }
    if (rotX_ != 0.0f || rotY_ != 0.0f) {
        rotX_ = 0.0f;
        rotY_ = 0.0f;
        emit viewTurned();
    }
    rotX_ = 0.0f;
    rotY_ = 0.0f;
    // The whole terrain, centred, as large as the view allows; the first view where there is
    // no terrain to frame.
    const TerrainBounds bounds = drawing() ? TerrainBounds() : drawnBounds();
    const ZoomPan home = homeFraming(bounds, terrainBox());
    zoom_ = home.zoom;
    transX_ = home.transX;
    transY_ = home.transY;
    updateGL();
}

void GLSketch::setViewAngles(float rotX, float rotY) {
    rotX_ = rotX;
    rotY_ = rotY;
    viewMoved();
    updateGL();
}

void GLSketch::viewMoved() {
    if (!showingNaturalTerrain())
        return;
    viewMoving_ = true;
    viewRest_->start(viewRestMs);
}

bool GLSketch::showStartupImage() {
    // The working directory's image first; then the one installed or in the source tree, so
    // that Mondrel starts from any folder.
    const std::string file = findDataFile(startupImage, dataFolders());
    PngImage image;
    ImageFailure failure;
    if (file.empty() || !loadImage(file, image, failure)) {
        say("Can't load %s\n", startupImage);
        return false;
    }
    const pngInfo& info = image.info;
    say("Loaded %s with resounding success\n", startupImage);
    say("Size=%i,%i Depth=%i Alpha=%i\n", info.Width, info.Height, info.Depth, info.Alpha);
    updateGL();
    return true;
}

// ---- Background image

PngFit GLSketch::backgroundFit() const {
    PngFit fit;
    if (const QScreen* shownOn = screen()) {
        const QSize pixels = shownOn->size() * shownOn->devicePixelRatio();
        fit.width = static_cast<unsigned int>(std::max(pixels.width(), 1));
        fit.height = static_cast<unsigned int>(std::max(pixels.height(), 1));
    }
    // Before the GL context exists, a side every GL Mondrel runs on holds in a texture.
    const unsigned int side =
        maxTextureSide_ > 0 ? static_cast<unsigned int>(maxTextureSide_) : preContextSide;
    fit.width = fit.width > 0 ? std::min(fit.width, side) : side;
    fit.height = fit.height > 0 ? std::min(fit.height, side) : side;
    return fit;
}

bool GLSketch::decodeResponsively(const std::string& file, PngFit fit, PngImage& image,
                                  ImageFailure& failure) {
    // A photograph takes a noticeable time to decode: the window keeps repainting meanwhile,
    // but takes no clicks, keys or close requests until the image is in.
    QEventLoop waiting;
    bool ok = false;
    const auto decode = [&] {
        std::string reason;
        ok = pngDecodeFitting(file, fit, image, reason, largestImageSide, &failure);
    };
    std::thread worker;
    try {
        worker = std::thread([&] {
            decode();
            QMetaObject::invokeMethod(&waiting, &QEventLoop::quit, Qt::QueuedConnection);
        });
    } catch (const std::system_error&) {
        decode(); // no thread to be had: the window waits, as it always did
        return ok;
    }
    waiting.exec(QEventLoop::ExcludeUserInputEvents);
    worker.join();
    return ok;
}

void GLSketch::replaceTexture(const PngImage& image) {
    // The new image goes into a fresh texture; the old one is dropped once the new one is in.
    GLuint fresh = 0;
    glGenTextures(1, &fresh);
    glBindTexture(GL_TEXTURE_2D, fresh);
    setBackgroundFilters();
    pngUpload(image);
    if (texture_ != 0)
        glDeleteTextures(1, &texture_);
    texture_ = fresh;
    background_ = image;
    textureWidth_ = static_cast<int>(image.width);
    textureHeight_ = static_cast<int>(image.height);
}

bool GLSketch::loadImage(const std::string& file, PngImage& image, ImageFailure& failure) {
    // A failed load changes nothing: the picture shown stays.
    if (!decodeResponsively(file, backgroundFit(), image, failure))
        return false;
    if (isValid()) {
        makeCurrent();
        replaceTexture(image);
        glEnable(GL_TEXTURE_2D);
        doneCurrent();
        image.rgb = std::vector<unsigned char>();
        return true;
    }
    // Not shown yet: there is no GL context to hold the texture. The image becomes the
    // texture when the context exists.
    pendingImage_ = PngImage{image.info, image.width, image.height, std::move(image.rgb)};
    hasPendingImage_ = true;
    return true;
}

void GLSketch::loadPNG(QString name, bool& ok, QString& message) {
    const std::string file = name.toLocal8Bit().toStdString();
    PngImage image;
    ImageFailure failure;
    ok = loadImage(file, image, failure);
    if (ok) {
        const pngInfo& info = image.info;
        say("Loaded %s with resounding success\n", file.c_str());
        say("Size=%i,%i Depth=%i Alpha=%i\n", info.Width, info.Height, info.Depth, info.Alpha);
        if (image.reduced())
            emit imageReduced(name, static_cast<int>(info.Width), static_cast<int>(info.Height),
                              static_cast<int>(image.width), static_cast<int>(image.height));
    } else {
        say("Can't load %s\n", file.c_str());
        message = QStringLiteral("Can't load ") + name;
        const std::string why = imageReason(failure);
        if (!why.empty())
            message += QStringLiteral("\n") + QString::fromStdString(why);
    }
    updateGL();
}

// ---- GL set-up

void GLSketch::initializeGL() {
    glLoadIdentity();
    glHint(GL_LINE_SMOOTH_HINT, GL_NICEST);
    glClearColor(1.0f, 1.0f, 1.0f, 1.0f);
    glEnable(GL_LINE_SMOOTH);
    glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);

    GLint maxSide = 0;
    glGetIntegerv(GL_MAX_TEXTURE_SIZE, &maxSide);
    maxTextureSide_ = maxSide;
    // The image shown before the context existed (the start-up picture, or another image
    // loaded in the meantime) becomes the texture now.
    if (hasPendingImage_) {
        replaceTexture(pendingImage_);
        pendingImage_ = PngImage();
        hasPendingImage_ = false;
    }

    glEnable(GL_TEXTURE_2D);
    glLineWidth(1.0f);
    glPointSize(4.0f);
    // The terrain normals are not unit length.
    glEnable(GL_NORMALIZE);
    glColorMaterial(GL_FRONT_AND_BACK, GL_AMBIENT_AND_DIFFUSE);
    glEnable(GL_COLOR_MATERIAL);
}

void GLSketch::resizeGL(int width, int height) {
    glViewport(0, 0, width, height);
    glMatrixMode(GL_PROJECTION);
    // Strokes are kept in widget pixels, as mouse events give them.
    emit resized(this->width(), this->height());
    glLoadMatrixd(projectionMatrix().m);
    glMatrixMode(GL_MODELVIEW);
}

void GLSketch::setViewTransform() {
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    glMatrixMode(GL_PROJECTION);
    glLoadMatrixd(projectionMatrix().m);
    glMatrixMode(GL_MODELVIEW);
    glLoadMatrixd(viewMatrix().m);
}

void GLSketch::setupLights(bool mirroredDepth) {
    static const GLfloat shininess[] = {100.0f};
    const GLfloat position[] = {-25.0f, 25.0f, mirroredDepth ? -25.0f : 25.0f, 0.0f};
    static const GLfloat diffuse[] = {0.8f, 0.8f, 0.8f, 1.0f};
    static const GLfloat specular[] = {0.0f, 0.0f, 0.0f, 1.0f};
    static const GLfloat ambient[] = {0.4f, 0.4f, 0.4f, 1.0f};
    glClearColor(1.0f, 1.0f, 1.0f, 1.0f);
    glMaterialfv(GL_FRONT_AND_BACK, GL_SHININESS, shininess);
    glLightfv(GL_LIGHT0, GL_POSITION, position);
    glLightfv(GL_LIGHT0, GL_DIFFUSE, diffuse);
    glLightfv(GL_LIGHT0, GL_SPECULAR, specular);
    glLightModelfv(GL_LIGHT_MODEL_AMBIENT, ambient);
    glEnable(GL_LIGHTING);
    glEnable(GL_LIGHT0);
}

// ---- Drawing

void GLSketch::paintGL() {
    if (showingTopView() && !planFramed_)
        framePlanView();
    setViewTransform();
    if (drawing())
        drawSketch();
    else
        drawTerrain();
}

void GLSketch::drawSketch() {
    glDisable(GL_DEPTH_TEST);
    glDisable(GL_LIGHTING);
    glEnable(GL_TEXTURE_2D);
    glBindTexture(GL_TEXTURE_2D, texture_);
    glColor3f(1.0f, 1.0f, 1.0f);
    // Texture row 0 is the image's top row: it goes to the top edge.
    glBegin(GL_QUADS);
    glTexCoord2f(0.0f, 1.0f);
    glVertex3f(-1.0f, -1.0f, 0.0f);
    glTexCoord2f(1.0f, 1.0f);
    glVertex3f(1.0f, -1.0f, 0.0f);
    glTexCoord2f(1.0f, 0.0f);
    glVertex3f(1.0f, 1.0f, 0.0f);
    glTexCoord2f(0.0f, 0.0f);
    glVertex3f(-1.0f, 1.0f, 0.0f);
    glEnd();
    glDisable(GL_TEXTURE_2D);

    const int w = session_.model().viewWidth();
    const int h = session_.model().viewHeight();
    if (w <= 0 || h <= 0)
        return;
    // Smoothed and faint lines would write their coverage into the frame's alpha, and the
    // window shows such pixels in colours that are none of the lines'; the frame stays opaque.
    glColorMask(GL_TRUE, GL_TRUE, GL_TRUE, GL_FALSE);
    drawOtherLayers(w, h);
    const SketchModel& model = session_.model();
    const int current = model.currentLayer();
    const SketchModel::PointList& curve =
        model.layerProperties(current).visible ? model.layerCurve(current) : noCurve;
    if (curve.size() > 1) {
        glColor3f(0.9f, 0.6f, 0.0f);
        glBegin(GL_LINE_STRIP);
        for (const gmVector2& p : curve)
            pixelVertex(p, w, h);
        glEnd();
        // Markers only on a coarsened curve; a processed one has a point in every column.
        if (curve[1][0] - curve[0][0] > 2.0) {
            glColor3f(0.0f, 0.0f, 0.8f);
            glBegin(GL_POINTS);
            for (const gmVector2& p : curve)
                pixelVertex(p, w, h);
            glEnd();
        }
    }
    const SketchModel::PointList& stroke = session_.model().stroke();
    if (!stroke.empty()) {
        glColor3f(1.0f, 0.0f, 0.0f);
        glBegin(GL_LINE_STRIP);
        for (const gmVector2& p : stroke)
            pixelVertex(p, w, h);
        glEnd();
        // What Process Line will take, bright and thicker over the stroke as drawn.
        if (snappedLine_.size() > 1) {
            // Solid, without the smoothing's partly transparent edges, so that it stands out
            // over any photograph.
            glDisable(GL_LINE_SMOOTH);
            glLineWidth(3.0f);
            glColor3f(0.0f, 0.9f, 1.0f);
            glBegin(GL_LINE_STRIP);
            for (const gmVector2& p : snappedLine_)
                pixelVertex(p, w, h);
            glEnd();
            glLineWidth(1.0f);
            glEnable(GL_LINE_SMOOTH);
        }
    }
    glColorMask(GL_TRUE, GL_TRUE, GL_TRUE, GL_TRUE);
}

void GLSketch::drawOtherLayers(int w, int h) {
    // The layers not drawn on show in their own colours, fainter, behind the current one.
    const SketchModel& model = session_.model();
    glEnable(GL_BLEND);
    for (int layer = model.layerCount() - 1; layer >= 0; --layer) {
        const LayerProperties& properties = model.layerProperties(layer);
        const SketchModel::PointList& curve = model.layerCurve(layer);
        if (layer == model.currentLayer() || !properties.visible || curve.size() < 2)
            continue;
        glColor4ub(properties.colour.red, properties.colour.green, properties.colour.blue, 140);
        glBegin(GL_LINE_STRIP);
        for (const gmVector2& p : curve)
            pixelVertex(p, w, h);
        glEnd();
    }
    glDisable(GL_BLEND);
}

void GLSketch::setSnappedLine(std::vector<gmVector2> line) {
    if (line == snappedLine_)
        return;
    snappedLine_ = std::move(line);
    updateGL();
}

void GLSketch::setNaturalView(bool on) {
    if (naturalView_ == on)
        return;
    naturalView_ = on;
    updateGL();
}

void GLSketch::setNaturalGrid(std::vector<SketchModel::PointList> grid, double rowSpacing,
                              double firstNorthing) {
    naturalGrid_ = std::move(grid);
    naturalSpacing_ = rowSpacing;
    naturalFirstNorthing_ = firstNorthing;
    ++naturalVersion_;
    updateGL();
}

void GLSketch::clearNaturalGrid() {
    if (naturalGrid_.empty())
        return;
    naturalGrid_.clear();
    ++naturalVersion_;
    updateGL();
}

bool GLSketch::showingNaturalTerrain() const {
    return naturalView_ && !naturalGrid_.empty() &&
           session_.model().stage() == static_cast<int>(Stage::rowRefinement);
}

void GLSketch::setNaturalLook(const NaturalLook& look) {
    if (look == naturalLook_)
        return;
    naturalLook_ = look;
    if (meshIsNatural_) {
        meshColours_ = naturalStripColours(mesh_, naturalLook_);
        movingColours_ = naturalStripColours(movingMesh_, naturalLook_);
    }
    updateGL();
}

void GLSketch::refreshTerrainMesh() {
    const SketchModel& model = session_.model();
    if (showingNaturalTerrain()) {
        if (meshValid_ && meshIsNatural_ && meshNaturalVersion_ == naturalVersion_)
            return;
        meshValid_ = true;
        meshIsNatural_ = true;
        meshNaturalVersion_ = naturalVersion_;
        meshGrid_ = naturalGrid_;
        mesh_ = naturalTerrainMesh(meshGrid_, naturalSpacing_);
        meshColours_ = naturalStripColours(mesh_, naturalLook_);
        movingMesh_ = naturalTerrainMesh(everyOtherPoint(meshGrid_), 2.0 * naturalSpacing_);
        movingColours_ = naturalStripColours(movingMesh_, naturalLook_);
        gridTooSmallReported_ = false;
        return;
    }
    if (meshValid_ && !meshIsNatural_ && mesh_.rowSpacing == model.rowSpacing() &&
        meshGrid_ == model.grid())
        return;
    meshIsNatural_ = false;
    meshColours_.clear();
    meshGrid_ = model.grid();
    mesh_ = buildTerrainMesh(meshGrid_, model.rowSpacing());
    meshValid_ = true;
    gridTooSmallReported_ = false;
}

void GLSketch::drawTerrain() {
    refreshTerrainMesh();
    if (!terrainDrawable(meshGrid_)) {
        // Said once per grid; the user can still go on (load or draw another curve).
        if (!gridTooSmallReported_)
            say("Grid too small!\n");
        gridTooSmallReported_ = true;
        return;
    }
    // The terrain carries no texture coordinates; keep the background image off it.
    glDisable(GL_TEXTURE_2D);
    glLoadMatrixd(terrainModelViewMatrix().m);
    glEnableClientState(GL_VERTEX_ARRAY);
    // The surface is opaque: line smoothing, blending and the alpha test change none of its
    // pixels, they only slow it down. They are on for the lines and the selection box only.
    glDisable(GL_LINE_SMOOTH);
    if (meshIsNatural_) {
        // The natural terrain in its colours, without grid lines, and the sea when it is set.
        setupLights(!showingTopView());
        // While the view moves, a quarter of the points: each frame then costs far less, and
        // the full surface is drawn once the view rests.
        const bool moving = viewMoving_ && !movingMesh_.stripVertices.empty();
        if (moving)
            drawColouredSurface(movingMesh_, movingColours_);
        else
            drawColouredSurface(mesh_, meshColours_);
        glDisable(GL_LIGHTING);
        glDisable(GL_LIGHT0);
        if (naturalLook_.water)
            drawSeaPlane(terrainBounds(meshGrid_, mesh_.rowSpacing),
                         waterHeight(mesh_, naturalLook_));
        glDisableClientState(GL_VERTEX_ARRAY);
        if (showingTopView())
            drawDivide();
        return;
    }
    drawTerrainSurface();
    glEnable(GL_LINE_SMOOTH);
    glEnable(GL_ALPHA_TEST);
    glEnable(GL_BLEND);
    drawWireGrid();
    if (pickingColumns())
        drawSelection();
    glDisableClientState(GL_VERTEX_ARRAY);
    glDisable(GL_ALPHA_TEST);
    glDisable(GL_BLEND);
}

void GLSketch::drawTerrainSurface() {
    setupLights();
    glEnable(GL_DEPTH_TEST);
    glColor3f(0.0f, 1.0f, 0.0f);
    glEnableClientState(GL_NORMAL_ARRAY);
    for (size_t r = 0; r < mesh_.stripVertices.size(); ++r) {
        const std::vector<float>& vertices = mesh_.stripVertices[r];
        glVertexPointer(3, GL_FLOAT, 0, vertices.data());
        glNormalPointer(GL_FLOAT, 0, mesh_.stripNormals[r].data());
        glDrawArrays(GL_TRIANGLE_STRIP, 0, static_cast<GLsizei>(vertices.size() / 3));
    }
    glDisableClientState(GL_NORMAL_ARRAY);
    glDisable(GL_LIGHTING);
    glDisable(GL_LIGHT0);
}

void GLSketch::drawWireGrid() {
    glColor3f(0.0f, 0.0f, 0.0f);
    for (const std::vector<float>& line : mesh_.rowLines)
        drawLineStrip(line);
    for (const std::vector<float>& line : mesh_.columnLines)
        drawLineStrip(line);
}

void GLSketch::drawSelection() {
    const int selected = session_.model().currentProfile();
    if (selected >= 0 && selected < mesh_.columns) {
        const std::vector<float> box = selectionBox(meshGrid_, selected, mesh_.rowSpacing);
        glColor4f(1.0f, 0.0f, 0.0f, 0.75f);
        glVertexPointer(3, GL_FLOAT, 0, box.data());
        glDrawArrays(GL_QUADS, 0, static_cast<GLsizei>(box.size() / 3));
    }
    glColor4f(0.0f, 0.0f, 1.0f, 1.0f);
    glLineWidth(4.0f);
    for (unsigned int column : session_.model().profileIndices())
        if (static_cast<int>(column) < mesh_.columns)
            drawLineStrip(columnLine(meshGrid_, static_cast<int>(column), 0.9, mesh_.rowSpacing));
    glLineWidth(1.0f);
}

// ---- Mouse

void GLSketch::pickColumn(int x, int y, bool press) {
    const Matrix4 projection = projectionMatrix();
    const Matrix4 modelView = terrainModelViewMatrix();
    const int viewport[4] = {0, 0, session_.model().viewWidth(), session_.model().viewHeight()};
    const double winY = session_.model().viewHeight() - y;
    double modelX = 0.0, modelY = 0.0, modelZ = 0.0;
    if (rotX_ == 0.0f && rotY_ == 0.0f) {
        // Straight on, every depth under the pointer has the same x.
        if (!unprojectPoint(modelView, projection, viewport, x, winY, 0.0, modelX, modelY, modelZ))
            return;
    } else if (!terrainXUnderPointer(session_.model().grid(), session_.model().rowSpacing(),
                                     modelView, projection, viewport, x, winY, modelX)) {
        return;
    }
    // A plain click selects as a drag does, so the window hears of it on the press too.
    emit columnPointedAt(modelX, press);
}

void GLSketch::turnView(int x, int y) {
    const float dx = static_cast<float>(lastX_ - x) * degreesPerPixel;
    const float dy = static_cast<float>(y - lastY_) * degreesPerPixel;
    if (mouseButton_ == leftButton && (dx != 0.0f || dy != 0.0f)) {
        rotX_ += dy;
        rotY_ -= dx;
        emit viewTurned();
    }
}

void GLSketch::panView(int x, int y) {
    const ZoomPan moved = panBy(zoomPan(), x - lastX_, y - lastY_, session_.model().viewWidth(),
                                session_.model().viewHeight(), terrainBox());
    transX_ = moved.transX;
    transY_ = moved.transY;
}

void GLSketch::mousePressEvent(QMouseEvent* event) {
    const QPoint p = eventPosition(event);
    mousePressed_ = true;
    mouseButton_ = static_cast<int>(event->button());
    if (showingTopView() && mouseButton_ == leftButton)
        topViewPress(p);
    if (drawing() && mouseButton_ == leftButton)
        emitStroke(true, p);
    if (pickingColumns() && mouseButton_ == rightButton)
        pickColumn(p.x(), p.y(), true);
    lastX_ = p.x();
    lastY_ = p.y();
    updateGL();
}

void GLSketch::mouseMoveEvent(QMouseEvent* event) {
    if (!mousePressed_)
        return;
    const QPoint p = eventPosition(event);
    if (drawing()) {
        if (mouseButton_ == leftButton)
            emitStroke(false, p);
        else if (mouseButton_ == middleButton)
            drawingView_ = panDrawingBy(drawingView_, p.x() - lastX_, p.y() - lastY_);
    } else if (pickingColumns() && mouseButton_ == rightButton) {
        pickColumn(p.x(), p.y(), false);
    } else if (showingTopView()) {
        if (mouseButton_ == leftButton)
            topViewMove(p);
        else if (mouseButton_ == middleButton)
            plan_ = panPlanBy(plan_, p.x() - lastX_, p.y() - lastY_);
        viewMoved();
    } else if (mouseButton_ == middleButton) {
        panView(p.x(), p.y());
        viewMoved();
    } else {
        turnView(p.x(), p.y());
        viewMoved();
    }
    lastX_ = p.x();
    lastY_ = p.y();
    updateGL();
}

void GLSketch::mouseReleaseEvent(QMouseEvent* event) {
    const QPoint p = eventPosition(event);
    if (mousePressed_ && drawing() && mouseButton_ == leftButton) {
        emitStroke(false, p);
        emit strokeEnded();
        updateGL();
    }
    if (mousePressed_ && mouseButton_ == leftButton && editingDivide_)
        topViewRelease();
    mousePressed_ = false;
    lastX_ = p.x();
    lastY_ = p.y();
}

void GLSketch::emitStroke(bool begin, const QPoint& p) {
    double x = 0.0, y = 0.0;
    windowToDrawing(drawingView_, p.x(), p.y(), x, y);
    if (begin)
        emit strokeBegun(x, y);
    else
        emit strokeExtended(x, y);
}

void GLSketch::zoomDrawing(QWheelEvent* event) {
    const QPointF at = event->position();
    drawingView_ =
        zoomDrawingAbout(drawingView_, wheelZoomFactor(event->angleDelta().y()), at.x(), at.y());
    event->accept();
    updateGL();
}

void GLSketch::wheelEvent(QWheelEvent* event) {
    if (event->angleDelta().y() == 0) {
        event->ignore();
        return;
    }
    // The picture and the curve zoom together, so a stroke lands where it is drawn.
    if (drawing()) {
        zoomDrawing(event);
        return;
    }
    const QPointF at = event->position();
    if (showingTopView()) {
        plan_ = zoomPlanAbout(plan_, wheelZoomFactor(event->angleDelta().y()), at.x(), at.y(),
                              width(), height());
        event->accept();
        viewMoved();
        updateGL();
        return;
    }
    const ZoomPan zoomed =
        zoomAbout(zoomPan(), wheelZoomFactor(event->angleDelta().y()), at.x(), at.y(),
                  session_.model().viewWidth(), session_.model().viewHeight(), terrainBox());
    zoom_ = zoomed.zoom;
    transX_ = zoomed.transX;
    transY_ = zoomed.transY;
    event->accept();
    viewMoved();
    updateGL();
}

// ---- The top view

void GLSketch::setTopView(bool on) {
    if (topView_ == on)
        return;
    topView_ = on;
    planFramed_ = false;
    editingDivide_ = false;
    dragHandle_ = -1;
    divideStroke_.clear();
    updateGL();
}

double GLSketch::firstRowNorthing() const {
    return naturalFirstNorthing_;
}

void GLSketch::framePlanView() {
    const TerrainBounds bounds = terrainBounds(naturalGrid_, naturalSpacing_);
    if (bounds.empty)
        return;
    const double south = firstRowNorthing() + bounds.minZ;
    plan_ = framePlan(bounds.minX, bounds.maxX, south, south + (bounds.maxZ - bounds.minZ), width(),
                      height());
    planFramed_ = true;
}

void GLSketch::refreshDivide() const {
    if (editingDivide_)
        return;
    const std::vector<gmVector2>& course = session_.model().layerProperties(0).divideCourse;
    if (divideVersion_ == naturalVersion_ && divideCourse_ == course)
        return;
    divideVersion_ = naturalVersion_;
    divideCourse_ = course;
    std::string message;
    if (!naturalDivideLine(session_.model(), divide_, message))
        divide_.clear();
}

void GLSketch::drawDivide() {
    refreshDivide();
    const TerrainBounds bounds = drawnBounds();
    // In plan: eye space is (x, northing, height), the line above every height.
    glLoadIdentity();
    glDisable(GL_DEPTH_TEST);
    glDisable(GL_LIGHTING);
    glEnable(GL_BLEND);
    glEnable(GL_LINE_SMOOTH);
    const double z = bounds.maxY;
    const LayerColour colour = session_.model().layerProperties(0).colour;
    const auto strip = [&](const std::vector<gmVector2>& line, float lineWidth) {
        glLineWidth(lineWidth);
        glBegin(GL_LINE_STRIP);
        for (const gmVector2& p : line)
            glVertex3d(p[0], p[1], z);
        glEnd();
    };
    // A dark edge keeps the line readable over snow and over rock alike.
    glColor4f(0.1f, 0.1f, 0.1f, 0.8f);
    strip(divide_, 5.0f);
    glColor4ub(colour.red, colour.green, colour.blue, 255);
    strip(divide_, 3.0f);
    glPointSize(9.0f);
    glColor4f(1.0f, 1.0f, 1.0f, 1.0f);
    glBegin(GL_POINTS);
    for (const gmVector2& p : divide_)
        glVertex3d(p[0], p[1], z);
    glEnd();
    glPointSize(6.0f);
    glColor4ub(colour.red, colour.green, colour.blue, 255);
    glBegin(GL_POINTS);
    for (const gmVector2& p : divide_)
        glVertex3d(p[0], p[1], z);
    glEnd();
    if (!divideStroke_.empty()) {
        glColor4f(1.0f, 1.0f, 1.0f, 0.9f);
        strip(divideStroke_, 2.0f);
    }
    glPointSize(4.0f);
    glLineWidth(1.0f);
    glDisable(GL_LINE_SMOOTH);
    glDisable(GL_BLEND);
}

void GLSketch::topViewPress(const QPoint& p) {
    refreshDivide();
    editingDivide_ = true;
    dragHandle_ = -1;
    divideStroke_.clear();
    // The nearest handle within a few pixels takes the drag.
    const double reach = 8.0;
    double nearest = reach * reach;
    for (std::size_t i = 0; i < divide_.size(); ++i) {
        double px = 0.0, py = 0.0;
        planToWindow(plan_, width(), height(), divide_[i][0], divide_[i][1], px, py);
        const double d = (px - p.x()) * (px - p.x()) + (py - p.y()) * (py - p.y());
        if (d <= nearest) {
            nearest = d;
            dragHandle_ = static_cast<int>(i);
        }
    }
    if (dragHandle_ < 0) {
        double x = 0.0, northing = 0.0;
        windowToPlan(plan_, width(), height(), p.x(), p.y(), x, northing);
        divideStroke_.emplace_back(x, northing);
    }
}

void GLSketch::topViewMove(const QPoint& p) {
    if (!editingDivide_)
        return;
    double x = 0.0, northing = 0.0;
    windowToPlan(plan_, width(), height(), p.x(), p.y(), x, northing);
    if (dragHandle_ >= 0)
        divide_[static_cast<std::size_t>(dragHandle_)][1] = northing;
    else
        divideStroke_.emplace_back(x, northing);
}

void GLSketch::topViewRelease() {
    std::vector<gmVector2> course = divide_;
    if (dragHandle_ < 0) {
        // The line shown spans the skyline in the top view's own units (in perspective the
        // world's, not the drawing's).
        const double span = divide_.size() < 2 ? 0.0 : divide_.back()[0] - divide_.front()[0];
        course = courseWithStroke(divide_, divideStroke_, span / (divideLinePoints - 1));
    }
    const bool changed = dragHandle_ >= 0 || course != divide_;
    editingDivide_ = false;
    dragHandle_ = -1;
    divideStroke_.clear();
    // Shown again from the model, whatever the window makes of the edit.
    divideVersion_ = ~0u;
    if (changed)
        emit divideCourseEdited(std::move(course));
    updateGL();
}

void GLSketch::keyPressEvent(QKeyEvent* event) {
    if (event->key() == Qt::Key_Escape && editingDivide_) {
        editingDivide_ = false;
        dragHandle_ = -1;
        divideStroke_.clear();
        divideVersion_ = ~0u;
        mousePressed_ = false;
        updateGL();
        event->accept();
        return;
    }
    QOpenGLWidget::keyPressEvent(event);
}
