#include "natural/flowrouting.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <deque>
#include <exception>
#include <thread>
#include <utility>

#include "natural/rowthreads.h"

namespace {

const int offsetRow[8] = {-1, -1, -1, 0, 0, 1, 1, 1};
const int offsetColumn[8] = {-1, 0, 1, -1, 1, -1, 0, 1};
const float offsetLength[8] = {1.41421356f, 1.0f,        1.41421356f, 1.0f,
                               1.0f,        1.41421356f, 1.0f,        1.41421356f};

std::uint32_t cellHash(std::int32_t cell, std::uint32_t seed) {
    std::uint32_t h = static_cast<std::uint32_t>(cell) * 0x9e3779b1u ^ seed * 0x85ebca77u;
    h ^= h >> 16;
    h *= 0x7feb352du;
    h ^= h >> 15;
    h *= 0x846ca68bu;
    h ^= h >> 16;
    return h;
}

} // namespace

void FlowNetwork::clear() {
    receiver.clear();
    stack.clear();
    area.clear();
    scratch = Scratch{};
}

std::size_t fillDepressions(HeightField& field, float epsilon) {
    const int w = field.width, h = field.height;
    std::vector<float>& z = field.heights;
    std::vector<char> seen(field.size(), 0);
    // The open cells in buckets of height, lowest first, each bucket in the order its cells
    // came (a priority queue to within a bucket's height, in linear time); the cells of a
    // depression being filled go first, in the order they were reached.
    float top = 0.0f, bottom = 0.0f;
    for (float v : z) {
        top = std::max(top, v);
        bottom = std::min(bottom, v);
    }
    const int bucketCount = 1 << 16;
    const double perBucket = (bucketCount - 1) / std::max(1e-30, double(top) - double(bottom));
    auto bucketOf = [&](float v) {
        return std::clamp(static_cast<int>((double(v) - bottom) * perBucket), 0, bucketCount - 1);
    };
    std::vector<std::vector<std::int32_t>> open(static_cast<std::size_t>(bucketCount));
    std::deque<std::int32_t> pit;

    for (int r = 0; r < h; ++r) {
        for (int c = 0; c < w; ++c) {
            const std::int32_t i = r * w + c;
            if (field.roles[i] != CellRole::outlet)
                continue;
            seen[i] = 1;
            bool border = false;
            for (int k = 0; k < 8 && !border; ++k) {
                const int nr = r + offsetRow[k], nc = c + offsetColumn[k];
                border = nr >= 0 && nr < h && nc >= 0 && nc < w &&
                         field.roles[nr * w + nc] != CellRole::outlet;
            }
            if (border)
                open[static_cast<std::size_t>(bucketOf(z[i]))].push_back(i);
        }
    }
    std::size_t raised = 0;
    int current = 0;
    std::size_t next = 0; // the next cell of the current bucket
    while (true) {
        std::int32_t i;
        if (!pit.empty()) {
            i = pit.front();
            pit.pop_front();
        } else {
            while (current < bucketCount &&
                   next >= open[static_cast<std::size_t>(current)].size()) {
                open[static_cast<std::size_t>(current)].clear();
                open[static_cast<std::size_t>(current)].shrink_to_fit();
                ++current;
                next = 0;
            }
            if (current == bucketCount)
                break;
            i = open[static_cast<std::size_t>(current)][next++];
        }
        const int r = i / w, c = i % w;
        for (int k = 0; k < 8; ++k) {
            const int nr = r + offsetRow[k], nc = c + offsetColumn[k];
            if (nr < 0 || nr >= h || nc < 0 || nc >= w)
                continue;
            const std::int32_t n = nr * w + nc;
            if (seen[n])
                continue;
            seen[n] = 1;
            const float floor = std::max(std::nextafter(z[i], INFINITY), z[i] + epsilon);
            if (field.roles[n] == CellRole::free && z[n] < floor) {
                z[n] = floor;
                ++raised;
                pit.push_back(n);
            } else {
                // Never into a bucket already passed: the cell is then taken from this one.
                open[static_cast<std::size_t>(std::max(bucketOf(z[n]), current))].push_back(n);
            }
        }
    }
    return raised;
}

bool hasDepression(const HeightField& field, int threads) {
    const int w = field.width, h = field.height;
    std::vector<char> bandHas(static_cast<std::size_t>(h), 0);
    forRowBands(h, 32, threadsFor(field.size(), threads), [&](int first, int end) {
        for (int r = first; r < end; ++r) {
            for (int c = 0; c < w && !bandHas[r]; ++c) {
                const std::int32_t i = r * w + c;
                if (field.roles[i] != CellRole::free)
                    continue;
                bool lower = false;
                for (int k = 0; k < 8 && !lower; ++k) {
                    const int nr = r + offsetRow[k], nc = c + offsetColumn[k];
                    lower = nr >= 0 && nr < h && nc >= 0 && nc < w &&
                            field.heights[nr * w + nc] < field.heights[i];
                }
                bandHas[r] = !lower;
            }
        }
    });
    for (char has : bandHas)
        if (has)
            return true;
    return false;
}

void findReceivers(const HeightField& field, int threads, FlowNetwork& network,
                   std::uint32_t scatter) {
    const int w = field.width, h = field.height;
    const std::size_t n = field.size();
    network.receiver.resize(n);
    const std::vector<float>& z = field.heights;

    const std::int32_t step[8] = {-w - 1, -w, -w + 1, -1, 1, w - 1, w, w + 1};
    const float inverseLength[8] = {0.70710678f, 1.0f,        0.70710678f, 1.0f,
                                    1.0f,        0.70710678f, 1.0f,        0.70710678f};
    // The receiver of cell i among the neighbours k for which inside(k) holds. A neighbour no
    // lower, or outside, counts a slope of 0, which changes no sum: the slopes' signs, all but
    // random, are taken without branching.
    auto receiverOf = [&](std::int32_t i, auto inside) {
        if (field.roles[static_cast<std::size_t>(i)] == CellRole::outlet)
            return i;
        float slopes[8];
        const float zi = z[static_cast<std::size_t>(i)];
        for (int k = 0; k < 8; ++k) {
            const float drop =
                inside(k) ? (zi - z[static_cast<std::size_t>(i + step[k])]) * inverseLength[k]
                          : 0.0f;
            slopes[k] = drop > 0.0f ? drop : 0.0f;
        }
        float total = 0.0f, bestSlope = 0.0f;
        int lower = 0, best = -1, last = -1;
        for (int k = 0; k < 8; ++k) {
            const float slope = slopes[k];
            total += slope;
            const bool down = slope > 0.0f;
            lower += down;
            last = down ? k : last;
            best = slope > bestSlope ? k : best;
            bestSlope = std::max(bestSlope, slope);
        }
        if (scatter != 0 && lower > 1) {
            const float draw =
                static_cast<float>(cellHash(i, scatter) >> 8) * (1.0f / 16777216.0f) * total;
            float sum = 0.0f;
            for (int k = 0; k < last; ++k) {
                sum += slopes[k];
                if (slopes[k] > 0.0f && draw < sum)
                    return i + step[k];
            }
            return i + step[last];
        }
        return best < 0 ? i : i + step[best];
    };
    forRowBands(h, 32, threadsFor(field.size(), threads), [&](int first, int end) {
        for (int r = first; r < end; ++r) {
            std::int32_t* out = network.receiver.data() + static_cast<std::size_t>(r) * w;
            const bool innerRow = r > 0 && r < h - 1;
            for (int c = 0; c < w; ++c) {
                const std::int32_t i = r * w + c;
                if (innerRow && c > 0 && c < w - 1) {
                    out[c] = receiverOf(i, [](int) { return true; });
                } else {
                    out[c] = receiverOf(i, [&](int k) {
                        const int nr = r + offsetRow[k], nc = c + offsetColumn[k];
                        return nr >= 0 && nr < h && nc >= 0 && nc < w;
                    });
                }
            }
        }
    });
}

void routeFlow(const HeightField& field, int threads, FlowNetwork& network, std::uint32_t scatter) {
    findReceivers(field, threads, network, scatter);
    // Receivers left out by a stopped pass could run in circles: the walk below needs them all.
    if (rowBandsStopped())
        return;
    const std::size_t n = field.size();

    // The order from the sources down (Kahn's walk: a cell follows all its donors), laid into
    // the stack from its end, so that the stack runs from the sinks up. The area is summed on
    // the way down.
    std::vector<std::uint8_t>& waiting = network.scratch.waiting;
    waiting.assign(n, 0);
    for (std::size_t i = 0; i < n; ++i)
        if (network.receiver[i] != static_cast<std::int32_t>(i))
            ++waiting[static_cast<std::size_t>(network.receiver[i])];
    network.stack.resize(n);
    network.area.assign(n, 1.0f);
    std::size_t placed = 0, read = 0;
    std::int32_t* const last = network.stack.data() + n - 1;
    for (std::size_t i = 0; i < n; ++i)
        if (waiting[i] == 0)
            *(last - placed++) = static_cast<std::int32_t>(i);
    while (read < placed) {
        const std::int32_t i = *(last - read++);
        const std::int32_t r = network.receiver[static_cast<std::size_t>(i)];
        if (r == i)
            continue;
        network.area[static_cast<std::size_t>(r)] += network.area[static_cast<std::size_t>(i)];
        if (--waiting[static_cast<std::size_t>(r)] == 0)
            *(last - placed++) = r;
    }
}

namespace {

// The cells from the highest down into scratch.order, equal heights in the order of the
// cells: a stable radix sort on the heights' bits, turned so that their order as unsigned
// numbers is the heights' reversed.
void highestFirst(const std::vector<float>& z, FlowNetwork::Scratch& scratch) {
    const std::size_t n = z.size();
    // Each cell's key above its number, sorted on the keys' bytes from the lowest up.
    std::vector<std::uint64_t>& items = scratch.keys;
    std::vector<std::uint64_t>& sorted = scratch.sortedKeys;
    items.resize(n);
    sorted.resize(n);
    for (std::size_t i = 0; i < n; ++i) {
        std::uint32_t bits = 0;
        std::memcpy(&bits, &z[i], sizeof bits);
        // Ascending as unsigned: negative heights flipped whole, positive ones their sign set.
        bits = (bits & 0x80000000u) ? ~bits : bits | 0x80000000u;
        items[i] = static_cast<std::uint64_t>(~bits) << 32 | i;
    }
    for (int shift = 32; shift < 64; shift += 8) {
        std::size_t start[257] = {};
        for (const std::uint64_t item : items)
            ++start[((item >> shift) & 0xffu) + 1];
        for (std::size_t b = 1; b < 257; ++b)
            start[b] += start[b - 1];
        for (const std::uint64_t item : items)
            sorted[start[(item >> shift) & 0xffu]++] = item;
        items.swap(sorted);
    }
    scratch.order.resize(n);
    for (std::size_t i = 0; i < n; ++i)
        scratch.order[i] = static_cast<std::int32_t>(items[i] & 0xffffffffu);
}

// What spreadArea hands each of a cell's eight neighbours for each unit of its water, before
// dividing by their total: slope^power times the contour the water crosses (a side, or a
// corner's shorter share). Zero towards a neighbour no lower, off the raster, and from cells
// that spread nothing (outlets, and cells at or below `above`, whose water keeps to their
// receiver).
void spreadWeights(const HeightField& field, float power, float above, std::vector<float>& weights,
                   std::vector<float>& totals) {
    const int w = field.width, h = field.height;
    const std::vector<float>& z = field.heights;
    weights.assign(8 * field.size(), 0.0f);
    totals.assign(field.size(), 0.0f);
    for (int r = 0; r < h; ++r)
        for (int c = 0; c < w; ++c) {
            const std::size_t at = static_cast<std::size_t>(r) * w + c;
            if (field.roles[at] == CellRole::outlet || z[at] <= above)
                continue;
            float* towards = weights.data() + 8 * at;
            float total = 0.0f;
            for (int k = 0; k < 8; ++k) {
                const int nr = r + offsetRow[k], nc = c + offsetColumn[k];
                if (nr < 0 || nr >= h || nc < 0 || nc >= w)
                    continue;
                const float drop = z[at] - z[static_cast<std::size_t>(nr) * w + nc];
                if (drop > 0.0f) {
                    const float slope = drop / offsetLength[k];
                    towards[k] = std::exp2(power * std::log2(slope)) *
                                 (offsetLength[k] == 1.0f ? 1.0f : 0.70710678f);
                    total += towards[k];
                }
            }
            totals[at] = total;
        }
}

} // namespace

void spreadArea(const HeightField& field, double exponent, float above, FlowNetwork& network,
                int threads) {
    const int w = field.width;
    const std::vector<float>& z = field.heights;
    // The order and the weights do not depend on each other: with a second thread the order
    // is sorted while this one works out the weights.
    FlowNetwork::Scratch& scratch = network.scratch;
    std::exception_ptr failed;
    std::thread sorter;
    if (threadCount(threads) > 1)
        sorter = std::thread([&] {
            try {
                highestFirst(z, scratch);
            } catch (...) {
                failed = std::current_exception();
            }
        });
    else
        highestFirst(z, scratch);
    std::vector<float>& weights = scratch.weights;
    std::vector<float>& totals = scratch.totals;
    try {
        spreadWeights(field, static_cast<float>(exponent), above, weights, totals);
    } catch (...) {
        if (sorter.joinable())
            sorter.join();
        throw;
    }
    if (sorter.joinable())
        sorter.join();
    if (failed)
        std::rethrow_exception(failed);
    network.area.assign(field.size(), 1.0f);
    // Every receiver lies lower than its donors: from the lowest up is a stack.
    const std::vector<std::int32_t>& order = scratch.order;
    network.stack.assign(order.rbegin(), order.rend());
    for (const std::int32_t i : order) {
        const std::size_t at = static_cast<std::size_t>(i);
        if (field.roles[at] == CellRole::outlet)
            continue;
        // Lowland rivers keep to one course; a sink keeps its water.
        if (z[at] <= above) {
            const std::int32_t to = network.receiver[at];
            if (to != i)
                network.area[static_cast<std::size_t>(to)] += network.area[at];
            continue;
        }
        if (!(totals[at] > 0.0f))
            continue;
        const float share = network.area[at] / totals[at];
        const float* towards = weights.data() + 8 * at;
        const int r = i / w, c = i % w;
        for (int k = 0; k < 8; ++k)
            if (towards[k] > 0.0f)
                network
                    .area[static_cast<std::size_t>(r + offsetRow[k]) * w + c + offsetColumn[k]] +=
                    share * towards[k];
    }
}
