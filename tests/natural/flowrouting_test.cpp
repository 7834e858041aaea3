// Routing water over a height field: filled depressions drain, the stack puts every cell after
// its receiver, the drainage area adds up to the cells, the foreland drains without pits and
// carries the mountain's streams on, hillslope diffusion opens grooves, faces too steep to
// stand are cut back, and a stopped sweep is dropped.
#include <algorithm>
#include <atomic>
#include <cmath>
#include <functional>

#include <gtest/gtest.h>

#include "natural/detailnoise.h"
#include "natural/flowrouting.h"
#include "natural/foreland.h"
#include "natural/hillslope.h"
#include "natural/rowthreads.h"
#include "natural/streampower.h"
#include "natural/thermal.h"

namespace {

// A noisy dome with pits all over it, its edge the outlet.
HeightField pittedDome(int side) {
    HeightField field;
    field.width = field.height = side;
    field.heights.resize(field.size());
    field.roles.assign(field.size(), CellRole::free);
    Octaves octaves;
    octaves.wavelength = side / 3.0;
    for (int r = 0; r < side; ++r)
        for (int c = 0; c < side; ++c) {
            const std::size_t i = static_cast<std::size_t>(r) * side + c;
            const double dx = c - side / 2.0, dy = r - side / 2.0;
            field.heights[i] = static_cast<float>(side - std::sqrt(dx * dx + dy * dy) +
                                                  20.0 * fractalNoise(c, r, octaves, 7));
            if (r == 0 || c == 0 || r == side - 1 || c == side - 1)
                field.roles[i] = CellRole::outlet;
        }
    return field;
}

// A side x side field of free cells at height 0.
HeightField flatField(int side) {
    HeightField field;
    field.width = field.height = side;
    field.heights.assign(field.size(), 0.0f);
    field.roles.assign(field.size(), CellRole::free);
    return field;
}

} // namespace

TEST(FlowRouting, FilledFieldDrainsEveryCellToAnOutlet) {
    HeightField field = pittedDome(96);
    ASSERT_TRUE(hasDepression(field, 2));
    const std::vector<float> before = field.heights;
    EXPECT_GT(fillDepressions(field, 1e-3f), 0u);
    EXPECT_FALSE(hasDepression(field, 2));
    for (std::size_t i = 0; i < field.size(); ++i)
        EXPECT_GE(field.heights[i], before[i]); // only raised

    FlowNetwork network;
    routeFlow(field, 2, network, 99);
    ASSERT_EQ(network.stack.size(), field.size());
    std::vector<int> position(field.size(), -1);
    for (std::size_t k = 0; k < network.stack.size(); ++k)
        position[static_cast<std::size_t>(network.stack[k])] = static_cast<int>(k);
    double outletArea = 0;
    for (std::size_t i = 0; i < field.size(); ++i) {
        ASSERT_GE(position[i], 0) << "cell " << i << " missing from the stack";
        const std::int32_t r = network.receiver[i];
        if (r == static_cast<std::int32_t>(i)) {
            EXPECT_EQ(field.roles[i], CellRole::outlet) << "a filled field has no inner sink";
            outletArea += network.area[i];
        } else {
            EXPECT_LT(position[static_cast<std::size_t>(r)], position[i]);
            EXPECT_LT(field.heights[static_cast<std::size_t>(r)], field.heights[i]);
        }
    }
    EXPECT_DOUBLE_EQ(outletArea, static_cast<double>(field.size()));
}

TEST(FlowRouting, SpreadAreaKeepsEveryCellsWaterAndGathersItInValleys) {
    // A filled dome: every cell's share reaches an outlet, none lost on the way down.
    HeightField dome = pittedDome(64);
    fillDepressions(dome, 1e-3f);
    FlowNetwork network, alone;
    findReceivers(dome, 1, network, 7);
    alone = network;
    spreadArea(dome, 1.5, 0.0f, network, 2);
    spreadArea(dome, 1.5, 0.0f, alone, 1);
    EXPECT_EQ(network.area, alone.area);
    double outletArea = 0;
    for (std::size_t i = 0; i < dome.size(); ++i)
        if (dome.roles[i] == CellRole::outlet)
            outletArea += network.area[i];
    const double cells = static_cast<double>(dome.size());
    EXPECT_NEAR(outletArea, cells, 1e-3 * cells);
    // The stack it lays takes every cell after its receiver, for the stream-power step.
    std::vector<std::size_t> position(dome.size());
    for (std::size_t k = 0; k < network.stack.size(); ++k)
        position[static_cast<std::size_t>(network.stack[k])] = k;
    ASSERT_EQ(network.stack.size(), dome.size());
    for (std::size_t i = 0; i < dome.size(); ++i)
        EXPECT_LE(position[static_cast<std::size_t>(network.receiver[i])], position[i]);

    // A valley running south between two even flanks, its mouth the outlet: the floor gathers
    // what the flanks shed.
    HeightField valley;
    valley.width = 41;
    valley.height = 60;
    valley.heights.resize(valley.size());
    valley.roles.assign(valley.size(), CellRole::free);
    for (int r = 0; r < valley.height; ++r)
        for (int c = 0; c < valley.width; ++c) {
            const std::size_t i = static_cast<std::size_t>(r) * valley.width + c;
            valley.heights[i] = static_cast<float>(valley.height - r + 0.5 * std::abs(c - 20));
            if (r == valley.height - 1)
                valley.roles[i] = CellRole::outlet;
        }
    routeFlow(valley, 1, network);
    spreadArea(valley, 1.5, 0.0f, network);
    const auto area = [&](int r, int c) {
        return network.area[static_cast<std::size_t>(r) * valley.width + c];
    };
    EXPECT_GT(area(50, 20), 20 * area(50, 10));
}

TEST(FlowRouting, StreamPowerLowersChannelsMostAndNeverBelowTheirReceivers) {
    HeightField field = pittedDome(64);
    fillDepressions(field, 1e-3f);
    FlowNetwork network;
    routeFlow(field, 1, network);
    const std::vector<float> before = field.heights;
    StreamPower law;
    law.rate = 0.05;
    law.areaUnit = 1.0 / (64.0 * 64.0);
    law.lengthUnit = 1.0 / 64.0;
    streamPowerStep(field, network, law);
    double channelDrop = 0, hillDrop = 0;
    int channels = 0, hills = 0;
    for (std::size_t i = 0; i < field.size(); ++i) {
        const std::size_t r = static_cast<std::size_t>(network.receiver[i]);
        EXPECT_LE(field.heights[i], before[i]);
        if (r == i)
            continue;
        EXPECT_GE(field.heights[i], field.heights[r]);
        const double drop = before[i] - field.heights[i];
        if (network.area[i] >= 50) {
            channelDrop += drop;
            ++channels;
        } else if (network.area[i] == 1) {
            hillDrop += drop;
            ++hills;
        }
    }
    ASSERT_GT(channels, 0);
    ASSERT_GT(hills, 0);
    EXPECT_GT(channelDrop / channels, 2 * hillDrop / hills);
}

TEST(Foreland, RisesFromTheEdgeWithoutPitsAndBranches) {
    ForelandShape shape;
    shape.west = shape.south = 0;
    shape.east = shape.north = 100;
    shape.height = 10;
    shape.rise = 30;
    shape.wavelength = 40;
    const Foreland foreland(shape);
    const int side = 101;
    auto at = [&](int r, int c) { return foreland.at(c, 100 - r); };
    // Where each point drains: its lowest neighbour, as D8 would have it.
    std::vector<int> inflows(static_cast<std::size_t>(side) * side, 0);
    for (int r = 0; r < side; ++r)
        for (int c = 0; c < side; ++c) {
            const double h = at(r, c);
            EXPECT_LT(h, shape.height);
            if (r == 0 || c == 0 || r == side - 1 || c == side - 1) {
                EXPECT_EQ(h, 0.0);
                continue;
            }
            int lowest = -1;
            double low = h;
            for (int k = 0; k < 9; ++k)
                if (at(r + k / 3 - 1, c + k % 3 - 1) < low) {
                    low = at(r + k / 3 - 1, c + k % 3 - 1);
                    lowest = (r + k / 3 - 1) * side + c + k % 3 - 1;
                }
            ASSERT_GE(lowest, 0) << "a pit at " << r << "," << c;
            ++inflows[static_cast<std::size_t>(lowest)];
        }
    // Paths join: many points take water from two or more neighbours.
    const auto joins = std::count_if(inflows.begin(), inflows.end(), [](int n) { return n >= 2; });
    EXPECT_GT(joins, side * side / 50); // a plain ramp to the edge has none
}

TEST(LimitSlope, CutsFacesBackToTheirAngleOnlyLoweringAndKeepsHeldCells) {
    HeightField field = pittedDome(64);
    // A spike on a steep dome, a held cell standing on it, weaker rock in the west half.
    for (float& h : field.heights)
        h *= 3.0f;
    const std::size_t spike = 20 * 64 + 40, held = 40 * 64 + 20;
    field.heights[spike] += 80.0f;
    field.heights[held] += 80.0f;
    field.roles[held] = CellRole::held;
    std::vector<float> steepest(field.size());
    for (int r = 0; r < 64; ++r)
        for (int c = 0; c < 64; ++c)
            steepest[static_cast<std::size_t>(r) * 64 + c] = c < 32 ? 0.8f : 1.5f;
    const std::vector<float> before = field.heights;
    limitSlope(field, steepest);
    EXPECT_EQ(field.heights[held], before[held]);
    EXPECT_LT(field.heights[spike], before[spike] - 60.0f);
    // Nowhere higher than before, and between free neighbours never steeper than their rock's
    // mean angle allows (the straight steps, which any cut face has to keep).
    // (The passes after the first sweep only the rows near those lowered: across the rows too.)
    for (int r = 0; r < 64; ++r)
        for (int c = 0; c < 64; ++c) {
            const std::size_t i = static_cast<std::size_t>(r) * 64 + c;
            EXPECT_LE(field.heights[i], before[i]);
            for (const std::size_t j : {i + 1, i + 64}) {
                if ((j == i + 1 && c + 1 == 64) || j >= field.size() || i == held || j == held)
                    continue;
                const float allowed = 0.5f * (steepest[i] + steepest[j]) * 1.0001f + 1e-3f;
                EXPECT_LE(std::abs(field.heights[j] - field.heights[i]), allowed) << r << "," << c;
            }
        }
}

TEST(RaiseBlade, CrestStandsAsBladeWithinCeilingsAndSteepDrawingLeavesPinnacle) {
    // A crest along row 20 on flat ground: tops falling gently from column 20, but column 30
    // drawn 20 above its neighbours, far steeper than a face stands. Weaker rock in the west.
    const int side = 48;
    HeightField field = flatField(side);
    std::vector<double> ceiling(side);
    std::vector<float> steepest(field.size());
    for (int c = 0; c < side; ++c) {
        ceiling[static_cast<std::size_t>(c)] = 30.0 - 0.5 * std::abs(c - 20) + (c == 30 ? 20 : 0);
        const std::size_t i = static_cast<std::size_t>(20) * side + c;
        field.heights[i] = static_cast<float>(ceiling[static_cast<std::size_t>(c)]);
        field.roles[i] = CellRole::held;
        for (int r = 0; r < side; ++r)
            steepest[static_cast<std::size_t>(r) * side + c] = c < 24 ? 1.0f : 1.5f;
    }
    const std::vector<float> before = field.heights;
    raiseBlade(field, steepest, ceiling, 1.6, 0.01);
    const auto at = [&](int r, int c) {
        return field.heights[static_cast<std::size_t>(r) * side + c];
    };
    // Where the drawing is gentle the crest's neighbours follow it down at the rock's angle.
    EXPECT_GE(at(19, 20), 30.0f - 1.0f - 0.02f);
    EXPECT_GE(at(22, 40), 20.0f - 3.0f - 0.02f);
    // The steep column's top stands as a pinnacle above a blade no steeper than the step.
    EXPECT_EQ(at(20, 30), 45.0f);
    EXPECT_LE(at(19, 30), 25.5f + 1.6f + 0.02f);
    for (int r = 0; r < side; ++r)
        for (int c = 0; c < side; ++c) {
            const std::size_t i = static_cast<std::size_t>(r) * side + c;
            EXPECT_GE(field.heights[i], before[i]);
            EXPECT_LE(field.heights[i], ceiling[static_cast<std::size_t>(c)] + 0.01);
            // Between free neighbours no step steeper than the rock or the crest's step.
            if (c + 1 < side && r != 20) {
                EXPECT_LE(std::abs(at(r, c + 1) - at(r, c)), 1.6f * 1.0001f + 0.01f)
                    << r << "," << c;
            }
            if (r + 1 < side && r != 20 && r + 1 != 20) {
                EXPECT_LE(std::abs(at(r + 1, c) - at(r, c)), 1.5f * 1.0001f + 0.01f)
                    << r << "," << c;
            }
        }
    // With fins the steep column stands near its top two rows either side of its held cell
    // along the column, at the rock's angle from it, and no further.
    field.heights = before;
    raiseBlade(field, steepest, ceiling, 1.6, 0.01, 1.0, 2);
    for (const int r : {18, 22})
        EXPECT_GE(at(r, 30), 45.0f - 3.0f - 0.02f) << r;
    for (const int r : {17, 23})
        EXPECT_LE(at(r, 30), 25.5f + 1.6f + 0.02f) << r;
    EXPECT_LE(at(18, 29), 25.5f + 0.01f);
}

TEST(RaiseBlade, ACrestSteppingRowsRunsOnAlongTheStepsWithoutDipping) {
    // A crest falling gently eastwards while it steps three rows south at every other column.
    const int side = 40;
    HeightField field = flatField(side);
    std::vector<double> ceiling(side);
    const auto heldRow = [](int c) { return 5 + 3 * (c / 2); };
    for (int c = 0; c < 20; ++c) {
        ceiling[static_cast<std::size_t>(c)] = 30.0 - 0.5 * c;
        const std::size_t i = static_cast<std::size_t>(heldRow(c)) * side + c;
        field.heights[i] = static_cast<float>(ceiling[static_cast<std::size_t>(c)]);
        field.roles[i] = CellRole::held;
    }
    const std::vector<float> steepest(field.size(), 1.0f);
    raiseBlade(field, steepest, ceiling, 1.6, 0.01, 1.0, 2);
    // Down each column from its held cell to the row its neighbour holds, never below the
    // lower of the two ends, nor anywhere above the column's top.
    for (int c = 0; c + 1 < 20; ++c) {
        const int from = heldRow(c), to = heldRow(c + 1);
        const float low = field.heights[static_cast<std::size_t>(to) * side + c];
        for (int r = from; r <= to; ++r)
            EXPECT_GE(field.heights[static_cast<std::size_t>(r) * side + c], low - 0.01f)
                << r << "," << c;
        for (int r = 0; r < side; ++r)
            EXPECT_LE(field.heights[static_cast<std::size_t>(r) * side + c],
                      ceiling[static_cast<std::size_t>(c)] + 0.01)
                << r << "," << c;
    }
}

TEST(RaiseBlade, FinsSlantWithAGentlySteppingCrestAndCoverItsStepsWhole) {
    // A crest stepping a row every four columns, then three rows at every column.
    std::vector<int> held;
    for (int c = 0; c < 16; ++c)
        held.push_back(20 + c / 4);
    for (int c = 1; c <= 4; ++c)
        held.push_back(held[15] + 3 * c);
    const std::vector<Fin> fins = finsOf(held, 2);
    // Along a gentle step (row 21 over columns 4 to 7) the fin's outer rows stand on it in
    // part: the southern edge rises towards the next step, the northern one falls away from
    // the last, and nothing lies beyond finRows rows of the held cell.
    const auto share = [&](int c, int r) {
        return finShare(fins[static_cast<std::size_t>(c)], r, 2);
    };
    EXPECT_GT(share(4, 23), 0.0);
    EXPECT_LT(share(4, 23), share(5, 23));
    EXPECT_LT(share(5, 23), share(6, 23));
    EXPECT_GT(share(5, 19), share(6, 19));
    EXPECT_GT(share(6, 19), share(7, 19));
    for (int c = 4; c <= 7; ++c) {
        EXPECT_EQ(share(c, 21), 1.0);
        EXPECT_EQ(share(c, 18), 0.0);
        EXPECT_EQ(share(c, 24), 0.0);
    }
    // Where the crest steps three rows at every column the fin covers the rows between the
    // neighbours' held cells whole, beyond finRows too: a view along the rows sees no notch.
    for (int r = held[16]; r <= held[18]; ++r)
        EXPECT_EQ(share(17, r), 1.0) << r;
}

TEST(RaiseBlade, UnderARoofTheFacesBelowASteepDropFallAwayFromTheCrest) {
    // A crest along row 30 drawn at 40 up to column 20, then falling just less steeply than
    // the blade's step to 10 at column 39; weak rock, whose cones fall more slowly still.
    const int side = 60;
    HeightField field = flatField(side);
    std::vector<double> ceiling(side);
    const std::vector<float> steepest(field.size(), 1.0f);
    for (int c = 0; c < side; ++c) {
        ceiling[static_cast<std::size_t>(c)] = std::clamp(40.0 - 1.58 * (c - 20), 10.0, 40.0);
        const std::size_t i = static_cast<std::size_t>(30) * side + c;
        field.heights[i] = static_cast<float>(ceiling[static_cast<std::size_t>(c)]);
        field.roles[i] = CellRole::held;
    }
    const std::vector<float> before = field.heights;
    const auto at = [&](int r, int c) {
        return field.heights[static_cast<std::size_t>(r) * side + c];
    };
    // Cut off by each column alone, the summit's cones overtop the drop's columns far along
    // them: flat from row to row, edged by straight lines along the columns.
    raiseBlade(field, steepest, ceiling, 1.6, 0.01);
    for (int r = 22; r <= 38; ++r)
        EXPECT_NEAR(at(r, 30), ceiling[30], 0.02) << r;
    field.heights = before;
    const BladeRoof roof{0.8, 1.2, 3.0, 0.3};
    raiseBlade(field, steepest, ceiling, 1.6, 0.01, 1.0, 0, roof);
    for (int c = 24; c < 36; ++c)
        for (int d = 3; d < 8; ++d) {
            // Beyond the roof's rows every cell falls away from the crest, both ways, and from
            // column to column no faster than the roof's step.
            EXPECT_LT(at(30 + d + 1, c), at(30 + d, c) - 0.5f) << d << "," << c;
            EXPECT_LT(at(30 - d - 1, c), at(30 - d, c) - 0.5f) << d << "," << c;
            EXPECT_LE(at(30 + d, c) - at(30 + d, c + 1), 0.8f + 0.02f) << d << "," << c;
        }
    for (int r = 0; r < side; ++r)
        for (int c = 0; c < side; ++c) {
            EXPECT_GE(at(r, c), before[static_cast<std::size_t>(r) * side + c]);
            EXPECT_LE(at(r, c), ceiling[static_cast<std::size_t>(c)] + 0.01);
        }
}

TEST(Foreland, CarriesTheMountainsStreamOnWhereItLeavesTheBody) {
    ForelandShape shape;
    shape.west = shape.south = 0;
    shape.east = shape.north = 200;
    shape.height = 10;
    shape.rise = 60;
    shape.wavelength = 80;
    // A mountain round the middle whose inner slopes gather into one valley along row 100,
    // leaving the body at its eastern foot.
    std::vector<float> mountain(201 * 201, 0.0f);
    for (int r = 0; r < 201; ++r)
        for (int c = 0; c < 201; ++c)
            if (std::hypot(r - 100.0, c - 100.0) < 25)
                mountain[static_cast<std::size_t>(r) * 201 + c] =
                    static_cast<float>(50.0 + 3.0 * std::abs(r - 100) + 0.5 * (125 - c));
    const Foreland plain(shape), drained(shape, mountain);
    // Beyond its foot the mountain's water runs on in a valley cut well below the plain's
    // ground; with the mountain's area left out little would differ there.
    double deepest = 0.0;
    for (int r = 60; r <= 140; ++r)
        for (int c = 60; c <= 140; ++c) {
            const double d = std::hypot(r - 100.0, c - 100.0);
            if (d > 26 && d < 32)
                deepest = std::max(deepest, 1.0 - drained.at(c, r) / plain.at(c, r));
        }
    EXPECT_GT(deepest, 0.15);
}

TEST(HillslopeDiffusion, OpensAOneCellGrooveAndKeepsHeldCells) {
    const auto groove = [] {
        HeightField field;
        field.width = field.height = 40;
        field.roles.assign(field.size(), CellRole::free);
        for (int r = 0; r < 40; ++r)
            for (int c = 0; c < 40; ++c)
                field.heights.push_back(c == 20 ? 0.0f : 10.0f);
        field.roles[5 * 40 + 20] = CellRole::held;
        return field;
    };
    HeightField one = groove(), many = groove();
    diffuseHillslopes(one, 0.5, 2, 1);
    diffuseHillslopes(many, 0.5, 2, 4);
    EXPECT_EQ(one.heights, many.heights);
    const auto at = [&](int r, int c) { return one.heights[static_cast<std::size_t>(r) * 40 + c]; };
    EXPECT_EQ(at(5, 20), 0.0f);
    EXPECT_GT(at(30, 20), 2.0f); // the groove's floor rises
    EXPECT_LT(at(30, 19), 9.0f); // and its sides come down: wider and shallower
    EXPECT_LT(at(30, 18), 10.0f);
    EXPECT_EQ(at(30, 10), 10.0f); // the plain stays
}

TEST(Talus, MovesMaterialDownhillKeepingItAndMirrorsWithTheField) {
    // Every cell free: what leaves one cell lands on its neighbour, edges included.
    HeightField field = pittedDome(48);
    field.roles.assign(field.size(), CellRole::free);
    HeightField mirrored = field;
    const int w = field.width;
    for (int r = 0; r < field.height; ++r)
        for (int c = 0; c < w; ++c)
            mirrored.heights[static_cast<std::size_t>(r) * w + c] =
                field.heights[static_cast<std::size_t>(r) * w + (w - 1 - c)];
    const auto total = [](const HeightField& f) {
        double sum = 0;
        for (const float v : f.heights)
            sum += v;
        return sum;
    };
    const auto steepest = [&](const HeightField& f) {
        float most = 0;
        for (std::size_t i = 1; i < f.size(); ++i)
            most = std::max(most, std::abs(f.heights[i] - f.heights[i - 1]));
        return most;
    };
    const double before = total(field);
    const float steepBefore = steepest(field);
    thermalErosion(field, 0.5, 4, 2);
    thermalErosion(mirrored, 0.5, 4, 1);
    EXPECT_NEAR(total(field), before, 1e-4 * std::abs(before));
    EXPECT_LT(steepest(field), steepBefore);
    for (int r = 0; r < field.height; ++r)
        for (int c = 0; c < w; ++c)
            ASSERT_NEAR(mirrored.heights[static_cast<std::size_t>(r) * w + c],
                        field.heights[static_cast<std::size_t>(r) * w + (w - 1 - c)], 1e-3f)
                << r << " " << c;
}

TEST(RowBandStop, AStoppedSweepIsDroppedNotHalfApplied) {
    // Stopped in the first sweep's bands, the talus and the diffusion leave the field as it was
    // rather than half of it moved; unstopped they move it.
    for (const bool stopping : {true, false}) {
        HeightField talus = pittedDome(256), diffused = pittedDome(256);
        const std::vector<float> before = talus.heights;
        std::atomic<int> asked{0};
        const std::function<bool()> stop = [&] { return stopping && ++asked > 4; };
        {
            const RowBandStop bands(&stop);
            thermalErosion(talus, 0.2, 3, 2);
            asked = 0;
            diffuseHillslopes(diffused, 0.5, 3, 2);
        }
        EXPECT_EQ(talus.heights == before, stopping);
        EXPECT_EQ(diffused.heights == before, stopping);
    }
}
