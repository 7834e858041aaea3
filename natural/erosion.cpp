#include "natural/erosion.h"

#include "natural/rowthreads.h"
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
        // A stopped pass leaves its work half done: nothing after it reads it.
        const bool depression = hasDepression(field, threads);
        if (rowBandsStopped())
            return;
        if (depression)
            fillDepressions(field, epsilon);
        for (int step = 0; step < carving.steps; ++step) {
            // The receivers are drawn afresh each step, so that water on an even slope does
            // not keep to one grid direction.
            const std::uint32_t scatter =
                (carving.seed + static_cast<std::uint32_t>(step) * 131u) | 1u;
            if (carving.spread > 0)
                findReceivers(field, threads, network, scatter);
            else
                routeFlow(field, threads, network, scatter);
            if (rowBandsStopped())
                return;
            if (carving.spread > 0)
                spreadArea(field, carving.spread, static_cast<float>(carving.spreadAbove), network,
                           threads);
            streamPowerStep(field, network, law);
            thermalErosion(field, carving.talus, carving.talusBetween, threads);
        }
    }
    thermalErosion(field, carving.talus, carving.talusAfter, threads);
}
