// The iterations of a run with few features, the weights and their average
// held in vector registers from the first iteration to the last: the
// definitions of register_kernels.h's kernels, for each instruction set.
// Included by register_kernels.cpp and register_kernels_bias.cpp, which
// compile them without and with the bias feature.
#ifndef PELLUMAR_REGISTER_RUN_H
#define PELLUMAR_REGISTER_RUN_H

#include <cmath>
#include <cstdint>
#include <cstring>

#include "platform/exact_arithmetic.h"
#include "run/fused_pass.h"
#include "platform/lanes.h"
#include "run/margin_decision.h"
#include "platform/prefetch.h"
#include "run/register_kernels.h"
#include "run/schedule.h"

#if defined(PELLUMAR_X86_LANES)
#include <immintrin.h>
#elif defined(PELLUMAR_ARM_LANES)
#include <arm_neon.h>
#endif

namespace pellumar {
namespace {

// With a handful of features, the general pass spends its time on what is
// not arithmetic: loops and tails sized at run time, accumulators of zeros,
// the weights' round trip through memory each iteration (the average's
// recurrence then waits on store-to-load forwarding), and a square root and
// a division for the step numbers in the middle of it all. Here the loop is
// compiled for each number of vectors NV of W lanes: the weights w and their
// average wbar are NV registers each, loaded once and stored once per
// stretch of iterations.
//
// Vectors 0 .. NV-2 hold features 0 .. (NV-1)W - 1. The last holds the W
// features that end the column, M-W .. M-1, read by one load that ends at
// the column's end, never past it: where it repeats features of the vector
// before (the first NV*W - M of its lanes), those lanes are made +0.0 in the
// column and in w by a mask. Every lane performs the scalar update's IEEE
// operations in its order, and a lane of zeros stays +0.0 (the mask holds it
// there in w, whose update could make a NaN of 0 times an infinite label), so
// the repeated lanes change nothing.
//
// With Bias, the constant feature 1.0 that follows the stored ones has its
// weight and average in two scalars beside the vectors, updated as a stored
// feature is and summed last in the in-order dot product.

// Unrolled<N>::run(f) calls f(0), ..., f(N-1), each inlined, so that every
// index into the register arrays is a constant.
template <int N>
struct Unrolled {
    template <class F>
    static ALWAYS_INLINE void run(F&& f) {
        Unrolled<N - 1>::run(f);
        f(N - 1);
    }
};
template <>
struct Unrolled<0> {
    template <class F>
    static ALWAYS_INLINE void run(F&&) {}
};

// The step numbers of a block of iterations, computed ahead: for
// t = tFirst, tFirst + 1, ...
//     tD = t,  step = eta0 / sqrt(t),  decay = 1 - step*lambda,  previous = t - 1
// each rounded as the general loop rounds it. Out of the iterations, and a
// vector at a time, the square roots and divisions no longer compete with
// the average's divisions for the divider. Each path fills them with its own
// square root instruction (the Steps below): Steps::fill(block, tFirst,
// count, eta0, lambda).
constexpr int kStepBlock = 64;
struct StepBlock {
    double tD[kStepBlock], step[kStepBlock], decay[kStepBlock], previous[kStepBlock];
};

// The run's iterations tFirst .. tLast for a column of M features,
// (NV-1)W < M <= NV*W, M >= W. InOrder: every margin from the in-order sum,
// computed from the registers (cheaper than the certified test when the sum
// is a few additions long). Otherwise, as in the general loop, the certified
// test on a dot product with the next column in lanes, and the in-order sum
// only when that test is unsure.
template <int W, int NV, bool InOrder, bool Bias, class Steps>
ALWAYS_INLINE void registerRun(RunState& r, int32_t tFirst, int32_t tLast) {
    typedef Lanes<W> L;
    typedef typename L::V V;
    // The run's numbers and positions in locals: kept in the RunState, the
    // positions would go back to memory every iteration, since the compiler
    // must assume that the order it reads may alias them.
    const double* const X = r.X;
    const double* const labels = r.y;
    const int32_t* const order = r.order;
    double* const wOut = r.w;
    double* const wbarOut = r.wbar;
    const int64_t M = r.M;
    const int32_t N = r.N, T = r.T, lastPrefetched = r.T - r.ahead;
    const double eta0 = r.eta0, lambda = r.lambda;
    int32_t now = r.now, next = r.next, later = r.later;
    DotEstimate estimate = r.estimate;
    bool haveEstimate = r.haveEstimate;
    const auto column = [&](int32_t f) INLINE_LAMBDA { return X + static_cast<ptrdiff_t>(f) * M; };

    const int64_t lastAt = M - W;  // where the last vector starts
    // With one vector, M = W and no lane repeats: no mask is applied.
    const typename L::Mask mask = L::keepFrom(static_cast<int>(NV * W - M));
    const auto at = [&](int v) INLINE_LAMBDA { return v == NV - 1 ? lastAt : int64_t{v} * W; };

    V w[NV], wbar[NV], x[NV];
    Unrolled<NV>::run([&](int v) INLINE_LAMBDA {
        w[v] = L::load(wOut + at(v));
        wbar[v] = L::load(wbarOut + at(v));
    });
    if (NV > 1) {
        w[NV - 1] = L::keep(w[NV - 1], mask);
        wbar[NV - 1] = L::keep(wbar[NV - 1], mask);
    }
    // The bias weight and its average (unused without Bias).
    double wB = Bias ? wOut[M] : 0.0, wbarB = Bias ? wbarOut[M] : 0.0;
    const int64_t terms = M + (Bias ? 1 : 0);  // of the margin's dot product
    const auto loadColumn = [&](const double* x0) INLINE_LAMBDA {
        Unrolled<NV>::run([&](int v) INLINE_LAMBDA { x[v] = L::load(x0 + at(v)); });
        if (NV > 1) x[NV - 1] = L::keep(x[NV - 1], mask);
    };
    // The margin's dot product as dotInOrder() sums it: 0.0, then each term
    // in index order. The repeated lanes add +0.0 terms, which leave every
    // sum as it was (a sum that starts at +0.0 is never -0.0).
    const auto inOrder = [&]() INLINE_LAMBDA {
        double dot = 0.0;
        Unrolled<NV>::run([&](int v) INLINE_LAMBDA {
            const V terms = w[v] * x[v];
            Unrolled<W>::run([&](int i) INLINE_LAMBDA { dot = dot + L::lane(terms, i); });
        });
        if (Bias) dot = dot + wB * 1.0;
        return dot;
    };

    StepBlock block;
    int32_t blockFirst = tFirst;
    int blockSize = 0;
    bool haveColumn = false;  // x holds the column of this iteration's sample
    for (int32_t t = tFirst;; ++t) {
        if (t - blockFirst == blockSize) {
            blockFirst = t;
            const int64_t left = int64_t{tLast} - t + 1;
            blockSize = left < kStepBlock ? static_cast<int>(left) : kStepBlock;
            Steps::fill(block, t, blockSize, eta0, lambda);
        }
        const int i = t - blockFirst;
        const int32_t f = order[now];
        const double yf = labels[f];
        if (!haveColumn) loadColumn(column(f));

        MarginSide side = !InOrder && haveEstimate
                              ? marginSide(estimate.dot, estimate.absSum, terms, yf)
                              : MarginSide::Unsure;
        if (side == MarginSide::Unsure)  // a NaN margin is not below
            side = inOrder() * yf < 1.0 ? MarginSide::Below : MarginSide::NotBelow;

        const V decay = L::splat(block.decay[i]), step = L::splat(block.step[i]);
        if (side == MarginSide::Below) {
            const V y = L::splat(yf);
            Unrolled<NV>::run(
                [&](int v) INLINE_LAMBDA { w[v] = decay * w[v] - step * (-(y * x[v])); });
            if (Bias) wB = block.decay[i] * wB - block.step[i] * (-(yf * 1.0));
        } else {
            const V moved = L::splat(block.step[i] * 0.0);
            Unrolled<NV>::run([&](int v) INLINE_LAMBDA { w[v] = decay * w[v] - moved; });
            if (Bias) wB = block.decay[i] * wB - block.step[i] * 0.0;
        }
        if (NV > 1) w[NV - 1] = L::keep(w[NV - 1], mask);
        const V previous = L::splat(block.previous[i]), tD = L::splat(block.tD[i]);
        Unrolled<NV>::run(
            [&](int v) INLINE_LAMBDA { wbar[v] = (previous * wbar[v] + w[v]) / tD; });
        if (Bias) wbarB = (block.previous[i] * wbarB + wB) / block.tD[i];

        if (t <= lastPrefetched) {
            const int32_t fLater = order[later];
            prefetchColumnFrom(column(fLater), 0, M);
            prefetchLine(labels + fLater);
        }
        haveColumn = false;
        if (!InOrder && t < T) {
            // The next sample's dot product with the new weights, in lanes,
            // for the certified test; its column stays in x for its turn.
            loadColumn(column(order[next]));
            V dot = w[0] * x[0];
            V absSum = L::magnitude(dot);
            Unrolled<NV - 1>::run([&](int v) INLINE_LAMBDA {
                const V term = w[v + 1] * x[v + 1];
                dot += term;
                absSum += L::magnitude(term);
            });
            estimate.dot = Fold<W>::sum(dot);
            estimate.absSum = Fold<W>::sum(absSum);
            if (Bias) {
                estimate.dot += wB * 1.0;
                estimate.absSum += std::fabs(wB * 1.0);
            }
            haveEstimate = true;
            haveColumn = true;
        }
        if (++now == N) now = 0;
        if (++next == N) next = 0;
        if (++later == N) later = 0;
        if (t == tLast) break;
    }
    r.now = now;
    r.next = next;
    r.later = later;
    r.estimate = estimate;
    // An in-order kernel leaves no estimate for whatever path runs next.
    r.haveEstimate = InOrder ? false : haveEstimate;
    if (Bias) {
        wOut[M] = wB;
        wbarOut[M] = wbarB;
    }
    // The last vector first: the others then write the features it repeats.
    L::store(wOut + lastAt, w[NV - 1]);
    L::store(wbarOut + lastAt, wbar[NV - 1]);
    Unrolled<NV - 1>::run([&](int v) INLINE_LAMBDA {
        L::store(wOut + at(v), w[v]);
        L::store(wbarOut + at(v), wbar[v]);
    });
}

// Which kernel runs M features. W is a power of two, at most the path's
// lanes and at most M, so that the last vector's load stays within the
// column; NV vectors of it hold the column.
constexpr int widthFor(int maxW, int64_t M) {
    int w = 1;
    while (w * 2 <= maxW && w * 2 <= M) w *= 2;
    return w;
}
constexpr int vectorsFor(int maxW, int64_t M) {
    return static_cast<int>((M + widthFor(maxW, M) - 1) / widthFor(maxW, M));
}

template <int MaxW, bool Bias, class Steps, int M>
ALWAYS_INLINE void fewFeatures(RunState& r, int32_t tFirst, int32_t tLast) {
    registerRun<widthFor(MaxW, M), vectorsFor(MaxW, M), true, Bias, Steps>(r, tFirst, tLast);
}

template <int W, bool InOrder, bool Bias, class Steps>
ALWAYS_INLINE bool vectorsOf(int64_t NV, RunState& r, int32_t tFirst, int32_t tLast) {
    switch (NV) {
        case 2: registerRun<W, 2, InOrder, Bias, Steps>(r, tFirst, tLast); return true;
        case 3: registerRun<W, 3, InOrder, Bias, Steps>(r, tFirst, tLast); return true;
        case 4: registerRun<W, 4, InOrder, Bias, Steps>(r, tFirst, tLast); return true;
        case 5: registerRun<W, 5, InOrder, Bias, Steps>(r, tFirst, tLast); return true;
        case 6: registerRun<W, 6, InOrder, Bias, Steps>(r, tFirst, tLast); return true;
        case 7: registerRun<W, 7, InOrder, Bias, Steps>(r, tFirst, tLast); return true;
        case 8: registerRun<W, 8, InOrder, Bias, Steps>(r, tFirst, tLast); return true;
        default: return false;
    }
}

// Runs iterations tFirst .. tLast in registers and returns true, or returns
// false, having run nothing, when M is beyond the limits: margins from the
// in-order sum up to limits.inOrderFeatures, in vectors of InOrderW lanes;
// the certified test above that, in vectors of CertifiedW lanes.
template <int InOrderW, int CertifiedW, bool Bias, class Steps>
ALWAYS_INLINE bool runInRegistersWith(RunState& r, int32_t tFirst, int32_t tLast,
                                      RegisterLimits limits) {
    const int64_t M = r.M;
    if (M < 1 || M > limits.registerFeatures) return false;
    switch (M) {  // up to 8 features: every width up to InOrderW fits
        case 1: fewFeatures<InOrderW, Bias, Steps, 1>(r, tFirst, tLast); return true;
        case 2: fewFeatures<InOrderW, Bias, Steps, 2>(r, tFirst, tLast); return true;
        case 3: fewFeatures<InOrderW, Bias, Steps, 3>(r, tFirst, tLast); return true;
        case 4: fewFeatures<InOrderW, Bias, Steps, 4>(r, tFirst, tLast); return true;
        case 5: fewFeatures<InOrderW, Bias, Steps, 5>(r, tFirst, tLast); return true;
        case 6: fewFeatures<InOrderW, Bias, Steps, 6>(r, tFirst, tLast); return true;
        case 7: fewFeatures<InOrderW, Bias, Steps, 7>(r, tFirst, tLast); return true;
        case 8: fewFeatures<InOrderW, Bias, Steps, 8>(r, tFirst, tLast); return true;
        default: break;
    }
    if (M <= limits.inOrderFeatures)
        return vectorsOf<InOrderW, true, Bias, Steps>((M + InOrderW - 1) / InOrderW, r, tFirst,
                                                      tLast);
    return vectorsOf<CertifiedW, false, Bias, Steps>((M + CertifiedW - 1) / CertifiedW, r,
                                                     tFirst, tLast);
}

// The step numbers of a block, filled with each path's square root: a
// vector of them per instruction where the path has one.
struct ScalarSteps {
    static void fill(StepBlock& b, int32_t tFirst, int count, double eta0, double lambda) {
        for (int i = 0; i < count; ++i) {
            // t and t - 1 are below 2^31: exact in a double.
            const double tD = static_cast<double>(int64_t{tFirst} + i);
            const Schedule at = scheduleAt(eta0, lambda, tD);
            b.tD[i] = tD;
            b.step[i] = at.step;
            b.decay[i] = at.decay;
            b.previous[i] = tD - 1.0;
        }
    }
};

#if defined(PELLUMAR_LANES)
// The same in W lanes, SQRT(v) being the instruction's correctly rounded
// square root of the vector v. A macro, not a template: each path's fill
// must be compiled for that path's target as a whole, and a template can't
// take its target as a parameter. kStepBlock is a multiple of W, so whole
// vectors fit. It calls no function of another target with vectors (clang
// refuses such calls): a vector plus a scalar broadcasts the scalar, memcpy
// stores.
#define PELLUMAR_FILL_STEPS(W, SQRT)                                                   \
    do {                                                                           \
        typedef VectorOf<W>::V V;                                                  \
        const V zeros = {};                                                        \
        const V ones = zeros + 1.0, eta0s = zeros + eta0, lambdas = zeros + lambda; \
        V tD;                                                                      \
        for (int j = 0; j < W; ++j) tD[j] = static_cast<double>(int64_t{tFirst} + j); \
        for (int i = 0; i < count; i += W, tD += static_cast<double>(W)) {         \
            const V step = eta0s / SQRT(tD);                                       \
            const V decay = ones - step * lambdas, previous = tD - ones;           \
            std::memcpy(b.tD + i, &tD, sizeof tD);                                 \
            std::memcpy(b.step + i, &step, sizeof step);                           \
            std::memcpy(b.decay + i, &decay, sizeof decay);                        \
            std::memcpy(b.previous + i, &previous, sizeof previous);               \
        }                                                                          \
    } while (false)
#endif

#if defined(PELLUMAR_X86_LANES)
struct Sse2Steps {
    static void fill(StepBlock& b, int32_t tFirst, int count, double eta0, double lambda) {
#define PELLUMAR_SQRT2(v) reinterpret_cast<v2d>(_mm_sqrt_pd(reinterpret_cast<__m128d>(v)))
        PELLUMAR_FILL_STEPS(2, PELLUMAR_SQRT2);
    }
};

struct Avx2Steps {
    __attribute__((target("avx2"))) static void fill(StepBlock& b, int32_t tFirst, int count,
                                                     double eta0, double lambda) {
#define PELLUMAR_SQRT4(v) reinterpret_cast<v4d>(_mm256_sqrt_pd(reinterpret_cast<__m256d>(v)))
        PELLUMAR_FILL_STEPS(4, PELLUMAR_SQRT4);
    }
};

struct Avx512Steps {
    __attribute__((target("avx512f,avx512vl"))) static void fill(StepBlock& b, int32_t tFirst,
                                                                 int count, double eta0,
                                                                 double lambda) {
#define PELLUMAR_SQRT8(v) \
    reinterpret_cast<v8d>(_mm512_maskz_sqrt_pd(0xFF, reinterpret_cast<__m512d>(v)))
        PELLUMAR_FILL_STEPS(8, PELLUMAR_SQRT8);
    }
};
#elif defined(PELLUMAR_ARM_LANES)
struct NeonSteps {
    static void fill(StepBlock& b, int32_t tFirst, int count, double eta0, double lambda) {
#define PELLUMAR_SQRT_NEON(v) reinterpret_cast<v2d>(vsqrtq_f64(reinterpret_cast<float64x2_t>(v)))
        PELLUMAR_FILL_STEPS(2, PELLUMAR_SQRT_NEON);
    }
};
#endif

}  // namespace

// Each path's kernels: the in-order width, the certified test's width, the
// path's square root and its limits. Each member carries its declaration's
// target, so that the kernels inlined into it are compiled for that path.
template <bool Bias>
bool RegisterKernels<Bias>::portable(RunState& r, int32_t tFirst, int32_t tLast) {
    return runInRegistersWith<1, 1, Bias, ScalarSteps>(r, tFirst, tLast, kPortableLimits);
}

#if defined(PELLUMAR_X86_LANES)
template <bool Bias>
bool RegisterKernels<Bias>::sse2(RunState& r, int32_t tFirst, int32_t tLast) {
    return runInRegistersWith<2, 2, Bias, Sse2Steps>(r, tFirst, tLast, kSse2Limits);
}

template <bool Bias>
__attribute__((target("avx2"))) bool RegisterKernels<Bias>::avx2(RunState& r, int32_t tFirst,
                                                                 int32_t tLast) {
    return runInRegistersWith<4, 4, Bias, Avx2Steps>(r, tFirst, tLast, kAvx2Limits);
}

template <bool Bias>
__attribute__((target("avx512f,avx512vl"))) bool RegisterKernels<Bias>::avx512(RunState& r,
                                                                               int32_t tFirst,
                                                                               int32_t tLast) {
    return runInRegistersWith<4, 8, Bias, Avx512Steps>(r, tFirst, tLast, kAvx512Limits);
}
#elif defined(PELLUMAR_ARM_LANES)
template <bool Bias>
bool RegisterKernels<Bias>::neon(RunState& r, int32_t tFirst, int32_t tLast) {
    return runInRegistersWith<2, 2, Bias, NeonSteps>(r, tFirst, tLast, kNeonLimits);
}
#endif

}  // namespace pellumar

#endif
