#include "view/viewnavigation.h"

#include <algorithm>
#include <cmath>

namespace {

const ViewBox firstBox{-2.0, 2.0, -2.0, 2.0};

// Where silhouette pixel (x, y) lies in view space at the first zoom, unturned.
void firstViewPoint(double x, double y, double& viewX, double& viewY) {
    const Matrix4 m = sketchViewTransform(0, 0, 0, 2.0f, 0, 0, 0) * terrainModelTransform();
    viewX = m.at(0, 0) * x + m.at(0, 1) * y + m.at(0, 3);
    viewY = m.at(1, 0) * x + m.at(1, 1) * y + m.at(1, 3);
}

double unitsPerPixelX(int viewWidth, const ViewBox& box) {
    return (box.right - box.left) / viewWidth;
}

double unitsPerPixelY(int viewHeight, const ViewBox& box) {
    return (box.top - box.bottom) / viewHeight;
}

} // namespace

ViewBox terrainViewBox(int viewWidth, int viewHeight, double rightmostX, double highestY) {
    if (viewWidth <= 0 || viewHeight <= 0)
        return firstBox;
    const double width = (firstBox.right - firstBox.left) * viewWidth / referenceViewWidth;
    const double height = (firstBox.top - firstBox.bottom) * viewHeight / referenceViewHeight;
    double reachX = 0.0, reachY = 0.0;
    firstViewPoint(rightmostX, highestY, reachX, reachY);
    // Grown, the box leaves the terrain a little room at its edges.
    const double room = 0.98;
    double grow = 1.0;
    if (std::isfinite(reachX) && std::isfinite(reachY))
        grow = std::max({1.0, (reachX - firstBox.left) / (room * width),
                         (reachY - firstBox.bottom) / (room * height)});
    return {firstBox.left, firstBox.left + width * grow, firstBox.bottom,
            firstBox.bottom + height * grow};
}

Matrix4 boxProjection(const ViewBox& box) {
    return orthoMatrix(box.left, box.right, box.bottom, box.top, -10000.0, 10000.0);
}

double wheelZoomFactor(int angleDelta) {
    return std::pow(1.2, angleDelta / 120.0);
}

ZoomPan zoomAbout(const ZoomPan& current, double factor, double x, double y, int viewWidth,
                  int viewHeight, const ViewBox& box) {
    if (viewWidth <= 0 || viewHeight <= 0)
        return current;
    const double zoom = std::clamp(current.zoom * factor, static_cast<double>(minimumZoom),
                                   static_cast<double>(maximumZoom));
    const double scale = zoom / current.zoom;
    // The view point under the pointer, and where the translation must put it afterwards.
    const double vx = box.left + x * unitsPerPixelX(viewWidth, box);
    const double vy = box.bottom + (viewHeight - y) * unitsPerPixelY(viewHeight, box);
    ZoomPan next;
    next.zoom = static_cast<float>(zoom);
    next.transX = static_cast<float>(vx - scale * (vx - current.transX));
    next.transY = static_cast<float>(vy - scale * (vy - current.transY));
    return next;
}

ZoomPan panBy(const ZoomPan& current, double dx, double dy, int viewWidth, int viewHeight,
              const ViewBox& box) {
    if (viewWidth <= 0 || viewHeight <= 0)
        return current;
    ZoomPan next = current;
    next.transX = static_cast<float>(current.transX + dx * unitsPerPixelX(viewWidth, box));
    next.transY = static_cast<float>(current.transY - dy * unitsPerPixelY(viewHeight, box));
    return next;
}
