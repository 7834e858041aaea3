// Times one frame of the stage-3 terrain in the sketch view; --screens DIR saves frames of
// every stage to look at.
#include <QApplication>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>
#include <algorithm>
#include <benchmark/benchmark.h>
#include <clocale>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "gui/glsketch.h"
#include "gui/glsketchprofile.h"
#include "sketch/sketchsession.h"

namespace {

// The sketch view of the default main window.
constexpr int defaultWidth = 840;
constexpr int defaultHeight = 660;

class TimedSketch : public GLSketch {
public:
    using GLSketch::GLSketch;
    // Draws one frame into the view's buffer and waits for the GL to finish it.
    void renderFrame() {
        makeCurrent();
        paintGL();
        glFinish();
        doneCurrent();
    }
};

// A sketch view over its own session, wired as the window wires them.
struct SketchUnderTest {
    SketchSession session;
    TimedSketch view{session, nullptr, "sketchView"};

    SketchUnderTest() {
        QObject::connect(&view, &GLSketch::resized,
                         [this](int w, int h) { session.setViewSize(w, h); });
        QObject::connect(&view, &GLSketch::strokeBegun,
                         [this](int x, int y) { session.beginStroke(x, y); });
        QObject::connect(&view, &GLSketch::strokeExtended,
                         [this](int x, int y) { session.extendStroke(x, y); });
        QObject::connect(&view, &GLSketch::columnPointedAt,
                         [this](double x, bool press) { session.pickColumn(x, press); });
        view.showStartupImage();
    }
    void next() {
        std::string reason;
        session.next(reason);
    }
};

bool showView(QOpenGLWidget& view, int width, int height) {
    view.resize(width, height);
    view.show();
    if (!QTest::qWaitForWindowExposed(&view))
        return false;
    view.grabFramebuffer();
    return view.isValid();
}

// A ridge of two peaks over columns 0 .. columns - 1, drawn with the mouse.
void drawRidge(QWidget& view, int columns, int height) {
    const auto at = [&](int x) {
        const double t = static_cast<double>(x) / (columns - 1);
        const double y = 0.35 + 0.3 * std::sin(M_PI * t) + 0.08 * std::sin(5 * M_PI * t);
        return QPoint(x, static_cast<int>(height * (1.0 - y)));
    };
    QTest::mousePress(&view, Qt::LeftButton, Qt::NoModifier, at(0));
    for (int x = 3; x < columns; x += 3)
        QTest::mouseMove(&view, at(x));
    QTest::mouseMove(&view, at(columns - 1));
    QTest::mouseRelease(&view, Qt::LeftButton, Qt::NoModifier, at(columns - 1));
}

std::unique_ptr<SketchUnderTest> stageThreeView(int width, int height, int columns) {
    auto sketch = std::make_unique<SketchUnderTest>();
    if (!showView(sketch->view, width, height))
        return nullptr;
    drawRidge(sketch->view, columns, height);
    sketch->session.processLine();
    for (int i = 0; i < 3; ++i)
        sketch->next();
    return sketch;
}

void frameTime(benchmark::State& state, int width, int height, int columns) {
    static std::unique_ptr<SketchUnderTest> sketch;
    sketch = stageThreeView(width, height, columns);
    if (!sketch) {
        state.SkipWithError("no usable OpenGL context");
        return;
    }
    const auto& grid = sketch->session.model().grid();
    state.counters["rows"] = static_cast<double>(grid.size());
    state.counters["columns"] = grid.empty() ? 0.0 : static_cast<double>(grid[0].size());
    sketch->view.renderFrame(); // the first frame builds the terrain mesh
    for (auto _ : state)
        sketch->view.renderFrame();
    sketch.reset();
}

bool save(QOpenGLWidget& view, const QString& dir, const char* name) {
    const QString file = QDir(dir).filePath(QString::fromLatin1(name));
    const bool ok = view.grabFramebuffer().save(file);
    std::printf("%s %s\n", ok ? "saved" : "could not save", file.toLocal8Bit().constData());
    return ok;
}

// One frame of every stage, as the user would see them.
int saveScreens(const QString& dir) {
    QDir().mkpath(dir);
    SketchUnderTest sketch;
    TimedSketch& view = sketch.view;
    SketchSession& session = sketch.session;
    if (!showView(view, defaultWidth, defaultHeight))
        return 1;
    save(view, dir, "stage0-background.png");
    drawRidge(view, 700, defaultHeight);
    session.processLine();
    QTest::mousePress(&view, Qt::LeftButton, Qt::NoModifier, QPoint(600, 200));
    for (int x = 600; x <= 800; x += 10)
        QTest::mouseMove(&view, QPoint(x, 200 + (x - 600) / 3));
    save(view, dir, "stage0-curve-and-stroke.png");
    QTest::mouseRelease(&view, Qt::LeftButton, Qt::NoModifier, QPoint(800, 266));
    session.processLine();
    session.coarsen();
    session.coarsen();
    save(view, dir, "stage0-coarsened-markers.png");
    session.refine();
    session.refine();

    sketch.next();
    view.updateGL();
    save(view, dir, "stage1-terrain.png");
    const auto& grid = session.model().grid();
    const int columns = static_cast<int>(grid[0].size());
    // Edit two columns' profiles, then select a third.
    for (int c : {columns / 3, 2 * columns / 3}) {
        const double x = grid[0][static_cast<size_t>(c)][0];
        QTest::mouseClick(&view, Qt::RightButton, Qt::NoModifier,
                          QPoint(static_cast<int>(0.0012 * x * defaultWidth), 400));
        std::vector<gmVector2> profile = session.selectedProfile();
        for (size_t i = 0; i < profile.size(); ++i)
            profile[i][1] *= 1.0 - 0.5 * std::sin(M_PI * static_cast<double>(i) / 50.0);
        session.setSelectedProfile(profile);
    }
    const double x = grid[0][static_cast<size_t>(columns / 2)][0];
    QTest::mouseClick(&view, Qt::RightButton, Qt::NoModifier,
                      QPoint(static_cast<int>(0.0012 * x * defaultWidth), 400));
    save(view, dir, "stage1-selected-column.png");
    QTest::mousePress(&view, Qt::LeftButton, Qt::NoModifier, QPoint(300, 300));
    QTest::mouseMove(&view, QPoint(380, 420));
    QTest::mouseRelease(&view, Qt::LeftButton, Qt::NoModifier, QPoint(380, 420));
    save(view, dir, "stage1-turned.png");

    sketch.next();
    view.updateGL();
    session.setSliderValue(40);
    session.changeBottomDropOff(true);
    save(view, dir, "stage2-randomness.png");
    sketch.next();
    view.updateGL();
    session.setSliderValue(20);
    save(view, dir, "stage3-refined.png");

    GLSketchProfile profile(nullptr, "profileView");
    if (!showView(profile, 360, 300))
        return 1;
    save(profile, dir, "profile-default.png");
    const auto at = [](double u, double v) {
        return QPoint(static_cast<int>((u + 0.1) / 1.2 * 360),
                      static_cast<int>(300 - (v + 0.1) / 1.2 * 300));
    };
    QTest::mousePress(&profile, Qt::LeftButton, Qt::NoModifier, at(0.1, 0.95));
    for (int i = 1; i <= 20; ++i) {
        const double u = 0.1 + 0.04 * i;
        QTest::mouseMove(&profile, at(u, 0.95 - 0.8 * u * u));
    }
    save(profile, dir, "profile-stroke.png");
    QTest::mouseRelease(&profile, Qt::LeftButton, Qt::NoModifier, at(0.9, 0.3));
    save(profile, dir, "profile-edited.png");
    return 0;
}

} // namespace

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    std::setlocale(LC_NUMERIC, "C");
    QTemporaryDir dir;
    QFile::copy(QStringLiteral(MONDREL_SOURCE_DIR "/data/Texture.png"),
                dir.filePath(QStringLiteral("Texture.png")));
    QDir::setCurrent(dir.path());

    for (int i = 1; i + 1 < argc; ++i)
        if (std::strcmp(argv[i], "--screens") == 0)
            return saveScreens(QString::fromLocal8Bit(argv[i + 1]));
    for (int columns : {defaultWidth, 3840}) {
        const std::string name =
            "stage3_frame/default_view_840x660_curve_" + std::to_string(columns);
        benchmark::RegisterBenchmark(name.c_str(), frameTime, defaultWidth, defaultHeight, columns)
            ->Unit(benchmark::kMillisecond)
            ->UseRealTime()
            ->Repetitions(10)
            ->ReportAggregatesOnly(true);
    }
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
