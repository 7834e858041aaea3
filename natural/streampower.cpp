#include "natural/streampower.h"

#include <cmath>

#include "natural/rowthreads.h"

namespace {

// The solve down one stretch of the stack, a set of whole drainage basins.
void solveStretch(HeightField& field, const FlowNetwork& network, const StreamPower& law,
                  std::size_t begin, std::size_t end) {
    std::vector<float>& z = field.heights;
    const double lengthUnit = law.lengthUnit;
    for (std::size_t k = begin; k < end; ++k) {
        const std::int32_t i = network.stack[k];
        const std::int32_t r = network.receiver[static_cast<std::size_t>(i)];
        if (r == i || field.roles[static_cast<std::size_t>(i)] != CellRole::free)
            continue;
        const double area = network.area[static_cast<std::size_t>(i)] * law.areaUnit;
        const double distance = network.distance(i, field.width, field.cell) / lengthUnit;
        const double power =
            law.areaExponent == 0.5 ? std::sqrt(area) : std::pow(area, law.areaExponent);
        const double f = law.rate * power / distance;
        const double below = z[static_cast<std::size_t>(r)];
        const double now = z[static_cast<std::size_t>(i)];
        if (now > below)
            z[static_cast<std::size_t>(i)] = static_cast<float>((now + f * below) / (1.0 + f));
    }
}

} // namespace

void streamPowerStep(HeightField& field, const FlowNetwork& network, const StreamPower& law) {
    const std::vector<std::size_t>& ends = network.partEnds;
    if (ends.size() <= 1) {
        solveStretch(field, network, law, 0, network.stack.size());
        return;
    }
    // The parts are whole basins: no cell of one drains into another, so each is solved on a
    // thread of its own and the heights do not depend on which runs first.
    const int parts = static_cast<int>(ends.size());
    forRowBands(parts, 1, parts, [&](int first, int last) {
        for (int p = first; p < last; ++p)
            solveStretch(field, network, law, p == 0 ? 0 : ends[static_cast<std::size_t>(p - 1)],
                         ends[static_cast<std::size_t>(p)]);
    });
}
