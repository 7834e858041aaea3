#include "sketch/skylinelayer.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

namespace {

// Colours that stay apart from each other, from the current layer's orange and from the red
// of the stroke being drawn, over a photograph.
const LayerColour palette[] = {{190, 40, 120}, {51, 102, 204}, {46, 158, 79},
                               {130, 70, 200}, {26, 150, 160}, {120, 80, 40}};
constexpr std::size_t paletteSize = sizeof palette / sizeof palette[0];

int hexDigit(char c) {
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return -1;
}

} // namespace

std::string colourText(const LayerColour& colour) {
    char text[8];
    std::snprintf(text, sizeof text, "#%02x%02x%02x", colour.red, colour.green, colour.blue);
    return text;
}

bool parseColourText(const std::string& text, LayerColour& colour) {
    if (text.size() != 7 || text[0] != '#')
        return false;
    unsigned char channels[3] = {};
    for (int c = 0; c < 3; ++c) {
        const int high = hexDigit(text[static_cast<std::size_t>(1 + 2 * c)]);
        const int low = hexDigit(text[static_cast<std::size_t>(2 + 2 * c)]);
        if (high < 0 || low < 0)
            return false;
        channels[c] = static_cast<unsigned char>(high * 16 + low);
    }
    colour = {channels[0], channels[1], channels[2]};
    return true;
}

LayerProperties firstLayerProperties() {
    LayerProperties first;
    first.name = "Layer 1";
    first.colour = palette[0];
    first.distance = firstLayerDistance;
    return first;
}

LayerProperties addedLayerProperties(const std::vector<LayerProperties>& existing) {
    LayerProperties added = firstLayerProperties();
    int number = 1;
    const auto taken = [&](int n) {
        const std::string name = "Layer " + std::to_string(n);
        return std::any_of(existing.begin(), existing.end(),
                           [&](const LayerProperties& p) { return p.name == name; });
    };
    while (taken(number))
        ++number;
    added.name = "Layer " + std::to_string(number);
    added.colour = palette[existing.size() % paletteSize];
    double farthest = 0.0;
    for (const LayerProperties& p : existing)
        farthest = std::max(farthest, p.distance);
    added.distance = existing.empty()
                         ? firstLayerDistance
                         : std::min(farthest + layerDistanceStep, largestLayerDistance);
    return added;
}

bool checkLayerDistance(double distance, std::string& reason) {
    if (!std::isfinite(distance) || distance <= 0.0 || distance > largestLayerDistance) {
        reason = "a layer's distance must lie above 0 and up to 1e9";
        return false;
    }
    return true;
}
