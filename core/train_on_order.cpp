#include "train_on_order.h"

#include "exact_arithmetic.h"

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <vector>

#include "hinge.h"
#include "margin_decision.h"
#include "path_trial.h"
#include "prefetch.h"

namespace pellumar {

namespace {
// M zero weights starting on a 64-byte boundary, so that the pass reads and
// writes them a whole cache line at a time: a line-crossing access costs two
// (measured: the pass runs about a third faster on aligned weights).
class AlignedWeights {
public:
    explicit AlignedWeights(size_t m) : storage_(m + kLineDoubles, 0.0) {
        const uintptr_t start = reinterpret_cast<uintptr_t>(storage_.data());
        const uintptr_t aligned = (start + kLineBytes - 1) & ~uintptr_t(kLineBytes - 1);
        data_ = storage_.data() + (aligned - start) / sizeof(double);
    }
    double* data() { return data_; }

private:
    static constexpr size_t kLineBytes = 64, kLineDoubles = kLineBytes / sizeof(double);
    std::vector<double> storage_;
    double* data_;
};

// A position in the visiting order that wraps around after N entries.
struct OrderCursor {
    OrderCursor(int32_t n, int64_t t) : N(n), position(static_cast<int32_t>(t % n)) {}
    void advance() {
        if (++position == N) position = 0;
    }
    int32_t N;
    int32_t position;
};

// One path for the whole run.
struct FixedPath {
    VectorPath path;
    VectorPath pathFor(int32_t) const { return path; }
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
// Paths supplies the vector path of each iteration (FixedPath, PathTrial).
template <class Paths>
void iterate(Paths& paths, const double* X, const double* y, double lambda, int32_t T,
             double eta0, int32_t M, int32_t N, const int32_t* order, double* out) {
    const size_t m = M > 0 ? static_cast<size_t>(M) : 0;
    if (T < 1) {  // no iterate to average: zeros, without working vectors
        std::fill(out, out + m, 0.0);
        return;
    }
    AlignedWeights w(m);     // current weights w_t
    AlignedWeights wbar(m);  // mean of w_1 .. w_t

    // Column offsets in 64 bits: (N-1)*M may exceed the 32-bit range.
    auto column = [&](int32_t f) {
        return X + static_cast<ptrdiff_t>(f) * static_cast<ptrdiff_t>(M);
    };
    const int32_t ahead = samplesAhead(M);

    // Positions t mod N, (t+1) mod N and (t+ahead) mod N in the order,
    // stepped along instead of divided out every iteration.
    OrderCursor now(N, 1), next(N, 2), later(N, 1 + static_cast<int64_t>(ahead));
    DotEstimate estimate;       // w.x for the coming sample, from the previous pass
    bool haveEstimate = false;  // none before the first iteration
    // The exit test sits at the bottom so that T = INT32_MAX ends without
    // the counter overflowing.
    for (int32_t t = 1;; ++t) {
        const int32_t f = order[now.position];
        const double* x = column(f);
        const double yf = y[f];

        MarginSide side = haveEstimate ? marginSide(estimate.dot, estimate.absSum, m, yf)
                                       : MarginSide::Unsure;
        if (side == MarginSide::Unsure) {
            const double margin = dotInOrder(w.data(), x, M) * yf;
            side = margin < 1.0 ? MarginSide::Below : MarginSide::NotBelow;  // NaN: not below
        }

        StepNumbers s;
        s.y = yf;
        s.tD = static_cast<double>(t);
        s.step = eta0 / std::sqrt(s.tD);
        s.decay = 1.0 - s.step * lambda;
        s.previous = static_cast<double>(t - 1);
        s.below = side == MarginSide::Below;

        const double* xNext = t < T ? column(order[next.position]) : nullptr;
        const double* xAfter = nullptr;
        if (t <= T - ahead) {
            const int32_t fLater = order[later.position];
            xAfter = column(fLater);
            prefetchLine(y + fLater);  // its label is needed first
        }
        estimate = fusedPass(paths.pathFor(t), w.data(), wbar.data(), x, xNext, xAfter, m, s);
        haveEstimate = true;
        if (t == T) break;
        now.advance();
        next.advance();
        later.advance();
    }
    std::copy(wbar.data(), wbar.data() + m, out);
}

}  // namespace

void trainOnOrderWith(VectorPath path, const double* X, const double* y, double lambda, int32_t T,
                      double eta0, int32_t M, int32_t N, const int32_t* order, double* out) {
    FixedPath paths{path};
    iterate(paths, X, y, lambda, T, eta0, M, N, order, out);
}

void trainOnOrderWith(PathTrial& trial, const double* X, const double* y, double lambda,
                      int32_t T, double eta0, int32_t M, int32_t N, const int32_t* order,
                      double* out) {
    iterate(trial, X, y, lambda, T, eta0, M, N, order, out);
}

VectorPath trainOnOrder(const double* X, const double* y, double lambda, int32_t T, double eta0,
                        int32_t M, int32_t N, const int32_t* order, double* out) {
    PathTrial trial(T, M);
    iterate(trial, X, y, lambda, T, eta0, M, N, order, out);
    return trial.settled();
}

}  // namespace pellumar
