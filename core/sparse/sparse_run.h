// The training run on sparse samples, in time proportional to their
// non-zeros.
#ifndef PELLUMAR_SPARSE_RUN_H
#define PELLUMAR_SPARSE_RUN_H

#include <cstdint>

namespace pellumar {

// Samples stored by columns, as the hosts store sparse matrices: column f's
// non-zeros are values[starts[f] .. starts[f+1] - 1], at the rows
// rows[starts[f] ..], ascending. Indices are unsigned integers of
// indexBytes bytes (4 or 8: the host's mwIndex).
struct SparseColumns {
    const double* values = nullptr;
    const void* rows = nullptr;
    const void* starts = nullptr;
    int indexBytes = 8;
};

// Below 2^-10 (or above 2^10) the weights' scale is folded back into them.
constexpr double kRescaleBelow = 1.0 / 1024.0, kRescaleAbove = 1024.0;

// The averaged run of trainOnOrderCheckpoints() (train_on_order.h) on sparse
// samples: M features (plus the bias feature, 1.0, when bias), iteration t
// visiting column order[t mod N], the average delivered after each of the
// ascending counts (M + bias doubles per count, zeros for counts below 1).
//
// The step numbers and the margin's decision are the dense run's, but the
// weights are kept as w = a*v and the sum of the iterates w_1 + ... + w_t as
// U + B*v, so that an iteration touches only the sample's non-zeros. Its
// operations, each rounded on its own, in this order (doc/SPARSE.md):
//   tD = t,  step = eta0 / sqrt(tD),  decay = 1 - step*lambda
//   dot = 0; dot = dot + v[k]*x[k] for the non-zeros in row order, then
//   dot = dot + v[M]*1.0 with the bias;  margin = (a*dot)*y
//   (dot infinite or NaN while a and the v[k], x[k] it read are finite:
//       dotW = 0; dotW = dotW + (a*v[k])*x[k] in the same order, and
//       margin = dotW*y if dotW is finite)
//   below = margin < 1
//   aNext = a*decay
//   aNext == 0 (decay 0): U[k] = U[k] + B*v[k] and v[k] = 0 for every k;
//       a = 1, B = 0; then, if below, v[k] = step*(y*x[k]) for the non-zeros
//   otherwise, if below and the update of the next line, made with
//       a = aNext, would write an infinity or a NaN into v or U from finite
//       values (step, aNext, B, y, x[k], -(y*x[k]), v[k], U[k]):
//       U[k] = U[k] + B*v[k] and v[k] = aNext*v[k] for every k; a = 1,
//       B = 0; then for the non-zeros (bias last) d = step*(-(y*x[k])),
//       v[k] = v[k] - d
//   otherwise a = aNext and, if below, with q = step / a, for the non-zeros
//   (bias last):  d = q*(-(y*x[k]));  v[k] = v[k] - d;  U[k] = U[k] + B*d
//   B = B + a
//   |a| < 2^-10 or |a| > 2^10: U[k] = U[k] + B*v[k], v[k] = a*v[k] for every
//       k; a = 1, B = 0
// and the average after T iterations is (U[k] + B*v[k]) / T. Wherever
// U[k] + B*v[k] would be infinite or NaN while U[k], B and v[k] are finite,
// it is 2*((0.5*U[k]) + (0.5*B)*v[k]) instead (the average
// (((0.5*U[k]) + (0.5*B)*v[k]) / T)*2): the value without the overflow.
// Those tests act only for steps (or values) near the largest double, where
// the order without them would make an infinity or a NaN from finite values
// that stays in v or U (or shows in a dot product or an average); a
// classifier runs through them, alone, only when that happened.
// NaNs in the result are the one quiet NaN, as in the dense run. The result
// agrees with the dense run's to rounding (doc/SPARSE.md gives the bound and
// where it fails), wherever no margin falls that close to 1. It computes in the caller's
// floating-point modes: its callers (runOneTraining()) set the IEEE defaults
// around it.
void trainSparseOnOrder(const SparseColumns& X, const double* y, double lambda, double eta0,
                        int32_t M, int32_t N, const int32_t* order, bool bias,
                        const int32_t* counts, int32_t countSize, double* out);

// The same run for G classifiers at once, classifier c with the labels
// labels[c] and its results in outs[c]: each gets the bits that
// trainSparseOnOrder() gives it alone, while every sample is read once for
// up to sixteen of them (their weights and sums side by side, feature after
// feature; more classifiers run in groups of sixteen). They
// share the order, lambda, eta0 and checkpoints, and so the scale a and
// the sum of scales B (a classifier that meets an overflow runs again on
// its own).
void trainSparseGroupOnOrder(const SparseColumns& X, const double* const* labels, int32_t G,
                             double lambda, double eta0, int32_t M, int32_t N,
                             const int32_t* order, bool bias, const int32_t* counts,
                             int32_t countSize, double* const* outs);

}  // namespace pellumar

#endif
