// The natural view in the window: one switch for the view and the export, kept in projects and
// undo; previews and exports off the window's thread; the settings panel beside the view.
#include <QAction>
#include <QCheckBox>
#include <QDir>
#include <QDoubleSpinBox>
#include <QElapsedTimer>
#include <QFile>
#include <QProgressDialog>
#include <QPushButton>
#include <QSlider>
#include <QTest>
#include <QTimer>
#include <cmath>
#include <cstdio>

#include "app/backgroundwork.h"
#include "app/naturalpanel.h"
#include "gui/glsketch.h"
#include "sketch/naturalpreview.h"
#include "sketch/statusline.h"
#include "sketch/terrainsave.h"
#include "tests/app/windowfixture.h"

namespace {

QByteArray contentsOf(const QString& name) {
    QFile file(name);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

class NaturalViewTest : public WindowTest {
protected:
    const SketchModel& model() const { return window_->session().model(); }
};

} // namespace

// The switch means something in the last stage only; there it shows the natural terrain,
// framed, and Export Heightmap offers the natural terrain at its own native size.
TEST_F(NaturalViewTest, TheSwitchDrivesTheViewAndTheExport) {
    for (int stage = 0; stage < 3; ++stage) {
        goToStage(stage);
        EXPECT_FALSE(window_->viewNatural_TerrainAction->isEnabled()) << stage;
    }
    goToStage(3);
    ASSERT_TRUE(window_->viewNatural_TerrainAction->isEnabled());
    const QImage grid = window_->sketchView->grabFramebuffer();
    window_->viewNatural_TerrainAction->trigger();
    EXPECT_TRUE(model().naturalTerrain());
    ASSERT_TRUE(waitForNaturalView());
    const QImage natural = window_->sketchView->grabFramebuffer();
    EXPECT_FALSE(natural == grid);
    // Framed: the natural terrain, wider than the grid, is drawn whole inside the view.
    const TerrainBounds bounds = terrainBounds(model().grid(), model().rowSpacing());
    EXPECT_LT(window_->sketchView->zoomPan().zoom, 2.0f) << bounds.maxX;
    // The status bar guides through the natural view while it is on, the stage after it.
    const auto guidedBy = [&](const StatusText& guidance) {
        const QString shown = window_->statusText();
        return shown.startsWith(QString::fromStdString(guidance.full)) ||
               shown.startsWith(QString::fromStdString(guidance.compact));
    };
    EXPECT_TRUE(guidedBy(naturalViewGuidance())) << window_->statusText().toStdString();

    // A map named without a folder is written beside the heightmap.
    prompts_->settingsAnswers.push_back(
        {RasterOptions{129, 97, 1.0}, std::nullopt, true, "offered-splat.png"});
    answerAndTrigger(scratch("offered.asc"), window_->fileExport_HeightmapAction);
    EXPECT_TRUE(QFile::exists(scratch("offered-splat.png")));
    ASSERT_EQ(prompts_->settingsQuestions.size(), 1u);
    EXPECT_TRUE(prompts_->settingsQuestions[0].naturalOffered);
    int width = 0, height = 0;
    ASSERT_TRUE(nativeNaturalSize(model(), width, height));
    EXPECT_EQ(prompts_->settingsQuestions[0].native.naturalWidth, width);

    window_->viewNatural_TerrainAction->trigger();
    EXPECT_FALSE(window_->sketchView->showingNaturalTerrain());
    EXPECT_FALSE(window_->sketchView->grabFramebuffer() == natural);
    EXPECT_TRUE(guidedBy(stageGuidance(3))) << window_->statusText().toStdString();
}

// Opening a project saved with the natural view on shows the natural view with its settings.
TEST_F(NaturalViewTest, AProjectBringsBackTheNaturalViewAndItsSettings) {
    goToStage(3);
    window_->viewNatural_TerrainAction->trigger();
    window_->viewNatural_SettingsAction->trigger();
    EXPECT_TRUE(window_->naturalPanel->isVisible());
    window_->naturalPanel->erosion.box->setValue(0.8);
    QTest::qWait(NaturalPanel::settleDelayMs + 100);
    ASSERT_EQ(model().naturalSettings().erosion, 0.8);
    const QString project = scratch("natural.mondrel");
    answerAndTrigger(project, window_->fileSave_ProjectAction);

    window_->viewNatural_TerrainAction->trigger();
    window_->naturalPanel->erosion.box->setValue(0.2);
    QTest::qWait(NaturalPanel::settleDelayMs + 100);
    prompts_->unsavedChoice = UserPrompts::UnsavedChoice::discard;
    answerAndTrigger(project, window_->fileOpen_ProjectAction);
    EXPECT_TRUE(window_->viewNatural_TerrainAction->isChecked());
    EXPECT_EQ(window_->naturalPanel->erosion.box->value(), 0.8);
    EXPECT_TRUE(waitForNaturalView());
}

// A settled change in the panel is one undo step, whatever the moves before it; the view
// changes within moments of the first move (a coarse preview) and undo brings the old back.
TEST_F(NaturalViewTest, APanelChangeIsOneUndoStepAndShowsAtOnce) {
    goToStage(3);
    window_->viewNatural_TerrainAction->trigger();
    ASSERT_TRUE(waitForNaturalView());
    const QImage before = window_->sketchView->grabFramebuffer();
    const QString undoBefore = window_->editUndoAction->text();
    NaturalPanel* panel = window_->naturalPanel;
    QElapsedTimer moved;
    moved.start();
    panel->slope.slider->setSliderDown(true);
    panel->slope.slider->setValue(panel->slope.slider->value() + 20);
    qint64 changedAfter = -1;
    while (moved.elapsed() < 5000) {
        QTest::qWait(5);
        if (window_->sketchView->grabFramebuffer() != before) {
            changedAfter = moved.elapsed();
            break;
        }
    }
    std::printf("the view changed %lld ms after the first move\n",
                static_cast<long long>(changedAfter));
    EXPECT_GE(changedAfter, 0);
    panel->slope.slider->setValue(panel->slope.slider->value() + 10);
    EXPECT_EQ(window_->editUndoAction->text(), undoBefore) << "no step while dragging";
    panel->slope.slider->setSliderDown(false);
    EXPECT_EQ(window_->editUndoAction->text(), "&Undo Natural Terrain Settings");
    EXPECT_NEAR(model().naturalSettings().slope, 0.5 + 30 * 0.05, 1e-9);

    window_->editUndoAction->trigger();
    EXPECT_EQ(model().naturalSettings(), NaturalSettings());
    EXPECT_EQ(panel->slope.box->value(), 0.5);
    ASSERT_TRUE(waitForNaturalView());
    EXPECT_TRUE(window_->sketchView->grabFramebuffer() == before);
    // The sea is drawn over the natural terrain when it is switched on.
    panel->water->setChecked(true);
    panel->waterLevel.box->setValue(40);
    EXPECT_FALSE(window_->sketchView->grabFramebuffer() == before);
    saveShot(window_.get(), "natural-view.png");
}

// A cancelled export leaves the file it would have replaced as it was and no temporary file;
// the window goes on answering meanwhile.
TEST_F(NaturalViewTest, ACancelledExportChangesNoFileAndTheWindowAnswers) {
    goToStage(3);
    const QString target = scratch("big.png");
    QFile previous(target);
    ASSERT_TRUE(previous.open(QIODevice::WriteOnly));
    previous.write("the previous heightmap");
    previous.close();
    QFile sidecar(target + ".json");
    ASSERT_TRUE(sidecar.open(QIODevice::WriteOnly));
    sidecar.write("{}");
    sidecar.close();

    prompts_->settingsAnswers.push_back({RasterOptions{2049, 2049, 1.0}, std::nullopt, true});
    prompts_->answers.append(target);
    window_->fileExport_HeightmapAction->trigger();
    ASSERT_TRUE(window_->backgroundTask()->running());
    // The event loop turns while the export runs: the longest wait between two turns. A window
    // waiting on the export would stall for seconds; the bound leaves room for a loaded machine.
    QElapsedTimer clock;
    clock.start();
    qint64 last = 0, longest = 0;
    while (clock.elapsed() < 700) {
        QTest::qWait(10);
        longest = std::max(longest, clock.elapsed() - last);
        last = clock.elapsed();
    }
    std::printf("longest wait of the window during the export: %lld ms\n",
                static_cast<long long>(longest));
    EXPECT_LT(longest, 1000);
    EXPECT_TRUE(window_->backgroundTask()->progressDialog()->isVisible());
    window_->backgroundTask()->cancel();
    waitForWork();
    EXPECT_EQ(contentsOf(target), "the previous heightmap");
    EXPECT_EQ(contentsOf(target + ".json"), "{}");
    const QStringList left =
        QDir(scratch(QString()))
            .entryList({QStringLiteral(".mondrel-*")}, QDir::Files | QDir::Hidden);
    EXPECT_TRUE(left.isEmpty()) << left.join(' ').toStdString();
    EXPECT_TRUE(prompts_->boxes.isEmpty() || !prompts_->boxes.last().contains("saved"));

    // Closing the window during an export cancels it the same way.
    prompts_->settingsAnswers.push_back({RasterOptions{2049, 2049, 1.0}, std::nullopt, true});
    prompts_->answers.append(target);
    window_->fileExport_HeightmapAction->trigger();
    ASSERT_TRUE(window_->backgroundTask()->running());
    QTest::qWait(200);
    prompts_->unsavedChoice = UserPrompts::UnsavedChoice::discard;
    window_->close();
    EXPECT_FALSE(window_->isVisible());
    EXPECT_FALSE(window_->backgroundTask()->running());
    EXPECT_EQ(contentsOf(target), "the previous heightmap");
    EXPECT_TRUE(QDir(scratch(QString()))
                    .entryList({QStringLiteral(".mondrel-*")}, QDir::Files | QDir::Hidden)
                    .isEmpty());
}

// While the view turns, the natural terrain is drawn from every other point (frames cost less
// while an export or a rebuild shares the processor); once the view rests, the full surface
// is back, the very picture it was.
TEST_F(NaturalViewTest, AMovingViewDrawsLighterAndTheFullSurfaceOnceItRests) {
    goToStage(3);
    window_->viewNatural_TerrainAction->trigger();
    ASSERT_TRUE(waitForNaturalView());
    GLSketch* view = window_->sketchView;
    view->setViewAngles(30.0f, -20.0f);
    QTest::qWait(400);
    const QImage resting = view->grabFramebuffer();
    view->setViewAngles(30.0f, -21.0f);
    view->setViewAngles(30.0f, -20.0f);
    const QImage moving = view->grabFramebuffer();
    EXPECT_FALSE(moving == resting);
    EXPECT_TRUE(QTest::qWaitFor([&] { return view->grabFramebuffer() == resting; }, 2000));
}

// The top view: a handle dragged north moves that point of the front range's divide course in
// the model, as one undo step; a course drawn across the ground replaces the points it covers;
// Reset Divide Course lets the divide wander again.
TEST_F(NaturalViewTest, TheTopViewEditsTheFrontRangesDivideCourse) {
    goToStage(3);
    window_->viewNatural_TerrainAction->trigger();
    ASSERT_TRUE(waitForNaturalView());
    GLSketch* view = window_->sketchView;
    ASSERT_TRUE(window_->viewTop_ViewAction->isEnabled());
    window_->viewTop_ViewAction->trigger();
    ASSERT_TRUE(view->showingTopView());
    EXPECT_TRUE(window_->naturalPanel->topView->isChecked());
    EXPECT_TRUE(
        window_->statusText().startsWith(QString::fromStdString(topViewGuidance().full)) ||
        window_->statusText().startsWith(QString::fromStdString(topViewGuidance().compact)));
    const std::vector<gmVector2> before = view->shownDivide();
    ASSERT_EQ(before.size(), static_cast<std::size_t>(divideLinePoints));
    EXPECT_FALSE(window_->viewReset_Divide_CourseAction->isEnabled());

    const std::size_t k = before.size() / 2;
    double px = 0.0, py = 0.0;
    planToWindow(view->planView(), view->width(), view->height(), before[k][0], before[k][1], px,
                 py);
    const QPoint handle(static_cast<int>(std::lround(px)), static_cast<int>(std::lround(py)));
    drag(view, {handle, handle - QPoint(0, 20), handle - QPoint(0, 40)});
    const std::vector<gmVector2>& course = model().layerProperties(0).divideCourse;
    ASSERT_EQ(course.size(), before.size());
    EXPECT_NEAR(course[k][1] - before[k][1], 40.0 / view->planView().pixelsPerUnit,
                2.0 / view->planView().pixelsPerUnit);
    EXPECT_EQ(course[k + 1], before[k + 1]);
    EXPECT_EQ(window_->editUndoAction->text(), "&Undo Divide Course");
    EXPECT_TRUE(window_->viewReset_Divide_CourseAction->isEnabled());
    ASSERT_TRUE(waitForNaturalView());

    // A course drawn over the western two thirds of the range, bending north and south.
    const double west = before.front()[0], east = before.back()[0];
    const double x1 = west + 2.0 * (east - west) / 3.0;
    const double bend = 0.15 * view->height() / view->planView().pixelsPerUnit;
    std::vector<QPoint> stroke;
    for (int i = 0; i <= 60; ++i) {
        const double x = west + (x1 - west) * i / 60.0;
        planToWindow(view->planView(), view->width(), view->height(), x,
                     before[k][1] + bend * std::sin(3.0 * i / 60.0), px, py);
        stroke.emplace_back(static_cast<int>(std::lround(px)), static_cast<int>(std::lround(py)));
    }
    drag(view, stroke);
    const std::vector<gmVector2> drawn = model().layerProperties(0).divideCourse;
    int inStroke = 0;
    for (const gmVector2& p : drawn)
        if (p[0] >= west + 1.0 && p[0] <= x1 - 1.0) {
            ++inStroke;
            const double t = (p[0] - west) / (x1 - west);
            EXPECT_NEAR(p[1], before[k][1] + bend * std::sin(3.0 * t),
                        0.05 * bend + 2.0 / view->planView().pixelsPerUnit);
        }
    EXPECT_GE(inStroke, divideLinePoints / 2);
    EXPECT_EQ(drawn.back(), course.back());
    ASSERT_TRUE(waitForNaturalView());
    saveShot(window_.get(), "topview.png");

    window_->editUndoAction->trigger();
    EXPECT_EQ(model().layerProperties(0).divideCourse.size(), before.size());
    window_->viewReset_Divide_CourseAction->trigger();
    EXPECT_TRUE(model().layerProperties(0).divideCourse.empty());
    window_->viewTop_ViewAction->trigger();
    EXPECT_FALSE(view->showingTopView());
}
