// silhouette-check: renders the silhouette of an exported heightmap as a camera sees it and
// compares it with the skyline that was drawn, to check from outside Mondrel's construction
// that what was traced is what the terrain shows.
//
// The raster is an ESRI ASCII grid as the exports write it; the skyline a curve file (.c2d)
// or a project (.mondrel, its silhouette as drawn), in the view's pixels, y up. A project with
// several skyline layers is seen as their outline in the view: at every column the highest
// of the layers' skylines (hidden layers too); besides the outline's line, one line per layer
// gives the deviation over the columns where that layer is the outline. The view is
// --view W,H pixels (800,600 by default). Two cameras (tools/analysis/silhouetterender.h):
//
//   orthographic (the default) straight on from the south, the sketch's own view: the raster
//       placed as the exports place it, image x = (x - X) / M and y = height / M for
//       --scale M and --origin X,Y (1 and 0,0 by default, mondrel-build's own);
//   --perspective with --eye X,N,Z (the eye's east, north and height in the raster's units),
//       --fov DEG (the horizontal field of view, 60 by default) and --horizon Y (the image
//       row of eye level, y up; the view's middle by default), looking north.
//
// --project P.mondrel takes the skyline and the camera from a project: its front layer's
// skyline as drawn, and its camera (sketch/sketchcamera.h). Straight on that is the
// orthographic view; in perspective the view is the camera's frame (unless --view says
// otherwise), the field of view and horizon row are the camera's, and the eye stands
// frameWidth / 2 * M east of the origin, the front layer's distance south of it and at the
// camera's eye height, for the export's --scale M and --origin X,Y: where Mondrel's own
// construction places it.
//
// It prints the rendered silhouette's deviation from the skyline over the columns the
// skyline spans, each column against the skyline's range over the raster cell seen there
// (the raster holds no finer detail): the largest in pixels and in % of the view's height,
// the mean, and the share of columns within 0.5% of the view's height, and the plain mean
// distance at the columns themselves; then one check line, PASS when every column is within
// 0.5%. With --png FILE it also draws both: the terrain in view grey-green under the
// rendered silhouette (dark), and the drawn skyline in red.
//
// Usage: silhouette-check (--skyline FILE | --project FILE) [--view W,H] [--scale M]
//        [--origin X,Y] [--perspective --eye X,N,Z [--fov DEG] [--horizon Y]] [--png FILE]
//        TERRAIN.asc
//
// Exit status: 0 when the check passes, 1 when it fails, 2 for a usage or file error.
#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "fileio/curvefile.h"
#include "heightmap/rasterwriters.h"
#include "project/projectfile.h"
#include "tools/analysis/silhouetterender.h"

namespace {

const char* usage =
    "Usage: silhouette-check (--skyline FILE | --project FILE) [--view W,H] [--scale M]\n"
    "       [--origin X,Y] [--perspective --eye X,N,Z [--fov DEG] [--horizon Y]] [--png FILE]\n"
    "       TERRAIN.asc\n";

// Two or three numbers separated by commas.
bool parseNumbers(const char* text, std::vector<double>& values, std::size_t count) {
    values.clear();
    const char* p = text;
    while (values.size() < count) {
        char* end = nullptr;
        errno = 0;
        const double v = std::strtod(p, &end);
        if (end == p || errno != 0 || !std::isfinite(v))
            return false;
        values.push_back(v);
        p = end;
        if (values.size() < count) {
            if (*p != ',')
                return false;
            ++p;
        }
    }
    return *p == '\0';
}

using Points = std::vector<std::pair<double, double>>;

// A project's skyline layers behind the front one, named, with points.
struct LayerSkyline {
    std::string name;
    Points skyline;
};

bool readSkyline(const std::string& name, Points& skyline, std::vector<LayerSkyline>& layers) {
    std::vector<gmVector2> points;
    std::string reason;
    if (fileKindOf(name) == FileKind::project) {
        Project project;
        if (!readProjectFile(name, project, reason)) {
            std::fprintf(stderr, "silhouette-check: %s\n", reason.c_str());
            return false;
        }
        points = *project.sketch.silhouette;
        layers.push_back({project.sketch.layers.front().properties.name, {}});
        for (std::size_t i = 1; i < project.sketch.layers.size(); ++i) {
            const SketchState::Layer& layer = project.sketch.layers[i];
            if (layer.skyline->size() < 2)
                continue;
            LayerSkyline kept{layer.properties.name, {}};
            for (const gmVector2& p : *layer.skyline)
                kept.skyline.emplace_back(p[0], p[1]);
            layers.push_back(std::move(kept));
        }
    } else {
        int declared = 0;
        if (readCurveFile(name, points, declared, &reason) != CurveReadResult::ok) {
            std::fprintf(stderr, "silhouette-check: cannot read %s as a curve%s%s\n", name.c_str(),
                         reason.empty() ? "" : ": ", reason.c_str());
            return false;
        }
    }
    if (points.size() < 2) {
        std::fprintf(stderr, "silhouette-check: %s holds no skyline (fewer than 2 points)\n",
                     name.c_str());
        return false;
    }
    for (const gmVector2& p : points)
        skyline.emplace_back(p[0], p[1]);
    if (!layers.empty())
        layers.front().skyline = skyline;
    return true;
}

void printDeviation(const char* what, const SilhouetteDeviation& d, double tolerance, int height) {
    std::printf("%s: %d columns compared, %d with no terrain in view; largest deviation "
                "%.3f pixels (%.4f%% of the view's height) at x %.0f, rendered %s the skyline; "
                "mean %.3f pixels; %.2f%% of the columns within %.2f pixels (0.5%%); mean "
                "distance at the columns themselves %.3f pixels\n",
                what, d.columns, d.missing, d.worst, 100.0 * d.worst / height, d.worstX,
                d.worstSigned > 0 ? "above" : "below", d.mean, 100.0 * d.within, tolerance,
                d.pointMean);
}

// The picture of both: terrain under the rendered tops, the tops dark, the skyline red.
bool writePicture(const std::string& name, const std::vector<double>& tops,
                  const std::vector<std::pair<double, double>>& skyline, int width, int height) {
    std::vector<unsigned char> rgb(static_cast<std::size_t>(width) * height * 3, 255);
    const auto paint = [&](int x, int y, unsigned char r, unsigned char g, unsigned char b) {
        if (x < 0 || x >= width || y < 0 || y >= height)
            return;
        unsigned char* p = &rgb[(static_cast<std::size_t>(height - 1 - y) * width + x) * 3];
        p[0] = r;
        p[1] = g;
        p[2] = b;
    };
    for (int x = 0; x < width; ++x) {
        const double top = tops[static_cast<std::size_t>(x)];
        if (!std::isfinite(top))
            continue;
        const int t = static_cast<int>(std::lround(std::min(top, height + 1.0)));
        for (int y = 0; y < std::min(t, height); ++y)
            paint(x, y, 170, 190, 160);
        for (int y = t - 1; y <= t; ++y)
            paint(x, y, 40, 60, 40);
    }
    for (std::size_t i = 0; i + 1 < skyline.size(); ++i) {
        const auto& a = skyline[i];
        const auto& b = skyline[i + 1];
        const int steps = static_cast<int>(std::ceil(std::max(std::abs(b.first - a.first),
                                                              std::abs(b.second - a.second)))) +
                          1;
        for (int s = 0; s <= steps; ++s) {
            const double t = static_cast<double>(s) / steps;
            paint(static_cast<int>(std::lround(a.first + t * (b.first - a.first))),
                  static_cast<int>(std::lround(a.second + t * (b.second - a.second))), 220, 0, 0);
        }
    }
    std::FILE* out = std::fopen(name.c_str(), "wb");
    if (!out) {
        std::fprintf(stderr, "silhouette-check: cannot write %s: %s\n", name.c_str(),
                     std::strerror(errno));
        return false;
    }
    std::string error;
    const bool written = writePng8(out, width, height, 3, rgb, error);
    if (std::fclose(out) != 0 || !written) {
        std::fprintf(stderr, "silhouette-check: cannot write %s%s%s\n", name.c_str(),
                     error.empty() ? "" : ": ", error.c_str());
        return false;
    }
    return true;
}

} // namespace

int main(int argc, char** argv) {
    std::string skylineFile, projectFile, pngFile, input;
    int width = 800, height = 600;
    ViewCamera camera;
    double originY = 0.0;
    bool eyeGiven = false, horizonGiven = false, viewGiven = false;
    std::vector<double> values;
    for (int a = 1; a < argc; ++a) {
        const std::string arg = argv[a];
        const bool hasValue = a + 1 < argc;
        if (arg == "--skyline" && hasValue) {
            skylineFile = argv[++a];
        } else if (arg == "--project" && hasValue) {
            projectFile = argv[++a];
        } else if (arg == "--png" && hasValue) {
            pngFile = argv[++a];
        } else if (arg == "--view" && hasValue && parseNumbers(argv[++a], values, 2) &&
                   values[0] >= 2 && values[1] >= 2 && values[0] <= 65536 && values[1] <= 65536) {
            width = static_cast<int>(values[0]);
            height = static_cast<int>(values[1]);
            viewGiven = true;
        } else if (arg == "--scale" && hasValue && parseNumbers(argv[++a], values, 1) &&
                   values[0] > 0) {
            camera.scale = values[0];
        } else if (arg == "--origin" && hasValue && parseNumbers(argv[++a], values, 2)) {
            camera.originX = values[0];
            originY = values[1];
        } else if (arg == "--perspective") {
            camera.kind = ViewCamera::Kind::perspective;
        } else if (arg == "--eye" && hasValue && parseNumbers(argv[++a], values, 3)) {
            camera.eyeX = values[0];
            camera.eyeNorth = values[1];
            camera.eyeHeight = values[2];
            eyeGiven = true;
        } else if (arg == "--fov" && hasValue && parseNumbers(argv[++a], values, 1) &&
                   values[0] > 0 && values[0] < 180) {
            camera.fovDegrees = values[0];
        } else if (arg == "--horizon" && hasValue && parseNumbers(argv[++a], values, 1)) {
            camera.horizonY = values[0];
            horizonGiven = true;
        } else if (input.empty() && !arg.empty() && arg[0] != '-') {
            input = arg;
        } else {
            std::fputs(usage, stderr);
            return 2;
        }
    }
    if (input.empty() || skylineFile.empty() == projectFile.empty() ||
        (!projectFile.empty() && (eyeGiven || camera.kind == ViewCamera::Kind::perspective)) ||
        (camera.kind == ViewCamera::Kind::perspective) != eyeGiven) {
        std::fputs(usage, stderr);
        return 2;
    }
    if (!projectFile.empty()) {
        Project project;
        std::string reason;
        if (!readProjectFile(projectFile, project, reason)) {
            std::fprintf(stderr, "silhouette-check: %s\n", reason.c_str());
            return 2;
        }
        const SketchCamera& drawn = project.sketch.camera;
        if (drawn.perspective()) {
            camera.kind = ViewCamera::Kind::perspective;
            if (!viewGiven) {
                width = static_cast<int>(std::lround(drawn.frameWidth));
                height = static_cast<int>(std::lround(drawn.frameHeight));
            }
            camera.eyeX = camera.originX + 0.5 * drawn.frameWidth * camera.scale;
            camera.eyeNorth = originY - project.sketch.layers.front().properties.distance;
            camera.eyeHeight = drawn.eyeHeight;
            camera.fovDegrees = drawn.fieldOfView;
            camera.horizonY = drawn.horizon;
            horizonGiven = true;
        }
        skylineFile = projectFile;
    }
    const bool perspective = camera.kind == ViewCamera::Kind::perspective;
    if (!horizonGiven)
        camera.horizonY = 0.5 * height;

    Grid grid;
    if (!readAsc(input, grid)) {
        std::fprintf(stderr, "silhouette-check: cannot read %s as an ASCII grid\n", input.c_str());
        return 2;
    }
    Points skyline;
    std::vector<LayerSkyline> layers;
    if (!readSkyline(skylineFile, skyline, layers))
        return 2;
    // With several layers the view sees their outline: at every column the highest skyline.
    const bool layered = layers.size() > 1;
    std::vector<Points> skylines;
    for (const LayerSkyline& layer : layers)
        skylines.push_back(layer.skyline);
    if (layered)
        skyline = visibleOutline(skylines, 0.1);

    const RenderedSilhouette rendered = renderSilhouette(grid, camera, width);
    const double tolerance = 0.005 * height;
    const SilhouetteDeviation d = compareSilhouette(rendered, skyline, tolerance);
    if (perspective)
        std::printf("view: perspective, %d x %d pixels, eye at %g, %g, %g, field of view %g "
                    "degrees, horizon at y %g\n",
                    width, height, camera.eyeX, camera.eyeNorth, camera.eyeHeight,
                    camera.fovDegrees, camera.horizonY);
    else
        std::printf("view: orthographic, %d x %d pixels, scale %g, origin x %g\n", width, height,
                    camera.scale, camera.originX);
    printDeviation("silhouette", d, tolerance, height);
    // Each layer where it is the outline: where no nearer layer hides it and no farther one
    // stands above it.
    for (std::size_t k = 0; layered && k < layers.size(); ++k) {
        const auto seen = [&](double x) {
            std::size_t top = skylines.size();
            double best = -INFINITY;
            for (std::size_t j = 0; j < skylines.size(); ++j) {
                const Points& s = skylines[j];
                if (x < s.front().first || x > s.back().first)
                    continue;
                const auto at = std::upper_bound(
                    s.begin(), s.end(), x, [](double v, const auto& q) { return v < q.first; });
                const auto& b = at == s.end() ? s.back() : *at;
                const auto& a = at == s.begin() ? s.front() : *(at - 1);
                const double h =
                    b.first > a.first
                        ? a.second + (x - a.first) / (b.first - a.first) * (b.second - a.second)
                        : a.second;
                if (h > best) {
                    best = h;
                    top = j;
                }
            }
            return top == k;
        };
        const SilhouetteDeviation own = compareSilhouette(rendered, skyline, tolerance, seen);
        const std::string what = "layer \"" + layers[k].name + "\" where it is the outline";
        printDeviation(what.c_str(), own, tolerance, height);
    }
    const bool pass = d.columns > 0 && d.missing == 0 && d.worst <= tolerance;
    std::printf("check silhouette: %.4f (%% of the view's height, largest deviation; limit <= "
                "0.5) %s\n",
                100.0 * d.worst / height, pass ? "PASS" : "FAIL");
    if (!pngFile.empty() && !writePicture(pngFile, rendered.top, skyline, width, height))
        return 2;
    return pass ? 0 : 1;
}
