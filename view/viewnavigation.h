#pragma once

#include <vector>

#include "libgm/gmvec2.h"
#include "view/viewgeometry.h"

// How the terrain stages frame the terrain, and how the wheel, a middle drag and Home move
// that frame. Plain functions on the CPU: the sketch view loads the matrices they lead to and
// hands the very same ones to unprojectPoint, so a pick after any zoom or pan still finds the
// column under the pointer.

// The sketch view's size in the window's first layout (856 x 756): the size the terrain's
// scale of 0.0024 per pixel was chosen for.
constexpr int referenceViewWidth = 840;
constexpr int referenceViewHeight = 640;

// The part of view space (before the projection, after the view transform) a view shows.
struct ViewBox {
    double left, right, bottom, top;
};

// What the terrain stages show. At the reference size it is sketchProjection()'s box; other
// view sizes grow or shrink it from its bottom-left corner, so a terrain point keeps its
// distance in pixels from the view's bottom-left corner, as the silhouette it was drawn from
// did: the terrain of a silhouette drawn across the view stays in view in a small window
// and does not run out of a large one. When the silhouette reaches further than the view
// (rightmostX and highestY, in silhouette pixels), or within 2 % of its edges, the box grows,
// keeping its shape, until the whole terrain is in view with that 2 % to spare. A view without
// a size yet gets sketchProjection()'s box.
ViewBox terrainViewBox(int viewWidth, int viewHeight, double rightmostX, double highestY);

// The projection of a box: glOrtho with the sketch view's depth range -10000 .. 10000.
Matrix4 boxProjection(const ViewBox& box);

// The zoom and translation of sketchViewTransform(): translation in view units, applied after
// the zoom, so the zoom acts about the view's origin.
struct ZoomPan {
    float zoom = 2.0f;
    float transX = 0.0f;
    float transY = 0.0f;
};

// The zoom can go from an eighth to 32 times the first one.
constexpr float minimumZoom = 0.25f;
constexpr float maximumZoom = 64.0f;

// The zoom factor of a wheel turn: 1.2 for every notch (120 eighths of a degree) away from
// the user, its inverse towards them.
double wheelZoomFactor(int angleDelta);

// A view of viewWidth x viewHeight pixels showing box. Zooms by factor (held within the zoom
// limits) about the pointer at (x, y) (pixels, origin top left, y down): what is under the
// pointer stays under it.
ZoomPan zoomAbout(const ZoomPan& current, double factor, double x, double y, int viewWidth,
                  int viewHeight, const ViewBox& box);

// Moves the picture by (dx, dy) pixels (y down, as the pointer moves): what was under the
// pointer follows it.
ZoomPan panBy(const ZoomPan& current, double dx, double dy, int viewWidth, int viewHeight,
              const ViewBox& box);

// The box the terrain fills in model space: x and heights in silhouette pixels, z the depth of
// its rows (row r at r row spacings). The view turns the terrain about its centre, and Home
// frames it. Empty for a grid without points; non-finite points are left out.
struct TerrainBounds {
    double minX = 0.0, maxX = 0.0, minY = 0.0, maxY = 0.0, minZ = 0.0, maxZ = 0.0;
    bool empty = true;
};
TerrainBounds terrainBounds(const std::vector<std::vector<gmVector2>>& grid, double rowSpacing);

// The terrain's model-view matrix: sketchViewTransform() and terrainModelTransform(), with the
// turn (degrees about x, then y, then z) made about the centre of bounds instead of the view's
// origin, so a turned terrain stays where it was on screen instead of swinging about its
// silhouette row. Unturned, or with empty bounds, it is exactly
// sketchViewTransform(...) * terrainModelTransform().
Matrix4 terrainModelView(const ZoomPan& zoomPan, float rotX, float rotY, float rotZ,
                         const TerrainBounds& bounds);

// The natural terrain's model-view matrix. Its rows run north (depth = northing), away from
// the viewer, who stands to the south as the skyline was drawn: the depth is mirrored, so that
// larger depths lie further from the camera while east stays on the right, and the nearer
// ranges hide the ones behind them. (The plain terrain's rows come towards the camera instead,
// its silhouette at the back.) Otherwise as terrainModelView: the same picture unturned but
// for which surface lies in front, the turn about the centre of bounds, and Home frames it
// alike.
Matrix4 naturalTerrainModelView(const ZoomPan& zoomPan, float rotX, float rotY, float rotZ,
                                const TerrainBounds& bounds);

// The part of the view's width or height the terrain fills after Home.
constexpr double homeFill = 0.9;

// Home's zoom and translation for a view showing box: the unturned terrain centred in the box,
// filling homeFill of its width or of its height, whichever comes first (the zoom held within
// its limits). Since the box and the view share their corners, this holds in pixels too, at
// any view size and device pixel ratio. Empty bounds give the first view, ZoomPan().
ZoomPan homeFraming(const TerrainBounds& bounds, const ViewBox& box);

// ---- Curve drawing: the picture and the curve zoomed and moved together, so a photo can be
// traced closely. A drawing pixel (x, y) (origin top left, y down, at the drawing's own
// scale: the pixels strokes and the curve are kept in) shows at window pixel
// (zoom * x + panX, zoom * y + panY). The first view, zoom 1 without pan, shows every
// drawing pixel at its own window pixel.
struct DrawingView {
    double zoom = 1.0;
    double panX = 0.0;
    double panY = 0.0;
    bool operator==(const DrawingView& o) const {
        return zoom == o.zoom && panX == o.panX && panY == o.panY;
    }
};

// The drawing can be shown from half to 16 times its own scale.
constexpr double minimumDrawingZoom = 0.5;
constexpr double maximumDrawingZoom = 16.0;

// The drawing pixel under window pixel (x, y); the first view gives (x, y) itself, exactly.
void windowToDrawing(const DrawingView& view, double x, double y, double& drawingX,
                     double& drawingY);
// Zooms by factor (held within the drawing zoom limits) about window pixel (x, y): the
// drawing pixel under it stays under it.
DrawingView zoomDrawingAbout(const DrawingView& view, double factor, double x, double y);
// Moves the drawing by (dx, dy) window pixels (y down).
DrawingView panDrawingBy(const DrawingView& view, double dx, double dy);
// The matrix that, applied after the drawing's own projection (normalised device coordinates
// of a viewWidth x viewHeight view), zooms and moves the picture as the view says.
Matrix4 drawingViewMatrix(const DrawingView& view, int viewWidth, int viewHeight);
