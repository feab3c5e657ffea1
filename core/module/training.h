// Averaged stochastic sub-gradient descent on the L2-regularised hinge loss.
#ifndef PELLUMAR_TRAINING_H
#define PELLUMAR_TRAINING_H

#include <cstdint>

namespace pellumar {

// Trains a linear classifier (no bias term) on the N samples held column by
// column in the M x N matrix X, with labels y[0..N-1], for T iterations of
//     w <- (1 - step*lambda)*w - step*g,   step = eta0 / sqrt(t),
// where g is the hinge-loss subgradient of the sample visited at iteration t,
// and writes the mean of the iterates w_1 .. w_T into out[0..M-1].
//
// The generator of the C library is seeded from the clock and one random
// visiting order of the samples is drawn per call. T < 1 gives all zeros.
// Throws std::invalid_argument for N = 0 with T >= 1 (out is left untouched)
// and std::bad_alloc when working memory can't be had.
void runTraining(const double* X, const double* y, double lambda, int32_t T, double eta0,
                 int32_t M, int32_t N, double* out);

}  // namespace pellumar

#endif
