#pragma once

#include <chrono>
#include <cstdio>

// A progress line on a terminal, as GDAL's tools draw it: "0...10...20...30...40...50...60...
// 70...80...90...100 - done." Nothing is drawn for work that ends within a second, nor when the
// stream is not a terminal (a log or a pipe): scripts see nothing on success.
class TerminalProgress {
public:
    // Draws on `out` when `enabled` and out is a terminal.
    TerminalProgress(std::FILE* out, bool enabled);
    // Tells the share done, 0 to 1; draws the ticks passed once a second has gone by.
    void report(double share);
    // Ends the line when anything was drawn (on success with " - done.").
    void finish(bool succeeded);

private:
    std::FILE* out_;
    bool enabled_;
    std::chrono::steady_clock::time_point start_;
    int ticksDrawn_ = 0; // of 0 ... 40, a tick every 2.5%
    int ticksDue_ = 0;
};
