#pragma once

#include <vector>

#include "view/viewgeometry.h"

// How the natural view colours its terrain: tints by height, bare rock where the ground is
// steep, snow above a line, and an optional flat sea. Heights are told as shares of the
// terrain's relief (0 its lowest point, 1 its highest), so the look fits any size of mountain.
struct NaturalLook {
    // Snow lies above this share of the relief, on ground not too steep to hold it.
    double snowLine = 0.78;
    // A flat sea at waterLevel (share of the relief), drawn when water is on.
    bool water = false;
    double waterLevel = 0.1;

    bool operator==(const NaturalLook& other) const {
        return snowLine == other.snowLine && water == other.water && waterLevel == other.waterLevel;
    }
    bool operator!=(const NaturalLook& other) const { return !(*this == other); }
};

// The colour of ground at heightShare of the relief (0 to 1) whose surface normal makes the
// angle with cosine upCosine (1 flat, 0 a wall) with the vertical: RGB, each 0 to 1.
struct Rgb {
    float r, g, b;
};
Rgb naturalGroundColour(double heightShare, double upCosine, const NaturalLook& look);

// The lowest and highest height (y) of a mesh's strip vertices; 0 and 0 for an empty mesh.
void meshHeightRange(const TerrainMesh& mesh, double& lowest, double& highest);

// One RGB triple per strip vertex of mesh, strip by strip as mesh.stripVertices holds them,
// coloured by naturalGroundColour from the vertex's height within the mesh's height range and
// the slope of the normal it carries.
std::vector<std::vector<float>> naturalStripColours(const TerrainMesh& mesh,
                                                    const NaturalLook& look);

// The sea's height in the mesh's units for look.waterLevel.
double waterHeight(const TerrainMesh& mesh, const NaturalLook& look);

// The natural terrain's mesh: the strips of buildTerrainMesh (no wire grid), but every grid
// point carries one normal in both strips it belongs to, from the points around it (central
// differences, one-sided at the borders). buildTerrainMesh's per-triangle normals differ from
// one strip to the next, which lights and colours each row of a fine raster as a band of its
// own. An undrawable grid (terrainDrawable) gives an empty mesh.
TerrainMesh naturalTerrainMesh(const std::vector<std::vector<gmVector2>>& grid, double rowSpacing);

// Every other row and column of a grid (the first ones kept, and the last ones when the count
// is odd, as a preview's 2^n + 1 is): a quarter of the points, rows 2 * rowSpacing apart, for
// drawing while the view moves.
std::vector<std::vector<gmVector2>>
everyOtherPoint(const std::vector<std::vector<gmVector2>>& grid);
