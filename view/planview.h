#pragma once

#include "view/viewgeometry.h"

// The top view: the natural terrain seen from straight above, orthographic, north up and east
// to the right. Plan positions are (x, northing) in sketch pixels; the terrain's model space
// is the natural grid's (x, height, row depth), row 0 lying at a given northing. Window
// positions are pixels from the view's top left, y downwards, as mouse events give them.
struct PlanView {
    double centreX = 0.0, centreNorthing = 0.0;
    double pixelsPerUnit = 1.0; // window pixels per sketch pixel
};

// The plan rectangle west..east by south..north centred and as large as a view of the given
// size shows it, a twentieth of the view left free all round. An empty or unusable rectangle
// or view gives the first PlanView.
PlanView framePlan(double west, double east, double south, double north, int viewWidth,
                   int viewHeight);
// Window pixel (px, py) to plan, and back.
void windowToPlan(const PlanView& view, int viewWidth, int viewHeight, double px, double py,
                  double& x, double& northing);
void planToWindow(const PlanView& view, int viewWidth, int viewHeight, double x, double northing,
                  double& px, double& py);
// Zoomed by factor about window pixel (px, py), which keeps its plan position.
PlanView zoomPlanAbout(const PlanView& view, double factor, double px, double py, int viewWidth,
                       int viewHeight);
// Moved by (dx, dy) window pixels: the ground under the pointer goes with it.
PlanView panPlanBy(const PlanView& view, double dx, double dy);

// The camera: orthographic over the view's plan rectangle in eye space (x, northing, height),
// heights from lowest to highest kept inside its depth, the highest nearest.
Matrix4 planProjection(const PlanView& view, int viewWidth, int viewHeight, double lowest,
                       double highest);
// Model (x, height, depth) to eye (x, firstRowNorthing + depth, height). It mirrors the model's
// axes; lighting takes the normals through the same mirror, so faces that face up face the
// camera.
Matrix4 planModelView(double firstRowNorthing);
