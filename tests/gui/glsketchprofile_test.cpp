#include <QSignalSpy>
#include <QTest>
#include <gtest/gtest.h>
#include <memory>

#include "../support/glrequirement.h"
#include "glviewtesting.h"
#include "gui/glsketchprofile.h"

namespace {

constexpr int W = 300;
constexpr int H = 240;

using Profile = std::vector<gmVector2>;
using testing::internal::CaptureStdout;
using testing::internal::GetCapturedStdout;

// The unit square sits in the view with a margin of 0.1 on every side.
QPoint at(double u, double v) {
    return QPoint(static_cast<int>((u + 0.1) / 1.2 * W), static_cast<int>(H - (v + 0.1) / 1.2 * H));
}

bool isPurple(QColor c) {
    return c.red() > 80 && c.blue() > 80 && c.green() < 60;
}

class ProfileViewTest : public testing::Test {
protected:
    void SetUp() override {
        view = std::make_unique<GLSketchProfile>(nullptr, "profileView");
        if (!showAndWaitForGL(*view, W, H))
            MONDREL_SKIP_WITHOUT_GL("no usable OpenGL context (run the GL tests under xvfb-run)");
    }

    std::unique_ptr<GLSketchProfile> view;
};

TEST_F(ProfileViewTest, FirstShownWithoutAProfileItDrawsTheFallingLine) {
    EXPECT_EQ(view->profile().size(), 51u);
    EXPECT_EQ(view->initialProfile().size(), 101u);
    const QImage shown = view->grabFramebuffer();
    for (double u : {0.2, 0.5, 0.8}) {
        const QPoint p = at(u, 1.0 - u);
        EXPECT_TRUE(anyPixelNear(shown, p.x(), p.y(), 2, isPurple)) << "diagonal at " << u;
    }
    const QPoint off = at(0.5, 0.8);
    EXPECT_FALSE(anyPixelNear(shown, off.x(), off.y(), 3, isPurple));

    QSignalSpy spy(view.get(), &GLSketchProfile::profileUpdated);
    view->returnToInitial();
    ASSERT_EQ(spy.count(), 1);
    EXPECT_EQ(spy.at(0).at(0).value<Profile>().size(), 101u) << "the line before resampling";
}

TEST_F(ProfileViewTest, AStrokeBecomesA51PointProfileAnnouncedOnce) {
    QSignalSpy spy(view.get(), &GLSketchProfile::profileUpdated);
    CaptureStdout();
    drag(*view, straightPath(at(0.05, 0.9), at(0.95, 0.15), 40));
    EXPECT_EQ(GetCapturedStdout(), "There are 51 points\n");
    ASSERT_EQ(spy.count(), 1);
    const Profile announced = spy.at(0).at(0).value<Profile>();
    ASSERT_EQ(announced.size(), 51u);
    EXPECT_NEAR(announced.front()[0], 0.0, 1e-9);
    EXPECT_NEAR(announced.back()[0], 1.0, 1e-9);
    EXPECT_GT(announced.front()[1], announced.back()[1]) << "drawn falling";
    ASSERT_EQ(view->profile().size(), 51u);
    EXPECT_EQ(view->profile()[20][1], announced[20][1]);
    EXPECT_TRUE(view->stroke().empty());
}

TEST_F(ProfileViewTest, StrokesStartingJustOutsideTheSquareAreMovedIntoIt) {
    QSignalSpy spy(view.get(), &GLSketchProfile::profileUpdated);
    CaptureStdout();
    // From about 8 pixels beyond the top left corner to as far beyond the bottom right one.
    drag(*view, straightPath(at(-0.03, 1.04), at(1.03, -0.04), 40));
    EXPECT_EQ(GetCapturedStdout(), "There are 51 points\n");
    ASSERT_EQ(spy.count(), 1);
    const Profile announced = spy.at(0).at(0).value<Profile>();
    ASSERT_EQ(announced.size(), 51u);
    for (const gmVector2& p : announced) {
        EXPECT_GE(p[1], 0.0);
        EXPECT_LE(p[1], 1.0);
    }
    EXPECT_NEAR(announced.front()[1], 1.0, 0.05) << "starts at the ridge corner";
    EXPECT_NEAR(announced.back()[1], 0.0, 0.05);
}

TEST_F(ProfileViewTest, StrokesStartingOutsideTheSquareOrWithOtherButtonsChangeNothing) {
    const Profile before = view->profile();
    QSignalSpy spy(view.get(), &GLSketchProfile::profileUpdated);
    CaptureStdout();
    // Some 20 pixels outside: beyond what is taken for a start at the edge.
    drag(*view, straightPath(at(-0.085, 0.5), at(0.8, 0.2), 20));
    drag(*view, straightPath(at(0.5, 1.095), at(0.8, 0.2), 20));
    drag(*view, straightPath(at(0.1, 0.5), at(0.8, 0.2), 20), Qt::RightButton);
    EXPECT_EQ(GetCapturedStdout(), "");
    EXPECT_EQ(spy.count(), 0);
    ASSERT_EQ(view->profile().size(), before.size());
    for (size_t i = 0; i < before.size(); ++i)
        EXPECT_EQ(view->profile()[i][1], before[i][1]);
}

TEST_F(ProfileViewTest, ReturnToInitialRestoresTheGivenProfileResampled) {
    Profile given;
    for (int i = 0; i <= 10; ++i)
        given.emplace_back(i / 10.0, 1.0 - (i / 10.0) * (i / 10.0));
    QSignalSpy spy(view.get(), &GLSketchProfile::profileUpdated);
    view->setInitialProfile(given);
    EXPECT_EQ(spy.count(), 0) << "setting the profile is not an edit";
    const Profile initial = view->profile();
    ASSERT_EQ(initial.size(), 51u);

    CaptureStdout();
    drag(*view, straightPath(at(0.1, 0.3), at(0.9, 0.6), 20));
    GetCapturedStdout();
    view->returnToInitial();
    ASSERT_EQ(spy.count(), 2);
    const Profile restored = spy.at(1).at(0).value<Profile>();
    ASSERT_EQ(restored.size(), initial.size());
    for (size_t i = 0; i < initial.size(); ++i) {
        EXPECT_EQ(restored[i][0], initial[i][0]);
        EXPECT_EQ(restored[i][1], initial[i][1]);
    }
}

} // namespace
