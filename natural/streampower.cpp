#include "natural/streampower.h"

#include <cmath>

void streamPowerStep(HeightField& field, const FlowNetwork& network, const StreamPower& law) {
    std::vector<float>& z = field.heights;
    const std::size_t n = network.stack.size();
    const double lengthUnit = law.lengthUnit;
    for (std::size_t k = 0; k < n; ++k) {
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
