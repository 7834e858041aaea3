#pragma once

#include <cassert>

#include "gmutils.h"

// A point or offset in the plane: component 0 is x (the independent variable of every
// curve and profile), component 1 is y (a height). A plain value with no heap storage.
class gmVector2 {
public:
    gmVector2() : v_{0.0, 0.0} {}
    gmVector2(double x, double y) : v_{x, y} {}

    double& operator[](int i) {
        assert(i == 0 || i == 1);
        return v_[i];
    }
    const double& operator[](int i) const {
        assert(i == 0 || i == 1);
        return v_[i];
    }

    gmVector2& operator*=(double s) {
        v_[0] = s * v_[0];
        v_[1] = s * v_[1];
        return *this;
    }

    // Division multiplies by the reciprocal, rounded to double once; the last bit may
    // therefore differ from a true division, and curves rely on exactly this arithmetic.
    gmVector2& operator/=(double c) {
        assert(!gmIsZero(c));
        const double r = 1.0 / c;
        v_[0] = r * v_[0];
        v_[1] = r * v_[1];
        return *this;
    }

    // Exact equality, component by component: for telling whether a list of points is the
    // one stored, never for geometric closeness.
    friend bool operator==(const gmVector2& a, const gmVector2& b) {
        return a.v_[0] == b.v_[0] && a.v_[1] == b.v_[1];
    }
    friend bool operator!=(const gmVector2& a, const gmVector2& b) { return !(a == b); }

private:
    double v_[2];
};

inline gmVector2 operator+(const gmVector2& a, const gmVector2& b) {
    return gmVector2(a[0] + b[0], a[1] + b[1]);
}

inline gmVector2 operator-(const gmVector2& a, const gmVector2& b) {
    return gmVector2(a[0] - b[0], a[1] - b[1]);
}

inline gmVector2 operator*(double s, const gmVector2& a) {
    return gmVector2(s * a[0], s * a[1]);
}

inline gmVector2 operator/(const gmVector2& a, double c) {
    assert(!gmIsZero(c));
    const double r = 1.0 / c;
    return gmVector2(r * a[0], r * a[1]);
}

// Orders points by x alone, so that strokes can be sorted along the horizontal axis;
// points with equal x are equivalent.
inline bool operator<(const gmVector2& a, const gmVector2& b) {
    return a[0] < b[0];
}
