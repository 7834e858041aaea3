#pragma once

#include <string>
#include <vector>

#include "tools/buildoptions.h"

// Walks a model through the stages the way the window would — load options.inputFile,
// "&Next" up to the requested stage, the profile edits in stage 1, the slider and the drop-off
// buttons in stages 2 and 3 — and writes the terrain to options.outputFile in options.format.
// An input that is a project is taken up at the project's stage with its settings, which the
// options given on the command line override. False with a one-line reason when anything
// fails; no output file is written then. On success, notices (when given) receive the lines the
// user must see even when progress lines are silenced: a curve file that held fewer points
// than it declared, and heights of a 16-bit file clamped to its height range.
bool runStagedBuild(const BuildOptions& options, std::string& error,
                    std::vector<std::string>* notices = nullptr);
