// silhouette-check on the natural terrain of a bench skyline: straight on, the terrain shows
// the skyline it was built from, and not another one.
#include <gtest/gtest.h>

#include <memory>

#include "buildrunning.h"
#include "fileio/curvefile.h"
#include "project/projectfile.h"

namespace {

std::string benchSkyline(const std::string& name) {
    return quoted(MONDREL_SOURCE_DIR "/bench/natural/skylines/" + name);
}

BuildRun silhouetteCheck(const std::string& arguments) {
    return runShell(quoted(MONDREL_BIN_DIR "/silhouette-check") + " " + arguments);
}

TEST(SilhouetteCheck, TheNaturalTerrainHoldsItsDrawnSkylineStraightOn) {
    const std::string asc = scratchPath("alpine.asc");
    const BuildRun built =
        runBuild("--quiet --natural " + benchSkyline("jagged_alpine.c2d") + " " + quoted(asc));
    ASSERT_EQ(built.status, 0) << built.err;
    const std::string picture = scratchPath("alpine.png");
    const BuildRun held = silhouetteCheck("--skyline " + benchSkyline("jagged_alpine.c2d") +
                                          " --png " + quoted(picture) + " " + quoted(asc));
    EXPECT_EQ(held.status, 0) << held.out << held.err;
    EXPECT_NE(held.out.find("700 columns compared, 0 with no terrain in view"), std::string::npos)
        << held.out;
    EXPECT_NE(held.out.find("100.00% of the columns within 3.00 pixels"), std::string::npos)
        << held.out;
    EXPECT_TRUE(exists(picture));

    // The same skyline as a project's silhouette.
    std::vector<gmVector2> points;
    int declared = 0;
    ASSERT_EQ(readCurveFile(MONDREL_SOURCE_DIR "/bench/natural/skylines/jagged_alpine.c2d", points,
                            declared),
              CurveReadResult::ok);
    Project project;
    project.sketch.curve = project.sketch.silhouette =
        std::make_shared<const std::vector<gmVector2>>(points);
    const std::string saved = scratchPath("alpine.mondrel");
    std::string message;
    ASSERT_TRUE(writeProjectFile(saved, project, message)) << message;
    const BuildRun fromProject = silhouetteCheck("--skyline " + quoted(saved) + " " + quoted(asc));
    EXPECT_EQ(fromProject.status, 0) << fromProject.out << fromProject.err;
    EXPECT_EQ(fromProject.out, held.out);

    const BuildRun other =
        silhouetteCheck("--skyline " + benchSkyline("two_summits.c2d") + " " + quoted(asc));
    EXPECT_EQ(other.status, 1) << other.out << other.err;
    EXPECT_NE(other.out.find("check silhouette: "), std::string::npos);
    EXPECT_NE(other.out.find(" FAIL\n"), std::string::npos) << other.out;
}

// A project whose front range's divide runs north of the middle (about 15% of the raster's
// depth): the builder builds on the course, and the terrain still shows the drawn skyline.
TEST(SilhouetteCheck, ADivideCourseMovesTheSummitsAndTheSkylineHolds) {
    std::vector<gmVector2> points;
    int declared = 0;
    ASSERT_EQ(readCurveFile(MONDREL_SOURCE_DIR "/bench/natural/skylines/long_ridge.c2d", points,
                            declared),
              CurveReadResult::ok);
    Project project;
    project.sketch.curve = project.sketch.silhouette =
        std::make_shared<const std::vector<gmVector2>>(points);
    std::string message;
    std::string built[2];
    for (int k = 0; k < 2; ++k) {
        if (k == 1)
            project.sketch.layers[0].properties.divideCourse = {{points.front()[0], 470.0},
                                                                {points.back()[0], 470.0}};
        const std::string saved = scratchPath("course" + std::to_string(k) + ".mondrel");
        ASSERT_TRUE(writeProjectFile(saved, project, message)) << message;
        const std::string asc = scratchPath("course" + std::to_string(k) + ".asc");
        const BuildRun run =
            runBuild("--quiet --natural --stage 3 --size 257 " + quoted(saved) + " " + quoted(asc));
        ASSERT_EQ(run.status, 0) << run.err;
        const BuildRun held = silhouetteCheck("--skyline " + quoted(saved) + " " + quoted(asc));
        EXPECT_EQ(held.status, 0) << held.out << held.err;
        EXPECT_NE(held.out.find("100.00% of the columns within 3.00 pixels"), std::string::npos)
            << held.out;
        built[k] = slurp(asc);
    }
    EXPECT_NE(built[0], built[1]);
}

// A project's layers: the natural terrain shows their outline, each layer where it is the
// outline; the front layer's skyline alone is not what it shows.
TEST(SilhouetteCheck, TheLayersOfAProjectShowAsTheirOutline) {
    std::vector<gmVector2> front, far;
    int declared = 0;
    ASSERT_EQ(
        readCurveFile(MONDREL_SOURCE_DIR "/bench/natural/skylines/long_ridge.c2d", front, declared),
        CurveReadResult::ok);
    ASSERT_EQ(
        readCurveFile(MONDREL_SOURCE_DIR "/bench/natural/skylines/single_peak.c2d", far, declared),
        CurveReadResult::ok);
    // The peak raised behind the ridge's middle: its top shows above the ridge, its foot not.
    for (gmVector2& p : far)
        p = gmVector2(p[0] + 400.0, p[1] + 60.0);
    Project project;
    project.sketch.curve = project.sketch.silhouette =
        std::make_shared<const std::vector<gmVector2>>(front);
    LayerProperties behind = addedLayerProperties({project.sketch.layers.front().properties});
    behind.distance = 1500.0;
    behind.visible = false;
    project.sketch.layers.push_back({behind, std::make_shared<const std::vector<gmVector2>>(far)});
    const std::string layered = scratchPath("layered.mondrel");
    std::string message;
    ASSERT_TRUE(writeProjectFile(layered, project, message)) << message;
    const std::string asc = scratchPath("layered.asc");
    const BuildRun built =
        runBuild("--quiet --natural --stage 3 --size 257 " + quoted(layered) + " " + quoted(asc));
    ASSERT_EQ(built.status, 0) << built.err;

    const BuildRun seen =
        silhouetteCheck("--view 1601,600 --skyline " + quoted(layered) + " " + quoted(asc));
    EXPECT_EQ(seen.status, 0) << seen.out << seen.err;
    EXPECT_NE(seen.out.find("silhouette: 1601 columns compared"), std::string::npos) << seen.out;
    for (const char* layer : {"layer \"Layer 1\" where it is the outline: ",
                              "layer \"Layer 2\" where it is the outline: "})
        EXPECT_NE(seen.out.find(layer), std::string::npos) << seen.out;

    project.sketch.layers.pop_back();
    const std::string single = scratchPath("front.mondrel");
    ASSERT_TRUE(writeProjectFile(single, project, message)) << message;
    const BuildRun frontOnly =
        silhouetteCheck("--view 1601,600 --skyline " + quoted(single) + " " + quoted(asc));
    EXPECT_EQ(frontOnly.status, 1) << frontOnly.out << frontOnly.err;
}

} // namespace

// A skyline traced from a photograph, at 3 km before a camera of 50 degrees 200 units up:
// the terrain, seen from that camera, shows the skyline; straight on it does not.
TEST(SilhouetteCheck, APerspectiveProjectHoldsItsSkylineSeenFromItsCamera) {
    std::vector<gmVector2> points;
    int declared = 0;
    ASSERT_EQ(readCurveFile(MONDREL_SOURCE_DIR "/bench/natural/skylines/long_ridge.c2d", points,
                            declared),
              CurveReadResult::ok);
    Project project;
    project.sketch.curve = project.sketch.silhouette =
        std::make_shared<const std::vector<gmVector2>>(points);
    project.sketch.layers[0].properties.distance = 3000.0;
    SketchCamera& camera = project.sketch.camera;
    camera.kind = SketchCamera::Kind::perspective;
    camera.fieldOfView = 50.0;
    camera.eyeHeight = 200.0;
    camera.frameWidth = 1600.0;
    camera.frameHeight = 600.0;
    camera.horizon = 100.0;
    const std::string saved = scratchPath("photo.mondrel");
    std::string message;
    ASSERT_TRUE(writeProjectFile(saved, project, message)) << message;
    const std::string asc = scratchPath("photo.asc");
    const BuildRun built = runBuild("--quiet --stage 3 --natural --size 1025 --scale 2 " +
                                    quoted(saved) + " " + quoted(asc));
    ASSERT_EQ(built.status, 0) << built.err;

    const BuildRun seen =
        silhouetteCheck("--project " + quoted(saved) + " --scale 2 " + quoted(asc));
    EXPECT_EQ(seen.status, 0) << seen.out << seen.err;
    EXPECT_NE(seen.out.find("view: perspective, 1600 x 600 pixels, eye at 1600, -3000, 200"),
              std::string::npos)
        << seen.out;
    const BuildRun straight =
        silhouetteCheck("--skyline " + quoted(saved) + " --view 1600,600 --scale 2 " + quoted(asc));
    EXPECT_EQ(straight.status, 1) << straight.out << straight.err;
}
