#include "curve/detailrandomizer.h"

#include <algorithm>
#include <cmath>
#include <utility>

#include "printing/printedlines.h"

namespace {

// One exchange: moves the chunk of s heights starting at source to the best-matching place
// that does not overlap it, and the heights found there to the source.
class ChunkExchange {
public:
    ChunkExchange(std::vector<gmVector2>& details, int s, int source)
        : d_(details.data()), n_(static_cast<int>(details.size())), s_(s), source_(source),
          lowEnd_(source - s), highStart_(source + s), last_(n_ - s) {}

    // The first valid target at or after p, walking on past the end to 0. A target is valid
    // when its chunk fits in the list and does not overlap the source chunk. There always is
    // one: of the n - s + 1 places at most 2s - 1 overlap, and s < n / 15.
    int validFrom(int p) const {
        if (p <= lowEnd_)
            return p;
        p = std::max(p, highStart_);
        if (p <= last_)
            return p;
        return lowEnd_ >= 0 ? 0 : highStart_;
    }

    // The target whose first and last heights match the source's best. Candidates are taken
    // in order from start, walking on past the end to 0; the first of equal costs wins. The
    // n - s - 1 steps of that walk visit every valid target, so this scans each once.
    int bestTarget(int start) {
        best_ = start;
        bestCost_ = cost(start);
        if (start <= lowEnd_) {
            scan(start + 1, lowEnd_);
            scan(highStart_, last_);
            scan(0, start - 1);
        } else {
            scan(start + 1, last_);
            scan(0, lowEnd_);
            scan(highStart_, start - 1);
        }
        return best_;
    }

    void swapHeightsWith(int target) {
        for (int r = 0; r < s_; ++r)
            std::swap(d_[target + r][1], d_[source_ + r][1]);
    }

private:
    float cost(int q) const {
        const double first = d_[source_][1] - d_[q][1];
        const double last = d_[source_ + s_ - 1][1] - d_[q + s_ - 1][1];
        return static_cast<float>(first * first + last * last);
    }

    void scan(int from, int to) {
        for (int q = std::max(from, 0); q <= to; ++q) {
            const float c = cost(q);
            if (c < bestCost_) {
                bestCost_ = c;
                best_ = q;
            }
        }
    }

    gmVector2* d_;
    int n_, s_, source_;
    int lowEnd_;    // valid targets below the source: 0 ... source - s
    int highStart_; // valid targets above it: source + s ... n - s
    int last_;
    int best_ = 0;
    float bestCost_ = 0.0f;
};

} // namespace

void randomizeDetails(std::vector<gmVector2>& details, float amount, Random15& rng, bool announce) {
    const int n = static_cast<int>(details.size());
    const int s = static_cast<int>(std::ceil(n / 15.0 - 1.0));
    if (s < 2)
        return; // 30 entries or fewer: too short to shuffle
    // The slider's range; anything outside it (or not a number) moves nothing or everything.
    const float clamped = amount > 0.0f ? std::min(amount, 1.0f) : 0.0f;
    const int m = static_cast<int>(std::ceil((n / static_cast<double>(s)) * clamped));
    if (announce)
        printLine("moving %i chunks\n", m);

    for (int chunk = 0; chunk < m; ++chunk) {
        const int source = rng.next() % (n - s + 1);
        const int candidate = rng.next() % n;
        ChunkExchange exchange(details, s, source);
        exchange.swapHeightsWith(exchange.bestTarget(exchange.validFrom(candidate)));
    }
}
