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

template <int W>
struct Vec {
    typedef double V __attribute__((vector_size(8 * W)));
};

template <int W>
ALWAYS_INLINE double readColumns(const double* X, int32_t T, int32_t M, int32_t N,
                                 const int32_t* order) {
    typedef typename Vec<W>::V V;
    V acc0 = {}, acc1 = {};
    double tail = 0.0;
    const int32_t ahead = pellumar::samplesAhead(M);
    int32_t now = 1 % N, later = static_cast<int32_t>((1 + static_cast<int64_t>(ahead)) % N);
    for (int32_t t = 1; t <= T; ++t) {
        const double* x = X + static_cast<int64_t>(order[now]) * M;
        if (t <= T - ahead) {
            pellumar::prefetchColumnFrom(X + static_cast<int64_t>(order[later]) * M, 0, M);
        }
        int64_t k = 0;
        for (; k + 2 * W <= M; k += 2 * W) {
            V a, b;
            std::memcpy(&a, x + k, sizeof a);
            std::memcpy(&b, x + k + W, sizeof b);
            acc0 += a;
            acc1 += b;
        }
        for (; k < M; ++k) tail += x[k];
        if (++now == N) now = 0;
        if (++later == N) later = 0;
    }
    acc0 += acc1;
    double sum = tail;
    for (int i = 0; i < W; ++i) sum += acc0[i];
    return sum;
}

template <int W>
ALWAYS_INLINE double scaleWeights(const double* X, int32_t T, int32_t M, int32_t N,
                                  const int32_t* order) {
    typedef typename Vec<W>::V V;
    std::vector<double> weights(static_cast<size_t>(M), 1.0);
    double* w = weights.data();
    const int32_t ahead = pellumar::samplesAhead(M);
    int32_t now = 1 % N, later = static_cast<int32_t>((1 + static_cast<int64_t>(ahead)) % N);
    double decay = 1.0 - 0x1p-40, total = 0.0;
    for (int32_t t = 1; t <= T; ++t) {
        const double* x = X + static_cast<int64_t>(order[now]) * M;
        if (t <= T - ahead) {
            pellumar::prefetchColumnFrom(X + static_cast<int64_t>(order[later]) * M, 0, M);
        }
        V acc0 = {}, acc1 = {};
        double dot = 0.0;
        int64_t k = 0;
        for (; k + 2 * W <= M; k += 2 * W) {
            V a, b, wa, wb;
            std::memcpy(&a, x + k, sizeof a);
            std::memcpy(&b, x + k + W, sizeof b);
            std::memcpy(&wa, w + k, sizeof wa);
            std::memcpy(&wb, w + k + W, sizeof wb);
            wa *= decay;
            wb *= decay;
            std::memcpy(w + k, &wa, sizeof wa);
            std::memcpy(w + k + W, &wb, sizeof wb);
            acc0 += wa * a;
            acc1 += wb * b;
        }
        for (; k < M; ++k) {
            w[k] *= decay;
            dot += w[k] * x[k];
        }
        acc0 += acc1;
        for (int i = 0; i < W; ++i) dot += acc0[i];
        // The next iteration depends on this one's dot product, as a run's does.
        decay = dot < 1e300 ? 1.0 - 0x1p-40 : 1.0 - 0x1p-41;
        total += dot;
        if (++now == N) now = 0;
        if (++later == N) later = 0;
    }
    return total;
}

#if defined(__x86_64__)
__attribute__((target("avx512f"))) double weights8(const double* X, int32_t T, int32_t M,
                                                   int32_t N, const int32_t* order) {
    return scaleWeights<8>(X, T, M, N, order);
}
__attribute__((target("avx2"))) double weights4(const double* X, int32_t T, int32_t M, int32_t N,
                                               const int32_t* order) {
    return scaleWeights<4>(X, T, M, N, order);
}
__attribute__((target("avx512f"))) double read8(const double* X, int32_t T, int32_t M, int32_t N,
                                               const int32_t* order) {
    return readColumns<8>(X, T, M, N, order);
}
__attribute__((target("avx2"))) double read4(const double* X, int32_t T, int32_t M, int32_t N,
                                            const int32_t* order) {
    return readColumns<4>(X, T, M, N, order);
}
#endif

}  // namespace

double readOnceFloor(const double* X, int32_t T, int32_t M, int32_t N, const int32_t* order) {
#if defined(__x86_64__)
    __builtin_cpu_init();
    if (__builtin_cpu_supports("avx512f")) return read8(X, T, M, N, order);
    if (__builtin_cpu_supports("avx2")) return read4(X, T, M, N, order);
#endif
    return readColumns<2>(X, T, M, N, order);
}

double weightsFloor(const double* X, int32_t T, int32_t M, int32_t N, const int32_t* order) {
#if defined(__x86_64__)
    __builtin_cpu_init();
    if (__builtin_cpu_supports("avx512f")) return weights8(X, T, M, N, order);
    if (__builtin_cpu_supports("avx2")) return weights4(X, T, M, N, order);
#endif
    return scaleWeights<2>(X, T, M, N, order);
}
