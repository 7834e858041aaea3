#pragma once

#include <cstddef>
#include <memory>
#include <vector>

#include "libgm/gmvec2.h"
#include "natural/naturalterrain.h"
#include "sketch/sketchcamera.h"
#include "sketch/skylinelayer.h"

// Everything the terrain is built from, as one value: what a project file holds and what an
// undo step returns to. The grid itself is not part of it; it is rebuilt from these inputs,
// which determine it completely. The stroke being drawn is not part of it either.
//
// The lists are immutable and shared: copying a state copies pointers, and shareUnchanged()
// lets a series of states (the undo history) hold one copy of every list that did not change
// from one to the next. The pointers are never null.
struct SketchState {
    using PointList = std::vector<gmVector2>;
    template <typename T> using Shared = std::shared_ptr<const T>;

    SketchState();

    int stage = 0;
    // The silhouette as drawn: in stage 0 the curve itself (the same list), from stage 1 on
    // the curve as it was when stage 0 was left.
    Shared<PointList> silhouette;
    // The model's curve: from stage 1 on its coarsest level.
    Shared<PointList> curve;
    // The detail levels split off the curve, finest first; empty in stage 0.
    Shared<std::vector<PointList>> detailLevels;
    Shared<PointList> globalProfile;
    // Ascending grid columns and their profiles, one each.
    Shared<std::vector<unsigned>> profileColumns;
    Shared<std::vector<PointList>> columnProfiles;
    float profileRandomness = 0.0f;
    float detailRandomness = 0.2f;
    float bottomDropOff = 0.3f;
    // The selected grid column, -1 for none. It does not shape the terrain.
    int selectedColumn = -1;
    // Whether exports and the view give the natural terrain, and its settings. They shape
    // the natural terrain only, not the grid.
    bool naturalTerrain = false;
    NaturalSettings natural;
    // The skyline layers, front (nearest) first; at least one. The front layer's skyline is
    // the silhouette above, so its own list stays empty; every other layer's is its skyline
    // as drawn. The current layer takes the strokes; like the selection, it does not shape
    // the terrain.
    struct Layer {
        LayerProperties properties;
        Shared<PointList> skyline;
    };
    std::vector<Layer> layers;
    int currentLayer = 0;
    // The camera the layers were drawn from: where each layer's skyline lies in the world.
    SketchCamera camera;

    // Whether both build the same terrain: every input above except the selection and the
    // current layer is equal (the natural terrain's switch and settings, every layer's
    // properties and skyline, and the camera included).
    bool sameTerrainInputs(const SketchState& other) const;
    // Points each list that equals the same list of earlier at earlier's copy, so that the
    // two share it.
    void shareUnchanged(const SketchState& earlier);
    // Bytes of list storage this state holds that earlier does not share.
    std::size_t bytesBeyond(const SketchState& earlier) const;
};
