// mondrel-build writing heightmaps: the format from the suffix or --format, size, scale and
// height range, the metadata file, pipes, and the terrain's depth in every export.
#include <gtest/gtest.h>
#include <nlohmann/json.hpp>
#include <sstream>

#include "buildrunning.h"
#include "heightmap/heightmapexport.h"

namespace {

const std::size_t npos = std::string::npos;

unsigned bigEndian32(const std::string& bytes, std::size_t at) {
    unsigned value = 0;
    for (std::size_t k = 0; k < 4; ++k)
        value = value << 8 | static_cast<unsigned char>(bytes[at + k]);
    return value;
}

// A keyword's value in an ASCII grid header.
double headerValue(const std::string& grid, const std::string& keyword) {
    std::istringstream in(grid.substr(grid.find(keyword + " ") + keyword.size()));
    double value = 0.0;
    in >> value;
    return value;
}

} // namespace

TEST(HeightmapBuild, SixteenBitFileCarriesItsScaleAndSourceAndClampingIsSaid) {
    const std::string png = scratchPath("peak.png");
    const BuildRun run = runBuild("--quiet --size 513x257 --scale 2 --height-range 0:100 "
                                  "--detail-randomness 35 single_peak.c2d " +
                                  quoted(png));
    ASSERT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(run.out, "");
    // At scale 2 the peak rises far above 100 world units.
    EXPECT_EQ(run.err.rfind("mondrel-build: ", 0), 0u) << run.err;
    EXPECT_NE(run.err.find(" cells lay outside the height range 0:100 and were clamped to it\n"),
              npos)
        << run.err;

    const std::string bytes = slurp(png);
    ASSERT_GT(bytes.size(), 26u);
    EXPECT_EQ(bigEndian32(bytes, 16), 513u);
    EXPECT_EQ(bigEndian32(bytes, 20), 257u);
    EXPECT_EQ(bytes[24], 16) << "bit depth";
    EXPECT_EQ(bytes[25], 0) << "gray, no alpha";

    const nlohmann::json meta = nlohmann::json::parse(slurp(png + ".json"));
    EXPECT_EQ(meta["width"], 513);
    EXPECT_EQ(meta["height"], 257);
    EXPECT_EQ(meta["heightRange"]["min"], 0.0);
    EXPECT_EQ(meta["heightRange"]["max"], 100.0);
    EXPECT_GT(meta["clampedCells"].get<int>(), 0);
    EXPECT_EQ(meta["scale"], 2.0);
    EXPECT_EQ(meta["source"]["input"], "single_peak.c2d");
    EXPECT_EQ(meta["source"]["stage"], 3);
    EXPECT_EQ(meta["source"]["settings"]["detailRandomness"], 35);
}

TEST(HeightmapBuild, FormatFollowsTheSuffixOrTheOptionAndOnlyTextGoesDownAPipe) {
    const std::string asc = scratchPath("ridge.asc");
    const std::string txt = scratchPath("ridge.txt");
    const std::string r16 = scratchPath("ridge.raw");
    ASSERT_EQ(runBuild("--quiet long_ridge.c2d " + quoted(asc)).status, 0);
    ASSERT_EQ(runBuild("--quiet --format asc long_ridge.c2d " + quoted(txt)).status, 0);
    const BuildRun piped = runBuild("--format asc long_ridge.c2d -");
    ASSERT_EQ(piped.status, 0) << piped.err;
    EXPECT_EQ(slurp(asc).rfind("ncols ", 0), 0u);
    EXPECT_EQ(slurp(txt), slurp(asc));
    EXPECT_EQ(piped.out, slurp(asc)) << "nothing but the grid on standard output";

    ASSERT_EQ(runBuild("--quiet --size 1025 long_ridge.c2d " + quoted(r16)).status, 0);
    EXPECT_EQ(slurp(r16).size(), 1025u * 1025u * 2u);
    EXPECT_TRUE(exists(r16 + ".json"));

    for (const char* format : {"png16", "r16", "exr"}) {
        const BuildRun refused = runBuild(std::string("--format ") + format + " long_ridge.c2d -");
        EXPECT_EQ(refused.status, 2) << format;
        EXPECT_EQ(refused.out, "") << format;
        EXPECT_NE(refused.err.find("cannot go to standard output"), npos) << refused.err;
    }
}

// Refining used to lay the rows a refined column spacing (2 pixels) apart: every stage-3
// export was an eighth as deep as the terrain the user had shaped in stage 2.
TEST(HeightmapBuild, StageThreeExportsAreAsDeepAsStageTwo) {
    const auto depth = [](const std::string& grid) {
        return (headerValue(grid, "nrows") - 1) * headerValue(grid, "cellsize");
    };
    const std::string shaped = scratchPath("shaped.asc");
    const std::string refined = scratchPath("refined.asc");
    ASSERT_EQ(runBuild("--quiet --stage 2 single_peak.c2d " + quoted(shaped)).status, 0);
    ASSERT_EQ(runBuild("--quiet --stage 3 single_peak.c2d " + quoted(refined)).status, 0);
    const std::string before = slurp(shaped), after = slurp(refined);
    ASSERT_LT(headerValue(after, "cellsize"), headerValue(before, "cellsize"));
    EXPECT_NEAR(depth(after), depth(before), headerValue(before, "cellsize"));

    const BuildRun gdal = runShell("gdalinfo " + quoted(refined));
    EXPECT_EQ(gdal.status, 0) << gdal.err;
    EXPECT_NE(gdal.out.find("Driver: AAIGrid"), npos) << gdal.out;
}

// File names may hold any bytes: one that is not UTF-8 once ended the builder with an
// uncaught exception from the metadata writer, leaving temporary files behind.
TEST(HeightmapBuild, FileNamesThatAreNotUtf8AreWritten) {
    const std::string png = scratchPath("pe\xff"
                                        "ak.png");
    const BuildRun run = runBuild("--quiet single_peak.c2d " + quoted(png));
    EXPECT_EQ(run.status, 0) << run.err;
    EXPECT_TRUE(exists(png));
    EXPECT_TRUE(exists(png + ".json"));
}

TEST(HeightmapBuild, PlacedTilesWithMapsAreReadByGdal) {
    const std::string png = scratchPath("placed.png");
    const std::string normals = scratchPath("normals.png"), splat = scratchPath("splat.png");
    const BuildRun run = runBuild("--tiles 2x1 --size 129x65 --origin=-1000,2000 --crs EPSG:32632 "
                                  "--normal-map " +
                                  quoted(normals) + " --splat-map " + quoted(splat) +
                                  " single_peak.c2d " + quoted(png));
    ASSERT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(run.out + run.err, "") << "quiet on success";
    const nlohmann::json meta = nlohmann::json::parse(slurp(png + ".json"));
    EXPECT_EQ(meta["crs"], "EPSG:32632");
    EXPECT_EQ(meta["origin"], nlohmann::json::array({-1000.0, 2000.0}));
    ASSERT_EQ(meta["tiles"]["files"].size(), 2u);
    const std::string east = tileFileName(png, 1, 0);
    const BuildRun gdal = runShell("gdalinfo " + quoted(east));
    EXPECT_NE(gdal.out.find("Size is 65, 65"), npos) << gdal.out;
    EXPECT_NE(gdal.out.find("UTM zone 32N"), npos) << gdal.out;
    EXPECT_NE(gdal.out.find("Offset: "), npos) << gdal.out;
    EXPECT_TRUE(exists(worldFileName(east)));
    EXPECT_NE(runShell("gdalinfo " + quoted(normals)).out.find("Size is 129, 65"), npos);
    EXPECT_NE(runShell("gdalinfo " + quoted(splat)).out.find("Band 4"), npos);
}

TEST(HeightmapBuild, AnExrIsZipCompressedUnlessToldOtherwise) {
    const std::string zip = scratchPath("zip.exr"), plain = scratchPath("plain.exr");
    ASSERT_EQ(runBuild("--size 257 long_ridge.c2d " + quoted(zip)).status, 0);
    ASSERT_EQ(runBuild("--size 257 --exr-compression none long_ridge.c2d " + quoted(plain)).status,
              0);
    EXPECT_NE(runShell("exrheader " + quoted(zip)).out.find("compression): zip"), npos);
    EXPECT_NE(runShell("exrheader " + quoted(plain)).out.find("compression): none"), npos);
    EXPECT_LT(slurp(zip).size(), slurp(plain).size() * 3 / 4);
    EXPECT_EQ(nlohmann::json::parse(slurp(zip + ".json"))["width"], 257);
}

// Regression: sidecars, maps and tiles named like another file of the set replaced it, and the
// export said it had succeeded.
TEST(HeightmapBuild, TwoFilesOfOneSetThatAreOneFileAreAUsageErrorBeforeAnythingIsWritten) {
    const std::string folder = scratchPath("set");
    ASSERT_EQ(
        runShell("mkdir " + quoted(folder) + " && ln -s m.png " + quoted(folder) + "/l.png").status,
        0);
    const std::string f = quoted(folder) + "/";
    const std::string cases[][2] = {
        {"--format asc --crs EPSG:4326 single_peak.c2d " + f + "x.prj", "as the reference system"},
        {"--normal-map " + f + "./m.png --splat-map " + f + "l.png single_peak.c2d " + f + "h.png",
         "as the splat map"},
        {"--tiles 2x1 --normal-map " + f + "t_x1_y0.png single_peak.c2d " + f + "t.png",
         "as the tile x1 y0 and as the normal map"},
    };
    for (const auto& c : cases) {
        const BuildRun run = runBuild("-q " + c[0]);
        EXPECT_EQ(run.status, 2) << c[0];
        EXPECT_NE(run.err.find("twice: "), npos) << run.err;
        EXPECT_NE(run.err.find(c[1]), npos) << run.err;
        EXPECT_EQ(runShell("ls -A " + quoted(folder)).out, "l.png\n") << c[0];
    }
}

TEST(HeightmapBuild, AFullStandardOutputIsSaidWithTheSystemsReason) {
    const BuildRun run = runBuild("--format asc single_peak.c2d - >/dev/full");
    EXPECT_EQ(run.status, 1);
    EXPECT_EQ(run.err, "mondrel-build: could not write the terrain to standard output: No space "
                       "left on device\n");
}

// Regression: an export killed outright left its temporary files beside the set for ever.
TEST(HeightmapBuild, AnExportKilledOutrightLeavesNothingTheNextOneDoesNotRemove) {
    const std::string folder = scratchPath("killed");
    const std::string f = quoted(folder) + "/";
    const std::string builder = quoted(MONDREL_BIN_DIR "/mondrel-build");
    const BuildRun killed = runShell(
        "mkdir " + quoted(folder) + " && { " + builder + " -q --size 8000 --normal-map " + f +
        "n.png single_peak.c2d " + f + "h.png & pid=$!; for i in $(seq 200); do " + "ls -A " + f +
        " | grep -q mondrel && break; sleep 0.05; done; sleep 0.2; kill -9 $pid; " +
        "wait $pid; ls -A " + f + " | grep -c '^\\.mondrel-'; }");
    EXPECT_GT(std::stoi("0" + killed.out), 0) << "the kill left temporary files";
    ASSERT_EQ(
        runBuild("-q --size 65 --normal-map " + f + "n.png single_peak.c2d " + f + "h.png").status,
        0);
    EXPECT_EQ(runShell("ls -A " + f).out, "h.png\nh.png.aux.xml\nh.png.json\nn.png\n");
}

// Regression: two builders writing one set at once could leave a mix of both.
TEST(HeightmapBuild, BuildersWritingOneSetAtOnceLeaveOneWholeSet) {
    const std::string folder = scratchPath("pairs");
    const std::string f = quoted(folder) + "/";
    const std::string builder = quoted(MONDREL_BIN_DIR "/mondrel-build");
    for (int pair = 0; pair < 3; ++pair) {
        ASSERT_EQ(runShell("mkdir -p " + f + " && " + builder + " -q --size 300x200 --normal-map " +
                           f + "n.png single_peak.c2d " + f + "h.png & " + builder +
                           " -q --size 200x300 --normal-map " + f + "n.png single_peak.c2d " + f +
                           "h.png; wait")
                      .status,
                  0);
        const std::string heightmap = slurp(folder + "/h.png"), normal = slurp(folder + "/n.png");
        const nlohmann::json meta = nlohmann::json::parse(slurp(folder + "/h.png.json"));
        EXPECT_EQ(bigEndian32(heightmap, 16), bigEndian32(normal, 16));
        EXPECT_EQ(bigEndian32(heightmap, 16), meta["width"]);
    }
}
