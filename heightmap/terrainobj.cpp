#include "heightmap/terrainobj.h"

#include <algorithm>
#include <cmath>
#include <string>

#include "heightmap/textbuffer.h"

namespace {

struct Point {
    double x, y, z;
};

Point operator-(const Point& a, const Point& b) {
    return {a.x - b.x, a.y - b.y, a.z - b.z};
}

} // namespace

bool writeTerrainObj(std::FILE* out, const std::vector<std::vector<gmVector2>>& grid,
                     double rowSpacing, double scale) {
    const int rows = static_cast<int>(grid.size());
    const int columns = rows > 0 ? static_cast<int>(grid[0].size()) : 0;
    auto at = [&](int r, int c) {
        return Point{grid[r][c][0] * scale, grid[r][c][1] * scale, -r * rowSpacing * scale};
    };

    TextBuffer text(out);
    const std::string title = "# Mondrel terrain: " + std::to_string(rows) + " rows of " +
                              std::to_string(columns) + " points\n";
    text.put(title.c_str());
    // Single precision is all 3D tools read, and it keeps the file half as long.
    for (int r = 0; r < rows; ++r) {
        for (int c = 0; c < columns; ++c) {
            const Point p = at(r, c);
            text.put("v ");
            text.number(static_cast<float>(p.x));
            text.put(' ');
            text.number(static_cast<float>(p.y));
            text.put(' ');
            text.number(static_cast<float>(p.z));
            text.put('\n');
        }
    }
    for (int r = 0; r < rows; ++r) {
        for (int c = 0; c < columns; ++c) {
            // Across: west to east; back: front to back, along -z. Their cross product points up.
            const Point across = at(r, std::min(c + 1, columns - 1)) - at(r, std::max(c - 1, 0));
            const Point back = at(std::min(r + 1, rows - 1), c) - at(std::max(r - 1, 0), c);
            Point n{across.y * back.z - across.z * back.y, across.z * back.x - across.x * back.z,
                    across.x * back.y - across.y * back.x};
            const double length = std::sqrt(n.x * n.x + n.y * n.y + n.z * n.z);
            n = length > 0 ? Point{n.x / length, n.y / length, n.z / length} : Point{0, 1, 0};
            text.put("vn ");
            text.number(static_cast<float>(n.x));
            text.put(' ');
            text.number(static_cast<float>(n.y));
            text.put(' ');
            text.number(static_cast<float>(n.z));
            text.put('\n');
        }
    }
    auto corner = [&](long index) {
        text.put(' ');
        text.number(index);
        text.put("//", 2);
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
