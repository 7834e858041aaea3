#pragma once

#include <vector>

#include "libgm/gmvec2.h"

// The geometry the views draw, computed on the CPU in double precision: the camera matrices
// and the terrain's vertices and normals. The views load these matrices with glLoadMatrixd
// and picking unprojects with the same ones (unprojectPoint), so what is drawn and what is
// picked agree.

// A 4 x 4 matrix in OpenGL's column-major order: element (row, col) is m[col * 4 + row].
struct Matrix4 {
    double m[16];

    static Matrix4 identity();
    double at(int row, int col) const { return m[col * 4 + row]; }
};

Matrix4 operator*(const Matrix4& a, const Matrix4& b);

// glOrtho's matrix.
Matrix4 orthoMatrix(double left, double right, double bottom, double top, double zNear,
                    double zFar);
Matrix4 translationMatrix(double x, double y, double z);
Matrix4 scaleMatrix(double s);
// glRotate's matrix: angle in degrees about the axis (x, y, z), which need not be unit length.
Matrix4 rotationMatrix(double degrees, double x, double y, double z);

// The sketch view's camera: the orthographic box -2 .. 2 in x and y, depth -10000 .. 10000.
Matrix4 sketchProjection();
// The view transform every frame starts with: translate, scale by zoom, then turn about x,
// y and z (degrees), in that order. Angles come in single precision, as the view keeps them.
Matrix4 sketchViewTransform(float transX, float transY, float transZ, float zoom, float rotX,
                            float rotY, float rotZ);
// The terrain's model transform applied after the view transform: silhouette pixel x lands
// at -1 + 0.0024 x in the unrotated view, the base sits 0.9 below the centre.
Matrix4 terrainModelTransform();

// Projects model point (x, y, z) to window coordinates, as gluProject does; viewport is
// (x, y, width, height).
void projectPoint(const Matrix4& modelView, const Matrix4& projection, const int viewport[4],
                  double x, double y, double z, double& winX, double& winY);

// The inverse of projectPoint, as gluUnProject computes it: window point (winX, winY) at
// depth winZ (0 near, 1 far) back to model coordinates. False when the combined matrix cannot
// be inverted.
bool unprojectPoint(const Matrix4& modelView, const Matrix4& projection, const int viewport[4],
                    double winX, double winY, double winZ, double& x, double& y, double& z);

// Grid point (r, c) placed in the terrain's model space: the stored x and height, and a depth
// of r row spacings.
struct TerrainPoint {
    double x, y, z;
};
TerrainPoint terrainPoint(const std::vector<std::vector<gmVector2>>& grid, int row, int col,
                          double spacing);

// The terrain ready to draw, all positions and normals as x, y, z triples in single precision.
struct TerrainMesh {
    // One triangle strip per pair of neighbouring rows: 2 * columns vertices each, with one
    // (unnormalised) normal per vertex.
    std::vector<std::vector<float>> stripVertices;
    std::vector<std::vector<float>> stripNormals;
    // Wire grid, one line strip each: every step-th row lifted 0.7 and pushed 0.3 back, every
    // step-th column lifted 0.7.
    std::vector<std::vector<float>> rowLines;
    std::vector<std::vector<float>> columnLines;
    int rows = 0;
    int columns = 0;
    double rowSpacing = 0.0;
};

// Whether a grid is large enough to draw: at least 5 rows and 5 columns.
bool terrainDrawable(const std::vector<std::vector<gmVector2>>& grid);
// Builds the mesh of a drawable grid (rows of equal length). Each strip vertex after the
// first pair carries the normal of the triangle it closes; the first pair carries the last
// normal issued before it (the previous strip's last, or this strip's first for row 0). The
// wire-grid steps are rows / 10 and columns / 10, never less than 1. Row r lies at depth
// r * rowSpacing (the model's rowSpacing(), which refining the rows leaves as it was).
TerrainMesh buildTerrainMesh(const std::vector<std::vector<gmVector2>>& grid, double rowSpacing);
// The line along column col, lifted by lift above the surface (profile markers).
std::vector<float> columnLine(const std::vector<std::vector<gmVector2>>& grid, int col, double lift,
                              double rowSpacing);
// The six faces (24 vertices, GL_QUADS order) of the translucent box that marks column col:
// half a column spacing wide, from the silhouette height to the last row's height, over the
// whole depth rows * rowSpacing, one unit above the surface.
std::vector<float> selectionBox(const std::vector<std::vector<gmVector2>>& grid, int col,
                                double rowSpacing);

// The model x of the terrain under window point (winX, winY) (y up, as projectPoint gives)
// in a view drawn with modelView and projection: where the pointer's line of sight first meets
// the terrain's surface (the triangles of the drawn mesh), or, where it meets none, where it
// crosses the silhouette's plane (depth 0), as the unturned front view picks. False when the
// matrices cannot be inverted or the line of sight runs along the silhouette's plane.
bool terrainXUnderPointer(const std::vector<std::vector<gmVector2>>& grid, double rowSpacing,
                          const Matrix4& modelView, const Matrix4& projection,
                          const int viewport[4], double winX, double winY, double& modelX);
