#include <algorithm>
#include <gtest/gtest.h>
#include <string>

#include "modeltesting.h"
#include "project/projectfile.h"
#include "sketch/failurereasons.h"
#include "sketch/naturalpreview.h"
#include "sketch/sketchsession.h"

namespace {

// A session with a drawn ridge of 600 columns, printing nothing.
SketchSession drawnSession() {
    SketchSession session;
    session.setPrinting(false);
    session.setViewSize(640, 480);
    session.beginStroke(20, 300);
    for (int x = 21; x <= 620; ++x)
        session.extendStroke(x, 300 - (x % 90));
    session.processLine();
    return session;
}

std::string captions(const StageControls& c) {
    return std::string(c.firstOption.caption) + "|" + c.secondOption.caption + "|" +
           c.reset.caption;
}

} // namespace

TEST(SketchSession, EachStageGivesTheButtonsTheirMeaning) {
    SketchSession session = drawnSession();
    StageControls shown = session.controls();
    EXPECT_EQ(captions(shown), "Process Line|Clear Curve|Reset");
    EXPECT_EQ(shown.firstOption.command, SketchCommand::processLine);
    EXPECT_FALSE(shown.sliderEnabled);

    std::string why;
    ASSERT_TRUE(session.next(why)) << why;
    ASSERT_EQ(session.stage(), Stage::profileSelection);
    shown = session.controls();
    EXPECT_EQ(captions(shown), "Edit Global Profile|Edit Selected Profile|Delete Selected Profile");
    EXPECT_FALSE(shown.secondOption.enabled) << "nothing is selected yet";
    EXPECT_FALSE(shown.reset.enabled);
    session.selectColumn(4);
    shown = session.controls();
    EXPECT_TRUE(shown.secondOption.enabled);
    EXPECT_EQ(shown.reset.command, SketchCommand::deleteSelectedProfile);

    ASSERT_TRUE(session.next(why));
    shown = session.controls();
    EXPECT_EQ(captions(shown), "Up|Down|Reset");
    EXPECT_EQ(shown.secondOption.command, SketchCommand::dropOffDown);
    EXPECT_TRUE(shown.sliderEnabled);
    session.setSliderValue(35);
    EXPECT_EQ(session.controls().sliderValue, 35);

    ASSERT_TRUE(session.next(why));
    shown = session.controls();
    EXPECT_EQ(captions(shown), "Refine|Coarsen|Reset");
    EXPECT_FALSE(shown.firstOption.enabled);
    EXPECT_EQ(shown.sliderValue, RandomnessSlider::defaultDetailValue);

    EXPECT_FALSE(session.next(why)) << "there is no stage after row refinement";
    EXPECT_EQ(why, "Unknown stage - you might be finished, save your mountain.");
    EXPECT_EQ(session.stage(), Stage::rowRefinement);
}

TEST(SketchSession, NextWithoutACurveStaysAndSaysWhy) {
    SketchSession session;
    session.setPrinting(false);
    std::string why;
    EXPECT_FALSE(session.next(why));
    EXPECT_EQ(why, "You must create a curve and process it before moving to next step.");
    EXPECT_EQ(session.stage(), Stage::curveDrawing);
}

TEST(SketchSession, ProfileEditsGoWhereTheyAreAddressed) {
    SketchSession session = drawnSession();
    std::string why;
    ASSERT_TRUE(session.next(why));
    session.selectColumn(6);
    SketchModel::PointList steep = session.selectedProfile();
    ASSERT_FALSE(steep.empty());
    for (gmVector2& point : steep)
        point[1] = point[1] * point[1];
    session.setSelectedProfile(steep);
    EXPECT_EQ(session.model().profileIndices().size(), 3u);
    // The global profile replaces the column profiles, whatever was edited before.
    session.setGlobalProfile(session.globalProfile());
    EXPECT_TRUE(session.model().profileIndices().empty());
}

TEST(SketchSession, CancelledProfileEditsGiveBackTheColumnProfiles) {
    SketchSession session = drawnSession();
    std::string why;
    ASSERT_TRUE(session.next(why));
    EXPECT_FALSE(session.beginProfileEdit(false)) << "no column is selected";
    session.selectColumn(6);
    ASSERT_TRUE(session.beginProfileEdit(false));
    EXPECT_EQ(session.editedColumn(), 6);
    SketchModel::PointList steep = session.selectedProfile();
    for (gmVector2& point : steep)
        point[1] = point[1] * point[1];
    session.selectColumn(9); // the selection moves while the editor is open
    session.editProfile(steep);
    EXPECT_EQ(session.model().profileIndices()[1], 6u) << "the edit goes to the opened column";
    EXPECT_EQ(session.model().currentProfile(), 9);
    EXPECT_EQ(session.ownColumnProfiles(), 1) << "the first and last column keep the global one";
    const SketchState withColumn = session.state();
    const auto columnTerrain = session.model().grid();

    // A global edit, cancelled: the column profile and the terrain are as they were.
    ASSERT_TRUE(session.beginProfileEdit(true));
    EXPECT_EQ(session.editedColumn(), -1);
    SketchModel::PointList flat = session.globalProfile();
    for (gmVector2& point : flat)
        point[1] = 0.5 * point[1];
    session.editProfile(flat);
    EXPECT_TRUE(session.model().profileIndices().empty());
    session.editProfile(steep);
    session.cancelProfileEdit();
    EXPECT_TRUE(session.state().sameTerrainInputs(withColumn));
    EXPECT_EQ(session.model().profiles().size(), 3u);
    EXPECT_TRUE(session.model().grid() == columnTerrain);

    // Kept, the global edit replaces the column profiles.
    ASSERT_TRUE(session.beginProfileEdit(true));
    session.editProfile(flat);
    EXPECT_EQ(session.ownColumnProfiles(), 0);
    EXPECT_TRUE(session.globalProfile() == flat);
}

TEST(SketchSession, SlidersConvertOneWayAndBack) {
    for (int value = 0; value < 100; ++value)
        EXPECT_EQ(RandomnessSlider::toValue(RandomnessSlider::toRandomness(value)), value);
    EXPECT_EQ(SketchModel().detailRandomness(),
              RandomnessSlider::toRandomness(RandomnessSlider::defaultDetailValue));
}

TEST(SketchSession, AProjectBringsBackTheStageAndTheTerrain) {
    SketchSession drawn = drawnSession();
    std::string why;
    ASSERT_TRUE(drawn.next(why));
    ASSERT_TRUE(drawn.next(why));
    drawn.setSliderValue(40);
    const std::string file = modeltesting::temporaryPath("session.mondrel");
    ASSERT_TRUE(writeProjectFile(file, drawn.project(), why)) << why;

    Project read;
    ASSERT_TRUE(readProjectFile(file, read, why)) << why;
    SketchSession opened;
    opened.setPrinting(false);
    opened.applyProject(read);
    EXPECT_EQ(opened.stage(), Stage::randomness);
    EXPECT_EQ(opened.controls().sliderValue, 40);
    EXPECT_TRUE(opened.model().grid() == drawn.model().grid());
}

TEST(SketchSession, FilesRememberTheCurveAndFailuresSayWhy) {
    SketchSession session = drawnSession();
    std::string message;
    const std::string curve = modeltesting::temporaryPath("session.c2d");
    ASSERT_TRUE(session.saveCurve(curve, message)) << message;
    EXPECT_EQ(session.curveFile(), curve);
    EXPECT_FALSE(session.saveTerrain(modeltesting::temporaryPath("early.grd"), message));
    EXPECT_EQ(message, "There is no terrain to save yet - press Next to build one.");
    EXPECT_FALSE(session.saveCurve("/no/such/folder/x.c2d", message));
    EXPECT_EQ(message, "Cannot save the curve /no/such/folder/x.c2d: No such file or directory.");
    EXPECT_EQ(session.curveFile(), curve) << "a failed save names no file";
}

// Why: the boxes showed the printed programmer line ("*** Error *** fopen returned NULL ...")
// without the system's reason. The printed lines stay as they were.
TEST(SketchSession, FailureBoxesSayWhatFailedTheFileAndTheSystemsReason) {
    SketchSession session = drawnSession();
    session.setPrinting(true);
    std::string message;
    const std::string plain = modeltesting::temporaryPath("plain.txt");
    modeltesting::writeFile(plain, "text");
    testing::internal::CaptureStdout();
    EXPECT_FALSE(session.saveCurve(plain + "/x.c2d", message));
    EXPECT_EQ(testing::internal::GetCapturedStdout(),
              "Saving curve file\n*** Error *** fopen returned NULL when writing to file " + plain +
                  "/x.c2d.\n");
    EXPECT_EQ(message, "Cannot save the curve " + plain + "/x.c2d: Not a directory.");
    session.setPrinting(false);

    ASSERT_TRUE(session.next(message)) << message;
    EXPECT_FALSE(session.saveTerrain(plain + "/x.grd", message));
    EXPECT_EQ(message, "Cannot save the terrain " + plain + "/x.grd: Not a directory.");
    EXPECT_FALSE(session.saveTerrain("/dev/full", message));
    EXPECT_EQ(message, "Cannot save the terrain /dev/full: No space left on device.");

    // Opening: the printed line as before, the box with the reason, or the menu entry.
    SketchModel::FileOutcome outcome;
    EXPECT_FALSE(session.openCurve(plain + "/x.c2d", message, &outcome));
    EXPECT_EQ(outcome.failure, "Cannot open the curve file " + plain + "/x.c2d: it was not found.");
    EXPECT_FALSE(session.openCurve(plain, message, &outcome));
    EXPECT_EQ(message, "*** Error *** " + plain + " is not a curve file");
    EXPECT_EQ(outcome.failure, "Cannot open the curve file " + plain +
                                   ": the file does not begin with a point count.");
    const std::string project = modeltesting::temporaryPath("hill.mondrel");
    ASSERT_TRUE(writeProjectFile(project, session.project(), message)) << message;
    EXPECT_FALSE(session.openCurve(project, message, &outcome));
    EXPECT_EQ(message, "*** Error *** " + project + " is not a curve file");
    EXPECT_EQ(outcome.failure, project + " is a Mondrel project, not a curve file: open it with "
                                         "File > Open Project...");

    // An export names the file once, or the sidecar that failed.
    EXPECT_EQ(exportFailureText("/a/h.png", "cannot create /a/h.png: Permission denied"),
              "Cannot export the heightmap /a/h.png: Permission denied.");
    EXPECT_EQ(exportFailureText("/a/h.png", "cannot create /a/h.png.json: Is a directory"),
              "Cannot export the heightmap /a/h.png: cannot create /a/h.png.json: Is a directory.");
}

// The view's natural terrain: rows from the foot of the front flank backwards, the crest at
// the sketch's own height, base ground at both ends, and the session's settings in it.
TEST(SketchSession, NaturalPreviewRowsRunFromTheFrontFootOverTheCrest) {
    SketchSession session = drawnSession();
    std::string message;
    for (int press = 0; press < 3; ++press)
        ASSERT_TRUE(session.next(message)) << message;
    double crest = 0.0;
    for (const gmVector2& point : session.model().grid().front())
        crest = std::max(crest, point[1]);

    std::vector<std::vector<gmVector2>> grid;
    double spacing = 0.0;
    ASSERT_TRUE(naturalPreviewGrid(session.model(), 65, grid, spacing, message)) << message;
    ASSERT_EQ(grid.size(), 65u);
    EXPECT_GT(spacing, 0.0);
    double highest = 0.0;
    std::size_t crestRow = 0;
    for (std::size_t r = 0; r < grid.size(); ++r) {
        ASSERT_EQ(grid[r].size(), 65u);
        EXPECT_NEAR(grid[r][1][0] - grid[r][0][0], spacing, 1e-9);
        for (const gmVector2& point : grid[r])
            if (point[1] > highest) {
                highest = point[1];
                crestRow = r;
            }
    }
    EXPECT_NEAR(highest, crest, 0.02 * crest);
    // Ground in front of the crest as well as behind it, falling to the base at both ends.
    EXPECT_GT(crestRow, 5u);
    EXPECT_LT(crestRow, 59u);
    for (const std::vector<gmVector2>* edge : {&grid.front(), &grid.back()})
        for (const gmVector2& point : *edge)
            EXPECT_LT(point[1], 0.05 * crest);

    // Another seed, another landscape.
    NaturalSettings natural;
    natural.seed = 2;
    ASSERT_TRUE(session.setNaturalSettings(natural, message)) << message;
    std::vector<std::vector<gmVector2>> reseeded;
    ASSERT_TRUE(naturalPreviewGrid(session.model(), 65, reseeded, spacing, message)) << message;
    EXPECT_FALSE(reseeded == grid);
}
