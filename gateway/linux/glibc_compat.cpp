// Part of the module released for MATLAB on Linux only, which carries its
// own copy of the C++ runtime and must load with glibc 2.17 (RHEL/CentOS 7,
// the oldest Linux that MATLAB of the supported releases runs on).
//
// That copy of the runtime refers to three C library symbols newer than 2.17,
// from pieces the module links but never runs for their sake: the string and
// exception code reads __libc_single_threaded (glibc 2.32), and
// std::random_device, which shares an object file with the string code, calls
// arc4random (glibc 2.36) and getentropy (glibc 2.25). Defined here, hidden
// inside the module, they bind locally and the module asks the C library for
// none of them.
#include <sys/syscall.h>
#include <unistd.h>

#include <cerrno>
#include <cstddef>
#include <cstdint>
#include <cstdlib>

extern "C" {

// Zero means "other threads may exist": the runtime then always uses its
// atomic operations, which is right in a multi-threaded host.
__attribute__((visibility("hidden"))) char __libc_single_threaded = 0;

// Never called by the module; should they ever be, they return bytes from
// the kernel's random source as the real ones do. The getrandom system call
// is made through syscall(), which every glibc has: glibc's own getrandom()
// wrapper would ask for 2.25 too.
__attribute__((visibility("hidden"))) int getentropy(void* buffer, size_t length) {
    if (length > 256) {  // the real one's limit
        errno = EIO;
        return -1;
    }
    auto* bytes = static_cast<unsigned char*>(buffer);
    while (length > 0) {
        const long got = syscall(SYS_getrandom, bytes, length, 0);
        if (got < 0) {
            if (errno == EINTR) continue;
            return -1;
        }
        bytes += got;
        length -= static_cast<size_t>(got);
    }
    return 0;
}

__attribute__((visibility("hidden"))) uint32_t arc4random(void) {
    uint32_t value;
    if (getentropy(&value, sizeof value) != 0) std::abort();
    return value;
}
}
