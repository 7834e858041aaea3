#include "natural/erosion.h"

#include "natural/streampower.h"
#include "natural/thermal.h"

void carveLevel(const Carving& carving, int threads, HeightField& field) {
    const float epsilon = static_cast<float>(1e-4 * field.cell);
    if (carving.time > 0 && carving.steps > 0) {
        StreamPower law;
        law.rate = carving.time / carving.steps;
        law.areaExponent = 0.5;
        law.lengthUnit = carving.depth;
        law.areaUnit = field.cell * field.cell / (carving.depth * carving.depth);
        FlowNetwork network;
        if (hasDepression(field, threads))
            fillDepressions(field, epsilon);
        for (int step = 0; step < carving.steps; ++step) {
            // The receivers are drawn afresh each step, so that water on an even slope does
            // not keep to one grid direction.
            routeFlow(field, threads, network,
                      (carving.seed + static_cast<std::uint32_t>(step) * 131u) | 1u);
            streamPowerStep(field, network, law);
            thermalErosion(field, carving.talus, carving.talusBetween, threads);
        }
    }
    thermalErosion(field, carving.talus, carving.talusAfter, threads);
}
