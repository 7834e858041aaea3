#include "sketch/sketchmodel.h"

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cmath>
#include <cstdarg>
#include <limits>

#include "curve/profilepipeline.h"
#include "curve/stroke.h"
#include "curve/strokecolumns.h"
#include "curve/strokejoin.h"
#include "curve/subdivision.h"
#include "fileio/curvefile.h"
#include "fileio/gridexport.h"
#include "natural/dividecourse.h"
#include "printing/printedlines.h"
#include "sketch/failurereasons.h"
#include "terrain/terrainconstruction.h"

namespace {

// How many decomposition levels the first next() splits off.
const int decompositionLevels = 4;
// A terrain needs at least this many columns (and the view draws nothing smaller).
const int minimumColumns = 5;

// The fewest curve points that every decomposition level really splits: the last level needs
// 8 points, and each level before it 2 (n - 1) for n after it (8, 14, 26, 50). A shorter
// curve leaves levels that coarsening cannot split, whose "details" would be points.
constexpr int minimumPointsForLevels(int levels) {
    int points = 8;
    for (int level = 1; level < levels; ++level)
        points = 2 * (points - 1);
    return points;
}
const int minimumCurvePoints = minimumPointsForLevels(decompositionLevels);

// The length coarsenCurve leaves: the odd last point dropped, then halved plus one from 8 on.
std::size_t coarsenedLength(std::size_t n) {
    const std::size_t even = n - n % 2;
    return even >= 8 ? even / 2 + 1 : even;
}

// The x of a column's point for merging, with the column key saturated so that a curve
// loaded from a file with absurd coordinates cannot overflow the conversion.
int saturatedInt(double value) {
    if (!(value > static_cast<double>(std::numeric_limits<int>::min())))
        return std::numeric_limits<int>::min();
    if (value >= static_cast<double>(std::numeric_limits<int>::max()))
        return std::numeric_limits<int>::max();
    return static_cast<int>(value);
}

// The row spacing of a silhouette's first build: the first gap of its front row, which is
// the silhouette coarsened as the first next() coarsens it.
double frontRowSpacing(const std::vector<gmVector2>& front) {
    return front.size() >= 2 ? front[1][0] - front[0][0] : 0.0;
}

double firstBuildRowSpacing(std::vector<gmVector2> front) {
    for (int level = 0; level < decompositionLevels; ++level)
        coarsenCurve(front);
    return frontRowSpacing(front);
}

// "the file does not begin with a point count" as a sentence of its own.
std::string asSentence(std::string phrase) {
    if (phrase.empty())
        return phrase;
    phrase[0] = static_cast<char>(std::toupper(static_cast<unsigned char>(phrase[0])));
    return phrase + ".";
}

} // namespace

SketchModel::SketchModel() = default;

void SketchModel::say(const char* format, ...) const {
    if (!printing_)
        return;
    std::va_list arguments;
    va_start(arguments, format);
    vprintLine(format, arguments);
    va_end(arguments);
}

void SketchModel::setViewSize(int width, int height) {
    viewWidth_ = width;
    viewHeight_ = height;
}

// ---- Stage machine

bool SketchModel::checkStage(std::string& message) const {
    switch (stage_) {
    case Stage::curveDrawing:
        if (curve_.empty()) {
            message = "You must create a curve and process it before moving to next step.";
            return false;
        }
        if (!curveLongEnough(curve_.size())) {
            message = asSentence(curveLengthProblem(curve_.size())) +
                      " Draw a longer curve before moving to next step.";
            return false;
        }
        return true;
    case Stage::profileSelection:
    case Stage::randomness:
        return true;
    case Stage::rowRefinement:
        break;
    }
    message = "Unknown stage - you might be finished, save your mountain.";
    return false;
}

bool SketchModel::curveLongEnough(std::size_t curveLength) {
    return curveLength >= static_cast<std::size_t>(minimumCurvePoints);
}

int SketchModel::minimumCurveLength() {
    return minimumCurvePoints;
}

std::string SketchModel::curveLengthProblem(std::size_t curveLength) {
    if (curveLongEnough(curveLength))
        return {};
    return "the curve is too short to build a terrain: it has " + std::to_string(curveLength) +
           (curveLength == 1 ? " point" : " points") + ", a terrain needs at least " +
           std::to_string(minimumCurvePoints);
}

int SketchModel::coarsenedColumns(std::size_t curveLength) {
    std::size_t n = curveLength;
    for (int level = 0; level < decompositionLevels; ++level)
        n = coarsenedLength(n);
    return static_cast<int>(n);
}

void SketchModel::next() {
    say("In next\n");
    stage_ = static_cast<Stage>(stage() + 1);
    if (stage_ == Stage::profileSelection) {
        decomposeSilhouette();
        buildDefaultProfile(globalProfile_);
        makeMountain();
    }
    if (stage_ == Stage::rowRefinement)
        makeMountain();
    say("finished next\n");
}

// ---- Stroke capture

bool SketchModel::beginStroke(double x, double y) {
    stroke_.clear();
    strokeRefused_ = currentLayerLocked();
    if (strokeRefused_)
        return false;
    // A long drag then appends without reallocating.
    stroke_.reserve(1000000);
    extendStroke(x, y);
    return true;
}

void SketchModel::extendStroke(double x, double y) {
    if (strokeRefused_)
        return;
    stroke_.emplace_back(x, static_cast<double>(viewHeight_) - y);
}

void SketchModel::cleanStroke(PointList& points) {
    if (points.empty())
        return;
    // Averaging the passes of a stroke that turns back would zigzag between them; the
    // highest pass over each column is the skyline the user drew.
    if (strokeDoublesBack(points) || !strokeOnWholeColumns(points)) {
        upperEnvelopeColumns(points);
        return;
    }
    if (points.front()[0] > points.back()[0])
        std::reverse(points.begin(), points.end());
    regularizeColumns(points);
}

int SketchModel::columnKey(double x) const {
    return saturatedInt((x + 1.0) * 0.5 * viewWidth_);
}

SketchModel::StrokeResult SketchModel::processLine(double minimumExtent) {
    if (stroke_.empty())
        return StrokeResult::nothingDrawn;
    // The layer may have been locked, or another (locked) one chosen, since the stroke began.
    if (currentLayerLocked()) {
        stroke_.clear();
        return StrokeResult::locked;
    }
    if (strokeTooShort(stroke_, minimumExtent)) {
        // A stray click or a double-click would redraw a column as a spike.
        stroke_.clear();
        return StrokeResult::tooShort;
    }
    cleanStroke(stroke_);
    PointList& curve = currentLayer_ == 0 ? curve_ : layers_[index(currentLayer_)].skyline;
    if (curve.empty())
        curve = stroke_;
    else if (stroke_.front()[0] > curve.front()[0])
        redrawFrom(curve, stroke_);
    else
        redrawBefore(curve, stroke_);
    stroke_.clear();
    return StrokeResult::processed;
}

// The stroke begins inside or right of the curve: it redraws the curve from its first
// column on and extends it where it runs past the curve's end.
void SketchModel::redrawFrom(PointList& curve, const PointList& cleaned) {
    const int key = columnKey(cleaned.front()[0]);
    std::size_t start = curve.size();
    for (std::size_t i = 0; i < curve.size(); ++i) {
        if (columnKey(curve[i][0]) == key) {
            start = i;
            break;
        }
    }
    std::size_t i = start;
    for (; i < curve.size() && i - start < cleaned.size(); ++i)
        curve[i][1] = cleaned[i - start][1];
    const bool oldCurveResumes = i < curve.size();
    curve.insert(curve.end(), cleaned.begin() + static_cast<std::ptrdiff_t>(i - start),
                 cleaned.end());
    if (oldCurveResumes)
        easeStrokeJoin(curve, i, OlderSide::after);
    easeStrokeJoin(curve, start, OlderSide::before);
}

// The stroke begins at or left of the curve: it replaces the curve up to its last column,
// and the old curve continues in the next column.
void SketchModel::redrawBefore(PointList& curve, const PointList& cleaned) {
    const PointList old = curve;
    const int key = columnKey(old.front()[0]);
    std::size_t shared = cleaned.size();
    for (std::size_t i = 0; i < cleaned.size(); ++i) {
        if (columnKey(cleaned[i][0]) == key) {
            shared = i;
            break;
        }
    }
    curve = cleaned;
    const std::size_t resume = cleaned.size() - shared;
    if (old.size() > resume) {
        curve.insert(curve.end(), old.begin() + static_cast<std::ptrdiff_t>(resume), old.end());
        easeStrokeJoin(curve, cleaned.size(), OlderSide::after);
    }
}

bool SketchModel::clearCurve() {
    stroke_.clear();
    if (currentLayerLocked())
        return false;
    layers_[index(currentLayer_)].properties.divideCourse.clear();
    if (currentLayer_ == 0)
        replaceCurve(PointList());
    else
        layers_[index(currentLayer_)].skyline.clear();
    return true;
}

void SketchModel::resetStageSettings() {
    if (stage_ == Stage::randomness) {
        profileRandomness_ = 0.0f;
        bottomDropOff_ = 0.3f;
    } else if (stage_ == Stage::rowRefinement) {
        detailRandomness_ = RandomnessSlider::toRandomness(RandomnessSlider::defaultDetailValue);
    } else {
        return;
    }
    makeMountain();
}

void SketchModel::closeCurve() {
    stroke_.clear();
    curve_.clear();
    drawnCurve_.clear();
    detailLevels_.clear();
    grid_.clear();
    rowSpacing_ = 0.0;
    stage_ = Stage::curveDrawing;
    globalProfile_.clear();
    currentProfile_ = -1;
    profileIndices_.clear();
    profiles_.clear();
    for (Layer& layer : layers_) {
        layer.skyline.clear();
        layer.properties.divideCourse.clear();
    }
}

// Keeps the curve as the silhouette drawn and splits it into its coarse points (the terrain's
// columns) and the detail levels row refinement adds back.
void SketchModel::decomposeSilhouette() {
    drawnCurve_ = curve_;
    detailLevels_.clear();
    for (int level = 0; level < decompositionLevels; ++level)
        splitOffDetails();
    // The curve is now the coarsened front row the first build starts from.
    rowSpacing_ = frontRowSpacing(curve_);
}

// In stage 0 the curve is all there is. Later the silhouette goes with it and is decomposed
// as the first "&Next" would, and the terrain follows at once: a grid left standing from the
// old curve would show, and save, a terrain that nothing the model holds describes, and the
// old curve's detail levels would refine the new one. The per-column profiles were made for
// the old curve's columns and go too.
void SketchModel::replaceCurve(PointList points) {
    curve_ = std::move(points);
    if (stage_ == Stage::curveDrawing)
        return;
    decomposeSilhouette();
    profileIndices_.clear();
    profiles_.clear();
    currentProfile_ = -1;
    makeMountain();
}

// ---- Construction

void SketchModel::buildDefaultProfile(PointList& profile) const {
    profile.clear();
    const double step = 1.0 / (numRows_ + 1);
    for (float t = 1.0f; t >= 0.0f; t = static_cast<float>(t - step))
        profile.emplace_back(static_cast<double>(1.0f - t), static_cast<double>(t));
}

void SketchModel::makeMountain() {
    rng_.reseed(1);
    say("making new mountain\n");
    say("\n");
    const TerrainInputs inputs{curve_,
                               globalProfile_,
                               profileIndices_,
                               profiles_,
                               profileRandomness_,
                               bottomDropOff_,
                               detailRandomness_,
                               detailLevels_,
                               stage_ == Stage::rowRefinement,
                               numRows_,
                               printing_};
    constructTerrain(inputs, rng_, grid_);
}

int RandomnessSlider::toValue(float randomness) {
    return static_cast<int>(std::lround(static_cast<double>(randomness) * 100.0));
}

void SketchModel::setDetailRandomness(int value) {
    detailRandomness_ = RandomnessSlider::toRandomness(value);
    if (stage_ == Stage::rowRefinement)
        makeMountain();
}

void SketchModel::randomnessChanged(int value) {
    const float x = RandomnessSlider::toRandomness(value);
    if (stage_ == Stage::randomness)
        profileRandomness_ = x;
    else if (stage_ == Stage::rowRefinement)
        detailRandomness_ = x;
    makeMountain();
}

void SketchModel::changeBottomDropOff(bool up) {
    if (up) {
        if (!(bottomDropOff_ > 0.95f))
            bottomDropOff_ = bottomDropOff_ + 0.05f;
    } else if (bottomDropOff_ >= 0.05f) {
        bottomDropOff_ = bottomDropOff_ - 0.05f;
    }
    say("Bottom drop-off is %1.3f\n", static_cast<double>(bottomDropOff_));
    makeMountain();
}

void SketchModel::splitOffDetails() {
    // A list too short to split keeps its points, and those must never be added to the rows as
    // if they were details: such a level holds none, and refinement leaves it as it is. (next()
    // refuses such a curve; one loaded in a later stage may be that short.)
    const bool splits = curve_.size() - curve_.size() % 2 >= 8;
    detailLevels_.push_back(splits ? curve_ : PointList());
    curveDetails(detailLevels_.back());
    coarsenCurve(curve_);
}

void SketchModel::coarsen() {
    splitOffDetails();
}

void SketchModel::refine() {
    if (detailLevels_.empty())
        return;
    refineCurve(curve_, detailLevels_.back());
    detailLevels_.pop_back();
}

// ---- Profile set

int SketchModel::gridColumns() const {
    return grid_.empty() ? 0 : static_cast<int>(grid_.front().size());
}

int SketchModel::columnAt(double modelX) const {
    const int columns = gridColumns();
    if (columns == 0 || !std::isfinite(modelX))
        return -1;
    const PointList& front = grid_.front();
    int nearest = 0;
    for (int j = 1; j < columns; ++j) {
        if (std::fabs(front[j][0] - modelX) < std::fabs(front[nearest][0] - modelX))
            nearest = j;
    }
    // Outside the grid by more than half the spacing of the end column: nothing is picked.
    // A grid of one column has no spacing; one pixel stands in for it.
    if (nearest == 0) {
        const double spacing = columns > 1 ? std::fabs(front[1][0] - front[0][0]) : 1.0;
        if (front[0][0] - modelX > spacing / 2)
            return -1;
    }
    if (nearest == columns - 1) {
        const double spacing =
            columns > 1 ? std::fabs(front[nearest][0] - front[nearest - 1][0]) : 1.0;
        if (modelX - front[nearest][0] > spacing / 2)
            return -1;
    }
    return nearest;
}

int SketchModel::pickProfile(double modelX, bool announce) {
    currentProfile_ = columnAt(modelX);
    if (announce)
        say("Current profile is %i\n", currentProfile_);
    return currentProfile_;
}

int SketchModel::selectProfile(int column) {
    currentProfile_ = column >= 0 && column < gridColumns() ? column : -1;
    return currentProfile_;
}

SketchModel::PointList SketchModel::selectedProfile() const {
    PointList profile;
    if (currentProfile_ < 0 || currentProfile_ >= gridColumns())
        return profile;
    const auto column = static_cast<std::size_t>(currentProfile_);
    for (const PointList& row : grid_)
        profile.push_back(row[column]);
    float maxHeight = static_cast<float>(profile[0][1]);
    for (const gmVector2& point : profile)
        maxHeight = std::max(maxHeight, static_cast<float>(point[1]));
    // A column that never rises above 0 cannot be normalised; it is handed out as it stands.
    const bool scale = maxHeight > 0.0f;
    for (std::size_t i = 0; i < profile.size(); ++i) {
        profile[i][0] = static_cast<double>(i) / profilePoints;
        if (scale)
            profile[i][1] = profile[i][1] / maxHeight;
    }
    return profile;
}

void SketchModel::setGlobalProfile(const PointList& profile) {
    globalProfile_ = profile;
    profiles_.clear();
    profileIndices_.clear();
    makeMountain();
}

void SketchModel::setSelectedProfile(const PointList& profile) {
    if (currentProfile_ < 0) {
        say("*** Error *** - there is no selected profile!\n");
        return;
    }
    if (!storeColumnProfile(static_cast<unsigned>(currentProfile_), profile)) {
        say("Error receive profile change i > profileIndices.size()\n");
        return;
    }
    makeMountain();
}

// Stores the profile of column c, keeping the set ascending with entries at the first and
// last column. False when c lies beyond the columns the set covers.
bool SketchModel::storeColumnProfile(unsigned c, const PointList& profile) {
    if (profiles_.empty()) {
        const int columns = gridColumns();
        if (columns == 0 || c > static_cast<unsigned>(columns - 1))
            return false;
        const auto last = static_cast<unsigned>(columns - 1);
        if (c != 0) {
            profileIndices_.push_back(0);
            profiles_.push_back(globalProfile_);
        }
        profileIndices_.push_back(c);
        profiles_.push_back(profile);
        if (c != last) {
            profileIndices_.push_back(last);
            profiles_.push_back(globalProfile_);
        }
        return true;
    }
    const auto at = std::lower_bound(profileIndices_.begin(), profileIndices_.end(), c);
    if (at == profileIndices_.end())
        return false;
    const auto position = at - profileIndices_.begin();
    if (*at == c) {
        profiles_[static_cast<std::size_t>(position)] = profile;
    } else {
        profileIndices_.insert(at, c);
        profiles_.insert(profiles_.begin() + position, profile);
    }
    return true;
}

void SketchModel::deleteCurrentProfile() {
    if (currentProfile_ <= 0 || currentProfile_ >= gridColumns() - 1)
        return;
    const auto c = static_cast<unsigned>(currentProfile_);
    const auto at = std::find(profileIndices_.begin(), profileIndices_.end(), c);
    if (at == profileIndices_.end())
        return;
    const auto position = at - profileIndices_.begin();
    profileIndices_.erase(at);
    profiles_.erase(profiles_.begin() + position);
    makeMountain();
}

// ---- Skyline layers

const LayerProperties& SketchModel::layerProperties(int layer) const {
    return layers_[index(hasLayer(layer) ? layer : currentLayer_)].properties;
}

const SketchModel::PointList& SketchModel::layerSkyline(int layer) const {
    if (!hasLayer(layer) || layer == 0)
        return silhouette();
    return layers_[index(layer)].skyline;
}

const SketchModel::PointList& SketchModel::layerCurve(int layer) const {
    return layer == 0 ? curve_ : layerSkyline(layer);
}

void SketchModel::selectLayer(int layer) {
    if (hasLayer(layer))
        currentLayer_ = layer;
}

template <typename Change> void SketchModel::rearrangeLayers(Change change) {
    layers_.front().skyline = silhouette();
    change();
    PointList front = std::move(layers_.front().skyline);
    layers_.front().skyline.clear();
    // A front skyline equal to the one before builds the same terrain: nothing to rebuild.
    if (front != silhouette())
        replaceCurve(std::move(front));
}

int SketchModel::addLayer() {
    std::vector<LayerProperties> existing;
    for (const Layer& layer : layers_)
        existing.push_back(layer.properties);
    const LayerProperties added = addedLayerProperties(existing);
    // Behind every layer of its distance, as setLayerDistance places it.
    std::size_t at = layers_.size();
    while (at > 0 && layers_[at - 1].properties.distance > added.distance)
        --at;
    rearrangeLayers([&] {
        layers_.insert(layers_.begin() + static_cast<std::ptrdiff_t>(at), Layer{added, {}});
    });
    currentLayer_ = static_cast<int>(at);
    return currentLayer_;
}

bool SketchModel::removeLayer(int layer) {
    if (!hasLayer(layer) || layers_.size() == 1)
        return false;
    rearrangeLayers([&] { layers_.erase(layers_.begin() + layer); });
    if (currentLayer_ > layer || currentLayer_ == layerCount())
        --currentLayer_;
    return true;
}

bool SketchModel::renameLayer(int layer, const std::string& name) {
    if (!hasLayer(layer) || name.empty() || name.size() > longestLayerName)
        return false;
    layers_[index(layer)].properties.name = name;
    return true;
}

void SketchModel::setLayerColour(int layer, const LayerColour& colour) {
    if (hasLayer(layer))
        layers_[index(layer)].properties.colour = colour;
}

void SketchModel::setLayerVisible(int layer, bool visible) {
    if (hasLayer(layer))
        layers_[index(layer)].properties.visible = visible;
}

void SketchModel::setLayerLocked(int layer, bool locked) {
    if (hasLayer(layer))
        layers_[index(layer)].properties.locked = locked;
}

int SketchModel::setLayerDistance(int layer, double distance) {
    std::string reason;
    if (!hasLayer(layer) || !checkLayerDistance(distance, reason))
        return -1;
    const bool wasCurrent = layer == currentLayer_;
    std::size_t at = 0;
    rearrangeLayers([&] {
        Layer moved = std::move(layers_[index(layer)]);
        layers_.erase(layers_.begin() + layer);
        moved.properties.distance = distance;
        at = layers_.size();
        while (at > 0 && layers_[at - 1].properties.distance > distance)
            --at;
        layers_.insert(layers_.begin() + static_cast<std::ptrdiff_t>(at), std::move(moved));
    });
    const int placed = static_cast<int>(at);
    if (wasCurrent) {
        currentLayer_ = placed;
    } else {
        // Out of the list, then back in at its place: the layers behind each shift.
        if (currentLayer_ > layer)
            --currentLayer_;
        if (currentLayer_ >= placed)
            ++currentLayer_;
    }
    return placed;
}

int SketchModel::moveLayer(int layer, bool nearer) {
    if (!hasLayer(layer))
        return -1;
    const int other = nearer ? layer - 1 : layer + 1;
    if (!hasLayer(other))
        return layer;
    rearrangeLayers([&] {
        Layer& a = layers_[index(layer)];
        Layer& b = layers_[index(other)];
        std::swap(a.properties.distance, b.properties.distance);
        std::swap(a, b);
    });
    if (currentLayer_ == layer)
        currentLayer_ = other;
    else if (currentLayer_ == other)
        currentLayer_ = layer;
    return other;
}

bool SketchModel::setDivideCourse(int layer, PointList course, std::string& reason) {
    if (!hasLayer(layer))
        return false;
    if (layers_[index(layer)].properties.locked) {
        reason = "the layer is locked";
        return false;
    }
    if (!checkDivideCourse(course, reason))
        return false;
    layers_[index(layer)].properties.divideCourse = std::move(course);
    return true;
}

std::vector<NaturalRange> SketchModel::naturalRanges(double scale) const {
    std::vector<NaturalRange> ranges{
        NaturalRange{silhouette(), 0.0, layers_.front().properties.divideCourse, {}}};
    const double front = layers_.front().properties.distance;
    for (int layer = 1; layer < layerCount(); ++layer) {
        const LayerProperties& properties = layerProperties(layer);
        if (!layerSkyline(layer).empty())
            ranges.push_back(NaturalRange{layerSkyline(layer),
                                          (properties.distance - front) / scale,
                                          properties.divideCourse,
                                          {}});
    }
    return ranges;
}

std::vector<DistantSkyline> SketchModel::distantSkylines() const {
    std::vector<DistantSkyline> skylines;
    for (int layer = 0; layer < layerCount(); ++layer)
        if (!layerSkyline(layer).empty())
            skylines.push_back({layerSkyline(layer), layerProperties(layer).distance});
    return skylines;
}

// ---- The whole state

SketchState SketchModel::state() const {
    SketchState state;
    state.stage = stage();
    state.curve = std::make_shared<const PointList>(curve_);
    state.silhouette = stage_ == Stage::curveDrawing
                           ? state.curve
                           : std::make_shared<const PointList>(drawnCurve_);
    state.detailLevels = std::make_shared<const std::vector<PointList>>(detailLevels_);
    state.globalProfile = std::make_shared<const PointList>(globalProfile_);
    state.profileColumns = std::make_shared<const std::vector<unsigned>>(profileIndices_);
    state.columnProfiles = std::make_shared<const std::vector<PointList>>(profiles_);
    state.profileRandomness = profileRandomness_;
    state.detailRandomness = detailRandomness_;
    state.bottomDropOff = bottomDropOff_;
    state.selectedColumn = currentProfile_;
    state.naturalTerrain = naturalTerrain_;
    state.natural = natural_;
    state.camera = camera_;
    state.layers.clear();
    for (const Layer& layer : layers_)
        state.layers.push_back(
            {layer.properties, std::make_shared<const PointList>(layer.skyline)});
    state.currentLayer = currentLayer_;
    return state;
}

void SketchModel::restore(const SketchState& state) {
    stage_ = static_cast<Stage>(state.stage);
    curve_ = *state.curve;
    drawnCurve_ = stage_ == Stage::curveDrawing ? PointList() : *state.silhouette;
    detailLevels_ = *state.detailLevels;
    globalProfile_ = *state.globalProfile;
    profileIndices_ = *state.profileColumns;
    profiles_ = *state.columnProfiles;
    profileRandomness_ = state.profileRandomness;
    detailRandomness_ = state.detailRandomness;
    bottomDropOff_ = state.bottomDropOff;
    naturalTerrain_ = state.naturalTerrain;
    natural_ = state.natural;
    camera_ = state.camera;
    layers_.clear();
    for (const SketchState::Layer& layer : state.layers)
        layers_.push_back({layer.properties, *layer.skyline});
    if (layers_.empty())
        layers_.push_back({firstLayerProperties(), PointList()});
    layers_.front().skyline.clear();
    currentLayer_ = std::clamp(state.currentLayer, 0, layerCount() - 1);
    rowSpacing_ = stage_ == Stage::curveDrawing ? 0.0 : firstBuildRowSpacing(drawnCurve_);
    if (stage_ == Stage::curveDrawing)
        grid_.clear();
    else
        makeMountain();
    // The selection is a grid column; a column the grid no longer has is no selection.
    selectProfile(state.selectedColumn);
}

bool SketchModel::setNaturalSettings(const NaturalSettings& settings, std::string& error) {
    if (!checkNaturalSettings(settings, error))
        return false;
    natural_ = settings;
    return true;
}

bool SketchModel::setCamera(const SketchCamera& camera, std::string& error) {
    if (!checkSketchCamera(camera, error))
        return false;
    camera_ = camera;
    return true;
}

// ---- Files

bool SketchModel::saveCurve(const std::string& name, std::string& message, FileOutcome* outcome) {
    FileOutcome ignored;
    FileOutcome& out = outcome ? *outcome : ignored;
    say("Saving curve file\n");
    const PointList& skyline = layerSkyline(currentLayer_);
    if (skyline.empty()) {
        say("File not saved, curve size is %i\n", 0);
        message = "File not saved, curve size is 0";
        out.reason = "There is no curve yet: draw one and press \"Process Line\" first.";
        out.failure = failureText("save the curve", name,
                                  "there is no curve yet. Draw one and press \"Process Line\" "
                                  "first.");
        return false;
    }
    int error = 0;
    switch (writeCurveFile(name, skyline, &error)) {
    case CurveWriteResult::ok:
        return true;
    case CurveWriteResult::cannotCreate:
        say("*** Error *** fopen returned NULL when writing to file %s.\n", name.c_str());
        message = "*** Error *** fopen returned NULL when writing to file " + name + ".";
        out.reason = systemReason(error);
        out.failure = failureText("save the curve", name, out.reason);
        return false;
    case CurveWriteResult::writeFailed:
        break;
    }
    say("*** Error *** could not write file %s.\n", name.c_str());
    message = "*** Error *** could not write file " + name + ".";
    out.reason = systemReason(error);
    out.failure = failureText("save the curve", name, out.reason);
    return false;
}

bool SketchModel::loadCurve(const std::string& name, std::string& message, FileOutcome* outcome) {
    FileOutcome ignored;
    FileOutcome& out = outcome ? *outcome : ignored;
    if (currentLayerLocked()) {
        const std::string& layer = layerProperties(currentLayer_).name;
        message = "The layer \"" + layer + "\" is locked";
        out.reason = "Unlock it in the Layers panel to open a curve into it.";
        out.failure = failureText("open the curve file", name,
                                  "the layer \"" + layer +
                                      "\" is locked. Unlock it in the "
                                      "Layers panel to open a curve into it.");
        return false;
    }
    say("Loading file\n");
    PointList points;
    int declared = 0;
    int error = 0;
    std::string refusal;
    switch (readCurveFile(name, points, declared, &refusal, &error)) {
    case CurveReadResult::ok:
        break;
    case CurveReadResult::cannotOpen: {
        // "was not found", "is a folder", or the system's words: a file that is there but
        // cannot be read must not be reported missing.
        const std::string why = unreadableReason(error);
        say("*** Error *** %s %s\n", name.c_str(), why.c_str());
        message = "*** Error *** " + name + " " + why;
        out.reason = error == ENOENT ? systemReason(error) : std::string();
        out.failure = failureText("open the curve file", name, "it " + why);
        return false;
    }
    case CurveReadResult::notCurveFile:
        say("*** Error *** %s is not a curve file\n", name.c_str());
        message = "*** Error *** " + name + " is not a curve file";
        out.reason = asSentence(refusal);
        // "not a regular file" reads "it is not a regular file" after the name.
        out.failure = failureText("open the curve file", name,
                                  refusal.rfind("not ", 0) == 0 ? "it is " + refusal : refusal);
        return false;
    case CurveReadResult::tooLarge:
        say("*** Error *** %s is larger than 256 MiB, the most a curve file may hold\n",
            name.c_str());
        message =
            "*** Error *** " + name + " is larger than 256 MiB, the most a curve file may hold";
        out.reason = asSentence(refusal);
        out.failure = failureText("open the curve file", name, refusal);
        return false;
    }
    say("%i of %i curve points were found\n", static_cast<int>(points.size()), declared);
    out.declaredPoints = declared;
    out.pointsRead = static_cast<int>(points.size());
    if (currentLayer_ == 0)
        replaceCurve(std::move(points));
    else
        layers_[index(currentLayer_)].skyline = std::move(points);
    return true;
}

bool SketchModel::hasTerrainToSave(std::string& message) const {
    if (stage_ == Stage::curveDrawing || grid_.empty()) {
        message = "There is no terrain to save yet - press Next to build one.";
        return false;
    }
    // A terrain rebuilt after the curve was closed or replaced by a shorter one has too few
    // columns to be drawn; saving it would report an empty grid as a success.
    if (grid_.front().size() < static_cast<std::size_t>(minimumColumns)) {
        message = "The terrain is too small to save - it needs a curve of at least " +
                  std::to_string(minimumColumns) + " columns.";
        return false;
    }
    return true;
}

bool SketchModel::exportGRD(const std::string& name, std::string& message,
                            FileOutcome* outcome) const {
    if (!hasTerrainToSave(message))
        return false;
    std::string unfit;
    if (!checkGridHeights(grid_, unfit)) {
        message = "The terrain cannot be saved as a grid: " + unfit + ".";
        return false;
    }
    int error = 0;
    switch (writeGridFile(name, grid_, &error)) {
    case GridWriteResult::ok:
        say("Details file %s has been written successfully\n", name.c_str());
        return true;
    case GridWriteResult::cannotCreate:
        message = "*** Error *** fopen returned NULL when writing to file: " + name + ".";
        if (outcome) {
            outcome->reason = systemReason(error);
            outcome->failure = failureText("save the terrain", name, outcome->reason);
        }
        return false;
    case GridWriteResult::writeFailed:
        break;
    }
    message = "*** Error *** could not write file: " + name + ".";
    if (outcome) {
        outcome->reason = systemReason(error);
        outcome->failure = failureText("save the terrain", name, outcome->reason);
    }
    return false;
}
