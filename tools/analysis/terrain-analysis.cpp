// terrain-analysis: measures a heightmap the way a GIS would, to check a landscape from outside
// Mondrel's own code. Reads an ESRI ASCII grid and prints:
//
//   - drainage: depressions filled (priority flood with epsilon), D8 flow directions (steepest
//     of the 8 neighbours), drainage area, channels where the area reaches a threshold, their
//     Strahler orders, the highest order and the mean bifurcation ratio N(k) / N(k + 1)
//     (plain, and weighted by the streams each ratio is taken over, as Schumm did)
//     (also from the least-squares line through log N(k), Horton's law); the ground at the
//     raster's lowest height drains out like the edge;
//   - isotropy: mean |dh/dx| / mean |dh/dy| (central differences) over the cells above the
//     raster's lowest height, leaving out the rows within a margin of the crest row (the row
//     holding most columns' highest cell);
//   - skyline: with --skyline FILE.obj (a Mondrel grid mesh, whose vertices at z = 0 are the
//     silhouette), the largest and mean difference between each column's highest cell and the
//     silhouette's height at the column's centre, as a percentage of the raster's relief;
//   - the landscape checks, one "check" line each with its figure, its limit and PASS or FAIL,
//     measured on the mountain body (the cells more than 5% of the relief above the raster's
//     lowest height; see terrainmeasures.h for each measure):
//       skyline  with --curve FILE.c2d (the drawn curve): the largest distance of a column's
//                top from the curve's range over the column and one cell either side, in % of
//                the relief, over the curve's whole length (<= 0.5);
//       outline  the correlation of the body columns' north and south flank depths (<= 0.6);
//       divide   the sinuosity of the path of the columns' highest cells, median-filtered over
//                9 columns (>= 1.10);
//       aspect   the slope-weighted north- and south-facing sectors (22.5 degrees) against their
//                neighbours, the smaller of the two (>= 0.8);
//       slope    the body's median slope in degrees (<= atan(--slope) + 10) and the share
//                steeper than 60 degrees (<= 1%);
//       spectrum the body's radially averaged power spectrum: its power at 5-8-cell wavelengths
//                against the power law of the coarser scales carried on (<= 2: no flat
//                shoulder of one fine texture), with the spectral slope;
//       drainage the highest Strahler order (>= 4) and the mean bifurcation ratio (3 to 5).
//
// The raster's placement: an export puts column c's centre at sketch x (xllcorner - X + (c +
// 0.5) * cellsize) / scale and heights at sketch height times scale; --scale M and --origin X,Y
// give mondrel-build's own (default 1 and 0,0) when the export was made with others.
//
// Usage: terrain-analysis [--threshold CELLS] [--crest-margin SHARE] [--skyline FILE.obj]
//        [--curve FILE.c2d] [--scale M] [--origin X,Y] [--slope S] FILE.asc
//
// Written on its own, sharing nothing with the natural terrain's construction.
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "fileio/curvefile.h"
#include "tools/analysis/terrainmeasures.h"

namespace {

// The silhouette from a grid mesh: the vertices at z = 0, as (x, height), sorted by x.
bool readSkyline(const std::string& name, std::vector<std::pair<double, double>>& points) {
    std::ifstream in(name);
    if (!in)
        return false;
    std::string line;
    while (std::getline(in, line)) {
        if (line.size() < 2 || line[0] != 'v' || line[1] != ' ')
            continue;
        std::istringstream fields(line.substr(2));
        double x, y, z;
        if (fields >> x >> y >> z && z == 0.0)
            points.emplace_back(x, y);
    }
    std::sort(points.begin(), points.end());
    return points.size() >= 2;
}

// How far the power at 5-8-cell wavelengths may stand above the coarser scales' power law
// before it counts as a shoulder of its own.
const double shoulderLimit = 2.0;

const char* verdict(bool pass) {
    return pass ? "PASS" : "FAIL";
}

void printDrainage(const Drainage& d, double threshold) {
    std::printf("channels: %ld cells at %g cells of drainage area or more\n", d.channelCells,
                threshold);
    std::printf("streams by order:");
    for (const auto& [order, count] : d.streams)
        std::printf(" %d:%ld", order, count);
    std::printf("\nmax Strahler order: %d\n", d.maxOrder);
    std::printf("mean bifurcation ratio: %.2f\n", d.meanBifurcation());
    std::printf("weighted mean bifurcation ratio: %.2f\n", d.weightedBifurcation());
    // Horton's law: log N(k) falls on a line in k; the ratio from its least-squares slope
    // weighs the few streams of the highest orders less than a plain mean does.
    if (d.streams.size() >= 2) {
        double sk = 0, sl = 0, skk = 0, skl = 0;
        for (const auto& [order, count] : d.streams) {
            const double l = std::log(static_cast<double>(count));
            sk += order;
            sl += l;
            skk += static_cast<double>(order) * order;
            skl += order * l;
        }
        const double m = static_cast<double>(d.streams.size());
        const double slope = (m * skl - sk * sl) / (m * skk - sk * sk);
        std::printf("bifurcation ratio from Horton's law: %.2f\n", std::exp(-slope));
    }
}

// The crest row (where most columns have their highest cell) and the slopes across and along
// the columns away from it.
void printIsotropy(const Grid& grid, const ColumnTops& tops, double lowest, double crestMargin) {
    const int w = grid.columns, h = grid.rows;
    std::vector<int> crestVotes(static_cast<std::size_t>(h), 0);
    for (int c = 0; c < w; ++c)
        if (tops.height[static_cast<std::size_t>(c)] > lowest)
            ++crestVotes[static_cast<std::size_t>(tops.row[static_cast<std::size_t>(c)])];
    const int crestRow = static_cast<int>(std::max_element(crestVotes.begin(), crestVotes.end()) -
                                          crestVotes.begin());
    const int margin = static_cast<int>(std::ceil(crestMargin * h));
    double sumX = 0, sumY = 0;
    for (int r = 1; r + 1 < h; ++r) {
        if (std::abs(r - crestRow) <= margin)
            continue;
        for (int c = 1; c + 1 < w; ++c) {
            if (grid.at(r, c) <= lowest)
                continue;
            sumX += std::abs(grid.at(r, c + 1) - grid.at(r, c - 1));
            sumY += std::abs(grid.at(r + 1, c) - grid.at(r - 1, c));
        }
    }
    std::printf("crest row: %d; isotropy (mean |dh/dx| / mean |dh/dy|, %d rows either side "
                "left out): %.3f\n",
                crestRow, margin, sumY > 0 ? sumX / sumY : 0.0);
}

bool printMeshSkyline(const std::string& name, const Grid& grid, const ColumnTops& tops,
                      double relief) {
    std::vector<std::pair<double, double>> skyline;
    if (!readSkyline(name, skyline)) {
        std::fprintf(stderr, "terrain-analysis: no silhouette in %s\n", name.c_str());
        return false;
    }
    double worst = 0, sum = 0;
    int counted = 0;
    for (int c = 0; c < grid.columns; ++c) {
        const double x = grid.xll + (c + 0.5) * grid.cell;
        if (x < skyline.front().first || x > skyline.back().first)
            continue;
        const auto after =
            std::lower_bound(skyline.begin(), skyline.end(), std::make_pair(x, -HUGE_VAL));
        double expected = after->second;
        if (after != skyline.begin() && after->first != x) {
            const auto before = after - 1;
            expected = before->second + (x - before->first) / (after->first - before->first) *
                                            (after->second - before->second);
        }
        const double error =
            std::abs(tops.height[static_cast<std::size_t>(c)] - expected) / relief * 100.0;
        worst = std::max(worst, error);
        sum += error;
        ++counted;
    }
    std::printf("skyline: %d columns, largest error %.4f%% of the relief, mean %.4f%%\n", counted,
                worst, counted ? sum / counted : 0.0);
    return true;
}

bool checkSkyline(const std::string& name, double scale, double originX, const Grid& grid,
                  const ColumnTops& tops, double relief) {
    std::vector<gmVector2> points;
    int declared = 0;
    std::string reason;
    if (readCurveFile(name, points, declared, &reason) != CurveReadResult::ok ||
        points.size() < 2) {
        std::fprintf(stderr, "terrain-analysis: cannot read %s as a curve%s%s\n", name.c_str(),
                     reason.empty() ? "" : ": ", reason.c_str());
        return false;
    }
    std::vector<std::pair<double, double>> curve;
    for (const gmVector2& p : points)
        curve.emplace_back(p[0], p[1]);
    const SkylineFit fit = skylineFit(grid, tops, curve, scale, originX, relief);
    const double worst = 100.0 * fit.worst;
    std::printf("check skyline: %.3f (%% of the relief, worst column at x %.1f %s the curve; "
                "mean %.4f%%, %d columns%s; limit <= 0.5) %s\n",
                worst, fit.worstX, fit.worstAbove > 0 ? "above" : "below", 100.0 * fit.mean,
                fit.columns, fit.covered ? "" : ", the curve reaching beyond the raster",
                verdict(fit.covered && fit.columns > 0 && worst <= 0.5));
    return true;
}

void checkLandscape(const Grid& grid, const ColumnTops& tops, const Relief& relief,
                    const Drainage& drainageFound, double slopeSetting) {
    const double level = relief.level(bodyShare);
    const SlopeStats slopes = slopeStats(grid, level);
    std::printf("body: %ld cells above %.0f%% of the relief (height %.2f), %.1f%% of the raster\n",
                slopes.cells, 100.0 * bodyShare, level,
                100.0 * static_cast<double>(slopes.cells) / static_cast<double>(grid.z.size()));

    const FlankCorrelation flanks = flankCorrelation(grid, tops, level);
    std::printf("check outline: %.3f (north against south flank depth over %d columns; flank "
                "depth against top %.3f; limit <= 0.6) %s\n",
                flanks.northSouth, flanks.columns, flanks.depthAgainstTop,
                verdict(flanks.columns > 1 && flanks.northSouth <= 0.6));

    const double sinuosity = divideSinuosity(tops, level);
    std::printf("check divide: %.3f (sinuosity of the columns' highest cells, median of 9; "
                "limit >= 1.10) %s\n",
                sinuosity, verdict(sinuosity >= 1.10));

    const AspectBalance aspect = aspectBalance(grid, level);
    std::printf("check aspect: %.3f (north %.3f, south %.3f of their neighbouring sectors; "
                "limit >= 0.8) %s\n",
                std::min(aspect.north, aspect.south), aspect.north, aspect.south,
                verdict(std::min(aspect.north, aspect.south) >= 0.8));

    const double slopeLimit = std::atan(slopeSetting) * 180.0 / 3.14159265358979323846 + 10.0;
    std::printf("check slope: %.1f (median degrees; limit <= %.1f) %s\n", slopes.medianDegrees,
                slopeLimit, verdict(slopes.cells > 0 && slopes.medianDegrees <= slopeLimit));
    std::printf("check steep: %.2f (%% of the body steeper than 60 degrees, %.2f%% steeper than "
                "45; limit <= 1) %s\n",
                100.0 * slopes.over60, 100.0 * slopes.over45,
                verdict(slopes.cells > 0 && slopes.over60 <= 0.01));

    const Creases creases = gridCreases(grid, level);
    std::printf("creases along the grid: %d along columns and %d along rows (runs of 24 cells or "
                "more folding by 0.35 or more the same way), %.2f per mille of the body\n",
                creases.alongColumns, creases.alongRows, creases.perMille);

    const std::vector<double> bands = detailBands(grid, level);
    std::printf("detail by scale (rms of the body's heights between box filters):");
    for (std::size_t k = 0; k < bands.size(); ++k)
        std::printf(" %d-%d cells %.3f", k ? 1 << (k - 1) : 0, 1 << k, bands[k]);
    std::printf("; ratios");
    for (std::size_t k = 1; k < bands.size(); ++k)
        std::printf(" %.2f", bands[k - 1] > 0 ? bands[k] / bands[k - 1] : 0.0);
    std::printf("\n");

    const Spectrum spectrum = bodySpectrum(grid, level);
    std::printf("check spectrum: %.2f (the body's power at 5-8-cell wavelengths against the power "
                "law of 10-%d cells, slope %.2f there and %.2f at 5-8 cells, %d tiles of %d; "
                "limit <= %.1f) %s\n",
                spectrum.shoulder, spectrum.tile / 3, spectrum.slope, spectrum.fineSlope,
                spectrum.tiles, spectrum.tile, shoulderLimit,
                verdict(spectrum.tiles > 0 && spectrum.shoulder <= shoulderLimit));

    std::printf("spectrum by octave (slope of log power against log wavenumber):");
    for (double longest = spectrum.tile / 2.0; longest > 3.0; longest /= 2)
        std::printf(" %g-%g cells %.2f", longest / 2, longest,
                    spectralSlope(spectrum, longest / 2, longest));
    std::printf("\n");

    const double ratio = drainageFound.meanBifurcation();
    std::printf("check strahler: %d (highest order; limit >= 4) %s\n", drainageFound.maxOrder,
                verdict(drainageFound.maxOrder >= 4));
    std::printf("check bifurcation: %.2f (mean ratio; limit 3 to 5) %s\n", ratio,
                verdict(ratio >= 3.0 && ratio <= 5.0));
}

const char* usage = "Usage: terrain-analysis [--threshold CELLS] [--crest-margin SHARE] "
                    "[--skyline FILE.obj] [--curve FILE.c2d] [--scale M] [--origin X,Y] "
                    "[--slope S] FILE.asc\n";

} // namespace

int main(int argc, char** argv) {
    double threshold = 0, crestMargin = 0.03, scale = 1.0, originX = 0, slopeSetting = 0.5;
    std::string skylineFile, curveFile, input;
    for (int a = 1; a < argc; ++a) {
        const std::string arg = argv[a];
        if (arg == "--threshold" && a + 1 < argc)
            threshold = std::atof(argv[++a]);
        else if (arg == "--crest-margin" && a + 1 < argc)
            crestMargin = std::atof(argv[++a]);
        else if (arg == "--skyline" && a + 1 < argc)
            skylineFile = argv[++a];
        else if (arg == "--curve" && a + 1 < argc)
            curveFile = argv[++a];
        else if (arg == "--scale" && a + 1 < argc)
            scale = std::atof(argv[++a]);
        else if (arg == "--origin" && a + 1 < argc)
            originX = std::atof(argv[++a]); // X,Y: the eastings are all a column needs
        else if (arg == "--slope" && a + 1 < argc)
            slopeSetting = std::atof(argv[++a]);
        else if (input.empty() && !arg.empty() && arg[0] != '-')
            input = arg;
        else {
            std::fputs(usage, stderr);
            return 2;
        }
    }
    if (!(scale > 0) || !(slopeSetting > 0)) {
        std::fputs(usage, stderr);
        return 2;
    }
    Grid grid;
    if (input.empty() || !readAsc(input, grid)) {
        std::fprintf(stderr, "terrain-analysis: cannot read %s as an ASCII grid\n", input.c_str());
        return 1;
    }
    const Relief relief = reliefOf(grid);
    if (threshold <= 0)
        threshold = 1e-4 * static_cast<double>(grid.z.size()); // 105 cells on 1025 x 1025
    std::printf("raster: %d x %d, cell %g, relief %g\n", grid.columns, grid.rows, grid.cell,
                relief.span());

    const Drainage found = drainage(grid, threshold, relief.lowest);
    printDrainage(found, threshold);
    const ColumnTops tops = columnTops(grid);
    printIsotropy(grid, tops, relief.lowest, crestMargin);
    if (!skylineFile.empty() && !printMeshSkyline(skylineFile, grid, tops, relief.span()))
        return 1;
    if (!curveFile.empty() && !checkSkyline(curveFile, scale, originX, grid, tops, relief.span()))
        return 1;
    checkLandscape(grid, tops, relief, found, slopeSetting);
    return 0;
}
