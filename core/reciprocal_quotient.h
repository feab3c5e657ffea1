// The running average's quotient a / t without a division per feature, for
// the x86-64 vector paths that have fused multiply-add. A part of
// fused_pass.cpp, included inside its GCC vector-extension section (its
// namespace, vector types and <immintrin.h>).
//
// Every lane gets exactly the IEEE quotient RN(a / t), the one the division
// gives; the proof is below. One true division per iteration forms the
// reciprocal; per feature it costs a product and two fused multiply-adds,
// which run several times faster than a vector division.
//
// Setting: b = t is an integer, 1 <= b < 2^31 (the iteration count); a is a
// double; u = 2^-53; RN is rounding to nearest, ties to even.
//   y  = RN(1/b)                   one true division per iteration
//   q0 = RN(a*y)
//   R  = RN(a - b*q0)              fused multiply-add (fnmadd): exact value, rounded once
//   q1 = RN(q0 + R*y)              fused multiply-add (fmadd)
// Claim: when a = 0 or 2^-990 <= |a| <= 2^1000, q1 = RN(a/b) (up to the sign
// of a zero, fixed below). Let Q = a/b.
//
// 1. q0 is near Q. y = (1/b)(1+e1) and q0 = a*y*(1+e2) with |e1|, |e2| <= u,
//    so |q0 - Q| <= |Q|(2u + u^2). No underflow: |a*y| >= 2^-990 * 2^-31 * (1-u)
//    > 2^-1022, so q0 is normal; no overflow: |q0| <= |a|.
// 2. R is exact. a is a multiple of ulp(a), and b*q0 of ulp(q0) (b is an
//    integer), so a - b*q0 is an integer multiple of g = min(ulp(a), ulp(q0)).
//    Its size: |a - b*q0| = b|Q - q0| <= |a|(2u + u^2). For normal x,
//    ulp(x) > |x|*2^-53; with |q0| >= |Q|(1 - 2u - u^2) = (|a|/b)(...) this
//    gives |a - b*q0| / g < 2^2 * b < 2^33, an integer below 2^53: the value is
//    a double, and the fused multiply-add, which rounds the exact a - b*q0
//    once, returns it unchanged.
// 3. The correction lands in Q's rounding interval. q0 + R*y = q0 + (R/b)(1+e1)
//    = Q + (R/b)e1, since q0 + R/b = Q exactly. So the exact value that the
//    second fused multiply-add rounds is within |R/b|*u <= |Q|(2u + u^2)u
//    < |Q|*2^-104 of Q.
// 4. Q is far from every rounding boundary. A midpoint m between neighbouring
//    doubles near Q (Q normal: |Q| > 2^-1021) is a multiple of ulp(Q)/4 (a
//    quarter, for the midpoint just below a power of two), and a is a multiple
//    of ulp(a) >= ulp(Q) (|a| >= |Q|), so a - b*m is a multiple of ulp(Q)/4.
//    It is never zero: m has 54 significant bits, its odd part times b's odd
//    part has at least 54, and a has at most 53. So |Q - m| = |a - b*m|/b
//    >= ulp(Q)/(4b) > |Q| * 2^-53 * 2^-2 * 2^-31 = |Q|*2^-86.
// 3 and 4: Q and the value rounded in step 3 lie strictly between the same two
// midpoints (2^-104 < 2^-86), so they round to the same double: q1 = RN(Q).
//
// Zeros: a = +0 or -0 gives q0 = +-0, R = +0 (an exact sum of opposite zeros
// is +0) and q1 = +0, where RN(a/b) is a itself (b > 0). Every other q1 in
// range has a's sign, so copying a's sign bit onto q1 gives the right result
// in both cases.
//
// Outside the range (subnormal or tiny numerators, |a| > 2^1000, infinities,
// NaN) the argument does not hold: a vector holding any such lane takes the
// true division instead.
#ifndef PELLUMAR_RECIPROCAL_QUOTIENT_H
#define PELLUMAR_RECIPROCAL_QUOTIENT_H

// The numerators the argument covers, besides zeros.
constexpr double kSmallestCovered = 0x1p-990, kLargestCovered = 0x1p1000;

// What every width shares: the splatted divisor and reciprocal, the bounds of
// the numerators the argument covers, and the sign fix for zeros.
template <class V, class I>
struct QuotientByReciprocal {
    V b, y, smallest, largest, zero;
    I signBit;

    explicit QuotientByReciprocal(double t) {
        const double reciprocal = 1.0 / t;  // the one true division
        for (int i = 0; i < int(sizeof(V) / sizeof(double)); ++i) {
            b[i] = t;
            y[i] = reciprocal;
            smallest[i] = kSmallestCovered;
            largest[i] = kLargestCovered;
            zero[i] = 0.0;
            signBit[i] = static_cast<long long>(0x8000000000000000ULL);
        }
    }
    ALWAYS_INLINE V magnitude(const V& a) const {
        return reinterpret_cast<V>(reinterpret_cast<I>(a) & ~signBit);
    }
    // q1 with a's sign: the quotient of a zero is that zero.
    ALWAYS_INLINE V withSignOf(const V& a, const V& q1) const {
        return reinterpret_cast<V>(reinterpret_cast<I>(q1) | (reinterpret_cast<I>(a) & signBit));
    }
};

// The comparisons are written with the instruction sets' own intrinsics: GCC
// lowers AVX-512 vector-extension comparisons lane by lane. A lane is covered
// when its magnitude m is zero or 2^-990 <= m <= 2^1000 (false for NaN).
template <int W> struct ReciprocalQuotient;

template <>
struct ReciprocalQuotient<4> : QuotientByReciprocal<v4d, v4i> {
    using QuotientByReciprocal::QuotientByReciprocal;
    __attribute__((target("avx2,fma"))) inline v4d operator()(const v4d& a) const {
        const __m256d m = magnitude(a);
        const __m256d covered =
            _mm256_or_pd(_mm256_and_pd(_mm256_cmp_pd(m, smallest, _CMP_GE_OQ),
                                       _mm256_cmp_pd(m, largest, _CMP_LE_OQ)),
                         _mm256_cmp_pd(m, zero, _CMP_EQ_OQ));
        if (__builtin_expect(_mm256_movemask_pd(covered) != 0xF, 0)) return a / b;
        const v4d q0 = a * y;
        return withSignOf(a, _mm256_fmadd_pd(_mm256_fnmadd_pd(q0, b, a), y, q0));
    }
};

template <>
struct ReciprocalQuotient<8> : QuotientByReciprocal<v8d, v8i> {
    using QuotientByReciprocal::QuotientByReciprocal;
    __attribute__((target("avx512f"))) inline v8d operator()(const v8d& a) const {
        const __m512d m = magnitude(a);
        const __mmask8 covered = (_mm512_cmp_pd_mask(m, smallest, _CMP_GE_OQ) &
                                  _mm512_cmp_pd_mask(m, largest, _CMP_LE_OQ)) |
                                 _mm512_cmp_pd_mask(m, zero, _CMP_EQ_OQ);
        if (__builtin_expect(covered != 0xFF, 0)) return a / b;
        const v8d q0 = a * y;
        return withSignOf(a, _mm512_fmadd_pd(_mm512_fnmadd_pd(q0, b, a), y, q0));
    }
};

#endif
