#pragma once

#include <functional>
#include <string>
#include <utility>
#include <vector>

#include "sketch/sketchmodel.h"

// Helpers shared by the sketch model tests. The model's view is 800 x 600 pixels.
namespace modeltesting {

const int viewWidth = 800;
const int viewHeight = 600;

// A silent model with the test view size.
SketchModel quietModel();

// Presses at the first mouse point (y downwards), moves through the others and releases at
// the last one, as the view's left-button handlers would in stage 0.
void drawStroke(SketchModel& model, const std::vector<std::pair<int, int>>& mouse);

// A stroke with one mouse point per x from x0 to x1 (either direction) at the model height
// height(x) (y upwards), processed into the curve.
void drawCurve(SketchModel& model, int x0, int x1, const std::function<double(int)>& height);

// A processed curve of n columns starting at x = 100, heights 100 + (x mod 37).
void drawCurveOfLength(SketchModel& model, int n);

// A unique path in the test's temporary folder.
std::string temporaryPath(const std::string& name);

std::string readFile(const std::string& path);
void writeFile(const std::string& path, const std::string& text);
bool fileExists(const std::string& path);

} // namespace modeltesting
