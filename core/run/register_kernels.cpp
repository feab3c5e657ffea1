#include "platform/exact_arithmetic.h"  // before everything else (see there)

// The register kernels of runs without the bias feature; those with it
// compile beside them in register_kernels_bias.cpp.
#include "run/register_kernels.h"

#include "run/register_run.h"

namespace pellumar {

template struct RegisterKernels<false>;

}  // namespace pellumar
