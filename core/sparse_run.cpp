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

// The G classifiers' weights and sums, feature after feature: v[k*G + c]
// and U[k*G + c] are classifier c's at feature k, so that a sample's
// non-zero serves every classifier from one or two cache lines.
struct GroupState {
    std::vector<double> v, U;
    double a = 1.0, B = 0.0;  // shared: every classifier has the same steps
};

// The sum U + B*v written out into U, and the scale into v: afterwards
// w = v and the sum is U, with a = 1 and B = 0.
void foldScale(GroupState& s) {
    for (size_t i = 0; i < s.v.size(); ++i) {
        s.U[i] = s.U[i] + s.B * s.v[i];
        s.v[i] = s.a * s.v[i];
    }
    s.a = 1.0;
    s.B = 0.0;
}

// Classifier c's average (U + B*v) / tD, every NaN the one quiet NaN.
void writeAverage(const GroupState& s, size_t G, size_t c, size_t m, double tD, double* out) {
    constexpr uint64_t kMagnitude = 0x7FFFFFFFFFFFFFFFull, kInfinity = 0x7FF0000000000000ull;
    constexpr uint64_t kCanonicalNaN = 0x7FF8000000000000ull;
    for (size_t k = 0; k < m; ++k) {
        const double value = (s.U[k * G + c] + s.B * s.v[k * G + c]) / tD;
        uint64_t bits;
        std::memcpy(&bits, &value, sizeof bits);
        if ((bits & kMagnitude) > kInfinity) bits = kCanonicalNaN;
        std::memcpy(out + k, &bits, sizeof bits);
    }
}

// One feature's update for the classifiers whose margin was below 1.0:
//   d = q*(-(y*x)),  v = v - d,  U = U + B*d
// computed for all G and kept only where below, so that the loop has no
// branch (the others' values are left exactly as they were).
inline void updateFeature(double* v, double* U, const double* y, const unsigned char* below,
                          size_t G, double x, double q, double B) {
    for (size_t c = 0; c < G; ++c) {
        const double d = q * (-(y[c] * x));
        const double vNew = v[c] - d, uNew = U[c] + B * d;
        v[c] = below[c] ? vNew : v[c];
        U[c] = below[c] ? uNew : U[c];
    }
}

template <class Index>
void run(const SparseColumns& X, const double* const* labels, size_t G, double lambda,
         double eta0, int32_t M, int32_t N, const int32_t* order, bool bias,
         const int32_t* counts, int32_t countSize, double* const* outs) {
    const Index* rows = static_cast<const Index*>(X.rows);
    const Index* starts = static_cast<const Index*>(X.starts);
    const double* values = X.values;
    const size_t m = static_cast<size_t>(M) + (bias ? 1 : 0);
    int32_t c0 = 0;
    for (; c0 < countSize && counts[c0] < 1; ++c0)
        for (size_t c = 0; c < G; ++c) std::fill(outs[c] + c0 * m, outs[c] + (c0 + 1) * m, 0.0);
    if (c0 == countSize) return;
    const int32_t T = counts[countSize - 1];

    GroupState s;
    s.v.assign(m * G, 0.0);
    s.U.assign(m * G, 0.0);
    std::vector<double> dot(G), y(G);
    std::vector<unsigned char> below(G);
    const size_t biasAt = static_cast<size_t>(M) * G;
    int32_t now = 1 % N;
    const int32_t ahead = 4;
    int32_t later = (1 + ahead) % N;
    for (int32_t t = 1;; ++t) {
        const int32_t f = order[now];
        const size_t first = static_cast<size_t>(starts[f]);
        const size_t end = static_cast<size_t>(starts[f + 1]);
        {
            // The rows and values of a sample a few iterations ahead.
            const size_t at = static_cast<size_t>(starts[order[later]]);
            prefetchLine(rows + at);
            prefetchLine(values + at);
        }
        const double tD = static_cast<double>(t);
        const double step = eta0 / std::sqrt(tD);
        const double decay = 1.0 - step * lambda;
        for (size_t c = 0; c < G; ++c) {
            y[c] = labels[c][f];
            dot[c] = 0.0;
        }
        for (size_t j = first; j < end; ++j) {
            const double* vk = s.v.data() + static_cast<size_t>(rows[j]) * G;
            const double x = values[j];
            for (size_t c = 0; c < G; ++c) dot[c] = dot[c] + vk[c] * x;
        }
        if (bias)
            for (size_t c = 0; c < G; ++c) dot[c] = dot[c] + s.v[biasAt + c] * 1.0;
        bool anyBelow = false;
        for (size_t c = 0; c < G; ++c) {
            below[c] = (s.a * dot[c]) * y[c] < 1.0;  // false for NaN
            anyBelow = anyBelow || below[c];
        }

        const double aNext = s.a * decay;
        if (aNext == 0.0) {
            // w_t = -step*g exactly: the sums so far written out, the weights
            // restarted at scale 1.
            for (size_t i = 0; i < s.v.size(); ++i) {
                s.U[i] = s.U[i] + s.B * s.v[i];
                s.v[i] = 0.0;
            }
            s.a = 1.0;
            s.B = 0.0;
            for (size_t c = 0; c < G; ++c) {
                if (!below[c]) continue;
                for (size_t j = first; j < end; ++j)
                    s.v[static_cast<size_t>(rows[j]) * G + c] = step * (y[c] * values[j]);
                if (bias) s.v[biasAt + c] = step * (y[c] * 1.0);
            }
        } else {
            s.a = aNext;
            if (anyBelow) {
                const double q = step / s.a;
                for (size_t j = first; j < end; ++j) {
                    const size_t at = static_cast<size_t>(rows[j]) * G;
                    updateFeature(s.v.data() + at, s.U.data() + at, y.data(), below.data(), G,
                                  values[j], q, s.B);
                }
                if (bias)
                    updateFeature(s.v.data() + biasAt, s.U.data() + biasAt, y.data(), below.data(),
                                  G, 1.0, q, s.B);
            }
        }
        s.B = s.B + s.a;
        const double size = std::fabs(s.a);
        if (size < kRescaleBelow || size > kRescaleAbove) foldScale(s);

        for (; c0 < countSize && counts[c0] == t; ++c0)
            for (size_t c = 0; c < G; ++c) writeAverage(s, G, c, m, tD, outs[c] + c0 * m);
        if (t == T) break;
        if (++now == N) now = 0;
        if (++later == N) later = 0;
    }
}

}  // namespace

void trainSparseGroupOnOrder(const SparseColumns& X, const double* const* labels, int32_t G,
                             double lambda, double eta0, int32_t M, int32_t N,
                             const int32_t* order, bool bias, const int32_t* counts,
                             int32_t countSize, double* const* outs) {
    const size_t g = G > 0 ? static_cast<size_t>(G) : 0;
    if (g == 0) return;
    if (X.indexBytes == 4)
        run<uint32_t>(X, labels, g, lambda, eta0, M, N, order, bias, counts, countSize, outs);
    else
        run<uint64_t>(X, labels, g, lambda, eta0, M, N, order, bias, counts, countSize, outs);
}

void trainSparseOnOrder(const SparseColumns& X, const double* y, double lambda, double eta0,
                        int32_t M, int32_t N, const int32_t* order, bool bias,
                        const int32_t* counts, int32_t countSize, double* out) {
    trainSparseGroupOnOrder(X, &y, 1, lambda, eta0, M, N, order, bias, counts, countSize, &out);
}

}  // namespace pellumar
