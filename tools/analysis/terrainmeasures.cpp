#include "tools/analysis/terrainmeasures.h"

#include <algorithm>
#include <cctype>
#include <cmath>
#include <complex>
#include <fstream>
#include <functional>
#include <queue>

namespace {

const int dr[8] = {-1, -1, -1, 0, 0, 1, 1, 1};
const int dc[8] = {-1, 0, 1, -1, 1, -1, 0, 1};
const double pi = 3.14159265358979323846;

std::size_t index(const Grid& grid, int r, int c) {
    return static_cast<std::size_t>(r) * static_cast<std::size_t>(grid.columns) +
           static_cast<std::size_t>(c);
}

// Horn's gradient at an inner cell, in height per world unit: east and north components.
std::pair<double, double> hornGradient(const Grid& grid, int r, int c) {
    const auto z = [&](int dy, int dx) { return grid.at(r + dy, c + dx); };
    const double east =
        ((z(-1, 1) + 2 * z(0, 1) + z(1, 1)) - (z(-1, -1) + 2 * z(0, -1) + z(1, -1))) /
        (8 * grid.cell);
    // Row r - 1 lies to the north.
    const double north =
        ((z(-1, -1) + 2 * z(-1, 0) + z(-1, 1)) - (z(1, -1) + 2 * z(1, 0) + z(1, 1))) /
        (8 * grid.cell);
    return {east, north};
}

// The curve's lowest and highest height over [x0, x1]: its vertices inside and its values at
// both ends (the points sorted by x).
std::pair<double, double> curveRange(const std::vector<std::pair<double, double>>& curve, double x0,
                                     double x1) {
    const auto valueAt = [&](double x) {
        auto after = std::lower_bound(curve.begin(), curve.end(), std::make_pair(x, -HUGE_VAL));
        if (after == curve.end())
            return curve.back().second;
        if (after == curve.begin() || after->first == x)
            return after->second;
        const auto before = after - 1;
        return before->second + (x - before->first) / (after->first - before->first) *
                                    (after->second - before->second);
    };
    x0 = std::max(x0, curve.front().first);
    x1 = std::min(x1, curve.back().first);
    double lo = std::min(valueAt(x0), valueAt(x1)), hi = std::max(valueAt(x0), valueAt(x1));
    for (auto p = std::upper_bound(curve.begin(), curve.end(), std::make_pair(x0, HUGE_VAL));
         p != curve.end() && p->first < x1; ++p) {
        lo = std::min(lo, p->second);
        hi = std::max(hi, p->second);
    }
    return {lo, hi};
}

// Cells from the top row in direction step (-1 north, +1 south) until the first cell below
// level, or to the raster's edge.
int flankDepth(const Grid& grid, int column, int topRow, int step, double level) {
    int r = topRow;
    while (r + step >= 0 && r + step < grid.rows && grid.at(r + step, column) >= level)
        r += step;
    return std::abs(r - topRow) + 1;
}

} // namespace

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
    // Mondrel's exports are 16385 cells a side at most; a header claiming more is refused
    // rather than trusted with the memory.
    if (grid.columns <= 2 || grid.rows <= 2 || grid.columns > 16385 || grid.rows > 16385)
        return false;
    grid.z.resize(static_cast<std::size_t>(grid.columns) * static_cast<std::size_t>(grid.rows));
    for (double& v : grid.z)
        if (!(in >> v))
            return false;
    // Cells without data (beyond a padded terrain) count as the lowest ground there is, so
    // that they neither set the relief nor stand in the body.
    double lowest = HUGE_VAL;
    for (double v : grid.z)
        if (v != grid.nodata && std::isfinite(v))
            lowest = std::min(lowest, v);
    if (lowest == HUGE_VAL)
        return false;
    for (double& v : grid.z)
        if (v == grid.nodata || !std::isfinite(v))
            v = lowest;
    return true;
}

Relief reliefOf(const Grid& grid) {
    const auto [lo, hi] = std::minmax_element(grid.z.begin(), grid.z.end());
    return {*lo, *hi};
}

ColumnTops columnTops(const Grid& grid) {
    ColumnTops tops;
    tops.height.assign(static_cast<std::size_t>(grid.columns), -HUGE_VAL);
    tops.row.assign(static_cast<std::size_t>(grid.columns), 0);
    for (int r = 0; r < grid.rows; ++r)
        for (int c = 0; c < grid.columns; ++c)
            if (grid.at(r, c) > tops.height[static_cast<std::size_t>(c)]) {
                tops.height[static_cast<std::size_t>(c)] = grid.at(r, c);
                tops.row[static_cast<std::size_t>(c)] = r;
            }
    return tops;
}

SkylineFit skylineFit(const Grid& grid, const ColumnTops& tops,
                      std::vector<std::pair<double, double>> curve, double scale, double originX,
                      double relief) {
    SkylineFit fit;
    if (curve.size() < 2 || !(relief > 0))
        return fit;
    std::stable_sort(curve.begin(), curve.end(),
                     [](const auto& a, const auto& b) { return a.first < b.first; });
    const double cell = grid.cell / scale, west = (grid.xll - originX) / scale;
    fit.covered = west <= curve.front().first && west + grid.columns * cell >= curve.back().first;
    double sum = 0;
    for (int c = 0; c < grid.columns; ++c) {
        const double x = west + (c + 0.5) * cell;
        if (x < curve.front().first || x > curve.back().first)
            continue;
        const auto [lo, hi] = curveRange(curve, x - 1.5 * cell, x + 1.5 * cell);
        const double top = tops.height[static_cast<std::size_t>(c)] / scale;
        const double above = top - hi, below = lo - top;
        const double error = std::max({0.0, above, below}) * scale / relief;
        if (error > fit.worst || fit.columns == 0) {
            fit.worst = error;
            fit.worstX = x;
            fit.worstAbove = above > 0 ? error : -error;
        }
        sum += error;
        ++fit.columns;
    }
    fit.mean = fit.columns ? sum / fit.columns : 0;
    return fit;
}

double correlation(const std::vector<double>& a, const std::vector<double>& b) {
    const std::size_t n = std::min(a.size(), b.size());
    if (n < 2)
        return 0;
    double ma = 0, mb = 0;
    for (std::size_t i = 0; i < n; ++i) {
        ma += a[i];
        mb += b[i];
    }
    ma /= static_cast<double>(n);
    mb /= static_cast<double>(n);
    double sab = 0, saa = 0, sbb = 0;
    for (std::size_t i = 0; i < n; ++i) {
        sab += (a[i] - ma) * (b[i] - mb);
        saa += (a[i] - ma) * (a[i] - ma);
        sbb += (b[i] - mb) * (b[i] - mb);
    }
    return saa > 0 && sbb > 0 ? sab / std::sqrt(saa * sbb) : 0;
}

FlankCorrelation flankCorrelation(const Grid& grid, const ColumnTops& tops, double level) {
    std::vector<double> north, south, depth, top;
    for (int c = 0; c < grid.columns; ++c) {
        const std::size_t i = static_cast<std::size_t>(c);
        if (tops.height[i] < level)
            continue;
        north.push_back(flankDepth(grid, c, tops.row[i], -1, level));
        south.push_back(flankDepth(grid, c, tops.row[i], +1, level));
        depth.push_back(north.back() + south.back());
        top.push_back(tops.height[i]);
    }
    FlankCorrelation result;
    result.columns = static_cast<int>(north.size());
    result.northSouth = correlation(north, south);
    result.depthAgainstTop = correlation(depth, top);
    return result;
}

double divideSinuosity(const ColumnTops& tops, double level, int window) {
    const int columns = static_cast<int>(tops.height.size());
    const int half = window / 2;
    double length = 0, chord = 0;
    for (int start = 0; start < columns;) {
        if (tops.height[static_cast<std::size_t>(start)] < level) {
            ++start;
            continue;
        }
        int end = start;
        while (end < columns && tops.height[static_cast<std::size_t>(end)] >= level)
            ++end;
        if (end - start >= window) {
            std::vector<double> path;
            for (int c = start; c < end; ++c) {
                std::vector<int> rows(tops.row.begin() + std::max(start, c - half),
                                      tops.row.begin() + std::min(end, c + half + 1));
                std::nth_element(rows.begin(), rows.begin() + static_cast<long>(rows.size() / 2),
                                 rows.end());
                path.push_back(rows[rows.size() / 2]);
            }
            for (std::size_t k = 1; k < path.size(); ++k)
                length += std::hypot(1.0, path[k] - path[k - 1]);
            chord += std::hypot(static_cast<double>(path.size() - 1), path.back() - path.front());
        }
        start = end;
    }
    return chord > 0 ? length / chord : 0;
}

SlopeStats slopeStats(const Grid& grid, double level) {
    std::vector<double> degrees;
    for (int r = 1; r + 1 < grid.rows; ++r)
        for (int c = 1; c + 1 < grid.columns; ++c) {
            if (grid.at(r, c) < level)
                continue;
            const auto [east, north] = hornGradient(grid, r, c);
            degrees.push_back(std::atan(std::hypot(east, north)) * 180.0 / pi);
        }
    SlopeStats stats;
    stats.cells = static_cast<long>(degrees.size());
    if (degrees.empty())
        return stats;
    long over45 = 0, over60 = 0;
    for (double d : degrees) {
        over45 += d > 45.0;
        over60 += d > 60.0;
    }
    stats.over45 = static_cast<double>(over45) / static_cast<double>(stats.cells);
    stats.over60 = static_cast<double>(over60) / static_cast<double>(stats.cells);
    const auto middle = degrees.begin() + static_cast<long>(degrees.size() / 2);
    std::nth_element(degrees.begin(), middle, degrees.end());
    stats.medianDegrees = *middle;
    return stats;
}

Creases gridCreases(const Grid& grid, double level, int length, double kink) {
    Creases found;
    long body = 0;
    for (const double z : grid.z)
        body += z >= level;
    // One line of `count` cells; across(k) is the slope's change across it at cell k, 0 off
    // the body.
    const auto runsAlong = [&](int count, const std::function<double(int)>& across, int& runs) {
        int run = 0, sign = 0;
        const auto close = [&] {
            if (run >= length) {
                ++runs;
                found.cells += run;
            }
            run = 0;
        };
        for (int k = 0; k < count; ++k) {
            const double change = across(k);
            const int now = change >= kink ? 1 : change <= -kink ? -1 : 0;
            if (now != sign)
                close();
            sign = now;
            if (now != 0)
                ++run;
        }
        close();
    };
    // The slope's change at (r, c) across the line through it, its neighbours dr, dc either
    // side; 0 off the body.
    const auto fold = [&](int r, int c, int dr, int dc) {
        if (grid.at(r, c) < level)
            return 0.0;
        return (grid.at(r + dr, c + dc) - 2 * grid.at(r, c) + grid.at(r - dr, c - dc)) / grid.cell;
    };
    for (int c = 1; c + 1 < grid.columns; ++c)
        runsAlong(
            grid.rows, [&](int r) { return fold(r, c, 0, 1); }, found.alongColumns);
    for (int r = 1; r + 1 < grid.rows; ++r)
        runsAlong(
            grid.columns, [&](int c) { return fold(r, c, 1, 0); }, found.alongRows);
    found.perMille =
        body > 0 ? 1000.0 * static_cast<double>(found.cells) / static_cast<double>(body) : 0.0;
    return found;
}

AspectBalance aspectBalance(const Grid& grid, double level) {
    AspectBalance balance;
    for (int r = 1; r + 1 < grid.rows; ++r)
        for (int c = 1; c + 1 < grid.columns; ++c) {
            if (grid.at(r, c) < level)
                continue;
            const auto [east, north] = hornGradient(grid, r, c);
            const double steepness = std::hypot(east, north);
            if (steepness <= 0)
                continue;
            // The way the ground falls, clockwise from north.
            double azimuth = std::atan2(-east, -north) * 180.0 / pi;
            if (azimuth < 0)
                azimuth += 360.0;
            const int sector = static_cast<int>(std::floor((azimuth + 11.25) / 22.5)) % 16;
            balance.weight[static_cast<std::size_t>(sector)] += steepness;
        }
    double total = 0;
    for (double w : balance.weight)
        total += w;
    if (total > 0)
        for (double& w : balance.weight)
            w /= total;
    const auto against = [&](int s) {
        const double neighbours = 0.5 * (balance.weight[static_cast<std::size_t>((s + 15) % 16)] +
                                         balance.weight[static_cast<std::size_t>((s + 1) % 16)]);
        return neighbours > 0 ? balance.weight[static_cast<std::size_t>(s)] / neighbours : 0.0;
    };
    balance.north = against(0);
    balance.south = against(8);
    return balance;
}

namespace {

// The mean of the heights over a (2 radius + 1)^2 square round each cell, clamped at the edges.
std::vector<double> boxMean(const Grid& grid, int radius) {
    if (radius == 0)
        return grid.z;
    const int w = grid.columns, h = grid.rows;
    const auto pass = [&](const std::vector<double>& in, bool alongRows) {
        std::vector<double> out(in.size());
        const int length = alongRows ? w : h, lines = alongRows ? h : w;
        for (int line = 0; line < lines; ++line) {
            const auto at = [&](int k) {
                k = std::clamp(k, 0, length - 1);
                return alongRows ? index(grid, line, k) : index(grid, k, line);
            };
            double sum = 0;
            for (int k = -radius; k <= radius; ++k)
                sum += in[at(k)];
            for (int k = 0; k < length; ++k) {
                out[at(k)] = sum / (2 * radius + 1);
                sum += in[at(k + radius + 1)] - in[at(k - radius)];
            }
        }
        return out;
    };
    return pass(pass(grid.z, true), false);
}

} // namespace

std::vector<double> detailBands(const Grid& grid, double level, int bands) {
    const int margin = 1 << bands;
    std::vector<double> rms;
    std::vector<double> finer = boxMean(grid, 0);
    for (int k = 0; k < bands; ++k) {
        const std::vector<double> coarser = boxMean(grid, 1 << k);
        double sum = 0;
        long cells = 0;
        for (int r = margin; r + margin < grid.rows; ++r)
            for (int c = margin; c + margin < grid.columns; ++c) {
                const std::size_t i = index(grid, r, c);
                if (grid.z[i] < level)
                    continue;
                const double band = finer[i] - coarser[i];
                sum += band * band;
                ++cells;
            }
        rms.push_back(cells ? std::sqrt(sum / static_cast<double>(cells)) : 0.0);
        finer = coarser;
    }
    return rms;
}

namespace {

using Complex = std::complex<double>;

// In-place radix-2 FFT of n values (n a power of two) spaced `stride` apart.
void fft(Complex* a, int n, int stride) {
    for (int i = 1, j = 0; i < n; ++i) {
        int bit = n >> 1;
        for (; j & bit; bit >>= 1)
            j ^= bit;
        j ^= bit;
        if (i < j)
            std::swap(a[i * stride], a[j * stride]);
    }
    for (int len = 2; len <= n; len <<= 1) {
        const Complex turn = std::polar(1.0, -2.0 * pi / len);
        for (int i = 0; i < n; i += len) {
            Complex w = 1.0;
            for (int k = 0; k < len / 2; ++k) {
                const Complex u = a[(i + k) * stride], v = a[(i + k + len / 2) * stride] * w;
                a[(i + k) * stride] = u + v;
                a[(i + k + len / 2) * stride] = u - v;
                w *= turn;
            }
        }
    }
}

// spectralSlope, and the line's value at wavenumber 1.
double logSlope(const Spectrum& s, double shortest, double longest, double* intercept = nullptr) {
    double sx = 0, sy = 0, sxx = 0, sxy = 0;
    int n = 0;
    for (std::size_t i = 0; i < s.power.size(); ++i) {
        if (s.wavelength[i] < shortest || s.wavelength[i] > longest || !(s.power[i] > 0))
            continue;
        const double x = std::log(s.tile / s.wavelength[i]), y = std::log(s.power[i]);
        sx += x;
        sy += y;
        sxx += x * x;
        sxy += x * y;
        ++n;
    }
    if (n < 2)
        return 0.0;
    const double slope = (n * sxy - sx * sy) / (n * sxx - sx * sx);
    if (intercept)
        *intercept = (sy - slope * sx) / n;
    return slope;
}

} // namespace

double spectralSlope(const Spectrum& spectrum, double shortest, double longest) {
    return logSlope(spectrum, shortest, longest);
}

Spectrum bodySpectrum(const Grid& grid, double level, int tile) {
    Spectrum s;
    // The tiles' corners, half a tile apart, where enough of the body lies.
    std::vector<std::pair<int, int>> corners;
    for (; tile >= 32; tile /= 2) {
        corners.clear();
        const int step = tile / 2;
        for (int r = 0; r + tile <= grid.rows; r += step)
            for (int c = 0; c + tile <= grid.columns; c += step) {
                long body = 0;
                for (int i = 0; i < tile; ++i)
                    for (int j = 0; j < tile; ++j)
                        body += grid.at(r + i, c + j) >= level;
                if (static_cast<double>(body) >= 0.8 * tile * tile)
                    corners.emplace_back(r, c);
            }
        if (corners.size() >= 3)
            break;
    }
    if (corners.empty())
        return s;
    s.tile = tile;
    s.tiles = static_cast<int>(corners.size());
    const int half = tile / 2;
    std::vector<double> ringPower(static_cast<std::size_t>(half) + 1, 0.0);
    std::vector<long> ringCount(ringPower.size(), 0);
    std::vector<double> hann(static_cast<std::size_t>(tile));
    for (int i = 0; i < tile; ++i)
        hann[static_cast<std::size_t>(i)] = 0.5 - 0.5 * std::cos(2.0 * pi * (i + 0.5) / tile);
    std::vector<Complex> a(static_cast<std::size_t>(tile) * tile);
    for (const auto& [r0, c0] : corners) {
        // The plane z = p + q x + t y through the tile by least squares; x and y centred, so
        // the three are independent.
        double mean = 0, sx = 0, sy = 0, sxx = 0;
        for (int i = 0; i < tile; ++i)
            for (int j = 0; j < tile; ++j) {
                const double z = grid.at(r0 + i, c0 + j), x = j - (tile - 1) / 2.0,
                             y = i - (tile - 1) / 2.0;
                mean += z;
                sx += x * z;
                sy += y * z;
                sxx += x * x;
            }
        const double cells = static_cast<double>(tile) * tile;
        mean /= cells;
        const double q = sx / sxx, t = sy / sxx;
        for (int i = 0; i < tile; ++i)
            for (int j = 0; j < tile; ++j) {
                const double x = j - (tile - 1) / 2.0, y = i - (tile - 1) / 2.0;
                a[static_cast<std::size_t>(i) * tile + j] =
                    (grid.at(r0 + i, c0 + j) - mean - q * x - t * y) *
                    hann[static_cast<std::size_t>(i)] * hann[static_cast<std::size_t>(j)];
            }
        for (int i = 0; i < tile; ++i)
            fft(a.data() + static_cast<std::size_t>(i) * tile, tile, 1);
        for (int j = 0; j < tile; ++j)
            fft(a.data() + j, tile, tile);
        for (int i = 0; i < tile; ++i)
            for (int j = 0; j < tile; ++j) {
                const int ki = i <= half ? i : i - tile, kj = j <= half ? j : j - tile;
                const long ring = std::lround(std::hypot(ki, kj));
                if (ring < 1 || ring > half)
                    continue;
                ringPower[static_cast<std::size_t>(ring)] +=
                    std::norm(a[static_cast<std::size_t>(i) * tile + j]);
                ++ringCount[static_cast<std::size_t>(ring)];
            }
    }
    for (int k = 1; k <= half; ++k) {
        s.wavelength.push_back(static_cast<double>(tile) / k);
        s.power.push_back(ringPower[static_cast<std::size_t>(k)] /
                          static_cast<double>(ringCount[static_cast<std::size_t>(k)]));
    }
    double intercept = 0;
    s.slope = logSlope(s, 10.0, tile / 3.0, &intercept);
    s.fineSlope = logSlope(s, 5.0, 8.0);
    double excess = 0;
    int band = 0;
    for (std::size_t i = 0; i < s.power.size(); ++i)
        if (s.wavelength[i] >= 5.0 && s.wavelength[i] <= 8.0 && s.power[i] > 0) {
            excess +=
                std::log(s.power[i]) - (intercept + s.slope * std::log(tile / s.wavelength[i]));
            ++band;
        }
    s.shoulder = band ? std::exp(excess / band) : 0.0;
    return s;
}

double Drainage::meanBifurcation() const {
    double sum = 0;
    int ratios = 0;
    for (int k = 1; k < maxOrder; ++k) {
        const auto lower = streams.find(k), upper = streams.find(k + 1);
        if (lower != streams.end() && upper != streams.end() && upper->second > 0) {
            sum += static_cast<double>(lower->second) / static_cast<double>(upper->second);
            ++ratios;
        }
    }
    return ratios ? sum / ratios : 0.0;
}

double Drainage::weightedBifurcation() const {
    double sum = 0, weights = 0;
    for (int k = 1; k < maxOrder; ++k) {
        const auto lower = streams.find(k), upper = streams.find(k + 1);
        if (lower != streams.end() && upper != streams.end() && upper->second > 0) {
            const double ratio =
                static_cast<double>(lower->second) / static_cast<double>(upper->second);
            const double weight = static_cast<double>(lower->second + upper->second);
            sum += ratio * weight;
            weights += weight;
        }
    }
    return weights > 0 ? sum / weights : 0.0;
}

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
                const long i = static_cast<long>(index(grid, r, c));
                closed[static_cast<std::size_t>(i)] = 1;
                open.emplace(filled[static_cast<std::size_t>(i)], i);
            }
    while (!open.empty()) {
        const long i = open.top().second;
        open.pop();
        const int r = static_cast<int>(i / w), c = static_cast<int>(i % w);
        for (int k = 0; k < 8; ++k) {
            const int nr = r + dr[k], nc = c + dc[k];
            if (nr < 0 || nr >= h || nc < 0 || nc >= w)
                continue;
            const std::size_t j = index(grid, nr, nc);
            if (closed[j])
                continue;
            closed[j] = 1;
            filled[j] = std::max(
                filled[j], std::nextafter(filled[static_cast<std::size_t>(i)], INFINITY) + 1e-6);
            open.emplace(filled[j], static_cast<long>(j));
        }
    }
    // D8 on the filled surface; edge cells drain out of the raster, and so does the ground at
    // the base (the plain round the landscape, like the sea for a coast).
    std::vector<long> down(n, -1);
    for (int r = 1; r + 1 < h; ++r)
        for (int c = 1; c + 1 < w; ++c) {
            const std::size_t i = index(grid, r, c);
            if (grid.z[i] <= base)
                continue;
            double best = 0;
            for (int k = 0; k < 8; ++k) {
                const std::size_t j = index(grid, r + dr[k], c + dc[k]);
                const double slope =
                    (filled[i] - filled[j]) / ((dr[k] && dc[k]) ? std::sqrt(2.0) : 1.0);
                if (slope > best) {
                    best = slope;
                    down[i] = static_cast<long>(j);
                }
            }
        }
    // Highest first: every cell before the one it drains to.
    std::vector<long> order(n);
    for (std::size_t i = 0; i < n; ++i)
        order[i] = static_cast<long>(i);
    std::sort(order.begin(), order.end(), [&](long a, long b) {
        const std::size_t ia = static_cast<std::size_t>(a), ib = static_cast<std::size_t>(b);
        return filled[ia] != filled[ib] ? filled[ia] > filled[ib] : a < b;
    });
    std::vector<double> area(n, 1.0);
    for (long i : order)
        if (down[static_cast<std::size_t>(i)] >= 0)
            area[static_cast<std::size_t>(down[static_cast<std::size_t>(i)])] +=
                area[static_cast<std::size_t>(i)];

    // Strahler orders down the channels: a cell takes the highest order flowing in, one more
    // when two or more inflows carry it; channel heads are order 1. A segment of order k
    // starts where no inflow has order k.
    Drainage result;
    std::vector<int> highest(n, 0), highestCount(n, 0);
    for (long li : order) {
        const std::size_t i = static_cast<std::size_t>(li);
        if (area[i] < threshold || grid.z[i] <= base)
            continue;
        ++result.channelCells;
        const int k = highest[i] == 0 ? 1 : (highestCount[i] >= 2 ? highest[i] + 1 : highest[i]);
        if (highest[i] != k)
            ++result.streams[k];
        result.maxOrder = std::max(result.maxOrder, k);
        if (down[i] < 0)
            continue;
        const std::size_t j = static_cast<std::size_t>(down[i]);
        if (area[j] >= threshold) {
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
