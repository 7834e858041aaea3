#include "view/viewgeometry.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <utility>

#include "libgm/gmvec3.h"

Matrix4 Matrix4::identity() {
    Matrix4 r{};
    r.m[0] = r.m[5] = r.m[10] = r.m[15] = 1.0;
    return r;
}

Matrix4 operator*(const Matrix4& a, const Matrix4& b) {
    Matrix4 r{};
    for (int col = 0; col < 4; ++col) {
        for (int row = 0; row < 4; ++row) {
            double sum = 0.0;
            for (int k = 0; k < 4; ++k)
                sum += a.at(row, k) * b.at(k, col);
            r.m[col * 4 + row] = sum;
        }
    }
    return r;
}

Matrix4 orthoMatrix(double left, double right, double bottom, double top, double zNear,
                    double zFar) {
    Matrix4 r = Matrix4::identity();
    r.m[0] = 2.0 / (right - left);
    r.m[5] = 2.0 / (top - bottom);
    r.m[10] = -2.0 / (zFar - zNear);
    r.m[12] = -(right + left) / (right - left);
    r.m[13] = -(top + bottom) / (top - bottom);
    r.m[14] = -(zFar + zNear) / (zFar - zNear);
    return r;
}

Matrix4 translationMatrix(double x, double y, double z) {
    Matrix4 r = Matrix4::identity();
    r.m[12] = x;
    r.m[13] = y;
    r.m[14] = z;
    return r;
}

Matrix4 scaleMatrix(double s) {
    Matrix4 r = Matrix4::identity();
    r.m[0] = r.m[5] = r.m[10] = s;
    return r;
}

Matrix4 rotationMatrix(double degrees, double x, double y, double z) {
    const double length = std::sqrt(x * x + y * y + z * z);
    if (length == 0.0)
        return Matrix4::identity();
    x /= length;
    y /= length;
    z /= length;
    const double radians = degrees * M_PI / 180.0;
    const double c = std::cos(radians);
    const double s = std::sin(radians);
    const double t = 1.0 - c;
    Matrix4 r = Matrix4::identity();
    r.m[0] = x * x * t + c;
    r.m[1] = y * x * t + z * s;
    r.m[2] = x * z * t - y * s;
    r.m[4] = x * y * t - z * s;
    r.m[5] = y * y * t + c;
    r.m[6] = y * z * t + x * s;
    r.m[8] = x * z * t + y * s;
    r.m[9] = y * z * t - x * s;
    r.m[10] = z * z * t + c;
    return r;
}

Matrix4 sketchProjection() {
    return orthoMatrix(-2.0, 2.0, -2.0, 2.0, -10000.0, 10000.0);
}

Matrix4 sketchViewTransform(float transX, float transY, float transZ, float zoom, float rotX,
                            float rotY, float rotZ) {
    return translationMatrix(transX, transY, transZ) * scaleMatrix(zoom) *
           rotationMatrix(rotX, 1, 0, 0) * rotationMatrix(rotY, 0, 1, 0) *
           rotationMatrix(rotZ, 0, 0, 1);
}

Matrix4 terrainModelTransform() {
    return translationMatrix(-1.0, 0.0, 0.0) * translationMatrix(0.0, -0.9, 0.0) *
           scaleMatrix(static_cast<double>(0.0024f));
}

void projectPoint(const Matrix4& modelView, const Matrix4& projection, const int viewport[4],
                  double x, double y, double z, double& winX, double& winY) {
    const Matrix4 all = projection * modelView;
    const double in[4] = {x, y, z, 1.0};
    double out[4] = {0, 0, 0, 0};
    for (int row = 0; row < 4; ++row)
        for (int k = 0; k < 4; ++k)
            out[row] += all.at(row, k) * in[k];
    const double nx = out[0] / out[3];
    const double ny = out[1] / out[3];
    winX = viewport[0] + (nx + 1.0) * 0.5 * viewport[2];
    winY = viewport[1] + (ny + 1.0) * 0.5 * viewport[3];
}

TerrainPoint terrainPoint(const std::vector<std::vector<gmVector2>>& grid, int row, int col,
                          double spacing) {
    const gmVector2& p = grid[row][col];
    return {p[0], p[1], row * spacing};
}

namespace {

using Grid = std::vector<std::vector<gmVector2>>;

gmVector3 toVector(const TerrainPoint& p) {
    return gmVector3(p.x, p.y, p.z);
}

void append(std::vector<float>& out, double x, double y, double z) {
    out.push_back(static_cast<float>(x));
    out.push_back(static_cast<float>(y));
    out.push_back(static_cast<float>(z));
}

void append(std::vector<float>& out, const TerrainPoint& p) {
    append(out, p.x, p.y, p.z);
}

void append(std::vector<float>& out, const gmVector3& v) {
    append(out, v[0], v[1], v[2]);
}

double columnSpacing(const Grid& grid) {
    return grid[0][1][0] - grid[0][0][0];
}

void setFirstPairNormal(std::vector<float>& normals, const gmVector3& n) {
    for (size_t k = 0; k < 2; ++k)
        for (int axis = 0; axis < 3; ++axis)
            normals[k * 3 + static_cast<size_t>(axis)] = static_cast<float>(n[axis]);
}

// One strip between rows r and r + 1. Its first pair carries lastNormal, the last normal
// issued before it; the first strip has none before it and takes its own first normal.
// lastNormal becomes this strip's last normal.
void buildStrip(const Grid& grid, int r, double s, TerrainMesh& mesh, gmVector3& lastNormal) {
    const size_t columns = static_cast<size_t>(mesh.columns);
    std::vector<float> vertices;
    std::vector<float> normals(6);
    vertices.reserve(columns * 6);
    normals.reserve(columns * 6);
    append(vertices, terrainPoint(grid, r, 0, s));
    append(vertices, terrainPoint(grid, r + 1, 0, s));
    for (int c = 1; c < mesh.columns; ++c) {
        const gmVector3 a = toVector(terrainPoint(grid, r, c, s));
        const gmVector3 b = toVector(terrainPoint(grid, r, c - 1, s));
        const gmVector3 d = toVector(terrainPoint(grid, r + 1, c - 1, s));
        const gmVector3 e = toVector(terrainPoint(grid, r + 1, c, s));
        const gmVector3 na = cross(b - a, d - a);
        const gmVector3 ne = cross(d - a, e - a);
        if (c == 1)
            setFirstPairNormal(normals, r == 0 ? na : lastNormal);
        append(normals, na);
        append(vertices, a);
        append(normals, ne);
        append(vertices, e);
        lastNormal = ne;
    }
    mesh.stripVertices.push_back(std::move(vertices));
    mesh.stripNormals.push_back(std::move(normals));
}

} // namespace

bool terrainDrawable(const Grid& grid) {
    return grid.size() >= 5 && grid[0].size() >= 5;
}

TerrainMesh buildTerrainMesh(const Grid& grid, double rowSpacing) {
    TerrainMesh mesh;
    mesh.rowSpacing = rowSpacing;
    if (!terrainDrawable(grid))
        return mesh;
    mesh.rows = static_cast<int>(grid.size());
    mesh.columns = static_cast<int>(grid[0].size());
    const double s = rowSpacing;

    gmVector3 lastNormal(0.0, 0.0, 1.0);
    for (int r = 0; r + 1 < mesh.rows; ++r)
        buildStrip(grid, r, s, mesh, lastNormal);

    const int rowStep = std::max(1, mesh.rows / 10);
    for (int r = 0; r < mesh.rows; r += rowStep) {
        std::vector<float> line;
        for (int c = 0; c < mesh.columns; ++c) {
            const gmVector2& p = grid[r][c];
            append(line, p[0], p[1] + 0.7, r * s + 0.3);
        }
        mesh.rowLines.push_back(std::move(line));
    }
    const int columnStep = std::max(1, mesh.columns / 10);
    for (int c = 0; c < mesh.columns; c += columnStep)
        mesh.columnLines.push_back(columnLine(grid, c, 0.7, s));
    return mesh;
}

std::vector<float> columnLine(const Grid& grid, int col, double lift, double rowSpacing) {
    std::vector<float> line;
    if (grid.size() < 2)
        return line;
    const double s = rowSpacing;
    for (size_t r = 0; r < grid.size(); ++r) {
        const gmVector2& p = grid[r][static_cast<size_t>(col)];
        append(line, p[0], p[1] + lift, static_cast<double>(r) * s);
    }
    return line;
}

std::vector<float> selectionBox(const Grid& grid, int col, double rowSpacing) {
    std::vector<float> box;
    if (grid.size() < 2 || grid[0].size() < 2)
        return box;
    const double h = static_cast<double>(0.25f * static_cast<float>(columnSpacing(grid)));
    const gmVector2& first = grid.front()[static_cast<size_t>(col)];
    const gmVector2& last = grid.back()[static_cast<size_t>(col)];
    const double fx = first[0], fy = first[1] + 1.0;
    const double lx = last[0], ly = last[1] + 1.0;
    const double zf = static_cast<double>(grid.size()) * rowSpacing;
    const double faces[6][4][3] = {
        {{fx - h, fy, zf}, {lx - h, ly, zf}, {lx + h, ly, zf}, {fx + h, fy, zf}}, // far
        {{fx - h, fy, 0}, {lx - h, ly, 0}, {lx + h, ly, 0}, {fx + h, fy, 0}},     // near
        {{fx - h, fy, 0}, {lx - h, ly, 0}, {lx - h, ly, zf}, {fx - h, fy, zf}},   // left
        {{fx + h, fy, 0}, {lx + h, ly, 0}, {lx + h, ly, zf}, {fx + h, fy, zf}},   // right
        {{fx - h, fy, zf}, {fx - h, fy, 0}, {fx + h, fy, 0}, {fx + h, fy, zf}},   // row 0 side
        {{lx - h, ly, zf}, {lx - h, ly, 0}, {lx + h, ly, 0}, {lx + h, ly, zf}},   // last row side
    };
    for (const auto& face : faces)
        for (const auto& corner : face)
            append(box, corner[0], corner[1], corner[2]);
    return box;
}

namespace {

// Inverts a 4 x 4 matrix by Gauss-Jordan elimination with partial pivoting, as GLU does.
bool invert(const Matrix4& a, Matrix4& inverse) {
    double work[4][8];
    for (int row = 0; row < 4; ++row) {
        for (int col = 0; col < 4; ++col) {
            work[row][col] = a.at(row, col);
            work[row][col + 4] = row == col ? 1.0 : 0.0;
        }
    }
    for (int col = 0; col < 4; ++col) {
        int pivot = col;
        for (int row = col + 1; row < 4; ++row)
            if (std::fabs(work[row][col]) > std::fabs(work[pivot][col]))
                pivot = row;
        if (work[pivot][col] == 0.0)
            return false;
        if (pivot != col)
            for (int k = 0; k < 8; ++k)
                std::swap(work[pivot][k], work[col][k]);
        const double scale = 1.0 / work[col][col];
        for (int k = 0; k < 8; ++k)
            work[col][k] *= scale;
        for (int row = 0; row < 4; ++row) {
            if (row == col)
                continue;
            const double factor = work[row][col];
            if (factor != 0.0)
                for (int k = 0; k < 8; ++k)
                    work[row][k] -= factor * work[col][k];
        }
    }
    for (int row = 0; row < 4; ++row)
        for (int col = 0; col < 4; ++col)
            inverse.m[col * 4 + row] = work[row][col + 4];
    return true;
}

} // namespace

bool unprojectPoint(const Matrix4& modelView, const Matrix4& projection, const int viewport[4],
                    double winX, double winY, double winZ, double& x, double& y, double& z) {
    Matrix4 inverse{};
    if (!invert(projection * modelView, inverse))
        return false;
    const double in[4] = {(winX - viewport[0]) / viewport[2] * 2.0 - 1.0,
                          (winY - viewport[1]) / viewport[3] * 2.0 - 1.0, winZ * 2.0 - 1.0, 1.0};
    double out[4] = {0.0, 0.0, 0.0, 0.0};
    for (int row = 0; row < 4; ++row)
        for (int k = 0; k < 4; ++k)
            out[row] += inverse.at(row, k) * in[k];
    if (out[3] == 0.0)
        return false;
    x = out[0] / out[3];
    y = out[1] / out[3];
    z = out[2] / out[3];
    return true;
}

namespace {

double dot(const gmVector3& a, const gmVector3& b) {
    return a[0] * b[0] + a[1] * b[1] + a[2] * b[2];
}

// Möller-Trumbore: the ray parameter where origin + t * dir crosses the triangle, or -1.
double rayTriangle(const gmVector3& origin, const gmVector3& dir, const gmVector3& a,
                   const gmVector3& b, const gmVector3& c) {
    const gmVector3 e1 = b - a;
    const gmVector3 e2 = c - a;
    const gmVector3 p = cross(dir, e2);
    const double det = dot(e1, p);
    if (std::fabs(det) < 1e-12)
        return -1.0;
    const gmVector3 s = origin - a;
    const double u = dot(s, p) / det;
    if (u < 0.0 || u > 1.0)
        return -1.0;
    const gmVector3 q = cross(s, e1);
    const double v = dot(dir, q) / det;
    if (v < 0.0 || u + v > 1.0)
        return -1.0;
    return dot(e2, q) / det;
}

} // namespace

bool terrainXUnderPointer(const Grid& grid, double rowSpacing, const Matrix4& modelView,
                          const Matrix4& projection, const int viewport[4], double winX,
                          double winY, double& modelX) {
    double nx = 0, ny = 0, nz = 0, fx = 0, fy = 0, fz = 0;
    if (!unprojectPoint(modelView, projection, viewport, winX, winY, 0.0, nx, ny, nz) ||
        !unprojectPoint(modelView, projection, viewport, winX, winY, 1.0, fx, fy, fz))
        return false;
    const gmVector3 origin(nx, ny, nz);
    const gmVector3 dir(fx - nx, fy - ny, fz - nz);
    double nearest = std::numeric_limits<double>::infinity();
    const int rows = static_cast<int>(grid.size());
    for (int r = 0; r + 1 < rows; ++r) {
        const int cols = static_cast<int>(std::min(grid[static_cast<std::size_t>(r)].size(),
                                                   grid[static_cast<std::size_t>(r + 1)].size()));
        for (int c = 0; c + 1 < cols; ++c) {
            const gmVector3 a = toVector(terrainPoint(grid, r, c, rowSpacing));
            const gmVector3 b = toVector(terrainPoint(grid, r + 1, c, rowSpacing));
            const gmVector3 d = toVector(terrainPoint(grid, r, c + 1, rowSpacing));
            const gmVector3 e = toVector(terrainPoint(grid, r + 1, c + 1, rowSpacing));
            for (double t : {rayTriangle(origin, dir, a, b, d), rayTriangle(origin, dir, b, e, d)})
                if (t >= 0.0 && t < nearest)
                    nearest = t;
        }
    }
    if (std::isfinite(nearest)) {
        modelX = origin[0] + nearest * dir[0];
        return true;
    }
    if (std::fabs(dir[2]) < 1e-12)
        return false;
    modelX = origin[0] + (0.0 - origin[2]) / dir[2] * dir[0];
    return true;
}
