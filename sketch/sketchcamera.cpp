#include "sketch/sketchcamera.h"

#include <cmath>

namespace {

const double pi = 3.14159265358979323846;

bool within(double value, double low, double high) {
    return std::isfinite(value) && value >= low && value <= high;
}

} // namespace

double SketchCamera::focalLength() const {
    return 0.5 * frameWidth / std::tan(0.5 * fieldOfView * pi / 180.0);
}

bool checkSketchCamera(const SketchCamera& camera, std::string& reason) {
    if (!within(camera.fieldOfView, smallestFieldOfView, largestFieldOfView))
        reason = "the field of view must lie between 1 and 170 degrees";
    else if (!within(camera.eyeHeight, -largestCameraValue, largestCameraValue))
        reason = "the eye height must lie between -1e9 and 1e9";
    else if (!within(camera.horizon, -largestCameraValue, largestCameraValue))
        reason = "the horizon row must lie between -1e9 and 1e9";
    else if (!within(camera.frameWidth, 1.0, largestCameraValue) ||
             !within(camera.frameHeight, 1.0, largestCameraValue))
        reason = "the frame must be 1 to 1e9 pixels wide and high";
    else
        return true;
    return false;
}

gmVector2 drawingToWorld(const SketchCamera& camera, const gmVector2& drawn, double distance,
                         double scale) {
    if (!camera.perspective())
        return gmVector2(drawn[0] * scale, drawn[1] * scale);
    // World units a drawing pixel spans at that distance.
    const double across = distance / camera.focalLength();
    return gmVector2(camera.eyeX(scale) + (drawn[0] - 0.5 * camera.frameWidth) * across,
                     camera.eyeHeight + (drawn[1] - camera.horizon) * across);
}

gmVector2 worldToDrawing(const SketchCamera& camera, const gmVector2& world, double distance,
                         double scale) {
    if (!camera.perspective())
        return gmVector2(world[0] / scale, world[1] / scale);
    const double f = camera.focalLength();
    return gmVector2(0.5 * camera.frameWidth + f * (world[0] - camera.eyeX(scale)) / distance,
                     camera.horizon + f * (world[1] - camera.eyeHeight) / distance);
}

std::vector<gmVector2> skylineInGrid(const SketchCamera& camera,
                                     const std::vector<gmVector2>& drawn, double distance,
                                     double scale) {
    std::vector<gmVector2> grid;
    grid.reserve(drawn.size());
    for (const gmVector2& p : drawn) {
        const gmVector2 world = drawingToWorld(camera, p, distance, scale);
        grid.emplace_back(world[0] / scale, world[1] / scale);
    }
    return grid;
}

double fieldOfViewFor35mm(double focal35, double width, double height, double cropWidth) {
    if (!(focal35 > 0) || !(width > 0) || !(height > 0) || !(cropWidth > 0))
        return 0.0;
    // The 35 mm equivalent keeps the diagonal: the frame's width on a 36 x 24 mm film's
    // diagonal.
    const double diagonal = std::hypot(36.0, 24.0);
    const double across = diagonal * width / std::hypot(width, height) * cropWidth;
    return 2.0 * std::atan(across / (2.0 * focal35)) * 180.0 / pi;
}
