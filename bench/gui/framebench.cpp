// Times one frame of the stage-3 terrain in the sketch view, drawn as it was (GL state on for
// the whole terrain pass) and as it is (confined to the lines); --compare times both in turns
// on one view and prints the ratio; --screens DIR saves frames of every stage to look at.
#include <QApplication>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>
#include <algorithm>
#include <benchmark/benchmark.h>
#include <chrono>
#include <clocale>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <memory>
#include <string>
#include <time.h>
#include <vector>

#include "gui/glsketch.h"
#include "gui/glsketchprofile.h"

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

std::unique_ptr<TimedSketch> stageThreeView(int width, int height, int columns) {
    auto view = std::make_unique<TimedSketch>(nullptr, "gLSketch1");
    if (!showView(*view, width, height))
        return nullptr;
    drawRidge(*view, columns, height);
    view->processLine();
    for (int i = 0; i < 3; ++i)
        view->next();
    return view;
}

void frameTime(benchmark::State& state, int width, int height, int columns, bool wholePass) {
    static std::unique_ptr<TimedSketch> view;
    view = stageThreeView(width, height, columns);
    if (!view) {
        state.SkipWithError("no usable OpenGL context");
        return;
    }
    view->setLineStateOnWholeTerrain(wholePass);
    const auto& grid = view->model().grid();
    state.counters["rows"] = static_cast<double>(grid.size());
    state.counters["columns"] = grid.empty() ? 0.0 : static_cast<double>(grid[0].size());
    view->renderFrame(); // the first frame builds the terrain mesh
    for (auto _ : state)
        view->renderFrame();
    view.reset();
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
    TimedSketch view(nullptr, "gLSketch1");
    if (!showView(view, defaultWidth, defaultHeight))
        return 1;
    save(view, dir, "stage0-background.png");
    drawRidge(view, 700, defaultHeight);
    view.processLine();
    QTest::mousePress(&view, Qt::LeftButton, Qt::NoModifier, QPoint(600, 200));
    for (int x = 600; x <= 800; x += 10)
        QTest::mouseMove(&view, QPoint(x, 200 + (x - 600) / 3));
    save(view, dir, "stage0-curve-and-stroke.png");
    QTest::mouseRelease(&view, Qt::LeftButton, Qt::NoModifier, QPoint(800, 266));
    view.processLine();
    view.coarsen();
    view.coarsen();
    save(view, dir, "stage0-coarsened-markers.png");
    view.refine();
    view.refine();

    view.next();
    save(view, dir, "stage1-terrain.png");
    const auto& grid = view.model().grid();
    const int columns = static_cast<int>(grid[0].size());
    // Edit two columns' profiles, then select a third.
    for (int c : {columns / 3, 2 * columns / 3}) {
        const double x = grid[0][static_cast<size_t>(c)][0];
        QTest::mouseClick(&view, Qt::RightButton, Qt::NoModifier,
                          QPoint(static_cast<int>(0.0012 * x * defaultWidth), 400));
        std::vector<gmVector2> profile;
        view.getProfile(profile);
        for (size_t i = 0; i < profile.size(); ++i)
            profile[i][1] *= 1.0 - 0.5 * std::sin(M_PI * static_cast<double>(i) / 50.0);
        view.receiveProfileChange(profile);
    }
    const double x = grid[0][static_cast<size_t>(columns / 2)][0];
    QTest::mouseClick(&view, Qt::RightButton, Qt::NoModifier,
                      QPoint(static_cast<int>(0.0012 * x * defaultWidth), 400));
    save(view, dir, "stage1-selected-column.png");
    QTest::mousePress(&view, Qt::LeftButton, Qt::NoModifier, QPoint(300, 300));
    QTest::mouseMove(&view, QPoint(380, 420));
    QTest::mouseRelease(&view, Qt::LeftButton, Qt::NoModifier, QPoint(380, 420));
    save(view, dir, "stage1-turned.png");

    view.next();
    view.randomnessChanged(40);
    view.changeBottomDropOff(true);
    save(view, dir, "stage2-randomness.png");
    view.next();
    view.randomnessChanged(20);
    save(view, dir, "stage3-refined.png");

    GLSketchProfile profile(nullptr, "gLSketchProfile1");
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

// Frame times of both drawings on one view, taken in turns so that a busy machine slows
// both alike: ten rounds of five frames each way, the median of the ten round means. Both the
// wall-clock time and the processor time of the whole process (the GL's own threads included)
// are given: on a machine busy with other work the latter tells the work a frame costs.
void compareDrawings(int columns) {
    const std::unique_ptr<TimedSketch> view = stageThreeView(defaultWidth, defaultHeight, columns);
    if (!view) {
        std::printf("no usable OpenGL context\n");
        return;
    }
    view->renderFrame(); // the first frame builds the terrain mesh
    struct Times {
        std::vector<double> wall, processor;
    };
    const auto processorMs = [] {
        timespec now{};
        clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &now);
        return static_cast<double>(now.tv_sec) * 1e3 + static_cast<double>(now.tv_nsec) * 1e-6;
    };
    const auto round = [&](bool wholePass, Times& times) {
        view->setLineStateOnWholeTerrain(wholePass);
        const auto start = std::chrono::steady_clock::now();
        const double startProcessor = processorMs();
        for (int frame = 0; frame < 5; ++frame)
            view->renderFrame();
        times.processor.push_back((processorMs() - startProcessor) / 5.0);
        times.wall.push_back(
            std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start)
                .count() /
            5.0);
    };
    Times whole, confined;
    for (int i = 0; i < 10; ++i) {
        round(true, whole);
        round(false, confined);
    }
    const auto median = [](std::vector<double> times) {
        std::sort(times.begin(), times.end());
        return (times[4] + times[5]) / 2.0;
    };
    std::printf("stage-3 frame, %dx%d view, curve of %d columns, medians of 10:\n"
                "  wall clock: whole-pass state %.2f ms, confined state %.2f ms: %.2fx\n"
                "  processor:  whole-pass state %.2f ms, confined state %.2f ms: %.2fx\n",
                defaultWidth, defaultHeight, columns, median(whole.wall), median(confined.wall),
                median(whole.wall) / median(confined.wall), median(whole.processor),
                median(confined.processor), median(whole.processor) / median(confined.processor));
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
    for (int i = 1; i < argc; ++i)
        if (std::strcmp(argv[i], "--compare") == 0) {
            compareDrawings(defaultWidth);
            compareDrawings(3840);
            return 0;
        }

    // The drawing as it was (GL state on for the whole terrain pass) and as it is (confined to
    // the lines), side by side; compare the medians.
    for (int columns : {defaultWidth, 3840})
        for (bool wholePass : {true, false}) {
            const std::string name = "stage3_frame/default_view_840x660_curve_" +
                                     std::to_string(columns) +
                                     (wholePass ? "/whole_pass_state" : "/confined_state");
            benchmark::RegisterBenchmark(name.c_str(), frameTime, defaultWidth, defaultHeight,
                                         columns, wholePass)
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
