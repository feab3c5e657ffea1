// Each floating-point operation of a run is rounded on its own, in the
// documented order, so a*b+c must never be contracted into a fused
// multiply-add. Our builds pass -ffp-contract=off (GCC, clang) or /fp:precise
// (MSVC); the pragmas below keep contraction off in a build that passes no
// such flag: a plain `mex` call, an IDE project. scripts/check-contraction.sh
// compiles every core file without the flag and looks for fused multiply-adds
// in the objects.
//
// Include this header first in every .cpp file of the core, before the file's
// own header and before any standard header: the pragmas hold from where they
// stand to the end of the file, and only there.
//   - GCC's optimize pragma reaches only the functions declared after it. A
//     function of a header included earlier (a standard one too) is made
//     without it and contracts wherever GCC keeps it out of line; and GCC
//     won't inline a function made under the pragma into one made without
//     it, which costs speed.
//   - clang keeps the setting in each expression as it parses it: a template
//     or inline function defined above the pragma contracts wherever it is
//     used (std::inner_product does).
// lanes.h, margin_decision.h, register_kernels.h and register_run.h include it too, so that a
// file that includes them (a test) has the pragmas from there on.
//
// What each compiler is told:
//   - clang: #pragma STDC FP_CONTRACT OFF. An explicit -ffp-contract=fast
//     or -ffast-math overrides it, as clang documents: never build with
//     those.
//   - GCC, which has no STDC FP_CONTRACT: #pragma GCC optimize
//     ("fp-contract=off"), which gives every function declared after it that
//     option, as if it were on the command line. With the flag given too,
//     the objects are the same as without the pragma. Without it, the
//     constructors and destructors that the compiler writes itself are made
//     without the option: keep arithmetic out of default member
//     initializers, which they run; and GCC calls the small functions they
//     use instead of inlining them.
//   - MSVC: #pragma fp_contract(off).
#ifndef PELLUMAR_EXACT_ARITHMETIC_H
#define PELLUMAR_EXACT_ARITHMETIC_H

#if defined(__clang__)
#pragma STDC FP_CONTRACT OFF
#elif defined(__GNUC__)
#pragma GCC optimize("fp-contract=off")
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
