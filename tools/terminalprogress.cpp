#include "tools/terminalprogress.h"

#include <algorithm>
#include <cmath>
#include <unistd.h>

TerminalProgress::TerminalProgress(std::FILE* out, bool enabled)
    : out_(out), enabled_(enabled && isatty(fileno(out)) == 1),
      start_(std::chrono::steady_clock::now()) {}

void TerminalProgress::report(double share) {
    if (!enabled_ || !(share >= 0))
        return;
    ticksDue_ = std::max(ticksDue_, static_cast<int>(std::floor(std::min(share, 1.0) * 40.0)));
    if (ticksDrawn_ == 0 && std::chrono::steady_clock::now() - start_ < std::chrono::seconds(1))
        return;
    bool drew = false;
    // Tick 0 is the "0"; every fourth tick a number of tens, the others a dot.
    for (; ticksDrawn_ <= ticksDue_; ++ticksDrawn_) {
        if (ticksDrawn_ % 4 == 0)
            std::fprintf(out_, "%d", ticksDrawn_ / 4 * 10);
        else
            std::fputc('.', out_);
        drew = true;
    }
    if (drew)
        std::fflush(out_);
}

void TerminalProgress::finish(bool succeeded) {
    if (!enabled_ || ticksDrawn_ == 0)
        return;
    if (succeeded) {
        report(1.0);
        std::fputs(" - done.\n", out_);
    } else {
        std::fputc('\n', out_);
    }
    std::fflush(out_);
}
