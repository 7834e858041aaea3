#pragma once

#include <functional>
#include <string>

// Runs action with files limited to maxBytes, so that writes beyond it fail as on a full disk
// (and SIGXFSZ ignored, so the failure is an error return rather than the end of the test).
void withFileSizeLimit(long maxBytes, const std::function<void()>& action);

// Names in the folder of path that start with path's file name or are a save's temporary
// file: the file and any temporary file left beside it.
int filesStartingWith(const std::string& path);
