// The per-sample hinge-loss subgradient on its own.
#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <vector>

#include "../support/same_bits.h"
#include "run/hinge.h"

using pellumar::hingeSubgradient;

TEST(HingeSubgradient, BelowTheMarginIsMinusLabelTimesSample) {
    const std::vector<double> zero(3, 0.0), x = {0.5, -2.0, 3.0};
    EXPECT_TRUE(SameBits(hingeSubgradient(zero.data(), x.data(), 1.0, 3), {-0.5, 2.0, -3.0}));
    EXPECT_TRUE(SameBits(hingeSubgradient(zero.data(), x.data(), -1.0, 3), {0.5, -2.0, 3.0}));
    // Label 0: the branch is taken and every entry is a zero of the sign -(0*x).
    EXPECT_TRUE(SameBits(hingeSubgradient(zero.data(), x.data(), 0.0, 3), {-0.0, 0.0, -0.0}));
}

TEST(HingeSubgradient, MarginOfOneOrMoreOrNaNGivesPositiveZeros) {
    const std::vector<double> x = {1.0, 2.0};
    const std::vector<double> onMargin = {0.2, 0.4};  // 0.2 + 0.8 = 1.0 exactly
    ASSERT_EQ(pellumar::dotInOrder(onMargin.data(), x.data(), 2), 1.0);
    EXPECT_TRUE(SameBits(hingeSubgradient(onMargin.data(), x.data(), 1.0, 2), {0.0, 0.0}));
    const std::vector<double> beyond = {1.0, 1.0};
    EXPECT_TRUE(SameBits(hingeSubgradient(beyond.data(), x.data(), 1.0, 2), {0.0, 0.0}));
    const std::vector<double> withNaN = {std::numeric_limits<double>::quiet_NaN(), 0.0};
    EXPECT_TRUE(SameBits(hingeSubgradient(withNaN.data(), x.data(), 1.0, 2), {0.0, 0.0}));
    EXPECT_TRUE(hingeSubgradient(nullptr, nullptr, 1.0, 0).empty());
}

TEST(HingeSubgradient, DotProductIsOneRunningSumInIndexOrder) {
    // (1e16 + 1) + (-1e16) is 0 in index order; other orders give 1.
    const std::vector<double> w = {1e16, 1.0, -1e16}, ones = {1.0, 1.0, 1.0};
    EXPECT_EQ(pellumar::dotInOrder(w.data(), ones.data(), 3), 0.0);
}
