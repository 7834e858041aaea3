#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <string>
#include <utility>
#include <vector>

#include "curve/detailrandomizer.h"

namespace {

using Points = std::vector<gmVector2>;

// Details with distinct heights, so that every move is visible.
Points distinctDetails(int n, Random15& rng) {
    Points details;
    for (int i = 0; i < n; ++i)
        details.emplace_back(0.5 * i, i + rng.next() / 65536.0);
    return details;
}

std::string printedBy(Points details, float amount) {
    Random15 rng(1);
    testing::internal::CaptureStdout();
    randomizeDetails(details, amount, rng);
    return testing::internal::GetCapturedStdout();
}

// The shuffle as the procedure is written out, one candidate at a time, to check the
// faster range scan against.
void walkedShuffle(Points& d, float amount, Random15& rng) {
    const int n = static_cast<int>(d.size());
    const int s = static_cast<int>(std::ceil(n / 15.0 - 1));
    if (s < 2)
        return;
    const int m = static_cast<int>(std::ceil((n / static_cast<double>(s)) * amount));
    Points c = d;
    auto valid = [&](int p, int sc) { return p + s <= n && (p <= sc - s || p >= sc + s); };
    auto cost = [&](int q, int sc) {
        const double a = c[sc][1] - c[q][1], b = c[sc + s - 1][1] - c[q + s - 1][1];
        return static_cast<float>(a * a + b * b);
    };
    for (int i = 0; i < m; ++i) {
        const int sc = rng.next() % (n - s + 1);
        int p = rng.next() % n;
        while (!valid(p, sc))
            p = p + 1 == n ? 0 : p + 1;
        int best = p;
        float bestCost = cost(p, sc);
        for (int r = 1; r <= n - s - 1; ++r) {
            p = p + 1 == n ? 0 : p + 1;
            while (!valid(p, sc))
                p = p + 1 == n ? 0 : p + 1;
            if (cost(p, sc) < bestCost) {
                best = p;
                bestCost = cost(p, sc);
            }
        }
        for (int r = 0; r < s; ++r)
            std::swap(c[best + r][1], c[(sc + r) % n][1]);
    }
    d = c;
}

TEST(RandomizeDetails, PrintsTheChunkCount) {
    Random15 rng(3);
    EXPECT_EQ(printedBy(distinctDetails(30, rng), 1.0f), "");
    EXPECT_EQ(printedBy(distinctDetails(31, rng), 1.0f), "moving 16 chunks\n");
    EXPECT_EQ(printedBy(distinctDetails(31, rng), 0.2f), "moving 4 chunks\n");
    EXPECT_EQ(printedBy(distinctDetails(100, rng), 0.2f), "moving 4 chunks\n");
    EXPECT_EQ(printedBy(distinctDetails(100, rng), 1.0f), "moving 17 chunks\n");
    EXPECT_EQ(printedBy(distinctDetails(100, rng), 0.0f), "moving 0 chunks\n");
}

TEST(RandomizeDetails, ShortListsAndZeroAmountStayPut) {
    Random15 data(5);
    for (auto [n, amount] : {std::pair{30, 1.0f}, {100, 0.0f}, {0, 1.0f}}) {
        const Points original = distinctDetails(n, data);
        Points details = original;
        Random15 rng(1);
        randomizeDetails(details, amount, rng, false);
        ASSERT_EQ(details.size(), original.size());
        for (std::size_t i = 0; i < details.size(); ++i)
            EXPECT_EQ(details[i][1], original[i][1]) << "n = " << n << ", entry " << i;
        EXPECT_EQ(rng.next(), Random15(1).next()) << "nothing drawn for n = " << n;
    }
}

TEST(RandomizeDetails, PermutesHeightsAndKeepsEveryX) {
    Random15 data(11);
    for (int n : {31, 46, 100, 479, 1919}) {
        const Points original = distinctDetails(n, data);
        Points details = original;
        Random15 rng(1);
        randomizeDetails(details, 1.0f, rng, false);
        std::vector<double> before, after;
        for (int i = 0; i < n; ++i) {
            EXPECT_EQ(details[i][0], original[i][0]) << "n = " << n << ", entry " << i;
            before.push_back(original[i][1]);
            after.push_back(details[i][1]);
        }
        EXPECT_NE(before, after) << "n = " << n;
        std::sort(before.begin(), before.end());
        std::sort(after.begin(), after.end());
        EXPECT_EQ(before, after) << "n = " << n;
    }
}

TEST(RandomizeDetails, MatchesTheCandidateWalk) {
    Random15 data(17);
    for (int n = 31; n <= 400; n += 7)
        for (float amount : {0.05f, 0.5f, 1.0f}) {
            Points details = distinctDetails(n, data);
            // Few distinct heights make many ties, which must keep the first candidate walked.
            if (n % 2 == 0)
                for (gmVector2& d : details)
                    d[1] = data.next() % 3;
            Points walked = details;
            Random15 rng(static_cast<std::uint32_t>(n)), walkRng = rng;
            randomizeDetails(details, amount, rng, false);
            walkedShuffle(walked, amount, walkRng);
            for (int i = 0; i < n; ++i)
                ASSERT_EQ(details[i][1], walked[i][1]) << "n = " << n << ", entry " << i;
            EXPECT_EQ(rng.next(), walkRng.next()) << "two draws per chunk";
        }
}

TEST(RandomizeDetails, OneChunkMovesAsABlock) {
    Random15 data(23);
    const int n = 100, s = 6;
    const Points original = distinctDetails(n, data);
    Points details = original;
    Random15 rng(9);
    randomizeDetails(details, 0.01f, rng, false); // ceil(16.67 * 0.01) = 1 chunk
    std::vector<int> moved;
    for (int i = 0; i < n; ++i)
        if (details[i][1] != original[i][1])
            moved.push_back(i);
    ASSERT_EQ(moved.size(), 2u * s);
    const int first = moved.front(), second = moved[s];
    EXPECT_EQ(moved[s - 1], first + s - 1);
    EXPECT_EQ(moved.back(), second + s - 1);
    for (int r = 0; r < s; ++r) {
        EXPECT_EQ(details[first + r][1], original[second + r][1]);
        EXPECT_EQ(details[second + r][1], original[first + r][1]);
    }
}

TEST(RandomizeDetails, SameSeedSameResult) {
    Random15 data(29);
    const Points original = distinctDetails(300, data);
    Points a = original, b = original, c = original;
    Random15 rngA(1), rngB(1), rngC(2);
    randomizeDetails(a, 0.7f, rngA, false);
    randomizeDetails(b, 0.7f, rngB, false);
    randomizeDetails(c, 0.7f, rngC, false);
    bool differs = false;
    for (std::size_t i = 0; i < original.size(); ++i) {
        EXPECT_EQ(a[i][1], b[i][1]) << i;
        differs = differs || a[i][1] != c[i][1];
    }
    EXPECT_TRUE(differs) << "another seed shuffles differently";
}

TEST(RandomizeDetails, EqualHeightsStayEqual) {
    Points flat;
    for (int i = 0; i < 200; ++i)
        flat.emplace_back(i, 4.25);
    Random15 rng(1);
    randomizeDetails(flat, 1.0f, rng, false);
    for (int i = 0; i < 200; ++i) {
        EXPECT_EQ(flat[i][0], i);
        EXPECT_EQ(flat[i][1], 4.25);
    }
}

TEST(RandomizeDetails, AmountOutsideTheSliderRangeIsClamped) {
    // Regression: a NaN amount reached an undefined float-to-int conversion of the count.
    Random15 data(31);
    EXPECT_EQ(printedBy(distinctDetails(100, data), std::nanf("")), "moving 0 chunks\n");
    EXPECT_EQ(printedBy(distinctDetails(100, data), -3.0f), "moving 0 chunks\n");
    EXPECT_EQ(printedBy(distinctDetails(100, data), 7.0f), "moving 17 chunks\n");
}

} // namespace
