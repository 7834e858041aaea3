#pragma once

#include <string>

#include "tools/buildoptions.h"

// Walks a model through the stages the way the window would — load options.inputFile,
// "&Next" up to the requested stage, the profile edits in stage 1, the slider and the drop-off
// buttons in stages 2 and 3 — and writes the grid to options.outputFile. An input that is a
// project is taken up at the project's stage with its settings, which the options given on
// the command line override. False with a one-line reason when anything fails; no output
// file is written then.
bool runStagedBuild(const BuildOptions& options, std::string& error);
