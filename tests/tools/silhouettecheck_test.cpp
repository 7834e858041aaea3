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

} // namespace
