#include "platform/exact_arithmetic.h"  // before everything else (see there)

#include "engine/scoring.h"

#include <cstddef>
#include <vector>

#include "platform/ieee_modes.h"

namespace pellumar {

namespace {

// Four samples at a time for each classifier: four running sums, each its
// own sample's, that the processor can add side by side; then the samples
// left over one at a time.
template <class Value>
void scoreDense(const Value* X, size_t M, bool bias, const double* const* weights, int32_t K,
                const int32_t* samples, int32_t count, double* scores) {
    const size_t classifiers = static_cast<size_t>(K);
    auto column = [&](int32_t i) {
        const size_t f = static_cast<size_t>(samples ? samples[i] : i);
        return X + f * M;
    };
    int32_t i = 0;
    for (; i + 4 <= count; i += 4) {
        const Value* x0 = column(i);
        const Value* x1 = column(i + 1);
        const Value* x2 = column(i + 2);
        const Value* x3 = column(i + 3);
        for (size_t k = 0; k < classifiers; ++k) {
            const double* w = weights[k];
            double s0 = 0.0, s1 = 0.0, s2 = 0.0, s3 = 0.0;
            for (size_t j = 0; j < M; ++j) {
                const double wj = w[j];
                s0 = s0 + wj * static_cast<double>(x0[j]);
                s1 = s1 + wj * static_cast<double>(x1[j]);
                s2 = s2 + wj * static_cast<double>(x2[j]);
                s3 = s3 + wj * static_cast<double>(x3[j]);
            }
            if (bias) {
                s0 = s0 + w[M];
                s1 = s1 + w[M];
                s2 = s2 + w[M];
                s3 = s3 + w[M];
            }
            double* out = scores + k + classifiers * static_cast<size_t>(i);
            out[0] = s0;
            out[classifiers] = s1;
            out[2 * classifiers] = s2;
            out[3 * classifiers] = s3;
        }
    }
    for (; i < count; ++i) {
        const Value* x = column(i);
        for (size_t k = 0; k < classifiers; ++k) {
            const double* w = weights[k];
            double s = 0.0;
            for (size_t j = 0; j < M; ++j) s = s + w[j] * static_cast<double>(x[j]);
            if (bias) s = s + w[M];
            scores[k + classifiers * static_cast<size_t>(i)] = s;
        }
    }
}

// Every classifier's sum over a sample's stored values at once: one read of
// the sample, K independent sums.
template <class Index>
void scoreSparse(const SparseColumns& X, size_t M, bool bias, const double* const* weights,
                 int32_t K, const int32_t* samples, int32_t count, double* scores) {
    const Index* rows = static_cast<const Index*>(X.rows);
    const Index* starts = static_cast<const Index*>(X.starts);
    const size_t classifiers = static_cast<size_t>(K);
    for (int32_t i = 0; i < count; ++i) {
        const size_t f = static_cast<size_t>(samples ? samples[i] : i);
        double* s = scores + classifiers * static_cast<size_t>(i);
        for (size_t k = 0; k < classifiers; ++k) s[k] = 0.0;
        const size_t end = static_cast<size_t>(starts[f + 1]);
        for (size_t j = static_cast<size_t>(starts[f]); j < end; ++j) {
            const size_t row = static_cast<size_t>(rows[j]);
            const double value = X.values[j];
            for (size_t k = 0; k < classifiers; ++k) s[k] = s[k] + weights[k][row] * value;
        }
        if (bias)
            for (size_t k = 0; k < classifiers; ++k) s[k] = s[k] + weights[k][M];
    }
}

}  // namespace

void scoreSamples(const DataMatrix& data, const double* const* weights, int32_t K,
                  const int32_t* samples, int32_t count, double* scores) {
    if (K < 1 || count < 1) return;
    const IeeeDefaultModes ieeeModes;
    const size_t M = static_cast<size_t>(data.M);
    if (data.isSparse) {
        if (data.sparse.indexBytes == 4)
            scoreSparse<uint32_t>(data.sparse, M, data.bias, weights, K, samples, count, scores);
        else
            scoreSparse<uint64_t>(data.sparse, M, data.bias, weights, K, samples, count, scores);
    } else if (data.doubles) {
        scoreDense(data.doubles, M, data.bias, weights, K, samples, count, scores);
    } else {
        scoreDense(data.floats, M, data.bias, weights, K, samples, count, scores);
    }
}

}  // namespace pellumar
