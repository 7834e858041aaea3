// Strokes and clicks as users make them: stray clicks, double-clicks, strokes that turn back, a
// zoomed photo, and the window's title and saves.
#include <QApplication>
#include <QPushButton>
#include <QStatusBar>
#include <QTest>
#include <QUndoStack>
#include <QWheelEvent>
#include <cmath>

#include "gui/glsketch.h"
#include "tests/app/windowfixture.h"

namespace {

void turnWheel(QWidget* widget, QPoint at, int delta) {
    QWheelEvent event(QPointF(at), widget->mapToGlobal(QPointF(at)), QPoint(), QPoint(0, delta),
                      Qt::NoButton, Qt::NoModifier, Qt::NoScrollPhase, false);
    QApplication::sendEvent(widget, &event);
}

TEST_F(WindowTest, ClicksBeforeProcessLineLeaveTheCurveAndSaySo) {
    goToStage(0);
    const SketchModel& model = window_->session().model();
    const Pairs curve = pairsOf(model.curve());
    QWidget* view = window_->sketchView;
    const QPoint summit(view->width() * 2 / 5, view->height() / 4);
    QTest::mouseClick(view, Qt::LeftButton, Qt::NoModifier, summit);
    click(window_->firstOptionButton);
    EXPECT_EQ(pairsOf(model.curve()), curve);
    EXPECT_TRUE(window_->statusBar()->currentMessage().startsWith("A click is not a line"));
    saveShot(window_.get(), "click-is-no-line.png");
    QTest::mouseDClick(view, Qt::LeftButton, Qt::NoModifier, summit);
    click(window_->firstOptionButton);
    EXPECT_EQ(pairsOf(model.curve()), curve);
}

} // namespace

// The events a double-click brings, with the window system's times in milliseconds.
void doubleClick(QWidget* widget, ulong at) {
    const QPointF p(widget->width() / 2.0, widget->height() / 2.0);
    const QPointF global = widget->mapToGlobal(p);
    const auto send = [&](QEvent::Type type, ulong time, Qt::MouseButtons held) {
        QMouseEvent event(type, p, p, global, Qt::LeftButton, held, Qt::NoModifier);
        event.setTimestamp(time);
        QApplication::sendEvent(widget, &event);
    };
    send(QEvent::MouseButtonPress, at, Qt::LeftButton);
    send(QEvent::MouseButtonRelease, at + 60, Qt::NoButton);
    send(QEvent::MouseButtonPress, at + 150, Qt::LeftButton);
    send(QEvent::MouseButtonDblClick, at + 150, Qt::LeftButton);
    send(QEvent::MouseButtonRelease, at + 210, Qt::NoButton);
}

TEST_F(WindowTest, DoubleClickOnNextMovesOneStage) {
    goToStage(0);
    const ulong start = 100000000;
    doubleClick(window_->nextButton, start);
    EXPECT_EQ(window_->currentStage(), 1);
    doubleClick(window_->nextButton, start + 5000);
    EXPECT_EQ(window_->currentStage(), 2);
}

// Traced at about 4x, a stroke lands on the photo's pixels it was drawn over.
TEST_F(WindowTest, StrokesDrawnZoomedLandWhereTheyWereDrawn) {
    GLSketch* view = window_->sketchView;
    const int h = view->height();
    for (int notch = 0; notch < 8; ++notch)
        turnWheel(view, QPoint(view->width() / 2, h / 2), 120);
    drag(view, {QPoint(200, h / 2 + 40), QPoint(400, h / 2 + 40)}, Qt::MiddleButton);
    const DrawingView zoomed = view->drawingView();
    ASSERT_NEAR(zoomed.zoom, std::pow(1.2, 8), 1e-9);
    std::vector<QPoint> stroke;
    for (int x = 100; x <= 700; x += 4)
        stroke.emplace_back(x, 300);
    drag(view, stroke);
    click(window_->firstOptionButton);
    saveShot(window_.get(), "zoomed-stroke.png");
    const auto& curve = window_->session().model().curve();
    ASSERT_FALSE(curve.empty());
    EXPECT_NEAR(curve.front()[0], (100 - zoomed.panX) / zoomed.zoom, 1.0);
    EXPECT_NEAR(curve.back()[0], (700 - zoomed.panX) / zoomed.zoom, 1.0);
    for (const gmVector2& p : curve)
        ASSERT_DOUBLE_EQ(p[1], h - (300 - zoomed.panY) / zoomed.zoom);
    // Home shows the drawing at its own scale again.
    ASSERT_TRUE(activate());
    QTest::keyClick(window_.get(), Qt::Key_Home);
    EXPECT_TRUE(view->drawingView() == DrawingView());
}

TEST_F(WindowTest, TitleAndSaveFollowTheProject) {
    EXPECT_EQ(window_->windowTitle(), "Mondrel[*]");
    EXPECT_FALSE(window_->isWindowModified());
    goToStage(0);
    EXPECT_TRUE(window_->isWindowModified());

    answerAndTrigger(scratch("ridge"), window_->fileSave_ProjectAction);
    EXPECT_TRUE(prompts_->questions.back().start.endsWith("mountain.mondrel"));
    EXPECT_EQ(window_->windowTitle(), "ridge[*] - Mondrel");
    EXPECT_FALSE(window_->isWindowModified());

    // Saved again without a question, to the project's own file.
    click(window_->nextButton);
    EXPECT_TRUE(window_->isWindowModified());
    const auto questions = prompts_->questions.size();
    window_->fileSave_ProjectAction->trigger();
    EXPECT_EQ(prompts_->questions.size(), questions);
    EXPECT_FALSE(window_->isWindowModified());

    // Turning the view is a change the project keeps.
    GLSketch* view = window_->sketchView;
    drag(view, {QPoint(300, 300), QPoint(340, 300)});
    EXPECT_TRUE(window_->isWindowModified());

    answerAndTrigger(scratch("other"), window_->fileSave_ProjectAsAction);
    EXPECT_EQ(prompts_->questions.back().start, scratch("ridge.mondrel"));
    EXPECT_EQ(window_->projectFile(), scratch("other.mondrel"));
    EXPECT_EQ(window_->windowTitle(), "other[*] - Mondrel");
}

// Right 390 pixels, back 240 while going down, then out of the view's right edge and back:
// once a saw-tooth of spikes, now the outline of the highest pass.
TEST_F(WindowTest, StrokesThatDoubleBackOrLeaveTheViewGiveTheirSkyline) {
    QWidget* view = window_->sketchView;
    const int w = view->width(), h = view->height();
    std::vector<QPoint> stroke;
    for (int x = 100; x <= 490; x += 6)
        stroke.emplace_back(x, 400 - (x - 100) / 2);
    for (int x = 490; x >= 250; x -= 8)
        stroke.emplace_back(x, 205 + (490 - x));
    for (int x = 250; x < w + 30; x += 9)
        stroke.emplace_back(x, 445);
    stroke.emplace_back(w + 30, 445);
    for (int x = w + 30; x >= w - 40; x -= 5)
        stroke.emplace_back(x, 470);
    drag(view, stroke);
    click(window_->firstOptionButton);
    const auto& curve = window_->session().model().curve();
    ASSERT_EQ(curve.front()[0], 100.0);
    ASSERT_EQ(curve.back()[0], w + 30.0);
    for (const gmVector2& p : curve) {
        // The highest pass over the column, in model pixels (y up).
        const double highest = p[0] <= 490 ? h - 400 + (p[0] - 100) / 2 : h - 445.0;
        ASSERT_LE(p[1], highest + 2.0) << "at x = " << p[0];
        ASSERT_GE(p[1], highest - 1.0) << "at x = " << p[0];
    }
}
