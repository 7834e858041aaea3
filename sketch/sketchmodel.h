#pragma once

#include <string>
#include <vector>

#include "curve/random15.h"
#include "libgm/gmvec2.h"
#include "sketch/sketchstate.h"
#include "sketch/skylinelayer.h"

// The four stages a mountain goes through, in order; "Next" moves from one to the next. Their
// numbers are the ones printed and kept in project files.
enum class Stage { curveDrawing = 0, profileSelection = 1, randomness = 2, rowRefinement = 3 };

// The randomness sliders: a value 0 to 99 stands for the randomness value / 100, kept in the
// precision the model keeps it. The one conversion each way and the one default.
struct RandomnessSlider {
    static constexpr int defaultDetailValue = 20;
    static float toRandomness(int value) { return static_cast<float>(value / 100.0); }
    // The slider value that stored randomness.
    static int toValue(float randomness);
};

// The mountain model: the stroke being drawn, the silhouette curve, its detail levels, the
// terrain grid, the profiles and the randomness settings, led through the four stages (0
// curve drawing, 1 profile selection, 2 randomness, 3 row refinement; see
// sketch/sketchsession.h, which owns one and carries the user's actions to it).
// It knows no widgets and no OpenGL. Progress lines go out through printLine
// (printing/printedlines.h) unless printing is switched off. Nothing here ever ends the process or
// shows a dialog: operations that report to the user return a success flag and a message.
//
// Coordinates: stroke and curve points are in view pixels, origin at the bottom left, y up.
// The grid keeps the curve's x values and pixel heights; row r lies r row spacings behind the
// silhouette (rowSpacing()).
class SketchModel {
public:
    using PointList = std::vector<gmVector2>;

    SketchModel();

    // Whether this model prints its progress and diagnostic lines (through printLine).
    void setPrinting(bool on) { printing_ = on; }
    bool printing() const { return printing_; }

    // The view's size in pixels, told by the view whenever it is resized. Mouse y is flipped
    // with the height; the column key of the curve merge uses the width.
    void setViewSize(int width, int height);
    int viewWidth() const { return viewWidth_; }
    int viewHeight() const { return viewHeight_; }

    // ---- Stage machine
    Stage currentStage() const { return stage_; }
    int stage() const { return static_cast<int>(stage_); }
    int numRows() const { return numRows_; }
    // Whether the current stage may be left; when not, the reason is stored in message
    // (left untouched otherwise).
    bool checkStage(std::string& message) const;
    // The number of terrain columns the first next() makes from a curve of that length.
    static int coarsenedColumns(std::size_t curveLength);
    // Whether a curve of that many points can be decomposed into every detail level the
    // refined terrain adds back: at least minimumCurveLength() points (50). next() in stage 0
    // needs it; the window and the builder refuse shorter curves with curveLengthProblem().
    static bool curveLongEnough(std::size_t curveLength);
    static int minimumCurveLength();
    // Empty for a long enough curve, else the reason as a phrase: "the curve is too short to
    // build a terrain: it has 40 points, a terrain needs at least 50".
    static std::string curveLengthProblem(std::size_t curveLength);
    // Advances one stage; the first call decomposes the curve and builds the first terrain,
    // the third builds the refined terrain.
    void next();

    // ---- Stroke capture, in view pixels with y downwards as mouse events give them (at the
    // drawing's own scale; a zoomed view hands in the pixel under the pointer, which need not
    // be whole). The session passes on the sketch view's left-button strokes in stage 0.
    // Press: discards an unprocessed stroke. On a locked current layer nothing is recorded
    // until the next press, and the result is false.
    bool beginStroke(double x, double y);
    void extendStroke(double x, double y); // move and release
    // The stroke replaced by points in view pixels, y up, as stroke() gives them (a stroke
    // snapped to the photograph), to be processed like one drawn.
    void replaceStroke(const PointList& points) { stroke_ = points; }
    // What processLine made of the stroke.
    enum class StrokeResult { processed, nothingDrawn, tooShort, locked };
    // A stroke whose points all lie within this many pixels of its first is a click.
    static constexpr double minimumStrokeExtent = 3.0;
    // Cleans the stroke and merges it into the current layer's skyline (the front layer's is
    // the curve); then empties the stroke. Where the stroke
    // meets the old curve in neighbouring columns, the old curve is eased into the stroke's
    // height over a few columns (curve/strokejoin.h), so no join is a step. A click (every
    // point within minimumExtent pixels of the first) is no line: it is discarded and the
    // curve stays as it was.
    StrokeResult processLine(double minimumExtent = minimumStrokeExtent);
    // Empties the stroke, the current layer's skyline and its divide course. On the front
    // layer the skyline is the curve: from stage 1 on the silhouette goes with it and the
    // terrain is rebuilt at once (see replaceCurve). A locked layer keeps both (false).
    bool clearCurve();
    // Back to curve drawing with no curve: stage 0, no stroke, no skyline or divide course on
    // any layer, terrain, detail levels, profiles or selection. The randomness, drop-off and
    // natural terrain settings and the layers themselves stay, as the user's choices for the next
    // mountain.
    void closeCurve();
    // One point per pixel column. A stroke drawn as a function of x (its x never turns back)
    // at whole pixels is reversed when drawn right to left and regularised (regularizeColumns:
    // equal columns averaged, gaps filled). A stroke that doubles back, or one drawn in a
    // zoomed view, becomes its upper envelope (curve/strokecolumns.h): the skyline it draws.
    static void cleanStroke(PointList& points);
    // The column of a curve point for merging: (int)((x + 1) * 0.5 * viewWidth).
    int columnKey(double x) const;

    // ---- Construction
    // Rebuilds the grid from the curve, the profiles and the randomness settings, refined in
    // stage 3 (terrain/terrainconstruction.h), with the generator reseeded with 1.
    void makeMountain();
    void buildDefaultProfile(PointList& profile) const;
    // Slider value 0 to 99: the randomness of the current stage (2 or 3), then a rebuild.
    void randomnessChanged(int value);
    // The detail randomness as the stage-3 slider sets it (value 0 to 99). The terrain is
    // rebuilt only when it is refined (stage 3): before, the refinement to come uses it.
    void setDetailRandomness(int value);
    // "Up" (true) or "Down" (false) by 0.05, then a rebuild.
    void changeBottomDropOff(bool up);
    // "Reset" of the randomness stage (profile randomness 0, bottom drop-off 0.3) and of row
    // refinement (detail randomness 0.2), then a rebuild; other stages have nothing to reset.
    void resetStageSettings();
    // One step of the decomposition and its inverse; the grid is not rebuilt.
    void coarsen();
    void refine();

    // ---- Profile set
    // Selects the grid column nearest to modelX (the terrain's model x under the pointer),
    // or -1 when modelX lies more than half a column spacing outside the grid. With
    // announce (a press) prints "Current profile is %i\n". Returns the selection.
    int pickProfile(double modelX, bool announce);
    // The grid column nearest to modelX, or -1 (no state change).
    int columnAt(double modelX) const;
    // Selects a grid column by its index, as a pick over it would; an index outside the grid
    // clears the selection. Returns the selection.
    int selectProfile(int column);
    // The number of grid columns (the length of row 0), 0 without a grid.
    int gridColumns() const;
    int currentProfile() const { return currentProfile_; }
    // The selected column's cross-section in its editing form: x the row over the profile's
    // points, y the height over the column's highest point (a column that never rises above
    // 0 as it stands). Empty without a selection.
    PointList selectedProfile() const;
    // Makes profile the global one, which replaces every per-column profile, and rebuilds.
    void setGlobalProfile(const PointList& profile);
    // Gives the selected column profile as its own, and rebuilds. Without a selection, or
    // with one beyond the columns the profile set covers, it prints why and changes nothing.
    void setSelectedProfile(const PointList& profile);
    void deleteCurrentProfile();

    // ---- Files. Each returns true on success; on failure message says why (the printed
    // line without its line end) and nothing of the model or of an existing file changed.
    // Both work on the current layer. saveCurve writes its skyline as drawn, in every stage
    // (the front layer's is the silhouette). loadCurve replaces its skyline; on the front
    // layer that is the curve, and from stage 1 on the silhouette too (see replaceCurve). A
    // locked layer is not loaded into (the failure says so; nothing is read or printed).
    // The outcome, when asked for, adds what a window tells the user beyond that message.
    struct FileOutcome {
        std::string reason;     // on failure: why, in plain words (the system's words for a
                                // failed save or open)
        std::string failure;    // on failure: the box's text (failureText): what failed, the
                                // file and why; the printed line stays as it always was
        int declaredPoints = 0; // after a curve was loaded: the count its file declared
        int pointsRead = 0;     // after a curve was loaded: the points it held
    };
    bool saveCurve(const std::string& name, std::string& message, FileOutcome* outcome = nullptr);
    bool loadCurve(const std::string& name, std::string& message, FileOutcome* outcome = nullptr);
    bool exportGRD(const std::string& name, std::string& message,
                   FileOutcome* outcome = nullptr) const;
    // Whether there is a terrain that can be saved (built, and wide enough to draw); when not,
    // message says why.
    bool hasTerrainToSave(std::string& message) const;

    // ---- Skyline layers (sketch/skylinelayer.h), front (nearest) first, always at least
    // one. Strokes, "Process Line", "Clear Curve" and the curve files work on the current
    // layer; the stages build the terrain from the front layer's skyline, the silhouette.
    // Whatever makes another layer the front one (removing, moving, a new distance) hands its
    // skyline to the stages as loading a curve would: from stage 1 on the terrain follows at
    // once and the per-column profiles go (see replaceCurve). Layer indices out of range
    // change nothing.
    int layerCount() const { return static_cast<int>(layers_.size()); }
    int currentLayer() const { return currentLayer_; }
    const LayerProperties& layerProperties(int layer) const;
    // The layer's skyline as drawn: the silhouette for the front layer.
    const PointList& layerSkyline(int layer) const;
    // What the view draws for the layer in stage 0: the curve for the front layer.
    const PointList& layerCurve(int layer) const;
    bool currentLayerLocked() const { return layers_[index(currentLayer_)].properties.locked; }
    void selectLayer(int layer);
    // Adds a layer behind the farthest (addedLayerProperties) and makes it current; its index.
    int addLayer();
    // False, changing nothing, for the only layer. The current layer stays where it is in the
    // list, or becomes the one now at its place.
    bool removeLayer(int layer);
    // False, changing nothing, with an empty name or one longer than longestLayerName.
    bool renameLayer(int layer, const std::string& name);
    void setLayerColour(int layer, const LayerColour& colour);
    void setLayerVisible(int layer, bool visible);
    void setLayerLocked(int layer, bool locked);
    // Gives the layer a new distance and puts it into its place front to back, after every
    // layer of the same distance; returns its new index (-1, changing nothing, for a distance
    // checkLayerDistance refuses).
    int setLayerDistance(int layer, double distance);
    // Moves the layer one place nearer or farther; it takes the distance of the layer it
    // passes, which takes its own, so that the order of distances stays front to back.
    // Returns its new index (the same at either end).
    int moveLayer(int layer, bool nearer);
    // Gives the layer's range a divide course (an empty one: the divide wanders again). False,
    // changing nothing, for a locked layer or a course checkDivideCourse refuses (reason says
    // why).
    bool setDivideCourse(int layer, PointList course, std::string& reason);
    // The ranges the natural terrain stands on at an export's scale (world units per sketch
    // pixel): the silhouette with the front layer's divide course, then every other layer with
    // a skyline (hidden ones too, hiding being a drawing switch) with its course, its depth
    // behind the front layer in sketch pixels: the difference of their distances over scale.
    std::vector<NaturalRange> naturalRanges(double scale = 1.0) const;
    // Every layer's skyline with points and its distance, front first, hidden layers
    // included (hiding is a drawing switch): what the natural terrain stands on
    // (naturalRanges).
    std::vector<DistantSkyline> distantSkylines() const;

    // ---- The whole state as a value (sketch/sketchstate.h)
    // Everything the terrain is built from, and the selection.
    SketchState state() const;
    // Takes over every input of the terrain and the selection from state and rebuilds the
    // terrain from them (from stage 1 on; before that there is none). A selection outside
    // the rebuilt grid is cleared. The stroke being drawn stays.
    void restore(const SketchState& state);

    // ---- Read access for drawing and tests
    const PointList& stroke() const { return stroke_; }
    const PointList& curve() const { return curve_; }
    // The silhouette as drawn: the curve in stage 0, afterwards the curve as it was when
    // stage 0 was left.
    const PointList& silhouette() const {
        return stage_ == Stage::curveDrawing ? curve_ : drawnCurve_;
    }
    const std::vector<PointList>& detailLevels() const { return detailLevels_; }
    const std::vector<PointList>& grid() const { return grid_; }
    // The depth in pixels from one grid row to the next: the column spacing of the
    // silhouette's first build (the gap between the first two columns of the front row the
    // first next() makes). Refining the rows in stage 3 makes the columns denser but leaves the
    // rows where they were, so the terrain stays as deep as the one the user shaped. It
    // follows from the silhouette alone, so a restored state brings it back, and a silhouette
    // replaced in a later stage brings the spacing its first build would have. 0 in stage 0.
    double rowSpacing() const { return rowSpacing_; }
    const PointList& globalProfile() const { return globalProfile_; }
    const std::vector<unsigned int>& profileIndices() const { return profileIndices_; }
    const std::vector<PointList>& profiles() const { return profiles_; }
    float profileRandomness() const { return profileRandomness_; }
    float detailRandomness() const { return detailRandomness_; }
    float bottomDropOff() const { return bottomDropOff_; }

    // ---- The natural terrain: whether exports and the view give it, and its settings. They
    // leave the grid as it is.
    bool naturalTerrain() const { return naturalTerrain_; }
    const NaturalSettings& naturalSettings() const { return natural_; }
    void setNaturalTerrain(bool on) { naturalTerrain_ = on; }
    // False with a one-line reason, settings unchanged, for a setting outside its range.
    bool setNaturalSettings(const NaturalSettings& settings, std::string& error);

    // ---- The camera the layers were drawn from (sketch/sketchcamera.h). It places the
    // layers' skylines in the world for the natural terrain and leaves the grid as it is.
    const SketchCamera& camera() const { return camera_; }
    // False with a one-line reason, camera unchanged, for a value outside its range.
    bool setCamera(const SketchCamera& camera, std::string& error);

private:
    struct Layer {
        LayerProperties properties;
        PointList skyline; // empty for the front layer: its skyline is the silhouette
    };
    std::size_t index(int layer) const { return static_cast<std::size_t>(layer); }
    bool hasLayer(int layer) const { return layer >= 0 && layer < layerCount(); }
    // Runs change on the layers with the front layer's skyline in its list, then hands the
    // skyline now in front to the stages when it differs from the silhouette.
    template <typename Change> void rearrangeLayers(Change change);
    void redrawFrom(PointList& curve, const PointList& cleaned);
    void redrawBefore(PointList& curve, const PointList& cleaned);
    void splitOffDetails();
    void decomposeSilhouette();
    void replaceCurve(PointList points);
    bool storeColumnProfile(unsigned c, const PointList& profile);

    void say(const char* format, ...) const
#if defined(__GNUC__)
        __attribute__((format(printf, 2, 3)))
#endif
        ;

    bool printing_ = true;
    int viewWidth_ = 0;
    int viewHeight_ = 0;

    PointList stroke_;
    PointList curve_;
    PointList drawnCurve_; // from stage 1 on: the curve as stage 0 left it
    std::vector<PointList> detailLevels_;
    std::vector<PointList> grid_;
    double rowSpacing_ = 0.0;
    Stage stage_ = Stage::curveDrawing;
    int numRows_ = 50;
    PointList globalProfile_;
    int currentProfile_ = -1;
    std::vector<unsigned int> profileIndices_;
    std::vector<PointList> profiles_;
    float profileRandomness_ = 0.0f;
    float detailRandomness_ = RandomnessSlider::toRandomness(RandomnessSlider::defaultDetailValue);
    float bottomDropOff_ = 0.3f;
    bool naturalTerrain_ = false;
    NaturalSettings natural_;
    SketchCamera camera_;
    std::vector<Layer> layers_{Layer{firstLayerProperties(), PointList()}};
    int currentLayer_ = 0;
    bool strokeRefused_ = false;
    Random15 rng_;
};
