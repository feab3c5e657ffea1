// What every run, dense or sparse, does with checkpoints that come before
// any iteration: a count below 1 has no iterate to average, and its result is
// zeros. The counts are ascending, so those checkpoints come first.
#ifndef PELLUMAR_CHECKPOINTS_H
#define PELLUMAR_CHECKPOINTS_H

#include <algorithm>
#include <cstddef>
#include <cstdint>

namespace pellumar {

// Zeros for the checkpoints with counts below 1, in each of the lanes'
// results (m doubles a checkpoint, outs[c] + i*m for checkpoint i); returns
// the first checkpoint that has iterations (size when none has).
inline int32_t zeroCheckpointsBeforeAnyIteration(const int32_t* counts, int32_t size, size_t m,
                                                 double* const* outs, int lanes) {
    int32_t c = 0;
    for (; c < size && counts[c] < 1; ++c)
        for (int lane = 0; lane < lanes; ++lane)
            std::fill(outs[lane] + c * m, outs[lane] + (c + 1) * m, 0.0);
    return c;
}

}  // namespace pellumar

#endif
