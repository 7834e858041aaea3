// What a new user meets in the window: the status bar's guidance and values, a terrain view
// that fits every window size and moves with the wheel, middle drags and Home, and screens
// of every size and scale factor.
#include <QApplication>
#include <QLabel>
#include <QPushButton>
#include <QScreen>
#include <QSlider>
#include <QTest>
#include <QUndoStack>
#include <QWheelEvent>
#include <cstring>

#include "gui/glsketch.h"
#include "gui/glsketchprofile.h"
#include "gui/profileeditor.h"
#include "sketch/statusline.h"
#include "tests/app/windowfixture.h"

namespace {

bool isWhite(QColor c) {
    return c.red() > 250 && c.green() > 250 && c.blue() > 250;
}

// The smallest rectangle holding every pixel of the frame that is not background.
QRect drawnBounds(const QImage& frame) {
    QRect bounds;
    for (int y = 0; y < frame.height(); ++y)
        for (int x = 0; x < frame.width(); ++x)
            if (!isWhite(frame.pixelColor(x, y)))
                bounds |= QRect(x, y, 1, 1);
    return bounds;
}

// Whether some pixel within radius of p satisfies test.
template <typename Test> bool anyPixelNear(const QImage& image, QPoint p, int radius, Test test) {
    for (int dy = -radius; dy <= radius; ++dy)
        for (int dx = -radius; dx <= radius; ++dx)
            if (image.valid(p + QPoint(dx, dy)) && test(image.pixelColor(p + QPoint(dx, dy))))
                return true;
    return false;
}

void turnWheel(QWidget* widget, QPoint at, int delta) {
    QWheelEvent event(QPointF(at), widget->mapToGlobal(QPointF(at)), QPoint(), QPoint(0, delta),
                      Qt::NoButton, Qt::NoModifier, Qt::NoScrollPhase, false);
    QApplication::sendEvent(widget, &event);
}

} // namespace

class ViewTest : public WindowTest {
protected:
    GLSketch* view() const { return window_->sketchView; }
    QImage frame() const { return view()->grabFramebuffer(); }

    // Where the terrain's front row shows column c, just below its top (view pixels, y down).
    QPoint columnOnScreen(int column) const {
        const gmVector2& p = window_->session().model().grid()[0][static_cast<size_t>(column)];
        const int viewport[4] = {0, 0, view()->width(), view()->height()};
        double x = 0.0, y = 0.0;
        projectPoint(view()->terrainModelViewMatrix(), view()->projectionMatrix(), viewport, p[0],
                     p[1] - 10.0, 0.0, x, y);
        return QPoint(qRound(x), view()->height() - qRound(y));
    }

    // A new window of the given size, at stage 1 with a mountain drawn across its view.
    void terrainInWindowOf(QSize size) {
        window_ = std::make_unique<MondrelMainWindow>();
        window_->resize(size);
        window_->show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(window_.get()));
        goToStage(1);
    }

    void expectWholeTerrainInView(const char* where) {
        const QRect drawn = drawnBounds(frame());
        const QRect inside = QRect(QPoint(0, 0), frame().size()).adjusted(1, 1, -1, -1);
        EXPECT_TRUE(inside.contains(drawn))
            << where << " " << drawn.x() << "," << drawn.y() << " " << drawn.width() << "x"
            << drawn.height() << " in " << frame().width() << "x" << frame().height();
        EXPECT_GT(drawn.width(), frame().width() * 8 / 10) << where;
    }
};

TEST_F(ViewTest, StatusLineGuidesEachStageAndFollowsTheModel) {
    const auto says = [&](const char* text) { return window_->statusText().contains(text); };
    EXPECT_TRUE(says("left button") && says("\"Process Line\"") && says("No terrain yet"));
    saveShot(window_.get(), "guidance-stage0.png");

    goToStage(1);
    EXPECT_TRUE(says("Right-click") && says("No column selected"));
    EXPECT_TRUE(
        says(qPrintable(QString("Grid %1 × 51").arg(window_->session().model().grid()[0].size()))));
    // A plain right click selects, and the profile buttons follow at once.
    QTest::mouseClick(view(), Qt::RightButton, Qt::NoModifier, columnOnScreen(7));
    EXPECT_TRUE(window_->secondOptionButton->isEnabled() && window_->resetButton->isEnabled());
    EXPECT_TRUE(says("Column 7"));
    saveShot(window_.get(), "guidance-stage1.png");

    click(window_->nextButton);
    EXPECT_TRUE(says("roughen") && says("Profile randomness 0.00"));
    ASSERT_GT(dragSlider(60), 0);
    EXPECT_TRUE(says(qPrintable(QString("Profile randomness 0.%1")
                                    .arg(window_->randomSlider->value(), 2, 10, QChar('0')))));
    click(window_->firstOptionButton);
    EXPECT_TRUE(says("Drop-off 0.35"));
    window_->undoStack()->undo(); // the status line follows the model back too
    EXPECT_TRUE(says("Drop-off 0.30"));
    window_->undoStack()->redo();
    saveShot(window_.get(), "guidance-stage2.png");

    click(window_->nextButton);
    EXPECT_TRUE(says("shuffle") && says("Detail randomness 0.20"));
    ASSERT_GT(dragSlider(40), 0);
    EXPECT_TRUE(
        says(qPrintable(QString("Detail randomness 0.%1").arg(window_->randomSlider->value()))));
    saveShot(window_.get(), "guidance-stage3.png");
}

// Regression: in the first window the guidance was cut mid-word ("…Next builds the ter…").
// There it is whole in every stage with the values after it; a narrower window cuts the
// values, not the guidance.
TEST_F(ViewTest, TheFirstWindowShowsTheWholeGuidanceAndTheValues) {
    const auto shown = [&] { return window_->findChild<QLabel*>("statusLine")->text(); };
    ASSERT_EQ(window_->size(), QSize(856, 756));
    for (int stage = 0; stage < 4; ++stage) {
        if (stage == 1)
            goToStage(1);
        else if (stage > 1)
            click(window_->nextButton);
        const StatusText guidance = stageGuidance(stage);
        const StatusText values = modelValues(window_->session().model());
        EXPECT_TRUE(shown().startsWith(QString::fromStdString(guidance.full)) ||
                    shown().startsWith(QString::fromStdString(guidance.compact)))
            << "stage " << stage << ": " << shown().toStdString();
        EXPECT_TRUE(shown().endsWith(QString::fromStdString(values.full)) ||
                    shown().endsWith(QString::fromStdString(values.compact)))
            << "stage " << stage << ": " << shown().toStdString();
        saveShot(window_.get(), QString("status-stage%1.png").arg(stage));
    }
    window_->resize(window_->minimumSizeHint().width(), 756);
    QApplication::processEvents();
    const QString guidance = QString::fromStdString(stageGuidance(3).compact);
    EXPECT_TRUE(shown().startsWith(guidance) && shown().endsWith(QString("…")))
        << shown().toStdString();
}

TEST_F(ViewTest, TheWholeTerrainIsInViewAtEveryWindowSize) {
    const QSize large = window_->screen()->availableGeometry().size() - QSize(10, 30);
    terrainInWindowOf(window_->minimumSizeHint());
    expectWholeTerrainInView("smallest window");
    saveShot(window_.get(), "fit-smallest.png");
    // Regression: the slider used to shrink to its handle, which a 60-pixel drag did not move.
    click(window_->nextButton);
    EXPECT_GT(dragSlider(60), 0);
    EXPECT_GT(window_->randomSlider->value(), 30);
    terrainInWindowOf(large);
    expectWholeTerrainInView("large window");
    saveShot(window_.get(), "fit-large.png");

    terrainInWindowOf(QSize(856, 756));
    // The first window shows the terrain exactly as it always has.
    EXPECT_EQ(view()->size(), QSize(referenceViewWidth, referenceViewHeight));
    EXPECT_EQ(std::memcmp(view()->projectionMatrix().m, sketchProjection().m, sizeof(Matrix4)), 0);
    expectWholeTerrainInView("first window");
    // Made smaller after drawing, the window still shows all of it.
    window_->resize(window_->minimumSizeHint());
    // The session hears of the view's new size when the view is next laid out and drawn.
    const SketchModel& model = window_->session().model();
    EXPECT_TRUE(QTest::qWaitFor([&] {
        view()->grabFramebuffer();
        return model.viewWidth() == view()->width() && model.viewHeight() == view()->height();
    }));
    expectWholeTerrainInView("first window, shrunk");
    saveShot(window_.get(), "fit-shrunk.png");
}

TEST_F(ViewTest, WheelAndMiddleDragMoveThePicturePicksFollowAndHomeFramesIt) {
    goToStage(1);
    QTest::mouseClick(view(), Qt::RightButton, Qt::NoModifier, columnOnScreen(5));
    ASSERT_TRUE(activate());
    QTest::keyClick(window_.get(), Qt::Key_Home);
    const QImage first = frame();
    saveShot(window_.get(), "home.png");

    const QPoint pointer = columnOnScreen(12);
    turnWheel(view(), pointer, 240);
    const QImage zoomed = frame();
    EXPECT_NE(zoomed, first);
    // The terrain grows about the pointer: what was under it stays there.
    EXPECT_LE((columnOnScreen(12) - pointer).manhattanLength(), 1);
    drag(view(), {QPoint(300, 300), QPoint(250, 280), QPoint(200, 260)}, Qt::MiddleButton);
    EXPECT_NE(frame(), zoomed);
    saveShot(window_.get(), "zoomed-and-panned.png");

    for (int column : {3, 9, 16}) {
        QTest::mouseClick(view(), Qt::RightButton, Qt::NoModifier, columnOnScreen(column));
        EXPECT_EQ(window_->session().model().currentProfile(), column);
    }

    QTest::mouseClick(view(), Qt::RightButton, Qt::NoModifier, columnOnScreen(5));
    drag(view(), {QPoint(300, 300), QPoint(350, 320)}); // turn the view
    ASSERT_TRUE(activate());
    QTest::keyClick(window_.get(), Qt::Key_Home);
    EXPECT_EQ(view()->rotY(), 0.0f);
    EXPECT_EQ(frame(), first) << "Home frames the terrain the same way from any view";
}

// Also run with QT_SCALE_FACTOR 1.5 and 2 (see CMakeLists.txt).
TEST_F(ViewTest, StrokesPicksAndProfileStrokesLandUnderThePointerAtAnyScale) {
    const QSize room = window_->screen()->availableGeometry().size();
    EXPECT_LE(window_->width(), room.width());
    EXPECT_LE(window_->height(), room.height());
    const double scale = view()->devicePixelRatioF();
    const auto device = [scale](QPoint p) {
        return QPoint(qRound(p.x() * scale), qRound(p.y() * scale));
    };
    const auto near = [&](const QImage& image, QPoint p, auto test) {
        return anyPixelNear(image, device(p), qRound(2 * scale), test);
    };

    const int w = view()->width(), h = view()->height();
    drag(view(), {QPoint(w / 5, h / 2), QPoint(w / 2, h / 3), QPoint(w * 4 / 5, h / 2)});
    const QImage stroke = frame();
    EXPECT_TRUE(near(stroke, QPoint(w / 2, h / 3),
                     [](QColor c) { return c.red() > 200 && c.green() < 80; }));
    click(window_->firstOptionButton);
    click(window_->nextButton);
    ASSERT_EQ(window_->currentStage(), 1);

    const QPoint column8 = columnOnScreen(8);
    QTest::mouseClick(view(), Qt::RightButton, Qt::NoModifier, column8);
    EXPECT_EQ(window_->session().model().currentProfile(), 8);
    EXPECT_TRUE(near(frame(), column8 + QPoint(0, 15),
                     [](QColor c) { return c.red() > 150 && c.green() < 110; }));

    // Home centres the terrain in device pixels as well (it was off-centre at scale 2).
    ASSERT_TRUE(activate());
    QTest::keyClick(window_.get(), Qt::Key_Home);
    const QImage framed = frame();
    const QRect drawn = drawnBounds(framed);
    EXPECT_LE(std::abs(drawn.center().x() - framed.width() / 2), qRound(3 * scale));
    EXPECT_LE(std::abs(drawn.center().y() - framed.height() / 2), qRound(3 * scale));
    saveShot(window_.get(), "home-scaled.png");

    click(window_->firstOptionButton); // the global profile
    ProfileEditor* editor = window_->profileDialog();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(editor));
    GLSketchProfile* profileView = editor->profileView;
    const QPoint from(profileView->width() / 4, profileView->height() / 4);
    const QPoint middle(profileView->width() / 2, profileView->height() / 2);
    QTest::mousePress(profileView, Qt::LeftButton, Qt::NoModifier, from);
    QTest::mouseMove(profileView, middle);
    QTest::mouseMove(profileView, middle + QPoint(profileView->width() / 4, 0));
    EXPECT_TRUE(near(profileView->grabFramebuffer(), middle,
                     [](QColor c) { return c.blue() > 150 && c.red() < 100; }));
    saveShot(editor, "profile-stroke-scaled.png");
    QTest::mouseRelease(profileView, Qt::LeftButton, Qt::NoModifier, middle);
}
