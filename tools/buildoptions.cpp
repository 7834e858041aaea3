#include "tools/buildoptions.h"

#include <CLI/CLI.hpp>
#include <algorithm>

#ifndef MONDREL_VERSION
#define MONDREL_VERSION "unknown"
#endif

namespace {

const int maxDropOffSteps = 100;

// "COLUMN:FILE", the column a whole decimal number of at least 0.
std::string parseColumnProfile(const std::string& text, BuildOptions::ColumnProfile& profile) {
    const std::size_t colon = text.find(':');
    const std::string column = text.substr(0, colon == std::string::npos ? 0 : colon);
    const bool digits =
        !column.empty() && column.size() <= 9 &&
        std::all_of(column.begin(), column.end(), [](char c) { return c >= '0' && c <= '9'; });
    if (colon == std::string::npos || colon + 1 == text.size() || !digits)
        return "bad value \"" + text + "\" for --profile: expected COLUMN:FILE.c2d";
    profile.column = std::stoi(column);
    profile.file = text.substr(colon + 1);
    return {};
}

// The option names of every option the command line used.
void noteGiven(const CLI::App& app, BuildOptions& options) {
    for (const CLI::Option* option : app.get_options()) {
        if (option->count() > 0 && !option->get_lnames().empty())
            options.given.insert("--" + option->get_lnames().front());
    }
}

} // namespace

std::string buildUsageLine() {
    return "Usage: mondrel-build [options] INPUT OUTPUT.grd";
}

std::string buildVersion() {
    return std::string("mondrel-build ") + MONDREL_VERSION + "\n";
}

std::string buildUsage() {
    return buildUsageLine() +
           "\n"
           "Builds the terrain of a curve file or a project as Mondrel does and writes it as a\n"
           ".grd grid. INPUT is a curve file (.c2d) or a Mondrel project (.mondrel), told apart\n"
           "by their content. OUTPUT \"-\" writes the grid to standard output; progress lines\n"
           "are then silenced.\n"
           "\n"
           "A project is built at its own stage with its own profiles, randomness and drop-off:\n"
           "the same grid as \"Save Terrain\" in the window that saved it. The options given\n"
           "override its settings: --drop-off-steps presses \"Up\" or \"Down\" from its\n"
           "drop-off, --global-profile and --profile edit its profiles as in stage 1, and\n"
           "--stage may go on from its stage but not back.\n"
           "\n"
           "Options:\n"
           "  --stage N                  the stage whose terrain is written: 1, 2 or 3 (default "
           "3,\n"
           "                             for a project its own stage)\n"
           "  --profile-randomness V     profile randomness slider, 0 to 99, applied in stage 2\n"
           "                             (default 0)\n"
           "  --drop-off-steps K         in stage 2, press \"Up\" K times (K > 0) or \"Down\" -K\n"
           "                             times (K < 0); -100 to 100 (default 0)\n"
           "  --detail-randomness V      detail randomness slider, 0 to 99, applied in stage 3\n"
           "                             (default 20)\n"
           "  --global-profile FILE.c2d  a curve file whose points form a profile in the unit\n"
           "                             square, used as the edited global profile in stage 1\n"
           "  --profile COLUMN:FILE.c2d  a profile for that grid column, stored in stage 1 after\n"
           "                             the global profile; may be repeated\n"
           "  --quiet                    no progress lines\n"
           "  -h, --help                 this text\n"
           "  --version                  the program's version\n"
           "\n"
           "Progress lines go to standard output. On failure one line on standard error says\n"
           "what is wrong and no output file is written. Exit status: 0 on success, 1 when the\n"
           "build or the write failed, 2 for a usage error.\n";
}

bool parseBuildOptions(const std::vector<std::string>& arguments, BuildOptions& options,
                       std::string& error) {
    CLI::App app("mondrel-build", "mondrel-build");
    // Our own --help text, so that the options read as the manual page does.
    app.set_help_flag();
    bool help = false;
    app.add_flag("-h,--help", help);
    app.add_flag("--version", options.version);
    app.add_flag("--quiet", options.quiet);
    app.add_option("--stage", options.stage)->check(CLI::Range(1, 3));
    app.add_option("--profile-randomness", options.profileRandomness)->check(CLI::Range(0, 99));
    app.add_option("--drop-off-steps", options.dropOffSteps)
        ->check(CLI::Range(-maxDropOffSteps, maxDropOffSteps));
    app.add_option("--detail-randomness", options.detailRandomness)->check(CLI::Range(0, 99));
    app.add_option("--global-profile", options.globalProfileFile)
        ->check([](const std::string& value) {
            return value.empty() ? std::string("a file name is needed") : std::string();
        });
    std::vector<std::string> columnProfiles;
    app.add_option("--profile", columnProfiles)->allow_extra_args(false);
    std::vector<std::string> files;
    app.add_option("files", files);

    // CLI11 takes the arguments last first.
    std::vector<std::string> reversed(arguments.rbegin(), arguments.rend());
    try {
        app.parse(reversed);
    } catch (const CLI::ParseError& failure) {
        error = failure.what();
        if (error.empty())
            error = "bad command line";
        return false;
    }
    noteGiven(app, options);
    options.help = help;
    for (const std::string& text : columnProfiles) {
        BuildOptions::ColumnProfile profile;
        error = parseColumnProfile(text, profile);
        if (!error.empty())
            return false;
        options.columnProfiles.push_back(profile);
    }
    if (options.help || options.version)
        return true;
    if (files.size() != 2) {
        error = "expected INPUT and OUTPUT.grd (see --help)";
        return false;
    }
    options.inputFile = files[0];
    options.outputFile = files[1];
    return true;
}
