#include "curve/profilepipeline.h"

#include "curve/stroke.h"
#include "curve/subdivision.h"

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
