#include "view/naturalcolours.h"

#include <algorithm>
#include <cmath>
#include <limits>

#include "libgm/gmvec3.h"

namespace {

double smoothStep(double from, double to, double x) {
    const double t = std::clamp((x - from) / (to - from), 0.0, 1.0);
    return t * t * (3.0 - 2.0 * t);
}

Rgb mix(Rgb a, Rgb b, double t) {
    const auto f = static_cast<float>(std::clamp(t, 0.0, 1.0));
    return {a.r + (b.r - a.r) * f, a.g + (b.g - a.g) * f, a.b + (b.b - a.b) * f};
}

// The height tints, lowest first: meadow, upland grass, heath, bare high ground.
struct Tint {
    double at;
    Rgb colour;
};
const Tint tints[] = {{0.0, {0.33f, 0.52f, 0.24f}},
                      {0.3, {0.46f, 0.58f, 0.30f}},
                      {0.55, {0.58f, 0.52f, 0.36f}},
                      {0.8, {0.60f, 0.56f, 0.50f}}};
const Rgb rock = {0.47f, 0.45f, 0.43f};
const Rgb snow = {0.96f, 0.97f, 0.99f};
const Rgb seabed = {0.62f, 0.60f, 0.46f};

// Rock shows from about 35 degrees and covers the ground from about 50; snow slides off
// from about 45 degrees and holds nowhere above 60.
const double rockFrom = std::cos(35.0 * M_PI / 180.0), rockFull = std::cos(50.0 * M_PI / 180.0);
const double snowHolds = std::cos(45.0 * M_PI / 180.0), snowSlides = std::cos(60.0 * M_PI / 180.0);

} // namespace

Rgb naturalGroundColour(double heightShare, double upCosine, const NaturalLook& look) {
    const double h = std::clamp(heightShare, 0.0, 1.0);
    Rgb colour = tints[0].colour;
    for (const Tint& tint : tints)
        if (h >= tint.at)
            colour = tint.colour;
    for (std::size_t i = 0; i + 1 < std::size(tints); ++i)
        if (h >= tints[i].at && h < tints[i + 1].at)
            colour = mix(tints[i].colour, tints[i + 1].colour,
                         (h - tints[i].at) / (tints[i + 1].at - tints[i].at));
    if (look.water && h < look.waterLevel)
        colour = mix(colour, seabed, 0.7);
    colour = mix(colour, rock, smoothStep(rockFrom, rockFull, upCosine));
    const double snowCover = smoothStep(look.snowLine, look.snowLine + 0.04, h) *
                             (1.0 - smoothStep(snowHolds, snowSlides, upCosine));
    return mix(colour, snow, snowCover);
}

void meshHeightRange(const TerrainMesh& mesh, double& lowest, double& highest) {
    lowest = std::numeric_limits<double>::max();
    highest = std::numeric_limits<double>::lowest();
    for (const std::vector<float>& strip : mesh.stripVertices)
        for (std::size_t i = 1; i < strip.size(); i += 3) {
            lowest = std::min(lowest, static_cast<double>(strip[i]));
            highest = std::max(highest, static_cast<double>(strip[i]));
        }
    if (lowest > highest)
        lowest = highest = 0.0;
}

std::vector<std::vector<float>> naturalStripColours(const TerrainMesh& mesh,
                                                    const NaturalLook& look) {
    double lowest = 0.0, highest = 0.0;
    meshHeightRange(mesh, lowest, highest);
    const double relief = highest > lowest ? highest - lowest : 1.0;
    std::vector<std::vector<float>> colours(mesh.stripVertices.size());
    for (std::size_t s = 0; s < mesh.stripVertices.size(); ++s) {
        const std::vector<float>& vertices = mesh.stripVertices[s];
        const std::vector<float>& normals = mesh.stripNormals[s];
        std::vector<float>& out = colours[s];
        out.resize(vertices.size());
        for (std::size_t i = 0; i + 2 < vertices.size(); i += 3) {
            const double nx = normals[i], ny = normals[i + 1], nz = normals[i + 2];
            const double length = std::sqrt(nx * nx + ny * ny + nz * nz);
            // Normals face either way along a strip; only their tilt matters.
            const double up = length > 0.0 ? std::fabs(ny) / length : 1.0;
            const Rgb c = naturalGroundColour((vertices[i + 1] - lowest) / relief, up, look);
            out[i] = c.r;
            out[i + 1] = c.g;
            out[i + 2] = c.b;
        }
    }
    return colours;
}

double waterHeight(const TerrainMesh& mesh, const NaturalLook& look) {
    double lowest = 0.0, highest = 0.0;
    meshHeightRange(mesh, lowest, highest);
    return lowest + look.waterLevel * (highest - lowest);
}

TerrainMesh naturalTerrainMesh(const std::vector<std::vector<gmVector2>>& grid, double rowSpacing) {
    TerrainMesh mesh;
    mesh.rowSpacing = rowSpacing;
    if (!terrainDrawable(grid))
        return mesh;
    mesh.rows = static_cast<int>(grid.size());
    mesh.columns = static_cast<int>(grid[0].size());
    const int rows = mesh.rows, columns = mesh.columns;
    // Row r lies at depth r * rowSpacing, as in buildTerrainMesh.
    const auto point = [&](int r, int c) {
        const gmVector2& p = grid[static_cast<std::size_t>(r)][static_cast<std::size_t>(c)];
        return gmVector3(p[0], p[1], r * rowSpacing);
    };
    std::vector<float> normals(static_cast<std::size_t>(rows) * columns * 3);
    for (int r = 0; r < rows; ++r) {
        for (int c = 0; c < columns; ++c) {
            // West minus east across, south (further back) minus north along: their cross
            // product points up, as buildTerrainMesh's normals do.
            const gmVector3 across =
                point(r, std::max(c - 1, 0)) - point(r, std::min(c + 1, columns - 1));
            const gmVector3 along =
                point(std::min(r + 1, rows - 1), c) - point(std::max(r - 1, 0), c);
            const gmVector3 n = cross(across, along);
            const double length = std::sqrt(n[0] * n[0] + n[1] * n[1] + n[2] * n[2]);
            float* out = normals.data() + (static_cast<std::size_t>(r) * columns + c) * 3;
            for (int axis = 0; axis < 3; ++axis)
                out[axis] =
                    length > 0.0 ? static_cast<float>(n[axis] / length) : (axis == 1 ? 1.0f : 0.0f);
        }
    }
    for (int r = 0; r + 1 < rows; ++r) {
        std::vector<float> vertices, stripNormals;
        vertices.reserve(static_cast<std::size_t>(columns) * 6);
        stripNormals.reserve(static_cast<std::size_t>(columns) * 6);
        for (int c = 0; c < columns; ++c) {
            for (const int row : {r, r + 1}) {
                const gmVector3 p = point(row, c);
                for (int axis = 0; axis < 3; ++axis)
                    vertices.push_back(static_cast<float>(p[axis]));
                const float* n = normals.data() + (static_cast<std::size_t>(row) * columns + c) * 3;
                stripNormals.insert(stripNormals.end(), n, n + 3);
            }
        }
        mesh.stripVertices.push_back(std::move(vertices));
        mesh.stripNormals.push_back(std::move(stripNormals));
    }
    return mesh;
}

std::vector<std::vector<gmVector2>>
everyOtherPoint(const std::vector<std::vector<gmVector2>>& grid) {
    std::vector<std::vector<gmVector2>> coarse;
    for (std::size_t r = 0; r < grid.size(); r += 2) {
        std::vector<gmVector2> row;
        for (std::size_t c = 0; c < grid[r].size(); c += 2)
            row.push_back(grid[r][c]);
        coarse.push_back(std::move(row));
    }
    return coarse;
}
