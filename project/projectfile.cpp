#include "project/projectfile.h"

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <limits>
#include <locale>
#include <nlohmann/json.hpp>
#include <set>
#include <sstream>
#include <stdexcept>
#include <sys/stat.h>
#include <vector>

#include "fileio/atomicfile.h"
#include "natural/dividecourse.h"
#include "sketch/failurereasons.h"

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

// A view angle as written: the same float, unless it is no number at all, which no view can
// show (JSON would hold it as null, and the file could not be read again).
double writtenAngle(float degrees) {
    return std::isfinite(degrees) ? widened(degrees) : 0.0;
}

// ---- Reading. A refusal carries the reason up to parseProjectText.
//
// The text is read as a stream of parser events, never as a whole document: each value is
// checked the moment it arrives and only what the format defines is kept, points straight into
// their lists. Anything else is walked over without being built, and nothing may nest deeper
// than the format does. Time is then linear in the text, and memory the text plus the model.

struct Refusal : std::runtime_error {
    using std::runtime_error::runtime_error;
};

std::string quotedName(const std::string& name) {
    return "\"" + name + "\"";
}

std::string tooManyPoints(long maxPoints) {
    return "it holds more than " + std::to_string(maxPoints) + " points";
}

// Keys the format does not know are passed over (a later version may add some), but only so
// many in one object: each is kept to tell a key given twice.
const std::size_t maxUnknownKeys = 256;

// The deepest a project nests: the document, "columnProfiles", an entry, its profile, a point.
const std::size_t maxDepth = 5;

// One value the parser handed over that is not a list or an object (or, as "container", one
// that is: a value of the wrong kind for a setting).
struct Scalar {
    enum Kind { container, null, boolean, negative, whole, real, text };
    explicit Scalar(Kind k = container) : kind(k) {}

    Kind kind;
    std::int64_t negativeValue = 0;      // with negative (whole numbers below 0)
    std::uint64_t wholeValue = 0;        // with whole (whole numbers from 0 on)
    double number = 0.0;                 // with negative, whole and real
    const std::string* string = nullptr; // with text
    bool truth = false;                  // with boolean

    bool isNumber() const { return kind == negative || kind == whole || kind == real; }
    bool isWhole() const { return kind == negative || kind == whole; }
};

double finiteNumber(const Scalar& value, const std::string& what) {
    if (!value.isNumber())
        throw Refusal(what + " must be a number");
    // The parser refuses numbers beyond a double's range, so every number it gives is finite.
    return value.number;
}

float fraction(const Scalar& value, const std::string& name) {
    const double number = finiteNumber(value, quotedName(name));
    if (number < 0.0 || number > 1.0)
        throw Refusal(quotedName(name) + " must lie between 0 and 1");
    return static_cast<float>(number);
}

long wholeNumber(const Scalar& value, const std::string& what, long low, long high) {
    if (!value.isWhole())
        throw Refusal(what + " must be a whole number");
    const bool inRange = value.kind == Scalar::negative
                             ? value.negativeValue >= low
                             : value.wholeValue <= static_cast<std::uint64_t>(high) &&
                                   static_cast<long>(value.wholeValue) >= low;
    if (!inRange)
        throw Refusal(what + " must lie between " + std::to_string(low) + " and " +
                      std::to_string(high));
    return value.kind == Scalar::negative ? static_cast<long>(value.negativeValue)
                                          : static_cast<long>(value.wholeValue);
}

// The keys the format knows, in the order they are checked for.
enum Key {
    formatKey,
    versionKey,
    stageKey,
    silhouetteKey,
    curveKey,
    detailLevelsKey,
    globalProfileKey,
    columnProfilesKey,
    profileRandomnessKey,
    detailRandomnessKey,
    bottomDropOffKey,
    selectedColumnKey,
    viewKey,
    backgroundImageKey,
    naturalKey,      // optional
    layersKey,       // optional
    currentLayerKey, // optional
    cameraKey,       // optional
    rotXKey,         // in "view"
    rotYKey,         //
    columnKey,       // in a "columnProfiles" entry
    profileKey,
    onKey, // in "natural"
    slopeKey,
    frontProfileKey,
    detailKey,
    erosionKey,
    erosionStepsKey,
    seedKey,
    nameKey, // in a "layers" entry
    colourKey,
    distanceKey,
    visibleKey,
    lockedKey,
    skylineKey,      // optional
    divideCourseKey, // optional
    kindKey,         // in "camera"
    fieldOfViewKey,
    eyeHeightKey,
    horizonKey,
    frameWidthKey,
    frameHeightKey,
    keyCount,
    unknownKey = keyCount,
};

const char* const keyNames[keyCount] = {"format",
                                        "version",
                                        "stage",
                                        "silhouette",
                                        "curve",
                                        "detailLevels",
                                        "globalProfile",
                                        "columnProfiles",
                                        "profileRandomness",
                                        "detailRandomness",
                                        "bottomDropOff",
                                        "selectedColumn",
                                        "view",
                                        "backgroundImage",
                                        "natural",
                                        "layers",
                                        "currentLayer",
                                        "camera",
                                        "rotX",
                                        "rotY",
                                        "column",
                                        "profile",
                                        "on",
                                        "slope",
                                        "frontProfile",
                                        "detail",
                                        "erosion",
                                        "erosionSteps",
                                        "seed",
                                        "name",
                                        "colour",
                                        "distance",
                                        "visible",
                                        "locked",
                                        "skyline",
                                        "divideCourse",
                                        "kind",
                                        "fieldOfView",
                                        "eyeHeight",
                                        "horizon",
                                        "frameWidth",
                                        "frameHeight"};

// A value of an object's key, a number from low to high ("natural"'s and "camera"'s settings).
double numberIn(const char* object, const Scalar& value, Key key, double low, double high) {
    const std::string what = std::string("\"") + object + "\"'s " + quotedName(keyNames[key]);
    const double number = finiteNumber(value, what);
    if (number < low || number > high) {
        std::ostringstream range;
        range.imbue(std::locale::classic());
        range << what << " must lie between " << low << " and " << high;
        throw Refusal(range.str());
    }
    return number;
}

double naturalNumber(const Scalar& value, Key key, double low, double high) {
    return numberIn("natural", value, key, low, high);
}

// The keys each object of the format holds.
const Key documentKeys[] = {formatKey,
                            versionKey,
                            stageKey,
                            silhouetteKey,
                            curveKey,
                            detailLevelsKey,
                            globalProfileKey,
                            columnProfilesKey,
                            profileRandomnessKey,
                            detailRandomnessKey,
                            bottomDropOffKey,
                            selectedColumnKey,
                            viewKey,
                            backgroundImageKey,
                            naturalKey,
                            layersKey,
                            currentLayerKey,
                            cameraKey};
const Key viewKeys[] = {rotXKey, rotYKey};
const Key entryKeys[] = {columnKey, profileKey};
const Key naturalKeys[] = {onKey,      slopeKey,        frontProfileKey, detailKey,
                           erosionKey, erosionStepsKey, seedKey};
const Key layerKeys[] = {nameKey,   colourKey,  distanceKey,    visibleKey,
                         lockedKey, skylineKey, divideCourseKey};
const Key cameraKeys[] = {kindKey,    fieldOfViewKey, eyeHeightKey,
                          horizonKey, frameWidthKey,  frameHeightKey};

// The camera's kinds as stored.
const char* const straightOnName = "straightOn";
const char* const perspectiveName = "perspective";

double cameraNumber(const Scalar& value, Key key, double low, double high) {
    return numberIn("camera", value, key, low, high);
}

template <std::size_t n> Key keyOf(const std::string& name, const Key (&keys)[n]) {
    for (Key key : keys)
        if (name == keyNames[key])
            return key;
    return unknownKey;
}

// A view angle as the window keeps it, in single precision. A turn is a turn: an angle beyond
// what a float holds is brought into one turn first, which shows the same view.
float viewAngle(double degrees) {
    if (std::fabs(degrees) > static_cast<double>(std::numeric_limits<float>::max()))
        degrees = std::fmod(degrees, 360.0);
    return static_cast<float>(degrees);
}

struct ColumnEntry {
    long column = -1;
    PointList profile;
};

struct LayerEntry {
    LayerProperties properties;
    PointList skyline;
    bool hasSkyline = false;
};

// Everything read, before the checks that need the whole document.
struct ReadProject {
    int stage = 0;
    PointList silhouette, curve, globalProfile;
    std::vector<PointList> detailLevels;
    std::vector<ColumnEntry> entries;
    float profileRandomness = 0.0f, detailRandomness = 0.0f, bottomDropOff = 0.0f;
    long selectedColumn = -1;
    float rotX = 0.0f, rotY = 0.0f;
    std::string backgroundImage;
    bool naturalTerrain = false;
    NaturalSettings natural;
    bool hasLayers = false;
    std::vector<LayerEntry> layers;
    long currentLayer = 0;
    SketchCamera camera;
};

class ProjectReader {
public:
    explicit ProjectReader(long maxPoints) : maxPoints_(maxPoints) {}

    ReadProject&& take() { return std::move(read_); }

    // The parser's events.
    bool null() { return scalar(Scalar{Scalar::null}); }
    bool boolean(bool value) {
        Scalar s{Scalar::boolean};
        s.truth = value;
        return scalar(s);
    }
    bool number_integer(std::int64_t value) {
        Scalar s{Scalar::negative};
        s.negativeValue = value;
        s.number = static_cast<double>(value);
        return scalar(s);
    }
    bool number_unsigned(std::uint64_t value) {
        Scalar s{Scalar::whole};
        s.wholeValue = value;
        s.number = static_cast<double>(value);
        return scalar(s);
    }
    bool number_float(double value, const std::string&) {
        Scalar s{Scalar::real};
        s.number = value;
        return scalar(s);
    }
    bool string(std::string& value) {
        Scalar s{Scalar::text};
        s.string = &value;
        return scalar(s);
    }
    bool binary(std::vector<std::uint8_t>&) { return scalar(Scalar{Scalar::null}); }
    bool start_object(std::size_t);
    bool key(std::string& name);
    bool end_object();
    bool start_array(std::size_t);
    bool end_array();
    bool parse_error(std::size_t, const std::string&, const nlohmann::detail::exception& error) {
        throw Refusal("it is not a JSON document (" + parserMessage(error) + ")");
    }

private:
    // What an open list or object is, and so what its next value must be.
    enum class Kind {
        document,
        view,
        entry,
        natural,
        layer,
        camera,
        points,
        levels,
        entries,
        layers,
        point,
        skipped
    };
    struct Frame {
        explicit Frame(Kind k) : kind(k) {}

        Kind kind;
        Key key = unknownKey;        // in an object: the key of the value to come
        PointList* points = nullptr; // with points
        std::string what;            // with points and point: how the list is named in reasons
        std::size_t count = 0;       // values so far
        double xy[2] = {0.0, 0.0};   // with point
        bool notANumber = false;     // with point: a coordinate that is not a number
        std::uint64_t keys = 0;      // in an object: the known keys given so far
    };

    // nlohmann's message without its "[json.exception.parse_error.101] " prefix.
    static std::string parserMessage(const std::exception& error) {
        const std::string what = error.what();
        const std::size_t close = what.find("] ");
        return close == std::string::npos ? what : what.substr(close + 2);
    }

    void push(Frame frame) {
        if (stack_.size() == maxDepth)
            throw Refusal("it nests deeper than a project does (more than " +
                          std::to_string(maxDepth) + " levels)");
        if (frame.kind == Kind::skipped)
            countSkipped();
        unknownKeys_[stack_.size()].clear();
        stack_.push_back(std::move(frame));
    }
    void countPoint() {
        if (++points_ > maxPoints_)
            throw Refusal(tooManyPoints(maxPoints_));
    }
    // Values passed over cost time, and the parser keeps a run of brackets and braces between
    // two other values in memory (for its messages): they are limited like the points.
    void countSkipped() {
        if (++skipped_ > maxPoints_)
            throw Refusal("it holds more than " + std::to_string(maxPoints_) +
                          " values that Mondrel does not know");
    }
    // Lists of points cost memory of their own, even empty.
    void countList() {
        if (++lists_ > maxPoints_)
            throw Refusal("it holds more than " + std::to_string(maxPoints_) + " point lists");
    }
    PointList* pointListOf(Key key) {
        switch (key) {
        case silhouetteKey:
            return &read_.silhouette;
        case curveKey:
            return &read_.curve;
        case globalProfileKey:
            return &read_.globalProfile;
        default:
            return nullptr;
        }
    }
    void startPoints(PointList& list, std::string what) {
        countList();
        Frame frame = Frame(Kind::points);
        frame.points = &list;
        frame.what = std::move(what);
        push(std::move(frame));
    }
    std::string entryName(std::size_t index) const {
        return "\"columnProfiles\" entry " + std::to_string(index);
    }
    static std::string layerName(std::size_t index) {
        return "\"layers\" entry " + std::to_string(index);
    }
    // The layer entry being read, named for reasons.
    std::string currentLayerName() const { return layerName(stack_[stack_.size() - 2].count); }

    bool scalar(const Scalar& value);
    void setting(Key key, const Scalar& value);
    bool container(bool isObject);
    void finishPoint(const Frame& point);
    static void requireKeys(const Frame& object, Key first, Key last);

    long maxPoints_;
    long points_ = 0;
    long lists_ = 0;
    long skipped_ = 0;
    std::vector<Frame> stack_;
    // The keys the format does not know, of each object open (kept only to tell a key given
    // twice; sorted, so that no choice of names makes the look-up slow).
    std::set<std::string> unknownKeys_[maxDepth];
    ReadProject read_;
};

// A value for a setting of the document, of "view" or of an entry.
void ProjectReader::setting(Key key, const Scalar& value) {
    switch (key) {
    case formatKey:
        if (value.kind != Scalar::text || *value.string != projectFormatName)
            throw Refusal(std::string("it is not a Mondrel project (\"format\" is not \"") +
                          projectFormatName + "\")");
        break;
    case versionKey:
        if (value.kind != Scalar::whole || value.wholeValue < 1)
            throw Refusal("\"version\" must be a whole number from 1 on");
        if (value.wholeValue > static_cast<std::uint64_t>(projectFormatVersion))
            throw Refusal("it was written by a newer Mondrel (format version " +
                          std::to_string(value.wholeValue) + "; this Mondrel reads version " +
                          std::to_string(projectFormatVersion) + ")");
        break;
    case stageKey:
        read_.stage = static_cast<int>(wholeNumber(value, "\"stage\"", 0, 3));
        break;
    case silhouetteKey:
    case curveKey:
    case globalProfileKey:
        throw Refusal(quotedName(keyNames[key]) + " must be a list of [x, y] points");
    case detailLevelsKey:
        throw Refusal("\"detailLevels\" must be a list of point lists");
    case columnProfilesKey:
        throw Refusal("\"columnProfiles\" must be a list of {\"column\", \"profile\"} entries");
    case profileRandomnessKey:
        read_.profileRandomness = fraction(value, keyNames[key]);
        break;
    case detailRandomnessKey:
        read_.detailRandomness = fraction(value, keyNames[key]);
        break;
    case bottomDropOffKey:
        read_.bottomDropOff = fraction(value, keyNames[key]);
        break;
    case selectedColumnKey:
        read_.selectedColumn = wholeNumber(value, "\"selectedColumn\"", -1, 0x7fffffffL);
        break;
    case viewKey:
        throw Refusal("\"view\" must be an object with \"rotX\" and \"rotY\"");
    case backgroundImageKey:
        if (value.kind != Scalar::text)
            throw Refusal("\"backgroundImage\" must be a string");
        // The path would be cut at the NUL, and another file opened in its place.
        if (value.string->find('\0') != std::string::npos)
            throw Refusal("\"backgroundImage\" holds a NUL character");
        read_.backgroundImage = *value.string;
        break;
    case rotXKey:
        read_.rotX = viewAngle(finiteNumber(value, "\"rotX\""));
        break;
    case rotYKey:
        read_.rotY = viewAngle(finiteNumber(value, "\"rotY\""));
        break;
    case columnKey: {
        const std::string entry = entryName(stack_[stack_.size() - 2].count);
        read_.entries.back().column = wholeNumber(value, entry + "'s column", 0, 0x7fffffffL);
        break;
    }
    case profileKey:
        throw Refusal(entryName(stack_[stack_.size() - 2].count) +
                      "'s profile must be a list of [x, y] points");
    case naturalKey:
        throw Refusal("\"natural\" must be an object with \"on\" and the natural terrain's "
                      "settings");
    case onKey:
        if (value.kind != Scalar::boolean)
            throw Refusal("\"natural\"'s \"on\" must be true or false");
        read_.naturalTerrain = value.truth;
        break;
    case slopeKey:
        read_.natural.slope = naturalNumber(value, key, 0.05, 5.0);
        break;
    case frontProfileKey:
        read_.natural.frontProfile = naturalNumber(value, key, 0.5, 4.0);
        break;
    case detailKey:
        read_.natural.detail = naturalNumber(value, key, 0.0, 1.0);
        break;
    case erosionKey:
        read_.natural.erosion = naturalNumber(value, key, 0.0, 1.0);
        break;
    case erosionStepsKey:
        read_.natural.erosionSteps =
            static_cast<int>(wholeNumber(value, "\"natural\"'s \"erosionSteps\"", 1, 500));
        break;
    case seedKey:
        read_.natural.seed = static_cast<std::uint32_t>(
            wholeNumber(value, "\"natural\"'s \"seed\"", 0, 0xffffffffL));
        break;
    case layersKey:
        throw Refusal("\"layers\" must be a list of layer objects");
    case currentLayerKey:
        read_.currentLayer = wholeNumber(value, "\"currentLayer\"", 0, 0x7fffffffL);
        break;
    case nameKey:
        if (value.kind != Scalar::text || value.string->empty() ||
            value.string->size() > longestLayerName)
            throw Refusal(currentLayerName() + "'s name must be a string of 1 to " +
                          std::to_string(longestLayerName) + " bytes");
        read_.layers.back().properties.name = *value.string;
        break;
    case colourKey:
        if (value.kind != Scalar::text ||
            !parseColourText(*value.string, read_.layers.back().properties.colour))
            throw Refusal(currentLayerName() + "'s colour must be a string \"#rrggbb\"");
        break;
    case distanceKey: {
        const std::string what = currentLayerName() + "'s distance";
        const double distance = finiteNumber(value, what);
        std::string reason;
        if (!checkLayerDistance(distance, reason))
            throw Refusal(what + " must lie above 0 and up to 1e9");
        read_.layers.back().properties.distance = distance;
        break;
    }
    case visibleKey:
    case lockedKey:
        if (value.kind != Scalar::boolean)
            throw Refusal(currentLayerName() + "'s " + quotedName(keyNames[key]) +
                          " must be true or false");
        (key == visibleKey ? read_.layers.back().properties.visible
                           : read_.layers.back().properties.locked) = value.truth;
        break;
    case skylineKey:
        throw Refusal(currentLayerName() + "'s skyline must be a list of [x, y] points");
    case divideCourseKey:
        throw Refusal(currentLayerName() + "'s divide course must be a list of [x, y] points");
    case cameraKey:
        throw Refusal("\"camera\" must be an object with \"kind\", \"fieldOfView\", "
                      "\"eyeHeight\", \"horizon\", \"frameWidth\" and \"frameHeight\"");
    case kindKey:
        if (value.kind != Scalar::text ||
            (*value.string != straightOnName && *value.string != perspectiveName))
            throw Refusal(std::string("\"camera\"'s \"kind\" must be \"") + straightOnName +
                          "\" or \"" + perspectiveName + "\"");
        read_.camera.kind = *value.string == perspectiveName ? SketchCamera::Kind::perspective
                                                             : SketchCamera::Kind::straightOn;
        break;
    case fieldOfViewKey:
        read_.camera.fieldOfView =
            cameraNumber(value, key, smallestFieldOfView, largestFieldOfView);
        break;
    case eyeHeightKey:
    case horizonKey:
        (key == eyeHeightKey ? read_.camera.eyeHeight : read_.camera.horizon) =
            cameraNumber(value, key, -largestCameraValue, largestCameraValue);
        break;
    case frameWidthKey:
    case frameHeightKey:
        (key == frameWidthKey ? read_.camera.frameWidth : read_.camera.frameHeight) =
            cameraNumber(value, key, 1.0, largestCameraValue);
        break;
    case keyCount:
        break;
    }
}

bool ProjectReader::scalar(const Scalar& value) {
    if (stack_.empty())
        throw Refusal("it is not a Mondrel project (the document is not a JSON object)");
    Frame& frame = stack_.back();
    switch (frame.kind) {
    case Kind::document:
    case Kind::view:
    case Kind::entry:
    case Kind::natural:
    case Kind::layer:
    case Kind::camera:
        if (frame.key != unknownKey)
            setting(frame.key, value);
        else
            countSkipped();
        break;
    case Kind::points:
        throw Refusal(frame.what + " point " + std::to_string(frame.count) +
                      " must be an [x, y] pair");
    case Kind::levels:
        throw Refusal("\"detailLevels\" level " + std::to_string(frame.count) +
                      " must be a list of [x, y] points");
    case Kind::entries:
        throw Refusal(entryName(frame.count) + " must be a {\"column\", \"profile\"} object");
    case Kind::layers:
        throw Refusal(layerName(frame.count) + " must be a layer object");
    case Kind::point:
        if (frame.count < 2) {
            if (value.isNumber())
                frame.xy[frame.count] = value.number;
            else
                frame.notANumber = true;
        } else {
            countSkipped();
        }
        break;
    case Kind::skipped:
        countSkipped();
        break;
    }
    ++frame.count;
    return true;
}

bool ProjectReader::container(bool isObject) {
    if (stack_.empty()) {
        if (!isObject)
            throw Refusal("it is not a Mondrel project (the document is not a JSON object)");
        push(Frame(Kind::document));
        return true;
    }
    Frame& frame = stack_.back();
    const Key key = frame.key;
    switch (frame.kind) {
    case Kind::document:
    case Kind::view:
    case Kind::entry:
    case Kind::natural:
    case Kind::layer:
    case Kind::camera:
        if (key == unknownKey) {
            push(Frame(Kind::skipped));
        } else if (isObject && key == cameraKey) {
            push(Frame(Kind::camera));
        } else if (isObject && key == viewKey) {
            push(Frame(Kind::view));
        } else if (isObject && key == naturalKey) {
            push(Frame(Kind::natural));
        } else if (!isObject && pointListOf(key)) {
            startPoints(*pointListOf(key), quotedName(keyNames[key]));
        } else if (!isObject && key == detailLevelsKey) {
            push(Frame(Kind::levels));
        } else if (!isObject && key == columnProfilesKey) {
            push(Frame(Kind::entries));
        } else if (!isObject && key == layersKey) {
            read_.hasLayers = true;
            push(Frame(Kind::layers));
        } else if (!isObject && key == skylineKey) {
            read_.layers.back().hasSkyline = true;
            startPoints(read_.layers.back().skyline, currentLayerName() + "'s skyline");
        } else if (!isObject && key == divideCourseKey) {
            startPoints(read_.layers.back().properties.divideCourse,
                        currentLayerName() + "'s divide course");
        } else if (!isObject && key == profileKey) {
            const std::size_t index = stack_[stack_.size() - 2].count;
            startPoints(read_.entries.back().profile, entryName(index) + "'s profile");
        } else {
            setting(key, Scalar{}); // a list or an object where a setting belongs
        }
        return true;
    case Kind::points:
        if (isObject)
            throw Refusal(frame.what + " point " + std::to_string(frame.count) +
                          " must be an [x, y] pair");
        countPoint();
        {
            Frame point = Frame(Kind::point);
            point.what = frame.what + " point " + std::to_string(frame.count);
            push(std::move(point));
        }
        return true;
    case Kind::levels:
        if (isObject)
            throw Refusal("\"detailLevels\" level " + std::to_string(frame.count) +
                          " must be a list of [x, y] points");
        read_.detailLevels.emplace_back();
        startPoints(read_.detailLevels.back(),
                    "\"detailLevels\" level " + std::to_string(frame.count));
        return true;
    case Kind::entries:
        if (!isObject)
            throw Refusal(entryName(frame.count) + " must be a {\"column\", \"profile\"} object");
        countList();
        read_.entries.emplace_back();
        push(Frame(Kind::entry));
        return true;
    case Kind::layers:
        if (!isObject)
            throw Refusal(layerName(frame.count) + " must be a layer object");
        countList();
        read_.layers.emplace_back();
        push(Frame(Kind::layer));
        return true;
    case Kind::point:
        frame.notANumber = true; // a list or an object in place of a coordinate
        push(Frame(Kind::skipped));
        return true;
    case Kind::skipped:
        push(Frame(Kind::skipped));
        return true;
    }
    return true;
}

bool ProjectReader::start_object(std::size_t) {
    return container(true);
}

bool ProjectReader::start_array(std::size_t) {
    return container(false);
}

bool ProjectReader::key(std::string& name) {
    Frame& frame = stack_.back();
    if (frame.kind == Kind::skipped)
        return true;
    frame.key = frame.kind == Kind::document  ? keyOf(name, documentKeys)
                : frame.kind == Kind::view    ? keyOf(name, viewKeys)
                : frame.kind == Kind::natural ? keyOf(name, naturalKeys)
                : frame.kind == Kind::layer   ? keyOf(name, layerKeys)
                : frame.kind == Kind::camera  ? keyOf(name, cameraKeys)
                                              : keyOf(name, entryKeys);
    // A key given twice would leave it to chance which value counts.
    bool twice = false;
    if (frame.key != unknownKey) {
        const std::uint64_t bit = std::uint64_t{1} << frame.key;
        twice = (frame.keys & bit) != 0;
        frame.keys |= bit;
    } else {
        std::set<std::string>& unknown = unknownKeys_[stack_.size() - 1];
        twice = !unknown.insert(name).second;
        if (unknown.size() > maxUnknownKeys)
            throw Refusal("it holds more than " + std::to_string(maxUnknownKeys) +
                          " keys in one object that Mondrel does not know");
    }
    if (twice)
        throw Refusal(quotedName(name) + " is given twice");
    return true;
}

void ProjectReader::finishPoint(const Frame& point) {
    if (point.count != 2)
        throw Refusal(point.what + " must be an [x, y] pair");
    if (point.notANumber)
        throw Refusal(point.what + " must be a number");
    stack_.back().points->emplace_back(point.xy[0], point.xy[1]);
}

void ProjectReader::requireKeys(const Frame& object, Key first, Key last) {
    for (int key = first; key <= last; ++key)
        if ((object.keys & (std::uint64_t{1} << key)) == 0)
            throw Refusal(quotedName(keyNames[key]) + " is missing");
}

bool ProjectReader::end_object() {
    const Frame frame = std::move(stack_.back());
    stack_.pop_back();
    if (frame.kind == Kind::document)
        requireKeys(frame, formatKey, backgroundImageKey);
    else if (frame.kind == Kind::view)
        requireKeys(frame, rotXKey, rotYKey);
    else if (frame.kind == Kind::entry)
        requireKeys(frame, columnKey, profileKey);
    else if (frame.kind == Kind::natural)
        requireKeys(frame, onKey, seedKey);
    else if (frame.kind == Kind::layer)
        requireKeys(frame, nameKey, lockedKey);
    else if (frame.kind == Kind::camera)
        requireKeys(frame, kindKey, frameHeightKey);
    if (!stack_.empty())
        ++stack_.back().count;
    return true;
}

bool ProjectReader::end_array() {
    Frame frame = std::move(stack_.back());
    stack_.pop_back();
    if (frame.kind == Kind::point)
        finishPoint(frame);
    ++stack_.back().count;
    return true;
}

// The layers, front first: the front layer's skyline is "silhouette", every other one's its
// own. Without "layers", the one first layer.
std::vector<SketchState::Layer> layersOf(ReadProject& read) {
    std::vector<SketchState::Layer> layers;
    if (!read.hasLayers) {
        layers.push_back({firstLayerProperties(), std::make_shared<const PointList>()});
        return layers;
    }
    if (read.layers.empty())
        throw Refusal("\"layers\" must hold at least one layer");
    for (std::size_t i = 0; i < read.layers.size(); ++i) {
        LayerEntry& entry = read.layers[i];
        const std::string name = "\"layers\" entry " + std::to_string(i);
        if (i == 0 && entry.hasSkyline)
            throw Refusal(name + " is the front layer, whose skyline is \"silhouette\": it "
                                 "has no \"skyline\" of its own");
        if (i > 0 && !entry.hasSkyline)
            throw Refusal(name + "'s \"skyline\" is missing");
        std::string reason;
        if (!checkDivideCourse(entry.properties.divideCourse, reason))
            throw Refusal(name + "'s divide course is refused: " + reason);
        if (i > 0 && entry.properties.distance < read.layers[i - 1].properties.distance)
            throw Refusal(name + " lies nearer than the entry before it: layers go from the "
                                 "front to the back");
        layers.push_back({std::move(entry.properties),
                          std::make_shared<const PointList>(std::move(entry.skyline))});
    }
    return layers;
}

// The checks that need the whole document, and the project it describes.
Project projectOf(ReadProject&& read) {
    Project project;
    SketchState& sketch = project.sketch;
    sketch.stage = read.stage;
    if (sketch.stage == 0) {
        if (!read.detailLevels.empty())
            throw Refusal("\"detailLevels\" must be empty in stage 0");
        if (read.silhouette != read.curve)
            throw Refusal("\"silhouette\" and \"curve\" must be the same in stage 0");
    }
    // A grid has a column per point of the curve, from stage 1 on.
    const long columns = sketch.stage == 0 ? 0 : static_cast<long>(read.curve.size());
    std::vector<unsigned> profileColumns;
    std::vector<PointList> columnProfiles;
    for (std::size_t i = 0; i < read.entries.size(); ++i) {
        const std::string entry = "\"columnProfiles\" entry " + std::to_string(i);
        const long column = read.entries[i].column;
        if (column >= columns)
            throw Refusal(entry + " has column " + std::to_string(column) +
                          (columns == 0 ? std::string(", but there is no grid yet")
                                        : ", outside the grid's columns 0 to " +
                                              std::to_string(columns - 1)));
        if (!profileColumns.empty() && static_cast<unsigned>(column) <= profileColumns.back())
            throw Refusal(entry + " must lie right of the entry before it");
        profileColumns.push_back(static_cast<unsigned>(column));
        columnProfiles.push_back(std::move(read.entries[i].profile));
    }
    if (read.selectedColumn >= columns)
        throw Refusal("\"selectedColumn\" " + std::to_string(read.selectedColumn) +
                      " lies outside the grid");
    sketch.selectedColumn = static_cast<int>(read.selectedColumn);
    sketch.profileRandomness = read.profileRandomness;
    sketch.detailRandomness = read.detailRandomness;
    sketch.bottomDropOff = read.bottomDropOff;
    project.rotX = read.rotX;
    project.rotY = read.rotY;
    project.backgroundImage = std::move(read.backgroundImage);
    std::string naturalError;
    if (!checkNaturalSettings(read.natural, naturalError))
        throw Refusal("\"natural\": " + naturalError);
    sketch.naturalTerrain = read.naturalTerrain;
    sketch.natural = read.natural;
    sketch.layers = layersOf(read);
    if (read.currentLayer >= static_cast<long>(sketch.layers.size()))
        throw Refusal("\"currentLayer\" " + std::to_string(read.currentLayer) +
                      " is not one of the layers 0 to " + std::to_string(sketch.layers.size() - 1));
    sketch.currentLayer = static_cast<int>(read.currentLayer);
    sketch.camera = read.camera;

    sketch.curve = std::make_shared<const PointList>(std::move(read.curve));
    sketch.silhouette = sketch.stage == 0
                            ? sketch.curve
                            : std::make_shared<const PointList>(std::move(read.silhouette));
    sketch.detailLevels =
        std::make_shared<const std::vector<PointList>>(std::move(read.detailLevels));
    sketch.globalProfile = std::make_shared<const PointList>(std::move(read.globalProfile));
    sketch.profileColumns =
        std::make_shared<const std::vector<unsigned>>(std::move(profileColumns));
    sketch.columnProfiles =
        std::make_shared<const std::vector<PointList>>(std::move(columnProfiles));
    return project;
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
    document["view"] =
        Json{{"rotX", writtenAngle(project.rotX)}, {"rotY", writtenAngle(project.rotY)}};
    document["backgroundImage"] = project.backgroundImage;
    // Left out while the natural terrain is off with its first settings, so such a project
    // reads the same in a Mondrel that has no natural terrain.
    if (sketch.naturalTerrain || sketch.natural != NaturalSettings()) {
        const NaturalSettings& natural = sketch.natural;
        document["natural"] = Json{{"on", sketch.naturalTerrain},
                                   {"slope", natural.slope},
                                   {"frontProfile", natural.frontProfile},
                                   {"detail", natural.detail},
                                   {"erosion", natural.erosion},
                                   {"erosionSteps", natural.erosionSteps},
                                   {"seed", natural.seed}};
    }
    // Left out for the one first layer, so that such a project reads the same in a Mondrel
    // that has no layers.
    const bool layered = sketch.layers.size() != 1 || sketch.currentLayer != 0 ||
                         sketch.layers.front().properties != firstLayerProperties();
    if (layered) {
        Json layers = Json::array();
        for (std::size_t i = 0; i < sketch.layers.size(); ++i) {
            const LayerProperties& p = sketch.layers[i].properties;
            Json layer = Json{{"name", p.name},
                              {"colour", colourText(p.colour)},
                              {"distance", p.distance},
                              {"visible", p.visible},
                              {"locked", p.locked}};
            if (i > 0)
                layer["skyline"] = pointsJson(*sketch.layers[i].skyline);
            // Only where the divide was drawn, so that other layers read as before.
            if (!p.divideCourse.empty())
                layer["divideCourse"] = pointsJson(p.divideCourse);
            layers.push_back(std::move(layer));
        }
        document["layers"] = std::move(layers);
        document["currentLayer"] = sketch.currentLayer;
    }
    // Left out for the straight-on camera of a new sketch, so that such a project reads the
    // same in a Mondrel that has no camera.
    if (sketch.camera != SketchCamera()) {
        const SketchCamera& camera = sketch.camera;
        document["camera"] = Json{{"kind", camera.perspective() ? perspectiveName : straightOnName},
                                  {"fieldOfView", camera.fieldOfView},
                                  {"eyeHeight", camera.eyeHeight},
                                  {"horizon", camera.horizon},
                                  {"frameWidth", camera.frameWidth},
                                  {"frameHeight", camera.frameHeight}};
    }
    // A path that is not UTF-8 cannot be written as JSON; it is refused by dump's exception,
    // which writeProjectFile turns into a message.
    return document.dump() + "\n";
}

bool parseProjectText(const std::string& text, Project& project, std::string& reason,
                      long maxPoints) {
    try {
        ProjectReader reader(maxPoints);
        nlohmann::json::sax_parse(text.begin(), text.end(), &reader);
        project = projectOf(reader.take());
        return true;
    } catch (const Refusal& refusal) {
        reason = refusal.what();
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
        message = failureText("save the project", name, systemReason(out.systemError()));
        return false;
    }
    errno = 0;
    const bool written = std::fwrite(text.data(), 1, text.size(), out.stream()) == text.size();
    const int writeError = errno;
    if (!out.commit() || !written) {
        // The first step that failed says why: a short write, or the flush, sync or rename.
        const int error = !written && writeError != 0 ? writeError : out.systemError();
        message = failureText("save the project", name, systemReason(error));
        return false;
    }
    return true;
}

bool readProjectFile(const std::string& name, Project& project, std::string& message) {
    const std::string cannotOpen = "Cannot open the project " + name + ": ";
    struct stat info {};
    if (::stat(name.c_str(), &info) != 0) {
        message = cannotOpen + "it " + unreadableReason(errno) + ".";
        return false;
    }
    // A device or a pipe could feed the reader without end, or block it for ever.
    if (!S_ISREG(info.st_mode)) {
        message = cannotOpen + (S_ISDIR(info.st_mode) ? "it is a folder." : "it is not a file.");
        return false;
    }
    // The limits are counted while parsing; a file far larger than any project holding the
    // most points is refused before it is read into memory at all.
    if (static_cast<std::uintmax_t>(info.st_size) > maxProjectFileBytes) {
        message = cannotOpen + "it is larger than " + std::to_string(maxProjectFileBytes >> 20) +
                  " MiB, more than any project holds.";
        return false;
    }
    std::FILE* file = std::fopen(name.c_str(), "rb");
    if (!file) {
        message = cannotOpen + "it " + unreadableReason(errno) + ".";
        return false;
    }
    std::string text;
    text.reserve(static_cast<std::size_t>(info.st_size));
    char buffer[65536];
    std::size_t got = 0;
    while (text.size() <= maxProjectFileBytes &&
           (got = std::fread(buffer, 1, sizeof buffer, file)) > 0)
        text.append(buffer, got);
    const int readError = std::ferror(file) != 0 ? (errno != 0 ? errno : EIO) : 0;
    std::fclose(file);
    if (readError != 0) {
        message = cannotOpen + "it " + unreadableReason(readError) + ".";
        return false;
    }
    if (text.size() > maxProjectFileBytes) { // it grew while it was read
        message = cannotOpen + "it is larger than " + std::to_string(maxProjectFileBytes >> 20) +
                  " MiB, more than any project holds.";
        return false;
    }
    std::string reason;
    if (!parseProjectText(text, project, reason)) {
        message = cannotOpen + reason + ".";
        return false;
    }
    return true;
}

FileKind fileKindOf(const std::string& name) {
    // Opening a pipe for reading waits for a writer; only a file is looked into.
    struct stat info {};
    if (::stat(name.c_str(), &info) != 0 || !S_ISREG(info.st_mode))
        return FileKind::unknown;
    std::ifstream in(name, std::ios::binary);
    // A byte order mark is passed over, as the parser does.
    char mark[3] = {};
    if (!in.read(mark, 3) || mark[0] != '\xEF' || mark[1] != '\xBB' || mark[2] != '\xBF') {
        in.clear();
        in.seekg(0);
    }
    char c = 0;
    while (in.get(c)) {
        if (c == ' ' || c == '\t' || c == '\r' || c == '\n')
            continue;
        if (c == '{')
            return FileKind::project;
        const bool number = (c >= '0' && c <= '9') || c == '+' || c == '-' || c == '.';
        return number ? FileKind::curve : FileKind::unknown;
    }
    return FileKind::unknown;
}

bool looksLikeProjectFile(const std::string& name) {
    return fileKindOf(name) == FileKind::project;
}

std::string otherKindNotice(const std::string& file, FileKind expected) {
    const FileKind kind = fileKindOf(file);
    if (expected == FileKind::curve && kind == FileKind::project)
        return file +
               " is a Mondrel project, not a curve file: open it with File > Open Project...";
    if (expected == FileKind::project && kind == FileKind::curve)
        return file + " is a curve file, not a Mondrel project: open it with File > Open Curve.";
    return std::string();
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
