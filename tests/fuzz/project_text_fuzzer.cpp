// Feeds arbitrary text to the project reader. What it accepts must hold the promises of
// projectfile.h (the limits, finite numbers, columns inside the grid), and must be written
// back so that it reads back the same: a project Mondrel opens can always be saved and opened
// again.
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "project/projectfile.h"

namespace {

// Small enough that a text of a few kilobytes cannot stand for much memory.
const long maxPoints = 100000;

bool finite(const SketchState::PointList& points, long& count) {
    count += static_cast<long>(points.size());
    for (const gmVector2& p : points)
        if (!std::isfinite(p[0]) || !std::isfinite(p[1]))
            return false;
    return true;
}

bool fraction(float value) {
    return value >= 0.0f && value <= 1.0f;
}

bool holdsItsPromises(const Project& project) {
    const SketchState& s = project.sketch;
    long points = 0;
    bool ok = finite(*s.silhouette, points) && finite(*s.curve, points) &&
              finite(*s.globalProfile, points);
    for (const SketchState::PointList& level : *s.detailLevels)
        ok = ok && finite(level, points);
    for (const SketchState::PointList& profile : *s.columnProfiles)
        ok = ok && finite(profile, points);
    const long columns = s.stage == 0 ? 0 : static_cast<long>(s.curve->size());
    for (std::size_t k = 0; k < s.profileColumns->size(); ++k)
        ok = ok && static_cast<long>((*s.profileColumns)[k]) < columns &&
             (k == 0 || (*s.profileColumns)[k] > (*s.profileColumns)[k - 1]);
    return ok && points <= maxPoints && s.stage >= 0 && s.stage <= 3 &&
           s.profileColumns->size() == s.columnProfiles->size() && fraction(s.profileRandomness) &&
           fraction(s.detailRandomness) && fraction(s.bottomDropOff) && s.selectedColumn >= -1 &&
           s.selectedColumn < columns && std::isfinite(project.rotX) &&
           std::isfinite(project.rotY) && project.backgroundImage.find('\0') == std::string::npos;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string text(reinterpret_cast<const char*>(data), size);
    Project project;
    std::string reason;
    if (!parseProjectText(text, project, reason, maxPoints))
        return 0;
    if (!holdsItsPromises(project))
        std::abort();
    const std::string written = projectText(project);
    Project reread;
    if (!parseProjectText(written, reread, reason, maxPoints))
        std::abort();
    if (!reread.sketch.sameTerrainInputs(project.sketch) || projectText(reread) != written)
        std::abort();
    return 0;
}
