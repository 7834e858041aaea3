#pragma once

#include <vector>

#include "libgm/gmvec2.h"

// How the profile editor turns what it is given or drawn into the profiles the terrain
// construction reads. A profile is a point list in the unit square read by height only:
// point i is the height of terrain row i relative to the silhouette.

// Points in every profile the editor makes and shows: one per terrain row.
constexpr int profilePoints = 51;
// A finished profile stroke is resampled to this many points first; three coarsenings then
// bring it to profilePoints (394 -> 198 -> 100 -> 51).
constexpr int profileStrokePoints = 394;

// Turns a finished profile stroke into a profile of profilePoints points. The stroke is in
// unit-square coordinates (x right, height up, the box from 0 to 1); viewWidth is the profile
// view's width in pixels, which sets the column size of the cleanup. A stroke that cleans to
// nothing (drawn wholly left of the box), and an empty stroke, leave an empty list.
void profileFromStroke(std::vector<gmVector2>& stroke, int viewWidth);

// Brings a profile handed to the editor (or read from a file) to its profilePoints-point form
// by resampling along the point index; a profile of fewer than 2 points stays as it is.
void profileForEditing(std::vector<gmVector2>& profile);

// Whether a profile stroke may begin at p (unit-square coordinates): inside the box, or at
// most graceX left or right and graceY above or below it, where a user starts at a corner.
bool nearProfileBox(const gmVector2& p, double graceX, double graceY);
// p moved into the unit square, so a stroke begun or ended just outside stays in the box.
gmVector2 clampedIntoProfileBox(const gmVector2& p);
