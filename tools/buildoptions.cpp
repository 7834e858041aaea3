#include "tools/buildoptions.h"

#include <cerrno>
#include <climits>
#include <cstdlib>

namespace {

const int maxDropOffSteps = 100;

// A whole decimal number filling the text, within [low, high].
bool parseInt(const std::string& text, int low, int high, int& value) {
    if (text.empty())
        return false;
    char* stop = nullptr;
    errno = 0;
    const long parsed = std::strtol(text.c_str(), &stop, 10);
    if (*stop != '\0' || errno == ERANGE || parsed < low || parsed > high)
        return false;
    value = static_cast<int>(parsed);
    return true;
}

bool parseColumnProfile(const std::string& text, BuildOptions::ColumnProfile& profile) {
    const std::size_t colon = text.find(':');
    if (colon == std::string::npos || colon + 1 == text.size())
        return false;
    profile.file = text.substr(colon + 1);
    return parseInt(text.substr(0, colon), 0, INT_MAX, profile.column);
}

class ArgumentReader {
public:
    explicit ArgumentReader(const std::vector<std::string>& arguments) : arguments_(arguments) {}

    bool done() const { return at_ >= arguments_.size(); }
    const std::string& take() { return arguments_[at_++]; }
    // The value of an option, given as "--name value" or "--name=value".
    bool value(const std::string& inlineValue, bool hasInline, std::string& result) {
        if (hasInline) {
            result = inlineValue;
            return true;
        }
        if (done())
            return false;
        result = take();
        return true;
    }

private:
    const std::vector<std::string>& arguments_;
    std::size_t at_ = 0;
};

} // namespace

std::string buildUsage() {
    return "Usage: mondrel-build [options] CURVE.c2d OUTPUT.grd\n"
           "Builds the terrain of a curve file as Mondrel does and writes it as a .grd grid.\n"
           "OUTPUT \"-\" writes the grid to standard output; progress lines are then silenced.\n"
           "\n"
           "Options:\n"
           "  --stage N                  the stage whose terrain is written: 1, 2 or 3 (default "
           "3)\n"
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
           "  --help                     this text\n"
           "\n"
           "Progress lines go to standard output. On failure one line on standard error says\n"
           "what is wrong, the exit status is 1 and no output file is written.\n";
}

bool parseBuildOptions(const std::vector<std::string>& arguments, BuildOptions& options,
                       std::string& error) {
    ArgumentReader reader(arguments);
    std::vector<std::string> files;
    while (!reader.done()) {
        const std::string argument = reader.take();
        if (argument.size() < 3 || argument.compare(0, 2, "--") != 0) {
            files.push_back(argument); // "-" included
            continue;
        }
        const std::size_t equals = argument.find('=');
        const std::string name = argument.substr(0, equals);
        const bool hasInline = equals != std::string::npos;
        const std::string inlineValue = hasInline ? argument.substr(equals + 1) : std::string();
        if (name == "--help" || name == "--quiet") {
            if (hasInline) {
                error = name + " takes no value";
                return false;
            }
            (name == "--help" ? options.help : options.quiet) = true;
            continue;
        }
        std::string value;
        const bool known = name == "--stage" || name == "--profile-randomness" ||
                           name == "--drop-off-steps" || name == "--detail-randomness" ||
                           name == "--global-profile" || name == "--profile";
        if (!known) {
            error = "unknown option " + name + " (see --help)";
            return false;
        }
        if (!reader.value(inlineValue, hasInline, value)) {
            error = name + " needs a value";
            return false;
        }
        bool good = true;
        if (name == "--stage")
            good = parseInt(value, 1, 3, options.stage);
        else if (name == "--profile-randomness")
            good = parseInt(value, 0, 99, options.profileRandomness);
        else if (name == "--drop-off-steps")
            good = parseInt(value, -maxDropOffSteps, maxDropOffSteps, options.dropOffSteps);
        else if (name == "--detail-randomness")
            good = parseInt(value, 0, 99, options.detailRandomness);
        else if (name == "--global-profile")
            good = !(options.globalProfileFile = value).empty();
        else {
            BuildOptions::ColumnProfile profile;
            good = parseColumnProfile(value, profile);
            options.columnProfiles.push_back(profile);
        }
        if (!good) {
            error = "bad value \"" + value + "\" for " + name + " (see --help)";
            return false;
        }
    }
    if (options.help)
        return true;
    if (files.size() != 2) {
        error = "expected CURVE.c2d and OUTPUT.grd (see --help)";
        return false;
    }
    options.curveFile = files[0];
    options.outputFile = files[1];
    return true;
}
