#include "platform/exact_arithmetic.h"  // before everything else (see there)

#include "sparse/sparse_run.h"

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <cstring>

#include "platform/canonical_nan.h"
#include "platform/lanes.h"
#include "platform/prefetch.h"
#include "run/checkpoints.h"
#include "run/schedule.h"
#include "platform/zeroed_block.h"

namespace pellumar {

namespace {

// The weights and sums of a group of L lanes, feature after feature, each
// feature's weights followed by its sums: lane c's weight at feature k is
// v[k*stride + c] and its sum U[k*stride + c], with U = v + L and stride
// 2L. A sample's non-zero serves every lane from one or two cache lines,
// and the sums it updates lie in the lines next to them. The block starts
// on a cache line.
struct GroupState {
    GroupState(size_t m_, size_t L_)
        : m(m_), L(L_), stride(2 * L_), memory(m_ * 2 * L_), v(memory.data()), U(v + L_) {}
    const size_t m, L, stride;
    ZeroedBlock memory;
    double* const v;
    double* const U;
    double a = 1.0, B = 0.0;  // shared: every classifier has the same steps
};

// The sums U + B*v written out into U, and each weight replaced by
// newWeight(weight); then a = 1 and B = 0.
template <class NewWeight>
void writeOutSums(GroupState& s, NewWeight newWeight) {
    for (size_t k = 0; k < s.m; ++k) {
        double* const v = s.v + k * s.stride;
        double* const U = s.U + k * s.stride;
        for (size_t c = 0; c < s.L; ++c) {
            U[c] = U[c] + s.B * v[c];
            v[c] = newWeight(v[c]);
        }
    }
    s.a = 1.0;
    s.B = 0.0;
}

// The scale folded back into the weights: afterwards w = v and the sum is U.
void foldScale(GroupState& s) {
    const double a = s.a;
    writeOutSums(s, [a](double v) { return a * v; });
}

// Every lane's average (U + B*v) / tD, lane c's from outs[c] + offset on,
// every NaN the one quiet NaN; the weights read once, feature after feature.
// nonFinite[c] is set when lane c wrote an infinity or a NaN.
void writeAverages(const GroupState& s, double tD, double* const* outs, size_t offset,
                   bool* nonFinite) {
    bool any = false;
    for (size_t k = 0; k < s.m; ++k)
        for (size_t c = 0; c < s.L; ++c) {
            const size_t at = k * s.stride + c;
            any |= writeCanonical((s.U[at] + s.B * s.v[at]) / tD, outs[c] + offset + k);
        }
    if (!any) return;
    for (size_t c = 0; c < s.L; ++c)
        for (size_t k = 0; k < s.m && !nonFinite[c]; ++k)
            nonFinite[c] = !isFinite(outs[c][offset + k]);
}

// Where iteration t visits (position now of the order), and the positions
// whose samples are fetched ahead, in three steps: where a sample's
// non-zeros start, then its rows and values, then, once those have arrived,
// the weights the rows point to.
struct Ahead {
    explicit Ahead(int32_t N_) : N(N_) {}
    void next() {
        if (++now == N) now = 0;
        if (++start == N) start = 0;
        if (++sample == N) sample = 0;
        if (++weights == N) weights = 0;
    }
    int32_t at(int64_t distance) const { return static_cast<int32_t>((1 + distance) % N); }
    const int32_t N;
    int32_t now = at(0), start = at(32), sample = at(16), weights = at(4);
};

// Sample f's rows and values, a line apart from their first elements. A
// document's non-zeros span many lines, and each sample starts a stream of
// its own that the processor's own prefetcher is slow to pick up. Steps
// from an element in mid-line can leave out the last line; fetching that one
// too (or exactly every line the sample touches) was slower (doc/PERFORMANCE.md,
// "Measurements behind the code").
template <class Index>
inline void prefetchSample(const Index* rows, const double* values, const Index* starts, int32_t f) {
    const size_t first = static_cast<size_t>(starts[f]), end = static_cast<size_t>(starts[f + 1]);
    constexpr size_t kRowsPerLine = 64 / sizeof(Index);
    for (size_t j = first; j < end; j += kRowsPerLine) prefetchLine(rows + j);
    for (size_t j = first; j < end; j += 8) prefetchLine(values + j);
}

// Two lanes' numbers side by side, for the dot products: the vector of two
// doubles of lanes.h, which every 64-bit x86 (SSE2) and ARM (Advanced SIMD)
// processor holds in one register; without vector extensions two doubles in
// a struct. Every lane performs the scalar IEEE operation, so the bits are
// the same either way.
#if defined(PELLUMAR_LANES)
typedef Lanes<2>::V Pair;
inline Pair splat(double a) { return Lanes<2>::splat(a); }
inline Pair load(const double* p) { return Lanes<2>::load(p); }
inline void store(double* p, Pair q) { Lanes<2>::store(p, q); }
#else
struct Pair {
    double l[2];
};
inline Pair operator+(Pair a, Pair b) { return Pair{{a.l[0] + b.l[0], a.l[1] + b.l[1]}}; }
inline Pair operator*(Pair a, Pair b) { return Pair{{a.l[0] * b.l[0], a.l[1] * b.l[1]}}; }
inline Pair splat(double a) { return Pair{{a, a}}; }
inline Pair load(const double* p) { return Pair{{p[0], p[1]}}; }
inline void store(double* p, Pair q) { std::memcpy(p, q.l, sizeof q.l); }
#endif

// Loops over the lanes written out in full even at -O2 (mex's own level, for
// a build outside make_pellumar, which builds at -O3), so that the lanes'
// sums stay in registers: left as a loop at -O2, they made a round trip
// through memory for every non-zero.
#if defined(__clang__) || (defined(__GNUC__) && __GNUC__ >= 8)
#define PELLUMAR_UNROLL_LANES _Pragma("GCC unroll 16")
#else
#define PELLUMAR_UNROLL_LANES
#endif

// dot[c] = dot[c] + vk[c]*x for the L lanes, a pair at a time (the last
// lane of an odd number alone).
template <int L>
inline void addProducts(double* dot, const double* vk, double x) {
    const Pair xx = splat(x);
    PELLUMAR_UNROLL_LANES
    for (int i = 0; i + 1 < L; i += 2) store(dot + i, load(dot + i) + load(vk + i) * xx);
    if (L % 2 == 1) dot[L - 1] = dot[L - 1] + vk[L - 1] * x;
}

// seen[c] = seen[c] + dot[c]*0 for the L lanes, a pair at a time: 0 while
// every dot[c] is finite, NaN from the first that is not.
template <int L>
inline void noteNonFinite(double* seen, const double* dot) {
    const Pair zero = splat(0.0);
    PELLUMAR_UNROLL_LANES
    for (int i = 0; i + 1 < L; i += 2) store(seen + i, load(seen + i) + load(dot + i) * zero);
    if (L % 2 == 1) seen[L - 1] = seen[L - 1] + dot[L - 1] * 0.0;
}

// The run of a group of L classifiers, lane c for classifier c, from
// checkpoint c0 on (the counts before it are below 1), in the order of
// sparse_run.h without its tests for overflows: an overflow in the update or
// a fold leaves an infinity or a NaN in the lane's weights or sums that stays
// there to the end, so a lane whose dot products and averages all come out
// finite met none of those tests, and its bits are the full order's.
// nonFinite[c] marks the others. Every lane performs the scalar operations
// above, so a classifier's bits do not depend on its group.
template <class Index, int L>
void runLanes(const SparseColumns& X, const double* const* labels, double lambda, double eta0,
              int32_t M, int32_t N, const int32_t* order, bool bias, const int32_t* counts,
              int32_t countSize, int32_t c0, double* const* outs, bool* nonFinite) {
    const Index* rows = static_cast<const Index*>(X.rows);
    const Index* starts = static_cast<const Index*>(X.starts);
    const double* values = X.values;
    const size_t m = static_cast<size_t>(M) + (bias ? 1 : 0);
    const int32_t T = counts[countSize - 1];

    GroupState s(m, L);
    double* const v = s.v;
    double* const U = s.U;
    constexpr size_t stride = 2 * L;
    const size_t biasAt = static_cast<size_t>(M) * stride;
    double seen[L] = {};  // NaN in a lane once a dot product was not finite
    Ahead ahead(N);
    for (int32_t t = 1;; ++t) {
        const int32_t f = order[ahead.now];
        const size_t first = static_cast<size_t>(starts[f]);
        const size_t end = static_cast<size_t>(starts[f + 1]);
        prefetchLine(starts + order[ahead.start]);
        prefetchSample(rows, values, starts, order[ahead.sample]);
        if (L > 1) {
            // The labels and the weights and sums of a sample a few
            // iterations ahead: several classifiers' weights no longer stay
            // in the caches. (One classifier's mostly do, and fetching them
            // ahead was slower.)
            const int32_t g = order[ahead.weights];
            for (int c = 0; c < L; ++c) prefetchLine(labels[c] + g);
            const size_t gEnd = static_cast<size_t>(starts[g + 1]);
            for (size_t j = static_cast<size_t>(starts[g]); j < gEnd; ++j) {
                const double* vk = v + static_cast<size_t>(rows[j]) * stride;
                for (size_t o = 0; o < stride; o += 8) prefetchLine(vk + o);
                if (stride % 8 != 0) prefetchLine(vk + stride - 1);
            }
        }
        const double tD = static_cast<double>(t);
        const Schedule schedule = scheduleAt(eta0, lambda, tD);
        const double step = schedule.step, decay = schedule.decay;
        double y[L] = {}, dot[L] = {};
        for (int c = 0; c < L; ++c) y[c] = labels[c][f];
        for (size_t j = first; j < end; ++j)
            addProducts<L>(dot, v + static_cast<size_t>(rows[j]) * stride, values[j]);
        if (bias) addProducts<L>(dot, v + biasAt, 1.0);
        bool below[L] = {};
        bool anyBelow = false;
        for (int c = 0; c < L; ++c) {
            below[c] = (s.a * dot[c]) * y[c] < 1.0;  // false for NaN
            anyBelow = anyBelow || below[c];
        }
        // An infinite or NaN dot product leaves nothing in the weights, and
        // the full order may decide otherwise there (runGuarded()).
        noteNonFinite<L>(seen, dot);

        const double aNext = s.a * decay;
        if (aNext == 0.0) {
            // w_t = -step*g exactly: the sums so far written out, the weights
            // restarted at scale 1.
            writeOutSums(s, [](double) { return 0.0; });
            for (int c = 0; c < L; ++c) {
                if (!below[c]) continue;
                for (size_t j = first; j < end; ++j)
                    v[static_cast<size_t>(rows[j]) * stride + c] = step * (y[c] * values[j]);
                if (bias) v[biasAt + c] = step * (y[c] * 1.0);
            }
        } else {
            s.a = aNext;
            if (anyBelow) {
                // Only the classifiers below 1.0 change, each on its own:
                // d = q*(-(y*x)), v = v - d, U = U + B*d. -(y*x) is (-y)*x
                // exactly (rounding to nearest is symmetric in sign), so -y
                // is formed once. Few classifiers of a group are below at a
                // time, so this beats updating every lane.
                const double q = step / s.a, B = s.B;
                for (int c = 0; c < L; ++c) {
                    if (!below[c]) continue;
                    const double minusY = -y[c];
                    for (size_t j = first; j < end; ++j) {
                        const size_t at = static_cast<size_t>(rows[j]) * stride + c;
                        const double d = q * (minusY * values[j]);
                        v[at] = v[at] - d;
                        U[at] = U[at] + B * d;
                    }
                    if (bias) {
                        const double d = q * (minusY * 1.0);
                        v[biasAt + c] = v[biasAt + c] - d;
                        U[biasAt + c] = U[biasAt + c] + B * d;
                    }
                }
            }
        }
        s.B = s.B + s.a;
        const double size = std::fabs(s.a);
        if (size < kRescaleBelow || size > kRescaleAbove) foldScale(s);

        for (; c0 < countSize && counts[c0] == t; ++c0)
            writeAverages(s, tD, outs, c0 * m, nonFinite);
        if (t == T) break;
        ahead.next();
    }
    for (int c = 0; c < L; ++c) nonFinite[c] |= !isFinite(seen[c]);
}

// U + B*v, or, where that overflows from finite operands, the same sum
// halved and doubled back, 2*((0.5*U) + (0.5*B)*v): the value the sum has
// without the overflow, when that is a double. B*v may pass the largest
// double while U + B*v does not: U holds the sum of the iterates less B*v.
inline double guardedSum(double U, double B, double v) {
    const double sum = U + B * v;
    if (isFinite(sum) || !isFinite(U) || !isFinite(B) || !isFinite(v)) return sum;
    return 2.0 * ((0.5 * U) + (0.5 * B) * v);
}

// (U + B*v) / tD, guarded as guardedSum(): ((0.5*U + (0.5*B)*v) / tD) * 2.
inline double guardedAverage(double U, double B, double v, double tD) {
    const double sum = U + B * v;
    if (isFinite(sum) || !isFinite(U) || !isFinite(B) || !isFinite(v)) return sum / tD;
    return (((0.5 * U) + (0.5 * B) * v) / tD) * 2.0;
}

// One classifier's weights v and sums U (m each) with their scale and sum of
// scales, for the guarded run.
struct GuardedState {
    explicit GuardedState(size_t m_) : m(m_), memory(2 * m_), v(memory.data()), U(v + m_) {}
    const size_t m;
    ZeroedBlock memory;
    double* const v;
    double* const U;
    double a = 1.0, B = 0.0;

    // The sums written out, U = U + B*v (guarded), each weight replaced by
    // newWeight(weight); then a = 1, B = 0.
    template <class NewWeight>
    void writeOutSums(NewWeight newWeight) {
        for (size_t k = 0; k < m; ++k) {
            U[k] = guardedSum(U[k], B, v[k]);
            v[k] = newWeight(v[k]);
        }
        a = 1.0;
        B = 0.0;
    }
};

// Whether the sample's values x and the weights v they meet are all finite
// (the bias's weight too, with the bias).
template <class Index>
bool sampleFinite(const GuardedState& s, const Index* rows, const double* values, size_t first,
                  size_t end, size_t biasAt, bool bias) {
    for (size_t j = first; j < end; ++j)
        if (!isFinite(values[j]) || !isFinite(s.v[static_cast<size_t>(rows[j])])) return false;
    return !bias || isFinite(s.v[biasAt]);
}

// Whether the update of the weights and sums at scale aNext, q = step/aNext
// and for the non-zeros d = q*((-y)*x), v - d, U + B*d, would write an
// infinity or a NaN computed from finite values (step, aNext, B, y, x, v,
// U): one of its operations overflows. Nothing is written.
template <class Index>
bool updateOverflows(const GuardedState& s, const Index* rows, const double* values, size_t first,
                     size_t end, size_t biasAt, bool bias, double step, double aNext, double y) {
    if (!isFinite(step) || !isFinite(aNext) || !isFinite(s.B) || !isFinite(y)) return false;
    const double q = step / aNext, minusY = -y;
    // (-y)*x past the largest double is no overflow of this order: the
    // dense run's gradient overflows alike.
    const auto overflows = [&](size_t k, double x) {
        const double p = minusY * x, d = q * p;
        return isFinite(p) && isFinite(s.v[k]) && isFinite(s.U[k]) &&
               !(isFinite(s.v[k] - d) && isFinite(s.U[k] + s.B * d));
    };
    for (size_t j = first; j < end; ++j)
        if (overflows(static_cast<size_t>(rows[j]), values[j])) return true;
    return bias && overflows(biasAt, 1.0);
}

// The run of one classifier in the full order of sparse_run.h, with its
// tests for overflows: where the dot product overflows, the weights' own;
// where the update at scale aNext would overflow, the scale aNext folded
// into the weights first and the update made at scale 1; where a sum
// U + B*v would overflow, guardedSum(). Slower than runLanes() (the update
// is tried before it is made, and the sums are tested); run only for the
// classifiers that runLanes() marks.
template <class Index>
void runGuarded(const SparseColumns& X, const double* labels, double lambda, double eta0,
                int32_t M, int32_t N, const int32_t* order, bool bias, const int32_t* counts,
                int32_t countSize, int32_t c0, double* out) {
    const Index* rows = static_cast<const Index*>(X.rows);
    const Index* starts = static_cast<const Index*>(X.starts);
    const double* values = X.values;
    const size_t m = static_cast<size_t>(M) + (bias ? 1 : 0);
    const size_t biasAt = static_cast<size_t>(M);
    const int32_t T = counts[countSize - 1];
    GuardedState s(m);
    double* const v = s.v;
    double* const U = s.U;
    int32_t now = 1 % N;
    for (int32_t t = 1;; ++t) {
        const int32_t f = order[now];
        const size_t first = static_cast<size_t>(starts[f]);
        const size_t end = static_cast<size_t>(starts[f + 1]);
        const double tD = static_cast<double>(t);
        const Schedule schedule = scheduleAt(eta0, lambda, tD);
        const double step = schedule.step, decay = schedule.decay;
        const double y = labels[f];
        double dot = 0.0;
        for (size_t j = first; j < end; ++j)
            dot = dot + v[static_cast<size_t>(rows[j])] * values[j];
        if (bias) dot = dot + v[biasAt] * 1.0;
        double margin = (s.a * dot) * y;
        if (!isFinite(dot) && isFinite(s.a) &&
            sampleFinite(s, rows, values, first, end, biasAt, bias)) {
            // v*x passed the largest double (v is up to 2^10 times the
            // weights): the dot product of the weights a*v instead, where
            // that one stays finite (as the dense run's does).
            double dotW = 0.0;
            for (size_t j = first; j < end; ++j)
                dotW = dotW + (s.a * v[static_cast<size_t>(rows[j])]) * values[j];
            if (bias) dotW = dotW + (s.a * v[biasAt]) * 1.0;
            if (isFinite(dotW)) margin = dotW * y;
        }
        const bool below = margin < 1.0;

        const double aNext = s.a * decay;
        if (aNext == 0.0) {
            s.writeOutSums([](double) { return 0.0; });
            if (below) {
                for (size_t j = first; j < end; ++j)
                    v[static_cast<size_t>(rows[j])] = step * (y * values[j]);
                if (bias) v[biasAt] = step * (y * 1.0);
            }
        } else if (below &&
                   updateOverflows(s, rows, values, first, end, biasAt, bias, step, aNext, y)) {
            // w_t = aNext*v - step*g, as the dense run forms it: the sums so
            // far written out, the weights at scale 1, then the step.
            s.writeOutSums([aNext](double weight) { return aNext * weight; });
            const double minusY = -y;
            for (size_t j = first; j < end; ++j) {
                const size_t at = static_cast<size_t>(rows[j]);
                const double d = step * (minusY * values[j]);
                v[at] = v[at] - d;
            }
            if (bias) {
                const double d = step * (minusY * 1.0);
                v[biasAt] = v[biasAt] - d;
            }
        } else {
            s.a = aNext;
            if (below) {
                const double q = step / s.a, B = s.B, minusY = -y;
                for (size_t j = first; j < end; ++j) {
                    const size_t at = static_cast<size_t>(rows[j]);
                    const double d = q * (minusY * values[j]);
                    v[at] = v[at] - d;
                    U[at] = U[at] + B * d;
                }
                if (bias) {
                    const double d = q * (minusY * 1.0);
                    v[biasAt] = v[biasAt] - d;
                    U[biasAt] = U[biasAt] + B * d;
                }
            }
        }
        s.B = s.B + s.a;
        const double size = std::fabs(s.a);
        if (size < kRescaleBelow || size > kRescaleAbove) {
            const double a = s.a;
            s.writeOutSums([a](double weight) { return a * weight; });
        }

        for (; c0 < countSize && counts[c0] == t; ++c0)
            for (size_t k = 0; k < m; ++k)
                writeCanonical(guardedAverage(U[k], s.B, v[k], tD), out + c0 * m + k);
        if (t == T) break;
        if (++now == N) now = 0;
    }
}

// The run of a group of L classifiers: runLanes(), then runGuarded() for
// each classifier whose dot products or averages came out infinite or NaN
// somewhere (an overflow, or infinities and NaNs in the data, which the
// tests leave as they are), after the group's memory is freed.
template <class Index, int L>
void run(const SparseColumns& X, const double* const* labels, double lambda, double eta0,
         int32_t M, int32_t N, const int32_t* order, bool bias, const int32_t* counts,
         int32_t countSize, double* const* outs) {
    const size_t m = static_cast<size_t>(M) + (bias ? 1 : 0);
    const int32_t c0 = zeroCheckpointsBeforeAnyIteration(counts, countSize, m, outs, L);
    if (c0 == countSize) return;
    bool nonFinite[L] = {};
    runLanes<Index, L>(X, labels, lambda, eta0, M, N, order, bias, counts, countSize, c0, outs,
                       nonFinite);
    for (int c = 0; c < L; ++c)
        if (nonFinite[c])
            runGuarded<Index>(X, labels[c], lambda, eta0, M, N, order, bias, counts, countSize,
                              c0, outs[c]);
}

// Up to sixteen classifiers in one run; more run in several groups.
constexpr int kGroupSize = 16;

// run<Index, L> for L = size, 1 <= size <= L.
template <class Index, int L>
struct Group {
    static void run(int size, const SparseColumns& X, const double* const* labels, double lambda,
                    double eta0, int32_t M, int32_t N, const int32_t* order, bool bias,
                    const int32_t* counts, int32_t countSize, double* const* outs) {
        if (size == L)
            pellumar::run<Index, L>(X, labels, lambda, eta0, M, N, order, bias, counts, countSize,
                                    outs);
        else
            Group<Index, L - 1>::run(size, X, labels, lambda, eta0, M, N, order, bias, counts,
                                     countSize, outs);
    }
};
template <class Index>
struct Group<Index, 0> {
    static void run(int, const SparseColumns&, const double* const*, double, double, int32_t,
                    int32_t, const int32_t*, bool, const int32_t*, int32_t, double* const*) {}
};

template <class Index>
void runGroups(const SparseColumns& X, const double* const* labels, int32_t G, double lambda,
               double eta0, int32_t M, int32_t N, const int32_t* order, bool bias,
               const int32_t* counts, int32_t countSize, double* const* outs) {
    for (int32_t first = 0; first < G; first += kGroupSize) {
        const int size = static_cast<int>(G - first < kGroupSize ? G - first : kGroupSize);
        Group<Index, kGroupSize>::run(size, X, labels + first, lambda, eta0, M, N, order, bias,
                                      counts, countSize, outs + first);
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
