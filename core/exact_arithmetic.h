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

#endif
