#pragma once

#include <string>

#include "tools/buildoptions.h"

// Builds the terrain of options.curveFile the way the window would reach it — load the curve,
// "&Next" up to the requested stage, the profile edits in stage 1, the slider and the drop-off
// buttons in stages 2 and 3 — and writes the grid to options.outputFile. False with a one-line
// reason when anything fails; no output file is written then.
bool buildTerrain(const BuildOptions& options, std::string& error);
