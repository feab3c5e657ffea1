// Fetching the columns of coming samples ahead of their turn.
#ifndef PELLUMAR_PREFETCH_H
#define PELLUMAR_PREFETCH_H

#include <cstdint>

namespace pellumar {

// A hint to bring the line holding p into every cache level, the first
// included: the run measured faster so (doc/PERFORMANCE.md, "Measurements
// behind the code"). Always inlined: a compiler that kept it as a function of its
// own could judge it free of effects and drop the call, and with it the
// prefetch.
#if defined(__GNUC__)
__attribute__((always_inline))
#endif
inline void prefetchLine(const void* p) {
#if defined(__GNUC__)
    __builtin_prefetch(p, 0, 3);
#else
    (void)p;
#endif
}

// Prefetches column[from .. M-1], M doubles that need not start on a line.
// Always inlined too, for the same reason: GCC, left to decide, kept it out
// of the larger register kernels, judged it free of effects and dropped the
// prefetches of the coming columns.
#if defined(__GNUC__)
__attribute__((always_inline))
#endif
inline void prefetchColumnFrom(const double* column, int64_t from, int64_t M) {
    if (M <= 0) return;
    for (int64_t k = from; k < M; k += 8) prefetchLine(column + k);
    prefetchLine(column + M - 1);
}

// How many samples ahead of its turn a column is fetched: about 128 KiB of
// columns ahead (far enough to hide a trip to main memory, near enough to
// stay in the second-level cache with the weights), between 2 and 16
// samples. With few features an iteration takes a few nanoseconds and a
// column a line or two, so 16 samples ahead is too near: 1024/M samples, up
// to 128, from 64 features down (doc/PERFORMANCE.md, "Measurements behind the
// code").
inline int32_t samplesAhead(int64_t M) {
    const int64_t m = M > 0 ? M : 1;
    if (m <= 64) return static_cast<int32_t>(1024 / m > 128 ? 128 : 1024 / m);
    const int64_t columnBytes = 8 * m;
    const int64_t ahead = (int64_t{128} * 1024 + columnBytes - 1) / columnBytes;
    return static_cast<int32_t>(ahead < 2 ? 2 : ahead > 16 ? 16 : ahead);
}

}  // namespace pellumar

#endif
