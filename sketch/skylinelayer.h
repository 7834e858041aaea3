#pragma once

#include <string>
#include <vector>

#include "libgm/gmvec2.h"

// A photograph of mountains holds several skylines: a near ridge in front of a farther range
// whose summits show above it. The curve-drawing stage keeps each skyline on a layer of its
// own, at its distance from the viewer; the layers are kept front to back, the front layer
// (the nearest) first. The four stages build the terrain from the front layer's skyline.

// A layer's colour, 8 bits a channel.
struct LayerColour {
    unsigned char red = 0, green = 0, blue = 0;

    bool operator==(const LayerColour& o) const {
        return red == o.red && green == o.green && blue == o.blue;
    }
    bool operator!=(const LayerColour& o) const { return !(*this == o); }
};

// "#rrggbb" in lower case, and back; parsing is false for anything else.
std::string colourText(const LayerColour& colour);
bool parseColourText(const std::string& text, LayerColour& colour);

// Everything of a layer but its skyline.
struct LayerProperties {
    std::string name;
    LayerColour colour;
    // From the viewer, in the terrain's world units (sketch pixels times the export's scale).
    double distance = 0.0;
    bool visible = true;
    // A locked layer takes no strokes.
    bool locked = false;
    // Where its range's divide runs, drawn from above (natural/dividecourse.h): (x, northing)
    // in sketch pixels, x rising; empty: the divide wanders by itself. It is the layer's plan,
    // not its skyline's shape, so strokes and curve files leave it; "Clear Curve" starts the
    // layer over and takes it too.
    std::vector<gmVector2> divideCourse;

    bool operator==(const LayerProperties& o) const {
        return name == o.name && colour == o.colour && distance == o.distance &&
               visible == o.visible && locked == o.locked && divideCourse == o.divideCourse;
    }
    bool operator!=(const LayerProperties& o) const { return !(*this == o); }
};

// The distance of the first layer, and how much farther each added layer lies than the
// farthest before it.
constexpr double firstLayerDistance = 1000.0;
constexpr double layerDistanceStep = 1000.0;
// Distances lie above 0 and up to this.
constexpr double largestLayerDistance = 1e9;
// The longest name kept, in bytes.
constexpr std::size_t longestLayerName = 256;

// The one layer a new sketch has, which old projects and curve files open as: "Layer 1" at
// firstLayerDistance, in the first colour of a fixed palette.
LayerProperties firstLayerProperties();
// A layer added behind the existing ones: named "Layer N" with the first N no layer has,
// firstLayerDistance behind the farthest, in the next colour of a fixed palette.
LayerProperties addedLayerProperties(const std::vector<LayerProperties>& existing);
// Whether distance is one a layer may have; false with the reason (a phrase) when not.
bool checkLayerDistance(double distance, std::string& reason);

// One layer's skyline as the natural construction takes it: the points as drawn (view
// pixels, y up) and the distance from the viewer.
struct DistantSkyline {
    std::vector<gmVector2> skyline;
    double distance = 0.0;
};
