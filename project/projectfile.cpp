#include "project/projectfile.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <nlohmann/json.hpp>
#include <stdexcept>

#include "fileio/atomicfile.h"

const char* const projectFormatName = "Mondrel project";

namespace {

using Json = nlohmann::ordered_json;
using PointList = SketchState::PointList;

// ---- Writing

Json pointsJson(const PointList& points) {
    Json list = Json::array();
    for (const gmVector2& p : points)
        list.push_back(Json::array({p[0], p[1]}));
    return list;
}

Json listsJson(const std::vector<PointList>& lists) {
    Json all = Json::array();
    for (const PointList& points : lists)
        all.push_back(pointsJson(points));
    return all;
}

// A single-precision value as the double it widens to: that double's shortest form reads
// back to the same float.
double widened(float value) {
    return static_cast<double>(value);
}

// ---- Reading. A refusal carries the reason up to parseProjectText.

struct Refusal : std::runtime_error {
    using std::runtime_error::runtime_error;
};

// Thrown from inside the parser once a document holds far more numbers than any acceptable
// project, so that a huge file is refused before it is all in memory.
struct TooManyNumbers {};

std::string tooManyPoints(long maxPoints) {
    return "it holds more than " + std::to_string(maxPoints) + " points";
}

const Json& field(const Json& object, const char* name) {
    const auto at = object.find(name);
    if (at == object.end())
        throw Refusal(std::string("\"") + name + "\" is missing");
    return *at;
}

double finiteNumber(const Json& value, const std::string& what) {
    if (!value.is_number())
        throw Refusal(what + " must be a number");
    const double number = value.get<double>();
    if (!std::isfinite(number))
        throw Refusal(what + " is not a finite number");
    return number;
}

float fraction(const Json& object, const char* name) {
    const double value = finiteNumber(field(object, name), std::string("\"") + name + "\"");
    if (value < 0.0 || value > 1.0)
        throw Refusal(std::string("\"") + name + "\" must lie between 0 and 1");
    return static_cast<float>(value);
}

long wholeNumber(const Json& value, const std::string& what, long low, long high) {
    if (!value.is_number_integer())
        throw Refusal(what + " must be a whole number");
    // Non-negative whole numbers are read as unsigned, and may not fit a long.
    const bool tooLarge =
        value.is_number_unsigned() && value.get<std::uint64_t>() > static_cast<std::uint64_t>(high);
    const long number = tooLarge ? high : static_cast<long>(value.get<std::int64_t>());
    if (tooLarge || number < low || number > high)
        throw Refusal(what + " must lie between " + std::to_string(low) + " and " +
                      std::to_string(high));
    return number;
}

class PointReader {
public:
    explicit PointReader(long maxPoints) : maxPoints_(maxPoints) {}

    PointList points(const Json& value, const std::string& what) {
        if (!value.is_array())
            throw Refusal(what + " must be a list of [x, y] points");
        count_ += static_cast<long>(value.size());
        if (count_ > maxPoints_)
            throw Refusal(tooManyPoints(maxPoints_));
        PointList list;
        list.reserve(value.size());
        for (std::size_t i = 0; i < value.size(); ++i) {
            const Json& pair = value[i];
            const bool good =
                pair.is_array() && pair.size() == 2 && isFinite(pair[0]) && isFinite(pair[1]);
            if (!good) // the reason is worked out only for the point that has none
                checkPoint(pair, what + " point " + std::to_string(i));
            list.emplace_back(pair[0].get<double>(), pair[1].get<double>());
        }
        return list;
    }

private:
    static bool isFinite(const Json& value) {
        return value.is_number() && std::isfinite(value.get<double>());
    }
    static void checkPoint(const Json& pair, const std::string& point) {
        if (!pair.is_array() || pair.size() != 2)
            throw Refusal(point + " must be an [x, y] pair");
        finiteNumber(pair[0], point);
        finiteNumber(pair[1], point);
    }

    long maxPoints_;
    long count_ = 0;
};

void checkFormat(const Json& document) {
    if (!document.is_object())
        throw Refusal("it is not a Mondrel project (the document is not a JSON object)");
    const Json& format = field(document, "format");
    if (!format.is_string() || format.get<std::string>() != projectFormatName)
        throw Refusal(std::string("it is not a Mondrel project (\"format\" is not \"") +
                      projectFormatName + "\")");
    const Json& version = field(document, "version");
    // Whole numbers from 0 on are read as unsigned, negative ones as signed.
    if (!version.is_number_unsigned() || version.get<std::uint64_t>() < 1)
        throw Refusal("\"version\" must be a whole number from 1 on");
    if (version.get<std::uint64_t>() > static_cast<std::uint64_t>(projectFormatVersion))
        throw Refusal("it was written by a newer Mondrel (format version " + version.dump() +
                      "; this Mondrel reads version " + std::to_string(projectFormatVersion) + ")");
}

Project readProject(const Json& document, long maxPoints) {
    checkFormat(document);
    PointReader reader(maxPoints);
    Project project;
    SketchState& sketch = project.sketch;
    sketch.stage = static_cast<int>(wholeNumber(field(document, "stage"), "\"stage\"", 0, 3));

    PointList silhouette = reader.points(field(document, "silhouette"), "\"silhouette\"");
    PointList curve = reader.points(field(document, "curve"), "\"curve\"");
    const Json& levels = field(document, "detailLevels");
    if (!levels.is_array())
        throw Refusal("\"detailLevels\" must be a list of point lists");
    std::vector<PointList> detailLevels;
    for (std::size_t i = 0; i < levels.size(); ++i)
        detailLevels.push_back(
            reader.points(levels[i], "\"detailLevels\" level " + std::to_string(i)));
    if (sketch.stage == 0) {
        if (!detailLevels.empty())
            throw Refusal("\"detailLevels\" must be empty in stage 0");
        if (silhouette != curve)
            throw Refusal("\"silhouette\" and \"curve\" must be the same in stage 0");
    }
    // A grid has a column per point of the curve, from stage 1 on.
    const long columns = sketch.stage == 0 ? 0 : static_cast<long>(curve.size());

    PointList globalProfile = reader.points(field(document, "globalProfile"), "\"globalProfile\"");
    const Json& entries = field(document, "columnProfiles");
    if (!entries.is_array())
        throw Refusal("\"columnProfiles\" must be a list of {\"column\", \"profile\"} entries");
    std::vector<unsigned> profileColumns;
    std::vector<PointList> columnProfiles;
    for (std::size_t i = 0; i < entries.size(); ++i) {
        const std::string entry = "\"columnProfiles\" entry " + std::to_string(i);
        if (!entries[i].is_object())
            throw Refusal(entry + " must be a {\"column\", \"profile\"} object");
        const long column =
            wholeNumber(field(entries[i], "column"), entry + "'s column", 0, 0x7fffffffL);
        if (column >= columns)
            throw Refusal(entry + " has column " + std::to_string(column) +
                          (columns == 0 ? std::string(", but there is no grid yet")
                                        : ", outside the grid's columns 0 to " +
                                              std::to_string(columns - 1)));
        if (!profileColumns.empty() && static_cast<unsigned>(column) <= profileColumns.back())
            throw Refusal(entry + " must lie right of the entry before it");
        profileColumns.push_back(static_cast<unsigned>(column));
        columnProfiles.push_back(reader.points(field(entries[i], "profile"), entry + "'s profile"));
    }

    sketch.profileRandomness = fraction(document, "profileRandomness");
    sketch.detailRandomness = fraction(document, "detailRandomness");
    sketch.bottomDropOff = fraction(document, "bottomDropOff");
    const long selected =
        wholeNumber(field(document, "selectedColumn"), "\"selectedColumn\"", -1, 0x7fffffffL);
    if (selected >= columns)
        throw Refusal("\"selectedColumn\" " + std::to_string(selected) + " lies outside the grid");
    sketch.selectedColumn = static_cast<int>(selected);

    const Json& view = field(document, "view");
    if (!view.is_object())
        throw Refusal("\"view\" must be an object with \"rotX\" and \"rotY\"");
    project.rotX = static_cast<float>(finiteNumber(field(view, "rotX"), "\"rotX\""));
    project.rotY = static_cast<float>(finiteNumber(field(view, "rotY"), "\"rotY\""));
    const Json& image = field(document, "backgroundImage");
    if (!image.is_string())
        throw Refusal("\"backgroundImage\" must be a string");
    project.backgroundImage = image.get<std::string>();

    sketch.curve = std::make_shared<const PointList>(std::move(curve));
    sketch.silhouette =
        sketch.stage == 0 ? sketch.curve : std::make_shared<const PointList>(std::move(silhouette));
    sketch.detailLevels = std::make_shared<const std::vector<PointList>>(std::move(detailLevels));
    sketch.globalProfile = std::make_shared<const PointList>(std::move(globalProfile));
    sketch.profileColumns =
        std::make_shared<const std::vector<unsigned>>(std::move(profileColumns));
    sketch.columnProfiles =
        std::make_shared<const std::vector<PointList>>(std::move(columnProfiles));
    return project;
}

// nlohmann's message without its "[json.exception.parse_error.101] " prefix.
std::string parserMessage(const std::exception& error) {
    const std::string what = error.what();
    const std::size_t close = what.find("] ");
    return close == std::string::npos ? what : what.substr(close + 2);
}

} // namespace

std::string projectText(const Project& project) {
    const SketchState& sketch = project.sketch;
    Json columnProfiles = Json::array();
    for (std::size_t k = 0; k < sketch.profileColumns->size(); ++k)
        columnProfiles.push_back(Json{{"column", (*sketch.profileColumns)[k]},
                                      {"profile", pointsJson((*sketch.columnProfiles)[k])}});
    Json document;
    document["format"] = projectFormatName;
    document["version"] = projectFormatVersion;
    document["stage"] = sketch.stage;
    document["silhouette"] = pointsJson(*sketch.silhouette);
    document["curve"] = pointsJson(*sketch.curve);
    document["detailLevels"] = listsJson(*sketch.detailLevels);
    document["globalProfile"] = pointsJson(*sketch.globalProfile);
    document["columnProfiles"] = std::move(columnProfiles);
    document["profileRandomness"] = widened(sketch.profileRandomness);
    document["detailRandomness"] = widened(sketch.detailRandomness);
    document["bottomDropOff"] = widened(sketch.bottomDropOff);
    document["selectedColumn"] = sketch.selectedColumn;
    document["view"] = Json{{"rotX", widened(project.rotX)}, {"rotY", widened(project.rotY)}};
    document["backgroundImage"] = project.backgroundImage;
    // A path that is not UTF-8 cannot be written as JSON; it is refused by dump's exception,
    // which writeProjectFile turns into a message.
    return document.dump() + "\n";
}

bool parseProjectText(const std::string& text, Project& project, std::string& reason,
                      long maxPoints) {
    // Two numbers a point, and a few more for the settings.
    const long maxNumbers = 2 * maxPoints + 64;
    long numbers = 0;
    const Json::parser_callback_t countNumbers =
        [&numbers, maxNumbers](int, nlohmann::json::parse_event_t event, Json& parsed) {
            if (event == nlohmann::json::parse_event_t::value && parsed.is_number() &&
                ++numbers > maxNumbers)
                throw TooManyNumbers();
            return true;
        };
    try {
        const Json document = Json::parse(text, countNumbers);
        project = readProject(document, maxPoints);
        return true;
    } catch (const TooManyNumbers&) {
        reason = tooManyPoints(maxPoints);
    } catch (const Refusal& refusal) {
        reason = refusal.what();
    } catch (const nlohmann::json::exception& error) {
        reason = "it is not a JSON document (" + parserMessage(error) + ")";
    }
    return false;
}

bool writeProjectFile(const std::string& name, const Project& project, std::string& message) {
    std::string text;
    try {
        text = projectText(project);
    } catch (const nlohmann::json::exception&) {
        message =
            "Cannot save the project " + name + ": the background image's path is not valid UTF-8.";
        return false;
    }
    AtomicFile out(name);
    if (!out.open()) {
        message =
            "Cannot save the project " + name + ": its folder does not exist or cannot be written.";
        return false;
    }
    const bool written = std::fwrite(text.data(), 1, text.size(), out.stream()) == text.size();
    if (!out.commit() || !written) {
        message = "Cannot save the project " + name + ": writing it failed.";
        return false;
    }
    return true;
}

bool readProjectFile(const std::string& name, Project& project, std::string& message) {
    // A device or a pipe could feed the reader without end.
    std::error_code failed;
    if (std::filesystem::exists(name, failed) && !std::filesystem::is_regular_file(name, failed)) {
        message = "Cannot open the project " + name + ": it is not a file.";
        return false;
    }
    // The point limit is counted while parsing; a file far larger than any project holding
    // that many points is refused before it is read into memory at all.
    const std::uintmax_t size = std::filesystem::file_size(name, failed);
    if (!failed && size > maxProjectFileBytes) {
        message = "Cannot open the project " + name + ": it is larger than " +
                  std::to_string(maxProjectFileBytes >> 20) + " MiB, more than any project holds.";
        return false;
    }
    std::ifstream in(name, std::ios::binary);
    const std::string text =
        in ? std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>())
           : std::string();
    if (!in.is_open() || in.bad()) {
        message = "Cannot open the project " + name + ": the file cannot be read.";
        return false;
    }
    std::string reason;
    if (!parseProjectText(text, project, reason)) {
        message = "Cannot open the project " + name + ": " + reason + ".";
        return false;
    }
    return true;
}

bool looksLikeProjectFile(const std::string& name) {
    std::ifstream in(name, std::ios::binary);
    char c = 0;
    while (in.get(c))
        if (c != ' ' && c != '\t' && c != '\r' && c != '\n')
            return c == '{';
    return false;
}

std::string imagePathForProject(const std::string& projectFile, const std::string& imageFile) {
    namespace fs = std::filesystem;
    if (imageFile.empty())
        return std::string();
    std::error_code failed;
    const fs::path folder = fs::absolute(projectFile, failed).parent_path().lexically_normal();
    const fs::path image = fs::absolute(imageFile, failed).lexically_normal();
    if (failed)
        return imageFile;
    const fs::path relative = image.lexically_relative(folder);
    if (relative.empty() || *relative.begin() == "..")
        return image.generic_string();
    return relative.generic_string();
}

std::string imagePathFromProject(const std::string& projectFile, const std::string& stored) {
    namespace fs = std::filesystem;
    if (stored.empty() || fs::path(stored).is_absolute())
        return stored;
    return (fs::path(projectFile).parent_path() / stored).lexically_normal().string();
}
