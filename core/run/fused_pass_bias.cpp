// The register kernels of runs with the bias feature: fused_pass.cpp again,
// compiled with PELLUMAR_BIAS_KERNELS set, so that it holds only those
// kernels. They are as many as the kernels without the bias, and in a file
// of their own the two halves compile side by side.
#include "platform/exact_arithmetic.h"  // before everything else (see there)

#define PELLUMAR_BIAS_KERNELS 1
#include "run/fused_pass.cpp"
