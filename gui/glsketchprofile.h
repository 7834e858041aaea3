#pragma once

#include <QOpenGLWidget>
#include <vector>

#include "libgm/gmvec2.h"

class QMouseEvent;

// The small view of the profile editor in which one cross-section profile is redrawn with the
// mouse. A profile is a height function over the unit square: x from 0 to 1 across the
// section, y the height relative to the silhouette. Each finished stroke becomes the new
// profile (see profileFromStroke) and is announced by profileUpdated.
class GLSketchProfile : public QOpenGLWidget {
    Q_OBJECT

public:
    explicit GLSketchProfile(QWidget* parent = nullptr, const char* name = nullptr);

    // The straight profile falling from height 1 at x = 0 to 0 at x = 1; the 101-point line
    // becomes the profile to return to, the shown profile its 51-point resampling.
    void setDefaultProfile();

    const std::vector<gmVector2>& profile() const { return profile_; }
    const std::vector<gmVector2>& initialProfile() const { return initialProfile_; }
    const std::vector<gmVector2>& stroke() const { return stroke_; }

public slots:
    void setInitialProfile(std::vector<gmVector2> initprof);
    void returnToInitial();

signals:
    void profileUpdated(std::vector<gmVector2> prof);

protected:
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void initializeGL() override;
    void resizeGL(int width, int height) override;
    void paintGL() override;

private:
    gmVector2 toProfile(int x, int y) const;
    void finishStroke();
    void drawFrame();
    void drawStroke();

    int viewWidth_ = 1;
    int viewHeight_ = 1;
    bool mousePressed_ = false;
    int mouseButton_ = 0;
    std::vector<gmVector2> profile_;
    std::vector<gmVector2> stroke_;
    std::vector<gmVector2> initialProfile_;
};
