// The floating-point modes a run computes in, whatever the caller left.
#ifndef PELLUMAR_IEEE_MODES_H
#define PELLUMAR_IEEE_MODES_H

#include <cfenv>
#include <cstdint>

namespace pellumar {

// While one of these lives, the calling thread computes in the IEEE default
// modes: round to nearest even, every exception non-stop (no trap), gradual
// underflow (no flush-to-zero, no denormals-are-zero) and NaNs propagated as
// they come (no default-NaN mode). Its destructor gives back the modes it
// found, on every way out of the scope, exceptions included. The exception
// flags raised meanwhile are not kept.
//
// The documented bits are defined in those modes: a directed rounding mode or
// a flushed subnormal changes every result, and a trap would kill the host's
// session on data holding Inf or NaN. The caller's thread may have any of
// them on: a toolbox that switched the rounding mode, a library built with
// fast-math options that set flush-to-zero when it was loaded, a debugging
// setting that enabled traps.
//
// <cfenv> covers the rounding mode and the exceptions. Flush-to-zero and its
// kin are beyond it, so they are read and written in the processor's control
// register: MXCSR (FTZ, DAZ) on x86-64, FPCR (FZ, DN and the FEAT_AFP modes)
// on 64-bit ARM. Elsewhere the standard part alone applies. A few register
// reads and writes per run, never per iteration.
//
// GCC ignores #pragma STDC FENV_ACCESS and may move arithmetic it can see
// across the switch. The guard works because the run's arithmetic lives in
// functions of other files (those of run/ and sparse/), called after it: keep any
// arithmetic out of the function that holds the guard.
class IeeeDefaultModes {
public:
    IeeeDefaultModes();
    ~IeeeDefaultModes();
    IeeeDefaultModes(const IeeeDefaultModes&) = delete;
    IeeeDefaultModes& operator=(const IeeeDefaultModes&) = delete;

private:
    std::fenv_t saved_;
    uint64_t savedControl_;
};

}  // namespace pellumar

#endif
