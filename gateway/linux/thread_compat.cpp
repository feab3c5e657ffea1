// Part of the engine released for MATLAB on Linux only (pellumar_engine),
// which must load with glibc 2.17 (see glibc_compat.cpp).
//
// The engine's worker threads are POSIX threads. glibc 2.34 moved
// libpthread into the C library and gave pthread_create and pthread_join new
// symbol versions there, so linking on a newer glibc binds GLIBC_2.34, which
// older systems lack. Their x86-64 versions of 2.2.5 are still there, the
// same functions: in libpthread.so.0 before 2.34, in libc.so.6 since. A
// .symver directive binds the references of its own object file only, so
// the engine is linked with --wrap=pthread_create,--wrap=pthread_join
// (CMakeLists.txt): every call, from any object file, reaches the wrappers
// below, which call the 2.2.5 versions. The engine is also linked to
// libpthread.so.0 (empty since 2.34), so that on an older glibc the
// functions are loaded with it, whatever the host has loaded.
#include <pthread.h>

#if defined(__x86_64__)
__asm__(".symver pthread_create,pthread_create@GLIBC_2.2.5");
__asm__(".symver pthread_join,pthread_join@GLIBC_2.2.5");
#endif

extern "C" {

__attribute__((visibility("hidden"))) int __wrap_pthread_create(pthread_t* thread,
                                                                const pthread_attr_t* attributes,
                                                                void* (*start)(void*),
                                                                void* argument) {
    return pthread_create(thread, attributes, start, argument);
}

__attribute__((visibility("hidden"))) int __wrap_pthread_join(pthread_t thread, void** result) {
    return pthread_join(thread, result);
}
}
