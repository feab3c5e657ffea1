// Matrices whose column offsets pass 2^31 - 1 elements are read at their true
// offsets. The matrix is a reserved anonymous mapping: only the pages written
// or read are ever backed, so 16 GiB of address space costs a few pages.
#include <gtest/gtest.h>
#include <sys/mman.h>

#include <cstdint>
#include <vector>

#include "run/train_on_order.h"

TEST(WideOffsets, LastColumnPastTwoToThe31IsReadWhereItIs) {
    const int32_t M = 1024;
    const int32_t N = (1 << 21) + 2;  // (N - 1) * M = 2^31 + 1024
    const size_t bytes = static_cast<size_t>(M) * N * sizeof(double);
    void* mapping = mmap(nullptr, bytes, PROT_READ | PROT_WRITE,
                         MAP_PRIVATE | MAP_ANONYMOUS | MAP_NORESERVE, -1, 0);
    ASSERT_NE(mapping, MAP_FAILED) << "could not reserve " << bytes << " bytes of address space";
    double* X = static_cast<double*>(mapping);

    const int32_t last = N - 1;
    double* column = X + static_cast<size_t>(last) * M;
    for (int32_t k = 0; k < M; ++k) column[k] = 1.0 + k;

    std::vector<double> y(N, 1.0);
    y[last] = -1.0;
    std::vector<int32_t> order(N);
    for (int32_t i = 0; i < N; ++i) order[i] = i;
    order[1] = last;  // iteration 1 visits order[1]
    order[last] = 1;

    std::vector<double> out(M);
    pellumar::trainOnOrder(X, y.data(), 0.01, 1, 0.5, M, N, order.data(), out.data());
    for (int32_t k = 0; k < M; ++k) ASSERT_EQ(out[k], 0.5 * (-1.0 * (1.0 + k))) << k;
    munmap(mapping, bytes);
}
