#include "platform/exact_arithmetic.h"  // before everything else (see there)

#include "run/train_on_order.h"

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <vector>

#include "platform/canonical_nan.h"
#include "platform/ieee_modes.h"
#include "run/checkpoints.h"
#include "run/path_trial.h"
#include "platform/prefetch.h"

namespace pellumar {

namespace {
// M zero weights starting on a 64-byte boundary, so that the pass reads and
// writes them a whole cache line at a time: a line-crossing access costs two.
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

// The result as the caller gets it, every NaN the one quiet NaN
// (canonical_nan.h). A NaN in w or wbar stays NaN to the end of the run, so
// the output is the only place to make them agree.
void copyWithCanonicalNaNs(const double* from, size_t m, double* to) {
    for (size_t k = 0; k < m; ++k) writeCanonical(from[k], to + k);
}

// One path for the whole run.
struct FixedPath {
    VectorPath path;
    VectorPath pathFor(int32_t) const { return path; }
    int32_t samePathThrough(int32_t, int32_t T) const { return T; }
};

// What a run delivers: the average after each of a list of iteration
// counts (ascending; one count, T, for a plain run), into out, M + bias
// doubles per count. Counts below 1 get zeros.
struct Checkpoints {
    const int32_t* counts;
    int32_t size;
    double* out;
    int32_t last() const { return size > 0 ? counts[size - 1] : 0; }
};

// The run around its iterations (runIterations()): the working vectors, the
// vector path of each stretch of iterations, as Paths (FixedPath, PathTrial)
// gives it, and the results. Every entry point here computes in the IEEE
// default modes as runTraining() does (when called from it, this guard finds
// those modes already set and leaves them so).
template <class Paths>
void iterate(Paths& paths, const double* X, const double* y, double lambda, double eta0,
             int32_t M, int32_t N, const int32_t* order, bool bias, const Checkpoints& at) {
    const size_t m = (M > 0 ? static_cast<size_t>(M) : 0) + (bias ? 1 : 0);
    const int32_t T = at.last();
    int32_t c = zeroCheckpointsBeforeAnyIteration(at.counts, at.size, m, &at.out, 1);
    if (T < 1) return;  // without working vectors
    const IeeeDefaultModes ieeeModes;
    AlignedWeights w(m);     // current weights w_t
    AlignedWeights wbar(m);  // mean of w_1 .. w_t

    // Offsets f*M are formed in 64 bits: (N-1)*M may pass 2^31.
    RunState run(X, y, lambda, eta0, T, static_cast<int64_t>(m) - (bias ? 1 : 0), N, order,
                 w.data(), wbar.data(), bias);
    for (int32_t t = 1;;) {
        const VectorPath path = paths.pathFor(t);
        int32_t last = paths.samePathThrough(t, T);
        if (last > at.counts[c]) last = at.counts[c];
        runIterations(path, run, t, last);
        for (; c < at.size && at.counts[c] == last; ++c)
            copyWithCanonicalNaNs(wbar.data(), m, at.out + c * m);
        if (last == T) break;
        t = last + 1;
    }
}

template <class Paths>
void iterate(Paths& paths, const double* X, const double* y, double lambda, int32_t T,
             double eta0, int32_t M, int32_t N, const int32_t* order, double* out) {
    const Checkpoints at{&T, 1, out};
    iterate(paths, X, y, lambda, eta0, M, N, order, false, at);
}

// A float matrix is read as the doubles its values convert to, exactly,
// without a double copy of it: the columns of the coming iterations are
// converted into a small block of double columns, and the run goes on there
// (the same operations on the same values, so the same bits). A block ends at
// each checkpoint. The next sample's estimate (fused_pass.h) is not carried
// from one block into the next, whose first margin is therefore the in-order
// sum: the same decision, a few more operations once per block.
void iterateStaged(VectorPath path, const float* X, const double* y, double lambda, double eta0,
                   int32_t M, int32_t N, const int32_t* order, bool bias,
                   const Checkpoints& at) {
    const size_t m = (M > 0 ? static_cast<size_t>(M) : 0) + (bias ? 1 : 0);
    const int32_t T = at.last();
    int32_t c = zeroCheckpointsBeforeAnyIteration(at.counts, at.size, m, &at.out, 1);
    if (T < 1) return;
    const IeeeDefaultModes ieeeModes;
    AlignedWeights w(m);
    AlignedWeights wbar(m);
    const size_t stored = m - (bias ? 1 : 0);
    // About 256 KiB of converted columns (they stay in the second-level
    // cache for their turn), between 4 and 1024 of them.
    const size_t columnBytes = 8 * (stored > 0 ? stored : 1);
    const size_t block = std::max<size_t>(4, std::min<size_t>(1024, 262144 / columnBytes));
    std::vector<double> columns(block * stored), labels(block);
    std::vector<int32_t> positions(block);
    for (size_t j = 0; j < block; ++j) positions[j] = static_cast<int32_t>(j);
    int32_t now = 1 % N;  // position in the order of iteration t
    int32_t ahead = 3 % N;  // the column fetched while now's is converted
    for (int32_t t = 1;;) {
        int32_t last = at.counts[c];
        if (int64_t{last} - t + 1 > static_cast<int64_t>(block))
            last = static_cast<int32_t>(t + static_cast<int32_t>(block) - 1);
        const int32_t count = last - t + 1;
        for (int32_t j = 0; j < count; ++j) {
            const int32_t f = order[now];
            const float* from = X + static_cast<ptrdiff_t>(f) * static_cast<ptrdiff_t>(stored);
            const float* coming =
                X + static_cast<ptrdiff_t>(order[ahead]) * static_cast<ptrdiff_t>(stored);
            for (size_t k = 0; k < stored; k += 16) prefetchLine(coming + k);
            if (++ahead == N) ahead = 0;
            double* to = columns.data() + static_cast<size_t>(j) * stored;
            for (size_t k = 0; k < stored; ++k) to[k] = static_cast<double>(from[k]);
            labels[j] = y[f];
            if (++now == N) now = 0;
        }
        RunState run(columns.data(), labels.data(), lambda, eta0, last,
                     static_cast<int64_t>(stored), count, positions.data(), w.data(),
                     wbar.data(), bias);
        run.now = 0;  // iteration t is the block's first column
        run.next = 1 % count;
        run.later = run.ahead % count;
        runIterations(path, run, t, last);
        for (; c < at.size && at.counts[c] == last; ++c)
            copyWithCanonicalNaNs(wbar.data(), m, at.out + c * m);
        if (last == T) break;
        t = last + 1;
    }
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

namespace pellumar {

void trainOnOrderCheckpoints(const double* X, const float* Xf, const double* y, double lambda,
                             double eta0, int32_t M, int32_t N, const int32_t* order, bool bias,
                             const int32_t* counts, int32_t countSize, double* out,
                             const VectorPath* path) {
    const Checkpoints at{counts, countSize, out};
    if (Xf) {
        iterateStaged(path ? *path : bestVectorPath(), Xf, y, lambda, eta0, M, N, order, bias,
                      at);
    } else if (path) {
        FixedPath paths{*path};
        iterate(paths, X, y, lambda, eta0, M, N, order, bias, at);
    } else {
        PathTrial trial(at.last(), int64_t{M} + (bias ? 1 : 0));
        iterate(trial, X, y, lambda, eta0, M, N, order, bias, at);
    }
}

}  // namespace pellumar
