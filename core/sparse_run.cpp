#include "sparse_run.h"

#include "exact_arithmetic.h"

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <cstring>
#include <vector>

#include "prefetch.h"

namespace pellumar {

namespace {

// The sum U + B*v written out into U, and the scale into v: afterwards
// w = v and the sum is U, with a = 1 and B = 0.
void foldScale(std::vector<double>& U, std::vector<double>& v, double& a, double& B) {
    for (size_t k = 0; k < v.size(); ++k) {
        U[k] = U[k] + B * v[k];
        v[k] = a * v[k];
    }
    a = 1.0;
    B = 0.0;
}

// The average (U + B*v) / tD, every NaN the one quiet NaN.
void writeAverage(const std::vector<double>& U, const std::vector<double>& v, double B, double tD,
                  double* out) {
    constexpr uint64_t kMagnitude = 0x7FFFFFFFFFFFFFFFull, kInfinity = 0x7FF0000000000000ull;
    constexpr uint64_t kCanonicalNaN = 0x7FF8000000000000ull;
    for (size_t k = 0; k < v.size(); ++k) {
        double value = (U[k] + B * v[k]) / tD;
        uint64_t bits;
        std::memcpy(&bits, &value, sizeof bits);
        if ((bits & kMagnitude) > kInfinity) bits = kCanonicalNaN;
        std::memcpy(out + k, &bits, sizeof bits);
    }
}

template <class Index>
void run(const SparseColumns& X, const double* y, double lambda, double eta0, int32_t M,
         int32_t N, const int32_t* order, bool bias, const int32_t* counts, int32_t countSize,
         double* out) {
    const Index* rows = static_cast<const Index*>(X.rows);
    const Index* starts = static_cast<const Index*>(X.starts);
    const double* values = X.values;
    const size_t m = static_cast<size_t>(M) + (bias ? 1 : 0);
    int32_t c = 0;
    for (; c < countSize && counts[c] < 1; ++c) std::fill(out + c * m, out + (c + 1) * m, 0.0);
    if (c == countSize) return;
    const int32_t T = counts[countSize - 1];

    std::vector<double> v(m, 0.0), U(m, 0.0);
    double a = 1.0, B = 0.0;
    int32_t now = 1 % N;
    const int32_t ahead = 4;
    int32_t later = (1 + ahead) % N;
    for (int32_t t = 1;; ++t) {
        const int32_t f = order[now];
        const size_t first = static_cast<size_t>(starts[f]), end = static_cast<size_t>(starts[f + 1]);
        {
            // The rows and values of a sample a few iterations ahead.
            const int32_t fLater = order[later];
            const size_t at = static_cast<size_t>(starts[fLater]);
            prefetchLine(rows + at);
            prefetchLine(values + at);
            prefetchLine(y + fLater);
        }
        const double tD = static_cast<double>(t);
        const double step = eta0 / std::sqrt(tD);
        const double decay = 1.0 - step * lambda;
        const double yf = y[f];

        double dot = 0.0;
        for (size_t j = first; j < end; ++j) dot = dot + v[static_cast<size_t>(rows[j])] * values[j];
        if (bias) dot = dot + v[M] * 1.0;
        const double margin = (a * dot) * yf;
        const bool below = margin < 1.0;  // false for NaN

        const double aNext = a * decay;
        if (aNext == 0.0) {
            // w_t = -step*g exactly: the sum so far written out, the weights
            // restarted at scale 1.
            for (size_t k = 0; k < m; ++k) {
                U[k] = U[k] + B * v[k];
                v[k] = 0.0;
            }
            a = 1.0;
            B = 0.0;
            if (below) {
                for (size_t j = first; j < end; ++j)
                    v[static_cast<size_t>(rows[j])] = step * (yf * values[j]);
                if (bias) v[M] = step * (yf * 1.0);
            }
        } else {
            a = aNext;
            if (below) {
                for (size_t j = first; j < end; ++j) {
                    const size_t k = static_cast<size_t>(rows[j]);
                    const double d = (step * (-(yf * values[j]))) / a;
                    v[k] = v[k] - d;
                    U[k] = U[k] + B * d;
                }
                if (bias) {
                    const double d = (step * (-(yf * 1.0))) / a;
                    v[M] = v[M] - d;
                    U[M] = U[M] + B * d;
                }
            }
        }
        B = B + a;
        const double size = std::fabs(a);
        if (size < kRescaleBelow || size > kRescaleAbove) foldScale(U, v, a, B);

        for (; c < countSize && counts[c] == t; ++c) writeAverage(U, v, B, tD, out + c * m);
        if (t == T) break;
        if (++now == N) now = 0;
        if (++later == N) later = 0;
    }
}

}  // namespace

void trainSparseOnOrder(const SparseColumns& X, const double* y, double lambda, double eta0,
                        int32_t M, int32_t N, const int32_t* order, bool bias,
                        const int32_t* counts, int32_t countSize, double* out) {
    if (X.indexBytes == 4)
        run<uint32_t>(X, y, lambda, eta0, M, N, order, bias, counts, countSize, out);
    else
        run<uint64_t>(X, y, lambda, eta0, M, N, order, bias, counts, countSize, out);
}

}  // namespace pellumar
