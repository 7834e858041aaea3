#include "tests/app/windowfixture.h"
#include "../support/glrequirement.h"

#include <QAction>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QOpenGLContext>
#include <QPushButton>
#include <QSignalSpy>
#include <QSlider>
#include <QStyle>
#include <QStyleOptionSlider>
#include <QTest>
#include <cmath>

#include "app/backgroundwork.h"
#include "gui/glsketch.h"
#include "gui/glsketchprofile.h"
#include "gui/profileeditor.h"

void WindowTest::SetUp() {
    ASSERT_TRUE(dir_.isValid());
    const QString image = QStringLiteral(MONDREL_SOURCE_DIR "/data/Texture.png");
    // Without its start-up image Mondrel does not start.
    ASSERT_TRUE(QFile::exists(image)) << "missing start-up image " << image.toStdString();
    ASSERT_TRUE(QFile::copy(image, scratch(QStringLiteral("Texture.png"))));
    oldDir_ = QDir::currentPath();
    ASSERT_TRUE(QDir::setCurrent(dir_.path()));

    window_ = std::make_unique<MondrelMainWindow>();
    auto prompts = std::make_unique<ScriptedPrompts>();
    prompts_ = prompts.get();
    window_->setPrompts(std::move(prompts));
    ASSERT_TRUE(window_->showStartupImage());
    window_->show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(window_.get()));
    QOpenGLContext* context = window_->sketchView->context();
    if (!context || !context->isValid())
        MONDREL_SKIP_WITHOUT_GL("no valid OpenGL context (run under xvfb-run -a)");
}

void WindowTest::TearDown() {
    window_.reset();
    if (!oldDir_.isEmpty())
        QDir::setCurrent(oldDir_);
}

QString WindowTest::scratch(const QString& name) const {
    return dir_.filePath(name);
}

void WindowTest::drag(QWidget* widget, const std::vector<QPoint>& points, Qt::MouseButton button) {
    QTest::mousePress(widget, button, Qt::NoModifier, points.front());
    for (size_t i = 1; i < points.size(); ++i)
        QTest::mouseMove(widget, points[i]);
    QTest::mouseRelease(widget, button, Qt::NoModifier, points.back());
}

void WindowTest::drawMountain() {
    QWidget* view = window_->sketchView;
    const int width = view->width();
    const int height = view->height();
    std::vector<QPoint> points;
    for (int x = width / 20; x < width - width / 20; x += 3) {
        const double t = double(x) / width;
        const double ridge = 0.25 * std::exp(-40.0 * (t - 0.4) * (t - 0.4)) +
                             0.15 * std::exp(-90.0 * (t - 0.7) * (t - 0.7)) +
                             0.02 * std::sin(60.0 * t);
        points.emplace_back(x, int(height * (0.75 - ridge)));
    }
    drag(view, points);
}

void WindowTest::click(QWidget* widget) {
    QTest::mouseClick(widget, Qt::LeftButton);
}

bool WindowTest::activate() {
    for (int attempt = 0; attempt < 3; ++attempt) {
        window_->raise();
        window_->activateWindow();
        if (QTest::qWaitForWindowActive(window_.get(), 3000))
            return true;
    }
    return false;
}

void WindowTest::goToStage(int stage) {
    drawMountain();
    click(window_->firstOptionButton);
    while (window_->currentStage() < stage) {
        const int before = window_->currentStage();
        click(window_->nextButton);
        ASSERT_EQ(window_->currentStage(), before + 1) << prompts_->boxes.join('|').toStdString();
    }
}

bool WindowTest::selectColumn() {
    QWidget* view = window_->sketchView;
    const int y = view->height() / 2;
    for (int x = view->width() / 2; x > 0; x -= 10) {
        drag(view, {QPoint(x, y), QPoint(x + 1, y)}, Qt::RightButton);
        if (window_->hasSelectedProfile())
            return true;
    }
    return false;
}

int WindowTest::dragSlider(int dx) {
    QSlider* slider = window_->randomSlider;
    QStyleOptionSlider option;
    option.initFrom(slider);
    option.orientation = slider->orientation();
    option.minimum = slider->minimum();
    option.maximum = slider->maximum();
    option.sliderPosition = slider->sliderPosition();
    option.sliderValue = slider->value();
    option.singleStep = slider->singleStep();
    option.pageStep = slider->pageStep();
    option.subControls = QStyle::SC_All;
    const QRect handle = slider->style()->subControlRect(QStyle::CC_Slider, &option,
                                                         QStyle::SC_SliderHandle, slider);
    QSignalSpy moved(slider, &QSlider::sliderMoved);
    const QPoint start = handle.center();
    QTest::mousePress(slider, Qt::LeftButton, Qt::NoModifier, start);
    const int steps = 5;
    for (int i = 1; i <= steps; ++i)
        QTest::mouseMove(slider, start + QPoint(dx * i / steps, 0));
    QTest::mouseRelease(slider, Qt::LeftButton, Qt::NoModifier, start + QPoint(dx, 0));
    return int(moved.count());
}

void WindowTest::drawProfile(const std::vector<std::pair<double, double>>& unitPoints) {
    // The profile view shows -0.1 to 1.1 in both directions.
    QWidget* view = window_->profileDialog()->profileView;
    std::vector<QPoint> points;
    for (const auto& [px, py] : unitPoints)
        points.emplace_back(int((px + 0.1) / 1.2 * view->width()),
                            int(view->height() - (py + 0.1) / 1.2 * view->height()));
    drag(view, points);
}

void WindowTest::answerAndTrigger(const QString& name, QAction* action) {
    prompts_->answers.append(name);
    action->trigger();
    waitForWork();
}

void WindowTest::waitForWork() {
    QElapsedTimer waited;
    waited.start();
    while (window_->backgroundTask()->running() && waited.elapsed() < 120000)
        QTest::qWait(5);
    ASSERT_FALSE(window_->backgroundTask()->running());
}

bool WindowTest::waitForNaturalView() {
    QElapsedTimer waited;
    waited.start();
    while ((window_->naturalPreviews()->busy() || !window_->sketchView->showingNaturalTerrain()) &&
           waited.elapsed() < 60000)
        QTest::qWait(5);
    return window_->sketchView->showingNaturalTerrain();
}

void WindowTest::saveShot(QWidget* widget, const QString& name) const {
    const QByteArray shots = qgetenv("MONDREL_SCREENSHOT_DIR");
    if (!shots.isEmpty())
        widget->grab().save(QDir(QString::fromLocal8Bit(shots)).filePath(name));
}

int occurrences(const std::string& text, const std::string& needle) {
    int count = 0;
    for (size_t at = text.find(needle); at != std::string::npos;
         at = text.find(needle, at + needle.size()))
        ++count;
    return count;
}

Pairs pairsOf(const std::vector<gmVector2>& points) {
    Pairs pairs;
    for (const gmVector2& p : points)
        pairs.emplace_back(p[0], p[1]);
    return pairs;
}

std::vector<Pairs> rowsOf(const std::vector<std::vector<gmVector2>>& grid) {
    std::vector<Pairs> rows;
    for (const auto& row : grid)
        rows.push_back(pairsOf(row));
    return rows;
}
