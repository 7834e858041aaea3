#pragma once

#include <cstdio>
#include <string>
#include <vector>

#include "heightmap/heightraster.h"
#include "heightmap/rasterwriters.h"
#include "libgm/gmvec2.h"

// The terrain grid itself as a Wavefront OBJ mesh, for 3D tools: one vertex per grid point at
// its own x, its height and its depth, one normal per vertex, and two triangles per grid cell,
// counter-clockwise seen from above. Coordinates are sketch pixels times scale, y up, and the
// terrain runs back along -z from the silhouette at z = 0 (row r at z = -r * rowSpacing).
// Rows of R points give rows * R vertices and 2 * (rows - 1) * (R - 1) triangles. Normals
// follow the slopes to the neighbouring points (one-sided at the borders). Two rows of two
// points, 16 pixels apart both ways, at scale 1:
//
//     # Mondrel terrain: 2 rows of 2 points
//     v 0 10 0
//     v 16 12 0
//     v 0 8 -16
//     v 16 9 -16
//     vn -0.12309149 0.9847319 -0.12309149
//     vn -0.121942155 0.97553724 -0.18291323
//     vn -0.061898448 0.99037516 -0.123796895
//     vn -0.061313935 0.98102295 -0.1839418
//     f 1//1 2//2 4//4
//     f 1//1 4//4 3//3
//
// With a material library (the name of a .mtl file beside the mesh, see terrainMaterialText)
// the mesh also carries texture coordinates, so that an image lies on it as on the heightmap
// seen from above: "mtllib NAME" and "usemtl terrain" come first, one "vt u v" per vertex
// follows the normals, u running west to east over the grid's x extent and v from 0 at the
// silhouette to 1 at the back row (an image's top row lies at the back), and the faces read
// "f a/a/a b/b/b c/c/c".
//
// The grid must pass checkTerrainGrid. False when a write failed.
bool writeTerrainObj(std::FILE* out, const std::vector<std::vector<gmVector2>>& grid,
                     double rowSpacing, double scale, const std::string& materialLibrary = {});

// The .mtl file the textured mesh names: one material "terrain", white, unlit by specular
// light, whose diffuse map is `image`:
//
//     newmtl terrain
//     Ka 1 1 1
//     Kd 1 1 1
//     Ks 0 0 0
//     illum 1
//     map_Kd peak_splat.png
std::string terrainMaterialText(const std::string& image);

// A height raster as a Wavefront OBJ mesh: one vertex per cell centre (x eastwards, y its
// height, z = minus its northing, so that the terrain runs back along -z as above), normals
// from the neighbouring cells and two triangles per square of four cell centres,
// counter-clockwise seen from above. The raster's first row, the back, comes first. With a
// material library the mesh carries texture coordinates as above (u west to east, v from 0 at
// the front row to 1 at the back). progress, when given, is told the rows written counted on
// through the passes (vertices, normals, texture coordinates when textured, faces):
// rasterObjPasses(textured) * rows in all. False when a write failed or progress stopped it.
bool writeRasterObj(std::FILE* out, const HeightRaster& raster,
                    const std::string& materialLibrary = {}, const RowProgress& progress = {});
inline int rasterObjPasses(bool textured) {
    return textured ? 4 : 3;
}
