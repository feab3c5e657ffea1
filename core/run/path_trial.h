// Choosing the faster vector path by trying both inside a run.
#ifndef PELLUMAR_PATH_TRIAL_H
#define PELLUMAR_PATH_TRIAL_H

#include <chrono>
#include <cstdint>

#include "run/fused_pass.h"

namespace pellumar {

// The widest path is not always the fastest: on AMD Zen 5, for one, AVX2
// beats AVX-512 on data matrices much larger than the caches, while AVX-512
// wins on data that stays in them. Every path gives the same bits, so a long
// run can simply time the two widest paths the processor has on its own first
// iterations and use the faster for the rest: after two warm-up blocks on the
// widest (A), four timed blocks in the order A B B A, so that both see a
// drifting machine alike; the narrower (B) only when it is clearly faster.
// Short runs, and processors with one vector path, use the widest without a
// trial, and so do columns short enough for the widest path's registers
// (registerFeatures()), where it is the fastest. Nothing is kept between runs.
class PathTrial {
public:
    // A run of T iterations over M features. Trial blocks are about
    // blockElementIterations element-iterations (iterations times M) each.
    PathTrial(int32_t T, int64_t M, int64_t blockElementIterations = int64_t{1} << 21);

    // The path for iteration t; called for t = 1, 2, ... in turn.
    VectorPath pathFor(int32_t t) {
        if (t == nextBoundary_) blockBoundary(t);
        return current_;
    }
    // The last iteration, from t on, that the path given for t holds for
    // (at most T); pathFor(t) has been called.
    int32_t samePathThrough(int32_t t, int32_t T) const {
        return nextBoundary_ > t && nextBoundary_ - 1 < T ? nextBoundary_ - 1 : T;
    }
    // The two paths tried, widest first (the same twice without a trial).
    VectorPath candidate(int i) const { return candidates_[i]; }
    // The path the trial settled on (or the only one, without a trial).
    VectorPath settled() const { return settled_ ? current_ : candidates_[0]; }

private:
    void blockBoundary(int32_t t);

    VectorPath candidates_[2];
    VectorPath current_;
    bool settled_ = true;
    int32_t block_ = 0, nextBoundary_ = 0, blocksDone_ = 0;
    double seconds_[2] = {0.0, 0.0};
    std::chrono::steady_clock::time_point blockStart_;
};

}  // namespace pellumar

#endif
