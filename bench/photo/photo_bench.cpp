// Loading a large background image, the way Mondrel did it before beside the way it does now:
//   xvfb-run -a -s "-screen 0 1280x1024x24" build/bin/photo_bench
// The pictures are made here: a photograph-like 4000 x 3000 landscape (plain and interlaced),
// noise of the same size, and a 1-bit 16384 x 16384 file of a few kilobytes.
//   decode/...  the decoding alone: before, the whole image (read through first when over
//               32 MB, then decoded); now, straight into the screen's size (1280 x 1024 here).
//   load/...    until the picture is a texture in the sketch view: before, the whole image
//               uploaded with its mipmaps; now, the view's own loadPNG.
// Times are wall-clock ("real") and the whole process's CPU time (the decoding runs on a
// worker thread). Target: a 12-megapixel photograph in 1.5 s or less.
//
//   photo_bench --write DIR          writes the pictures to DIR
//   photo_bench --load before|now FILE
//                                    loads FILE once either way and prints the time, e.g.
//                                    under /usr/bin/time -v for the peak memory.
#include <QApplication>
#include <QElapsedTimer>
#include <QTemporaryDir>
#include <QTest>
#include <benchmark/benchmark.h>
#include <cstdio>
#include <cstring>
#include <string>

#include "gui/glsketch.h"
#include "photoimage.h"
#include "sketch/sketchsession.h"

namespace {

// What the sketch view reduces to on the 1280 x 1024 screen of the benchmark machines.
const PngFit screenFit{1280, 1024};

class PhotoSketch : public GLSketch {
public:
    using GLSketch::GLSketch;

    // Mondrel's earlier path: the whole image decoded, then uploaded into a texture that
    // builds its mipmaps.
    bool loadWhole(const std::string& file) {
        PngImage image;
        std::string error;
        if (!pngDecode(file, image, error))
            return false;
        makeCurrent();
        GLuint texture = 0;
        glGenTextures(1, &texture);
        glBindTexture(GL_TEXTURE_2D, texture);
        glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_LINEAR_MIPMAP_LINEAR);
        glTexParameteri(GL_TEXTURE_2D, GL_GENERATE_MIPMAP, GL_TRUE);
        pngUpload(image);
        glFinish();
        glDeleteTextures(1, &texture);
        doneCurrent();
        return true;
    }

    // The view's own path, until the GL has the texture.
    bool loadNow(const std::string& file) {
        bool ok = false;
        QString message;
        loadPNG(QString::fromStdString(file), ok, message);
        makeCurrent();
        glFinish();
        doneCurrent();
        return ok;
    }
};

struct ShownView {
    SketchSession session;
    PhotoSketch view{session, nullptr, "sketchView"};
    ShownView() {
        session.setPrinting(false);
        view.resize(840, 660);
        view.show();
        if (!QTest::qWaitForWindowExposed(&view))
            std::fprintf(stderr, "the view was not shown\n");
    }
};

// Made in main, after the application and before the benchmarks run; gone before the
// application is.
ShownView* shown = nullptr;

ShownView& shownView() {
    return *shown;
}

struct Picture {
    const char* name;
    std::string file;
};

bool writePictures(const QString& dir, std::vector<Picture>& pictures) {
    const auto path = [&](const char* name) { return (dir + "/" + name).toStdString(); };
    const std::vector<unsigned char> photo = photoLikePixels(4000, 3000);
    pictures = {{"photo_4000x3000", path("photo.png")},
                {"photo_4000x3000_interlaced", path("photo-interlaced.png")},
                {"noise_4000x3000", path("noise.png")},
                {"onebit_16384x16384", path("onebit.png")}};
    return writeBytes(pictures[0].file, encodePng(photo, 4000, 3000)) &&
           writeBytes(pictures[1].file, encodePng(photo, 4000, 3000, true)) &&
           writeBytes(pictures[2].file, encodePng(noisePixels(4000, 3000), 4000, 3000)) &&
           writeBytes(pictures[3].file, oneBitPng(16384));
}

void decodeBefore(benchmark::State& state, const std::string& file) {
    for (auto _ : state) {
        PngImage image;
        std::string error;
        if (!pngDecode(file, image, error))
            state.SkipWithError(error.c_str());
        benchmark::DoNotOptimize(image.rgb.data());
    }
}

void decodeNow(benchmark::State& state, const std::string& file) {
    for (auto _ : state) {
        PngImage image;
        std::string error;
        if (!pngDecodeFitting(file, screenFit, image, error))
            state.SkipWithError(error.c_str());
        benchmark::DoNotOptimize(image.rgb.data());
    }
}

void loadBefore(benchmark::State& state, const std::string& file) {
    for (auto _ : state)
        if (!shownView().view.loadWhole(file))
            state.SkipWithError("cannot load");
}

void loadNow(benchmark::State& state, const std::string& file) {
    for (auto _ : state)
        if (!shownView().view.loadNow(file))
            state.SkipWithError("cannot load");
}

int loadOnce(const char* how, const char* file) {
    PhotoSketch& view = shownView().view;
    QElapsedTimer timer;
    timer.start();
    const bool ok = std::strcmp(how, "before") == 0 ? view.loadWhole(file) : view.loadNow(file);
    std::printf("%s %s: %s in %.3f s\n", how, file, ok ? "loaded" : "failed",
                static_cast<double>(timer.elapsed()) / 1000.0);
    return ok ? 0 : 1;
}

} // namespace

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    ShownView view;
    shown = &view;
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--write") == 0 && i + 1 < argc) {
            std::vector<Picture> pictures;
            return writePictures(QString::fromLocal8Bit(argv[i + 1]), pictures) ? 0 : 1;
        }
        if (std::strcmp(argv[i], "--load") == 0 && i + 2 < argc)
            return loadOnce(argv[i + 1], argv[i + 2]);
    }
    QTemporaryDir dir;
    std::vector<Picture> pictures;
    if (!dir.isValid() || !writePictures(dir.path(), pictures)) {
        std::fprintf(stderr, "cannot write the pictures\n");
        return 1;
    }
    for (const Picture& picture : pictures) {
        const std::string name = picture.name;
        // The whole 16384 x 16384 image would take gigabytes and minutes the earlier way.
        const bool huge = name.rfind("onebit", 0) == 0;
        const auto each = [](benchmark::internal::Benchmark* b) {
            b->Unit(benchmark::kMillisecond)
                ->UseRealTime()
                ->MeasureProcessCPUTime()
                ->Iterations(1)
                ->Repetitions(3);
        };
        if (!huge) {
            each(benchmark::RegisterBenchmark(("decode/before/" + name).c_str(), decodeBefore,
                                              picture.file));
        }
        each(benchmark::RegisterBenchmark(("decode/now/" + name).c_str(), decodeNow, picture.file));
        if (!huge)
            each(benchmark::RegisterBenchmark(("load/before/" + name).c_str(), loadBefore,
                                              picture.file));
        each(benchmark::RegisterBenchmark(("load/now/" + name).c_str(), loadNow, picture.file));
    }
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
