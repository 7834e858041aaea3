#include "sketch/statusline.h"

#include <cmath>
#include <cstdio>

#include "sketch/sketchmodel.h"

namespace {

// Two decimals, as the slider's hundredths; a drop-off stepped down to a hair below zero
// reads as 0.00, not -0.00.
std::string twoDecimals(float value) {
    const double shown = std::fabs(value) < 0.005f ? 0.0 : static_cast<double>(value);
    char text[32];
    std::snprintf(text, sizeof text, "%.2f", shown);
    return text;
}

} // namespace

StatusText stageGuidance(int stage) {
    switch (stage) {
    case 0:
        return {"Draw the mountain's silhouette with the left button, then press \"Process "
                "Line\"; \"Next\" builds the terrain.",
                "Left-drag the silhouette, Process Line; Next builds the terrain."};
    case 1:
        return {"Right-click or right-drag a column, then \"Edit Selected Profile\" (or \"Edit "
                "Global Profile\"). Left-drag turns, the wheel zooms, a middle drag pans, Home "
                "resets the view.",
                "Right-click a column, edit its profile; left-drag turns the view."};
    case 2:
        return {"Drag the slider to roughen the profiles; \"Up\" and \"Down\" change how much of "
                "it reaches the foot.",
                "The slider roughens the profiles; Up/Down change the foot."};
    default:
        return {"Drag the slider to shuffle each row's detail, then save with File > Save "
                "Terrain.",
                "The slider shuffles each row's detail; then File > Save Terrain."};
    }
}

StatusText naturalViewGuidance() {
    return {"The natural terrain: change it in the Natural Terrain panel (View > Natural Terrain "
            "Settings). Left-drag turns, the wheel zooms, a middle drag pans, Home frames it; "
            "File > Export Heightmap writes it.",
            "Natural terrain: the panel changes it; left-drag turns, Home frames it."};
}

StatusText topViewGuidance() {
    return {"Top view: the line is the front range's divide. Drag a handle north or south, or "
            "drag across the ground to draw its course there; View > Reset Divide Course lets it "
            "wander again. The wheel zooms, a middle drag pans, Home frames it, Esc drops a drag.",
            "Top view: drag the divide's handles or draw its course; Home frames it."};
}

StatusText modelValues(const SketchModel& model) {
    const std::string profile = twoDecimals(model.profileRandomness());
    const std::string detail = twoDecimals(model.detailRandomness());
    const std::string dropOff = " · Drop-off " + twoDecimals(model.bottomDropOff());
    const int column = model.currentProfile();
    const auto& grid = model.grid();
    const std::string gridSize = grid.empty() ? " · No terrain yet"
                                              : " · Grid " + std::to_string(grid.front().size()) +
                                                    " × " + std::to_string(grid.size());
    // With several layers, the one strokes and curve files go to, first: the values are cut
    // from the end when the bar is narrow.
    std::string layer, layerCompact;
    if (model.layerCount() > 1) {
        const std::string place =
            std::to_string(model.currentLayer() + 1) + " of " + std::to_string(model.layerCount());
        layer =
            "Layer \"" + model.layerProperties(model.currentLayer()).name + "\" (" + place + ") · ";
        layerCompact = "Layer " + place + " · ";
    }
    return {layer + "Profile randomness " + profile + " · Detail randomness " + detail + dropOff +
                (column >= 0 ? " · Column " + std::to_string(column) : " · No column selected") +
                gridSize,
            layerCompact + "Profiles " + profile + " · Detail " + detail + dropOff +
                (column >= 0 ? " · Column " + std::to_string(column) : " · No column") + gridSize};
}
