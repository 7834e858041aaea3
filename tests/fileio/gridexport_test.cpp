// Exporting the terrain grid: layout, number format and failures.
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <sstream>
#include <sys/stat.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include "../sketch/filetesting.h"
#include "../sketch/modeltesting.h"
#include "fileio/gridexport.h"

using modeltesting::quietModel;
using modeltesting::readFile;
using modeltesting::temporaryPath;
using modeltesting::writeFile;

namespace {

const std::string header = "ncols\t40\n"
                           "nrows\t51\n"
                           "xllcorner\t0\n"
                           "yllcorner\t0\n"
                           "xdim\t0.000092592592592593\n"
                           "ydim\t0.000092592592592593\n"
                           "NODATA_value\t-9999\n";

// A terrain of 40 columns from a flat curve loaded at the given height text.
SketchModel flatTerrain(const std::string& height) {
    std::string text = "610 //size\n";
    for (int x = 0; x < 610; ++x)
        text += std::to_string(x) + " " + height + "\n";
    const std::string file = temporaryPath("flat.c2d");
    writeFile(file, text);
    SketchModel model = quietModel();
    std::string message;
    EXPECT_TRUE(model.loadCurve(file, message));
    model.next();
    EXPECT_EQ(model.gridColumns(), 40);
    return model;
}

std::vector<std::string> lines(const std::string& text) {
    std::vector<std::string> result;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);)
        result.push_back(line);
    return result;
}

std::string repeated(const std::string& value, int times) {
    std::string row;
    for (int i = 0; i < times; ++i)
        row += value + " ";
    return row;
}

} // namespace

TEST(GridExport, WritesTheHeaderOneLinePerRowAndAFinalEmptyLine) {
    const SketchModel model = flatTerrain("12.346");
    const std::string file = temporaryPath("terrain.grd");
    std::string message = "untouched";
    testing::internal::CaptureStdout();
    SketchModel printing = model;
    printing.setPrinting(true);
    EXPECT_TRUE(printing.exportGRD(file, message));
    EXPECT_EQ(testing::internal::GetCapturedStdout(),
              "Details file " + file + " has been written successfully\n");
    EXPECT_EQ(message, "untouched");

    const std::string text = readFile(file);
    ASSERT_EQ(text.substr(0, header.size()), header);
    const std::vector<std::string> all = lines(text);
    ASSERT_EQ(all.size(), 59u);
    EXPECT_EQ(all[7], repeated("12.35", 40)); // the silhouette row, rounded to two decimals
    for (std::size_t r = 8; r < 58; ++r) {
        std::istringstream values(all[r]);
        int count = 0;
        for (std::string value; values >> value;)
            ++count;
        EXPECT_EQ(count, 40) << "line " << r + 1;
        EXPECT_EQ(all[r].back(), ' ');
    }
    EXPECT_EQ(all[58], "");
    EXPECT_EQ(text.substr(text.size() - 3), " \n\n");
    EXPECT_EQ(filesStartingWith(file), 1);
}

TEST(GridExport, SmallNegativeHeightsKeepTheirSign) {
    const SketchModel model = flatTerrain("-0.004");
    const std::string file = temporaryPath("negative.grd");
    std::string message;
    ASSERT_TRUE(model.exportGRD(file, message));
    EXPECT_EQ(lines(readFile(file))[7], repeated("-0.00", 40));
}

TEST(GridExport, NothingIsWrittenBeforeTheFirstNext) {
    SketchModel model = quietModel();
    modeltesting::drawCurveOfLength(model, 300);
    const std::string file = temporaryPath("early.grd");
    std::string message;
    EXPECT_FALSE(model.exportGRD(file, message));
    EXPECT_EQ(message, "There is no terrain to save yet - press Next to build one.");
    EXPECT_FALSE(modeltesting::fileExists(file));
}

// Regression: after "Close Curve" a rebuild made 51 empty rows, and saving them wrote an
// empty grid and reported success.
TEST(GridExport, ATerrainTooSmallToDrawIsNotSaved) {
    SketchModel model = flatTerrain("10");
    model.clearCurve();
    model.makeMountain();
    const std::string file = temporaryPath("empty.grd");
    std::string message;
    EXPECT_FALSE(model.exportGRD(file, message));
    EXPECT_EQ(message,
              "The terrain is too small to save - it needs a curve of at least 5 columns.");
    EXPECT_FALSE(modeltesting::fileExists(file));
}

TEST(GridExport, MissingFolderIsReportedWithTheName) {
    const SketchModel model = flatTerrain("10");
    const std::string file = temporaryPath("no-such-folder") + "/terrain.grd";
    std::string message;
    testing::internal::CaptureStdout();
    EXPECT_FALSE(model.exportGRD(file, message));
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "");
    EXPECT_EQ(message, "*** Error *** fopen returned NULL when writing to file: " + file + ".");
}

// Regression: write errors went unnoticed and left a truncated grid reported as saved.
TEST(GridExport, FailedWriteKeepsThePreviousFileAndReportsIt) {
    const SketchModel model = flatTerrain("10");
    const std::string file = temporaryPath("full-disk.grd");
    writeFile(file, "previous grid\n");
    bool written = true;
    std::string message;
    withFileSizeLimit(1000, [&] { written = model.exportGRD(file, message); });
    EXPECT_FALSE(written);
    EXPECT_EQ(message, "*** Error *** could not write file: " + file + ".");
    EXPECT_EQ(readFile(file), "previous grid\n");
    EXPECT_EQ(filesStartingWith(file), 1);
}

// Regression: a save renamed its temporary file over the name, so a symbolic link became a
// plain file (the file it pointed at kept its old grid) and a device was replaced by a file.
TEST(GridExport, SavesThroughALinkAndIntoADevice) {
    const SketchModel model = flatTerrain("10");
    const std::string real = temporaryPath("real.grd"), link = temporaryPath("link.grd");
    writeFile(real, "previous grid\n");
    std::remove(link.c_str());
    ASSERT_EQ(symlink(real.c_str(), link.c_str()), 0);
    std::string message;
    ASSERT_TRUE(model.exportGRD(link, message)) << message;
    struct stat info {};
    ASSERT_EQ(lstat(link.c_str(), &info), 0);
    EXPECT_TRUE(S_ISLNK(info.st_mode));
    EXPECT_EQ(readFile(real).substr(0, header.size()), header);

    // A full device refuses the grid, and the failure is reported, not a success.
    if (stat("/dev/full", &info) != 0 || !S_ISCHR(info.st_mode))
        GTEST_SKIP() << "no /dev/full on this machine";
    EXPECT_FALSE(model.exportGRD("/dev/full", message));
    EXPECT_EQ(message, "*** Error *** could not write file: /dev/full.");
    ASSERT_EQ(stat("/dev/full", &info), 0);
    EXPECT_TRUE(S_ISCHR(info.st_mode));
}

// The heights are formatted without printf; the text must still be printf's "%1.2f " to the
// byte, halfway cases (rounded on the exact binary value) and the odd values included.
TEST(GridExport, HeightsAreWrittenExactlyAsPrintfWritesThem) {
    std::vector<double> values = {0.0,      -0.0,    0.005,    0.015,    0.125,
                                  0.375,    2.675,   -2.675,   -0.004,   -0.005,
                                  1e-320,   -1e-320, 1e15,     1e22,     1e300,
                                  -1.7e308, 99.995,  -99.995,  12.346,   0.0049999999999999,
                                  NAN,      -NAN,    INFINITY, -INFINITY};
    std::uint64_t state = 12345;
    const auto next = [&state] {
        state = state * 6364136223846793005ull + 1442695040888963407ull;
        return state;
    };
    for (int i = 0; i < 200000; ++i) {
        const std::uint64_t r = next();
        switch (i % 4) {
        case 0: // heights as terrains have them
            values.push_back(static_cast<double>(static_cast<std::int64_t>(r >> 20)) * 1e-9 - 4e3);
            break;
        case 1: // exact quarters and eighths: binary ties
            values.push_back(static_cast<double>(static_cast<std::int64_t>(r >> 40)) / 8.0 - 1e6);
            break;
        case 2: // hundredths and a half, which are near ties
            values.push_back((static_cast<double>(r >> 44) + 0.5) / 100.0 * (r & 1 ? -1 : 1));
            break;
        default: { // any bit pattern that is a number, or any size up to 1e15
            double any = 0.0;
            std::memcpy(&any, &r, sizeof any);
            if (i % 8 == 3)
                any = static_cast<double>(r >> 11) * 0x1p-53 *
                      std::pow(10.0, static_cast<double>(r % 21) - 5.0);
            values.push_back(std::isfinite(any) ? any : 1.0);
        }
        }
    }
    std::vector<std::vector<gmVector2>> grid(1);
    std::string expected;
    char buffer[400];
    for (double v : values) {
        grid[0].emplace_back(0.0, v);
        std::snprintf(buffer, sizeof buffer, "%1.2f ", v);
        expected += buffer;
    }
    char* text = nullptr;
    std::size_t size = 0;
    std::FILE* out = open_memstream(&text, &size);
    ASSERT_TRUE(writeGrid(out, grid));
    std::fclose(out);
    const std::vector<std::string> written = lines(std::string(text, size));
    std::free(text);
    ASSERT_EQ(written.size(), 9u);
    ASSERT_EQ(written[7].size(), expected.size());
    for (std::size_t at = 0; at < expected.size(); at += 4096)
        ASSERT_EQ(written[7].substr(at, 4096), expected.substr(at, 4096)) << "near byte " << at;
}

// Regression: a height of 1e308 was written as a 309-digit number, and an overflowed one as
// "inf", both reported as success; grid readers take the heights as floats.
TEST(GridExport, HeightsTheGridTextCannotHoldAreNamedByRow) {
    const double largest = static_cast<double>(std::numeric_limits<float>::max());
    std::vector<std::vector<gmVector2>> grid(3, {{0.0, 1.0}, {1.0, -largest}});
    std::string error;
    EXPECT_TRUE(checkGridHeights(grid, error));
    grid[1][1][1] = largest * 1.0001;
    EXPECT_FALSE(checkGridHeights(grid, error));
    EXPECT_EQ(error, "terrain row 1 holds a height too large for a grid (beyond 3.4e38)");
    for (double notANumber : {HUGE_VAL, -HUGE_VAL, std::nan("")}) {
        grid[1][1][1] = 0.0;
        grid[2][0][1] = notANumber;
        EXPECT_FALSE(checkGridHeights(grid, error));
        EXPECT_EQ(error, "terrain row 2 holds a point that is not a number");
    }
}
