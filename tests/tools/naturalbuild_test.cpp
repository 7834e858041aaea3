// mondrel-build --natural: the natural terrain in the heightmap formats, its settings in the
// metadata, its options refused where they do not apply, and the same bytes as the core's
// save that the window's export calls.
#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include "buildrunning.h"
#include "project/projectfile.h"
#include "sketch/sketchmodel.h"
#include "sketch/sketchsession.h"
#include "sketch/terrainsave.h"

TEST(NaturalBuild, SixteenBitFileNamesTheNaturalSettings) {
    const std::string png = scratchPath("peak.png");
    const BuildRun run = runBuild("--quiet --natural --size 129 --slope 0.7 --front-profile 2 "
                                  "--detail 0.3 --erosion 0.8 --erosion-steps 12 --seed 5 "
                                  "single_peak.c2d " +
                                  quoted(png));
    ASSERT_EQ(run.status, 0) << run.err;
    const nlohmann::json meta = nlohmann::json::parse(slurp(png + ".json"));
    EXPECT_EQ(meta["width"], 129);
    EXPECT_EQ(meta["heightRange"]["min"], 0.0);
    const nlohmann::json& natural = meta["source"]["natural"];
    EXPECT_EQ(natural["slope"], 0.7);
    EXPECT_EQ(natural["frontProfile"], 2.0);
    EXPECT_EQ(natural["detail"], 0.3);
    EXPECT_EQ(natural["erosion"], 0.8);
    EXPECT_EQ(natural["erosionSteps"], 12);
    EXPECT_EQ(natural["seed"], 5);
    EXPECT_EQ(meta["source"]["stage"], 3);
}

TEST(NaturalBuild, OptionsNeedNaturalAndNaturalNeedsAHeightmap) {
    const std::string asc = scratchPath("peak.asc");
    BuildRun run = runBuild("--slope 0.7 single_peak.c2d " + quoted(asc));
    EXPECT_EQ(run.status, 2);
    EXPECT_NE(run.err.find("--slope applies only to the natural terrain (add --natural)"),
              std::string::npos)
        << run.err;
    run = runBuild("--natural single_peak.c2d " + quoted(scratchPath("peak.grd")));
    EXPECT_EQ(run.status, 2);
    EXPECT_NE(run.err.find("--natural does not apply to the grd format"), std::string::npos)
        << run.err;
    run = runBuild("--natural --erosion 1.5 single_peak.c2d " + quoted(asc));
    EXPECT_EQ(run.status, 2) << run.err;
    EXPECT_FALSE(exists(asc));
}

TEST(NaturalBuild, BuilderFilePipeAndCoreSaveAreTheSameBytes) {
    const std::string asc = scratchPath("ridge.asc");
    const BuildRun run =
        runBuild("--quiet --natural --size 200x150 --seed 9 long_ridge.c2d " + quoted(asc));
    ASSERT_EQ(run.status, 0) << run.err;
    const std::string built = slurp(asc);
    ASSERT_EQ(built.rfind("ncols 200\nnrows 150\n", 0), 0u);

    const BuildRun piped =
        runBuild("--natural --format asc --size 200x150 --seed 9 long_ridge.c2d -");
    ASSERT_EQ(piped.status, 0) << piped.err;
    EXPECT_TRUE(piped.out == built);

    // The window's way there: load the curve, "&Next" through the stages with the default
    // detail randomness, then the shared save.
    SketchSession session;
    session.setPrinting(false);
    std::string message;
    ASSERT_TRUE(session.openCurve(std::string(MONDREL_TEST_DATA_DIR) + "/long_ridge.c2d", message))
        << message;
    for (int press = 0; press < 3; ++press)
        ASSERT_TRUE(session.next(message)) << message;
    ASSERT_EQ(session.stage(), Stage::rowRefinement);
    const SketchModel& model = session.model();
    HeightmapExport settings;
    settings.format = HeightmapFormat::asc;
    settings.raster.width = 200;
    settings.raster.height = 150;
    NaturalSettings natural;
    natural.seed = 9;
    const std::string saved = scratchPath("window.asc");
    ASSERT_TRUE(saveNaturalTerrainAs(model, saved, settings, natural, message)) << message;
    EXPECT_TRUE(slurp(saved) == built);

    settings.format = HeightmapFormat::grd;
    EXPECT_FALSE(saveNaturalTerrainAs(model, scratchPath("ridge.grd"), settings, natural, message));
}

// A project with the natural terrain on: the window's "Export Heightmap..." (the session's
// export) and mondrel-build on the saved project write the same bytes; the command line's
// settings take the project's place one by one.
TEST(NaturalBuild, ProjectsCarryTheNaturalTerrainToTheBuilder) {
    SketchSession session;
    session.setPrinting(false);
    std::string message;
    ASSERT_TRUE(session.openCurve(std::string(MONDREL_TEST_DATA_DIR) + "/single_peak.c2d", message))
        << message;
    for (int press = 0; press < 3; ++press)
        ASSERT_TRUE(session.next(message)) << message;
    NaturalSettings natural;
    natural.slope = 0.8;
    natural.erosionSteps = 10;
    natural.seed = 21;
    ASSERT_TRUE(session.setNaturalSettings(natural, message)) << message;
    session.setNaturalTerrain(true);
    const std::string project = scratchPath("peak.mondrel");
    ASSERT_TRUE(writeProjectFile(project, session.project(), message)) << message;

    HeightmapExport settings;
    settings.format = HeightmapFormat::asc;
    settings.raster.width = 120;
    settings.raster.height = 90;
    const std::string window = scratchPath("window.asc");
    ASSERT_TRUE(session.exportHeightmap(window, settings, "mondrel", message)) << message;

    const std::string built = scratchPath("built.asc");
    BuildRun run = runBuild("--quiet --size 120x90 " + quoted(project) + " " + quoted(built));
    ASSERT_EQ(run.status, 0) << run.err;
    EXPECT_TRUE(slurp(built) == slurp(window));

    // --seed over the project's seed: the builder's file is the window's with that seed.
    run = runBuild("--quiet --natural --seed 22 --size 120x90 " + quoted(project) + " " +
                   quoted(built));
    ASSERT_EQ(run.status, 0) << run.err;
    natural.seed = 22;
    ASSERT_TRUE(session.setNaturalSettings(natural, message)) << message;
    ASSERT_TRUE(session.exportHeightmap(window, settings, "mondrel", message)) << message;
    EXPECT_TRUE(slurp(built) == slurp(window));

    // Switched off, the project builds the resampled grid again.
    session.setNaturalTerrain(false);
    ASSERT_TRUE(writeProjectFile(project, session.project(), message)) << message;
    run = runBuild("--quiet --size 120x90 " + quoted(project) + " " + quoted(built));
    ASSERT_EQ(run.status, 0) << run.err;
    EXPECT_FALSE(slurp(built) == slurp(window));
}

// Regression: tiles without a size were refused with a size the user never gave.
TEST(NaturalBuild, TilesWithoutASizeTakeTheSmallestSetHoldingTheTerrain) {
    const std::string png = scratchPath("tiles.png");
    const BuildRun run = runBuild("-q --natural --tiles 2x1 single_peak.c2d " + quoted(png));
    ASSERT_EQ(run.status, 0) << run.err;
    const nlohmann::json meta = nlohmann::json::parse(slurp(png + ".json"));
    const int side = meta["tiles"]["side"];
    EXPECT_EQ(meta["width"], 2 * (side - 1) + 1);
    EXPECT_EQ(meta["height"], side);
    EXPECT_TRUE(exists(tileFileName(png, 1, 0)));
}

// A layered project: every layer, a hidden one too, shapes the natural terrain, and the
// window's export and the builder's still write the same bytes.
TEST(NaturalBuild, LayeredProjectsBuildTheSameFromTheBuilderAndTheWindow) {
    SketchSession session;
    session.setPrinting(false);
    std::string message;
    const std::string data = MONDREL_TEST_DATA_DIR;
    ASSERT_TRUE(session.openCurve(data + "/single_peak.c2d", message)) << message;
    ASSERT_EQ(session.addLayer(), 1);
    ASSERT_TRUE(session.openCurve(data + "/jagged_range.c2d", message)) << message;
    ASSERT_EQ(session.setLayerDistance(1, 1300.0), 1);
    session.setLayerVisible(1, false);
    session.selectLayer(0);
    for (int press = 0; press < 3; ++press)
        ASSERT_TRUE(session.next(message)) << message;
    session.setNaturalTerrain(true);
    const std::string project = scratchPath("layered.mondrel");
    ASSERT_TRUE(writeProjectFile(project, session.project(), message)) << message;

    HeightmapExport settings;
    settings.format = HeightmapFormat::asc;
    settings.raster.width = 120;
    settings.raster.height = 100;
    settings.raster.scale = 2.0;
    const std::string window = scratchPath("layered_window.asc");
    ASSERT_TRUE(session.exportHeightmap(window, settings, "mondrel", message)) << message;
    const std::string built = scratchPath("layered_built.asc");
    const BuildRun run =
        runBuild("--quiet --size 120x100 --scale 2 " + quoted(project) + " " + quoted(built));
    ASSERT_EQ(run.status, 0) << run.err;
    EXPECT_TRUE(slurp(built) == slurp(window));

    // Drawn in perspective, each layer placed at its own distance: still the same bytes.
    SketchCamera camera;
    camera.kind = SketchCamera::Kind::perspective;
    camera.eyeHeight = 20.0;
    camera.horizon = 100.0;
    ASSERT_TRUE(session.setCamera(camera, message)) << message;
    const std::string project3d = scratchPath("layered_perspective.mondrel");
    ASSERT_TRUE(writeProjectFile(project3d, session.project(), message)) << message;
    const std::string window3d = scratchPath("layered_perspective_window.asc");
    ASSERT_TRUE(session.exportHeightmap(window3d, settings, "mondrel", message)) << message;
    const std::string built3d = scratchPath("layered_perspective_built.asc");
    const BuildRun run3d =
        runBuild("--quiet --size 120x100 --scale 2 " + quoted(project3d) + " " + quoted(built3d));
    ASSERT_EQ(run3d.status, 0) << run3d.err;
    EXPECT_TRUE(slurp(built3d) == slurp(window3d));
    EXPECT_FALSE(slurp(built3d) == slurp(built));
    ASSERT_TRUE(session.setCamera(SketchCamera{}, message)) << message;

    // The layer behind, 150 pixels deep at this scale, is in it: without it the bytes differ.
    const std::vector<NaturalRange> ranges = session.model().naturalRanges(2.0);
    ASSERT_EQ(ranges.size(), 2u);
    EXPECT_EQ(ranges[1].depth, 150.0);
    ASSERT_TRUE(session.removeLayer(1));
    const std::string single = scratchPath("single_window.asc");
    ASSERT_TRUE(session.exportHeightmap(single, settings, "mondrel", message)) << message;
    EXPECT_FALSE(slurp(single) == slurp(built));
}
