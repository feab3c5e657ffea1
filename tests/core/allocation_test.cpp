// The training run's heap use does not grow with the number of iterations.
// A separate program: it replaces the global operator new to count.
#include <gtest/gtest.h>

#include <cstdlib>
#include <new>
#include <vector>

#include "train_on_order.h"

// Counts what the training run obtains from the heap.
namespace {
bool countingAllocations = false;
long allocations = 0;
}  // namespace

void* operator new(size_t n) {
    if (countingAllocations) ++allocations;
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
