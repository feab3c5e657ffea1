#include "platform/exact_arithmetic.h"  // before everything else (see there)

#include "run/path_trial.h"

namespace pellumar {

namespace {
// A run is tried only when it has at least 16 blocks, so that B runs at most
// an eighth of it. The default block, 2^21 element-iterations (16 MiB of
// columns read), takes about a millisecond.
constexpr int64_t kBlocksForTrial = 16;
// The first two blocks run on A untimed: a run on freshly written data is
// slower over its first block or two, which would count against A. Then A runs blocks
// 2 and 5, candidate B blocks 3 and 4.
constexpr int kUntimedBlocks = 2, kTrialBlocks = 6;
constexpr int kCandidateOfBlock[kTrialBlocks] = {0, 0, 0, 1, 1, 0};
// B, the narrower path, is kept only when it took less than 15/16 of A's
// time: margins either way were a few tens of percent at most, and on a
// loaded machine a 1 ms block can lose a tenth to noise (doc/PERFORMANCE.md,
// "Measurements behind the code").
constexpr double kNarrowerShare = 15.0 / 16.0;
}  // namespace

PathTrial::PathTrial(int32_t T, int64_t M, int64_t blockElementIterations) {
    candidates_[0] = candidates_[1] = bestVectorPath();
    for (VectorPath path : vectorPathsBuilt())  // narrowest first
        if (path != VectorPath::Portable && path != candidates_[0] && vectorPathAvailable(path))
            candidates_[1] = path;
    current_ = candidates_[0];
    const int64_t block = blockElementIterations / (M > 0 ? M : 1);
    block_ = static_cast<int32_t>(block > 0 ? block : 1);
    // Columns short enough for the widest path's registers: there it was the
    // fastest, in cache and out, and such runs are often too short for a
    // trial anyway.
    const bool inRegisters = M <= registerFeatures(candidates_[0]);
    if (candidates_[1] != candidates_[0] && !inRegisters && T / kBlocksForTrial >= block_) {
        settled_ = false;
        nextBoundary_ = 1;
    }
}

void PathTrial::blockBoundary(int32_t t) {
    const auto now = std::chrono::steady_clock::now();
    if (t > 1) {
        if (blocksDone_ >= kUntimedBlocks)
            seconds_[kCandidateOfBlock[blocksDone_]] +=
                std::chrono::duration<double>(now - blockStart_).count();
        ++blocksDone_;
    }
    if (blocksDone_ == kTrialBlocks) {
        current_ = seconds_[1] < kNarrowerShare * seconds_[0] ? candidates_[1] : candidates_[0];
        settled_ = true;
        nextBoundary_ = 0;  // no more boundaries: t never returns to 0
        return;
    }
    current_ = candidates_[kCandidateOfBlock[blocksDone_]];
    nextBoundary_ = t + block_;
    blockStart_ = now;
}

}  // namespace pellumar
