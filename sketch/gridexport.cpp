#include "sketch/gridexport.h"

#include "sketch/atomicfile.h"
#include "sketch/clocalescope.h"

namespace {

const double cellSize = 1.0 / 10800.0;

} // namespace

bool writeGrid(std::FILE* out, const std::vector<std::vector<gmVector2>>& grid) {
    const CLocaleScope cLocale;
    const std::size_t columns = grid.empty() ? 0 : grid[0].size();
    std::fprintf(out, "ncols\t%i\n", static_cast<int>(columns));
    std::fprintf(out, "nrows\t%i\n", static_cast<int>(grid.size()));
    std::fprintf(out, "xllcorner\t0\n");
    std::fprintf(out, "yllcorner\t0\n");
    std::fprintf(out, "xdim\t%1.18f\n", cellSize);
    std::fprintf(out, "ydim\t%1.18f\n", cellSize);
    std::fprintf(out, "NODATA_value\t-9999\n");
    for (const std::vector<gmVector2>& row : grid) {
        // Rows are built with equal lengths; never read past a shorter one.
        const std::size_t n = row.size() < columns ? row.size() : columns;
        for (std::size_t c = 0; c < n; ++c)
            std::fprintf(out, "%1.2f ", row[c][1]);
        std::fputc('\n', out);
    }
    std::fputc('\n', out);
    return std::ferror(out) == 0;
}

GridWriteResult writeGridFile(const std::string& name,
                              const std::vector<std::vector<gmVector2>>& grid) {
    AtomicFile out(name);
    if (!out.open())
        return GridWriteResult::cannotCreate;
    if (!writeGrid(out.stream(), grid))
        return GridWriteResult::writeFailed;
    return out.commit() ? GridWriteResult::ok : GridWriteResult::writeFailed;
}
