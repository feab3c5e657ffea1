#include "platform/exact_arithmetic.h"  // before everything else (see there)

#include "platform/ieee_modes.h"

#if defined(__x86_64__) || defined(_M_X64)
#include <xmmintrin.h>
#define PELLUMAR_MXCSR 1
#elif defined(__aarch64__)
#define PELLUMAR_FPCR 1
#endif

namespace pellumar {

namespace {

#if defined(PELLUMAR_MXCSR)
// MXCSR: exception masks (bits 7-12; set = non-stop), rounding control
// (bits 13-14), FTZ (bit 15), DAZ (bit 6).
constexpr uint64_t kExceptionMasks = 0x1F80, kRounding = 0x6000;
constexpr uint64_t kFlushToZero = 0x8000, kDenormalsAreZero = 0x0040;

uint64_t readControl() { return _mm_getcsr(); }
void writeControl(uint64_t value) { _mm_setcsr(static_cast<unsigned>(value)); }

// Every exception masked, round to nearest, no flushing; the flag bits kept.
uint64_t ieeeControl(uint64_t control) {
    return (control & ~(kRounding | kFlushToZero | kDenormalsAreZero)) | kExceptionMasks;
}
#elif defined(PELLUMAR_FPCR)
// FPCR: FIZ, AH, NEP (bits 0-2, FEAT_AFP: flush inputs, alternate NaN and
// denormal handling; zero where not implemented), trap enables IOE .. IXE
// and IDE (bits 8-12, 15), rounding (bits 22-23), FZ (bit 24), DN (bit 25).
constexpr uint64_t kAlternateModes = 0x7, kTrapEnables = 0x9F00, kRounding = 0xC00000;
constexpr uint64_t kFlushToZero = 1u << 24, kDefaultNaN = 1u << 25;

uint64_t readControl() {
    uint64_t value;
    __asm__ __volatile__("mrs %0, fpcr" : "=r"(value));
    return value;
}
void writeControl(uint64_t value) { __asm__ __volatile__("msr fpcr, %0" : : "r"(value)); }

uint64_t ieeeControl(uint64_t control) {
    return control & ~(kAlternateModes | kTrapEnables | kRounding | kFlushToZero | kDefaultNaN);
}
#else
uint64_t readControl() { return 0; }
void writeControl(uint64_t) {}
uint64_t ieeeControl(uint64_t control) { return control; }
#endif

}  // namespace

IeeeDefaultModes::IeeeDefaultModes() : savedControl_(readControl()) {
    // Saves the whole environment and makes every exception non-stop; then
    // round to nearest; then what the standard functions don't reach. The
    // register step also masks the exceptions and sets the rounding of the
    // vector unit itself: not every C runtime's functions reach it (the
    // Windows module's feholdexcept leaves the SSE exception masks alone, and
    // without this step the module trapped under Wine).
    std::feholdexcept(&saved_);
    std::fesetround(FE_TONEAREST);
    writeControl(ieeeControl(readControl()));
}

IeeeDefaultModes::~IeeeDefaultModes() {
    // fesetenv, not feupdateenv: the latter would raise the run's flags again
    // and so trap where the caller enabled traps.
    std::fesetenv(&saved_);
    writeControl(savedControl_);
}

}  // namespace pellumar
