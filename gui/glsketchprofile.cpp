#include "gui/glsketchprofile.h"

#include "curve/profilepipeline.h"
#include "printing/printedlines.h"
#include "view/viewgeometry.h"
#include <GL/gl.h>
#include <QMouseEvent>
#include <algorithm>

namespace {

constexpr int leftButton = 1;
constexpr size_t strokeReserve = 1000000;

// The unit square with a margin of 0.1 on every side, stretched to the view's shape.
Matrix4 profileProjection() {
    return orthoMatrix(-0.1, 1.1, -0.1, 1.1, -10.0, 10.0);
}

// How far outside the box, in pixels, a stroke may begin; its points are moved into the box.
constexpr double boxGracePixels = 12.0;

void vertex(const gmVector2& p) {
    glVertex2d(p[0], p[1]);
}

} // namespace

GLSketchProfile::GLSketchProfile(QWidget* parent, const char* name) : QOpenGLWidget(parent) {
    if (name)
        setObjectName(QString::fromLatin1(name));
}

void GLSketchProfile::setDefaultProfile() {
    profile_.clear();
    // The single-precision counter gives 101 points, the last just below 1.
    for (float x = 0.0f; x <= 1.0f; x += 0.01f)
        profile_.emplace_back(x, 1.0f - x);
    initialProfile_ = profile_;
    profileForEditing(profile_);
}

void GLSketchProfile::setInitialProfile(std::vector<gmVector2> initprof) {
    profile_ = std::move(initprof);
    profileForEditing(profile_);
    initialProfile_ = profile_;
    update();
}

void GLSketchProfile::returnToInitial() {
    profile_ = initialProfile_;
    update();
    emit profileUpdated(profile_);
}

// ---- Mouse

gmVector2 GLSketchProfile::toProfile(int x, int y) const {
    // The view transform is the identity: profile coordinates are those of the projection.
    const Matrix4 modelView = Matrix4::identity();
    const Matrix4 projection = profileProjection();
    const int viewport[4] = {0, 0, viewWidth_, viewHeight_};
    double px = 0.0, py = 0.0, pz = 0.0;
    unprojectPoint(modelView, projection, viewport, x, viewHeight_ - y, 0.0, px, py, pz);
    return gmVector2(px, py);
}

void GLSketchProfile::mousePressEvent(QMouseEvent* event) {
    mousePressed_ = true;
    mouseButton_ = static_cast<int>(event->button());
    if (mouseButton_ != leftButton)
        return;
    const QPoint pos = event->position().toPoint();
    const gmVector2 p = toProfile(pos.x(), pos.y());
    stroke_.clear();
    // The view shows 1.2 box widths and heights.
    const double graceX = 1.2 * boxGracePixels / std::max(viewWidth_, 1);
    const double graceY = 1.2 * boxGracePixels / std::max(viewHeight_, 1);
    if (!nearProfileBox(p, graceX, graceY)) {
        // A stroke must start inside the unit square or just outside it.
        mousePressed_ = false;
    } else {
        stroke_.reserve(strokeReserve);
        stroke_.push_back(clampedIntoProfileBox(p));
    }
    update();
}

void GLSketchProfile::mouseMoveEvent(QMouseEvent* event) {
    if (!mousePressed_ || mouseButton_ != leftButton)
        return;
    const QPoint pos = event->position().toPoint();
    stroke_.push_back(clampedIntoProfileBox(toProfile(pos.x(), pos.y())));
    update();
}

void GLSketchProfile::mouseReleaseEvent(QMouseEvent* event) {
    if (mousePressed_ && mouseButton_ == leftButton) {
        const QPoint pos = event->position().toPoint();
        stroke_.push_back(clampedIntoProfileBox(toProfile(pos.x(), pos.y())));
        finishStroke();
    }
    mousePressed_ = false;
}

void GLSketchProfile::finishStroke() {
    profileFromStroke(stroke_, viewWidth_);
    if (stroke_.empty()) {
        // Drawn wholly left of the box: nothing to make a profile of.
        update();
        return;
    }
    printLine("There are %i points\n", static_cast<int>(stroke_.size()));
    profile_ = stroke_;
    stroke_.clear();
    update();
    emit profileUpdated(profile_);
}

// ---- GL

void GLSketchProfile::initializeGL() {
    glLoadIdentity();
    glHint(GL_LINE_SMOOTH_HINT, GL_NICEST);
    glClearColor(1.0f, 1.0f, 1.0f, 1.0f);
    glEnable(GL_LINE_SMOOTH);
    glPointSize(4.0f);
    if (initialProfile_.empty())
        setDefaultProfile();
}

void GLSketchProfile::resizeGL(int width, int height) {
    glViewport(0, 0, width, height);
    glMatrixMode(GL_PROJECTION);
    glLoadMatrixd(profileProjection().m);
    // Mouse positions come in widget pixels.
    viewWidth_ = this->width() > 0 ? this->width() : 1;
    viewHeight_ = this->height();
    glMatrixMode(GL_MODELVIEW);
}

void GLSketchProfile::paintGL() {
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    glMatrixMode(GL_PROJECTION);
    glLoadMatrixd(profileProjection().m);
    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();
    glDisable(GL_TEXTURE_2D);
    glDisable(GL_LIGHTING);
    glDisable(GL_DEPTH_TEST);
    glLineWidth(1.0f);
    drawFrame();
    if (!profile_.empty()) {
        glColor3f(0.45f, 0.0f, 0.5f);
        glBegin(GL_LINE_STRIP);
        for (const gmVector2& p : profile_)
            vertex(p);
        glEnd();
    }
    if (!stroke_.empty())
        drawStroke();
}

void GLSketchProfile::drawFrame() {
    glBegin(GL_LINES);
    glColor3f(0.8f, 0.8f, 0.8f);
    glVertex2d(0.0, 1.0);
    glVertex2d(1.0, 1.0);
    glVertex2d(1.0, 1.0);
    glVertex2d(1.0, 0.0);
    glColor3f(0.0f, 0.0f, 0.0f);
    glVertex2d(0.0, 0.0);
    glVertex2d(1.05, 0.0);
    glVertex2d(0.0, 0.0);
    glVertex2d(0.0, 1.05);
    glVertex2d(-0.025, 1.0);
    glVertex2d(0.025, 1.0);
    glVertex2d(1.0, -0.025);
    glVertex2d(1.0, 0.025);
    glEnd();
}

void GLSketchProfile::drawStroke() {
    // Shown as a whole profile: from the top of the left edge, through the stroke, then
    // flat to the right edge; red at the ends fading to blue inside.
    const auto setEndColour = [] { glColor3f(0.9f, 0.0f, 0.0f); };
    glBegin(GL_LINE_STRIP);
    setEndColour();
    glVertex2d(0.0, 1.0);
    for (size_t i = 0; i < stroke_.size(); ++i) {
        if (i + 1 == stroke_.size())
            setEndColour();
        vertex(stroke_[i]);
        if (i == 0)
            glColor3f(0.0f, 0.0f, 0.8f);
    }
    glVertex2d(1.0, stroke_.back()[1]);
    glEnd();
}
