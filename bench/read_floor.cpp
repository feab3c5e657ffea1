// The floors of the benchmark, in vector lanes (the widest the processor
// has), in the run's visiting order, with the run's prefetching:
//   read-once: every visited column read once per iteration and summed. A
//     training run reads each visited column at least once, so this is what
//     memory alone allows.
//   weights: the same, and the weights scaled and dotted with the column, as
//     every iteration of a run must do, each iteration waiting on the dot
//     product of the one before; no subgradient, no average. What a run
//     costs before it computes its average.
//   average: the recurrence of the average alone,
//     wbar = ((t-1)*wbar + w) / t, one multiply, add and divide per feature,
//     each iteration waiting on the one before, in registers; no column read.
//     No run that keeps the average exactly can be faster.
#include <cstdint>
#include <cstring>
#include <vector>

#include "platform/prefetch.h"

namespace {

#define ALWAYS_INLINE inline __attribute__((always_inline))
// The vectors never cross a call that isn't inlined, so the note that their
// passing convention depends on AVX does not apply.
#pragma GCC diagnostic ignored "-Wpsabi"

template <int W>
struct Vec {
    typedef double V __attribute__((vector_size(8 * W)));
    static ALWAYS_INLINE V load(const double* p) {
        V v;
        std::memcpy(&v, p, sizeof v);
        return v;
    }
};

// Hands work(x) the columns of iterations 1..T in the run's order, each
// fetched samplesAhead() samples before its turn, as the run does.
template <class Work>
ALWAYS_INLINE void visitColumns(const double* X, int32_t T, int32_t M, int32_t N,
                                const int32_t* order, Work& work) {
    const int32_t ahead = pellumar::samplesAhead(M);
    int32_t now = 1 % N, later = static_cast<int32_t>((1 + static_cast<int64_t>(ahead)) % N);
    for (int32_t t = 1; t <= T; ++t) {
        if (t <= T - ahead)
            pellumar::prefetchColumnFrom(X + static_cast<int64_t>(order[later]) * M, 0, M);
        work(X + static_cast<int64_t>(order[now]) * M);
        if (++now == N) now = 0;
        if (++later == N) later = 0;
    }
}

// Read-once: every column summed into lanes that carry over from one column
// to the next, so no iteration waits on another.
template <int W>
struct ReadOnce {
    typedef typename Vec<W>::V V;
    int32_t M;
    V acc0 = {}, acc1 = {};
    double tail = 0.0;

    explicit ReadOnce(int32_t m) : M(m) {}
    ALWAYS_INLINE void operator()(const double* x) {
        int64_t k = 0;
        for (; k + 2 * W <= M; k += 2 * W) {
            acc0 += Vec<W>::load(x + k);
            acc1 += Vec<W>::load(x + k + W);
        }
        for (; k < M; ++k) tail += x[k];
    }
    double result() {
        acc0 += acc1;
        double sum = tail;
        for (int i = 0; i < W; ++i) sum += acc0[i];
        return sum;
    }
};

// Weights: w scaled by a decay that depends on the previous column's dot
// product, then dotted with the column.
template <int W>
struct ScaleWeights {
    typedef typename Vec<W>::V V;
    int32_t M;
    std::vector<double> w;
    double decay = 1.0 - 0x1p-40, total = 0.0;

    explicit ScaleWeights(int32_t m) : M(m), w(static_cast<size_t>(m), 1.0) {}
    ALWAYS_INLINE void operator()(const double* x) {
        // Locals, so that the stores into w can't be taken to change them.
        double* const wp = w.data();
        const double d = decay;
        const int64_t m = M;
        V acc0 = {}, acc1 = {};
        double dot = 0.0;
        int64_t k = 0;
        for (; k + 2 * W <= m; k += 2 * W) {
            const V wa = Vec<W>::load(wp + k) * d, wb = Vec<W>::load(wp + k + W) * d;
            std::memcpy(wp + k, &wa, sizeof wa);
            std::memcpy(wp + k + W, &wb, sizeof wb);
            acc0 += wa * Vec<W>::load(x + k);
            acc1 += wb * Vec<W>::load(x + k + W);
        }
        for (; k < m; ++k) {
            wp[k] *= d;
            dot += wp[k] * x[k];
        }
        acc0 += acc1;
        for (int i = 0; i < W; ++i) dot += acc0[i];
        decay = dot < 1e300 ? 1.0 - 0x1p-40 : 1.0 - 0x1p-41;
        total += dot;
    }
    double result() { return total; }
};

template <template <int> class Work, int W>
ALWAYS_INLINE double floorOf(const double* X, int32_t T, int32_t M, int32_t N,
                             const int32_t* order) {
    Work<W> work(M);
    visitColumns(X, T, M, N, order, work);
    return work.result();
}

#if defined(__x86_64__)
template <template <int> class Work>
__attribute__((target("avx512f"))) double floor8(const double* X, int32_t T, int32_t M, int32_t N,
                                                 const int32_t* order) {
    return floorOf<Work, 8>(X, T, M, N, order);
}
template <template <int> class Work>
__attribute__((target("avx2"))) double floor4(const double* X, int32_t T, int32_t M, int32_t N,
                                              const int32_t* order) {
    return floorOf<Work, 4>(X, T, M, N, order);
}
#endif

// The floor on the widest vectors the processor has.
template <template <int> class Work>
double onWidest(const double* X, int32_t T, int32_t M, int32_t N, const int32_t* order) {
#if defined(__x86_64__)
    __builtin_cpu_init();
    if (__builtin_cpu_supports("avx512f")) return floor8<Work>(X, T, M, N, order);
    if (__builtin_cpu_supports("avx2")) return floor4<Work>(X, T, M, N, order);
#endif
    return floorOf<Work, 2>(X, T, M, N, order);
}

}  // namespace

namespace {

// The average's recurrence on NV vectors of W lanes held in registers.
template <int W, int NV>
ALWAYS_INLINE double averageOn(int32_t T) {
    typedef typename Vec<W>::V V;
    V w[NV], wbar[NV];
    for (int v = 0; v < NV; ++v)
        for (int i = 0; i < W; ++i) {
            w[v][i] = 1.0 + (v * W + i) * 0x1p-10;
            wbar[v][i] = 0.0;
        }
    for (int32_t t = 1; t <= T; ++t) {
        const double tD = t, previous = t - 1;
        for (int v = 0; v < NV; ++v) wbar[v] = (previous * wbar[v] + w[v]) / tD;
    }
    double sum = 0.0;
    for (int v = 0; v < NV; ++v)
        for (int i = 0; i < W; ++i) sum += wbar[v][i];
    return sum;
}

template <int W>
ALWAYS_INLINE double averageOfVectors(int32_t T, int32_t M) {
    switch ((M + W - 1) / W) {
        case 1: return averageOn<W, 1>(T);
        case 2: return averageOn<W, 2>(T);
        case 3: return averageOn<W, 3>(T);
        case 4: return averageOn<W, 4>(T);
        case 5: return averageOn<W, 5>(T);
        case 6: return averageOn<W, 6>(T);
        case 7: return averageOn<W, 7>(T);
        case 8: return averageOn<W, 8>(T);
        case 9: return averageOn<W, 9>(T);
        case 10: return averageOn<W, 10>(T);
        case 11: return averageOn<W, 11>(T);
        case 12: return averageOn<W, 12>(T);
        default: return averageOn<W, 13>(T);  // up to 104 features with 8 lanes
    }
}

#if defined(__x86_64__)
__attribute__((target("avx512f"))) double average8(int32_t T, int32_t M) {
    return averageOfVectors<8>(T, M);
}
__attribute__((target("avx2"))) double average4(int32_t T, int32_t M) {
    return averageOfVectors<4>(T, M);
}
#endif

}  // namespace

double averageFloor(int32_t T, int32_t M) {
#if defined(__x86_64__)
    __builtin_cpu_init();
    if (__builtin_cpu_supports("avx512f")) return average8(T, M);
    if (__builtin_cpu_supports("avx2")) return average4(T, M);
#endif
    return averageOfVectors<2>(T, M);
}

double readOnceFloor(const double* X, int32_t T, int32_t M, int32_t N, const int32_t* order) {
    return onWidest<ReadOnce>(X, T, M, N, order);
}

double weightsFloor(const double* X, int32_t T, int32_t M, int32_t N, const int32_t* order) {
    return onWidest<ScaleWeights>(X, T, M, N, order);
}
