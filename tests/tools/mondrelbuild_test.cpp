// mondrel-build as scripts use it: good runs, the grid on standard output, and failures.
#include <gtest/gtest.h>

#include "buildrunning.h"
#include "tools/buildoptions.h"

namespace {

int countLines(const std::string& text) {
    int lines = 0;
    for (char c : text)
        lines += c == '\n';
    return lines;
}

} // namespace

TEST(MondrelBuild, IsQuietOnSuccessAndPrintsTheWindowsLinesWhenVerbose) {
    const std::string quiet = scratchPath("quiet.grd");
    const BuildRun silent = runBuild("--stage 2 single_peak.c2d " + quoted(quiet));
    ASSERT_EQ(silent.status, 0) << silent.err;
    EXPECT_EQ(silent.out + silent.err, "") << "no terminal: no progress either";

    const std::string grid = scratchPath("peak.grd");
    const BuildRun run = runBuild("--verbose --stage 2 single_peak.c2d " + quoted(grid));
    ASSERT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(run.err, "");
    EXPECT_EQ(run.out.substr(0, 13), "Loading file\n");
    EXPECT_NE(run.out.find("401 of 401 curve points were found\n"), std::string::npos);
    EXPECT_NE(run.out.find("Details file " + grid + " has been written successfully\n"),
              std::string::npos);
    EXPECT_EQ(slurp(grid).substr(0, 10), "ncols\t26\nn");
}

// A damaged curve file builds a different terrain; the user must hear of it even when quiet.
TEST(MondrelBuild, SaysWhenTheCurveFileHeldFewerPointsThanItDeclared) {
    const std::string curve = scratchPath("short.c2d");
    std::string text = "500 //size\n";
    for (int x = 0; x < 300; ++x)
        text += std::to_string(x) + " " + std::to_string(100 + x % 37) + "\n";
    text += "30,5 40,0\n";
    {
        std::FILE* f = std::fopen(curve.c_str(), "w");
        std::fputs(text.c_str(), f);
        std::fclose(f);
    }
    const BuildRun run = runBuild("--quiet " + quoted(curve) + " " + quoted(scratchPath("o.grd")));
    EXPECT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(run.err, "mondrel-build: only 300 of the 500 points declared in " + curve +
                           " could be read\n");
}

TEST(MondrelBuild, DashWritesOnlyTheGridToStandardOutput) {
    const std::string grid = scratchPath("ridge.grd");
    const BuildRun toFile = runBuild("--quiet --stage 3 long_ridge.c2d " + quoted(grid));
    const BuildRun toPipe = runBuild("--stage 3 long_ridge.c2d -");
    ASSERT_EQ(toFile.status, 0) << toFile.err;
    ASSERT_EQ(toPipe.status, 0) << toPipe.err;
    EXPECT_EQ(toFile.out, "");
    EXPECT_EQ(toPipe.err, "");
    EXPECT_EQ(toPipe.out, slurp(grid));
}

TEST(MondrelBuild, HelpDescribesTheOptions) {
    const BuildRun run = runBuild("--help");
    EXPECT_EQ(run.status, 0);
    EXPECT_EQ(run.out, buildUsage());
    for (const char* option : {"--stage",
                               "--profile-randomness",
                               "--drop-off-steps",
                               "--detail-randomness",
                               "--global-profile",
                               "--profile COLUMN",
                               "--quiet",
                               "standard output",
                               "--format NAME",
                               "--size WxH",
                               "--scale M",
                               "--height-range MIN:MAX",
                               "png16",
                               ".r16",
                               "--origin X,Y",
                               "--crs CRS",
                               "--exr-compression",
                               "--normal-map FILE.png",
                               "--splat-map FILE.png",
                               "--tiles NxM",
                               "-q, --quiet",
                               "-v, --verbose",
                               "30 to 45 degrees",
                               "+Y up"})
        EXPECT_NE(run.out.find(option), std::string::npos) << option;
}

TEST(MondrelBuild, ShortHelpAndVersion) {
    const BuildRun shortHelp = runBuild("-h");
    EXPECT_EQ(shortHelp.status, 0);
    EXPECT_EQ(shortHelp.out, buildUsage());
    const BuildRun version = runBuild("--version");
    EXPECT_EQ(version.status, 0);
    EXPECT_EQ(version.out.rfind("mondrel-build ", 0), 0u) << version.out;
}

struct Failure {
    const char* what;
    const char* arguments; // "%" stands for the output file, appended when absent
    const char* says;      // part of the first line on standard error
    int status = 1;        // 1: the build failed; 2: a usage error, followed by the usage line
};

class MondrelBuildFailure : public testing::TestWithParam<Failure> {};

TEST_P(MondrelBuildFailure, SaysWhatIsWrongOnOneLineAndWritesNothing) {
    const Failure& f = GetParam();
    const std::string grid = scratchPath("out.grd");
    std::string arguments = f.arguments;
    const std::size_t at = arguments.find('%');
    if (at == std::string::npos)
        arguments += " " + quoted(grid);
    else
        arguments.replace(at, 1, quoted(grid));
    const BuildRun run = runBuild(arguments);
    EXPECT_EQ(run.status, f.status);
    EXPECT_EQ(countLines(run.err), f.status == 2 ? 2 : 1) << run.err;
    EXPECT_EQ(run.err.rfind("mondrel-build: ", 0), 0u) << run.err;
    if (f.status == 2) {
        EXPECT_NE(run.err.find("\n" + buildUsageLine() + "\n"), std::string::npos) << run.err;
    }
    EXPECT_NE(run.err.find(f.says), std::string::npos) << run.err;
    EXPECT_FALSE(exists(grid));
}

INSTANTIATE_TEST_SUITE_P(
    Inputs, MondrelBuildFailure,
    testing::Values(
        Failure{"missing_curve", "no-such-curve.c2d", "no-such-curve.c2d was not found"},
        Failure{"not_a_curve_file", "golden/cases.txt", "is not a curve file"},
        Failure{"input_is_a_folder", "golden", "*** Error *** golden is a folder"},
        Failure{"too_short", "too_short.c2d", "too short to build a terrain"},
        Failure{"column_outside_grid", "--profile 26:profile_concave.c2d single_peak.c2d",
                "column 26 is outside the grid (columns 0 to 25)"},
        Failure{"missing_profile", "--global-profile nothing.c2d single_peak.c2d", "nothing.c2d"},
        Failure{"profile_outside_unit_square", "--profile 3:single_peak.c2d single_peak.c2d",
                "outside the unit square"},
        Failure{"bad_option", "--frobnicate single_peak.c2d", "--frobnicate", 2},
        Failure{"stage_out_of_range", "--stage 4 single_peak.c2d", "--stage", 2},
        Failure{"stage_not_a_number", "--stage=two single_peak.c2d", "--stage", 2},
        Failure{"randomness_out_of_range", "--profile-randomness 100 single_peak.c2d",
                "--profile-randomness", 2},
        Failure{"detail_randomness_negative", "--detail-randomness -1 single_peak.c2d",
                "--detail-randomness", 2},
        Failure{"drop_off_steps_too_many", "--drop-off-steps 101 single_peak.c2d",
                "--drop-off-steps", 2},
        Failure{"profile_without_file", "--profile 5: single_peak.c2d", "--profile", 2},
        Failure{"profile_without_column", "--profile profile_concave.c2d single_peak.c2d",
                "--profile", 2},
        Failure{"value_missing", "single_peak.c2d % --stage", "--stage", 2},
        Failure{"output_missing", "--quiet %", "expected INPUT and OUTPUT", 2},
        Failure{"unknown_format", "--format tiff single_peak.c2d", "--format", 2},
        Failure{"size_too_large", "--format asc --size 16386 single_peak.c2d", "--size", 2},
        Failure{"scale_zero", "--format asc --scale 0 single_peak.c2d", "--scale", 2},
        Failure{"height_range_empty", "--format r16 --height-range 9:9 single_peak.c2d", "is empty",
                2},
        Failure{"height_range_on_asc", "--format asc --height-range 0:9 single_peak.c2d", "16-bit",
                2},
        Failure{"scale_on_grd", "--scale 2 single_peak.c2d", "grd", 2},
        Failure{"size_on_obj", "--format obj --size 513 single_peak.c2d", "obj", 2},
        Failure{"stage_twice", "--stage 2 --stage=3 single_peak.c2d", "--stage was given 2 times",
                2},
        Failure{"crs_code_unknown_for_a_grid", "--format asc --crs EPSG:99999 single_peak.c2d",
                "PROJ's database", 2},
        Failure{"crs_a_folder", "--format png --crs golden single_peak.c2d", "is a folder", 2},
        Failure{"crs_a_device", "--format png --crs /dev/zero single_peak.c2d", "is a device", 2},
        Failure{"crs_missing_file", "--format png --crs no.prj single_peak.c2d",
                "no.prj given to --crs: No such file or directory", 2},
        Failure{"slope_nan", "--format png --natural --slope nan single_peak.c2d", "--slope", 2},
        Failure{"front_profile_nan", "--format png --natural --front-profile NaN single_peak.c2d",
                "--front-profile", 2},
        Failure{"detail_nan", "--format png --natural --detail nan single_peak.c2d", "--detail", 2},
        Failure{"erosion_nan", "--format png --natural --erosion -nan single_peak.c2d", "--erosion",
                2},
        Failure{"crs_not_a_system", "--format png --crs utm single_peak.c2d", "--crs", 2},
        Failure{"origin_on_raw", "--format r16 --origin 1,2 single_peak.c2d", "--origin", 2},
        Failure{"origin_not_two_numbers", "--format png --origin 1 single_peak.c2d", "X,Y", 2},
        Failure{"tiles_on_a_mesh", "--format obj --tiles 2x2 single_peak.c2d", "--tiles", 2},
        Failure{"tiles_that_do_not_fit", "--format png --tiles 2x2 --size 1000 single_peak.c2d",
                "1025x1025", 2},
        Failure{"normal_map_not_png", "--format png --normal-map n.tif single_peak.c2d", ".png", 2},
        Failure{"compression_on_png", "--format png --exr-compression none single_peak.c2d", "exr",
                2},
        Failure{"scale_overflowing_the_mesh", "--format obj --scale 1e37 single_peak.c2d",
                "too large", 1},
        Failure{"scale_underflowing_the_raster", "--format asc --scale 1e-45 single_peak.c2d",
                "too small", 1}),
    [](const testing::TestParamInfo<Failure>& param) { return std::string(param.param.what); });

TEST(MondrelBuildFailure, UnwritableOutputIsReportedAndLeavesNothing) {
    const std::string grid = scratchPath("missing-folder") + "/out.grd";
    const BuildRun run = runBuild("single_peak.c2d " + quoted(grid));
    EXPECT_EQ(run.status, 1);
    EXPECT_EQ(run.out, "") << "found before the build starts";
    EXPECT_EQ(run.err, "mondrel-build: cannot write " + grid + ": No such file or directory\n");
}

TEST(MondrelBuildFailure, AnOutputThatIsTheInputOrHasAnUnknownSuffixIsRefused) {
    const std::string curve = scratchPath("same.c2d");
    const std::string link = scratchPath("link.grd");
    ASSERT_EQ(runShell("cp single_peak.c2d " + quoted(curve) + " && ln -s " + quoted(curve) + " " +
                       quoted(link))
                  .status,
              0);
    const std::string before = slurp(curve);
    for (const std::string& output : {curve, link}) {
        const BuildRun run = runBuild("--format grd " + quoted(curve) + " " + quoted(output));
        EXPECT_EQ(run.status, 1);
        EXPECT_NE(run.err.find("is the input file"), std::string::npos) << run.err;
    }
    EXPECT_EQ(slurp(curve), before);

    // Regression: a suffix no format knows wrote a grd that the tool it was meant for refused.
    const std::string tif = scratchPath("peak.tif");
    const BuildRun unknown = runBuild("single_peak.c2d " + quoted(tif));
    EXPECT_EQ(unknown.status, 2);
    EXPECT_NE(unknown.err.find("name the format with --format"), std::string::npos) << unknown.err;
    EXPECT_FALSE(exists(tif));
    for (const char* name : {"PNG16", "png", "Raw"}) {
        const BuildRun named =
            runBuild("--format " + std::string(name) + " single_peak.c2d " + quoted(tif));
        EXPECT_EQ(named.status, 0) << name << ": " << named.err;
    }
}

TEST(MondrelBuildFailure, CurveWithoutPointsIsRefused) {
    const std::string curve = scratchPath("empty.c2d");
    {
        std::FILE* f = std::fopen(curve.c_str(), "w");
        std::fputs("4 //size\n", f);
        std::fclose(f);
    }
    const std::string grid = scratchPath("out.grd");
    const BuildRun run = runBuild(quoted(curve) + " " + quoted(grid));
    EXPECT_EQ(run.status, 1);
    EXPECT_EQ(run.err, "mondrel-build: " + curve + " holds no curve points\n");
    EXPECT_FALSE(exists(grid));
}

// A full disk, imitated by a file size limit: the previous grid must survive intact.
TEST(MondrelBuildFailure, FailedWriteKeepsThePreviousGrid) {
    const std::string grid = scratchPath("previous.grd");
    {
        std::FILE* f = std::fopen(grid.c_str(), "w");
        std::fputs("previous\n", f);
        std::fclose(f);
    }
    const std::string command =
        "trap '' XFSZ; ulimit -f 8; exec " + quoted(MONDREL_BIN_DIR "/mondrel-build") +
        " --quiet " + quoted(MONDREL_TEST_DATA_DIR "/long_ridge.c2d") + " " + quoted(grid);
    const BuildRun limited = runShell(command);
    EXPECT_EQ(limited.status, 1);
    EXPECT_EQ(limited.err, "mondrel-build: could not write " + grid + ": File too large\n");
    EXPECT_EQ(slurp(grid), "previous\n");
}

TEST(BuildOptions, ReadsEveryOptionInBothSpellings) {
    BuildOptions options;
    std::string error;
    ASSERT_TRUE(
        parseBuildOptions({"--stage=2", "--profile-randomness", "40", "--drop-off-steps", "-3",
                           "--detail-randomness=99", "--global-profile", "g.c2d", "--profile",
                           "7:a.c2d", "--profile=2:b.c2d", "--quiet", "in.c2d", "-"},
                          options, error))
        << error;
    EXPECT_EQ(options.stage, 2);
    EXPECT_EQ(options.profileRandomness, 40);
    EXPECT_EQ(options.dropOffSteps, -3);
    EXPECT_EQ(options.detailRandomness, 99);
    EXPECT_EQ(options.globalProfileFile, "g.c2d");
    ASSERT_EQ(options.columnProfiles.size(), 2u);
    EXPECT_EQ(options.columnProfiles[0].column, 7);
    EXPECT_EQ(options.columnProfiles[1].file, "b.c2d");
    EXPECT_TRUE(options.quiet);
    EXPECT_EQ(options.inputFile, "in.c2d");
    EXPECT_TRUE(options.toStandardOutput());

    BuildOptions defaults;
    ASSERT_TRUE(parseBuildOptions({"in.c2d", "out.grd"}, defaults, error));
    EXPECT_EQ(defaults.stage, 3);
    EXPECT_EQ(defaults.profileRandomness, 0);
    EXPECT_EQ(defaults.dropOffSteps, 0);
    EXPECT_EQ(defaults.detailRandomness, 20);
    EXPECT_FALSE(defaults.quiet);
}
