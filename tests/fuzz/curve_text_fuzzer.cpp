// Feeds arbitrary text to the curve file reader. What it reads must hold the promises of
// curvefile.h: finite points, never more than declared (except the one point of a count
// of 0 or below).
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

#include "fileio/curvefile.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    std::vector<gmVector2> points;
    int declared = 0;
    const std::string text(reinterpret_cast<const char*>(data), size);
    if (parseCurveText(text, points, declared) != CurveReadResult::ok)
        return 0;
    const long most = declared > 0 ? declared : 1;
    if (static_cast<long>(points.size()) > most)
        std::abort();
    for (const gmVector2& p : points)
        if (!std::isfinite(p[0]) || !std::isfinite(p[1]))
            std::abort();
    return 0;
}
