#include "curve/profilepipeline.h"

#include "curve/stroke.h"
#include "curve/subdivision.h"

#include <algorithm>

namespace {

// 394 points coarsened three times give profilePoints.
const int strokeCoarsenings = 3;

} // namespace

void profileFromStroke(std::vector<gmVector2>& stroke, int viewWidth) {
    cleanupLine(stroke, viewWidth);
    if (stroke.empty())
        return;
    resampleLine(stroke, profileStrokePoints);
    for (int i = 0; i < strokeCoarsenings; ++i)
        coarsenCurve(stroke);
}

void profileForEditing(std::vector<gmVector2>& profile) {
    resampleLine(profile, profilePoints);
}

bool nearProfileBox(const gmVector2& p, double graceX, double graceY) {
    return p[0] >= -graceX && p[0] <= 1.0 + graceX && p[1] >= -graceY && p[1] <= 1.0 + graceY;
}

gmVector2 clampedIntoProfileBox(const gmVector2& p) {
    return gmVector2(std::clamp(p[0], 0.0, 1.0), std::clamp(p[1], 0.0, 1.0));
}
