#include "view/viewnavigation.h"

#include <algorithm>
#include <cmath>
#include <limits>

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

TerrainBounds terrainBounds(const std::vector<std::vector<gmVector2>>& grid, double rowSpacing) {
    TerrainBounds bounds;
    for (size_t r = 0; r < grid.size(); ++r) {
        const double z = static_cast<double>(r) * rowSpacing;
        for (const gmVector2& p : grid[r]) {
            if (!std::isfinite(p[0]) || !std::isfinite(p[1]) || !std::isfinite(z))
                continue;
            if (bounds.empty) {
                bounds = {p[0], p[0], p[1], p[1], z, z, false};
                continue;
            }
            bounds.minX = std::min(bounds.minX, p[0]);
            bounds.maxX = std::max(bounds.maxX, p[0]);
            bounds.minY = std::min(bounds.minY, p[1]);
            bounds.maxY = std::max(bounds.maxY, p[1]);
            bounds.minZ = std::min(bounds.minZ, z);
            bounds.maxZ = std::max(bounds.maxZ, z);
        }
    }
    return bounds;
}

namespace {

// Where model point (x, y, z) lies after the terrain's model transform: in view units, before
// the zoom and translation.
void modelToViewUnits(double x, double y, double z, double out[3]) {
    const Matrix4 m = terrainModelTransform();
    const double in[4] = {x, y, z, 1.0};
    for (int row = 0; row < 3; ++row) {
        out[row] = 0.0;
        for (int k = 0; k < 4; ++k)
            out[row] += m.at(row, k) * in[k];
    }
}

} // namespace

Matrix4 terrainModelView(const ZoomPan& zoomPan, float rotX, float rotY, float rotZ,
                         const TerrainBounds& bounds) {
    const Matrix4 turn = rotationMatrix(rotX, 1, 0, 0) * rotationMatrix(rotY, 0, 1, 0) *
                         rotationMatrix(rotZ, 0, 0, 1);
    double pivot[3] = {0.0, 0.0, 0.0};
    if (!bounds.empty)
        modelToViewUnits((bounds.minX + bounds.maxX) / 2, (bounds.minY + bounds.maxY) / 2,
                         (bounds.minZ + bounds.maxZ) / 2, pivot);
    // The turn about the pivot, formed first: unturned, its two translations cancel exactly
    // and it is the identity, so the first view stays bit for bit what it was.
    const Matrix4 turnAboutPivot = translationMatrix(pivot[0], pivot[1], pivot[2]) * turn *
                                   translationMatrix(-pivot[0], -pivot[1], -pivot[2]);
    return translationMatrix(zoomPan.transX, zoomPan.transY, 0.0) * scaleMatrix(zoomPan.zoom) *
           turnAboutPivot * terrainModelTransform();
}

Matrix4 naturalTerrainModelView(const ZoomPan& zoomPan, float rotX, float rotY, float rotZ,
                                const TerrainBounds& bounds) {
    Matrix4 mirror = Matrix4::identity();
    mirror.m[10] = -1.0;
    // The turn's pivot is the centre of the terrain as mirrored.
    TerrainBounds mirrored = bounds;
    mirrored.minZ = -bounds.maxZ;
    mirrored.maxZ = -bounds.minZ;
    return terrainModelView(zoomPan, rotX, rotY, rotZ, mirrored) * mirror;
}

ZoomPan homeFraming(const TerrainBounds& bounds, const ViewBox& box) {
    if (bounds.empty)
        return ZoomPan();
    double low[3], high[3];
    modelToViewUnits(bounds.minX, bounds.minY, 0.0, low);
    modelToViewUnits(bounds.maxX, bounds.maxY, 0.0, high);
    const double width = high[0] - low[0];
    const double height = high[1] - low[1];
    // The largest zoom at which both extents fit; a terrain without width or height is held
    // by the other extent alone.
    double zoom = std::numeric_limits<double>::infinity();
    if (width > 0.0)
        zoom = std::min(zoom, homeFill * (box.right - box.left) / width);
    if (height > 0.0)
        zoom = std::min(zoom, homeFill * (box.top - box.bottom) / height);
    if (!std::isfinite(zoom))
        zoom = ZoomPan().zoom;
    zoom = std::clamp(zoom, static_cast<double>(minimumZoom), static_cast<double>(maximumZoom));
    ZoomPan home;
    home.zoom = static_cast<float>(zoom);
    // The translation comes after the zoom: it carries the zoomed centre to the box's centre.
    const double zoomUsed = static_cast<double>(home.zoom);
    home.transX =
        static_cast<float>((box.left + box.right) / 2 - zoomUsed * (low[0] + high[0]) / 2);
    home.transY =
        static_cast<float>((box.bottom + box.top) / 2 - zoomUsed * (low[1] + high[1]) / 2);
    return home;
}

// ---- Curve drawing

void windowToDrawing(const DrawingView& view, double x, double y, double& drawingX,
                     double& drawingY) {
    if (view == DrawingView()) {
        drawingX = x;
        drawingY = y;
        return;
    }
    drawingX = (x - view.panX) / view.zoom;
    drawingY = (y - view.panY) / view.zoom;
}

DrawingView zoomDrawingAbout(const DrawingView& view, double factor, double x, double y) {
    double dx = 0.0, dy = 0.0;
    windowToDrawing(view, x, y, dx, dy);
    DrawingView zoomed;
    zoomed.zoom = std::clamp(view.zoom * factor, minimumDrawingZoom, maximumDrawingZoom);
    zoomed.panX = x - dx * zoomed.zoom;
    zoomed.panY = y - dy * zoomed.zoom;
    return zoomed;
}

DrawingView panDrawingBy(const DrawingView& view, double dx, double dy) {
    return {view.zoom, view.panX + dx, view.panY + dy};
}

Matrix4 drawingViewMatrix(const DrawingView& view, int viewWidth, int viewHeight) {
    // In device coordinates (y up) a drawing point at d shows at zoom * d + offset.
    const double w = std::max(viewWidth, 1);
    const double h = std::max(viewHeight, 1);
    const double offsetX = view.zoom - 1.0 + 2.0 * view.panX / w;
    const double offsetY = 1.0 - view.zoom - 2.0 * view.panY / h;
    Matrix4 m = translationMatrix(offsetX, offsetY, 0.0);
    Matrix4 s = scaleMatrix(view.zoom);
    s.m[10] = 1.0; // depth stays
    return m * s;
}
