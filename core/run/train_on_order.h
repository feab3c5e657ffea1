// The training loop itself, on a visiting order drawn by the caller.
#ifndef PELLUMAR_TRAIN_ON_ORDER_H
#define PELLUMAR_TRAIN_ON_ORDER_H

#include <cstdint>

#include "run/fused_pass.h"
#include "run/path_trial.h"

namespace pellumar {

// Runs the T iterations of runTraining() visiting sample order[t mod N] at
// iteration t, and writes the averaged weights into out[0..M-1]. order holds
// N indices in [0, N). The caller has checked that N >= 1 when T >= 1.
// Long runs time the two widest vector paths on their first iterations and
// go on with the faster (path_trial.h); returns the path it went on with.
VectorPath trainOnOrder(const double* X, const double* y, double lambda, int32_t T, double eta0,
                  int32_t M, int32_t N, const int32_t* order, double* out);

// The same on a chosen vector path; both give identical bits.
void trainOnOrderWith(VectorPath path, const double* X, const double* y, double lambda, int32_t T,
                      double eta0, int32_t M, int32_t N, const int32_t* order, double* out);

// The same with a trial the caller made (tests use short trial blocks).
void trainOnOrderWith(PathTrial& trial, const double* X, const double* y, double lambda,
                      int32_t T, double eta0, int32_t M, int32_t N, const int32_t* order,
                      double* out);

// The run of trainOnOrder() as the toolbox's trainings make it. The samples
// are the columns of X (doubles), or of Xf (floats, read as the doubles they
// convert to) when X is null. With bias, each sample has one more feature,
// 1.0, after its M stored ones (fused_pass.h). The average is delivered after
// each of countSize iteration counts (ascending; the run goes to the last
// one and is the same run up to each): M + bias doubles per count, one count
// after another, in out. Counts below 1 get zeros. The vector path is
// chosen as trainOnOrder() chooses it, or given (tests: every path gives the
// same bits).
void trainOnOrderCheckpoints(const double* X, const float* Xf, const double* y, double lambda,
                             double eta0, int32_t M, int32_t N, const int32_t* order, bool bias,
                             const int32_t* counts, int32_t countSize, double* out,
                             const VectorPath* path = nullptr);

}  // namespace pellumar

#endif
