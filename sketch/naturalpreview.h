#pragma once

#include <functional>
#include <string>
#include <vector>

#include "libgm/gmvec2.h"
#include "sketch/sketchmodel.h"

// The natural terrain as the view draws it: terrain rows like the model's grid, built from a
// side x side raster of the model's natural terrain with its own settings, at one world unit
// per sketch pixel. Row 0 is the raster's southernmost row (the foot of the front flank, nearest
// the viewer), each row after it one cell further north; every row holds a point per raster
// column, (x at the cell's centre, height), in sketch pixels. rowSpacing is the cell size;
// firstNorthing, when given, hears row 0's northing (sketch pixels from the front range's line,
// growing away from the viewer): the rows lie symmetrically about that line for one range,
// but ranges behind it take the raster further north than south.
// False with a one-line reason, grid and spacing untouched, when the model has no terrain or
// the natural terrain cannot be built, or cancelled (when given) said to stop: the reason is
// then naturalBuildCancelled.
bool naturalPreviewGrid(const SketchModel& model, int side,
                        std::vector<std::vector<gmVector2>>& grid, double& rowSpacing,
                        std::string& message, const std::function<bool()>& cancelled = {},
                        double* firstNorthing = nullptr);

// How many points the front range's divide is drawn and edited with from above, over the
// skyline's width: strokes drawn over it are resampled this densely.
constexpr int divideLinePoints = 48;

// The front range's divide as the top view draws and edits it: the front layer's course
// where it has one, else where the construction puts the divide (naturalDivide), at
// divideLinePoints points. False with a one-line reason when the model has no terrain or the
// natural terrain cannot be built from it.
bool naturalDivideLine(const SketchModel& model, std::vector<gmVector2>& line,
                       std::string& message);
