#pragma once

#include <string>
#include <vector>

#include "libgm/gmvec2.h"

// The camera the skylines were drawn from. Straight on (orthographic) is the sketch's own
// view: a drawing pixel is `scale` world units wide and high at every distance. A perspective
// camera is what a photograph was taken with: it stands level at the viewer's position (the
// front layer's distance south of the front layer), looks north, and sees `fieldOfView`
// degrees across the drawing's width; a level line at eye height lies on the drawing's
// `horizon` row. A layer's skyline then lies at its distance from the eye, and the farther the
// layer, the larger the world a drawing pixel covers there.
//
// World coordinates are the exports' (sketch pixels times the export's scale in straight-on
// view): x east, height up, and distances north of the eye. The eye stands above world x
// frameWidth / 2 * scale, where the middle of the drawing lies in the straight-on view, at
// eyeHeight.
//
// Perspective, for a point at distance d from the eye, with f = (frameWidth / 2) /
// tan(fieldOfView / 2) the focal length in drawing pixels:
//     drawing x = frameWidth / 2 + f * (x - eyeX) / d
//     drawing y = horizon + f * (height - eyeHeight) / d
// which is also what tools/analysis/silhouetterender's perspective camera computes with its
// eye at (eyeX, -d_front, eyeHeight), the same field of view over a view frameWidth wide and
// the same horizon row.
struct SketchCamera {
    enum class Kind { straightOn, perspective };
    Kind kind = Kind::straightOn;
    // Degrees across the drawing's width, from smallestFieldOfView to largestFieldOfView.
    double fieldOfView = 50.0;
    // World units above the terrain's base level (height 0).
    double eyeHeight = 0.0;
    // The drawing row (sketch pixels, y up) of eye level.
    double horizon = 300.0;
    // The drawing the camera frames, in sketch pixels: the view the skylines were drawn in.
    double frameWidth = 800.0;
    double frameHeight = 600.0;

    bool perspective() const { return kind == Kind::perspective; }
    // The focal length in drawing pixels.
    double focalLength() const;
    // The eye's x in world units for an export's scale.
    double eyeX(double scale) const { return 0.5 * frameWidth * scale; }

    bool operator==(const SketchCamera& o) const {
        return kind == o.kind && fieldOfView == o.fieldOfView && eyeHeight == o.eyeHeight &&
               horizon == o.horizon && frameWidth == o.frameWidth && frameHeight == o.frameHeight;
    }
    bool operator!=(const SketchCamera& o) const { return !(*this == o); }
};

constexpr double smallestFieldOfView = 1.0;
constexpr double largestFieldOfView = 170.0;
// Eye heights and horizon rows lie within this either way; frames from 1 pixel up to it.
constexpr double largestCameraValue = 1e9;

// Whether every value lies in its range; false with the reason (a phrase naming the value)
// when not.
bool checkSketchCamera(const SketchCamera& camera, std::string& reason);

// A drawn point (sketch pixels, y up) of a layer at `distance` from the viewer (world units)
// as the world point (x, height) it shows, for an export's scale: straight on, the point times
// the scale at every distance; in perspective, where the ray through it meets the distance.
gmVector2 drawingToWorld(const SketchCamera& camera, const gmVector2& drawn, double distance,
                         double scale);
// The world point (x, height) at `distance` north of the eye as the drawing shows it: the
// inverse of drawingToWorld.
gmVector2 worldToDrawing(const SketchCamera& camera, const gmVector2& world, double distance,
                         double scale);
// A drawn skyline at `distance` in the natural construction's grid units (world / scale).
std::vector<gmVector2> skylineInGrid(const SketchCamera& camera,
                                     const std::vector<gmVector2>& drawn, double distance,
                                     double scale);

// The horizontal field of view of a photograph width x height pixels taken with a lens of
// focal35 mm as the 35 mm film equivalent (the frame of the same diagonal, 36 x 24 mm): for a
// 3:2 landscape frame 2 atan(36 / (2 focal35)). Where only a part of the photograph is drawn
// (cropWidth of its width, 0 to 1), the field of view the drawing spans. 0 for a focal length
// or size that is not positive.
double fieldOfViewFor35mm(double focal35, double width, double height, double cropWidth = 1.0);
