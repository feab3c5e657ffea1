#include "path_trial.h"

namespace pellumar {

namespace {
// A run is tried only when it has at least 16 blocks, so the trial is at
// most a quarter of it. The default block, 2^21 element-iterations, is a
// fraction of a millisecond.
constexpr int64_t kBlocksForTrial = 16;
// Candidate A runs blocks 0 and 3, candidate B blocks 1 and 2.
constexpr int kCandidateOfBlock[4] = {0, 1, 1, 0};
}  // namespace

PathTrial::PathTrial(int32_t T, int64_t M, int64_t blockElementIterations) {
    candidates_[0] = candidates_[1] = bestVectorPath();
    for (VectorPath path : vectorPathsBuilt())  // narrowest first
        if (path != VectorPath::Portable && path != candidates_[0] && vectorPathAvailable(path))
            candidates_[1] = path;
    current_ = candidates_[0];
    const int64_t block = blockElementIterations / (M > 0 ? M : 1);
    block_ = static_cast<int32_t>(block > 0 ? block : 1);
    if (candidates_[1] != candidates_[0] && T / kBlocksForTrial >= block_) {
        settled_ = false;
        nextBoundary_ = 1;
    }
}

void PathTrial::blockBoundary(int32_t t) {
    const auto now = std::chrono::steady_clock::now();
    if (t > 1) {
        seconds_[kCandidateOfBlock[blocksDone_]] +=
            std::chrono::duration<double>(now - blockStart_).count();
        ++blocksDone_;
    }
    if (blocksDone_ == 4) {
        current_ = seconds_[1] < seconds_[0] ? candidates_[1] : candidates_[0];
        settled_ = true;
        nextBoundary_ = 0;  // no more boundaries: t never returns to 0
        return;
    }
    current_ = candidates_[kCandidateOfBlock[blocksDone_]];
    nextBoundary_ = t + block_;
    blockStart_ = now;
}

}  // namespace pellumar
