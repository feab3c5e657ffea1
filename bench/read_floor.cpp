// The floors of the benchmark, in vector lanes (the widest the processor
// has), in the run's visiting order, with the run's prefetching:
//   read-once: every visited column read once per iteration and summed. A
//     training run reads each visited column at least once, so this is what
//     memory alone allows.
//   weights: the same, and the weights scaled and dotted with the column, as
//     every iteration of a run must do, each iteration waiting on the dot
//     product of the one before; no subgradient, no average. What a run
//     costs before it computes its average.
#include <cstdint>
#include <cstring>
#include <vector>

#include "prefetch.h"

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

double readOnceFloor(const double* X, int32_t T, int32_t M, int32_t N, const int32_t* order) {
    return onWidest<ReadOnce>(X, T, M, N, order);
}

double weightsFloor(const double* X, int32_t T, int32_t M, int32_t N, const int32_t* order) {
    return onWidest<ScaleWeights>(X, T, M, N, order);
}
