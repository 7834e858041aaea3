#pragma once

#include <vector>

#include "view/naturalcolours.h"
#include "view/viewgeometry.h"
#include "view/viewnavigation.h"

// The natural view's drawing, with the model-view matrix and the lights already set and the
// vertex array enabled: the surface in the colours naturalStripColours gave its strips, lit,
// and the sea as a translucent plane over the terrain's whole extent at height seaHeight.
void drawColouredSurface(const TerrainMesh& mesh, const std::vector<std::vector<float>>& colours);
void drawSeaPlane(const TerrainBounds& bounds, double seaHeight);
