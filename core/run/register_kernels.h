// The register kernels of each vector path (register_run.h), as the general
// loop of fused_pass.cpp calls them. Each is written once, for a run with or
// without the bias feature (Bias), and compiled for both in two files of
// their own: register_kernels.cpp without the bias, register_kernels_bias.cpp
// with it. The two halves are as many kernels each and compile side by side;
// fused_pass.cpp sees only these declarations and calls the half its run
// needs.
#ifndef PELLUMAR_REGISTER_KERNELS_H
#define PELLUMAR_REGISTER_KERNELS_H

#include <cstdint>

#include "platform/exact_arithmetic.h"
#include "platform/lanes.h"
#include "run/fused_pass.h"

// Which vector paths this build has besides the portable one (lanes.h
// decides whether it has any).
#if defined(PELLUMAR_LANES) && defined(__x86_64__)
#define PELLUMAR_X86_LANES 1
#elif defined(PELLUMAR_LANES)
#define PELLUMAR_ARM_LANES 1
#endif

namespace pellumar {

// How a path runs in registers: margins from the in-order sum up to
// inOrderFeatures features, in vectors of the path's in-order width; the
// certified test above that, up to registerFeatures.
struct RegisterLimits {
    int64_t inOrderFeatures, registerFeatures;
};

// Each path's limits, measured (doc/PERFORMANCE.md).
constexpr RegisterLimits kPortableLimits = {8, 8};
#if defined(PELLUMAR_X86_LANES)
constexpr RegisterLimits kSse2Limits = {16, 16}, kAvx2Limits = {32, 32}, kAvx512Limits = {32, 64};
#elif defined(PELLUMAR_ARM_LANES)
constexpr RegisterLimits kNeonLimits = {16, 16};
#endif

// Each runs iterations tFirst .. tLast of r in registers and returns true,
// or returns false, having run nothing, when r.M is beyond the path's
// limits. Bias must be r.bias. Each is compiled for its path's instruction
// set, which the caller must have checked is there (vectorPathAvailable).
template <bool Bias>
struct RegisterKernels {
    static bool portable(RunState& r, int32_t tFirst, int32_t tLast);
#if defined(PELLUMAR_X86_LANES)
    static bool sse2(RunState& r, int32_t tFirst, int32_t tLast);
    __attribute__((target("avx2"))) static bool avx2(RunState& r, int32_t tFirst, int32_t tLast);
    // AVX-512 with its 256-bit forms too (AVX512VL): four lanes in any of 32
    // registers, which hold a short column's weights and average where
    // AVX2's 16 would spill them.
    __attribute__((target("avx512f,avx512vl"))) static bool avx512(RunState& r, int32_t tFirst,
                                                                   int32_t tLast);
#elif defined(PELLUMAR_ARM_LANES)
    static bool neon(RunState& r, int32_t tFirst, int32_t tLast);
#endif
};

// Compiled in register_kernels.cpp and register_kernels_bias.cpp only.
extern template struct RegisterKernels<false>;
extern template struct RegisterKernels<true>;

}  // namespace pellumar

#endif
