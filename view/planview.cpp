#include "view/planview.h"

#include <algorithm>
#include <cmath>

PlanView framePlan(double west, double east, double south, double north, int viewWidth,
                   int viewHeight) {
    PlanView view;
    const double width = east - west, depth = north - south;
    if (!(width > 0) || !(depth > 0) || viewWidth <= 0 || viewHeight <= 0 ||
        !std::isfinite(width) || !std::isfinite(depth))
        return view;
    view.centreX = 0.5 * (west + east);
    view.centreNorthing = 0.5 * (south + north);
    view.pixelsPerUnit = 0.9 * std::min(viewWidth / width, viewHeight / depth);
    return view;
}

void windowToPlan(const PlanView& view, int viewWidth, int viewHeight, double px, double py,
                  double& x, double& northing) {
    x = view.centreX + (px - 0.5 * viewWidth) / view.pixelsPerUnit;
    northing = view.centreNorthing + (0.5 * viewHeight - py) / view.pixelsPerUnit;
}

void planToWindow(const PlanView& view, int viewWidth, int viewHeight, double x, double northing,
                  double& px, double& py) {
    px = 0.5 * viewWidth + (x - view.centreX) * view.pixelsPerUnit;
    py = 0.5 * viewHeight - (northing - view.centreNorthing) * view.pixelsPerUnit;
}

PlanView zoomPlanAbout(const PlanView& view, double factor, double px, double py, int viewWidth,
                       int viewHeight) {
    if (!(factor > 0) || !std::isfinite(factor))
        return view;
    double x = 0.0, northing = 0.0;
    windowToPlan(view, viewWidth, viewHeight, px, py, x, northing);
    PlanView zoomed = view;
    zoomed.pixelsPerUnit = view.pixelsPerUnit * factor;
    // The point under the pointer stays there.
    zoomed.centreX = x - (px - 0.5 * viewWidth) / zoomed.pixelsPerUnit;
    zoomed.centreNorthing = northing - (0.5 * viewHeight - py) / zoomed.pixelsPerUnit;
    return zoomed;
}

PlanView panPlanBy(const PlanView& view, double dx, double dy) {
    PlanView moved = view;
    moved.centreX -= dx / view.pixelsPerUnit;
    moved.centreNorthing += dy / view.pixelsPerUnit;
    return moved;
}

Matrix4 planProjection(const PlanView& view, int viewWidth, int viewHeight, double lowest,
                       double highest) {
    const double halfWidth = 0.5 * std::max(viewWidth, 1) / view.pixelsPerUnit;
    const double halfHeight = 0.5 * std::max(viewHeight, 1) / view.pixelsPerUnit;
    // Eye depth is the height: glOrtho shows eye z from -zNear to -zFar.
    return orthoMatrix(view.centreX - halfWidth, view.centreX + halfWidth,
                       view.centreNorthing - halfHeight, view.centreNorthing + halfHeight,
                       -(highest + 1.0), 1.0 - lowest);
}

Matrix4 planModelView(double firstRowNorthing) {
    Matrix4 m = Matrix4::identity();
    // Columns: model x -> eye x, model height -> eye z, model depth -> eye y.
    m.m[5] = 0.0;
    m.m[6] = 1.0;
    m.m[9] = 1.0;
    m.m[10] = 0.0;
    m.m[13] = firstRowNorthing;
    return m;
}
