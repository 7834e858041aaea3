#include <QFile>
#include <QImage>
#include <QProcess>
#include <QSignalSpy>
#include <QTest>
#include <algorithm>
#include <cmath>
#include <gtest/gtest.h>
#include <memory>

#include "../support/glrequirement.h"
#include "glviewtesting.h"
#include "gui/glsketch.h"
#include "sketch/sketchsession.h"

namespace {

constexpr int W = 600;
constexpr int H = 400;

using testing::internal::CaptureStdout;
using testing::internal::GetCapturedStdout;

bool isCurveOrange(QColor c) {
    return closeColour(c, QColor(230, 153, 0), 40);
}
bool isMarkerBlue(QColor c) {
    return c.blue() > 150 && c.red() < 60 && c.green() < 60;
}
bool isStrokeRed(QColor c) {
    return c.red() > 200 && c.green() < 60 && c.blue() < 60;
}
bool isBoxRed(QColor c) {
    return c.red() > 150 && c.green() < 110 && c.blue() < 60;
}
bool isLitGreen(QColor c) {
    return c.green() > 60 && c.red() < 50 && c.blue() < 50;
}
bool isBlack(QColor c) {
    return c.red() < 50 && c.green() < 50 && c.blue() < 50;
}
bool isWhite(QColor c) {
    return c.red() > 250 && c.green() > 250 && c.blue() > 250;
}

// A silhouette across most of the view: a hump peaking in the middle, in mouse coordinates.
std::vector<QPoint> mountainPath(int left = 20, int right = 580) {
    std::vector<QPoint> path;
    for (int x = left; x <= right; x += 4) {
        const double t = static_cast<double>(x - left) / (right - left);
        path.emplace_back(x, static_cast<int>(330 - 200 * std::sin(M_PI * t)));
    }
    return path;
}

class SketchViewTest : public testing::Test {
protected:
    void SetUp() override {
        view = std::make_unique<GLSketch>(session, nullptr, "sketchView");
        // What the window does with the view's reports.
        QObject::connect(view.get(), &GLSketch::resized,
                         [this](int w, int h) { session.setViewSize(w, h); });
        QObject::connect(view.get(), &GLSketch::strokeBegun,
                         [this](double x, double y) { session.beginStroke(x, y); });
        QObject::connect(view.get(), &GLSketch::strokeExtended,
                         [this](double x, double y) { session.extendStroke(x, y); });
        QObject::connect(view.get(), &GLSketch::columnPointedAt,
                         [this](double x, bool press) { session.pickColumn(x, press); });
        CaptureStdout();
        const bool ready = view->showStartupImage() && showAndWaitForGL(*view, W, H);
        startupOutput = GetCapturedStdout();
        if (!ready)
            MONDREL_SKIP_WITHOUT_GL("no usable OpenGL context (run the GL tests under xvfb-run)");
    }

    QImage frame() { return view->grabFramebuffer(); }

    // Where terrain model point (x, y, z) appears in the frame, y downwards.
    QPoint onScreen(double x, double y, double z) const {
        const int viewport[4] = {0, 0, W, H};
        double wx = 0.0, wy = 0.0;
        projectPoint(view->terrainModelViewMatrix(), view->projectionMatrix(), viewport, x, y, z,
                     wx, wy);
        return QPoint(static_cast<int>(wx), H - 1 - static_cast<int>(wy));
    }

    // A point of the surface: the middle of column c between two rows.
    QPoint onSurface(int column, int row) const {
        const auto& grid = session.model().grid();
        const double s = session.model().rowSpacing();
        const gmVector2& p = grid[static_cast<size_t>(row)][static_cast<size_t>(column)];
        return onScreen(p[0], p[1], row * s);
    }

    void next() {
        std::string reason;
        EXPECT_TRUE(session.next(reason)) << reason;
        view->updateGL();
    }

    void sketchMountainAndGoOn() {
        drag(*view, mountainPath());
        session.processLine();
        next();
    }

    TextureDirectory dir;
    SketchSession session;
    std::unique_ptr<GLSketch> view;
    std::string startupOutput;
};

TEST_F(SketchViewTest, StartsWithTheImageAndShowsItUprightUnderStageZero) {
    EXPECT_EQ(startupOutput,
              "Loaded Texture.png with resounding success\nSize=800,600 Depth=8 Alpha=0\n");
    const QImage expected(shippedTexturePath());
    ASSERT_FALSE(expected.isNull());
    const QImage shown = frame();
    // Sample between the pencil lines, top, middle and bottom, so a flipped or shifted image
    // shows.
    for (int iy : {20, 300, 580}) {
        for (int ix : {20, 420, 780}) {
            const int x = static_cast<int>((ix + 0.5) * W / expected.width());
            const int y = static_cast<int>((iy + 0.5) * H / expected.height());
            EXPECT_TRUE(closeColour(shown.pixelColor(x, y), expected.pixelColor(ix, iy), 4))
                << "at " << x << "," << y;
        }
    }
}

TEST_F(SketchViewTest, StrokeAndCurveAreDrawnWhereTheMouseWentMarkersOnlyWhenCoarsened) {
    const auto path = straightPath(QPoint(100, 200), QPoint(500, 200), 40);
    QTest::mousePress(view.get(), Qt::LeftButton, Qt::NoModifier, path.front());
    for (size_t i = 1; i < path.size(); ++i)
        QTest::mouseMove(view.get(), path[i]);
    EXPECT_TRUE(anyPixelNear(frame(), 300, 200, 2, isStrokeRed)) << "stroke in progress";
    QTest::mouseRelease(view.get(), Qt::LeftButton, Qt::NoModifier, path.back());
    session.processLine();

    QImage shown = frame();
    for (int x : {110, 300, 490})
        EXPECT_TRUE(anyPixelNear(shown, x, 200, 2, isCurveOrange)) << "curve at " << x;
    EXPECT_FALSE(anyPixelNear(shown, 300, 120, 10, isCurveOrange)) << "curve off the stroke";
    EXPECT_EQ(countPixels(shown, isMarkerBlue), 0) << "a dense curve carries no markers";
    EXPECT_EQ(countPixels(shown, isStrokeRed), 0) << "the stroke is consumed";

    session.coarsen();
    session.coarsen();
    const auto& curve = session.model().curve();
    ASSERT_GT(curve[1][0] - curve[0][0], 2.0);
    shown = frame();
    EXPECT_GT(countPixels(shown, isMarkerBlue), 0);
    const int x = static_cast<int>(curve[3][0]);
    EXPECT_TRUE(anyPixelNear(shown, x, H - static_cast<int>(curve[3][1]), 3, isMarkerBlue));
}

TEST_F(SketchViewTest, MouseStrokesBuildTheSameCurveInEitherDirection) {
    auto path = mountainPath(100, 500);
    drag(*view, path);
    session.processLine();
    const SketchModel::PointList forward = session.model().curve();
    ASSERT_EQ(forward.size(), 401u);
    EXPECT_EQ(forward.front()[0], 100.0);
    EXPECT_EQ(forward.front()[1], H - path.front().y()) << "mouse y is flipped";
    EXPECT_EQ(forward.back()[0], 500.0);

    session.clearCurve();
    std::reverse(path.begin(), path.end());
    drag(*view, path);
    session.processLine();
    const SketchModel::PointList& backward = session.model().curve();
    ASSERT_EQ(backward.size(), forward.size());
    for (size_t i = 0; i < forward.size(); ++i) {
        EXPECT_EQ(backward[i][0], forward[i][0]);
        EXPECT_EQ(backward[i][1], forward[i][1]);
    }
}

TEST_F(SketchViewTest, TerrainIsGreenLitAndCarriesABlackWireGrid) {
    sketchMountainAndGoOn();
    const auto& grid = session.model().grid();
    ASSERT_EQ(grid.size(), 51u);
    const int columns = static_cast<int>(grid[0].size());
    const QImage shown = frame();

    // Sample between the wire-grid lines (every fifth row, every columns / 10-th column).
    const int step = std::max(1, columns / 10);
    const auto between = [step](int c) { return c % step == 0 ? c + 1 : c; };
    const QPoint leftSlope = onSurface(between(columns / 4), 22);
    const QPoint rightSlope = onSurface(between(columns * 9 / 10), 22);
    ASSERT_TRUE(isLitGreen(shown.pixelColor(leftSlope)));
    ASSERT_TRUE(isLitGreen(shown.pixelColor(rightSlope)));
    // The light comes from the upper left: the slope facing it is brighter.
    EXPECT_GT(shown.pixelColor(leftSlope).green(), shown.pixelColor(rightSlope).green() + 10);
    EXPECT_GT(countPixels(shown, isBlack), 500);
    EXPECT_EQ(countPixels(shown, isBoxRed), 0) << "no column selected yet";
}

TEST_F(SketchViewTest, RedBoxStandsAtThePickedColumn) {
    sketchMountainAndGoOn();
    const auto& grid = session.model().grid();
    const int picked = 10;
    const QPoint press = onSurface(picked, 25);
    QTest::mouseClick(view.get(), Qt::RightButton, Qt::NoModifier, press);
    ASSERT_EQ(session.model().currentProfile(), picked);

    const QImage shown = frame();
    const double s = session.model().rowSpacing();
    const auto boxMiddle = [&](int c) {
        const gmVector2& top = grid.front()[static_cast<size_t>(c)];
        const gmVector2& bottom = grid.back()[static_cast<size_t>(c)];
        return onScreen(top[0], (top[1] + bottom[1]) / 2 + 1, 51 * s);
    };
    const QPoint atBox = boxMiddle(picked);
    EXPECT_TRUE(anyPixelNear(shown, atBox.x(), atBox.y(), 1, isBoxRed));
    const QPoint elsewhere = boxMiddle(picked + 4);
    EXPECT_FALSE(anyPixelNear(shown, elsewhere.x(), elsewhere.y(), 1, isBoxRed));
}

TEST_F(SketchViewTest, RefinedTerrainIsDrawnAsDeepAsTheTerrainBeforeIt) {
    sketchMountainAndGoOn();
    next();
    // Looked down on from 60 degrees above the front view, the terrain's depth runs up the
    // frame: its back row is the highest thing drawn, the ends of the front row the lowest.
    for (int turn = 0; turn < 2; ++turn)
        drag(*view, straightPath(QPoint(300, 350), QPoint(300, 100), 10));
    const auto drawnRows = [](const QImage& image) {
        int top = image.height(), bottom = -1;
        for (int y = 0; y < image.height(); ++y)
            for (int x = 0; x < image.width(); ++x)
                if (!isWhite(image.pixelColor(x, y))) {
                    top = std::min(top, y);
                    bottom = std::max(bottom, y);
                }
        return std::make_pair(top, bottom);
    };
    const auto before = drawnRows(frame());
    next();
    ASSERT_EQ(session.model().stage(), 3);
    const auto after = drawnRows(frame());
    ASSERT_GT(before.second - before.first, 150) << "the whole depth is in the frame";
    EXPECT_NEAR(after.first, before.first, 3) << "the back row stays where it was";
    EXPECT_NEAR(after.second, before.second, 3);
}

TEST_F(SketchViewTest, RightPressOverTheFirstColumnSelectsItAndDragsReportTheSelection) {
    drag(*view, straightPath(QPoint(96, 250), QPoint(560, 250), 50));
    session.processLine();
    ASSERT_EQ(session.model().curve().front()[0], 96.0);
    next();
    const auto& first = session.model().grid()[0][0];

    CaptureStdout();
    QSignalSpy spy(view.get(), &GLSketch::columnPointedAt);
    QTest::mousePress(view.get(), Qt::RightButton, Qt::NoModifier,
                      onScreen(first[0], first[1] - 20, 0));
    EXPECT_EQ(session.model().currentProfile(), 0);
    // A plain right click selects as a drag does, so the press tells the window too.
    ASSERT_EQ(spy.count(), 1);
    QTest::mouseMove(view.get(), onSurface(5, 10));
    EXPECT_EQ(session.model().currentProfile(), 5);
    QTest::mouseMove(view.get(), QPoint(W - 2, 200));
    EXPECT_EQ(session.model().currentProfile(), -1);
    QTest::mouseRelease(view.get(), Qt::RightButton, Qt::NoModifier, QPoint(W - 2, 200));
    EXPECT_EQ(GetCapturedStdout(), "Current profile is 0\n");
    ASSERT_EQ(spy.count(), 3);
    EXPECT_TRUE(spy.at(0).at(1).toBool()) << "the press";
    EXPECT_FALSE(spy.at(1).at(1).toBool());
    EXPECT_FALSE(spy.at(2).at(1).toBool());
}

TEST_F(SketchViewTest, LeftDragsTurnTheViewByPointOneTwoDegreesPerPixelAfterStageZero) {
    drag(*view, straightPath(QPoint(100, 200), QPoint(200, 300), 10));
    EXPECT_EQ(view->rotX(), 0.0f);
    EXPECT_EQ(view->rotY(), 0.0f);
    session.processLine();

    float expectedX = 0.0f, expectedY = 0.0f;
    for (int stage = 1; stage <= 3; ++stage) {
        next();
        ASSERT_EQ(session.model().stage(), stage);
        drag(*view, straightPath(QPoint(200, 100), QPoint(300, 100), 10)); // right
        expectedY += 12.0f;
        EXPECT_NEAR(view->rotY(), expectedY, 1e-3) << "stage " << stage;
        drag(*view, straightPath(QPoint(200, 100), QPoint(200, 150), 5)); // down
        expectedX += 6.0f;
        EXPECT_NEAR(view->rotX(), expectedX, 1e-3) << "stage " << stage;
    }
    drag(*view, straightPath(QPoint(200, 100), QPoint(300, 150), 5), Qt::MiddleButton);
    EXPECT_NEAR(view->rotY(), expectedY, 1e-3) << "only the left button turns";
}

// Regression: in a large view the terrain stayed in the bottom-left corner after Home.
TEST_F(SketchViewTest, HomeCentresTheWholeTerrainInALargeView) {
    sketchMountainAndGoOn();
    view->resize(1900, 1150);
    frame(); // the view hears its new size when it is next drawn
    ASSERT_EQ(session.model().viewWidth(), 1900);
    view->resetView();
    const QImage shown = frame();
    int left = shown.width(), right = -1, top = shown.height(), bottom = -1;
    for (int y = 0; y < shown.height(); ++y)
        for (int x = 0; x < shown.width(); ++x)
            if (!isWhite(shown.pixelColor(x, y))) {
                left = std::min(left, x);
                right = std::max(right, x);
                top = std::min(top, y);
                bottom = std::max(bottom, y);
            }
    const double scale = shown.width() / 1900.0;
    EXPECT_NEAR((left + right) / 2.0, shown.width() / 2.0, 4 * scale);
    EXPECT_NEAR((top + bottom) / 2.0, shown.height() / 2.0, 4 * scale);
    EXPECT_TRUE(right - left > 0.85 * shown.width() || bottom - top > 0.85 * shown.height())
        << left << "," << top << " .. " << right << "," << bottom;
}

// A pick in a turned view once turned it back to the front and picked there.
TEST_F(SketchViewTest, RightPressInATurnedViewPicksTheColumnUnderThePointer) {
    sketchMountainAndGoOn();
    drag(*view, straightPath(QPoint(300, 100), QPoint(400, 150), 10));
    const float rotX = view->rotX(), rotY = view->rotY();
    ASSERT_NE(rotY, 0.0f);
    const QPoint column8 = onSurface(8, 0); // in the turned view
    CaptureStdout();
    QTest::mousePress(view.get(), Qt::RightButton, Qt::NoModifier, column8);
    GetCapturedStdout();
    EXPECT_EQ(view->rotX(), rotX);
    EXPECT_EQ(view->rotY(), rotY);
    EXPECT_EQ(session.model().currentProfile(), 8);
    QTest::mouseRelease(view.get(), Qt::RightButton, Qt::NoModifier, column8);
}

TEST_F(SketchViewTest, GridTooSmallIsSaidOnceAndTheViewCarriesOn) {
    // A closed curve leaves a terrain too small to draw.
    sketchMountainAndGoOn();
    session.clearCurve();
    const auto& grid = session.model().grid();
    ASSERT_TRUE(grid.empty() || grid[0].size() < 5u);
    CaptureStdout();
    frame();
    const QImage shown = frame();
    EXPECT_EQ(GetCapturedStdout(), "Grid too small!\n");
    EXPECT_EQ(countPixels(shown, [](QColor c) { return !isWhite(c); }), 0);
    EXPECT_TRUE(view->isVisible());
}

QImage solidImage(QColor colour, int width, int height) {
    QImage image(width, height, QImage::Format_RGB888);
    image.fill(colour);
    return image;
}

TEST_F(SketchViewTest, LoadedImagesReplaceTheBackgroundAndFailedLoadsKeepIt) {
    const QString red = dir.file("red.png");
    ASSERT_TRUE(solidImage(QColor(200, 40, 40), 32, 16).save(red));
    bool ok = false;
    QString message;
    CaptureStdout();
    view->loadPNG(red, ok, message);
    EXPECT_EQ(GetCapturedStdout(), "Loaded " + red.toStdString() +
                                       " with resounding success\nSize=32,16 Depth=8 Alpha=0\n");
    EXPECT_TRUE(ok);
    EXPECT_TRUE(message.isEmpty());
    EXPECT_EQ(view->textureWidth(), 32);
    EXPECT_TRUE(closeColour(frame().pixelColor(W / 2, H / 2), QColor(200, 40, 40), 2));

    QFile shipped(shippedTexturePath());
    ASSERT_TRUE(shipped.open(QIODevice::ReadOnly));
    const QString truncated = dir.file("truncated.png");
    QFile out(truncated);
    ASSERT_TRUE(out.open(QIODevice::WriteOnly));
    out.write(shipped.read(2000));
    out.close();
    // Wider than the largest image Mondrel shows (larger ones up to it are reduced).
    const QString wide = dir.file("wide.png");
    ASSERT_TRUE(solidImage(Qt::gray, 16385, 1).save(wide));
    const std::vector<std::pair<QString, QString>> failures{
        {dir.file("missing.png"), "No such file or directory"},
        {truncated, "The image is damaged or cut short."},
        {wide, "The image is 16385 x 1 pixels; the largest image Mondrel can show is 16384 x "
               "16384 pixels."}};
    for (const auto& [bad, reason] : failures) {
        ok = true;
        message.clear();
        CaptureStdout();
        view->loadPNG(bad, ok, message);
        EXPECT_EQ(GetCapturedStdout(), "Can't load " + bad.toStdString() + "\n");
        EXPECT_FALSE(ok);
        EXPECT_EQ(message, "Can't load " + bad + "\n" + reason);
        EXPECT_TRUE(closeColour(frame().pixelColor(W / 2, H / 2), QColor(200, 40, 40), 2))
            << "the previous background stays after " << bad.toStdString();
    }
}

// Regression: a photograph larger than the view lost most of its thin lines to nearest-pixel
// minification. Now it is averaged down; an enlarged image stays sharp.
TEST_F(SketchViewTest, LargePhotographsKeepTheirThinLinesAndSmallImagesStaySharp) {
    const int scale = 8; // image pixels per view pixel across
    QImage lines = solidImage(Qt::white, W * scale, 64);
    for (int i = 0; i < 16; ++i)
        for (int y = 0; y < lines.height(); ++y)
            lines.setPixelColor((i * 36 + 20) * scale + i % scale, y, Qt::black);
    const QString large = dir.file("lines.png");
    ASSERT_TRUE(lines.save(large));
    bool ok = false;
    QString message;
    CaptureStdout();
    view->loadPNG(large, ok, message);
    GetCapturedStdout();
    ASSERT_TRUE(ok);
    QImage shown = frame();
    for (int i = 0; i < 16; ++i)
        EXPECT_TRUE(
            anyPixelNear(shown, i * 36 + 20, H / 2, 1, [](QColor c) { return c.red() < 245; }))
            << "line " << i;

    QImage stripes = solidImage(Qt::white, 30, 20);
    for (int x = 0; x < stripes.width(); x += 2)
        for (int y = 0; y < stripes.height(); ++y)
            stripes.setPixelColor(x, y, Qt::black);
    ASSERT_TRUE(stripes.save(dir.file("stripes.png")));
    CaptureStdout();
    view->loadPNG(dir.file("stripes.png"), ok, message);
    GetCapturedStdout();
    shown = frame();
    EXPECT_EQ(countPixels(shown, [](QColor c) { return c.red() > 5 && c.red() < 250; }), 0)
        << "enlarged pixels are not blended";
}

// Regression: the window froze while a photograph loaded. It goes on handling its events
// (repaints, timers, queued calls) while the image decodes, and shows the image after.
TEST_F(SketchViewTest, TheViewHandlesEventsWhileAnImageLoads) {
    const QString photo = dir.file("photo.png");
    ASSERT_TRUE(solidImage(QColor(40, 40, 200), 2000, 1500).save(photo));
    bool loading = false, handledWhileLoading = false;
    QMetaObject::invokeMethod(
        view.get(), [&] { handledWhileLoading = loading; }, Qt::QueuedConnection);
    bool ok = false;
    QString message;
    loading = true;
    CaptureStdout();
    view->loadPNG(photo, ok, message);
    GetCapturedStdout();
    loading = false;
    EXPECT_TRUE(ok);
    EXPECT_TRUE(handledWhileLoading);
    // Reduced to the screen, a plain colour stays that colour.
    EXPECT_TRUE(closeColour(frame().pixelColor(W / 2, H / 2), QColor(40, 40, 200), 2));
}

// The start-up image, seen from a child process that starts as Mondrel does: without the
// image the program ends with status 1.
struct StartupRun {
    int exitCode;
    QString output;
};

StartupRun runStartupProbe(const TextureDirectory& where, bool workingDirectoryOnly = true) {
    QProcess probe;
    probe.setWorkingDirectory(where.path());
    // The probe ends through exit() with Qt's whole state alive, some of it reachable only
    // from thread-local data: in sanitizer runs its leak check must scan that storage.
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    if (environment.contains(QStringLiteral("LSAN_OPTIONS")))
        environment.insert(QStringLiteral("LSAN_OPTIONS"),
                           environment.value(QStringLiteral("LSAN_OPTIONS")) +
                               QStringLiteral(":use_tls=1"));
    probe.setProcessEnvironment(environment);
    QStringList arguments;
    if (workingDirectoryOnly)
        arguments << QStringLiteral("--working-directory-only");
    probe.start(QStringLiteral(MONDREL_BIN_DIR "/mondrel_sketch_startup_probe"), arguments);
    probe.waitForFinished(60000);
    return {probe.exitStatus() == QProcess::NormalExit ? probe.exitCode() : -1000,
            QString::fromLocal8Bit(probe.readAllStandardOutput())};
}

TEST_F(SketchViewTest, WithoutAStartupImageTheProgramEndsWithStatusOne) {
    const StartupRun good = runStartupProbe(dir);
    EXPECT_EQ(good.exitCode, 0);
    EXPECT_EQ(good.output,
              "Loaded Texture.png with resounding success\nSize=800,600 Depth=8 Alpha=0\n");

    TextureDirectory empty(false);
    const StartupRun missing = runStartupProbe(empty);
    EXPECT_EQ(missing.exitCode, 1);
    EXPECT_EQ(missing.output, "Can't load Texture.png\n");

    QFile broken(empty.file("Texture.png"));
    ASSERT_TRUE(broken.open(QIODevice::WriteOnly));
    broken.write("\x89PNG\r\n\x1a\nnot really an image");
    broken.close();
    const StartupRun unreadable = runStartupProbe(empty);
    EXPECT_EQ(unreadable.exitCode, 1);
    EXPECT_EQ(unreadable.output, "Can't load Texture.png\n");
}

// Started from a menu or another folder, the view falls back on the shipped image; a broken
// image in the working directory is still the one the user meant, and is reported.
TEST_F(SketchViewTest, AStartupImageOutsideTheWorkingDirectoryIsFoundInTheDataFolders) {
    TextureDirectory empty(false);
    const StartupRun elsewhere = runStartupProbe(empty, false);
    EXPECT_EQ(elsewhere.exitCode, 0);
    EXPECT_EQ(elsewhere.output,
              "Loaded Texture.png with resounding success\nSize=800,600 Depth=8 Alpha=0\n");

    QFile broken(empty.file("Texture.png"));
    ASSERT_TRUE(broken.open(QIODevice::WriteOnly));
    broken.write("\x89PNG\r\n\x1a\nnot really an image");
    broken.close();
    const StartupRun unreadable = runStartupProbe(empty, false);
    EXPECT_EQ(unreadable.exitCode, 1);
    EXPECT_EQ(unreadable.output, "Can't load Texture.png\n");
}

} // namespace

// The natural view once looked from the north with east on the right, a mirror image: the
// ground behind a range hid the range. Seen from the south, the nearer ground stands in front,
// lit from the viewer's upper left; the plain terrain shown after it keeps its green.
TEST_F(SketchViewTest, TheNaturalViewLooksNorthFromTheSouth) {
    sketchMountainAndGoOn();
    next();
    next();
    // Row 0 the south: a rock wall over the eastern half near the front, a low plateau rising
    // behind it over the whole width.
    std::vector<SketchModel::PointList> grid(41);
    for (int r = 0; r <= 40; ++r)
        for (int c = 0; c <= 60; ++c) {
            const double plateau = 30.0 * std::clamp((r - 18) / 10.0, 0.0, 1.0);
            grid[static_cast<size_t>(r)].emplace_back(
                10.0 * c, r >= 6 && r <= 9 && c >= 30 ? 150.0 : plateau);
        }
    view->setNaturalView(true);
    view->setNaturalGrid(grid, 5.0, -20 * 5.0); // the rows symmetric about the front line
    ASSERT_TRUE(view->showingNaturalTerrain());
    view->resetView();
    const QImage shown = frame();
    const auto rock = [](QColor c) {
        return std::abs(c.red() - c.green()) < 15 && std::abs(c.green() - c.blue()) < 15;
    };
    const auto green = [](QColor c) { return c.green() > c.red() + 20; };
    // Half the plateau's height: the wall where it stands (east), the plateau elsewhere.
    const QColor wall = shown.pixelColor(onScreen(450, 15, 37));
    EXPECT_TRUE(rock(wall)) << wall.name().toStdString();
    EXPECT_GT(wall.red(), 80) << "the face towards the viewer is lit, not in shadow";
    EXPECT_TRUE(green(shown.pixelColor(onScreen(150, 15, 115))));
    EXPECT_LT(onScreen(150, 15, 115).x(), onScreen(450, 15, 37).x()) << "east on the right";

    view->setNaturalView(false);
    const QImage plain = frame();
    EXPECT_TRUE(isLitGreen(plain.pixelColor(onSurface(10, 22))))
        << plain.pixelColor(onSurface(10, 22)).name().toStdString();
}
