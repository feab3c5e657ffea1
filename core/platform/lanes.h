// Vector lanes: the GCC vector types the passes compute in, and the few
// operations on them that the passes share. Included only by the files that
// compile the passes for each instruction set.
#ifndef PELLUMAR_LANES_H
#define PELLUMAR_LANES_H

#include <cmath>
#include <cstring>

#include "platform/exact_arithmetic.h"

namespace pellumar {
namespace {

#if defined(__GNUC__)
#define ALWAYS_INLINE inline __attribute__((always_inline))
// After a lambda's parameters: the lambda is inlined too, so that it is
// compiled for the instruction set of the function that calls it.
#define INLINE_LAMBDA __attribute__((always_inline))
#else
#define ALWAYS_INLINE inline
#define INLINE_LAMBDA
#endif

template <int W>
struct Lanes;

// One feature, as a plain double: the last step of a column's tail.
template <>
struct Lanes<1> {
    typedef double V;
    static ALWAYS_INLINE V load(const double* p) { return *p; }
    static ALWAYS_INLINE void store(double* p, V v) { *p = v; }
    static ALWAYS_INLINE V splat(double a) { return a; }
    static ALWAYS_INLINE V magnitude(V v) { return std::fabs(v); }
    static ALWAYS_INLINE double lane(V v, int) { return v; }
    // One lane: nothing to mask (see Lanes<W>::keepFrom).
    typedef bool Mask;
    static ALWAYS_INLINE Mask keepFrom(int) { return true; }
    static ALWAYS_INLINE V keep(V v, Mask) { return v; }
};

template <int W>
struct Fold;
template <>
struct Fold<1> {
    static ALWAYS_INLINE double sum(double v) { return v; }
};

// GCC vector extensions (GCC and clang): two doubles per vector on baseline
// x86-64 (SSE2) and on 64-bit ARM (Advanced SIMD, always present there), four
// under target("avx2"), eight under target("avx512f"). The build option
// PELLUMAR_VECTORS=OFF defines PELLUMAR_PORTABLE_ONLY and leaves them out, as
// a compiler without the extensions would.
#if defined(__GNUC__) && !defined(PELLUMAR_PORTABLE_ONLY) && \
    (defined(__x86_64__) || defined(__aarch64__))
#define PELLUMAR_LANES 1
// The vector types never cross a function boundary that isn't inlined, so
// the note that their passing convention depends on AVX does not apply.
#pragma GCC diagnostic ignored "-Wpsabi"

// W doubles in one GCC vector: 2 for baseline x86-64 (SSE2), 4 under
// target("avx2"), 8 under target("avx512f"): one register each.
typedef double v2d __attribute__((vector_size(16)));
typedef long long v2i __attribute__((vector_size(16)));
typedef double v4d __attribute__((vector_size(32)));
typedef long long v4i __attribute__((vector_size(32)));
typedef double v8d __attribute__((vector_size(64)));
typedef long long v8i __attribute__((vector_size(64)));

template <int W> struct VectorOf;
template <> struct VectorOf<2> { typedef v2d V; typedef v2i I; };
template <> struct VectorOf<4> { typedef v4d V; typedef v4i I; };
template <> struct VectorOf<8> { typedef v8d V; typedef v8i I; };

template <int W>
struct Lanes {
    typedef typename VectorOf<W>::V V;
    typedef typename VectorOf<W>::I I;

    static ALWAYS_INLINE V load(const double* p) {
        V v;
        std::memcpy(&v, p, sizeof v);
        return v;
    }
    static ALWAYS_INLINE void store(double* p, const V& v) { std::memcpy(p, &v, sizeof v); }
    static ALWAYS_INLINE V splat(double a) {
        V v;
        for (int i = 0; i < W; ++i) v[i] = a;
        return v;
    }
    static ALWAYS_INLINE V magnitude(const V& v) {
        I noSign;
        for (int i = 0; i < W; ++i) noSign[i] = 0x7FFFFFFFFFFFFFFFLL;
        return reinterpret_cast<V>(reinterpret_cast<I>(v) & noSign);
    }
    static ALWAYS_INLINE double lane(const V& v, int i) { return v[i]; }
    // Lanes from `first` on kept whole, the ones before it made +0.0, by a
    // bitwise and: no arithmetic, so nothing is rounded or raised.
    typedef I Mask;
    static ALWAYS_INLINE Mask keepFrom(int first) {
        I mask;
        for (int i = 0; i < W; ++i) mask[i] = i >= first ? -1LL : 0LL;
        return mask;
    }
    static ALWAYS_INLINE V keep(const V& v, const Mask& mask) {
        return reinterpret_cast<V>(reinterpret_cast<I>(v) & mask);
    }
};

// The lanes of v added pairwise, halving the width each step: the next
// iteration waits on this sum, and a tree is log2(W) additions deep where a
// chain would be W. The halves are taken whole, so that the compiler folds
// them with lane extractions instead of a trip through memory.
template <int W>
struct Fold {
    static ALWAYS_INLINE double sum(const typename Lanes<W>::V& v) {
        typename Lanes<W / 2>::V low, high;
        std::memcpy(&low, &v, sizeof low);
        std::memcpy(&high, reinterpret_cast<const char*>(&v) + sizeof low, sizeof high);
        return Fold<W / 2>::sum(low + high);
    }
};

#endif  // GCC vector extensions

}  // namespace
}  // namespace pellumar

#endif
