#include "buildrunning.h"
#include "../support/testfiles.h"

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

std::string quoted(const std::string& path) {
    std::string result = "'";
    for (char c : path)
        result += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return result + "'";
}

std::string scratchPath(const std::string& name) {
    static int counter = 0;
    const std::string path = scratchFolder() + "/" + std::to_string(counter++) + "-" + name;
    std::remove(path.c_str());
    return path;
}

std::string slurp(const std::string& path) {
    return readWholeFile(path);
}

bool exists(const std::string& path) {
    struct stat info {};
    return stat(path.c_str(), &info) == 0;
}

BuildRun runBuild(const std::string& arguments) {
    return runShell(quoted(MONDREL_BIN_DIR "/mondrel-build") + " " + arguments);
}

BuildRun runShell(const std::string& command) {
    const std::string out = scratchPath("stdout");
    const std::string err = scratchPath("stderr");
    const std::string line = "cd " + quoted(MONDREL_TEST_DATA_DIR) + " && (" + command + ") >" +
                             quoted(out) + " 2>" + quoted(err);
    const int raw = std::system(line.c_str());
    BuildRun run;
    run.status = WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
    run.out = slurp(out);
    run.err = slurp(err);
    return run;
}
