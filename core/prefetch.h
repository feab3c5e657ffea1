// A hint to bring memory into the second-level cache ahead of its use.
#ifndef PELLUMAR_PREFETCH_H
#define PELLUMAR_PREFETCH_H

namespace pellumar {

// Second level rather than first: more fetches can be under way at once
// there, which is what keeps a stream of columns from main memory flowing.
inline void prefetchToL2(const void* p) {
#if defined(__GNUC__)
    __builtin_prefetch(p, 0, 1);
#else
    (void)p;
#endif
}

// How many samples ahead of its turn a column is fetched: far enough ahead to
// hide a trip to main memory when columns are short.
inline int samplesAhead(long long M) { return M <= 256 ? 16 : M <= 2048 ? 8 : 4; }

}  // namespace pellumar

#endif
