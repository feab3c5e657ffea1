// The training run's heap use does not grow with the number of iterations,
// and a failed allocation leaves the caller's floating-point modes as they were.
// A separate program: it replaces the global operator new to count.
#include <gtest/gtest.h>

#include <cstdlib>
#include <new>
#include <vector>

#include "../support/ieee_environments.h"
#include "run/train_on_order.h"
#include "module/training.h"

// Counts what the training run obtains from the heap, and can make the
// failAt-th counted allocation fail.
namespace {
bool countingAllocations = false;
long allocations = 0, failAt = 0;
}  // namespace

void* operator new(size_t n) {
    if (countingAllocations && ++allocations == failAt) throw std::bad_alloc();
    if (void* p = std::malloc(n ? n : 1)) return p;
    throw std::bad_alloc();
}
void operator delete(void* p) noexcept { std::free(p); }
void operator delete(void* p, size_t) noexcept { std::free(p); }

TEST(FastPath, AllocatesOnlyItsTwoWeightVectorsWhateverT) {
    const int32_t M = 50, N = 20;
    std::vector<double> X(M * N), y(N), out(M);
    for (size_t i = 0; i < X.size(); ++i) X[i] = static_cast<double>(i % 7) - 3.0;
    for (int32_t f = 0; f < N; ++f) y[f] = f % 3 ? 1.0 : -1.0;
    std::vector<int32_t> order(N);
    for (int32_t f = 0; f < N; ++f) order[f] = (f * 7) % N;
    for (int32_t T : {1, 10, 5000}) {
        allocations = 0;
        countingAllocations = true;
        pellumar::trainOnOrder(X.data(), y.data(), 1e-3, T, 0.5, M, N, order.data(), out.data());
        countingAllocations = false;
        EXPECT_EQ(allocations, 2) << "T = " << T;
    }
}

// The visiting order, then the two weight vectors: whichever can't be had,
// the failure reaches the caller with its own modes in place.
TEST(FailedAllocation, GivesTheCallersFloatingPointModesBack) {
    const ieee::Problem p = ieee::normalData();
    ieee::Modes callers;
    callers.rounding = FE_UPWARD;
    callers.flushToZero = ieee::kFlushBit != 0;
    callers.denormalsAreZero = ieee::kDenormalsBit != 0;
    callers.defaultNaN = ieee::kDefaultNaNBit != 0;
    callers.traps = FE_INVALID | FE_DIVBYZERO | FE_OVERFLOW;
    for (long failing = 1; failing <= 3; ++failing) {
        std::vector<double> out(p.M);
        ieee::set(callers);
        const ieee::Modes before = ieee::current();
        bool threw = false;
        allocations = 0;
        failAt = failing;
        countingAllocations = true;
        try {
            pellumar::runTraining(p.X.data(), p.y.data(), p.lambda, p.T, p.eta0, p.M, p.N,
                                  out.data());
        } catch (const std::bad_alloc&) {
            threw = true;
        }
        countingAllocations = false;
        failAt = 0;
        const ieee::Modes after = ieee::current();
        ieee::set(ieee::Modes{});
        EXPECT_TRUE(threw) << "allocation " << failing;
        EXPECT_EQ(ieee::describe(after), ieee::describe(before)) << "allocation " << failing;
    }
}
