#pragma once

#include <cstdint>

// A portable 15-bit pseudo-random generator: the classic linear congruential generator of
// the C standard's example (next = next * 1103515245 + 12345; value = next / 65536 % 32768).
// Unlike the C library's rand() its sequence is the same on every platform, so terrains and
// their golden files are identical everywhere. A plain value: copying it copies the state.
class Random15 {
public:
    static constexpr int maxValue = 32767;

    explicit Random15(std::uint32_t seed = 1) : state_(seed) {}

    void reseed(std::uint32_t seed) { state_ = seed; }

    // The next value, a whole number from 0 to 32767.
    int next() {
        state_ = state_ * 1103515245u + 12345u;
        return static_cast<int>((state_ / 65536u) % 32768u);
    }

private:
    std::uint32_t state_;
};
