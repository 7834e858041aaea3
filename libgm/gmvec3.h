#pragma once

#include <cassert>

#include "gmutils.h"

// A three-component vector, used for the surface normals of the terrain.
class gmVector3 {
public:
    gmVector3() : v_{0.0, 0.0, 0.0} {}
    gmVector3(double x, double y, double z) : v_{x, y, z} {}

    double& operator[](int i) {
        assert(i == 0 || i == 1 || i == 2);
        return v_[i];
    }
    const double& operator[](int i) const {
        assert(i == 0 || i == 1 || i == 2);
        return v_[i];
    }

private:
    double v_[3];
};

inline gmVector3 operator-(const gmVector3& a, const gmVector3& b) {
    return gmVector3(a[0] - b[0], a[1] - b[1], a[2] - b[2]);
}

// The cross product, not normalised: its length is whatever the operands give.
inline gmVector3 cross(const gmVector3& a, const gmVector3& b) {
    return gmVector3(a[1] * b[2] - a[2] * b[1], a[2] * b[0] - a[0] * b[2],
                     a[0] * b[1] - a[1] * b[0]);
}
