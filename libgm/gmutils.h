#pragma once

// True when c lies strictly within 1e-10 of zero: the divisor test of the vector types.
inline bool gmIsZero(double c) {
    return (c >= 0.0 ? c : -c) < 1e-10;
}
