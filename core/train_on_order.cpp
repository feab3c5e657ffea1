#include "train_on_order.h"

#include "exact_arithmetic.h"

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <vector>

#include "ieee_modes.h"
#include "path_trial.h"

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

// The result as the caller gets it: every NaN becomes the one quiet NaN
// 0x7FF8000000000000 (positive, no payload), and every other value is copied
// bit for bit. IEEE 754 leaves open which operand's payload an operation
// passes on and the sign of a NaN it makes (x86-64's default NaN is negative,
// ARM's positive), and compilers may reorder operands or fold a negation into
// a subtraction, so the NaNs of w and wbar differ between vector paths,
// builds and processors while no value does. A NaN in w or wbar stays NaN to
// the end of the run, so the output is the only place to make them agree. The
// test is on the bits, not a comparison: no floating-point operation, nothing
// raised whatever the caller's traps.
void copyWithCanonicalNaNs(const double* from, size_t m, double* to) {
    constexpr uint64_t kMagnitude = 0x7FFFFFFFFFFFFFFFull, kInfinity = 0x7FF0000000000000ull;
    constexpr uint64_t kCanonicalNaN = 0x7FF8000000000000ull;
    for (size_t k = 0; k < m; ++k) {
        uint64_t bits;
        std::memcpy(&bits, from + k, sizeof bits);
        if ((bits & kMagnitude) > kInfinity) bits = kCanonicalNaN;
        std::memcpy(to + k, &bits, sizeof bits);
    }
}

// One path for the whole run.
struct FixedPath {
    VectorPath path;
    VectorPath pathFor(int32_t) const { return path; }
    int32_t samePathThrough(int32_t, int32_t T) const { return T; }
};

// The run around its iterations (runIterations()): the working vectors, the
// vector path of each stretch of iterations, as Paths (FixedPath, PathTrial)
// gives it, and the result. Every entry point here computes in the IEEE
// default modes as runTraining() does (when called from it, this guard finds
// those modes already set and leaves them so).
template <class Paths>
void iterate(Paths& paths, const double* X, const double* y, double lambda, int32_t T,
             double eta0, int32_t M, int32_t N, const int32_t* order, double* out) {
    const size_t m = M > 0 ? static_cast<size_t>(M) : 0;
    if (T < 1) {  // no iterate to average: zeros, without working vectors
        std::fill(out, out + m, 0.0);
        return;
    }
    const IeeeDefaultModes ieeeModes;
    AlignedWeights w(m);     // current weights w_t
    AlignedWeights wbar(m);  // mean of w_1 .. w_t

    // Offsets f*M are formed in 64 bits: (N-1)*M may pass 2^31.
    RunState run(X, y, lambda, eta0, T, static_cast<int64_t>(m), N, order, w.data(), wbar.data());
    for (int32_t t = 1;;) {
        const VectorPath path = paths.pathFor(t);
        const int32_t last = paths.samePathThrough(t, T);
        runIterations(path, run, t, last);
        if (last == T) break;
        t = last + 1;
    }
    copyWithCanonicalNaNs(wbar.data(), m, out);
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
