// The profile set: per-column edits, deletion, hand-outs, and picking a column.
#include <cmath>

#include <gtest/gtest.h>

#include "modeltesting.h"

using modeltesting::drawCurve;
using modeltesting::quietModel;

namespace {

using Indices = std::vector<unsigned int>;

// A profile that starts at the silhouette (height 1) and is recognisable by the steepness
// mark of the rest.
SketchModel::PointList markedProfile(double mark) {
    SketchModel::PointList profile = {{0.0, 1.0}};
    for (int i = 1; i < 51; ++i)
        profile.emplace_back(i / 50.0, mark * (1.0 - i / 50.0));
    return profile;
}

class ProfileSet : public testing::Test {
protected:
    // 290 curve points coarsen four times to a grid of 20 columns.
    void SetUp() override {
        drawCurve(model, 100, 389, [](int x) { return 100.0 + x % 50; });
        model.next();
        ASSERT_EQ(model.gridColumns(), 20);
    }

    // Stores a profile for the column as the editor would: hand out, edit, send back.
    void edit(int column, double mark) {
        model.selectProfile(column);
        model.setSelectedProfile(markedProfile(mark));
    }

    bool isMarked(std::size_t k, double mark) const {
        return model.profiles()[k] == markedProfile(mark);
    }
    bool isGlobal(std::size_t k) const { return model.profiles()[k] == model.globalProfile(); }

    std::string capture(const std::function<void()>& action) {
        model.setPrinting(true);
        testing::internal::CaptureStdout();
        action();
        model.setPrinting(false);
        return testing::internal::GetCapturedStdout();
    }

    SketchModel model = quietModel();
};

} // namespace

TEST_F(ProfileSet, FirstEditAddsTheEndColumnsAndLaterEditsInsertOrReplace) {
    edit(5, 0.5);
    EXPECT_EQ(model.profileIndices(), (Indices{0, 5, 19}));
    EXPECT_TRUE(isGlobal(0));
    EXPECT_TRUE(isMarked(1, 0.5));
    EXPECT_TRUE(isGlobal(2));

    edit(5, 0.7);
    EXPECT_EQ(model.profileIndices(), (Indices{0, 5, 19}));
    EXPECT_TRUE(isMarked(1, 0.7));

    edit(10, 0.9);
    EXPECT_EQ(model.profileIndices(), (Indices{0, 5, 10, 19}));
    EXPECT_TRUE(isMarked(2, 0.9));
    EXPECT_EQ(model.profiles().size(), model.profileIndices().size());
}

TEST_F(ProfileSet, FirstEditAtAnEndColumnOccupiesThatEnd) {
    edit(0, 0.5);
    EXPECT_EQ(model.profileIndices(), (Indices{0, 19}));
    EXPECT_TRUE(isMarked(0, 0.5));
    EXPECT_TRUE(isGlobal(1));

    model.setGlobalProfile(model.globalProfile()); // back to the global profile alone
    EXPECT_TRUE(model.profiles().empty());
    edit(19, 0.5);
    EXPECT_EQ(model.profileIndices(), (Indices{0, 19}));
    EXPECT_TRUE(isMarked(1, 0.5));
}

TEST_F(ProfileSet, EditedColumnTakesItsProfileAndNeighboursBlend) {
    edit(10, 0.5);
    const auto& grid = model.grid();
    // Row 1 of column 10 follows the edited profile's first step, the end columns the
    // default profile's.
    const double edited = markedProfile(0.5)[1][1];
    EXPECT_NEAR(grid[1][10][1], edited * grid[0][10][1], 1e-4 * grid[0][10][1]);
    EXPECT_NEAR(grid[1][0][1], (1.0 - 1.0 / 51) * grid[0][0][1], 1e-4 * grid[0][0][1]);
}

TEST_F(ProfileSet, DeletionKeepsTheEndsAndRebuildsOnlyWhenSomethingWentAway) {
    edit(5, 0.5);
    edit(10, 0.6);
    model.selectProfile(5);
    EXPECT_EQ(capture([&] { model.deleteCurrentProfile(); }), "making new mountain\n\n");
    EXPECT_EQ(model.profileIndices(), (Indices{0, 10, 19}));
    EXPECT_EQ(model.currentProfile(), 5);
    EXPECT_TRUE(isMarked(1, 0.6));

    for (int column : {0, 19, 7}) {
        model.selectProfile(column);
        EXPECT_EQ(capture([&] { model.deleteCurrentProfile(); }), "") << column;
        EXPECT_EQ(model.profileIndices(), (Indices{0, 10, 19})) << column;
    }
}

TEST_F(ProfileSet, SelectedProfileIsTheNormalisedCrossSection) {
    model.selectProfile(-1);
    EXPECT_TRUE(model.selectedProfile().empty());

    model.selectProfile(7);
    const SketchModel::PointList profile = model.selectedProfile();
    ASSERT_EQ(profile.size(), 51u);
    double highest = 0;
    for (std::size_t i = 0; i < profile.size(); ++i) {
        EXPECT_DOUBLE_EQ(profile[i][0], static_cast<double>(i) / 51.0);
        highest = std::max(highest, profile[i][1]);
    }
    EXPECT_DOUBLE_EQ(highest, 1.0);
    EXPECT_NEAR(profile[10][1], 1.0 - 10.0 / 51, 1e-6);
}

TEST(ProfileHandOut, ColumnThatNeverRisesAboveZeroIsHandedOutUnscaled) {
    SketchModel model = quietModel();
    drawCurve(model, 0, 289, [](int x) { return x < 150 ? 0.0 : 80.0; });
    model.next();
    model.selectProfile(0);
    const SketchModel::PointList profile = model.selectedProfile();
    ASSERT_EQ(profile.size(), 51u);
    for (const gmVector2& point : profile)
        EXPECT_EQ(point[1], 0.0);
}

TEST_F(ProfileSet, GlobalEditDiscardsTheColumnProfiles) {
    edit(5, 0.5);
    EXPECT_EQ(model.globalProfile().size(), 52u);
    EXPECT_EQ(model.profileIndices(), (Indices{0, 5, 19}));
    model.setGlobalProfile(markedProfile(0.8));
    EXPECT_TRUE(model.profileIndices().empty());
    EXPECT_TRUE(model.globalProfile() == markedProfile(0.8));
    EXPECT_TRUE(model.profiles().empty());
    const double expected = markedProfile(0.8)[1][1] * model.grid()[0][3][1];
    EXPECT_NEAR(model.grid()[1][3][1], expected, 1e-4 * std::fabs(expected) + 1e-9);
}

TEST_F(ProfileSet, ProfileWithoutASelectionIsRefused) {
    edit(5, 0.5);
    model.selectProfile(-1);
    const std::string printed = capture([&] { model.setSelectedProfile(markedProfile(0.1)); });
    EXPECT_EQ(printed, "*** Error *** - there is no selected profile!\n");
    EXPECT_EQ(model.profileIndices(), (Indices{0, 5, 19}));
}

// Regression: an edit beyond the stored columns (the curve was replaced and the grid grew)
// ended the program. A replaced curve now drops the column profiles made for the old one, so
// only a restored set that stops short of the last column still meets the refusal.
TEST_F(ProfileSet, EditBeyondTheStoredColumnsIsRefusedAndTheModelCarriesOn) {
    edit(5, 0.5);
    const std::string file = modeltesting::temporaryPath("wide.c2d");
    // 930 silhouette columns decompose into 60 terrain columns.
    std::string text = "930 //size\n";
    for (int x = 0; x < 930; ++x)
        text += std::to_string(x) + " 120\n";
    modeltesting::writeFile(file, text);
    std::string message;
    ASSERT_TRUE(model.loadCurve(file, message));
    ASSERT_EQ(model.gridColumns(), 60);
    for (const SketchModel::PointList& row : model.grid())
        ASSERT_EQ(row.size(), 60u);
    EXPECT_TRUE(model.profileIndices().empty());
    EXPECT_EQ(model.currentProfile(), -1);
    edit(40, 0.3);
    EXPECT_EQ(model.profileIndices(), (Indices{0, 40, 59}));

    SketchState shortSet = model.state();
    shortSet.profileColumns = std::make_shared<const std::vector<unsigned>>(Indices{0, 40});
    shortSet.columnProfiles = std::make_shared<const std::vector<SketchModel::PointList>>(
        std::vector<SketchModel::PointList>{markedProfile(0.3), markedProfile(0.3)});
    model.restore(shortSet);
    model.selectProfile(50);
    const std::string printed = capture([&] { model.setSelectedProfile(markedProfile(0.3)); });
    EXPECT_EQ(printed, "Error receive profile change i > profileIndices.size()\n");
    EXPECT_EQ(model.profileIndices(), (Indices{0, 40}));
}

TEST_F(ProfileSet, PickSelectsTheNearestColumnAndAnnouncesPresses) {
    const auto& front = model.grid()[0];
    const double first = front[0][0];
    const double spacing = front[1][0] - front[0][0];
    const double lastSpacing = front[19][0] - front[18][0];
    struct Pick {
        double x;
        int column;
    };
    const Pick picks[] = {
        {first, 0},
        {first - 0.49 * spacing, 0},
        {first - 0.51 * spacing, -1},
        {front[7][0], 7},
        {front[7][0] + 0.4 * (front[8][0] - front[7][0]), 7},
        {front[7][0] + 0.6 * (front[8][0] - front[7][0]), 8},
        {front[19][0] + 0.49 * lastSpacing, 19},
        {front[19][0] + 0.51 * lastSpacing, -1},
        {front[19][0] + 3 * lastSpacing, -1},
        {NAN, -1},
    };
    for (const Pick& pick : picks)
        EXPECT_EQ(model.columnAt(pick.x), pick.column) << "x = " << pick.x;

    EXPECT_EQ(capture([&] { model.pickProfile(front[3][0], true); }), "Current profile is 3\n");
    EXPECT_EQ(model.currentProfile(), 3);
    EXPECT_EQ(capture([&] { model.pickProfile(-1000, false); }), "");
    EXPECT_EQ(model.currentProfile(), -1);
}

// Regression: the column used to be x / 16 whatever the curve's first x, so on a curve
// starting at x = 96 a click over its first column selected column 6.
TEST(ProfilePick, ColumnFollowsTheCurvesOwnPositions) {
    SketchModel model = quietModel();
    drawCurve(model, 96, 96 + 289, [](int) { return 200.0; });
    model.next();
    EXPECT_EQ(model.columnAt(96.0), 0);
    EXPECT_EQ(model.columnAt(100.0), 0);
    EXPECT_EQ(model.columnAt(model.grid()[0][6][0]), 6);
    EXPECT_EQ(SketchModel().columnAt(100.0), -1); // no grid yet
}
