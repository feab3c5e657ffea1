// The yardsticks of the benchmark, kept in their own file so that they are
// compiled -O2, as a host's default build would compile a plain version.
#include <cstdint>
#include <vector>

#include "support/reference_trainer.h"

std::vector<double> straightforwardTraining(const double* X, const double* y, double lambda,
                                            int32_t T, double eta0, int32_t M, int32_t N,
                                            const int32_t* order) {
    const std::vector<double> Xv(X, X + static_cast<size_t>(M) * N), yv(y, y + N);
    const std::vector<int32_t> ov(order, order + N);
    return reference::train(Xv, yv, lambda, T, eta0, M, N, ov);
}

// One running sum over all T dot products: every addition waits for the one
// before it, exactly as in-order dot products that follow one another.
double sequentialAddFloor(const double* X, const double* w, int32_t T, int32_t M, int32_t N,
                          const int32_t* order) {
    double sum = 0.0;
    for (int32_t t = 1; t <= T; ++t) {
        const double* x = X + static_cast<int64_t>(order[t % N]) * M;
        for (int32_t k = 0; k < M; ++k) sum = sum + w[k] * x[k];
    }
    return sum;
}
