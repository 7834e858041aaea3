#include "natural/flowrouting.h"

#include <cmath>
#include <deque>
#include <queue>
#include <utility>

#include "natural/rowthreads.h"

namespace {

const int offsetRow[8] = {-1, -1, -1, 0, 0, 1, 1, 1};
const int offsetColumn[8] = {-1, 0, 1, -1, 1, -1, 0, 1};
const float offsetLength[8] = {1.41421356f, 1.0f,        1.41421356f, 1.0f,
                               1.0f,        1.41421356f, 1.0f,        1.41421356f};

} // namespace

void FlowNetwork::clear() {
    receiver.clear();
    stack.clear();
    area.clear();
}

std::size_t fillDepressions(HeightField& field, float epsilon) {
    const int w = field.width, h = field.height;
    std::vector<float>& z = field.heights;
    std::vector<char> seen(field.size(), 0);
    using Entry = std::pair<float, std::int32_t>;
    // Lowest first; equal heights by cell number, so that the fill is the same on every run.
    std::priority_queue<Entry, std::vector<Entry>, std::greater<Entry>> open;
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
                open.emplace(z[i], i);
        }
    }
    std::size_t raised = 0;
    while (!open.empty() || !pit.empty()) {
        std::int32_t i;
        if (!pit.empty()) {
            i = pit.front();
            pit.pop_front();
        } else {
            i = open.top().second;
            open.pop();
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
                open.emplace(z[n], n);
            }
        }
    }
    return raised;
}

bool hasDepression(const HeightField& field, int threads) {
    const int w = field.width, h = field.height;
    std::vector<char> bandHas(static_cast<std::size_t>(h), 0);
    forRowBands(h, 32, threads, [&](int first, int end) {
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

void routeFlow(const HeightField& field, int threads, FlowNetwork& network) {
    const int w = field.width, h = field.height;
    const std::size_t n = field.size();
    network.receiver.resize(n);
    const std::vector<float>& z = field.heights;

    forRowBands(h, 32, threads, [&](int first, int end) {
        for (int r = first; r < end; ++r) {
            for (int c = 0; c < w; ++c) {
                const std::int32_t i = r * w + c;
                std::int32_t best = i;
                float bestSlope = 0.0f;
                if (field.roles[i] != CellRole::outlet) {
                    for (int k = 0; k < 8; ++k) {
                        const int nr = r + offsetRow[k], nc = c + offsetColumn[k];
                        if (nr < 0 || nr >= h || nc < 0 || nc >= w)
                            continue;
                        const std::int32_t j = nr * w + nc;
                        const float slope = (z[i] - z[j]) / offsetLength[k];
                        if (slope > bestSlope) {
                            bestSlope = slope;
                            best = j;
                        }
                    }
                }
                network.receiver[i] = best;
            }
        }
    });

    // The donors of every cell, packed: donorStart[j] .. donorStart[j + 1] in `donors`. The
    // area vector holds the counts meanwhile, to spare memory.
    std::vector<std::int32_t> donorStart(n + 1, 0);
    for (std::size_t i = 0; i < n; ++i)
        if (network.receiver[i] != static_cast<std::int32_t>(i))
            ++donorStart[network.receiver[i] + 1];
    for (std::size_t i = 0; i < n; ++i)
        donorStart[i + 1] += donorStart[i];
    std::vector<std::int32_t> donors(static_cast<std::size_t>(donorStart[n]));
    {
        std::vector<std::int32_t>& fill = network.stack; // scratch: the next free slot
        fill.assign(donorStart.begin(), donorStart.end() - 1);
        for (std::size_t i = 0; i < n; ++i) {
            const std::int32_t r = network.receiver[i];
            if (r != static_cast<std::int32_t>(i))
                donors[static_cast<std::size_t>(fill[r]++)] = static_cast<std::int32_t>(i);
        }
    }

    // The stack: from every sink, its whole tree, each cell after its receiver.
    network.stack.clear();
    network.stack.reserve(n);
    for (std::size_t s = 0; s < n; ++s) {
        if (network.receiver[s] != static_cast<std::int32_t>(s))
            continue;
        std::size_t next = network.stack.size();
        network.stack.push_back(static_cast<std::int32_t>(s));
        while (next < network.stack.size()) {
            const std::int32_t j = network.stack[next++];
            for (std::int32_t d = donorStart[j]; d < donorStart[j + 1]; ++d)
                network.stack.push_back(donors[static_cast<std::size_t>(d)]);
        }
    }
    donors.clear();
    donors.shrink_to_fit();
    donorStart.clear();
    donorStart.shrink_to_fit();

    network.area.assign(n, 1.0f);
    for (std::size_t k = n; k-- > 0;) {
        const std::int32_t i = network.stack[k];
        const std::int32_t r = network.receiver[i];
        if (r != i)
            network.area[r] += network.area[i];
    }
}
