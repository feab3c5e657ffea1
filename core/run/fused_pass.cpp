#include "platform/exact_arithmetic.h"  // before everything else (see there)

#include "run/fused_pass.h"

#include <cmath>
#include <iterator>

#include "run/dot_in_order.h"
#include "platform/lanes.h"
#include "run/margin_decision.h"
#include "platform/prefetch.h"
#include "run/register_kernels.h"
#include "run/schedule.h"

namespace pellumar {
namespace {

// The per-iteration numbers the pass applies to every feature k:
//   g       = below ? -(y*x[k]) : +0.0
//   w[k]    = decay*w[k] - step*g
//   wbar[k] = (previous*wbar[k] + w[k]) / tD
struct StepNumbers {
    double y, step, decay, previous, tD;
    bool below;  // the sample's margin was below 1.0
};

// The update of one feature, exactly as the scalar definition has it. Every
// vector lane below performs these same IEEE operations in this same order.
inline void updateOne(double* w, double* wbar, const double* x, int64_t k, const StepNumbers& s,
                      double movedWhenZero) {
    const double moved = s.below ? s.step * (-(s.y * x[k])) : movedWhenZero;
    const double wk = s.decay * w[k] - moved;
    w[k] = wk;
    wbar[k] = (s.previous * wbar[k] + wk) / s.tD;
}

// Without vector extensions: the same pass one feature at a time. Every
// build has it; compilers other than GCC and clang get only this.
template <bool Below, bool Next>
DotEstimate passPortable(double* w, double* wbar, const double* x, const double* xNext,
                         const double*, int64_t M, const StepNumbers& s) {
    const double movedWhenZero = s.step * 0.0;
    DotEstimate e;
    for (int64_t k = 0; k < M; ++k) {
        updateOne(w, wbar, x, k, s, movedWhenZero);
        if (Next) {
            const double term = w[k] * xNext[k];
            e.dot += term;
            e.absSum += std::fabs(term);
        }
    }
    return e;
}

#if defined(PELLUMAR_LANES)
// W features at k. The subgradient and the weight update are lane-wise
// copies of updateOne(); the dot product terms go to the lane accumulators.
template <int W, bool Below, bool Next, class V = typename Lanes<W>::V>
ALWAYS_INLINE void updateLanes(double* w, double* wbar, const double* x, const double* xNext,
                               int64_t k, const V& y, const V& step, const V& decay,
                               const V& previous, const V& tD, const V& movedWhenZero,
                               V& dot, V& absSum) {
    typedef Lanes<W> L;
    V moved = movedWhenZero;
    if (Below) moved = step * (-(y * L::load(x + k)));
    const V wk = decay * L::load(w + k) - moved;
    L::store(w + k, wk);
    L::store(wbar + k, (previous * L::load(wbar + k) + wk) / tD);
    if (Next) {
        const V term = wk * L::load(xNext + k);
        dot += term;
        absSum += L::magnitude(term);
    }
}

// The last features of a column, fewer than 2W: one vector of W if that many
// remain, then one of W/2, and so on down to a single feature (W = 1, a plain
// double). A column of
// 100 thus ends in one vector of four instead of four scalar updates, each
// with its own division.
template <int W, bool Below, bool Next>
struct Tail {
    static ALWAYS_INLINE void run(double* w, double* wbar, const double* x, const double* xNext,
                                  int64_t& k, int64_t M, const StepNumbers& s, DotEstimate& e) {
        typedef Lanes<W> L;
        typedef typename L::V V;
        if (k + W <= M) {
            V dot = L::splat(0.0), absSum = dot;
            updateLanes<W, Below, Next>(w, wbar, x, xNext, k, L::splat(s.y), L::splat(s.step),
                                        L::splat(s.decay), L::splat(s.previous), L::splat(s.tD),
                                        L::splat(s.step * 0.0), dot, absSum);
            if (Next) {
                e.dot += Fold<W>::sum(dot);
                e.absSum += Fold<W>::sum(absSum);
            }
            k += W;
        }
        Tail<W / 2, Below, Next>::run(w, wbar, x, xNext, k, M, s, e);
    }
};
template <bool Below, bool Next>
struct Tail<0, Below, Next> {
    static ALWAYS_INLINE void run(double*, double*, const double*, const double*, int64_t&,
                                  int64_t, const StepNumbers&, DotEstimate&) {}
};

template <int W, bool Below, bool Next>
ALWAYS_INLINE DotEstimate passBody(double* w, double* wbar, const double* x, const double* xNext,
                                   const double* xAfter, int64_t M, const StepNumbers& s) {
    typedef Lanes<W> L;
    typedef typename L::V V;
    const V y = L::splat(s.y), step = L::splat(s.step), decay = L::splat(s.decay);
    const V previous = L::splat(s.previous), tD = L::splat(s.tD), moved0 = L::splat(s.step * 0.0);
    V dot0 = L::splat(0.0), dot1 = dot0, abs0 = dot0, abs1 = dot0;
    int64_t k = 0;
    // Sixteen features (two cache lines) per round, in two independent
    // chains of dot product accumulators.
    for (; k + 16 <= M; k += 16) {
        if (xAfter) {
            prefetchLine(xAfter + k);
            prefetchLine(xAfter + k + 8);
        }
        for (int part = 0; part < 16; part += 2 * W) {
            updateLanes<W, Below, Next>(w, wbar, x, xNext, k + part, y, step, decay, previous, tD,
                                        moved0, dot0, abs0);
            updateLanes<W, Below, Next>(w, wbar, x, xNext, k + part + W, y, step, decay, previous,
                                        tD, moved0, dot1, abs1);
        }
    }
    if (xAfter) prefetchColumnFrom(xAfter, k, M);
    for (; k + W <= M; k += W)
        updateLanes<W, Below, Next>(w, wbar, x, xNext, k, y, step, decay, previous, tD, moved0,
                                    dot0, abs0);
    DotEstimate e;
    Tail<W / 2, Below, Next>::run(w, wbar, x, xNext, k, M, s, e);
    if (Next) {
        e.dot += Fold<W>::sum(dot0 + dot1);
        e.absSum += Fold<W>::sum(abs0 + abs1);
    }
    return e;
}

// One pass of W lanes, as the loop below takes it.
template <int W>
struct VectorPass {
    template <bool Below, bool Next>
    static ALWAYS_INLINE DotEstimate run(double* w, double* wbar, const double* x,
                                         const double* xNext, const double* xAfter, int64_t M,
                                         const StepNumbers& s) {
        return passBody<W, Below, Next>(w, wbar, x, xNext, xAfter, M, s);
    }
};
#endif  // GCC vector extensions

struct PortablePass {
    template <bool Below, bool Next>
    static ALWAYS_INLINE DotEstimate run(double* w, double* wbar, const double* x,
                                         const double* xNext, const double* xAfter, int64_t M,
                                         const StepNumbers& s) {
        return passPortable<Below, Next>(w, wbar, x, xNext, xAfter, M, s);
    }
};

// Each iteration t is, for every feature k and with g the hinge-loss
// subgradient of sample f = order[t mod N] at the weights before the update:
//     step = eta0 / sqrt(t),  decay = 1 - step*lambda
//     w[k]    = decay*w[k] - step*g[k]
//     wbar[k] = ((t-1)*wbar[k] + w[k]) / t
// hingeSubgradient() is the direct form. Here the three passes per iteration
// (dot product, weight update, average update) become one: the pass that
// updates the weights for sample t also accumulates their dot product with
// sample t+1, in vector lanes. That reordered sum only ever decides which side
// of 1.0 the margin falls on, and only when its error bound proves that the
// in-order sum falls on the same side (marginSide()); otherwise the in-order
// sum is computed. The subgradient is never stored: g[k] is formed in the
// update itself. Every value written is therefore bit for bit the direct form's.
//
// The loop is inlined into one function per path with the pass it drives:
// at 100 features a call and a path switch per iteration cost about 15%.
template <class Pass>
ALWAYS_INLINE void iterate(RunState& r, int32_t tFirst, int32_t tLast) {
    // The exit test sits at the bottom so that tLast = INT32_MAX ends without
    // the counter overflowing.
    for (int32_t t = tFirst;; ++t) {
        const int32_t f = r.order[r.now];
        const double* x = r.column(f);
        const double yf = r.y[f];

        MarginSide side = r.haveEstimate ? marginSide(r.estimate.dot, r.estimate.absSum,
                                                      r.M + (r.bias ? 1 : 0), yf)
                                         : MarginSide::Unsure;
        if (side == MarginSide::Unsure) {
            double dot = dotInOrder(r.w, x, static_cast<int32_t>(r.M));
            if (r.bias) dot = dot + r.w[r.M] * 1.0;  // the bias term, last in index order
            const double margin = dot * yf;
            side = margin < 1.0 ? MarginSide::Below : MarginSide::NotBelow;  // NaN: not below
        }

        StepNumbers s;
        s.y = yf;
        s.tD = static_cast<double>(t);
        const Schedule at = scheduleAt(r.eta0, r.lambda, s.tD);
        s.step = at.step;
        s.decay = at.decay;
        s.previous = static_cast<double>(t - 1);
        s.below = side == MarginSide::Below;

        const double* xNext = t < r.T ? r.column(r.order[r.next]) : nullptr;
        const double* xAfter = nullptr;
        if (t <= r.T - r.ahead) {
            const int32_t fLater = r.order[r.later];
            xAfter = r.column(fLater);
            prefetchLine(r.y + fLater);  // its label is needed first
        }
        double* const w = r.w;
        double* const wbar = r.wbar;
        const int64_t M = r.M;
        if (xNext) {
            r.estimate = s.below ? Pass::template run<true, true>(w, wbar, x, xNext, xAfter, M, s)
                                 : Pass::template run<false, true>(w, wbar, x, xNext, xAfter, M, s);
            r.haveEstimate = true;
        } else if (s.below) {
            Pass::template run<true, false>(w, wbar, x, xNext, xAfter, M, s);
        } else {
            Pass::template run<false, false>(w, wbar, x, xNext, xAfter, M, s);
        }
        if (r.bias) {
            // Feature M, of value 1.0, as updateOne() updates a stored one;
            // its term joins the next sample's estimate.
            static const double one = 1.0;
            updateOne(w + M, wbar + M, &one, 0, s, s.step * 0.0);
            if (xNext) {
                const double term = w[M] * one;
                r.estimate.dot += term;
                r.estimate.absSum += std::fabs(term);
            }
        }
        if (++r.now == r.N) r.now = 0;
        if (++r.next == r.N) r.next = 0;
        if (++r.later == r.N) r.later = 0;
        if (t == tLast) break;
    }
}

// Each path's loop: its register kernels (register_kernels.h) when the run
// has few enough features, the general loop otherwise. The kernels compile
// in files of their own, so that the general loop here compiles as it would
// alone.
void iteratePortable(RunState& r, int32_t tFirst, int32_t tLast) {
    const bool done = r.bias ? RegisterKernels<true>::portable(r, tFirst, tLast)
                             : RegisterKernels<false>::portable(r, tFirst, tLast);
    if (!done) iterate<PortablePass>(r, tFirst, tLast);
}

#if defined(PELLUMAR_X86_LANES)
void iterateSse2(RunState& r, int32_t tFirst, int32_t tLast) {
    const bool done = r.bias ? RegisterKernels<true>::sse2(r, tFirst, tLast)
                             : RegisterKernels<false>::sse2(r, tFirst, tLast);
    if (!done) iterate<VectorPass<2>>(r, tFirst, tLast);
}

__attribute__((target("avx2"))) void iterateAvx2(RunState& r, int32_t tFirst, int32_t tLast) {
    const bool done = r.bias ? RegisterKernels<true>::avx2(r, tFirst, tLast)
                             : RegisterKernels<false>::avx2(r, tFirst, tLast);
    if (!done) iterate<VectorPass<4>>(r, tFirst, tLast);
}

__attribute__((target("avx512f"))) void iterateAvx512(RunState& r, int32_t tFirst,
                                                      int32_t tLast) {
    const bool done = r.bias ? RegisterKernels<true>::avx512(r, tFirst, tLast)
                             : RegisterKernels<false>::avx512(r, tFirst, tLast);
    if (!done) iterate<VectorPass<8>>(r, tFirst, tLast);
}
#elif defined(PELLUMAR_ARM_LANES)
void iterateNeon(RunState& r, int32_t tFirst, int32_t tLast) {
    const bool done = r.bias ? RegisterKernels<true>::neon(r, tFirst, tLast)
                             : RegisterKernels<false>::neon(r, tFirst, tLast);
    if (!done) iterate<VectorPass<2>>(r, tFirst, tLast);
}
#endif

// The paths of this build, narrowest first.
constexpr VectorPath kBuilt[] = {
    VectorPath::Portable,
#if defined(PELLUMAR_X86_LANES)
    VectorPath::Sse2, VectorPath::Avx2, VectorPath::Avx512,
#elif defined(PELLUMAR_ARM_LANES)
    VectorPath::Neon,
#endif
};
}  // namespace

VectorPaths vectorPathsBuilt() { return VectorPaths{std::begin(kBuilt), std::end(kBuilt)}; }

bool vectorPathAvailable(VectorPath path) {
    switch (path) {
        case VectorPath::Portable: return true;
#if defined(PELLUMAR_X86_LANES)
        case VectorPath::Sse2: return true;  // part of x86-64 itself
        case VectorPath::Avx2: __builtin_cpu_init(); return __builtin_cpu_supports("avx2");
        case VectorPath::Avx512:
            __builtin_cpu_init();
            return __builtin_cpu_supports("avx512f") && __builtin_cpu_supports("avx512vl");
#elif defined(PELLUMAR_ARM_LANES)
        case VectorPath::Neon: return true;  // part of 64-bit ARM itself
#endif
        default: return false;
    }
}

VectorPath bestVectorPath() {
    VectorPath best = VectorPath::Portable;
    for (VectorPath path : kBuilt)  // narrowest first
        if (vectorPathAvailable(path)) best = path;
    return best;
}

int64_t registerFeatures(VectorPath path) {
    switch (path) {
#if defined(PELLUMAR_X86_LANES)
        case VectorPath::Avx512: return kAvx512Limits.registerFeatures;
        case VectorPath::Avx2: return kAvx2Limits.registerFeatures;
        case VectorPath::Sse2: return kSse2Limits.registerFeatures;
#elif defined(PELLUMAR_ARM_LANES)
        case VectorPath::Neon: return kNeonLimits.registerFeatures;
#endif
        default: return kPortableLimits.registerFeatures;
    }
}

const char* vectorPathName(VectorPath path) {
    switch (path) {
        case VectorPath::Sse2: return "baseline x86-64 (SSE2)";
        case VectorPath::Avx2: return "AVX2";
        case VectorPath::Avx512: return "AVX-512";
        case VectorPath::Neon: return "ARM64 Advanced SIMD";
        default: return "portable (scalar)";
    }
}

RunState::RunState(const double* X_, const double* y_, double lambda_, double eta0_, int32_t T_,
                   int64_t M_, int32_t N_, const int32_t* order_, double* w_, double* wbar_,
                   bool bias_)
    : X(X_), y(y_), lambda(lambda_), eta0(eta0_), T(T_), M(M_), N(N_), order(order_),
      bias(bias_), w(w_), wbar(wbar_), ahead(samplesAhead(M_)), now(1 % N_), next(2 % N_),
      later(static_cast<int32_t>((1 + static_cast<int64_t>(ahead)) % N_)) {}

void runIterations(VectorPath path, RunState& run, int32_t tFirst, int32_t tLast) {
    switch (path) {
#if defined(PELLUMAR_X86_LANES)
        case VectorPath::Avx512: return iterateAvx512(run, tFirst, tLast);
        case VectorPath::Avx2: return iterateAvx2(run, tFirst, tLast);
        case VectorPath::Sse2: return iterateSse2(run, tFirst, tLast);
#elif defined(PELLUMAR_ARM_LANES)
        case VectorPath::Neon: return iterateNeon(run, tFirst, tLast);
#endif
        default: return iteratePortable(run, tFirst, tLast);
    }
}

}  // namespace pellumar
