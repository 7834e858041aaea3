// Strokes snapped to the horizon of the background photograph: off at first, shown before
// Process Line, taken by it, and undone with it.
#include <QAction>
#include <QImage>
#include <QMenu>
#include <QPushButton>
#include <QUndoStack>
#include <cmath>

#include "gui/glsketch.h"
#include "tests/app/windowfixture.h"

namespace {

class SnappingTest : public WindowTest {
protected:
    // The horizon's row in view pixels at view column x.
    double horizon(double x) const {
        return window_->sketchView->height() * 0.55 + 30.0 * std::sin(x / 40.0);
    }
    // A photograph twice the view's size: light sky over dark land, the horizon where
    // horizon() puts it once the photograph is stretched over the view.
    void loadPhoto() {
        const int w = window_->sketchView->width(), h = window_->sketchView->height();
        QImage photo(2 * w, 2 * h, QImage::Format_RGB32);
        for (int y = 0; y < photo.height(); ++y)
            for (int x = 0; x < photo.width(); ++x)
                photo.setPixelColor(x, y,
                                    y / 2.0 < horizon(x / 2.0)
                                        ? QColor(190, 210, 240)
                                        : QColor(70, 80 + (x * 7 + y * 3) % 40, 60));
        ASSERT_TRUE(photo.save(scratch("horizon.png")));
        answerAndTrigger(scratch("horizon.png"), window_->fileOpen_ImageAction);
        ASSERT_TRUE(prompts_->boxes.isEmpty());
    }
    // A stroke below the horizon, a point every 8 columns.
    void traceBelow(int from, int to, double below = 7.0) {
        std::vector<QPoint> points;
        for (int x = from; x <= to; x += 8)
            points.emplace_back(x, static_cast<int>(std::lround(horizon(x) + below)));
        drag(window_->sketchView, points);
    }
    // The share of the curve's columns from..to within a pixel and a half of the horizon.
    double shareOnHorizon(int from, int to) const {
        const int h = window_->sketchView->height();
        int on = 0, all = 0;
        for (const gmVector2& p : window_->session().model().curve()) {
            if (p[0] < from || p[0] > to)
                continue;
            ++all;
            on += std::abs(h - p[1] - horizon(p[0])) <= 1.5;
        }
        return all == 0 ? 0.0 : static_cast<double>(on) / all;
    }
};

TEST_F(SnappingTest, SnappedStrokesAreShownProcessedAndUndoneLikeStrokes) {
    loadPhoto();
    QAction* snap = window_->viewSnap_StrokesAction;
    ASSERT_FALSE(snap->isChecked());
    // Off: the stroke is processed as drawn.
    traceBelow(100, 300);
    EXPECT_TRUE(window_->sketchView->snappedLine().empty());
    click(window_->firstOptionButton);
    EXPECT_LT(shareOnHorizon(100, 300), 0.2);

    snap->trigger();
    traceBelow(400, 700);
    EXPECT_FALSE(window_->sketchView->snappedLine().empty());
    saveShot(window_.get(), "snapping.png");
    // Not yet in the curve.
    EXPECT_LT(shareOnHorizon(400, 700), 0.2);
    click(window_->firstOptionButton);
    EXPECT_GE(shareOnHorizon(400, 700), 0.95);
    EXPECT_TRUE(window_->sketchView->snappedLine().empty());
    window_->undoStack()->undo();
    EXPECT_EQ(shareOnHorizon(400, 700), 0.0);
    window_->undoStack()->redo();
    EXPECT_GE(shareOnHorizon(400, 700), 0.95);

    // 20 pixels off, the horizon is found once the search is widened.
    traceBelow(450, 650, 20.0);
    click(window_->firstOptionButton);
    EXPECT_LT(shareOnHorizon(450, 650), 0.2);
    QAction* wider = window_->viewSnap_WithinMenu->actions().at(1);
    ASSERT_EQ(wider->text(), "24 Pixels");
    wider->trigger();
    traceBelow(450, 650, 20.0);
    click(window_->firstOptionButton);
    EXPECT_GE(shareOnHorizon(450, 650), 0.95);

    // Turned off with a stroke waiting, the stroke goes in as drawn.
    traceBelow(150, 250);
    snap->trigger();
    EXPECT_TRUE(window_->sketchView->snappedLine().empty());
    click(window_->firstOptionButton);
    EXPECT_LT(shareOnHorizon(150, 250), 0.2);
}

} // namespace
