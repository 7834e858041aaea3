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
//     silhouette's height at the column's centre, as a percentage of the raster's relief.
//
// Usage: terrain-analysis [--threshold CELLS] [--crest-margin SHARE] [--skyline FILE.obj]
//        FILE.asc
//
// Written on its own, sharing nothing with the erosion's flow code.
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <map>
#include <queue>
#include <sstream>
#include <string>
#include <vector>

namespace {

struct Grid {
    int columns = 0, rows = 0;
    double xll = 0, yll = 0, cell = 1, nodata = -9999;
    std::vector<double> z;
    double at(int r, int c) const { return z[static_cast<std::size_t>(r) * columns + c]; }
};

bool readAsc(const std::string& name, Grid& grid) {
    std::ifstream in(name);
    if (!in)
        return false;
    std::string key;
    for (int k = 0; k < 6; ++k) {
        double value;
        if (!(in >> key >> value))
            return false;
        for (char& ch : key)
            ch = static_cast<char>(std::tolower(static_cast<unsigned char>(ch)));
        if (key == "ncols")
            grid.columns = static_cast<int>(value);
        else if (key == "nrows")
            grid.rows = static_cast<int>(value);
        else if (key == "xllcorner")
            grid.xll = value;
        else if (key == "yllcorner")
            grid.yll = value;
        else if (key == "cellsize")
            grid.cell = value;
        else if (key == "nodata_value")
            grid.nodata = value;
    }
    grid.z.resize(static_cast<std::size_t>(grid.columns) * grid.rows);
    for (double& v : grid.z)
        if (!(in >> v))
            return false;
    return grid.columns > 2 && grid.rows > 2;
}

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

const int dr[8] = {-1, -1, -1, 0, 0, 1, 1, 1};
const int dc[8] = {-1, 0, 1, -1, 1, -1, 0, 1};

struct Drainage {
    int maxOrder = 0;
    std::map<int, long> streams; // stream segments of each order
    long channelCells = 0;
};

Drainage drainage(const Grid& grid, double threshold, double base) {
    const int w = grid.columns, h = grid.rows;
    const std::size_t n = grid.z.size();
    std::vector<double> filled = grid.z;
    std::vector<char> closed(n, 0);
    using Entry = std::pair<double, long>;
    std::priority_queue<Entry, std::vector<Entry>, std::greater<Entry>> open;
    for (int r = 0; r < h; ++r)
        for (int c = 0; c < w; ++c)
            if (r == 0 || c == 0 || r == h - 1 || c == w - 1) {
                const long i = static_cast<long>(r) * w + c;
                closed[i] = 1;
                open.emplace(filled[i], i);
            }
    while (!open.empty()) {
        const long i = open.top().second;
        open.pop();
        const int r = static_cast<int>(i / w), c = static_cast<int>(i % w);
        for (int k = 0; k < 8; ++k) {
            const int nr = r + dr[k], nc = c + dc[k];
            if (nr < 0 || nr >= h || nc < 0 || nc >= w)
                continue;
            const long j = static_cast<long>(nr) * w + nc;
            if (closed[j])
                continue;
            closed[j] = 1;
            filled[j] = std::max(filled[j], std::nextafter(filled[i], INFINITY) + 1e-6);
            open.emplace(filled[j], j);
        }
    }
    // D8 on the filled surface; edge cells drain out of the raster, and so does the ground at
    // the raster's lowest height (the plain round the landscape, like the sea for a coast).
    std::vector<long> down(n, -1);
    for (int r = 1; r + 1 < h; ++r)
        for (int c = 1; c + 1 < w; ++c) {
            const long i = static_cast<long>(r) * w + c;
            if (grid.z[i] <= base)
                continue;
            double best = 0;
            for (int k = 0; k < 8; ++k) {
                const long j = static_cast<long>(r + dr[k]) * w + (c + dc[k]);
                const double slope =
                    (filled[i] - filled[j]) / ((dr[k] && dc[k]) ? std::sqrt(2.0) : 1.0);
                if (slope > best) {
                    best = slope;
                    down[i] = j;
                }
            }
        }
    // Highest first: every cell before the one it drains to.
    std::vector<long> order(n);
    for (std::size_t i = 0; i < n; ++i)
        order[i] = static_cast<long>(i);
    std::sort(order.begin(), order.end(), [&](long a, long b) {
        return filled[a] != filled[b] ? filled[a] > filled[b] : a < b;
    });
    std::vector<double> area(n, 1.0);
    for (long i : order)
        if (down[i] >= 0)
            area[down[i]] += area[i];

    // Strahler orders down the channels: a cell takes the highest order flowing in, one more
    // when two or more inflows carry it; channel heads are order 1. A segment of order k
    // starts where no inflow has order k.
    Drainage result;
    std::vector<int> strahler(n, 0), highest(n, 0), highestCount(n, 0);
    for (long i : order) {
        if (area[i] < threshold || grid.z[i] <= base)
            continue;
        ++result.channelCells;
        int k = highest[i] == 0 ? 1 : (highestCount[i] >= 2 ? highest[i] + 1 : highest[i]);
        strahler[i] = k;
        if (highest[i] != k)
            ++result.streams[k];
        result.maxOrder = std::max(result.maxOrder, k);
        const long j = down[i];
        if (j >= 0 && area[j] >= threshold) {
            if (k > highest[j]) {
                highest[j] = k;
                highestCount[j] = 1;
            } else if (k == highest[j]) {
                ++highestCount[j];
            }
        }
    }
    return result;
}

} // namespace

int main(int argc, char** argv) {
    double threshold = 0;
    double crestMargin = 0.03;
    std::string skylineFile, input;
    for (int a = 1; a < argc; ++a) {
        const std::string arg = argv[a];
        if (arg == "--threshold" && a + 1 < argc)
            threshold = std::atof(argv[++a]);
        else if (arg == "--crest-margin" && a + 1 < argc)
            crestMargin = std::atof(argv[++a]);
        else if (arg == "--skyline" && a + 1 < argc)
            skylineFile = argv[++a];
        else if (input.empty() && arg[0] != '-')
            input = arg;
        else {
            std::fprintf(stderr, "Usage: terrain-analysis [--threshold CELLS] [--crest-margin "
                                 "SHARE] [--skyline FILE.obj] FILE.asc\n");
            return 2;
        }
    }
    Grid grid;
    if (input.empty() || !readAsc(input, grid)) {
        std::fprintf(stderr, "terrain-analysis: cannot read %s as an ASCII grid\n", input.c_str());
        return 1;
    }
    const int w = grid.columns, h = grid.rows;
    const double lowest = *std::min_element(grid.z.begin(), grid.z.end());
    const double highest = *std::max_element(grid.z.begin(), grid.z.end());
    const double relief = highest - lowest;
    if (threshold <= 0)
        threshold = 1e-4 * static_cast<double>(grid.z.size()); // 105 cells on 1025 x 1025
    std::printf("raster: %d x %d, cell %g, relief %g\n", w, h, grid.cell, relief);

    const Drainage d = drainage(grid, threshold, lowest);
    std::printf("channels: %ld cells at %g cells of drainage area or more\n", d.channelCells,
                threshold);
    std::printf("streams by order:");
    for (const auto& [order, count] : d.streams)
        std::printf(" %d:%ld", order, count);
    std::printf("\nmax Strahler order: %d\n", d.maxOrder);
    double ratioSum = 0, weightedSum = 0, weights = 0;
    int ratios = 0;
    for (int k = 1; k < d.maxOrder; ++k) {
        const auto lower = d.streams.find(k), upper = d.streams.find(k + 1);
        if (lower != d.streams.end() && upper != d.streams.end() && upper->second > 0) {
            const double ratio =
                static_cast<double>(lower->second) / static_cast<double>(upper->second);
            ratioSum += ratio;
            ++ratios;
            // Schumm's weighted mean: each ratio counts by the streams it is taken over.
            const double weight = static_cast<double>(lower->second + upper->second);
            weightedSum += ratio * weight;
            weights += weight;
        }
    }
    std::printf("mean bifurcation ratio: %.2f\n", ratios ? ratioSum / ratios : 0.0);
    std::printf("weighted mean bifurcation ratio: %.2f\n",
                weights > 0 ? weightedSum / weights : 0.0);
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

    // The crest row: where most columns have their highest cell.
    std::vector<int> crestVotes(static_cast<std::size_t>(h), 0);
    std::vector<double> columnTop(static_cast<std::size_t>(w), -INFINITY);
    std::vector<int> topRow(static_cast<std::size_t>(w), 0);
    for (int r = 0; r < h; ++r)
        for (int c = 0; c < w; ++c)
            if (grid.at(r, c) > columnTop[c]) {
                columnTop[c] = grid.at(r, c);
                topRow[c] = r;
            }
    for (int c = 0; c < w; ++c)
        if (columnTop[c] > lowest)
            ++crestVotes[topRow[c]];
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

    if (!skylineFile.empty()) {
        std::vector<std::pair<double, double>> skyline;
        if (!readSkyline(skylineFile, skyline)) {
            std::fprintf(stderr, "terrain-analysis: no silhouette in %s\n", skylineFile.c_str());
            return 1;
        }
        double worst = 0, sum = 0;
        int counted = 0;
        for (int c = 0; c < w; ++c) {
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
            const double error = std::abs(columnTop[c] - expected) / relief * 100.0;
            worst = std::max(worst, error);
            sum += error;
            ++counted;
        }
        std::printf("skyline: %d columns, largest error %.4f%% of the relief, mean %.4f%%\n",
                    counted, worst, counted ? sum / counted : 0.0);
    }
    return 0;
}
