#pragma once

#include <functional>
#include <utility>
#include <vector>

#include "tools/analysis/terrainmeasures.h"

// The silhouette of a heightmap as a camera sees it, rendered from the raster alone (nothing
// here comes from the construction that made it), and its distance from a drawn skyline.
//
// World coordinates are the raster's own: x east (column c's centre at xll + (c + 0.5) * cell),
// north (row r's centre at yll + (rows - r - 0.5) * cell; row 0 is the northern row) and
// height. The camera stands to the south and looks north, along the columns, as the sketch's
// viewer does.
//
// The view is an image of width x height pixels, y up from its bottom edge, as a sketch keeps
// its curve: image column x (a whole number) is where the drawn skyline's point at x lies.
// The terrain is the surface through the cell centres, linear between neighbours along rows
// and along columns; each of those segments is projected and its height taken at every image
// column it spans. A column's top is the highest such height; where nothing is in view it is
// -infinity. A raster cannot hold a skyline's detail finer than its cells, so each column also
// keeps the reach of the segment that gave its top: how many image columns the segment spans
// (the cell spacing as seen there; in perspective at least a cell's width seen at the
// segment's farther end, as a segment along a column spans less).

struct ViewCamera {
    enum class Kind { orthographic, perspective } kind = Kind::orthographic;
    // Orthographic, straight on: image x = (world x - originX) / scale, image y = height /
    // scale (the exports' placement of the sketch, mondrel-build's --scale and --origin).
    double scale = 1.0;
    double originX = 0.0;
    // Perspective: the eye in world coordinates, the horizontal field of view in degrees
    // across the image's width, and the image row (y up) at which a level line at eye height
    // appears (the horizon). Image x = width / 2 + f * (x - eyeX) / depth and image y =
    // horizonY + f * (height - eyeHeight) / depth, with depth = north - eyeNorth and
    // f = (width / 2) / tan(fov / 2). Points less than a cell in front of the eye are not seen.
    double eyeX = 0.0;
    double eyeNorth = 0.0;
    double eyeHeight = 0.0;
    double fovDegrees = 60.0;
    double horizonY = 0.0;
};

struct RenderedSilhouette {
    std::vector<double> top;   // per image column 0 .. width - 1
    std::vector<double> reach; // in image columns
};
RenderedSilhouette renderSilhouette(const Grid& grid, const ViewCamera& camera, int width);

// How far the rendered tops lie from a drawn skyline (a polyline of (x, y) in image pixels),
// over the image columns the skyline spans (within the image). A column's deviation is how far
// its top lies outside the skyline's range (its lowest and highest height) over the column's
// reach either side, so a sharp summit between two cells is not counted against the raster;
// pointMean is the mean distance from the skyline at the column itself. Reported: the largest
// deviation in pixels and where, the mean, and the share of columns within tolerance pixels. A
// column with no terrain in view counts as not within and is counted in missing.
struct SilhouetteDeviation {
    int columns = 0;
    int missing = 0;
    double worst = 0.0;
    double worstX = 0.0;
    double worstSigned = 0.0; // positive when the rendered top lies above the skyline there
    double mean = 0.0;
    double pointMean = 0.0;
    double within = 0.0;
};
// With `counted`, only the image columns it accepts are compared.
SilhouetteDeviation compareSilhouette(const RenderedSilhouette& rendered,
                                      std::vector<std::pair<double, double>> skyline,
                                      double tolerance,
                                      const std::function<bool(double)>& counted = {});

// The outline several skylines make seen from the front: at every x the highest of the
// skylines that span it (each linear between its points), sampled at their points, where two
// cross, and at most `step` apart; x rising.
std::vector<std::pair<double, double>>
visibleOutline(const std::vector<std::vector<std::pair<double, double>>>& skylines, double step);
