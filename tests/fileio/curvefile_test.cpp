// Saving and loading curve files through the model: layout, printed lines, malformed files
// and failed writes.
#include <cctype>
#include <clocale>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <sys/stat.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include "../sketch/filetesting.h"
#include "../sketch/modeltesting.h"
#include "fileio/curvefile.h"
#include "sketch/failurereasons.h"

using modeltesting::drawCurve;
using modeltesting::quietModel;
using modeltesting::readFile;
using modeltesting::temporaryPath;
using modeltesting::writeFile;

namespace {

const std::string threePoints = "3 //size\n"
                                "10.000000 20.000000\n"
                                "30.500000 40.000000\n"
                                "50.000000 60.250000\n";

std::string loadPrinting(SketchModel& model, const std::string& file, bool& ok,
                         std::string& message) {
    model.setPrinting(true);
    testing::internal::CaptureStdout();
    ok = model.loadCurve(file, message);
    model.setPrinting(false);
    return testing::internal::GetCapturedStdout();
}

SketchModel modelWithCurve(int columns) {
    SketchModel model = quietModel();
    drawCurve(model, 0, columns - 1, [](int x) { return 100.0 + x; });
    return model;
}

} // namespace

TEST(CurveFile, SavesTheDocumentedLayoutAndLoadsItBack) {
    const std::string source = temporaryPath("three.c2d");
    writeFile(source, threePoints);
    SketchModel model = quietModel();
    std::string message;
    ASSERT_TRUE(model.loadCurve(source, message));
    ASSERT_EQ(model.curve().size(), 3u);
    EXPECT_EQ(model.curve()[1][0], 30.5);
    EXPECT_EQ(model.curve()[2][1], 60.25);

    const std::string saved = temporaryPath("saved.c2d");
    model.setPrinting(true);
    testing::internal::CaptureStdout();
    EXPECT_TRUE(model.saveCurve(saved, message));
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "Saving curve file\n");
    EXPECT_EQ(readFile(saved), threePoints);
    EXPECT_EQ(filesStartingWith(saved), 1) << "a temporary file was left behind";
}

TEST(CurveFile, RoundTripKeepsThePointsToSixDecimalsAndSinglePrecision) {
    SketchModel model = quietModel();
    drawCurve(model, -3, 200, [](int x) { return 7.0 + x * 1.37; });
    const SketchModel::PointList drawn = model.curve();
    const std::string file = temporaryPath("round.c2d");
    std::string message;
    ASSERT_TRUE(model.saveCurve(file, message));
    SketchModel loaded = quietModel();
    ASSERT_TRUE(loaded.loadCurve(file, message));
    ASSERT_EQ(loaded.curve().size(), drawn.size());
    for (std::size_t i = 0; i < drawn.size(); ++i) {
        EXPECT_EQ(loaded.curve()[i][0], drawn[i][0]);
        EXPECT_NEAR(loaded.curve()[i][1], drawn[i][1], 1e-6 + std::fabs(drawn[i][1]) * 1e-7);
    }
}

// Regression: after the first "Next" the curve file held the four times coarsened curve
// (48 of 740 points), and a terrain rebuilt from it had a handful of columns.
TEST(CurveFile, SavesTheSilhouetteAsDrawnInEveryStageAndALoadReplacesIt) {
    SketchModel model = modelWithCurve(740);
    const std::string drawn = temporaryPath("drawn.c2d");
    std::string message;
    ASSERT_TRUE(model.saveCurve(drawn, message));
    for (int stage = 1; stage <= 3; ++stage) {
        model.next();
        const std::string later = temporaryPath("later.c2d");
        ASSERT_TRUE(model.saveCurve(later, message));
        EXPECT_EQ(readFile(later), readFile(drawn)) << "stage " << stage;
    }

    const std::string other = temporaryPath("other.c2d");
    writeFile(other, threePoints);
    ASSERT_TRUE(model.loadCurve(other, message));
    EXPECT_EQ(model.stage(), 3);
    const std::string saved = temporaryPath("saved.c2d");
    ASSERT_TRUE(model.saveCurve(saved, message));
    EXPECT_EQ(readFile(saved), threePoints);

    model.clearCurve();
    EXPECT_FALSE(model.saveCurve(temporaryPath("none.c2d"), message));
    EXPECT_EQ(message, "File not saved, curve size is 0");
}

TEST(CurveFile, EmptyCurveIsNotSaved) {
    SketchModel model = quietModel();
    const std::string file = temporaryPath("empty.c2d");
    model.setPrinting(true);
    testing::internal::CaptureStdout();
    std::string message;
    EXPECT_FALSE(model.saveCurve(file, message));
    EXPECT_EQ(testing::internal::GetCapturedStdout(),
              "Saving curve file\nFile not saved, curve size is 0\n");
    EXPECT_EQ(message, "File not saved, curve size is 0");
    EXPECT_FALSE(modeltesting::fileExists(file));
}

TEST(CurveFile, SaveIntoAMissingFolderReportsTheOpenFailure) {
    SketchModel model = modelWithCurve(10);
    const std::string file = temporaryPath("no-such-folder") + "/curve.c2d";
    model.setPrinting(true);
    testing::internal::CaptureStdout();
    std::string message;
    EXPECT_FALSE(model.saveCurve(file, message));
    EXPECT_EQ(testing::internal::GetCapturedStdout(),
              "Saving curve file\n*** Error *** fopen returned NULL when writing to file " + file +
                  ".\n");
    EXPECT_EQ(message, "*** Error *** fopen returned NULL when writing to file " + file + ".");
    EXPECT_EQ(model.curve().size(), 10u);
}

// Regression: a save that ran out of disk space left a truncated file in place of the old one.
TEST(CurveFile, FailedWriteKeepsThePreviousFileAndLeavesNoPartialFile) {
    const std::string file = temporaryPath("full-disk.c2d");
    writeFile(file, threePoints);
    SketchModel model = modelWithCurve(2000); // about 40 kB
    model.setPrinting(true);
    bool saved = true;
    std::string message;
    testing::internal::CaptureStdout();
    withFileSizeLimit(4096, [&] { saved = model.saveCurve(file, message); });
    EXPECT_EQ(testing::internal::GetCapturedStdout(),
              "Saving curve file\n*** Error *** could not write file " + file + ".\n");
    EXPECT_FALSE(saved);
    EXPECT_EQ(message, "*** Error *** could not write file " + file + ".");
    EXPECT_EQ(readFile(file), threePoints);
    EXPECT_EQ(filesStartingWith(file), 1);
}

TEST(CurveFile, MissingOrForeignFileKeepsTheCurve) {
    SketchModel model = modelWithCurve(10);
    bool ok = true;
    std::string message;
    const std::string missing = temporaryPath("missing.c2d");
    EXPECT_EQ(loadPrinting(model, missing, ok, message),
              "Loading file\n*** Error *** " + missing + " was not found\n");
    EXPECT_FALSE(ok);
    EXPECT_EQ(message, "*** Error *** " + missing + " was not found");
    EXPECT_EQ(model.curve().size(), 10u);

    for (const std::string text :
         {"", "   \n", "size 3\n1 2\n", "//size\n", "99999999999 x\n1 2\n"}) {
        const std::string foreign = temporaryPath("foreign.c2d");
        writeFile(foreign, text);
        EXPECT_EQ(loadPrinting(model, foreign, ok, message),
                  "Loading file\n*** Error *** " + foreign + " is not a curve file\n")
            << text;
        EXPECT_FALSE(ok);
        EXPECT_EQ(message, "*** Error *** " + foreign + " is not a curve file");
        EXPECT_EQ(model.curve().size(), 10u);
    }

    // Regression: a folder (and an unreadable file) was reported as not found.
    const std::string folder = temporaryPath("folder.c2d");
    ASSERT_EQ(mkdir(folder.c_str(), 0700), 0);
    EXPECT_EQ(loadPrinting(model, folder, ok, message),
              "Loading file\n*** Error *** " + folder + " is a folder\n");
    EXPECT_EQ(model.curve().size(), 10u);
    rmdir(folder.c_str());
    EXPECT_EQ(unreadableReason(EACCES), "cannot be read: Permission denied");

    // Regression: reading a device went on until the memory ran out.
    EXPECT_EQ(loadPrinting(model, "/dev/zero", ok, message),
              "Loading file\n*** Error *** /dev/zero is not a curve file\n");
    EXPECT_FALSE(ok);
    EXPECT_EQ(model.curve().size(), 10u);
}

// Regression: a curve file past the reading limit was cut at the limit and loaded as if it
// were complete.
TEST(CurveFile, AFilePastTheReadingLimitIsRefusedWhole) {
    const std::string big = temporaryPath("big.c2d");
    writeFile(big, threePoints);
    ASSERT_EQ(truncate(big.c_str(), static_cast<off_t>(maxCurveFileBytes) + 1), 0); // sparse
    std::vector<gmVector2> points{{1.0, 2.0}};
    int declared = 7;
    std::string reason;
    EXPECT_EQ(readCurveFile(big, points, declared, &reason), CurveReadResult::tooLarge);
    EXPECT_EQ(reason, "the file is larger than 256 MiB, the most a curve file may hold");
    EXPECT_EQ(points.size(), 1u);
    EXPECT_EQ(declared, 7);

    SketchModel model = modelWithCurve(10);
    bool ok = true;
    std::string message;
    loadPrinting(model, big, ok, message);
    EXPECT_FALSE(ok);
    EXPECT_EQ(message,
              "*** Error *** " + big + " is larger than 256 MiB, the most a curve file may hold");
    EXPECT_EQ(model.curve().size(), 10u);
    std::remove(big.c_str());
}

struct ReadCase {
    const char* what;
    const char* text;
    int found;
    int declared;
};

class CurveFileReading : public testing::TestWithParam<ReadCase> {};

TEST_P(CurveFileReading, LoadsThePointsPresentAndReportsTheCount) {
    const ReadCase& c = GetParam();
    const std::string file = temporaryPath("case.c2d");
    writeFile(file, c.text);
    SketchModel model = modelWithCurve(10);
    model.next(); // the stage stays whatever a load brings; the terrain follows the silhouette
    bool ok = false;
    std::string message;
    const std::string printed = loadPrinting(model, file, ok, message);
    EXPECT_TRUE(ok);
    EXPECT_EQ(printed, "Loading file\n" + std::to_string(c.found) + " of " +
                           std::to_string(c.declared) +
                           " curve points were found\nmaking new mountain\n\n");
    ASSERT_EQ(model.silhouette().size(), static_cast<std::size_t>(c.found));
    for (const gmVector2& point : model.silhouette())
        EXPECT_TRUE(std::isfinite(point[0]) && std::isfinite(point[1]));
    EXPECT_EQ(model.stage(), 1);
    // Decomposed as the first "&Next" would.
    EXPECT_EQ(model.grid()[0].size(),
              static_cast<std::size_t>(SketchModel::coarsenedColumns(c.found)));
}

INSTANTIATE_TEST_SUITE_P(
    Layouts, CurveFileReading,
    testing::Values(
        ReadCase{"fewer points than declared", "5 //size\n1 2\n3 4\n", 2, 5},
        ReadCase{"more points than declared", "2 //size\n1 2\n3 4\n5 6\n", 2, 2},
        ReadCase{"a count of 0 still takes one point", "0 //size\n1 2\n3 4\n", 1, 0},
        ReadCase{"a negative count", "-4 //size\n1 2\n3 4\n", 1, -4},
        ReadCase{"a malformed number ends the reading", "3 //size\n1 2\nx 4\n5 6\n", 1, 3},
        ReadCase{"a half pair at the end", "3 //size\n1 2\n3", 1, 3},
        ReadCase{"no points at all", "3 //size\n", 0, 3},
        ReadCase{"nan ends the reading", "3 //size\n1 2\n3 nan\n5 6\n", 1, 3},
        ReadCase{"inf ends the reading", "3 //size\n1 2\ninf 4\n5 6\n", 1, 3},
        ReadCase{"a number too large for single precision", "3 //size\n1 2\n3 1e50\n", 1, 3},
        ReadCase{"CR LF line ends", "3 //size\r\n1 2\r\n3 4\r\n5 6\r\n", 3, 3},
        ReadCase{"any white space", "3\t//size 1\t2\n\n  3 4 5\r\n6", 3, 3},
        ReadCase{"any marker word", "2 points\n1 2\n3 4\n", 2, 2},
        ReadCase{"a hexadecimal count", "0x3 //size\n1 2\n3 4\n5 6\n7 8\n", 3, 3},
        ReadCase{"an octal count", "010 //size\n1 2\n3 4\n", 2, 8},
        // Regression: the declared count was reserved as it stood and aborted the program.
        ReadCase{"a huge declared count", "2000000000 //size\n1 2\n", 1, 2000000000}),
    [](const testing::TestParamInfo<ReadCase>& param) {
        std::string name;
        for (const char* p = param.param.what; *p; ++p)
            name += std::isalnum(static_cast<unsigned char>(*p)) ? *p : '_';
        return name;
    });

TEST(CurveFile, CrLfAndLfFilesLoadTheSame) {
    const std::string unix = readFile(MONDREL_TEST_DATA_DIR "/jagged_range.c2d");
    std::string windows;
    for (char c : unix)
        windows += c == '\n' ? std::string("\r\n") : std::string(1, c);
    SketchModel::PointList a, b;
    int declaredA = 0, declaredB = 0;
    ASSERT_EQ(parseCurveText(unix, a, declaredA), CurveReadResult::ok);
    ASSERT_EQ(parseCurveText(windows, b, declaredB), CurveReadResult::ok);
    ASSERT_EQ(a.size(), 800u);
    ASSERT_EQ(b.size(), a.size());
    for (std::size_t i = 0; i < a.size(); ++i)
        EXPECT_TRUE(a[i] == b[i]) << i;
}

// Switches LC_NUMERIC to a locale that writes numbers with a decimal comma: an installed one,
// or one compiled into the test's folder when the locale sources are there.
bool useDecimalCommaLocale() {
    for (const char* name : {"de_DE.UTF-8", "de_DE.utf8", "fr_FR.UTF-8"})
        if (std::setlocale(LC_NUMERIC, name))
            return true;
    const std::string folder = temporaryPath("locales");
    mkdir(folder.c_str(), 0700);
    const std::string compile =
        "localedef -i de_DE -f UTF-8 " + folder + "/de_DE.UTF-8 >/dev/null 2>&1";
    if (std::system(compile.c_str()) != 0)
        return false;
    setenv("LOCPATH", folder.c_str(), 1);
    return std::setlocale(LC_NUMERIC, "de_DE.UTF-8") != nullptr;
}

TEST(CurveFile, NumbersUseADecimalPointWhateverTheProcessLocale) {
    const std::string previous = std::setlocale(LC_NUMERIC, nullptr);
    if (!useDecimalCommaLocale())
        GTEST_SKIP() << "no locale with a decimal comma is available";
    char probe[16];
    std::snprintf(probe, sizeof probe, "%.1f", 0.5);
    const std::string source = temporaryPath("three.c2d");
    writeFile(source, threePoints);
    SketchModel model = quietModel();
    std::string message;
    const bool loaded = model.loadCurve(source, message);
    const std::string saved = temporaryPath("saved.c2d");
    const bool written = model.saveCurve(saved, message);
    std::setlocale(LC_NUMERIC, previous.c_str());
    unsetenv("LOCPATH");
    ASSERT_EQ(std::string(probe), "0,5") << "the locale does not use a decimal comma";
    ASSERT_TRUE(loaded && written);
    EXPECT_EQ(model.curve()[1][0], 30.5);
    EXPECT_EQ(readFile(saved), threePoints);
}

TEST(CurveFile, ReplacedFileKeepsItsPermissions) {
    const std::string file = temporaryPath("shared.c2d");
    writeFile(file, threePoints);
    chmod(file.c_str(), 0640);
    SketchModel model = modelWithCurve(5);
    std::string message;
    ASSERT_TRUE(model.saveCurve(file, message));
    struct stat info {};
    ASSERT_EQ(stat(file.c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 0777, 0640u);
    EXPECT_EQ(readFile(file).substr(0, 9), "5 //size\n");
}
