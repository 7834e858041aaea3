// mondrel-build on a project: the project's own terrain, the command line over its settings,
// and the projects it cannot build.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include "buildrunning.h"
#include "project/projectfile.h"
#include "sketch/sketchmodel.h"

namespace {

// long_ridge.c2d in stage 2 with a column profile, randomness and a raised drop-off.
SketchModel ridgeAtStageTwo() {
    SketchModel model;
    model.setPrinting(false);
    std::string message;
    EXPECT_TRUE(model.loadCurve(MONDREL_TEST_DATA_DIR "/long_ridge.c2d", message)) << message;
    model.next();
    model.selectProfile(7);
    SketchModel::PointList profile = model.selectedProfile();
    for (gmVector2& point : profile)
        point[1] *= point[1];
    model.setSelectedProfile(profile);
    model.next();
    model.randomnessChanged(30);
    model.changeBottomDropOff(true);
    return model;
}

std::string savedProject(const SketchModel& model, const std::string& name) {
    Project project;
    project.sketch = model.state();
    const std::string file = scratchPath(name);
    std::string message;
    EXPECT_TRUE(writeProjectFile(file, project, message)) << message;
    return file;
}

std::string gridOf(const SketchModel& model, const std::string& name) {
    const std::string file = scratchPath(name);
    std::string message;
    EXPECT_TRUE(model.exportGRD(file, message)) << message;
    return slurp(file);
}

} // namespace

TEST(ProjectBuild, BuildsTheProjectsTerrainAndTakesTheCommandLineOverIt) {
    SketchModel model = ridgeAtStageTwo();
    const std::string project = savedProject(model, "ridge.mondrel");
    const std::string out = scratchPath("out.grd");
    BuildRun run = runBuild("--quiet " + quoted(project) + " " + quoted(out));
    ASSERT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(slurp(out), gridOf(model, "expected.grd"));

    // On to stage 3 at a chosen detail randomness, one "Down" from the project's drop-off.
    model.changeBottomDropOff(false);
    model.next();
    model.randomnessChanged(45);
    run = runBuild("--quiet --stage 3 --detail-randomness 45 --drop-off-steps -1 " +
                   quoted(project) + " " + quoted(out));
    ASSERT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(slurp(out), gridOf(model, "expected3.grd"));
}

TEST(ProjectBuild, RefusesWhatItCannotBuild) {
    SketchModel drawing;
    drawing.setPrinting(false);
    std::string message;
    ASSERT_TRUE(drawing.loadCurve(MONDREL_TEST_DATA_DIR "/long_ridge.c2d", message));
    const std::string early = savedProject(drawing, "early.mondrel");
    const std::string later = savedProject(ridgeAtStageTwo(), "later.mondrel");
    const std::string broken = scratchPath("broken.mondrel");
    {
        std::FILE* f = std::fopen(broken.c_str(), "w");
        std::fputs("{\"format\": \"Mondrel project\", \"version\": 7}", f);
        std::fclose(f);
    }
    const std::string out = scratchPath("never.grd");
    const std::pair<std::string, std::string> cases[] = {
        {quoted(early), "the project " + early + " is at stage 0 and holds no terrain yet"},
        {"--stage 1 " + quoted(later),
         "the project " + later + " is at stage 2; --stage 1 cannot go back"},
        {quoted(broken), "Cannot open the project " + broken +
                             ": it was written by a newer Mondrel (format version 7"}};
    for (const auto& [arguments, reason] : cases) {
        const BuildRun run = runBuild("--quiet " + arguments + " " + quoted(out));
        EXPECT_EQ(run.status, 1) << arguments;
        EXPECT_EQ(run.err.rfind("mondrel-build: " + reason, 0), 0u) << run.err;
        EXPECT_FALSE(exists(out));
    }
    // Given a stage, the project of stage 0 is built as its curve would be.
    const BuildRun run = runBuild("--quiet --stage 1 " + quoted(early) + " " + quoted(out));
    EXPECT_EQ(run.status, 0) << run.err;
    const BuildRun fromCurve = runBuild("--quiet --stage 1 long_ridge.c2d -");
    EXPECT_EQ(slurp(out), fromCurve.out);
}

// Regression: the window opened a project starting with a byte order mark, mondrel-build took
// it for a curve file and refused it.
TEST(ProjectBuild, AByteOrderMarkIsPassedOverAsTheWindowDoes) {
    const std::string project = savedProject(ridgeAtStageTwo(), "plain.mondrel");
    const std::string marked = scratchPath("marked.mondrel");
    {
        std::FILE* f = std::fopen(marked.c_str(), "wb");
        std::fputs(("\xEF\xBB\xBF" + slurp(project)).c_str(), f);
        std::fclose(f);
    }
    const BuildRun plain = runBuild("--quiet " + quoted(project) + " -");
    const BuildRun run = runBuild("--quiet " + quoted(marked) + " -");
    ASSERT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(run.out, plain.out);
}

// Regression: a pipe as input blocked mondrel-build for ever.
TEST(ProjectBuild, APipeIsRefusedBeforeItIsOpened) {
    const std::string pipe = scratchPath("pipe.c2d");
    ASSERT_EQ(mkfifo(pipe.c_str(), 0600), 0);
    const BuildRun run = runShell("timeout 20 " + quoted(MONDREL_BIN_DIR "/mondrel-build") +
                                  " --quiet " + quoted(pipe) + " -");
    EXPECT_EQ(run.status, 1);
    EXPECT_EQ(run.err,
              "mondrel-build: *** Error *** " + pipe + " is not a file (a pipe or a device)\n");
    std::remove(pipe.c_str());
}

// Regression: coordinates of 1e308 built a .grd holding "inf" and 309-digit numbers, exit 0.
TEST(ProjectBuild, HeightsTheGridCannotHoldAreRefused) {
    SketchModel model;
    model.setPrinting(false);
    std::string message;
    ASSERT_TRUE(model.loadCurve(MONDREL_TEST_DATA_DIR "/long_ridge.c2d", message));
    SketchState state = model.state();
    SketchState::PointList curve = *state.curve;
    for (std::size_t i = 3; i < curve.size(); i += 7)
        curve[i][1] = 1e308;
    state.curve = std::make_shared<const SketchState::PointList>(curve);
    state.silhouette = state.curve;
    model.restore(state);
    const std::string project = savedProject(model, "huge.mondrel");
    const std::string out = scratchPath("huge.grd");
    for (const std::string& target : {quoted(out), std::string("-")}) {
        const BuildRun run = runBuild("--quiet --stage 1 " + quoted(project) + " " + target);
        EXPECT_EQ(run.status, 1);
        EXPECT_NE(run.err.find("holds a height too large for a grid"), std::string::npos)
            << run.err;
        EXPECT_EQ(run.out, "");
    }
    EXPECT_FALSE(exists(out));
}

// Layers behind the front one do not shape the staged terrain: a layered project builds the
// bytes of the same project with its front layer alone, in every format. The natural terrain
// stands on every layer, so there the layers behind change the bytes.
TEST(ProjectBuild, ALayeredProjectBuildsFromItsFrontLayerInEveryFormat) {
    SketchModel model = ridgeAtStageTwo();
    const std::string single = savedProject(model, "single.mondrel");
    std::string message;
    for (const char* curve : {"/single_peak.c2d", "/jagged_range.c2d"}) {
        model.addLayer();
        ASSERT_TRUE(model.loadCurve(std::string(MONDREL_TEST_DATA_DIR) + curve, message));
    }
    model.setLayerVisible(1, false);
    const std::string layered = savedProject(model, "layered.mondrel");
    ASSERT_NE(slurp(layered), slurp(single));

    // The same name in two folders: an obj names its material file after itself.
    const std::string folders[2] = {scratchPath("single"), scratchPath("layered")};
    for (const std::string& folder : folders)
        ASSERT_EQ(mkdir(folder.c_str(), 0700), 0);
    for (const char* suffix : {".grd", ".asc", ".png", ".r16", ".exr", ".obj"}) {
        std::string built[2];
        for (int k = 0; k < 2; ++k) {
            const std::string out = folders[k] + "/out" + suffix;
            const BuildRun run =
                runBuild("--quiet " + quoted(k == 0 ? single : layered) + " " + quoted(out));
            ASSERT_EQ(run.status, 0) << suffix << ": " << run.err;
            built[k] = slurp(out);
        }
        EXPECT_FALSE(built[0].empty()) << suffix;
        EXPECT_TRUE(built[0] == built[1]) << suffix;
    }
    std::string natural[2];
    for (int k = 0; k < 2; ++k) {
        const std::string out = scratchPath("natural" + std::to_string(k) + ".asc");
        const BuildRun run = runBuild("--quiet --natural --size 65 " +
                                      quoted(k == 0 ? single : layered) + " " + quoted(out));
        ASSERT_EQ(run.status, 0) << run.err;
        natural[k] = slurp(out);
    }
    EXPECT_FALSE(natural[0] == natural[1]);
}
