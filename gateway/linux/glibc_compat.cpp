// Part of the module released for MATLAB on Linux only, which carries its
// own copy of the C++ runtime and must load with glibc 2.28.
//
// That copy of the runtime refers to two C library symbols newer than 2.28,
// from pieces the module links but never runs for their sake: the string and
// exception code reads __libc_single_threaded (glibc 2.32), and
// std::random_device, which shares an object file with the string code, calls
// arc4random (glibc 2.36). Defined here, hidden inside the module, they bind
// locally and the module asks the C library for neither.
#include <sys/random.h>

#include <cstdint>
#include <cstdlib>

extern "C" {

// Zero means "other threads may exist": the runtime then always uses its
// atomic operations, which is right in a multi-threaded host.
__attribute__((visibility("hidden"))) char __libc_single_threaded = 0;

// Never called by the module; should it ever be, it returns bytes from the
// kernel's random source (getentropy, glibc 2.25) as the real one does.
__attribute__((visibility("hidden"))) uint32_t arc4random(void) {
    uint32_t value;
    if (getentropy(&value, sizeof value) != 0) std::abort();
    return value;
}
}
