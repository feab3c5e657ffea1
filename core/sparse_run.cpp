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

// value into *out, a NaN as the one quiet NaN.
inline void writeCanonical(double value, double* out) {
    constexpr uint64_t kMagnitude = 0x7FFFFFFFFFFFFFFFull, kInfinity = 0x7FF0000000000000ull;
    constexpr uint64_t kCanonicalNaN = 0x7FF8000000000000ull;
    uint64_t bits;
    std::memcpy(&bits, &value, sizeof bits);
    if ((bits & kMagnitude) > kInfinity) bits = kCanonicalNaN;
    std::memcpy(out, &bits, sizeof bits);
}

// Classifier c's average (U + B*v) / tD, every NaN the one quiet NaN.
void writeAverage(const GroupState& s, size_t G, size_t c, size_t m, double tD, double* out) {
    for (size_t k = 0; k < m; ++k) writeCanonical((s.U[k * G + c] + s.B * s.v[k * G + c]) / tD, out + k);
}

// Two classifiers' numbers side by side. With GCC's vector extensions
// (GCC and clang) a vector of two doubles, which every 64-bit x86 (SSE2) and
// ARM (Advanced SIMD) processor holds in one register; elsewhere two
// doubles in a struct. Every lane performs the scalar IEEE operation, so the
// bits are the same either way.
#if defined(__GNUC__) && !defined(PELLUMAR_PORTABLE_ONLY)
// The pairs never cross a function boundary that isn't inlined, so the note
// that their passing convention depends on AVX does not apply.
#pragma GCC diagnostic ignored "-Wpsabi"
typedef double Pair __attribute__((vector_size(16)));
typedef int64_t PairMask __attribute__((vector_size(16)));
inline Pair splat(double a) { return Pair{a, a}; }
inline Pair load(const double* p) {
    Pair q;
    std::memcpy(&q, p, sizeof q);
    return q;
}
inline void store(double* p, Pair q) { std::memcpy(p, &q, sizeof q); }
inline PairMask isBelowOne(Pair m) { return m < splat(1.0); }  // false for NaN
inline PairMask both(PairMask a, PairMask b) { return a & b; }
// Lanes of a where mask is set, of b elsewhere.
inline Pair choose(PairMask mask, Pair a, Pair b) {
    PairMask ia, ib;
    std::memcpy(&ia, &a, sizeof a);
    std::memcpy(&ib, &b, sizeof b);
    const PairMask picked = (mask & ia) | (~mask & ib);
    Pair out;
    std::memcpy(&out, &picked, sizeof out);
    return out;
}
inline bool anyLane(PairMask mask) { return (mask[0] | mask[1]) != 0; }
// Lanes of a where mask is set, +0.0 elsewhere; and of a where mask is set,
// -0.0 elsewhere.
inline Pair orPlusZero(PairMask mask, Pair a) {
    PairMask ia;
    std::memcpy(&ia, &a, sizeof a);
    ia &= mask;
    Pair out;
    std::memcpy(&out, &ia, sizeof out);
    return out;
}
inline Pair orMinusZero(PairMask mask, Pair a) {
    const PairMask sign = {INT64_MIN, INT64_MIN};
    PairMask ia;
    std::memcpy(&ia, &a, sizeof a);
    ia = (ia & mask) | (sign & ~mask);
    Pair out;
    std::memcpy(&out, &ia, sizeof out);
    return out;
}
inline bool lane(PairMask mask, int i) { return mask[i] != 0; }
#else
struct Pair {
    double l[2];
};
struct PairMask {
    bool l[2];
};
#define PELLUMAR_QUAD_OP(op) \
    inline Pair operator op(Pair a, Pair b) { return Pair{{a.l[0] op b.l[0], a.l[1] op b.l[1]}}; }
PELLUMAR_QUAD_OP(+)
PELLUMAR_QUAD_OP(-)
PELLUMAR_QUAD_OP(*)
#undef PELLUMAR_QUAD_OP
inline Pair operator-(Pair a) { return Pair{{-a.l[0], -a.l[1]}}; }
inline Pair splat(double a) { return Pair{{a, a}}; }
inline Pair load(const double* p) { return Pair{{p[0], p[1]}}; }
inline void store(double* p, Pair q) { std::memcpy(p, q.l, sizeof q.l); }
inline PairMask isBelowOne(Pair m) { return PairMask{{m.l[0] < 1.0, m.l[1] < 1.0}}; }
inline PairMask both(PairMask a, PairMask b) {
    return PairMask{{a.l[0] && b.l[0], a.l[1] && b.l[1]}};
}
inline Pair choose(PairMask mask, Pair a, Pair b) {
    return Pair{{mask.l[0] ? a.l[0] : b.l[0], mask.l[1] ? a.l[1] : b.l[1]}};
}
inline bool anyLane(PairMask mask) { return mask.l[0] || mask.l[1]; }
inline Pair orPlusZero(PairMask mask, Pair a) {
    return Pair{{mask.l[0] ? a.l[0] : 0.0, mask.l[1] ? a.l[1] : 0.0}};
}
inline Pair orMinusZero(PairMask mask, Pair a) {
    return Pair{{mask.l[0] ? a.l[0] : -0.0, mask.l[1] ? a.l[1] : -0.0}};
}
inline bool lane(PairMask mask, int i) { return mask.l[i]; }
#endif

// The run of a group of classifiers held in Q pairs (2Q lanes): lane c of
// feature k at v[k*4Q + c]. Lanes beyond the group's classifiers are
// padding: label 0, never below, so their weights stay 0 and nothing of them
// is delivered.
template <class Index, int Q>
void run(const SparseColumns& X, const double* const* labels, int32_t G, double lambda,
         double eta0, int32_t M, int32_t N, const int32_t* order, bool bias,
         const int32_t* counts, int32_t countSize, double* const* outs) {
    constexpr int L = 2 * Q;
    const Index* rows = static_cast<const Index*>(X.rows);
    const Index* starts = static_cast<const Index*>(X.starts);
    const double* values = X.values;
    const size_t m = static_cast<size_t>(M) + (bias ? 1 : 0);
    int32_t c0 = 0;
    for (; c0 < countSize && counts[c0] < 1; ++c0)
        for (int c = 0; c < G; ++c) std::fill(outs[c] + c0 * m, outs[c] + (c0 + 1) * m, 0.0);
    if (c0 == countSize) return;
    const int32_t T = counts[countSize - 1];

    GroupState s;
    s.v.assign(m * L, 0.0);
    s.U.assign(m * L, 0.0);
    double* const v = s.v.data();
    double* const U = s.U.data();
    const size_t biasAt = static_cast<size_t>(M) * L;
    // The lanes that hold classifiers: the padding is never below 1.0.
    double lanes[L];
    for (int c = 0; c < L; ++c) lanes[c] = c < G ? 0.0 : 1.0;
    PairMask real[Q];
    for (int i = 0; i < Q; ++i) real[i] = isBelowOne(load(lanes + 2 * i));
    int32_t now = 1 % N;
    const int32_t ahead = 4;
    int32_t later = static_cast<int32_t>((1 + int64_t{ahead}) % N);
    for (int32_t t = 1;; ++t) {
        const int32_t f = order[now];
        const size_t first = static_cast<size_t>(starts[f]);
        const size_t end = static_cast<size_t>(starts[f + 1]);
        {
            // The rows and values of a sample a few iterations ahead. (Its
            // weights are not fetched ahead: measured on the text example,
            // that made the run slower, one classifier or eight.)
            const size_t at = static_cast<size_t>(starts[order[later]]);
            prefetchLine(rows + at);
            prefetchLine(values + at);
        }
        const double tD = static_cast<double>(t);
        const double step = eta0 / std::sqrt(tD);
        const double decay = 1.0 - step * lambda;
        double ys[L];
        for (int c = 0; c < L; ++c) ys[c] = c < G ? labels[c][f] : 0.0;
        Pair y[Q], dot[Q];
        for (int i = 0; i < Q; ++i) {
            y[i] = load(ys + 2 * i);
            dot[i] = splat(0.0);
        }
        for (size_t j = first; j < end; ++j) {
            const double* vk = v + static_cast<size_t>(rows[j]) * L;
            const Pair x = splat(values[j]);
            for (int i = 0; i < Q; ++i) dot[i] = dot[i] + load(vk + 2 * i) * x;
        }
        if (bias)
            for (int i = 0; i < Q; ++i) dot[i] = dot[i] + load(v + biasAt + 2 * i) * splat(1.0);
        PairMask below[Q];
        bool anyBelow = false;
        for (int i = 0; i < Q; ++i) {
            below[i] = both(isBelowOne((splat(s.a) * dot[i]) * y[i]), real[i]);
            anyBelow = anyBelow || anyLane(below[i]);
        }

        const double aNext = s.a * decay;
        if (aNext == 0.0) {
            // w_t = -step*g exactly: the sums so far written out, the weights
            // restarted at scale 1.
            for (size_t i = 0; i < s.v.size(); ++i) {
                U[i] = U[i] + s.B * v[i];
                v[i] = 0.0;
            }
            s.a = 1.0;
            s.B = 0.0;
            for (int c = 0; c < G; ++c) {
                if (!lane(below[c / 2], c % 2)) continue;
                for (size_t j = first; j < end; ++j)
                    v[static_cast<size_t>(rows[j]) * L + c] = step * (ys[c] * values[j]);
                if (bias) v[biasAt + c] = step * (ys[c] * 1.0);
            }
        } else {
            s.a = aNext;
            if (anyBelow) {
                // For the classifiers below 1.0: d = q*(-(y*x)), v = v - d,
                // U = U + B*d. -(y*x) is (-y)*x exactly (rounding to nearest
                // is symmetric in sign), so -y is formed once. The other
                // lanes subtract +0.0 from v and add -0.0 to U, which leaves
                // every value as it was, zeros' signs included.
                const Pair q = splat(step / s.a), B = splat(s.B);
                Pair minusY[Q];
                for (int i = 0; i < Q; ++i) minusY[i] = -y[i];
                const auto update = [&](double* vk, double* uk, double xValue) {
                    const Pair x = splat(xValue);
                    for (int i = 0; i < Q; ++i) {
                        const Pair d = q * (minusY[i] * x);
                        store(vk + 2 * i, load(vk + 2 * i) - orPlusZero(below[i], d));
                        store(uk + 2 * i, load(uk + 2 * i) + orMinusZero(below[i], B * d));
                    }
                };
                for (size_t j = first; j < end; ++j) {
                    const size_t at = static_cast<size_t>(rows[j]) * L;
                    update(v + at, U + at, values[j]);
                }
                if (bias) update(v + biasAt, U + biasAt, 1.0);
            }
        }
        s.B = s.B + s.a;
        const double size = std::fabs(s.a);
        if (size < kRescaleBelow || size > kRescaleAbove) foldScale(s);

        for (; c0 < countSize && counts[c0] == t; ++c0)
            for (int c = 0; c < G; ++c) writeAverage(s, L, c, m, tD, outs[c] + c0 * m);
        if (t == T) break;
        if (++now == N) now = 0;
        if (++later == N) later = 0;
    }
}

// One classifier alone: its weight and its sum side by side, feature after
// feature (wu[2k] = v[k], wu[2k+1] = U[k]), so that a non-zero touches one
// line, and no lane padded. Operation for operation the run of a lane of
// run<Index, Q>.
template <class Index>
void runOne(const SparseColumns& X, const double* labels, double lambda, double eta0, int32_t M,
            int32_t N, const int32_t* order, bool bias, const int32_t* counts, int32_t countSize,
            double* out) {
    const Index* rows = static_cast<const Index*>(X.rows);
    const Index* starts = static_cast<const Index*>(X.starts);
    const double* values = X.values;
    const size_t m = static_cast<size_t>(M) + (bias ? 1 : 0);
    int32_t c0 = 0;
    for (; c0 < countSize && counts[c0] < 1; ++c0) std::fill(out + c0 * m, out + (c0 + 1) * m, 0.0);
    if (c0 == countSize) return;
    const int32_t T = counts[countSize - 1];
    GroupState s;  // v holds the pairs; U is unused
    s.v.assign(2 * m, 0.0);
    double* const wu = s.v.data();
    const size_t biasAt = 2 * static_cast<size_t>(M);
    const int32_t ahead = 4;
    int32_t now = 1 % N;
    int32_t later = static_cast<int32_t>((1 + int64_t{ahead}) % N);
    for (int32_t t = 1;; ++t) {
        const int32_t f = order[now];
        const size_t first = static_cast<size_t>(starts[f]);
        const size_t end = static_cast<size_t>(starts[f + 1]);
        {
            // As in run<Index, Q>: the rows and values of a sample ahead.
            const size_t at = static_cast<size_t>(starts[order[later]]);
            prefetchLine(rows + at);
            prefetchLine(values + at);
        }
        const double tD = static_cast<double>(t);
        const double step = eta0 / std::sqrt(tD);
        const double decay = 1.0 - step * lambda;
        const double y = labels[f];
        double dot = 0.0;
        for (size_t j = first; j < end; ++j)
            dot = dot + wu[2 * static_cast<size_t>(rows[j])] * values[j];
        if (bias) dot = dot + wu[biasAt] * 1.0;
        const bool below = (s.a * dot) * y < 1.0;  // false for NaN

        const double aNext = s.a * decay;
        if (aNext == 0.0) {
            for (size_t k = 0; k < m; ++k) {
                wu[2 * k + 1] = wu[2 * k + 1] + s.B * wu[2 * k];
                wu[2 * k] = 0.0;
            }
            s.a = 1.0;
            s.B = 0.0;
            if (below) {
                for (size_t j = first; j < end; ++j)
                    wu[2 * static_cast<size_t>(rows[j])] = step * (y * values[j]);
                if (bias) wu[biasAt] = step * (y * 1.0);
            }
        } else {
            s.a = aNext;
            if (below) {
                const double q = step / s.a, minusY = -y, B = s.B;
                for (size_t j = first; j < end; ++j) {
                    double* p = wu + 2 * static_cast<size_t>(rows[j]);
                    const double d = q * (minusY * values[j]);
                    p[0] = p[0] - d;
                    p[1] = p[1] + B * d;
                }
                if (bias) {
                    const double d = q * (minusY * 1.0);
                    wu[biasAt] = wu[biasAt] - d;
                    wu[biasAt + 1] = wu[biasAt + 1] + B * d;
                }
            }
        }
        s.B = s.B + s.a;
        const double size = std::fabs(s.a);
        if (size < kRescaleBelow || size > kRescaleAbove) {
            for (size_t k = 0; k < m; ++k) {
                wu[2 * k + 1] = wu[2 * k + 1] + s.B * wu[2 * k];
                wu[2 * k] = s.a * wu[2 * k];
            }
            s.a = 1.0;
            s.B = 0.0;
        }
        for (; c0 < countSize && counts[c0] == t; ++c0) {
            for (size_t k = 0; k < m; ++k) {
                const double value = (wu[2 * k + 1] + s.B * wu[2 * k]) / tD;
                writeCanonical(value, out + c0 * m + k);
            }
        }
        if (t == T) break;
        if (++now == N) now = 0;
        if (++later == N) later = 0;
    }
}

// Up to eight classifiers in one run, in one to four pairs; more run in
// several groups.
template <class Index>
void runGroups(const SparseColumns& X, const double* const* labels, int32_t G, double lambda,
               double eta0, int32_t M, int32_t N, const int32_t* order, bool bias,
               const int32_t* counts, int32_t countSize, double* const* outs) {
    for (int32_t first = 0; first < G; first += 8) {
        const int32_t size = G - first < 8 ? G - first : 8;
        const double* const* l = labels + first;
        double* const* o = outs + first;
        if (size == 1) {
            runOne<Index>(X, l[0], lambda, eta0, M, N, order, bias, counts, countSize, o[0]);
            continue;
        }
        switch ((size + 1) / 2) {
            case 1: run<Index, 1>(X, l, size, lambda, eta0, M, N, order, bias, counts, countSize, o); break;
            case 2: run<Index, 2>(X, l, size, lambda, eta0, M, N, order, bias, counts, countSize, o); break;
            case 3: run<Index, 3>(X, l, size, lambda, eta0, M, N, order, bias, counts, countSize, o); break;
            default: run<Index, 4>(X, l, size, lambda, eta0, M, N, order, bias, counts, countSize, o); break;
        }
    }
}

}  // namespace

void trainSparseGroupOnOrder(const SparseColumns& X, const double* const* labels, int32_t G,
                             double lambda, double eta0, int32_t M, int32_t N,
                             const int32_t* order, bool bias, const int32_t* counts,
                             int32_t countSize, double* const* outs) {
    if (X.indexBytes == 4)
        runGroups<uint32_t>(X, labels, G, lambda, eta0, M, N, order, bias, counts, countSize, outs);
    else
        runGroups<uint64_t>(X, labels, G, lambda, eta0, M, N, order, bias, counts, countSize, outs);
}

void trainSparseOnOrder(const SparseColumns& X, const double* y, double lambda, double eta0,
                        int32_t M, int32_t N, const int32_t* order, bool bias,
                        const int32_t* counts, int32_t countSize, double* out) {
    trainSparseGroupOnOrder(X, &y, 1, lambda, eta0, M, N, order, bias, counts, countSize, &out);
}

}  // namespace pellumar
