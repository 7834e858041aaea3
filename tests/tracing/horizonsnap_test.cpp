// Snapping a traced line onto a photograph's horizon.
#include <cmath>

#include <gtest/gtest.h>

#include "syntheticphoto.h"
#include "tracing/horizonsnap.h"

namespace {

// The share of the line's columns within tolerance rows of the horizon.
double shareOnHorizon(const SyntheticPhoto& photo, const std::vector<gmVector2>& line,
                      double tolerance) {
    int on = 0;
    for (const gmVector2& p : line) {
        const double row = photo.height - p[1];
        if (std::abs(row - photo.horizon[static_cast<std::size_t>(p[0])]) <= tolerance)
            ++on;
    }
    return static_cast<double>(on) / static_cast<double>(line.size());
}

TEST(HorizonSnap, ALineTracedNearAClearHorizonLandsOnIt) {
    const SyntheticPhoto photo = makeSyntheticPhoto(4000, 3000);
    const PhotoView view{photo.rgb.data(), photo.width, photo.height, 3};
    const std::vector<gmVector2> traced = tracedLine(photo, 10.0);
    // The traced line is not on the horizon to begin with.
    EXPECT_LT(shareOnHorizon(photo, traced, 1.0), 0.5);
    const std::vector<gmVector2> snapped = snapToHorizon(view, traced);
    ASSERT_EQ(snapped.size(), traced.size());
    for (std::size_t i = 0; i < snapped.size(); ++i)
        ASSERT_EQ(snapped[i][0], traced[i][0]);
    EXPECT_GE(shareOnHorizon(photo, snapped, 1.0), 0.95);
}

TEST(HorizonSnap, WithoutAnEdgeOrOutsideThePhotographTheLineStays) {
    const std::vector<unsigned char> grey(200 * 100, 128);
    const PhotoView flat{grey.data(), 200, 100, 1};
    std::vector<gmVector2> line;
    for (int x = -5; x < 205; ++x)
        line.emplace_back(x, 40.0 + 0.1 * x);
    const std::vector<gmVector2> snapped = snapToHorizon(flat, line);
    ASSERT_EQ(snapped.size(), line.size());
    for (std::size_t i = 0; i < line.size(); ++i)
        EXPECT_EQ(snapped[i][1], line[i][1]) << "column " << line[i][0];

    // A horizon at row 30 (y 70): the columns over the photograph snap, the others keep.
    std::vector<unsigned char> edge(200 * 100, 40);
    std::fill(edge.begin(), edge.begin() + 200 * 30, 220);
    const std::vector<gmVector2> onEdge = snapToHorizon({edge.data(), 200, 100, 1}, line);
    for (std::size_t i = 0; i < line.size(); ++i) {
        const double x = line[i][0];
        if (x < 0 || x >= 200) {
            EXPECT_EQ(onEdge[i][1], line[i][1]) << "column " << x;
        } else if (std::abs(line[i][1] - 70.5) < 10) {
            EXPECT_NEAR(onEdge[i][1], 70.5, 0.25) << "column " << x;
        }
    }
}

TEST(HorizonSnap, ThePhotographIsAveragedToTheDrawingsSize) {
    // 4 x 2 grey to 2 x 1: each output pixel the mean of a 2 x 2 block; back up to 8 x 4 by
    // the nearest pixel.
    const std::vector<unsigned char> grey = {0, 100, 200, 200, 100, 200, 0, 0};
    const GreyPhoto half = greyPhotoAtSize({grey.data(), 4, 2, 1}, 2, 1);
    ASSERT_EQ(half.grey.size(), 2u);
    EXPECT_EQ(half.grey[0], 100);
    EXPECT_EQ(half.grey[1], 100);
    const GreyPhoto twice = greyPhotoAtSize({grey.data(), 4, 2, 1}, 8, 4);
    EXPECT_EQ(twice.grey[0], 0);
    EXPECT_EQ(twice.grey[2], 100);
    EXPECT_EQ(twice.grey[8 * 3 + 4], 0);
    // Colour goes in as its brightness.
    const std::vector<unsigned char> red = {255, 0, 0};
    EXPECT_EQ(greyPhotoAtSize({red.data(), 1, 1, 3}, 1, 1).grey[0], 76);
}

} // namespace
