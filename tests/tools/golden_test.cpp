// Whole constructions compared with stored grids, and one stored grid checked by reasoning.
#include <cmath>
#include <fstream>
#include <sstream>

#include <gtest/gtest.h>

#include "buildrunning.h"
#include "curve/subdivision.h"
#include "fileio/curvefile.h"

namespace {

struct GoldenCase {
    std::string name;
    std::string arguments;
};

// The cases of golden/cases.txt, shared with make_golden.sh.
std::vector<GoldenCase> goldenCases() {
    std::vector<GoldenCase> cases;
    std::ifstream in(MONDREL_TEST_DATA_DIR "/golden/cases.txt");
    for (std::string line; std::getline(in, line);) {
        if (line.empty() || line[0] == '#')
            continue;
        const std::size_t space = line.find(' ');
        cases.push_back({line.substr(0, space), line.substr(space + 1)});
    }
    return cases;
}

std::vector<std::vector<double>> gridRows(const std::string& text) {
    std::istringstream in(text);
    std::string line;
    for (int header = 0; header < 7; ++header)
        std::getline(in, line);
    std::vector<std::vector<double>> rows;
    while (std::getline(in, line) && !line.empty()) {
        std::istringstream values(line);
        rows.emplace_back();
        for (double value; values >> value;)
            rows.back().push_back(value);
    }
    return rows;
}

} // namespace

class GoldenGrid : public testing::TestWithParam<GoldenCase> {};

TEST_P(GoldenGrid, MatchesTheStoredGridByteForByte) {
    const GoldenCase& c = GetParam();
    const std::string grid = scratchPath(c.name + ".grd");
    const BuildRun run = runBuild("--quiet " + c.arguments + " " + quoted(grid));
    ASSERT_EQ(run.status, 0) << run.err;
    const std::string expected = slurp(MONDREL_TEST_DATA_DIR "/golden/" + c.name + ".grd");
    ASSERT_FALSE(expected.empty());
    // Compare line by line first for a readable report, then every byte.
    std::istringstream got(slurp(grid)), want(expected);
    std::string gotLine, wantLine;
    for (int line = 1; std::getline(want, wantLine); ++line) {
        ASSERT_TRUE(std::getline(got, gotLine)) << "the grid ends before line " << line;
        ASSERT_EQ(gotLine, wantLine) << "line " << line;
    }
    EXPECT_EQ(slurp(grid), expected);
}

INSTANTIATE_TEST_SUITE_P(Cases, GoldenGrid, testing::ValuesIn(goldenCases()),
                         [](const testing::TestParamInfo<GoldenCase>& param) {
                             return param.param.name;
                         });

// Worked out from the curve file alone: the stage-1 terrain with the default profile has the
// four times coarsened silhouette in row 0, row i is (1 - i/51) times it, and row 50 is 0.
TEST(GoldenReasoning, StageOneGridIsTheSilhouetteScaledRowByRow) {
    const std::string expected = slurp(MONDREL_TEST_DATA_DIR "/golden/single_peak_stage1.grd");
    bool listed = false;
    for (const GoldenCase& c : goldenCases())
        listed = listed ||
                 (c.name == "single_peak_stage1" && c.arguments == "--stage 1 single_peak.c2d");
    ASSERT_TRUE(listed) << "the case checked here must stay the default stage-1 terrain";
    std::vector<gmVector2> silhouette;
    int declared = 0;
    ASSERT_EQ(readCurveFile(MONDREL_TEST_DATA_DIR "/single_peak.c2d", silhouette, declared),
              CurveReadResult::ok);
    for (int level = 0; level < 4; ++level)
        coarsenCurve(silhouette);

    const std::vector<std::vector<double>> rows = gridRows(expected);
    ASSERT_EQ(rows.size(), 51u);
    for (std::size_t i = 0; i < rows.size(); ++i) {
        ASSERT_EQ(rows[i].size(), silhouette.size()) << "row " << i;
        const double scale = i == 50 ? 0.0 : 1.0 - static_cast<double>(i) / 51.0;
        for (std::size_t j = 0; j < silhouette.size(); ++j) {
            // Two printed decimals, plus single-precision rounding of the profile.
            const double want = scale * silhouette[j][1];
            ASSERT_NEAR(rows[i][j], want, 0.005 + 1e-6 * std::fabs(want))
                << "row " << i << ", column " << j;
        }
    }
}
