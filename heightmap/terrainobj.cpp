#include "heightmap/terrainobj.h"

#include <algorithm>
#include <cmath>
#include <string>

#include "heightmap/textbuffer.h"
#include "libgm/gmvec3.h"

namespace {

// "v x y z" or "vn x y z" and the line end, in single precision: all 3D tools read, and it
// keeps the file half as long.
void putTriple(TextBuffer& text, const char* prefix, const gmVector3& v) {
    text.put(prefix);
    text.number(static_cast<float>(v[0]));
    text.put(' ');
    text.number(static_cast<float>(v[1]));
    text.put(' ');
    text.number(static_cast<float>(v[2]));
    text.put('\n');
}

} // namespace

std::string terrainMaterialText(const std::string& image) {
    return "# Mondrel terrain material\nnewmtl terrain\nKa 1 1 1\nKd 1 1 1\nKs 0 0 0\nillum 1\n"
           "map_Kd " +
           image + "\n";
}

bool writeTerrainObj(std::FILE* out, const std::vector<std::vector<gmVector2>>& grid,
                     double rowSpacing, double scale, const std::string& materialLibrary) {
    const bool textured = !materialLibrary.empty();
    const int rows = static_cast<int>(grid.size());
    const int columns = rows > 0 ? static_cast<int>(grid[0].size()) : 0;
    auto at = [&](int r, int c) {
        return gmVector3(grid[r][c][0] * scale, grid[r][c][1] * scale, -r * rowSpacing * scale);
    };

    TextBuffer text(out);
    const std::string title = "# Mondrel terrain: " + std::to_string(rows) + " rows of " +
                              std::to_string(columns) + " points\n";
    text.put(title.c_str());
    if (textured) {
        const std::string header = "mtllib " + materialLibrary + "\nusemtl terrain\n";
        text.put(header.c_str());
    }
    for (int r = 0; r < rows; ++r)
        for (int c = 0; c < columns; ++c)
            putTriple(text, "v ", at(r, c));
    for (int r = 0; r < rows; ++r) {
        for (int c = 0; c < columns; ++c) {
            // Across: west to east; back: front to back, along -z. Their cross product points up.
            const gmVector3 across =
                at(r, std::min(c + 1, columns - 1)) - at(r, std::max(c - 1, 0));
            const gmVector3 back = at(std::min(r + 1, rows - 1), c) - at(std::max(r - 1, 0), c);
            const gmVector3 n = cross(across, back);
            const double length = std::sqrt(n[0] * n[0] + n[1] * n[1] + n[2] * n[2]);
            putTriple(text, "vn ",
                      length > 0 ? gmVector3(n[0] / length, n[1] / length, n[2] / length)
                                 : gmVector3(0, 1, 0));
        }
    }
    if (textured) {
        double west = grid[0][0][0], east = grid[0][columns - 1][0];
        for (const std::vector<gmVector2>& row : grid) {
            west = std::min(west, row.front()[0]);
            east = std::max(east, row.back()[0]);
        }
        for (int r = 0; r < rows; ++r) {
            for (int c = 0; c < columns; ++c) {
                text.put("vt ");
                text.number(static_cast<float>((grid[r][c][0] - west) / (east - west)));
                text.put(' ');
                text.number(static_cast<float>(static_cast<double>(r) / (rows - 1)));
                text.put('\n');
            }
        }
    }
    auto corner = [&](long index) {
        text.put(' ');
        text.number(index);
        if (textured) {
            text.put('/');
            text.number(index);
            text.put('/');
        } else {
            text.put("//", 2);
        }
        text.number(index);
    };
    for (int r = 0; r + 1 < rows; ++r) {
        for (int c = 0; c + 1 < columns; ++c) {
            // OBJ counts vertices from 1.
            const long front = static_cast<long>(r) * columns + c + 1;
            const long behind = front + columns;
            text.put('f');
            corner(front);
            corner(front + 1);
            corner(behind + 1);
            text.put("\nf", 2);
            corner(front);
            corner(behind + 1);
            corner(behind);
            text.put('\n');
        }
    }
    return text.finish();
}

bool writeRasterObj(std::FILE* out, const HeightRaster& raster, const std::string& materialLibrary,
                    const RowProgress& progress) {
    const bool textured = !materialLibrary.empty();
    const int rows = raster.height, columns = raster.width;
    const double cell = raster.cellSize;
    auto at = [&](int r, int c) {
        const double northing = raster.southEdge + (rows - r - 0.5) * cell;
        return gmVector3(raster.westEdge + (c + 0.5) * cell,
                         raster.heights[static_cast<std::size_t>(r) * columns + c], -northing);
    };

    // Rows written through all the passes, told at the end of each band.
    int done = 0;
    const auto rowDone = [&] {
        ++done;
        return !progress || done % rowBand != 0 || progress(done);
    };

    TextBuffer text(out);
    const std::string title = "# Mondrel natural terrain: " + std::to_string(rows) + " rows of " +
                              std::to_string(columns) + " cells\n";
    text.put(title.c_str());
    if (textured) {
        const std::string header = "mtllib " + materialLibrary + "\nusemtl terrain\n";
        text.put(header.c_str());
    }
    for (int r = 0; r < rows; ++r) {
        for (int c = 0; c < columns; ++c)
            putTriple(text, "v ", at(r, c));
        if (!rowDone())
            return false;
    }
    for (int r = 0; r < rows; ++r) {
        for (int c = 0; c < columns; ++c) {
            // Across: west to east; towards the viewer: north to south, along +z. Their cross
            // product points up.
            const gmVector3 across =
                at(r, std::min(c + 1, columns - 1)) - at(r, std::max(c - 1, 0));
            const gmVector3 south = at(std::min(r + 1, rows - 1), c) - at(std::max(r - 1, 0), c);
            const gmVector3 n = cross(south, across);
            const double length = std::sqrt(n[0] * n[0] + n[1] * n[1] + n[2] * n[2]);
            putTriple(text, "vn ",
                      length > 0 ? gmVector3(n[0] / length, n[1] / length, n[2] / length)
                                 : gmVector3(0, 1, 0));
        }
        if (!rowDone())
            return false;
    }
    if (textured) {
        // The image lies on the terrain as seen from above, its top row at the back.
        for (int r = 0; r < rows; ++r) {
            for (int c = 0; c < columns; ++c) {
                text.put("vt ");
                text.number(static_cast<float>(static_cast<double>(c) / (columns - 1)));
                text.put(' ');
                text.number(static_cast<float>(1.0 - static_cast<double>(r) / (rows - 1)));
                text.put('\n');
            }
            if (!rowDone())
                return false;
        }
    }
    auto corner = [&](long index) {
        text.put(' ');
        text.number(index);
        if (textured) {
            text.put('/');
            text.number(index);
            text.put('/');
        } else {
            text.put("//", 2);
        }
        text.number(index);
    };
    for (int r = 0; r + 1 < rows; ++r) {
        for (int c = 0; c + 1 < columns; ++c) {
            // Row r lies north of row r + 1; counter-clockwise from above: south-west,
            // south-east, north-east, then south-west, north-east, north-west.
            const long north = static_cast<long>(r) * columns + c + 1;
            const long southWest = north + columns;
            text.put('f');
            corner(southWest);
            corner(southWest + 1);
            corner(north + 1);
            text.put("\nf", 2);
            corner(southWest);
            corner(north + 1);
            corner(north);
            text.put('\n');
        }
        if (!rowDone())
            return false;
    }
    if (progress && !progress(rasterObjPasses(textured) * rows))
        return false;
    return text.finish();
}
