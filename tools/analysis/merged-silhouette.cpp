// merged-silhouette: draws a silhouette of two overlapping strokes of different heights with
// the model's stroke calls, as a user would in the window (the second stroke redraws part of
// the first), and saves it as a curve file.
//
// Usage: merged-silhouette OUTPUT.c2d
#include <cmath>
#include <cstdio>
#include <string>

#include "sketch/sketchmodel.h"

namespace {

const int viewWidth = 800, viewHeight = 600;

// One stroke from x0 to x1, a mouse point per pixel, at height(x) above the view's bottom.
template <typename Height> void stroke(SketchModel& model, int x0, int x1, Height height) {
    model.beginStroke(x0, viewHeight - static_cast<int>(std::lround(height(x0))));
    for (int x = x0 + 1; x <= x1; ++x)
        model.extendStroke(x, viewHeight - static_cast<int>(std::lround(height(x))));
    model.extendStroke(x1, viewHeight - static_cast<int>(std::lround(height(x1))));
    model.processLine();
}

} // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "Usage: merged-silhouette OUTPUT.c2d\n");
        return 2;
    }
    SketchModel model;
    model.setPrinting(false);
    model.setViewSize(viewWidth, viewHeight);
    // A broad, lower range with some detail...
    stroke(model, 60, 560, [](int x) {
        return 140.0 + 160.0 * std::sin((x - 60) / 500.0 * 3.14159) + 12.0 * std::sin(x * 0.11);
    });
    // ... and a higher peak drawn over its right half, from inside it to beyond its end.
    stroke(model, 380, 740, [](int x) {
        const double t = (x - 560.0) / 120.0;
        return 120.0 + 300.0 * std::exp(-t * t) + 8.0 * std::sin(x * 0.23);
    });
    std::string message;
    if (!model.saveCurve(argv[1], message)) {
        std::fprintf(stderr, "merged-silhouette: %s\n", message.c_str());
        return 1;
    }
    return 0;
}
