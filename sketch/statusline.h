#pragma once

#include <string>

class SketchModel;

// What the status bar says, so that a new user can tell in every stage what to do next and
// read off the values that shaped the terrain in view. Each text comes whole and in a compact
// form for a status bar too narrow for the whole one; the compact guidance and the compact
// values together fit the status bar of the first window (856 pixels wide).
struct StatusText {
    std::string full;
    std::string compact;
};

// What to do in the stage (0 curve drawing, 1 profile selection, 2 randomness, 3 row
// refinement).
StatusText stageGuidance(int stage);

// What to do while the natural view is on (in the row refinement stage): the panel's
// settings, turning and zooming the view, Home, and the export that writes what is shown.
StatusText naturalViewGuidance();
// What the top view of the natural terrain does with the mouse.
StatusText topViewGuidance();

// The values the terrain is built from: profile randomness, detail randomness, drop-off,
// the selected column and the grid's size (columns x rows), for example
// "Profile randomness 0.35 · Detail randomness 0.20 · Drop-off 0.30 · Column 21 · Grid 40 × 51".
StatusText modelValues(const SketchModel& model);
