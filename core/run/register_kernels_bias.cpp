#include "platform/exact_arithmetic.h"  // before everything else (see there)

// The register kernels of runs with the bias feature, the constant 1.0 after
// the stored features; those without it compile beside them in
// register_kernels.cpp.
#include "run/register_kernels.h"

#include "run/register_run.h"

namespace pellumar {

template struct RegisterKernels<true>;

}  // namespace pellumar
