// mondrel-build: builds from a curve file the terrain Mondrel would, without a window, for
// scripts, pipelines and tests. See --help.
#include <cstdio>
#include <string>
#include <vector>

#include "tools/buildoptions.h"
#include "tools/stagedbuild.h"

namespace {

// Exit statuses: a build or write that failed, and a command line that could not be used.
const int buildFailed = 1;
const int usageError = 2;

} // namespace

int main(int argc, char** argv) {
    const std::vector<std::string> arguments(argv + 1, argv + argc);
    BuildOptions options;
    std::string error;
    if (!parseBuildOptions(arguments, options, error)) {
        std::fprintf(stderr, "mondrel-build: %s\n%s\n", error.c_str(), buildUsageLine().c_str());
        return usageError;
    }
    if (options.help) {
        std::fputs(buildUsage().c_str(), stdout);
        return 0;
    }
    if (options.version) {
        std::fputs(buildVersion().c_str(), stdout);
        return 0;
    }
    std::vector<std::string> notices;
    if (!runStagedBuild(options, error, &notices)) {
        std::fprintf(stderr, "mondrel-build: %s\n", error.c_str());
        return buildFailed;
    }
    for (const std::string& notice : notices)
        std::fprintf(stderr, "mondrel-build: %s\n", notice.c_str());
    return 0;
}
