#pragma once

#include <string>

// Runs build/bin/mondrel-build from tests/data (so fixture names need no folder) with the
// given shell-quoted arguments, capturing its exit status and both output streams.
struct BuildRun {
    int status = -1;
    std::string out;
    std::string err;
};

BuildRun runBuild(const std::string& arguments);

// Runs a shell command from tests/data, capturing the same.
BuildRun runShell(const std::string& command);

// Single-quotes a path for the shell.
std::string quoted(const std::string& path);

// A fresh path in the test's temporary folder (nothing exists there yet).
std::string scratchPath(const std::string& name);

std::string slurp(const std::string& path);
bool exists(const std::string& path);
