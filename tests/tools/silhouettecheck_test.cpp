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
