// The visiting order: its draws, their count, and the permutation they make.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <ctime>
#include <vector>

#include "../support/reference_trainer.h"
#include "module/visit_order.h"

using pellumar::drawBelow;
using pellumar::makeVisitOrder;

namespace {
// The value rand() gives after `calls` draws from seed s.
int randAfter(unsigned s, int calls) {
    std::srand(s);
    for (int c = 0; c < calls; ++c) std::rand();
    return std::rand();
}
}  // namespace

TEST(VisitOrder, MatchesReferenceShuffleForSeveralSeeds) {
    for (unsigned seed : {0u, 1u, 42u, 1765000000u, 0xFFFFFFFFu}) {
        for (int32_t N : {2, 3, 10, 1000, 40000}) {
            std::srand(seed);
            const auto got = makeVisitOrder(N);
            EXPECT_EQ(got, reference::shuffledOrder(seed, N)) << "seed " << seed << " N " << N;
            std::vector<int32_t> sorted = got;
            std::sort(sorted.begin(), sorted.end());
            for (int32_t i = 0; i < N; ++i) ASSERT_EQ(sorted[i], i) << "not a permutation";
        }
    }
}

TEST(VisitOrder, SmallOrdersAndTheirDraws) {
    std::srand(7);
    EXPECT_TRUE(makeVisitOrder(0).empty());
    EXPECT_TRUE(makeVisitOrder(-5).empty());
    EXPECT_EQ(makeVisitOrder(1), std::vector<int32_t>{0});
    const int afterSmall = std::rand();
    EXPECT_EQ(afterSmall, randAfter(7, 0)) << "N < 2 must not draw";

    std::srand(7);
    const auto two = makeVisitOrder(2);
    EXPECT_TRUE(two == (std::vector<int32_t>{0, 1}) || two == (std::vector<int32_t>{1, 0}));
    const int afterTwo = std::rand();
    EXPECT_EQ(afterTwo, randAfter(7, 1)) << "N = 2 takes exactly one draw";
}

TEST(DrawBelow, TakesOneTwoOrThreeRandCallsByRange) {
    struct Case { uint32_t i; int calls; };
    for (Case c : {Case{2, 1}, Case{32767, 1}, Case{32768, 2}, Case{0x3FFFFFFFu, 2},
                   Case{0x40000000u, 3}, Case{0xFFFFFFFFu, 3}}) {
        std::srand(99);
        const uint32_t v = drawBelow(c.i);
        EXPECT_LT(v, c.i);
        const int next = std::rand();
        EXPECT_EQ(next, randAfter(99, c.calls)) << "i = " << c.i;
    }
}

TEST(DrawBelow, ConcatenatesLow15BitsOfEachDraw) {
    std::srand(5);
    const uint32_t a = std::rand() & 0x7FFF, b = std::rand() & 0x7FFF, c = std::rand() & 0x7FFF;
    std::srand(5);
    EXPECT_EQ(drawBelow(30000), a % 30000);
    std::srand(5);
    EXPECT_EQ(drawBelow(1000000), ((a << 15) | b) % 1000000);
    std::srand(5);
    EXPECT_EQ(drawBelow(0xF0000001u), (((a << 15) | b) << 15 | c) % 0xF0000001u);
}

TEST(VisitOrder, SameSecondSameOrder) {
    for (int attempt = 0; attempt < 20; ++attempt) {
        const time_t before = std::time(nullptr);
        pellumar::seedFromClock();
        const auto first = makeVisitOrder(500);
        pellumar::seedFromClock();
        const auto second = makeVisitOrder(500);
        if (std::time(nullptr) != before) continue;
        EXPECT_EQ(first, second);
        EXPECT_EQ(first, reference::shuffledOrder(static_cast<unsigned>(before), 500));
        return;
    }
    FAIL() << "the clock second changed during every attempt";
}
