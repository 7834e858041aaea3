#include <cmath>
#include <gtest/gtest.h>

#include "view/viewgeometry.h"
#include "view/viewnavigation.h"

namespace {

using Grid = std::vector<std::vector<gmVector2>>;

// rows x columns, x = 16 c + 40, heights falling towards the front by drop per row.
Grid slopeGrid(int rows, int columns, double top, double drop) {
    Grid grid(static_cast<size_t>(rows));
    for (int r = 0; r < rows; ++r)
        for (int c = 0; c < columns; ++c)
            grid[static_cast<size_t>(r)].emplace_back(16.0 * c + 40.0, top - drop * r);
    return grid;
}

TEST(ViewGeometry, UnrotatedTerrainMapsSilhouettePixelsAcrossTheView) {
    const int viewport[4] = {0, 0, 840, 660};
    const Matrix4 modelView = sketchViewTransform(0, 0, 0, 2.0f, 0, 0, 0) * terrainModelTransform();
    struct Row {
        double x, y, winX, winY;
    };
    // Window x = 0.0012 x width; window y = (0.05 + 0.0012 y) height.
    for (const Row& row :
         {Row{0, 0, 0, 33}, Row{1000.0 / 1.2, 0, 840, 33}, Row{400, 250, 403.2, 231}}) {
        double wx = 0, wy = 0;
        projectPoint(modelView, sketchProjection(), viewport, row.x, row.y, 123.0, wx, wy);
        EXPECT_NEAR(wx, row.winX, 1e-3) << row.x;
        EXPECT_NEAR(wy, row.winY, 1e-3) << row.y;
    }
}

TEST(ViewGeometry, RotationsFollowGlRotateAndTheirOrder) {
    const Matrix4 quarterZ = rotationMatrix(90, 0, 0, 3);
    EXPECT_NEAR(quarterZ.at(0, 0), 0.0, 1e-12);
    EXPECT_NEAR(quarterZ.at(1, 0), 1.0, 1e-12) << "x turns into y";
    // Turning about x first, then y: the y rotation acts on the model first.
    const Matrix4 both = sketchViewTransform(0, 0, 0, 1.0f, 90.0f, 90.0f, 0);
    // Model x -> (y rotation) -z -> (x rotation) y.
    EXPECT_NEAR(both.at(1, 0), 1.0, 1e-6);
    const Matrix4 product = rotationMatrix(30, 0, 1, 0) * rotationMatrix(-30, 0, 1, 0);
    for (int i = 0; i < 16; ++i)
        EXPECT_NEAR(product.m[i], Matrix4::identity().m[i], 1e-12);
}

TEST(ViewGeometry, SurfaceNormalsFaceUpAndTowardsTheViewer) {
    const TerrainMesh mesh = buildTerrainMesh(slopeGrid(6, 7, 200, 2), 16.0);
    ASSERT_EQ(mesh.stripVertices.size(), 5u);
    for (size_t r = 0; r < mesh.stripNormals.size(); ++r) {
        const std::vector<float>& n = mesh.stripNormals[r];
        ASSERT_EQ(n.size(), 7u * 2u * 3u);
        ASSERT_EQ(mesh.stripVertices[r].size(), n.size());
        for (size_t k = 0; k < n.size(); k += 3) {
            EXPECT_NEAR(n[k], 0.0f, 1e-4);
            // A plane falling 2 per row over a spacing of 16: normal (0, 16^2, 2 * 16).
            EXPECT_NEAR(n[k + 1], 256.0f, 1e-3);
            EXPECT_NEAR(n[k + 2], 32.0f, 1e-3);
        }
    }
    // Vertex order of a strip: (r, c) then (r + 1, c), depth one spacing per row.
    const std::vector<float>& v = mesh.stripVertices[2];
    EXPECT_FLOAT_EQ(v[3 * 3 + 0], 56.0f);
    EXPECT_FLOAT_EQ(v[3 * 3 + 1], 200.0f - 2 * 3);
    EXPECT_FLOAT_EQ(v[3 * 3 + 2], 48.0f);
}

TEST(ViewGeometry, WireGridStepsAreATenthAndNeverZero) {
    struct Case {
        int rows, columns;
        size_t rowLines, columnLines;
    };
    for (const Case& c : {Case{51, 23, 11, 12}, Case{5, 9, 5, 9}, Case{7, 10, 7, 10}}) {
        const TerrainMesh mesh = buildTerrainMesh(slopeGrid(c.rows, c.columns, 100, 1), 16.0);
        EXPECT_EQ(mesh.rowLines.size(), c.rowLines) << c.rows << "x" << c.columns;
        EXPECT_EQ(mesh.columnLines.size(), c.columnLines) << c.rows << "x" << c.columns;
    }
    const TerrainMesh mesh = buildTerrainMesh(slopeGrid(51, 23, 100, 1), 16.0);
    // Row 5 is the second row line: lifted 0.7, pushed back 0.3.
    EXPECT_FLOAT_EQ(mesh.rowLines[1][1], 95.7f);
    EXPECT_FLOAT_EQ(mesh.rowLines[1][2], 80.3f);
    EXPECT_EQ(mesh.columnLines[1].size(), 51u * 3u);
}

TEST(ViewGeometry, TooSmallGridsAreNotDrawable) {
    EXPECT_FALSE(terrainDrawable({}));
    EXPECT_FALSE(terrainDrawable(slopeGrid(51, 4, 10, 0)));
    EXPECT_FALSE(terrainDrawable(slopeGrid(4, 51, 10, 0)));
    EXPECT_TRUE(terrainDrawable(slopeGrid(5, 5, 10, 0)));
    EXPECT_TRUE(buildTerrainMesh(slopeGrid(51, 4, 10, 0), 16.0).stripVertices.empty());
}

TEST(ViewGeometry, SelectionBoxSpansTheColumnOverTheWholeDepth) {
    const Grid grid = slopeGrid(51, 20, 300, 5);
    const std::vector<float> box = selectionBox(grid, 3, 16.0);
    ASSERT_EQ(box.size(), 24u * 3u);
    float minX = 1e9f, maxX = -1e9f, minZ = 1e9f, maxZ = -1e9f, minY = 1e9f, maxY = -1e9f;
    for (size_t k = 0; k < box.size(); k += 3) {
        minX = std::min(minX, box[k]);
        maxX = std::max(maxX, box[k]);
        minY = std::min(minY, box[k + 1]);
        maxY = std::max(maxY, box[k + 1]);
        minZ = std::min(minZ, box[k + 2]);
        maxZ = std::max(maxZ, box[k + 2]);
    }
    EXPECT_FLOAT_EQ(minX, 88.0f - 4.0f);
    EXPECT_FLOAT_EQ(maxX, 88.0f + 4.0f);
    EXPECT_FLOAT_EQ(maxY, 301.0f);
    EXPECT_FLOAT_EQ(minY, 300.0f - 5 * 50 + 1);
    EXPECT_FLOAT_EQ(minZ, 0.0f);
    EXPECT_FLOAT_EQ(maxZ, 51 * 16.0f) << "the box reaches a whole spacing past the last row";
}

TEST(ViewGeometry, RowsLieTheRowSpacingApartWhateverTheColumnSpacing) {
    // Columns 16 apart, rows 40 apart: depth follows the rows only.
    const Grid grid = slopeGrid(51, 20, 300, 5);
    const TerrainMesh mesh = buildTerrainMesh(grid, 40.0);
    EXPECT_FLOAT_EQ(mesh.stripVertices.back()[5], 50 * 40.0f) << "last row, column 0";
    EXPECT_FLOAT_EQ(mesh.columnLines[0].back(), 50 * 40.0f);
    EXPECT_FLOAT_EQ(mesh.rowLines.back()[2], 50 * 40.0f + 0.3f);
    EXPECT_FLOAT_EQ(columnLine(grid, 3, 0.9, 40.0).back(), 50 * 40.0f);
    float maxZ = 0, maxX = 0;
    const std::vector<float> box = selectionBox(grid, 3, 40.0);
    for (size_t k = 0; k < box.size(); k += 3) {
        maxZ = std::max(maxZ, box[k + 2]);
        maxX = std::max(maxX, box[k]);
    }
    EXPECT_FLOAT_EQ(maxZ, 51 * 40.0f);
    EXPECT_FLOAT_EQ(maxX, 88.0f + 4.0f) << "the box stays a quarter column spacing wide";
}

} // namespace

// Picking unprojects with the matrices the terrain is drawn with: a projected point comes
// back where it was, turned and zoomed views included.
TEST(ViewGeometry, UnprojectReversesProjectInAnyView) {
    const int viewport[4] = {0, 0, 600, 400};
    const Matrix4 projection = boxProjection(terrainViewBox(600, 400, 500.0, 200.0));
    for (float turn : {0.0f, 25.0f, -70.0f}) {
        const Matrix4 modelView =
            sketchViewTransform(0.3f, -0.1f, 0.0f, 2.5f, turn, turn / 2, 0.0f) *
            terrainModelTransform();
        for (const TerrainPoint p : {TerrainPoint{0, 0, 0}, TerrainPoint{321.5, 87.25, 40}}) {
            double wx = 0, wy = 0;
            projectPoint(modelView, projection, viewport, p.x, p.y, p.z, wx, wy);
            // The depth of the point: project its z through the same matrices.
            const Matrix4 clip = projection * modelView;
            double w = 0, depth = 0;
            for (int k = 0; k < 4; ++k) {
                const double v[4] = {p.x, p.y, p.z, 1.0};
                w += clip.at(3, k) * v[k];
                depth += clip.at(2, k) * v[k];
            }
            double x = 0, y = 0, z = 0;
            ASSERT_TRUE(unprojectPoint(modelView, projection, viewport, wx, wy,
                                       (depth / w + 1.0) / 2.0, x, y, z));
            EXPECT_NEAR(x, p.x, 1e-6) << turn;
            EXPECT_NEAR(y, p.y, 1e-6) << turn;
            EXPECT_NEAR(z, p.z, 1e-6) << turn;
        }
    }
    const Matrix4 flat = scaleMatrix(0.0);
    double x = 0, y = 0, z = 0;
    EXPECT_FALSE(unprojectPoint(flat, projection, viewport, 10, 10, 0.5, x, y, z));
}
