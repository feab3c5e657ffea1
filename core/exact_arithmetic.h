// Included by every core file that computes: each floating-point operation
// is rounded on its own, so a*b+c must never be contracted into a fused
// multiply-add. The builds pass -ffp-contract=off (GCC, clang) or /fp:precise
// (MSVC); these pragmas keep contraction off in a build that forgets to.
// GCC has no such pragma and relies on the flag alone.
#ifndef PELLUMAR_EXACT_ARITHMETIC_H
#define PELLUMAR_EXACT_ARITHMETIC_H

#if defined(__clang__)
#pragma STDC FP_CONTRACT OFF
#elif defined(_MSC_VER)
#pragma fp_contract(off)
#endif

namespace pellumar {

// 2^exponent, exactly. Hexadecimal float literals would say it more briefly,
// but they need C++17, and the module is also built by the compilers of older
// hosts (GCC 5 and 6, Visual Studio 2015) at C++14. Doubling or halving a
// power of two is exact while the result stays normal, which covers every
// exponent from -1022 to 1023; use it in constant expressions so that the
// loops run at compile time.
constexpr double powerOfTwo(int exponent) {
    double value = 1.0;
    for (; exponent > 0; --exponent) value *= 2.0;
    for (; exponent < 0; ++exponent) value *= 0.5;
    return value;
}

}  // namespace pellumar

#endif
